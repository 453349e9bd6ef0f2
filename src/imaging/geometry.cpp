#include "imaging/geometry.h"

#include <algorithm>
#include <cmath>

#include "imaging/study.h"

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

void binsForView(double degrees, const AnyGeometry& g, std::uint16_t* out) {
  const double theta = angleRadians(degrees);
  const double sn = std::sin(theta), cs = std::cos(theta);
  const int b = g.bins, c = b / 2;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j) {
      const double s = (j - c) * sn + (i - c) * cs;
      int bin = roundHalfAway(s) + c;
      // Bins beyond the row land in its padding (always empty) whatever the angle.
      bin = std::max(-g.pad, std::min(b + g.pad - 1, bin));
      out[i * b + j] = static_cast<std::uint16_t>(bin + g.pad);
    }
}

AnyBinTable::AnyBinTable(const std::vector<double>& angles, int bins)
    : bins_(bins), index_(angles.size() * std::size_t(bins) * std::size_t(bins)) {
  const AnyGeometry g(bins);
  for (std::size_t k = 0; k < angles.size(); ++k)
    binsForView(angles[k], g, index_.data() + k * std::size_t(bins) * std::size_t(bins));
}

const AnyBinTable* ProjectionStudy::binTable() const {
  std::call_once(binsOnce_, [this] {
    const std::uint64_t entries = std::uint64_t(views()) * bins_ * bins_;
    if (entries <= kMaxKeptBins)
      bins_table_ = std::make_unique<const AnyBinTable>(geometry_.angles, bins_);
  });
  return bins_table_.get();
}

ProjectionStudy::~ProjectionStudy() = default;

const BinTable& BinTable::instance() {
  static const BinTable* table = new BinTable();  // lives for the process; 983,040 bytes
  return *table;
}

}  // namespace sinora
