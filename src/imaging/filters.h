// The two filters of the program, each in one place:
// - the Butterworth pre-filter: a frequency response 1 / (1 + (f / fc)^order) over the 128 bins
//   of a row, turned by a cosine sum into five taps h0..h4, applied as a nine-tap smoothing that
//   divides by the sum of the weights it used (so the row ends are renormalised);
// - the reconstruction kernel Ra(n), n = -127..127 (Ramp or Shepp-Logan, pi = 3.1415), applied
//   as a direct convolution truncated at the row ends: F(i) = sum over j = 0..127 of x(j) Ra(j - i).
#pragma once

#include "imaging/image.h"

namespace sinora {

constexpr double kCosineStep = 0.049087375;  // 2 * 3.141592 / 128

struct ButterworthKernel {
  double h[5];  // weights for distances 0..4
  double yy;    // sum of the nine weights (inner columns)
  double edge[4];  // y0..y3: sums for columns 0..3 (and, mirrored, 127..124)
};

// tapDivisor: the point-source window divides each tap by 128; the reconstruction window by 1.
// No test of the parameters is made here.
ButterworthKernel butterworthKernel(double order, double cutoff, double tapDivisor = 1.0);

// Fills yy and edge[] from the taps h[] (the sums each column of a row divides by).
void weighKernel(ButterworthKernel& kernel);

// out[c] = (sum of h(|d|) * in[c + d] for d = -4..4 within 0..127, ascending) / weight(c).
void smoothRow(const double* in, double* out, const ButterworthKernel& kernel);

// Order and cut-off as the reconstruction window uses them: if either is 0.01 or less, both 1.0.
struct BwParameters {
  double order = 1.0;
  double cutoff = 1.0;
};
BwParameters checkedBwParameters(double order, double cutoff);

enum class ReconFilter { None, Ramp, SheppLogan };  // None filters as Ramp

struct ReconKernel {
  double ra[255];  // ra[n + 127] = Ra(n)
  double at(int n) const { return ra[n + 127]; }
};
ReconKernel reconKernel(ReconFilter filter);

// out[i] = sum over j = 0..127 (ascending, from 0) of in[j] * Ra(j - i).
void convolveRow(const double* in, double* out, const ReconKernel& kernel);

}  // namespace sinora
