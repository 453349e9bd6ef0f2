// Filters over frequency: responses computed from the kernels the program applies, windows with
// a cut-off, the windowed kernels against a plain DFT, and the sinograms.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "imaging/filter_analysis.h"
#include "imaging/iterative.h"
#include "imaging/reconstruction.h"
#include "imaging/sample_study.h"

using namespace sinora;

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(Responses, TheProgramsKernelsFollowTheirClosedFormsUpToTruncation) {
  const std::vector<double> f = frequencies(65);
  const auto ramp = kernelResponse(reconKernelFor(ReconFilter::Ramp, 128), f);
  const auto shepp = kernelResponse(reconKernelFor(ReconFilter::SheppLogan, 128), f);
  for (std::size_t i = 0; i < f.size(); ++i) {
    EXPECT_NEAR(ramp[i], idealRamp(f[i]), 3e-3) << f[i];
    EXPECT_NEAR(shepp[i], idealSheppLogan(f[i]), 3e-3) << f[i];
  }
  // The truncation at 127 taps shows as a small ripple: not zero at f = 0.
  EXPECT_GT(std::fabs(ramp[0]), 1e-5);
}

TEST(Responses, TheNineTapResponseIsWhatTheSmoothingDoesToACosine) {
  const ButterworthKernel k = butterworthKernelFor(4, 0.2, 128);
  const std::vector<double> f = {0.05, 0.125, 0.25, 0.4};
  const std::vector<double> h = ninetapResponse(k, f);
  for (std::size_t n = 0; n < f.size(); ++n) {
    double in[128], out[128];
    for (int c = 0; c < 128; ++c) in[c] = std::cos(2 * kPi * f[n] * c);
    smoothRowN(in, out, k, 128);
    for (int c = 10; c < 118; ++c)  // away from the renormalised ends
      if (std::fabs(in[c]) > 0.3) ASSERT_NEAR(out[c] / in[c], h[n], 1e-9) << f[n] << " at " << c;
  }
}

TEST(Windows, AreOneAtZeroAndTakeTheirValuesAtTheCutOff) {
  const double fc = 0.3;
  const struct {
    FilterWindow w;
    double atCutoff;
  } cases[] = {{FilterWindow::Ramp, 1},          {FilterWindow::SheppLogan, 2 / kPi},
               {FilterWindow::Hann, 0},          {FilterWindow::Hamming, 0.08},
               {FilterWindow::Parzen, 0},        {FilterWindow::Cosine, 0},
               {FilterWindow::Butterworth, 0.5}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(windowValue(c.w, 0, fc, 6), 1) << windowName(c.w);
    EXPECT_NEAR(windowValue(c.w, fc, fc, 6), c.atCutoff, 1e-12) << windowName(c.w);
    if (c.w != FilterWindow::Butterworth) EXPECT_EQ(windowValue(c.w, fc + 0.01, fc, 6), 0) << windowName(c.w);
    FilterWindow back;
    ASSERT_TRUE(windowFromName(windowName(c.w), &back));
    EXPECT_EQ(back, c.w);
  }
  FilterWindow unknown;
  EXPECT_FALSE(windowFromName("gauss", &unknown));
  // The pre-filter's nominal response is half at its cut-off too.
  EXPECT_DOUBLE_EQ(windowValue(FilterWindow::Butterworth, 0.15, 0.15, 8), 0.5);
}

TEST(Windows, BadSettingsAreRefused) {
  for (double fc : {0.0, -0.1, 0.51, double(NAN), double(INFINITY)})
    EXPECT_FALSE(checkWindowSettings(FilterWindow::Hann, fc, 1).empty()) << fc;
  for (double order : {0.0, -1.0, 1e9, double(NAN)})
    EXPECT_FALSE(checkWindowSettings(FilterWindow::Butterworth, 0.2, order).empty()) << order;
  EXPECT_TRUE(checkWindowSettings(FilterWindow::Hann, 0.5, 0).empty());
  EXPECT_TRUE(checkWindowSettings(FilterWindow::Butterworth, 0.01, 5).empty());
}

// A plain DFT of a real sequence, for the reference below.
void dft(const std::vector<double>& x, std::vector<double>& re, std::vector<double>& im) {
  const std::size_t n = x.size();
  re.assign(n, 0);
  im.assign(n, 0);
  for (std::size_t k = 0; k < n; ++k)
    for (std::size_t t = 0; t < n; ++t) {
      re[k] += x[t] * std::cos(2 * kPi * double(k * t % n) / double(n));
      im[k] -= x[t] * std::sin(2 * kPi * double(k * t % n) / double(n));
    }
}

TEST(Windows, FilteringARowIsMultiplyingItsPaddedSpectrumByTheKernelsResponse) {
  const int b = 32;
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(0, 100);
  std::vector<double> x(b);
  for (double& v : x) v = u(gen);
  for (FilterWindow w : {FilterWindow::Hann, FilterWindow::Parzen, FilterWindow::Butterworth}) {
    const std::vector<double> h = windowedKernel(w, 0.35, 3, b);
    std::vector<double> y(b);
    convolveRowN(x.data(), y.data(), h, b);
    const int n = 4 * b;  // zero-padded beyond 3B - 2: the circular product is the linear one
    std::vector<double> padded(n, 0.0), re, im;
    std::copy(x.begin(), x.end(), padded.begin());
    dft(padded, re, im);
    std::vector<double> f(n);
    for (int k = 0; k < n; ++k) f[std::size_t(k)] = double(k) / n;
    const std::vector<double> hk = kernelResponse(h, f);
    for (int i = 0; i < b; ++i) {
      double back = 0;  // the inverse DFT at i
      for (int k = 0; k < n; ++k) {
        const double a = 2 * kPi * double(k * i % n) / n;
        back += (re[std::size_t(k)] * std::cos(a) - im[std::size_t(k)] * std::sin(a)) * hk[std::size_t(k)];
      }
      back /= n;
      EXPECT_NEAR(y[std::size_t(i)], back, 1e-12 * (1 + std::fabs(back))) << windowName(w) << " " << i;
    }
  }
}

TEST(Windows, KernelsHaveTheWindowedRampAsTheirResponse) {
  const std::vector<double> f = frequencies(41);
  for (FilterWindow w : {FilterWindow::Hann, FilterWindow::Hamming, FilterWindow::Cosine, FilterWindow::Butterworth}) {
    const std::vector<double> r = kernelResponse(windowedKernel(w, 0.4, 4, 128), f);
    for (std::size_t i = 0; i < f.size(); ++i) {
      // Hamming jumps from 0.08 to 0 at its cut-off: a finite kernel meets the jump half way.
      if (w == FilterWindow::Hamming && std::fabs(f[i] - 0.4) < 0.02) continue;
      EXPECT_NEAR(r[i], f[i] * windowValue(w, f[i], 0.4, 4), 5e-3) << windowName(w) << " " << f[i];
    }
  }
}

TEST(Windows, RampAtNyquistReconstructsAsTheProgramsRampKernel) {
  const ProjectionStudy& s = *sampleStudy();
  const std::vector<double> mine = windowedKernel(FilterWindow::Ramp, 0.5, 0, 128);
  const std::vector<double> program = reconKernelFor(ReconFilter::Ramp, 128);
  // The same kernel but for pi: the program's is 3.1415, so its odd taps are larger by about 6e-5.
  for (int n = -127; n <= 127; ++n)
    EXPECT_NEAR(mine[std::size_t(n + 127)], program[std::size_t(n + 127)],
                1e-4 * std::fabs(program[std::size_t(n + 127)]) + 1e-9) << n;
  const Picture a = windowedPicture(s, 60, mine, 7);
  const Picture b = filteredPicture(s, 60, ReconFilter::Ramp, 7);
  int worst = 0;
  for (std::size_t p = 0; p < a.values.size(); ++p) worst = std::max(worst, std::abs(a.values[p] - b.values[p]));
  EXPECT_LE(worst, 1);  // rounding of values that differ by the pi difference
}

TEST(Sinograms, APointSourceDrawsItsSineAndBackprojectsToItself) {
  const ProjectionStudy& s = *sampleStudy();
  const std::vector<double> y = pointSinogram(s, 90, 40);
  for (int k = 0; k < 60; ++k) {
    int bins = 0;
    for (int c = 0; c < 128; ++c) bins += y[std::size_t(k) * 128 + c] > 0;
    EXPECT_EQ(bins, 1) << k;
  }
  EXPECT_EQ(y[90], 100);  // view 0 sees it at bin i
  std::vector<double> bp;
  backProject(s, y, {}, bp);
  EXPECT_EQ(bp[std::size_t(90) * 128 + 40], 6000);
  const Picture sino = sinogramPicture(s, 60, 7);
  EXPECT_EQ(sino.width, 128);
  EXPECT_EQ(sino.height, 60);
  EXPECT_EQ(sino.at(70, 13), s.count(13, 60, 70));
  // The power spectrum of the sample's rows falls from its signal to the noise floor.
  const auto p = rowPowerSpectrum(sinogramOf(s, 60), 60, 128);
  ASSERT_EQ(p.size(), 65u);
  EXPECT_GT(p[1], 100 * p[60]);
}

}  // namespace

namespace {

TEST(WindowedKernel, KeptKernelsAreTheOnesAskedFor) {
  struct Case {
    FilterWindow w;
    double fc, order;
    int bins;
  };
  const Case cases[] = {{FilterWindow::Hann, 0.3, 5, 128},
                        {FilterWindow::Hann, 0.3, 5, 64},
                        {FilterWindow::Hann, std::nextafter(0.3, 1.0), 5, 128},
                        {FilterWindow::Hamming, 0.3, 5, 128},
                        {FilterWindow::Butterworth, 0.3, 5, 128},
                        {FilterWindow::Butterworth, 0.3, 6, 128}};
  std::vector<std::vector<double>> first;
  for (const Case& c : cases) first.push_back(windowedKernel(c.w, c.fc, c.order, c.bins));
  for (std::size_t a = 0; a < first.size(); ++a) {
    EXPECT_EQ(first[a].size(), std::size_t(2 * cases[a].bins - 1)) << a;
    for (std::size_t b = 0; b < a; ++b) EXPECT_NE(first[a], first[b]) << a << " and " << b;
  }
  // Asked again, in the other order: the same kernels.
  for (std::size_t a = first.size(); a-- > 0;)
    EXPECT_EQ(windowedKernel(cases[a].w, cases[a].fc, cases[a].order, cases[a].bins), first[a]) << a;
}

}  // namespace
