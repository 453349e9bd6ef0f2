#include "imaging/filters.h"

#include <cmath>

#include "imaging/cpu.h"

namespace sinora {

ButterworthKernel butterworthKernel(double order, double cutoff, double tapDivisor) {
  double bf[kSize];
  for (int i = 0; i < kSize; ++i) {
    const double q = (i <= 64 ? i / 128.0 : (128 - i) / 128.0) / cutoff;
    bf[i] = 1 / (1 + std::pow(q, order));
  }
  ButterworthKernel k{};
  for (int j = 0; j < 5; ++j) {
    double y = 0;
    for (int i = 0; i < kSize; ++i) y += std::cos((i * j) * kCosineStep) * bf[i];
    k.h[j] = y / tapDivisor;
  }
  weighKernel(k);
  return k;
}

void weighKernel(ButterworthKernel& k) {
  const double* h = k.h;
  k.yy = h[0] + 2 * h[1] + 2 * h[2] + 2 * h[3] + 2 * h[4];
  k.edge[0] = h[0] + h[1] + h[2] + h[3] + h[4];
  k.edge[1] = h[0] + 2 * h[1] + h[2] + h[3] + h[4];
  k.edge[2] = h[0] + 2 * h[1] + 2 * h[2] + h[3] + h[4];
  k.edge[3] = h[0] + 2 * h[1] + 2 * h[2] + 2 * h[3] + h[4];
}

void smoothRow(const double* in, double* out, const ButterworthKernel& kernel) {
  const double* h = kernel.h;
  // Ends: only the samples inside the row, divided by the weights they carry.
  for (int c = 0; c < 4; ++c) {
    double sum = 0, sumEnd = 0;
    for (int d = -4; d <= 4; ++d) {
      const int w = d < 0 ? -d : d;
      if (c + d >= 0) sum += h[w] * in[c + d];
      const int e = 127 - c;
      if (e + d <= 127) sumEnd += h[w] * in[e + d];
    }
    out[c] = sum / kernel.edge[c];
    out[127 - c] = sumEnd / kernel.edge[c];
  }
  // Inner columns, written so that each output keeps the ascending order of its nine terms.
  const double h0 = h[0], h1 = h[1], h2 = h[2], h3 = h[3], h4 = h[4], yy = kernel.yy;
  for (int c = 4; c < 124; ++c) {
    double sum = 0;
    sum += h4 * in[c - 4];
    sum += h3 * in[c - 3];
    sum += h2 * in[c - 2];
    sum += h1 * in[c - 1];
    sum += h0 * in[c];
    sum += h1 * in[c + 1];
    sum += h2 * in[c + 2];
    sum += h3 * in[c + 3];
    sum += h4 * in[c + 4];
    out[c] = sum / yy;
  }
}

BwParameters checkedBwParameters(double order, double cutoff) {
  if (order <= 0.01 || cutoff <= 0.01) return {1.0, 1.0};
  return {order, cutoff};
}

ReconKernel reconKernel(ReconFilter filter) {
  const double pai = 3.1415;
  ReconKernel k{};
  double* ra = k.ra + 127;  // ra[n] = Ra(n)
  if (filter == ReconFilter::SheppLogan) {
    for (int n = 0; n <= 127; ++n) ra[n] = 2 / (pai * pai * (1 - 4 * n * n));
  } else {
    ra[0] = 0.25;
    for (int n = 1; n <= 127; ++n) ra[n] = (n % 2 == 1) ? -1 / (pai * pai * n * n) : 0.0;
  }
  for (int n = 1; n <= 127; ++n) ra[-n] = ra[n];
  return k;
}

namespace {

// The loop adds across i, so each out[i] keeps its order of additions on every vector width.
__attribute__((always_inline)) inline void convolveBody(const double* in, double* out,
                                                         const ReconKernel& kernel) {
  // j outer, i inner: every out[i] still adds its terms in ascending j, and the inner loop runs
  // over contiguous memory (the kernel read backwards is stored forwards in rev).
  alignas(64) double rev[256];  // on a cache line: the stack's own alignment varies from run to run
  for (int m = 0; m < 255; ++m) rev[m] = kernel.ra[254 - m];  // rev[m] = Ra(127 - m)
  alignas(64) double acc[kSize] = {};
  for (int j = 0; j < kSize; ++j) {
    const double v = in[j];
    const double* r = rev + 127 - j;  // r[i] = Ra(j - i)
    for (int i = 0; i < kSize; ++i) acc[i] += v * r[i];
  }
  for (int i = 0; i < kSize; ++i) out[i] = acc[i];
}

__attribute__((target("avx512f"))) void convolveAvx512(const double* in, double* out,
                                                       const ReconKernel& kernel) {
  convolveBody(in, out, kernel);
}
__attribute__((target("avx2"))) void convolveAvx2(const double* in, double* out,
                                                  const ReconKernel& kernel) {
  convolveBody(in, out, kernel);
}

}  // namespace

void convolveRow(const double* in, double* out, const ReconKernel& kernel) {
  switch (isaInUse()) {
    case Isa::Avx512: convolveAvx512(in, out, kernel); break;
    case Isa::Avx2: convolveAvx2(in, out, kernel); break;
    case Isa::Plain: convolveBody(in, out, kernel); break;
  }
}

}  // namespace sinora
