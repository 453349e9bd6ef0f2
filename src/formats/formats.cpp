#include "formats/formats.h"

#include <cstring>

#include "formats/dicom.h"
#include "formats/interfile.h"

namespace sinora::formats {

StudyReadResult readAnyStudy(const std::string& path) {
  StudyReadResult result;
  if (path.empty()) {
    result.error = "ファイル名が指定されていません。";
    return result;
  }
  std::vector<std::uint8_t> head;
  if (!readWholeFile(path, 256, &head, &result.error)) return result;
  if (looksLikeInterfile(head.data(), head.size())) return readInterfile(path);
  const bool preamble = head.size() >= 132 && std::memcmp(head.data() + 128, "DICM", 4) == 0;
  if (preamble) return readDicom(path);
  if (looksLikeDicom(head.data(), head.size())) {
    // Without a preamble DICOM is only a guess: the study file's header is never read, so it
    // may start with any bytes. What DCMTK cannot read is taken as a study file.
    StudyReadResult dicom = readDicom(path);
    if (dicom.study) return dicom;
    StudyReadResult legacy = readStudyFile(path);
    return legacy.study ? legacy : dicom;
  }
  return readStudyFile(path);
}

}  // namespace sinora::formats
