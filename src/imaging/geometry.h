// Bin of a pixel for a projection. View k lies at theta = (k * 6) * 3.1415 / 180 radians (pi is
// 3.1415 here on purpose). Pixel (i, j) of a 128 x 128 slice has s = (j - 64) sin(theta) +
// (i - 64) cos(theta); its bin is s rounded half away from zero, plus 64, and runs from -26 to 154.
// The reconstruction window draws i across; the point-source window draws j across (i is its row).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/big_pages.h"
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

// Bins for studies of any geometry: B x B pixels about the bin centre c = B / 2, view angle
// theta = degrees x 3.1415 / 180, s = (j - c) sin(theta) + (i - c) cos(theta), bin = s rounded half
// away from zero, plus c (bins outside 0..B-1 add nothing). Entries index a padded row.
struct AnyGeometry {
  int bins;
  int pad;        // empty bins on each side of a padded row
  int paddedRow;  // bins + 2 pad
  explicit AnyGeometry(int b) : bins(b), pad(b / 4 + 2), paddedRow(b + 2 * (b / 4 + 2)) {}
};

inline double angleRadians(double degrees) { return degrees * kPi / 180; }

// The padded-row index of every pixel (i * B + j) for one view.
void binsForView(double degrees, const AnyGeometry& g, std::uint16_t* out);

class AnyBinTable {
 public:
  AnyBinTable(const std::vector<double>& anglesDegrees, int bins);
  const std::uint16_t* view(int k) const {
    return index_.data() + std::size_t(k) * std::size_t(bins_) * std::size_t(bins_);
  }

 private:
  int bins_;
  BigVector<std::uint16_t> index_;
};

// The pixels of each padded bin of one view, bin by bin, each bin's pixels ascending.
struct AnyBinLists {
  std::vector<std::uint32_t> start;   // paddedRow + 1 offsets into pixels
  std::vector<std::uint32_t> pixels;
  AnyBinLists() = default;
  // `bins`: when given (> 0), only the pixels inside the circle of insideCircle are listed.
  AnyBinLists(const std::uint16_t* index, std::size_t count, int paddedRow, int circleOf = 0);
};

// Pixel (i, j) of a B x B slice lies strictly inside the circle of radius c = B / 2 about (c, c):
// where iterative reconstruction starts at 1 (and stays 0 outside for ever).
inline bool insideCircle(int i, int j, int bins) {
  const int c = bins / 2;
  return (i - c) * (i - c) + (j - c) * (j - c) < c * c;
}

// Tables up to this many entries are kept with their study (128 MB).
constexpr std::uint64_t kMaxKeptBins = 64u << 20;

}  // namespace sinora
