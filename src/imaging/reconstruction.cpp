#include "imaging/reconstruction.h"

#include <algorithm>

#include "imaging/geometry.h"

namespace sinora {

namespace {

constexpr int kAllViews[kProjections] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                         12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                                         24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                                         36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
                                         48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59};

// Pixels are backprojected in blocks small enough for the accumulators to stay in L1.
constexpr int kBlock = 2048;

template <typename T>
void backprojectT(const T* rows, const int* views, int viewCount, T* acc) {
  const BinTable& bins = BinTable::instance();
  std::fill(acc, acc + kPixels, T(0));
  auto row = [&](int v) { return rows + std::size_t(views[v]) * kPaddedRow; };
  for (int p0 = 0; p0 < kPixels; p0 += kBlock) {
    T* a = acc + p0;
    int v = 0;
    // Four views a pass: each pixel still adds them one after the other, in view order.
    for (; v + 4 <= viewCount; v += 4) {
      const T *r0 = row(v), *r1 = row(v + 1), *r2 = row(v + 2), *r3 = row(v + 3);
      const std::uint8_t* i0 = bins.view(views[v]) + p0;
      const std::uint8_t* i1 = bins.view(views[v + 1]) + p0;
      const std::uint8_t* i2 = bins.view(views[v + 2]) + p0;
      const std::uint8_t* i3 = bins.view(views[v + 3]) + p0;
      for (int p = 0; p < kBlock; ++p) a[p] = (((a[p] + r0[i0[p]]) + r1[i1[p]]) + r2[i2[p]]) + r3[i3[p]];
    }
    for (; v < viewCount; ++v) {
      const T* r = row(v);
      const std::uint8_t* idx = bins.view(views[v]) + p0;
      for (int p = 0; p < kBlock; ++p) a[p] += r[idx[p]];
    }
  }
}

struct Sinogram {
  double rows[kProjections][kPaddedRow];
};

void loadSinogramRow(const ProjectionStudy& study, int k, int g, double* out) {
  const std::uint16_t* src = study.projection(k) + g * kSize;
  for (int c = 0; c < kSize; ++c) out[c] = src[c];
}

// Filtered, backprojected, rounded and painted: the common end of both filtered slices.
DisplayImage finishFiltered(const Sinogram& filtered, int densityOffset) {
  double kk[kPixels];
  backprojectRows(&filtered.rows[0][0], kAllViews, kProjections, kk);
  DisplayImage out;
  out.across = Axis::First;
  out.table = ColorTable::Ribbon;
  for (int p = 0; p < kPixels; ++p) out.values[p] = toImageValue(kk[p]);
  const std::int32_t max = clampAndMaximum(out.values, 1);
  out.divisor = std::int64_t(max) + densityOffset - 10;
  return out;
}

}  // namespace

void backprojectRows(const double* paddedRows, const int* views, int viewCount, double* acc) {
  backprojectT(paddedRows, views, viewCount, acc);
}
void backprojectRows(const std::int32_t* paddedRows, const int* views, int viewCount,
                     std::int32_t* acc) {
  backprojectT(paddedRows, views, viewCount, acc);
}

std::int32_t clampAndMaximum(Image& image, std::int32_t start) {
  std::int32_t max = start;
  for (std::int32_t& v : image) {
    v = std::max(v, 0);
    max = std::max(max, v);
  }
  return max;
}

DisplayImage projectionImage(const ProjectionStudy& study, int projection, int densityOffset) {
  DisplayImage out;
  out.across = Axis::Second;
  out.table = ColorTable::RibbonBand;
  const std::uint16_t* src = study.projection(projection);
  for (int p = 0; p < kPixels; ++p) out.values[p] = src[p];
  out.divisor = std::int64_t(study.maximum()) + densityOffset - 20;
  return out;
}

DisplayImage smoothedProjection(const ProjectionStudy& study, int projection, BwParameters bw,
                                int densityOffset) {
  const ButterworthKernel kernel = butterworthKernel(bw.order, bw.cutoff);
  DisplayImage out;
  out.across = Axis::Second;
  out.table = ColorTable::Ribbon;
  const std::uint16_t* src = study.projection(projection);
  double in[kSize], smoothed[kSize];
  for (int r = 0; r < kSize; ++r) {
    for (int c = 0; c < kSize; ++c) in[c] = src[r * kSize + c];
    smoothRow(in, smoothed, kernel);
    for (int c = 0; c < kSize; ++c) out.values[r * kSize + c] = toImageValue(smoothed[c]);
  }
  const std::int32_t max = clampAndMaximum(out.values, 10);
  out.divisor = std::int64_t(max) + densityOffset - 20;
  return out;
}

DisplayImage backprojectionImage(const ProjectionStudy& study, int sliceLine, int densityOffset) {
  const int g = sliceRow(sliceLine);
  std::int32_t rows[kProjections][kPaddedRow] = {};
  for (int k = 0; k < kProjections; ++k) {
    const std::uint16_t* src = study.projection(k) + g * kSize;
    for (int c = 0; c < kSize; ++c) rows[k][kRowPad + c] = src[c];
  }
  DisplayImage out;
  out.across = Axis::First;
  out.table = ColorTable::Ribbon;
  backprojectRows(&rows[0][0], kAllViews, kProjections, out.values.data());
  const std::int32_t max = clampAndMaximum(out.values, 1);
  out.divisor = std::int64_t(max) + densityOffset - 20;
  return out;
}

DisplayImage filteredBackprojection(const ProjectionStudy& study, int sliceLine,
                                    ReconFilter filter, int densityOffset) {
  const int g = sliceRow(sliceLine);
  const ReconKernel ra = reconKernel(filter);
  Sinogram filtered = {};
  double row[kSize];
  for (int k = 0; k < kProjections; ++k) {
    loadSinogramRow(study, k, g, row);
    convolveRow(row, filtered.rows[k] + kRowPad, ra);
  }
  return finishFiltered(filtered, densityOffset);
}

DisplayImage prefilteredBackprojection(const ProjectionStudy& study, int sliceLine,
                                       ReconFilter filter, BwParameters bw, int densityOffset) {
  const int g = sliceRow(sliceLine);
  const ReconKernel ra = reconKernel(filter);
  const ButterworthKernel bk = butterworthKernel(bw.order, bw.cutoff);
  Sinogram filtered = {};
  double row[kSize], smoothed[kSize];
  for (int k = 0; k < kProjections; ++k) {
    loadSinogramRow(study, k, g, row);
    smoothRow(row, smoothed, bk);
    convolveRow(smoothed, filtered.rows[k] + kRowPad, ra);
  }
  return finishFiltered(filtered, densityOffset);
}

}  // namespace sinora
