#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "imaging/filters.h"

using namespace sinora;

namespace {

struct KernelCase {
  double order, cutoff;
  double h[5];
  double tolerance;
};

class ButterworthTaps : public ::testing::TestWithParam<KernelCase> {};

TEST_P(ButterworthTaps, MatchReferenceValues) {
  const KernelCase& c = GetParam();
  const ButterworthKernel k = butterworthKernel(c.order, c.cutoff);
  for (int j = 0; j < 5; ++j)
    EXPECT_NEAR(k.h[j], c.h[j], c.tolerance) << "h" << j << " for order " << c.order
                                             << ", cut-off " << c.cutoff;
  const double* h = k.h;
  EXPECT_DOUBLE_EQ(k.yy, h[0] + 2 * h[1] + 2 * h[2] + 2 * h[3] + 2 * h[4]);
  EXPECT_DOUBLE_EQ(k.edge[0], h[0] + h[1] + h[2] + h[3] + h[4]);
  EXPECT_DOUBLE_EQ(k.edge[3], h[0] + 2 * h[1] + 2 * h[2] + 2 * h[3] + h[4]);
}

INSTANTIATE_TEST_SUITE_P(
    Reference, ButterworthTaps,
    ::testing::Values(KernelCase{1, 1, {103.80, 8.496, 0.8576, 1.029, 0.2229}, 0.01},
                      KernelCase{2, 0.25, {70.86, 23.72, 3.431, 1.338, -0.06346}, 0.01},
                      KernelCase{8, 0.1, {26.27, 24.19, 18.70, 11.60, 4.843}, 0.01}));

TEST(Butterworth, NegativeTapForOrderFourHalf) {
  EXPECT_NEAR(butterworthKernel(4, 0.5).h[2], -5.356, 0.01);
}

TEST(Butterworth, PointSourceTapsAreScaledBy128AndSmoothAlike) {
  const ButterworthKernel a = butterworthKernel(2, 0.25);
  const ButterworthKernel b = butterworthKernel(2, 0.25, 128.0);
  for (int j = 0; j < 5; ++j) EXPECT_EQ(a.h[j] / 128, b.h[j]);
  double in[128], outA[128], outB[128];
  for (int i = 0; i < 128; ++i) in[i] = (i * 37) % 101;
  smoothRow(in, outA, a);
  smoothRow(in, outB, b);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(outA[i], outB[i]) << i;
}

TEST(Smoothing, ConstantRowStaysConstantEdgesIncluded) {
  for (auto [order, cutoff] : {std::pair{1.0, 1.0}, {8.0, 0.1}, {4.0, 0.5}}) {
    const ButterworthKernel k = butterworthKernel(order, cutoff);
    double in[128], out[128];
    for (double& v : in) v = 100;
    smoothRow(in, out, k);
    for (int c = 0; c < 128; ++c) EXPECT_NEAR(out[c], 100, 1e-9) << "column " << c;
  }
}

TEST(Smoothing, EndColumnsSeeOnlyTheirFiveSamples) {
  const ButterworthKernel k = butterworthKernel(8, 0.1);
  double in[128] = {}, out[128];
  for (int c = 5; c < 123; ++c) in[c] = 1000;  // columns 0..4 and 123..127 are zero
  smoothRow(in, out, k);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[127], 0.0);
  EXPECT_GT(out[1], 0.0);  // column 1 reaches column 5
  EXPECT_GT(out[126], 0.0);
}

TEST(Smoothing, WeightsAreMirrored) {
  const ButterworthKernel k = butterworthKernel(2, 0.25);
  double in[128] = {}, out[128];
  in[64] = 1;
  smoothRow(in, out, k);
  for (int d = 0; d <= 4; ++d) {
    EXPECT_DOUBLE_EQ(out[64 + d], k.h[d] / k.yy);
    EXPECT_DOUBLE_EQ(out[64 - d], k.h[d] / k.yy);
  }
  EXPECT_EQ(out[69], 0.0);
  EXPECT_EQ(out[59], 0.0);
}

struct ParamCase {
  double order, cutoff, wantOrder, wantCutoff;
};

TEST(Butterworth, ParametersFallBackTogether) {
  const ParamCase cases[] = {
      {0.01, 2, 1, 1},    // 0.01 is not above the limit
      {2, 0.25, 2, 0.25}, {0, 0, 1, 1}, {8, 0.005, 1, 1},
      {-5, 0.5, 1, 1},    {0.0101, 0.5, 0.0101, 0.5},
  };
  for (const ParamCase& c : cases) {
    const BwParameters p = checkedBwParameters(c.order, c.cutoff);
    EXPECT_EQ(p.order, c.wantOrder) << c.order << ", " << c.cutoff;
    EXPECT_EQ(p.cutoff, c.wantCutoff) << c.order << ", " << c.cutoff;
  }
}

struct RaCase {
  int n;
  double ramp, shepp;
  double tolerance;
};

TEST(ReconKernel, ReferenceValues) {
  const ReconKernel ramp = reconKernel(ReconFilter::Ramp);
  const ReconKernel shepp = reconKernel(ReconFilter::SheppLogan);
  const RaCase cases[] = {
      {0, 0.25, 0.2026543207, 1e-9},           {1, -0.1013271603, -0.0675514402, 1e-9},
      {2, 0, -0.0135102880, 1e-9},             {3, -0.0112585734, -0.0057901234, 1e-9},
      {127, -6.282297e-06, -3.141197e-06, 1e-11},
  };
  for (const RaCase& c : cases)
    for (int sign : {1, -1}) {
      EXPECT_NEAR(ramp.at(sign * c.n), c.ramp, c.tolerance) << "Ramp n = " << sign * c.n;
      EXPECT_NEAR(shepp.at(sign * c.n), c.shepp, c.tolerance) << "Shepp-Logan n = " << sign * c.n;
    }
  EXPECT_EQ(ramp.at(126), 0.0);
  double sumRamp = 0, sumShepp = 0;
  for (int n = -127; n <= 127; ++n) {
    sumRamp += ramp.at(n);
    sumShepp += shepp.at(n);
  }
  EXPECT_NEAR(sumRamp, 0.000777, 5e-6);
  EXPECT_NEAR(sumShepp, 0.000795, 5e-6);
}

TEST(ReconKernel, NoneFiltersAsRamp) {
  const ReconKernel none = reconKernel(ReconFilter::None);
  const ReconKernel ramp = reconKernel(ReconFilter::Ramp);
  for (int n = -127; n <= 127; ++n) EXPECT_EQ(none.at(n), ramp.at(n));
}

TEST(Convolution, ConstantRowKeepsBrightEnds) {
  double in[128], out[128];
  for (double& v : in) v = 100;
  convolveRow(in, out, reconKernel(ReconFilter::Ramp));
  EXPECT_NEAR(out[0], 12.54, 0.01);
  EXPECT_NEAR(out[127], 12.54, 0.01);
  EXPECT_NEAR(out[64], 0.157, 0.001);
  convolveRow(in, out, reconKernel(ReconFilter::SheppLogan));
  EXPECT_NEAR(out[0], 10.17, 0.01);
  EXPECT_NEAR(out[64], 0.158, 0.001);
}

TEST(Convolution, MatchesTheSumInAscendingOrderExactly) {
  for (ReconFilter f : {ReconFilter::Ramp, ReconFilter::SheppLogan}) {
    const ReconKernel k = reconKernel(f);
    double in[128], out[128];
    for (int j = 0; j < 128; ++j) in[j] = std::fmod(j * 7919.0, 65536.0);
    convolveRow(in, out, k);
    for (int i = 0; i < 128; ++i) {
      double sum = 0;
      for (int j = 0; j < 128; ++j) sum += in[j] * k.at(j - i);
      EXPECT_EQ(out[i], sum) << "bin " << i;  // bit for bit
    }
  }
}

TEST(Convolution, NaNStaysNaNWithoutTrapping) {
  double in[128], out[128];
  for (double& v : in) v = std::numeric_limits<double>::quiet_NaN();
  convolveRow(in, out, reconKernel(ReconFilter::Ramp));
  EXPECT_TRUE(std::isnan(out[10]));
}

}  // namespace
