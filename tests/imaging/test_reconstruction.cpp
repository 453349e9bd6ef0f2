#include <gtest/gtest.h>

#include "imaging/reconstruction.h"
#include "imaging/sample_study.h"
#include "literal.h"
#include "test_util.h"

using namespace sinora;
using testutil::makeStudy;
using testutil::sameImage;

namespace {

// A study that is zero except one count at (every projection, row g, column 64).
StudyPtr singleCount(int g, int value) {
  return makeStudy([=](int, int r, int c) { return (r == g && c == 64) ? value : 0; });
}

TEST(Reconstruction, SingleCountGivesTheKernelCentreTimesSixty) {
  const StudyPtr s = singleCount(60, 1);
  const DisplayImage ramp = filteredBackprojection(*s, 60, ReconFilter::Ramp, 7);
  const DisplayImage shepp = filteredBackprojection(*s, 60, ReconFilter::SheppLogan, 7);
  EXPECT_EQ(ramp.values[64 * 128 + 64], 15);
  EXPECT_EQ(shepp.values[64 * 128 + 64], 12);
  EXPECT_EQ(ramp.divisor, 15 + 7 - 10);
}

TEST(Reconstruction, SumsDoNotWrap) {
  // 1000 at the centre column of every projection: the centre pixel sums to 60,000.
  const StudyPtr s = singleCount(60, 1000);
  const DisplayImage bp = backprojectionImage(*s, 60, 7);
  EXPECT_EQ(bp.values[64 * 128 + 64], 60000);
  EXPECT_EQ(bp.divisor, 60000 + 7 - 20);
  const DisplayImage fbp = filteredBackprojection(*s, 60, ReconFilter::Ramp, 7);
  EXPECT_EQ(fbp.values[64 * 128 + 64], 15000);
}

TEST(Reconstruction, LargeCountsEnterUnsigned) {
  const StudyPtr s = singleCount(60, 40000);
  EXPECT_EQ(projectionImage(*s, 3, 7).values[60 * 128 + 64], 40000);
  EXPECT_EQ(smoothedProjection(*s, 3, {0.02, 1e6}, 7).values[60 * 128 + 64] > 0, true);
  EXPECT_EQ(backprojectionImage(*s, 60, 7).values[64 * 128 + 64], 60 * 40000);
  EXPECT_EQ(filteredBackprojection(*s, 60, ReconFilter::Ramp, 7).values[64 * 128 + 64],
            600000);  // 60 * 40000 * 0.25
  EXPECT_GT(prefilteredBackprojection(*s, 60, ReconFilter::Ramp, {1, 1}, 7).values[64 * 128 + 64],
            300000);
}

TEST(Reconstruction, SliceOutsideTheRowsUsesRowZero) {
  const StudyPtr s = makeStudy([](int k, int r, int c) { return (r * 7 + c * 3 + k) % 50; });
  const DisplayImage row0 = backprojectionImage(*s, 0, 7);
  for (int slice : {-1, 128, 500, -2147483647 - 1}) {
    EXPECT_TRUE(sameImage(backprojectionImage(*s, slice, 7), row0)) << slice;
    EXPECT_TRUE(sameImage(filteredBackprojection(*s, slice, ReconFilter::Ramp, 7),
                          filteredBackprojection(*s, 0, ReconFilter::Ramp, 7)))
        << slice;
  }
  EXPECT_FALSE(sameImage(backprojectionImage(*s, 127, 7), row0));
}

TEST(Reconstruction, ZeroRowGivesBlackImageWithMaximumOne) {
  const StudyPtr s = makeStudy([](int, int r, int) { return r == 5 ? 0 : 100; });
  const DisplayImage bp = backprojectionImage(*s, 5, 7);
  const DisplayImage fbp = filteredBackprojection(*s, 5, ReconFilter::Ramp, 7);
  EXPECT_EQ(bp.divisor, 1 + 7 - 20);
  EXPECT_EQ(fbp.divisor, 1 + 7 - 10);
  for (int p = 0; p < kPixels; ++p) ASSERT_EQ(render(fbp, Palette::Ribbon)[p], 0xff000000u);
}

TEST(Projection, StudyMaximumFromTenAndBandTable) {
  const StudyPtr zeros = makeStudy([](int, int, int) { return 0; });
  EXPECT_EQ(projectionImage(*zeros, 0, 7).divisor, 10 + 7 - 20);
  const StudyPtr s = makeStudy([](int k, int, int c) { return k == 59 && c == 3 ? 1000 : 1; });
  const DisplayImage p0 = projectionImage(*s, 0, 20);
  const DisplayImage p59 = projectionImage(*s, 59, 20);
  EXPECT_EQ(p0.divisor, p59.divisor);
  EXPECT_EQ(p59.divisor, 1000);
  EXPECT_EQ(render(p59, Palette::Ribbon)[3], 0xfff2ceceu);  // value = maximum -> (242, 206, 206)
}

TEST(Smoothing, ZeroProjectionHasMaximumTen) {
  const StudyPtr s = makeStudy([](int k, int, int) { return k == 0 ? 0 : 500; });
  const DisplayImage img = smoothedProjection(*s, 0, {1, 1}, 7);
  EXPECT_EQ(img.divisor, 10 + 7 - 20);
  for (int v : img.values) ASSERT_EQ(v, 0);
}

TEST(Reconstruction, HostileParametersNeitherCrashNorLeaveGarbage) {
  const StudyPtr s = sampleStudy();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (BwParameters bw : {BwParameters{nan, 1}, BwParameters{1, nan}, BwParameters{inf, inf},
                          BwParameters{1e300, 0.5}, BwParameters{-0.0, 2}, BwParameters{0.5, 1e-300}}) {
    const DisplayImage a = smoothedProjection(*s, 0, checkedBwParameters(bw.order, bw.cutoff), 7);
    const DisplayImage b = prefilteredBackprojection(*s, 60, ReconFilter::SheppLogan, bw, 7);
    for (int p = 0; p < kPixels; ++p) {
      ASSERT_GE(a.values[p], 0);
      ASSERT_GE(b.values[p], 0);
    }
    EXPECT_TRUE(sameImage(a, literal::smoothed(*s, 0, bw.order, bw.cutoff, 7)));
  }
}

// The fast routines against the literal transcription, value for value.
struct OracleCase {
  const char* name;
  int study;  // 0 sample, 1 random counts 0..65535, 2 random counts 0..300
  int slice, projection, density;
  ReconFilter filter;
  double order, cutoff;
};

class AgreesWithLiteral : public ::testing::TestWithParam<OracleCase> {
 protected:
  static StudyPtr studyFor(int which) {
    static const StudyPtr wide = testutil::randomStudy(11, 65535);
    static const StudyPtr narrow = testutil::randomStudy(12, 300);
    return which == 0 ? sampleStudy() : which == 1 ? wide : narrow;
  }
};

TEST_P(AgreesWithLiteral, EveryImage) {
  const OracleCase& c = GetParam();
  const StudyPtr s = studyFor(c.study);
  const int filter = c.filter == ReconFilter::SheppLogan ? 2 : 1;
  const BwParameters checked = checkedBwParameters(c.order, c.cutoff);
  EXPECT_TRUE(sameImage(projectionImage(*s, c.projection, c.density),
                        literal::projection(*s, c.projection, c.density)));
  EXPECT_TRUE(sameImage(smoothedProjection(*s, c.projection, checked, c.density),
                        literal::smoothed(*s, c.projection, c.order, c.cutoff, c.density)));
  EXPECT_TRUE(sameImage(backprojectionImage(*s, c.slice, c.density),
                        literal::backprojection(*s, c.slice, c.density)));
  EXPECT_TRUE(sameImage(filteredBackprojection(*s, c.slice, c.filter, c.density),
                        literal::reconprojection(*s, c.slice, filter, c.density)));
  const DisplayImage pre = prefilteredBackprojection(*s, c.slice, c.filter, checked, c.density);
  EXPECT_TRUE(sameImage(pre, literal::sumreconprojection(*s, c.slice, filter, checked.order,
                                                         checked.cutoff, c.density)));
  for (Palette p : {Palette::Neither, Palette::BlackWhite})
    EXPECT_TRUE(testutil::samePixels(render(pre, p), literal::paint(pre, p)));
}

INSTANTIATE_TEST_SUITE_P(
    Studies, AgreesWithLiteral,
    ::testing::Values(
        OracleCase{"sample_default", 0, 60, 0, 7, ReconFilter::None, 0, 0},
        OracleCase{"sample_ramp", 0, 60, 10, 7, ReconFilter::Ramp, 8, 0.1},
        OracleCase{"sample_shepp", 0, 40, 59, 30, ReconFilter::SheppLogan, 2, 0.25},
        OracleCase{"sample_negative_taps", 0, 90, 31, 0, ReconFilter::Ramp, 4, 0.5},
        OracleCase{"wide_ramp", 1, 3, 5, 255, ReconFilter::Ramp, 1, 1},
        OracleCase{"wide_shepp_edge_row", 1, 127, 44, 7, ReconFilter::SheppLogan, 8, 0.1},
        OracleCase{"wide_bad_slice", 1, -7, 1, 100, ReconFilter::None, 0.01, 2},
        OracleCase{"narrow", 2, 64, 30, 12, ReconFilter::SheppLogan, 3.5, 0.3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SampleReconstruction, ResemblesTheSliceItWasMadeFrom) {
  // Row 60 cuts the hot lesion (left frontal, around x = 40, y = 38) and the cold ventricles.
  const DisplayImage fbp =
      prefilteredBackprojection(*sampleStudy(), 60, ReconFilter::Ramp, {8, 0.1}, 10);
  auto mean = [&](int x0, int y0) {
    double sum = 0;
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy) sum += fbp.at(x0 + dx, y0 + dy);
    return sum / 9;
  };
  const double lesion = mean(40, 38), ventricle = mean(58, 58), cortex = mean(64, 64 + 51),
               deepGrey = mean(49, 69), whiteMatter = mean(90, 64);
  EXPECT_GT(lesion, cortex);
  EXPECT_GT(cortex, whiteMatter);
  EXPECT_GT(deepGrey, whiteMatter);
  EXPECT_GT(whiteMatter, ventricle);
  EXPECT_GT(cortex, 2 * ventricle);
}

}  // namespace
