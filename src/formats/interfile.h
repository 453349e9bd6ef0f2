// Interfile 3.3 SPECT projection data (nucmed, Tomographic). The header's keys are
// case-insensitive, a leading "!" is optional and ";" starts a comment. The data file is named by
// "name of data file", relative to the header. Angles: Interfile's are DICOM's plus 180 degrees
// (zero with the detector at the patient's front, growing counter-clockwise as seen from the
// feet); the program's angle of a view is minus Interfile's, so it grows view by view for CW and
// falls for CCW (docs/geometry.md).
#pragma once

#include <map>
#include <string>

#include "formats/raw.h"

namespace sinora::formats {

// Key (lower case, single spaces, no "!") to value (trimmed), from a header's text.
std::map<std::string, std::string> parseInterfileKeys(const std::string& text);

// A header is text of a few kilobytes; a longer file is not one.
constexpr std::uint64_t kMaxHeaderBytes = std::uint64_t(1) << 20;

struct InterfileHeader {
  RawLayout layout;
  std::string dataFile;  // as written in the header
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
