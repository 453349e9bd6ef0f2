// The filters as curves over frequency f (cycles/pixel, 0..0.5), and reconstruction filters with a
// cut-off. Responses are computed from the kernels the program applies:
// - a symmetric kernel h(n), n = -(B-1)..B-1, has the real response H(f) = h(0) + 2 sum h(n) cos(2 pi f n);
// - the nine-tap Butterworth pre-filter responds (h0 + 2 sum_d h_d cos(2 pi f d)) / (sum of the nine weights);
// - windowed ramps: h(n) = 2 int_0^0.5 f W(f) cos(2 pi f n) df (composite Simpson, 8192 steps), the
//   ramp times its window turned once into 2B - 1 taps, applied with the program's convolution.
#pragma once

#include <string>
#include <vector>

#include "imaging/filters.h"
#include "imaging/slices.h"
#include "imaging/study.h"

namespace sinora {

enum class FilterWindow { Ramp, SheppLogan, Hann, Hamming, Parzen, Cosine, Butterworth };

// "ramp", "shepp-logan", "hann", ... and back; false for an unknown name.
const char* windowName(FilterWindow w);
bool windowFromName(const std::string& name, FilterWindow* w);

// W(f) of a window with cut-off fc (0 < fc <= 0.5) and, for Butterworth, an order:
// 1 / (1 + (f / fc)^order) there (its half-amplitude point is fc, as the pre-filter's); the others
// are 0 above fc.
double windowValue(FilterWindow w, double f, double fc, double order);

// Why a cut-off or order is refused (Japanese), or empty.
std::string checkWindowSettings(FilterWindow w, double fc, double order);

// The spatial kernel [n + B - 1], n = -(B-1)..B-1.
std::vector<double> windowedKernel(FilterWindow w, double fc, double order, int bins);

// A symmetric kernel's response at the frequencies given.
std::vector<double> kernelResponse(const std::vector<double>& kernel, const std::vector<double>& f);
// The nine-tap pre-filter's response (the taps of butterworthKernelFor, renormalised).
std::vector<double> ninetapResponse(const ButterworthKernel& k, const std::vector<double>& f);

// n frequencies from 0 to 0.5 inclusive.
std::vector<double> frequencies(int n);

// Ideal responses for comparison: |f| and Shepp-Logan's |f| sinc(f) = |sin(pi f)| / pi.
double idealRamp(double f);
double idealSheppLogan(double f);

// The mean power spectrum of the rows of a views x B sinogram, at frequencies k / B for
// k = 0..B/2 (the rows' DFT, |X|^2 / B, averaged over the views).
std::vector<double> rowPowerSpectrum(const std::vector<double>& sinogram, int views, int bins);

// The slice filtered with a window's kernel and backprojected (as filteredPicture).
Picture windowedPicture(const ProjectionStudy& study, int sliceLine, const std::vector<double>& kernel,
                        int densityOffset);

// The sinogram of a row as a picture: views down, bins across, with the projection's mapping.
Picture sinogramPicture(const ProjectionStudy& study, int row, int densityOffset);

// A point source's sinogram at (i, j) of a B x B slice, for the views of `study` (value 100).
std::vector<double> pointSinogram(const ProjectionStudy& study, int i, int j);
Picture sinogramPicture(const std::vector<double>& sinogram, int views, int bins, int densityOffset);

}  // namespace sinora
