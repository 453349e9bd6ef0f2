#include "imaging/geometry.h"

#include <algorithm>
#include <cmath>

#include "imaging/study.h"

#include "imaging/backproject_blocks.h"
#include "imaging/cpu.h"

#include <thread>

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

namespace {

// The rule without a branch (s rounded half away from zero, as roundHalfAway), so that the loop
// runs in vectors; the same arithmetic on every path.
__attribute__((always_inline)) inline void binsBody(double sn, double cs, int b, int pad,
                                                    std::uint16_t* out, int i0 = 0, int i1 = -1) {
  const int c = b / 2;
  for (int i = i0; i < (i1 < 0 ? b : i1); ++i) {
    const double across = (i - c) * cs;
    std::uint16_t* o = out + std::size_t(i - i0) * b;
    for (int j = 0; j < b; ++j) {
      const double s = (j - c) * sn + across;
      const int rounded = static_cast<int>(s >= 0 ? s + 0.5 : s - 0.5);
      // Bins beyond the row land in its padding (always empty) whatever the angle.
      const int bin = std::max(-pad, std::min(b + pad - 1, rounded + c));
      o[j] = static_cast<std::uint16_t>(bin + pad);
    }
  }
}
__attribute__((target("avx512f"))) void binsAvx512(double sn, double cs, int b, int pad,
                                                   std::uint16_t* out, int i0 = 0, int i1 = -1) {
  binsBody(sn, cs, b, pad, out, i0, i1);
}
__attribute__((target("avx2"))) void binsAvx2(double sn, double cs, int b, int pad,
                                              std::uint16_t* out, int i0 = 0, int i1 = -1) {
  binsBody(sn, cs, b, pad, out, i0, i1);
}
void binsOfRow(double sn, double cs, const AnyGeometry& g, int i, std::uint16_t* out) {
  switch (isaInUse()) {
    case Isa::Avx512: binsAvx512(sn, cs, g.bins, g.pad, out, i, i + 1); break;
    case Isa::Avx2: binsAvx2(sn, cs, g.bins, g.pad, out, i, i + 1); break;
    case Isa::Plain: binsBody(sn, cs, g.bins, g.pad, out, i, i + 1); break;
  }
}

}  // namespace

void binsForView(double degrees, const AnyGeometry& g, std::uint16_t* out) {
  const double theta = angleRadians(degrees);
  const double sn = std::sin(theta), cs = std::cos(theta);
  switch (isaInUse()) {
    case Isa::Avx512: binsAvx512(sn, cs, g.bins, g.pad, out); break;
    case Isa::Avx2: binsAvx2(sn, cs, g.bins, g.pad, out); break;
    case Isa::Plain: binsBody(sn, cs, g.bins, g.pad, out); break;
  }
}

AnyBinTable::AnyBinTable(const std::vector<double>& angles, int bins)
    : bins_(bins), index_(angles.size() * std::size_t(bins) * std::size_t(bins)) {
  const AnyGeometry g(bins);
  const std::size_t pixels = std::size_t(bins) * std::size_t(bins);
  // Large tables on both cores (each view's bins are its own).
  auto part = [&](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) binsForView(angles[k], g, index_.data() + k * pixels);
  };
  if (index_.size() < (1u << 20)) {
    part(0, angles.size());
    return;
  }
  std::thread other(part, angles.size() / 2, angles.size());
  part(0, angles.size() / 2);
  other.join();
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
    const std::uint64_t entries = std::uint64_t(views()) * bins_ * bins_;
    if (entries > kMaxKeptBins || bins_ % 8 != 0) return;
    // Made row by row of the slice from the rule itself (not from the bin table, which a first
    // filtered slice does not need), every view of a row side by side, on both cores.
    const int v = views(), b = bins_;
    const AnyGeometry g(b);
    std::vector<double> sn(static_cast<std::size_t>(v)), cs(static_cast<std::size_t>(v));
    for (int k = 0; k < v; ++k) {
      const double theta = angleRadians(angleDegrees(k));
      sn[std::size_t(k)] = std::sin(theta);
      cs[std::size_t(k)] = std::cos(theta);
    }
    auto t = std::make_unique<AnyBlockTable>();
    t->views = v;
    t->blocks = std::size_t(b) * b / 8;
    t->base.resize(t->blocks * std::size_t(v));
    t->offsets.resize(t->blocks * std::size_t(v));
    auto rows = [&](int i0, int i1) {
      std::vector<std::uint16_t> bins(std::size_t(v) * b);
      for (int i = i0; i < i1; ++i) {
        for (int k = 0; k < v; ++k)
          binsOfRow(sn[std::size_t(k)], cs[std::size_t(k)], g, i, bins.data() + std::size_t(k) * b);
        for (int q = 0; q < b / 8; ++q) {
          const std::size_t block = (std::size_t(i) * b) / 8 + std::size_t(q);
          for (int k = 0; k < v; ++k) {
            const std::uint16_t* idx = bins.data() + std::size_t(k) * b + std::size_t(q) * 8;
            const std::uint16_t lo = *std::min_element(idx, idx + 8);
            std::uint64_t packed = 0;
            for (int e = 0; e < 8; ++e) packed |= std::uint64_t(std::uint8_t(idx[e] - lo)) << (8 * e);
            t->base[block * std::size_t(v) + std::size_t(k)] = lo;
            t->offsets[block * std::size_t(v) + std::size_t(k)] = packed;
          }
        }
      }
    };
    if (entries < (1u << 20)) {
      rows(0, b);
    } else {
      std::thread other(rows, b / 2, b);
      rows(0, b / 2);
      other.join();
    }
    block_table_ = std::move(t);
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
