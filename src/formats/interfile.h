// Interfile 3.3 SPECT projection data (nucmed, Tomographic). The header's keys are
// case-insensitive, a leading "!" is optional and ";" starts a comment. The data file is named by
// "name of data file", relative to the header. Angles: writers disagree on the start angle's zero,
// so the header's own evidence decides (interfileAngleConvention): Interfile 3.3 as SIMIND writes
// it is DICOM's plus 180 degrees (zero with the detector at the patient's front), STIR's headers
// keep DICOM's angle; both grow counter-clockwise as seen from the feet, so the program's angle
// grows view by view for CW and falls for CCW (docs/geometry.md).
#pragma once

#include <map>
#include <string>

#include "formats/raw.h"

namespace sinora::formats {

// Key (lower case, single spaces, no "!") to value (trimmed), from a header's text.
std::map<std::string, std::string> parseInterfileKeys(const std::string& text);

// A header is text of a few kilobytes; a longer file is not one.
constexpr std::uint64_t kMaxHeaderBytes = std::uint64_t(1) << 20;

// Where a header's start angle has its zero.
enum class InterfileAngles {
  Interfile33,  // detector at the patient's front: DICOM's angle plus 180 (SIMIND, Sinora)
  Dicom,        // detector at the patient's back, DICOM's angle unchanged (STIR)
};

struct InterfileAngleConvention {
  InterfileAngles angles = InterfileAngles::Interfile33;
  std::string evidence;  // the key and value that decided, "key := value"; empty: none did
};

// The convention a header's keys reveal, first match deciding: SIMIND named in "originating
// system", "conversion program" or "program author", or Sinora in "originating system":
// Interfile 3.3; "!version of keys := STIR...", "imaging modality := NM" or the key "radii"
// (what STIR writes and no one else): DICOM's; nothing: Interfile 3.3.
InterfileAngleConvention interfileAngleConvention(const std::map<std::string, std::string>& keys);

// The import's note saying which convention was taken and why (Japanese).
std::string interfileAngleNote(const InterfileAngleConvention& convention);

struct InterfileHeader {
  RawLayout layout;
  std::string dataFile;  // as written in the header
  InterfileAngleConvention angles;
};

// The layout a header describes; false with `error` naming the key that is missing or wrong.
bool interpretInterfile(const std::map<std::string, std::string>& keys, InterfileHeader* header,
                        std::string* error);

// True when the bytes begin an Interfile header ("!INTERFILE", case and spaces aside).
bool looksLikeInterfile(const std::uint8_t* bytes, std::size_t size);

StudyReadResult readInterfile(const std::string& headerPath);

// The data file a header names, with the header's folder put in front of a relative name; empty
// when the header cannot be read or names none.
std::string interfileDataPath(const std::string& headerPath);

}  // namespace sinora::formats
