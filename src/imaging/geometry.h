// Bin of a pixel for a projection. View k lies at theta = (k * 6) * 3.1415 / 180 radians (pi is
// 3.1415 here on purpose). Pixel (i, j) of a 128 x 128 slice has s = (j - 64) sin(theta) +
// (i - 64) cos(theta); its bin is s rounded half away from zero, plus 64, and runs from -26 to 154.
// The reconstruction window draws i across; the point-source window draws j across (i is its row).
#pragma once

#include <cstdint>

#include "imaging/image.h"

namespace sinora {

constexpr double kPi = 3.1415;  // the program's pi for angles and reconstruction kernels

inline double viewAngle(int k) { return (k * 6) * kPi / 180; }

// The rule itself, evaluated from scratch.
int binOf(int k, int i, int j);

// Rows are stored with this many empty bins on each side, so that bins outside 0..127 read 0.
constexpr int kRowPad = 32;
constexpr int kPaddedRow = kSize + 2 * kRowPad;  // 192

// Every bin of every pixel for every view, computed once per process by binOf. Entries are the
// index into a padded row: bin + kRowPad (always 0..191).
class BinTable {
 public:
  static const BinTable& instance();
  const std::uint8_t* view(int k) const { return index_ + std::size_t(k) * kPixels; }

 private:
  BinTable();
  std::uint8_t index_[std::size_t(kProjections) * kPixels];
};

}  // namespace sinora
