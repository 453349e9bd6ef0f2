// Counts of any layout: a header of some bytes, then V x R x B values (view by view, row by
// row), each 1, 2, 4 or 8 bytes, unsigned or signed integers or IEEE floats, either byte order.
// Values become whole counts: round half up, clamp to 0..65535, NaN and negatives 0; the import
// notes how many values that changed and the largest original value. Values that whole counts
// cannot hold (fractions, more than 65535) are kept as read too, beside them
// (ProjectionStudy::exactCounts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/study.h"

namespace sinora::formats {

enum class NumberFormat { Unsigned, Signed, Float };

struct RawLayout {
  std::uint64_t headerBytes = 0;
  int views = 60, rows = 128, bins = 128;
  int bytesPerCount = 2;
  NumberFormat format = NumberFormat::Unsigned;
  bool bigEndian = true;
  double arcDegrees = 360;   // views spread evenly over the arc
  bool arcIsSpan = false;    // the arc runs from the first view to the last (V - 1 steps)
  double startDegrees = 0;   // the first view's angle, in the program's convention
  bool clockwise = true;     // angles grow view by view (false: they fall)
  double pixelSizeMm = 0;
};

// Why a layout cannot be read, or empty when it can (sizes, bytes per count and format).
std::string checkLayout(const RawLayout& layout);

// Decodes `count` values from `bytes` into whole counts; notes say what was changed. `exact`,
// when given, gets the values as read if whole counts could not hold them all, else nothing.
std::vector<std::uint16_t> decodeCounts(const std::uint8_t* bytes, std::uint64_t count,
                                        const RawLayout& layout, std::vector<std::string>* notes,
                                        std::vector<float>* exact = nullptr);

// The angle of each view for the layout.
std::vector<double> viewAngles(const RawLayout& layout);

// The study that V x R x B values at `counts` make with the layout (checked by checkLayout).
StudyPtr studyFromCounts(const std::uint8_t* counts, const RawLayout& layout,
                         const std::string& what);

// Reads a raw file of the layout (all or nothing). The file's size is checked against the layout
// first; the header bytes are skipped and the counts decoded piece by piece, so what is held is
// the study's own counts and one piece of the file. `what` names the format in the description;
// `notes` go first among the import's notes.
StudyReadResult readRaw(const std::string& path, const RawLayout& layout,
                        const std::string& what = "raw", const std::vector<std::string>& notes = {});

// Opens a regular file for reading without blocking on a pipe or device: the descriptor, or -1
// with `error` saying why (Japanese). `size` gets the file's size.
int openRegularFile(const std::string& path, std::uint64_t* size, std::string* error);

// Reads a whole regular file (at most `limit` bytes). On failure `error` says why (Japanese).
bool readWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                   std::string* error, std::uint64_t* fileSize = nullptr);

}  // namespace sinora::formats
