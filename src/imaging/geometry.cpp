#include "imaging/geometry.h"

#include <algorithm>
#include <cmath>

#include "imaging/study.h"

#include "imaging/backproject_blocks.h"

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

AnyBinLists::AnyBinLists(const std::uint16_t* idx, std::size_t count, int paddedRow, int circleOf) {
  auto kept = [&](std::size_t p) {
    return circleOf <= 0 || insideCircle(int(p / std::size_t(circleOf)), int(p % std::size_t(circleOf)), circleOf);
  };
  start.assign(std::size_t(paddedRow) + 1, 0);
  for (std::size_t p = 0; p < count; ++p)
    if (kept(p)) ++start[std::size_t(idx[p]) + 1];
  for (int b = 0; b < paddedRow; ++b) start[std::size_t(b) + 1] += start[std::size_t(b)];
  pixels.resize(start.back());
  std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
  for (std::size_t p = 0; p < count; ++p)
    if (kept(p)) pixels[fill[idx[p]]++] = std::uint32_t(p);
}

const std::vector<AnyBinLists>* ProjectionStudy::binLists(bool insideCircleOnly) const {
  std::once_flag& once = insideCircleOnly ? circleListsOnce_ : listsOnce_;
  auto& kept = insideCircleOnly ? circle_lists_ : bin_lists_;
  std::call_once(once, [this, insideCircleOnly, &kept] {
    const AnyBinTable* table = binTable();
    if (!table) return;  // too big to keep: made view by view
    auto lists = std::make_unique<std::vector<AnyBinLists>>();
    const AnyGeometry g(bins_);
    for (int k = 0; k < views(); ++k)
      lists->emplace_back(table->view(k), std::size_t(bins_) * bins_, g.paddedRow,
                          insideCircleOnly ? bins_ : 0);
    kept = std::move(lists);
  });
  return kept.get();
}

const AnyBlockTable* ProjectionStudy::blockTable() const {
  std::call_once(blocksOnce_, [this] {
    const AnyBinTable* table = binTable();
    if (!table || bins_ % 8 != 0) return;
    std::vector<const std::uint16_t*> views(static_cast<std::size_t>(this->views()));
    for (int k = 0; k < this->views(); ++k) views[std::size_t(k)] = table->view(k);
    block_table_ = std::make_unique<const AnyBlockTable>(
        makeBlockTable(views.data(), this->views(), std::size_t(bins_) * bins_));
  });
  return block_table_.get();
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
