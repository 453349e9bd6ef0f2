#include "imaging/point_source.h"

#include <cmath>

#include "imaging/filters.h"
#include "imaging/geometry.h"
#include "imaging/reconstruction.h"

namespace sinora {

namespace {

constexpr double kGraphPi = 3.141592;

bool isSourceBin(int bin) { return bin >= 55 && bin <= 73; }

int usedViews(int step, int* views) {
  if (step < 1) step = 1;
  int n = 0;
  for (int a = 0; a < kProjections; a += step) views[n++] = a;
  return n;
}

// 64-sample convolution over the whole kernel: out(i) = sum over j of in(j) * kernel(j - i).
Curve convolve64(const Curve& in, const double* kernelCentre) {
  Curve out{};
  for (int i = 0; i < 64; ++i) {
    double sum = 0;
    for (int j = 0; j < 64; ++j) sum += in[j] * kernelCentre[j - i];
    out[i] = sum;
  }
  return out;
}

struct GraphRamp {
  double h[127];
  GraphRamp() {
    double* c = h + 63;
    c[0] = 0.25;
    for (int n = 1; n <= 63; ++n) c[n] = c[-n] = (n % 2 == 1) ? -1 / (kGraphPi * kGraphPi * n * n) : 0.0;
  }
  const double* centre() const { return h + 63; }
};

const GraphRamp& graphRamp() {
  static const GraphRamp ramp;
  return ramp;
}

DisplayImage finishPointImage(DisplayImage out) {
  out.across = Axis::Second;
  out.table = ColorTable::Ribbon;
  out.divisor = clampAndMaximum(out.values, 1);
  return out;
}

DisplayImage filteredPointImage(int step, const ButterworthKernel* bw) {
  int views[kProjections];
  const int n = usedViews(step, views);
  double row[kSize];
  for (int b = 0; b < kSize; ++b) row[b] = isSourceBin(b) ? 10.0 : 0.0;
  double smoothed[kSize];
  const double* filterInput = row;
  if (bw) {
    smoothRow(row, smoothed, *bw);
    filterInput = smoothed;
  }
  // Every used view has the same row, so one filtered row serves them all.
  static thread_local double rows[kProjections][kPaddedRow];
  double filtered[kPaddedRow] = {};
  convolveRow(filterInput, filtered + kRowPad, reconKernel(ReconFilter::Ramp));
  for (int v = 0; v < n; ++v)
    for (int b = 0; b < kPaddedRow; ++b) rows[views[v]][b] = filtered[b];
  double acc[kPixels];
  backprojectRows(&rows[0][0], views, n, acc);
  DisplayImage out;
  for (int p = 0; p < kPixels; ++p) out.values[p] = toImageValue(acc[p]);
  return finishPointImage(out);
}

}  // namespace

int viewStep(double degrees) {
  if (!(degrees > 0.01)) return 30;
  if (degrees >= 60) return 60;
  const int step = static_cast<int>(degrees);
  return step < 1 ? 1 : step;
}

const Curve& graphProfile() {
  static const Curve profile = [] {
    Curve p{};
    for (int i = 0; i < 64; ++i) p[i] = (i >= 26 && i <= 36) ? 50.0 : 5.0;
    return p;
  }();
  return profile;
}

Curve rampCurve() {
  return convolve64(graphProfile(), graphRamp().centre());
}

std::optional<Curve> bwRampCurve(double order, double cutoff) {
  if (!(cutoff > 0.01 && order > 0.01)) return std::nullopt;
  double w[64];
  for (int i = 0; i < 64; ++i) {
    const double f = (i <= 31 ? double(i) / 64 : double(64 - i) / 64) / cutoff;
    w[i] = 1 / (1 + std::pow(f, order));
  }
  const double delta = 2 * kGraphPi / 64;
  double g[127];
  double* gc = g + 63;
  for (int k = 0; k <= 63; ++k) {
    double sum = 0;
    for (int i = 0; i < 64; ++i) sum += w[i] * std::cos((i * k) * delta);
    gc[k] = gc[-k] = (1.0 / 64) * sum;
  }
  const Curve b = convolve64(graphProfile(), gc);
  return convolve64(b, graphRamp().centre());
}

DisplayImage pointSourceBackprojection(int step) {
  int views[kProjections];
  const int n = usedViews(step, views);
  static thread_local std::int32_t rows[kProjections][kPaddedRow];
  for (int v = 0; v < n; ++v)
    for (int b = 0; b < kPaddedRow; ++b) rows[views[v]][b] = isSourceBin(b - kRowPad) ? 10 : 0;
  DisplayImage out;
  backprojectRows(&rows[0][0], views, n, out.values.data());
  return finishPointImage(out);
}

DisplayImage pointSourceRamp(int step) { return filteredPointImage(step, nullptr); }

DisplayImage pointSourceBwRamp(int step, double order, double cutoff) {
  const ButterworthKernel bw = butterworthKernel(order, cutoff, 128.0);
  return filteredPointImage(step, &bw);
}

}  // namespace sinora
