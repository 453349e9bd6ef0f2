#include "imaging/slices.h"

#include <algorithm>
#include <type_traits>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

#include "imaging/backproject_blocks.h"
#include "imaging/cpu.h"
#include "imaging/geometry.h"
#include "imaging/lanes.h"
#include "imaging/reconstruction.h"

namespace sinora {

namespace {

std::uint32_t packed(Rgb c) {
  return 0xff000000u | (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b;
}

void paletteTable(ColorTable table, Palette palette, std::uint32_t* lut) {
  for (int d = 0; d < 256; ++d)
    lut[d] = palette == Palette::BlackWhite
                 ? 0xff000000u | (std::uint32_t(d) << 16) | (std::uint32_t(d) << 8) | std::uint32_t(d)
                 : packed(tableColor(table, d));
}

std::int32_t clampAndMax(std::vector<std::int32_t>& values, std::int32_t start) {
  std::int32_t max = start;
  for (std::int32_t& v : values) {
    v = std::max(v, 0);
    max = std::max(max, v);
  }
  return max;
}

int wrapView(int k, int views) { return ((k % views) + views) % views; }

// The study's blocks packed in 16 bits a view (backproject_blocks.h), every block, kept with the
// study: a slice reads a fifth of the table. Null where they do not pack.
const PackedBlocks* packedBlocks(const ProjectionStudy& study) {
  const AnyBlockTable* blocks = study.blockTable();
  if (!blocks || !vectorBackprojection()) return nullptr;
  const auto kept = std::static_pointer_cast<const std::unique_ptr<PackedBlocks>>(study.derived(
      "packed-blocks", [&]() -> std::shared_ptr<const void> {
        std::vector<std::uint32_t> all(blocks->blocks);
        for (std::size_t q = 0; q < all.size(); ++q) all[q] = std::uint32_t(q);
        return std::make_shared<const std::unique_ptr<PackedBlocks>>(packBlocks(*blocks, all.data(), all.size()));
      }));
  return kept->get();  // the study keeps it
}

// Sums row g of every view (each already in a padded row) into the B x B slice, each pixel
// adding its views in order. acc[i * B + j].
template <typename T>
void backproject(const ProjectionStudy& study, const std::vector<T>& rows, const AnyGeometry& g,
                 std::vector<T>& acc) {
  const int b = g.bins, v = study.views();
  const std::size_t pixels = std::size_t(b) * b;
  auto row = [&](int k) { return rows.data() + std::size_t(k) * g.paddedRow; };
  if constexpr (std::is_same_v<T, double>) {
    // Every block written from 0: nothing to clear first.
    const PackedBlocks* packed = packedBlocks(study);
    if (packed && rows.size() >= std::size_t(v) * g.paddedRow + 8) {
      std::vector<const T*> rowOf(static_cast<std::size_t>(v));
      for (int k = 0; k < v; ++k) rowOf[std::size_t(k)] = row(k);
      acc.resize(pixels);
      if (backprojectPacked(*packed, rowOf.data(), acc.data(), nullptr)) return;
    }
  }
  acc.assign(pixels, T(0));
  {
    // Eight pixels at a time where the processor can (the same sums, bit for bit).
    const AnyBlockTable* blocks = study.blockTable();
    if (blocks && rows.size() >= std::size_t(v) * g.paddedRow + 8) {
      std::vector<const T*> rowOf(static_cast<std::size_t>(v));
      std::vector<int> order(static_cast<std::size_t>(v));
      for (int k = 0; k < v; ++k) rowOf[std::size_t(k)] = row(k), order[std::size_t(k)] = k;
      if (backprojectBlocks(*blocks, rowOf.data(), order.data(), std::size_t(v), 0, pixels, acc.data()))
        return;
    }
  }
  const AnyBinTable* table = study.binTable();
  if (!table) {
    // Too big to keep: the bins of each view are made as it is added.
    std::vector<std::uint16_t> own(pixels);
    for (int k = 0; k < v; ++k) {
      binsForView(study.angleDegrees(k), g, own.data());
      const T* r = row(k);
      for (std::size_t p = 0; p < pixels; ++p) acc[p] += r[own[p]];
    }
    return;
  }
  // Blocks of pixels small enough for their sums to stay in L1, four views a pass; each pixel
  // still adds its views one after the other, in view order.
  constexpr std::size_t kBlock = 2048;
  for (std::size_t p0 = 0; p0 < pixels; p0 += kBlock) {
    const std::size_t n = std::min(kBlock, pixels - p0);
    T* a = acc.data() + p0;
    int k = 0;
    for (; k + 4 <= v; k += 4) {
      const T *r0 = row(k), *r1 = row(k + 1), *r2 = row(k + 2), *r3 = row(k + 3);
      const std::uint16_t* i0 = table->view(k) + p0;
      const std::uint16_t* i1 = table->view(k + 1) + p0;
      const std::uint16_t* i2 = table->view(k + 2) + p0;
      const std::uint16_t* i3 = table->view(k + 3) + p0;
      for (std::size_t p = 0; p < n; ++p) a[p] = (((a[p] + r0[i0[p]]) + r1[i1[p]]) + r2[i2[p]]) + r3[i3[p]];
    }
    for (; k < v; ++k) {
      const T* r = row(k);
      const std::uint16_t* idx = table->view(k) + p0;
      for (std::size_t p = 0; p < n; ++p) a[p] += r[idx[p]];
    }
  }
}

Picture slicePicture(const std::vector<double>& acc, int b, int densityOffset) {
  Picture out;
  out.width = out.height = b;
  out.values.resize(std::size_t(b) * b);
  // Slices are shown with i across: picture (x, y) = acc[x * B + y]. Eight columns at a time:
  // eight rows of acc read side by side, eight neighbouring values written.
  for (int x0 = 0; x0 < b; x0 += 8) {
    const int x1 = std::min(b, x0 + 8);
    for (int y = 0; y < b; ++y)
      for (int x = x0; x < x1; ++x) out.values[std::size_t(y) * b + x] = toImageValue(acc[std::size_t(x) * b + y]);
  }
  const std::int32_t max = clampAndMax(out.values, 1);
  out.divisor = std::int64_t(max) + densityOffset - 10;
  return out;
}

// What one filtered slice needs besides the study, kept across the rows of a volume.
struct FilterWork {
  std::vector<double> rows, in, smoothed, acc;
};

// `exact`: the counts as read when the study keeps them (the recipe's reconstructions), else the
// whole counts the described windows show.
void filteredSliceInto(const ProjectionStudy& study, int sliceLine, const std::vector<double>& ra,
                       const BwParameters* bw, const ButterworthKernel& bk, FilterWork& w,
                       bool exact = false) {
  const int b = study.bins(), g = sliceRowOf(sliceLine, study.rows());
  const AnyGeometry geo(b);
  // Eight spare doubles at the end: the vector backprojection reads 8 from any bin. The padding
  // is never written, so the rows are cleared only when they grow.
  const std::size_t need = std::size_t(study.views()) * geo.paddedRow + 8;
  if (w.rows.size() != need) w.rows.assign(need, 0.0);
  w.in.resize(std::size_t(b));
  w.smoothed.resize(std::size_t(b));
  for (int k = 0; k < study.views(); ++k) {
    if (exact) {
      exactRow(study, k, g, w.in.data());
    } else {
      const std::uint16_t* src = study.projection(k) + std::size_t(g) * b;
      for (int c = 0; c < b; ++c) w.in[std::size_t(c)] = src[c];
    }
    const double* row = w.in.data();
    if (bw) {
      smoothRowN(w.in.data(), w.smoothed.data(), bk, b);
      row = w.smoothed.data();
    }
    convolveRowN(row, w.rows.data() + std::size_t(k) * geo.paddedRow + geo.pad, ra, b);
  }
  backproject(study, w.rows, geo, w.acc);
}

std::vector<double> filteredSliceWith(const ProjectionStudy& study, int sliceLine,
                                      const std::vector<double>& ra, const BwParameters* bw,
                                      bool exact = false) {
  ButterworthKernel bk{};
  if (bw) bk = butterworthKernelFor(bw->order, bw->cutoff, study.bins());
  // Kept by each thread from slice to slice: the filtered rows' padding is cleared once, not at
  // every slice (the slice itself leaves with the caller).
  thread_local FilterWork w;
  filteredSliceInto(study, sliceLine, ra, bw, bk, w, exact);
  return std::move(w.acc);
}

std::vector<double> filteredSlice(const ProjectionStudy& study, int sliceLine, ReconFilter filter,
                                  const BwParameters* bw) {
  return filteredSliceWith(study, sliceLine, reconKernelFor(filter, study.bins()), bw);
}

Picture filteredAny(const ProjectionStudy& study, int sliceLine, ReconFilter filter,
                    const BwParameters* bw, int densityOffset) {
  return slicePicture(filteredSlice(study, sliceLine, filter, bw), study.bins(), densityOffset);
}

}  // namespace

Picture filteredPictureWith(const ProjectionStudy& study, int sliceLine,
                            const std::vector<double>& kernel, int densityOffset) {
  if (kernel.size() != std::size_t(2 * study.bins() - 1)) return {};
  return slicePicture(filteredSliceWith(study, sliceLine, kernel, nullptr), study.bins(), densityOffset);
}

std::vector<double> fbpSlice(const ProjectionStudy& study, int row, const std::vector<double>& kernel,
                             const BwParameters* prefilter) {
  return filteredSliceWith(study, row, kernel, prefilter, true);
}

std::vector<double> fbpOfSinogram(const ProjectionStudy& study, const std::vector<double>& sinogram,
                                  const std::vector<double>& kernel) {
  const int b = study.bins();
  if (sinogram.size() != std::size_t(study.views()) * b || kernel.size() != std::size_t(2 * b - 1)) return {};
  const AnyGeometry geo(b);
  std::vector<double> rows(std::size_t(study.views()) * geo.paddedRow + 8, 0.0);
  for (int k = 0; k < study.views(); ++k)
    convolveRowN(sinogram.data() + std::size_t(k) * b, rows.data() + std::size_t(k) * geo.paddedRow + geo.pad,
                 kernel, b);
  std::vector<double> acc;
  backproject(study, rows, geo, acc);
  return acc;
}

namespace {

// A volume's filtered backprojection eight rows at a time (lanes.h): each row's filtered views
// are filtered as filteredSliceInto does, then laid side by side, so that one read of the bin
// table serves eight rows; each pixel still adds its views in order from 0.
struct FbpBlockWork {
  LineBuffer rows, acc;
  std::vector<double> in, smoothed, filtered;
};

struct FbpPlan {
  const ProjectionStudy& study;
  const AnyBinTable* table;
  const std::vector<double>& ra;
  const BwParameters* bw;
  const ButterworthKernel& bk;
};

// The slices of rows row0 .. row0 + 7 into acc[p * 8 + r] (rows past the study's end are zeros).
__attribute__((always_inline)) inline void fbpBlockBody(const FbpPlan& plan, int row0, FbpBlockWork& w) {
  const ProjectionStudy& study = plan.study;
  const int b = study.bins(), v = study.views();
  const AnyGeometry g(b);
  const std::size_t L = kLanes, pr = std::size_t(g.paddedRow);
  // The padding of the rows is never written: cleared only when the buffer is made.
  if (w.rows.size() != std::size_t(v) * pr * L + L) w.rows.assign(std::size_t(v) * pr * L + L, 0.0);
  w.acc.resize(std::size_t(b) * b * L);
  w.in.resize(std::size_t(b));
  w.smoothed.resize(std::size_t(b));
  w.filtered.resize(std::size_t(b));
  for (int r = 0; r < kLanes; ++r) {
    const bool real = row0 + r < study.rows();
    for (int k = 0; k < v; ++k) {
      // The counts as read (weighted counts kept as floats), as the recipe's other rows see them.
      if (real)
        exactRow(study, k, row0 + r, w.in.data());
      else
        std::fill(w.in.begin(), w.in.end(), 0.0);
      const double* row = w.in.data();
      if (plan.bw) {
        smoothRowN(w.in.data(), w.smoothed.data(), plan.bk, b);
        row = w.smoothed.data();
      }
      convolveRowN(row, w.filtered.data(), plan.ra, b);
      double* out = w.rows.data() + (std::size_t(k) * pr + std::size_t(g.pad)) * L + std::size_t(r);
      for (int c = 0; c < b; ++c) out[std::size_t(c) * L] = w.filtered[std::size_t(c)];
    }
  }
  // Row by row of the slice (its sums stay in cache), four views a pass.
  const Lanes zero = {};
  const double* rows = w.rows.data();
  for (int i = 0; i < b; ++i) {
    const std::size_t row = std::size_t(i) * b;
    double* a = w.acc.data() + row * L;
    int k = 0;
    for (; k + 4 <= v; k += 4) {
      const double *r0 = rows + std::size_t(k) * pr * L, *r1 = r0 + pr * L, *r2 = r1 + pr * L, *r3 = r2 + pr * L;
      const std::uint16_t *i0 = plan.table->view(k) + row, *i1 = plan.table->view(k + 1) + row,
                          *i2 = plan.table->view(k + 2) + row, *i3 = plan.table->view(k + 3) + row;
      for (int j = 0; j < b; ++j) {
        const Lanes from = k ? lanesAt(a + std::size_t(j) * L) : zero;
        lanesAt(a + std::size_t(j) * L) =
            (((from + lanesAt(r0 + std::size_t(i0[j]) * L)) + lanesAt(r1 + std::size_t(i1[j]) * L)) +
             lanesAt(r2 + std::size_t(i2[j]) * L)) +
            lanesAt(r3 + std::size_t(i3[j]) * L);
      }
    }
    for (; k < v; ++k) {
      const double* r = rows + std::size_t(k) * pr * L;
      const std::uint16_t* idx = plan.table->view(k) + row;
      for (int j = 0; j < b; ++j)
        lanesAt(a + std::size_t(j) * L) = (k ? lanesAt(a + std::size_t(j) * L) : zero) + lanesAt(r + std::size_t(idx[j]) * L);
    }
  }
}

__attribute__((target("avx512f"))) void fbpBlockAvx512(const FbpPlan& plan, int row0, FbpBlockWork& w) {
  fbpBlockBody(plan, row0, w);
}
__attribute__((target("avx2"))) void fbpBlockAvx2(const FbpPlan& plan, int row0, FbpBlockWork& w) {
  fbpBlockBody(plan, row0, w);
}
void fbpBlockPlain(const FbpPlan& plan, int row0, FbpBlockWork& w) { fbpBlockBody(plan, row0, w); }
void fbpBlock(const FbpPlan& plan, int row0, FbpBlockWork& w) {
  switch (isaInUse()) {
    case Isa::Avx512: fbpBlockAvx512(plan, row0, w); break;
    case Isa::Avx2: fbpBlockAvx2(plan, row0, w); break;
    case Isa::Plain: fbpBlockPlain(plan, row0, w); break;
  }
}

}  // namespace

std::vector<std::vector<double>> fbpVolume(const ProjectionStudy& study, ReconFilter filter,
                                           int threads, const std::function<bool(int)>& step,
                                           const BwParameters* prefilter) {
  const int rows = study.rows(), b = study.bins();
  std::vector<std::vector<double>> volume(static_cast<std::size_t>(rows));
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> stop{false};
  std::mutex report;
  // The kernels once for the study; each core keeps its buffers from row to row.
  const std::vector<double> ra = reconKernelFor(filter, study.bins());
  ButterworthKernel bk{};
  if (prefilter) bk = butterworthKernelFor(prefilter->order, prefilter->cutoff, study.bins());
  auto finished = [&] {
    const int n = ++done;
    if (!step) return;
    std::lock_guard<std::mutex> lock(report);
    if (!step(n)) stop = true;
  };
  std::function<void()> work;
  // Eight rows at a time where the bin table is kept (fewer rows: one by one).
  const AnyBinTable* table = rows >= kLanes ? study.binTable() : nullptr;
  const FbpPlan plan{study, table, ra, prefilter, bk};
  if (table) {
    work = [&] {
      FbpBlockWork w;
      for (int r0 = kLanes * next++; r0 < rows && !stop; r0 = kLanes * next++) {
        fbpBlock(plan, r0, w);
        std::vector<std::vector<double>> made = laneSlices(w.acc.data(), std::size_t(b) * b, std::min(rows, r0 + kLanes) - r0);
        for (int r = r0; r < std::min(rows, r0 + kLanes); ++r) {
          volume[std::size_t(r)] = std::move(made[std::size_t(r - r0)]);
          finished();
        }
      }
    };
  } else {
    (void)study.blockTable();
    work = [&] {
      FilterWork w;
      for (int r = next++; r < rows && !stop; r = next++) {
        filteredSliceInto(study, r, ra, prefilter, bk, w, true);
        volume[std::size_t(r)] = w.acc;
        finished();
      }
    };
  }
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return volume;
}

Picture toPicture(const DisplayImage& image) {
  Picture out;
  out.width = out.height = kSize;
  out.values.resize(kPixels);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) out.values[std::size_t(y) * kSize + x] = image.at(x, y);
  out.divisor = image.divisor;
  out.table = image.table;
  return out;
}

ButterworthKernel butterworthKernelFor(double order, double cutoff, int bins) {
  if (bins == kSize) return butterworthKernel(order, cutoff);
  const int n = bins;
  const double step = 2 * 3.141592 / n;
  std::vector<double> bf(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double q = (i <= n / 2 ? double(i) / n : double(n - i) / n) / cutoff;
    bf[std::size_t(i)] = 1 / (1 + std::pow(q, order));
  }
  ButterworthKernel k{};
  for (int j = 0; j < 5; ++j) {
    double y = 0;
    for (int i = 0; i < n; ++i) y += std::cos((i * j) * step) * bf[std::size_t(i)];
    k.h[j] = y;
  }
  weighKernel(k);
  return k;
}

void smoothRowN(const double* in, double* out, const ButterworthKernel& kernel, int bins) {
  if (bins == kSize) {
    smoothRow(in, out, kernel);
    return;
  }
  // Only the samples inside the row, divided by the weights they carry.
  for (int c = 0; c < bins; ++c) {
    double sum = 0, weight = 0;
    for (int d = -4; d <= 4; ++d) {
      if (c + d < 0 || c + d >= bins) continue;
      const double h = kernel.h[d < 0 ? -d : d];
      sum += h * in[c + d];
      weight += h;
    }
    out[c] = sum / weight;
  }
}

std::vector<double> reconKernelFor(ReconFilter filter, int bins) {
  const double pai = 3.1415;
  const int m = bins - 1;
  std::vector<double> k(std::size_t(2 * m + 1), 0.0);
  double* ra = k.data() + m;
  if (filter == ReconFilter::SheppLogan) {
    for (int n = 0; n <= m; ++n) ra[n] = 2 / (pai * pai * (1 - 4.0 * n * n));
  } else {
    ra[0] = 0.25;
    for (int n = 1; n <= m; ++n) ra[n] = (n % 2 == 1) ? -1 / (pai * pai * n * n) : 0.0;
  }
  for (int n = 1; n <= m; ++n) ra[-n] = ra[n];
  return k;
}

namespace {

// out[i] = sum over ascending j of in[j] x Ra(j - i), with r[i] = rev[m - j + i] = Ra(j - i).
// Four j a pass (each out[i] still adds its terms one after the other, in ascending j), and the
// j whose input is 0 left out: their terms are +-0, and a sum that starts at +0 is never -0, so
// adding them changes nothing.
__attribute__((always_inline)) inline void convolveNBody(const double* in, double* out, const double* rev,
                                                          int bins, double* acc, int* nonzero) {
  const int m = bins - 1;
  int count = 0;
  for (int j = 0; j < bins; ++j)
    if (in[j] != 0) nonzero[count++] = j;
  for (int i = 0; i < bins; ++i) acc[i] = 0.0;
  int n = 0;
  for (; n + 4 <= count; n += 4) {
    const int j0 = nonzero[n], j1 = nonzero[n + 1], j2 = nonzero[n + 2], j3 = nonzero[n + 3];
    const double v0 = in[j0], v1 = in[j1], v2 = in[j2], v3 = in[j3];
    const double *r0 = rev + m - j0, *r1 = rev + m - j1, *r2 = rev + m - j2, *r3 = rev + m - j3;
    for (int i = 0; i < bins; ++i) acc[i] = (((acc[i] + v0 * r0[i]) + v1 * r1[i]) + v2 * r2[i]) + v3 * r3[i];
  }
  for (; n < count; ++n) {
    const double v = in[nonzero[n]];
    const double* r = rev + m - nonzero[n];
    for (int i = 0; i < bins; ++i) acc[i] += v * r[i];
  }
  for (int i = 0; i < bins; ++i) out[i] = acc[i];
}
__attribute__((target("avx512f"))) void convolveNAvx512(const double* in, double* out, const double* rev,
                                                        int bins, double* acc, int* nonzero) {
  convolveNBody(in, out, rev, bins, acc, nonzero);
}
__attribute__((target("avx2"))) void convolveNAvx2(const double* in, double* out, const double* rev,
                                                   int bins, double* acc, int* nonzero) {
  convolveNBody(in, out, rev, bins, acc, nonzero);
}

}  // namespace

void convolveRowN(const double* in, double* out, const std::vector<double>& ra, int bins) {
  if (bins == kSize) {
    ReconKernel k;
    std::copy(ra.begin(), ra.end(), k.ra);
    convolveRow(in, out, k);
    return;
  }
  // ra read backwards from n = j - i: r[i] = ra[m + j - i].
  thread_local std::vector<double> rev, acc;
  thread_local std::vector<int> nonzero;
  if (rev.size() != ra.size() || !std::equal(ra.rbegin(), ra.rend(), rev.begin()))
    rev.assign(ra.rbegin(), ra.rend());  // rev[t] = Ra(m - t)
  acc.resize(std::size_t(bins));
  nonzero.resize(std::size_t(bins));
  switch (isaInUse()) {
    case Isa::Avx512: convolveNAvx512(in, out, rev.data(), bins, acc.data(), nonzero.data()); break;
    case Isa::Avx2: convolveNAvx2(in, out, rev.data(), bins, acc.data(), nonzero.data()); break;
    case Isa::Plain: convolveNBody(in, out, rev.data(), bins, acc.data(), nonzero.data()); break;
  }
}

Picture projectionPicture(const ProjectionStudy& study, int projection, int densityOffset) {
  const int k = wrapView(projection, study.views());
  if (study.isClassic()) return toPicture(projectionImage(study, k, densityOffset));
  Picture out;
  out.width = study.bins();
  out.height = study.rows();
  out.table = ColorTable::RibbonBand;
  const std::uint16_t* src = study.projection(k);
  out.values.assign(src, src + std::size_t(out.width) * out.height);
  out.divisor = std::int64_t(study.maximum()) + densityOffset - 20;
  return out;
}

Picture smoothedPicture(const ProjectionStudy& study, int projection, BwParameters bw,
                        int densityOffset) {
  const int k = wrapView(projection, study.views());
  if (study.isClassic()) return toPicture(smoothedProjection(study, k, bw, densityOffset));
  const int b = study.bins(), r = study.rows();
  const ButterworthKernel kernel = butterworthKernelFor(bw.order, bw.cutoff, b);
  Picture out;
  out.width = b;
  out.height = r;
  out.values.resize(std::size_t(b) * r);
  std::vector<double> in(static_cast<std::size_t>(b)), smoothed(static_cast<std::size_t>(b));
  const std::uint16_t* src = study.projection(k);
  for (int y = 0; y < r; ++y) {
    for (int c = 0; c < b; ++c) in[std::size_t(c)] = src[std::size_t(y) * b + c];
    smoothRowN(in.data(), smoothed.data(), kernel, b);
    for (int c = 0; c < b; ++c) out.values[std::size_t(y) * b + c] = toImageValue(smoothed[std::size_t(c)]);
  }
  const std::int32_t max = clampAndMax(out.values, 10);
  out.divisor = std::int64_t(max) + densityOffset - 20;
  return out;
}

Picture backprojectionPicture(const ProjectionStudy& study, int sliceLine, int densityOffset) {
  if (study.isClassic()) return toPicture(backprojectionImage(study, sliceLine, densityOffset));
  const int b = study.bins(), g = sliceRowOf(sliceLine, study.rows());
  const AnyGeometry geo(b);
  std::vector<std::int32_t> rows(std::size_t(study.views()) * geo.paddedRow + 8, 0);
  for (int k = 0; k < study.views(); ++k) {
    const std::uint16_t* src = study.projection(k) + std::size_t(g) * b;
    std::copy(src, src + b, rows.begin() + std::ptrdiff_t(k) * geo.paddedRow + geo.pad);
  }
  std::vector<std::int32_t> acc;
  backproject(study, rows, geo, acc);
  Picture out;
  out.width = out.height = b;
  out.values.resize(std::size_t(b) * b);
  for (int x = 0; x < b; ++x)
    for (int y = 0; y < b; ++y) out.values[std::size_t(y) * b + x] = acc[std::size_t(x) * b + y];
  const std::int32_t max = clampAndMax(out.values, 1);
  out.divisor = std::int64_t(max) + densityOffset - 20;
  return out;
}

Picture filteredPicture(const ProjectionStudy& study, int sliceLine, ReconFilter filter,
                        int densityOffset) {
  if (study.isClassic())
    return toPicture(filteredBackprojection(study, sliceLine, filter, densityOffset));
  return filteredAny(study, sliceLine, filter, nullptr, densityOffset);
}

Picture prefilteredPicture(const ProjectionStudy& study, int sliceLine, ReconFilter filter,
                           BwParameters bw, int densityOffset) {
  if (study.isClassic())
    return toPicture(prefilteredBackprojection(study, sliceLine, filter, bw, densityOffset));
  return filteredAny(study, sliceLine, filter, &bw, densityOffset);
}

FrameFit frameFit(int width, int height) {
  FrameFit f;
  const int side = std::max(width, height);
  if (side <= 0) return f;
  if (side <= kSize / 2) f.zoom = kSize / side;
  else if (side > kSize) f.shrink = (side + kSize - 1) / kSize;
  return f;
}

std::vector<std::uint32_t> renderPicture(const Picture& picture, Palette palette) {
  std::uint32_t lut[256];
  paletteTable(picture.table, palette, lut);
  std::vector<std::uint32_t> out(picture.values.size());
  for (std::size_t p = 0; p < out.size(); ++p) out[p] = lut[displayValue(picture.values[p], picture.divisor)];
  return out;
}

RgbImage fitToFrame(const Picture& picture, Palette palette) {
  std::uint32_t lut[256];
  paletteTable(picture.table, palette, lut);
  RgbImage out;
  out.fill(0xff000000u);
  const FrameFit f = frameFit(picture.width, picture.height);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      std::int64_t value;
      if (f.shrink > 1) {
        const int x0 = x * f.shrink, y0 = y * f.shrink;
        if (x0 >= picture.width || y0 >= picture.height) continue;
        std::int64_t sum = 0;
        int n = 0;
        for (int dy = 0; dy < f.shrink && y0 + dy < picture.height; ++dy)
          for (int dx = 0; dx < f.shrink && x0 + dx < picture.width; ++dx, ++n)
            sum += picture.at(x0 + dx, y0 + dy);
        value = sum / n;  // the mean of the block
      } else {
        const int px = x / f.zoom, py = y / f.zoom;
        if (px >= picture.width || py >= picture.height) continue;
        value = picture.at(px, py);
      }
      out[std::size_t(y) * kSize + x] = lut[displayValue(value, picture.divisor)];
    }
  return out;
}

}  // namespace sinora
