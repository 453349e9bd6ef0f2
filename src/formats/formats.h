// Opening a study of any format, recognised by its content: "!INTERFILE" at the start of a
// header, "DICM" at offset 128 (or a DICOM file without preamble), otherwise the study file of today (60 x 128 x 128, big-endian). All or nothing: a
// failure returns no study and a Japanese reason.
#pragma once

#include <string>

#include "formats/raw.h"
#include "imaging/study.h"

namespace sinora::formats {

StudyReadResult readAnyStudy(const std::string& path);

}  // namespace sinora::formats
