#include "imaging/geometry.h"

#include <cmath>

namespace sinora {

static int roundHalfAway(double s) {
  return s >= 0 ? static_cast<int>(s + 0.5) : static_cast<int>(s - 0.5);
}

int binOf(int k, int i, int j) {
  const double theta = viewAngle(k);
  const double s = (j - kCentre) * std::sin(theta) + (i - kCentre) * std::cos(theta);
  return roundHalfAway(s) + kCentre;
}

BinTable::BinTable() {
  for (int k = 0; k < kProjections; ++k) {
    const double theta = viewAngle(k);
    const double sn = std::sin(theta), cs = std::cos(theta);
    std::uint8_t* out = index_ + std::size_t(k) * kPixels;
    for (int i = 0; i < kSize; ++i)
      for (int j = 0; j < kSize; ++j) {
        const double s = (j - kCentre) * sn + (i - kCentre) * cs;
        out[i * kSize + j] = static_cast<std::uint8_t>(roundHalfAway(s) + kCentre + kRowPad);
      }
  }
}

const BinTable& BinTable::instance() {
  static const BinTable* table = new BinTable();  // lives for the process; 983,040 bytes
  return *table;
}

}  // namespace sinora
