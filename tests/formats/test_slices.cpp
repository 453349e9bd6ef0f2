// Slices of any geometry: the general code gives the classic numbers where the geometry is the
// classic one, views at their own angles, and pictures fitted into the 128 x 128 frame.
#include <gtest/gtest.h>

#include "imaging/geometry.h"
#include "imaging/reconstruction.h"

#include <cmath>
#include "imaging/sample_study.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

// The sample study with one extra empty row: not classic, so the general code runs, while every
// number it computes for rows 0..127 is defined exactly as for the study file.
StudyPtr sampleWithExtraRow() {
  const StudyPtr s = sampleStudy();
  StudyGeometry g;
  g.views = 60;
  g.rows = 129;
  g.bins = 128;
  std::vector<std::uint16_t> counts(std::size_t(60) * 129 * 128, 0);
  for (int k = 0; k < 60; ++k)
    for (int r = 0; r < 128; ++r)
      for (int c = 0; c < 128; ++c) counts[(std::size_t(k) * 129 + r) * 128 + c] = s->count(k, r, c);
  return std::make_shared<const ProjectionStudy>(g, std::move(counts));
}

::testing::AssertionResult same(const Picture& got, const DisplayImage& want) {
  if (got.width != 128 || got.height < 128) return ::testing::AssertionFailure() << "size";
  if (got.divisor != want.divisor)
    return ::testing::AssertionFailure() << "divisor " << got.divisor << " vs " << want.divisor;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x)
      if (got.at(x, y) != want.at(x, y))
        return ::testing::AssertionFailure() << "first different pixel (" << x << ", " << y
                                             << "): " << got.at(x, y) << " vs " << want.at(x, y);
  return ::testing::AssertionSuccess();
}

struct SliceCase {
  int slice;
  ReconFilter filter;
  BwParameters bw;
  int density;
};

class GeneralMatchesClassic : public ::testing::TestWithParam<SliceCase> {};

TEST_P(GeneralMatchesClassic, ValueForValue) {
  const StudyPtr general = sampleWithExtraRow();
  ASSERT_FALSE(general->isClassic());
  const ProjectionStudy& classic = *sampleStudy();
  const SliceCase c = GetParam();
  EXPECT_TRUE(same(backprojectionPicture(*general, c.slice, c.density),
                   backprojectionImage(classic, c.slice, c.density)));
  EXPECT_TRUE(same(filteredPicture(*general, c.slice, c.filter, c.density),
                   filteredBackprojection(classic, c.slice, c.filter, c.density)));
  EXPECT_TRUE(same(prefilteredPicture(*general, c.slice, c.filter, c.bw, c.density),
                   prefilteredBackprojection(classic, c.slice, c.filter, c.bw, c.density)));
}

INSTANTIATE_TEST_SUITE_P(Slices, GeneralMatchesClassic,
                         ::testing::Values(SliceCase{60, ReconFilter::Ramp, {8, 0.15}, 7},
                                           SliceCase{40, ReconFilter::SheppLogan, {2, 0.3}, 30},
                                           SliceCase{0, ReconFilter::None, {1, 1}, 0},
                                           SliceCase{127, ReconFilter::Ramp, {5, 0.05}, 7}));

TEST(GeneralSlices, ProjectionsAndSmoothingMatchTooAndViewsWrap) {
  const StudyPtr general = sampleWithExtraRow();
  const ProjectionStudy& classic = *sampleStudy();
  const Picture p = projectionPicture(*general, 7, 7);
  EXPECT_EQ(p.height, 129);
  EXPECT_TRUE(same(p, projectionImage(classic, 7, 7)));
  // The smoothed projection's maximum may differ only by the extra row of zeros (none here).
  EXPECT_TRUE(same(smoothedPicture(*general, 67, {8, 0.1}, 7),
                   smoothedProjection(classic, 7, {8, 0.1}, 7)));
}

TEST(GeneralSlices, KernelsForOneHundredAndTwentyEightBinsAreTheClassicOnes) {
  const ButterworthKernel a = butterworthKernel(3.5, 0.2), b = butterworthKernelFor(3.5, 0.2, 128);
  for (int j = 0; j < 5; ++j) EXPECT_EQ(a.h[j], b.h[j]);
  const ReconKernel ra = reconKernel(ReconFilter::SheppLogan);
  const std::vector<double> rb = reconKernelFor(ReconFilter::SheppLogan, 128);
  ASSERT_EQ(rb.size(), 255u);
  for (int n = -127; n <= 127; ++n) EXPECT_EQ(ra.at(n), rb[std::size_t(n + 127)]) << n;
  // Other widths: Ra(n) for n = -(B-1)..B-1, the nine taps renormalised at the row ends.
  EXPECT_EQ(reconKernelFor(ReconFilter::Ramp, 5).size(), 9u);
  const ButterworthKernel k = butterworthKernelFor(2, 0.25, 7);
  const double in[7] = {1, 1, 1, 1, 1, 1, 1};
  double out[7];
  smoothRowN(in, out, k, 7);
  for (double v : out) EXPECT_NEAR(v, 1.0, 1e-12);  // a flat row stays flat, ends included
}

// A point off centre, acquired over 360 degrees in 90 views starting anywhere, reconstructs at
// the same place: each view is backprojected at its own angle.
TEST(GeneralSlices, ViewsAreBackprojectedAtTheirOwnAngles) {
  for (double start : {0.0, 37.0, 180.0}) {
    StudyGeometry g;
    g.views = 90;
    g.rows = 1;
    g.bins = 64;
    const int c = 32;
    const int px = 44, py = 24;  // i across, j down
    std::vector<std::uint16_t> counts(std::size_t(90) * 64, 0);
    for (int k = 0; k < 90; ++k) {
      const double deg = start + k * 4.0;
      g.angles.push_back(deg);
      const double th = angleRadians(deg);
      const double s = (py - c) * std::sin(th) + (px - c) * std::cos(th);
      const int bin = int(s >= 0 ? s + 0.5 : s - 0.5) + c;
      counts[std::size_t(k) * 64 + bin] = 100;
    }
    const ProjectionStudy study(g, std::move(counts));
    const Picture bp = backprojectionPicture(study, 0, 20);
    EXPECT_EQ(bp.at(px, py), 9000) << start;  // every view adds its 100 there
    int best = 0;
    for (int v : bp.values) best = std::max(best, v);
    EXPECT_EQ(best, 9000);
  }
}

TEST(FrameFit, ZoomsSmallPicturesAndAveragesLargeOnes) {
  const struct {
    int w, h, zoom, shrink;
  } cases[] = {{128, 128, 1, 1}, {64, 64, 2, 1}, {128, 64, 1, 1}, {32, 20, 4, 1}, {65, 65, 1, 1},
               {256, 256, 1, 2}, {129, 64, 1, 2}, {512, 512, 1, 4}, {1, 1, 128, 1}};
  for (const auto& c : cases) {
    const FrameFit f = frameFit(c.w, c.h);
    EXPECT_EQ(f.zoom, c.zoom) << c.w << "x" << c.h;
    EXPECT_EQ(f.shrink, c.shrink) << c.w << "x" << c.h;
  }
  Picture p;
  p.width = p.height = 256;
  p.values.assign(256 * 256, 0);
  p.values[0] = 400;  // the top-left 2 x 2 block averages to 100
  p.divisor = 255;
  p.table = ColorTable::Ribbon;
  const RgbImage shown = fitToFrame(p, Palette::BlackWhite);
  EXPECT_EQ(shown[0], 0xff646464u);
  Picture small;
  small.width = small.height = 64;
  small.values.assign(64 * 64, 255);
  small.divisor = 255;
  const RgbImage zoomed = fitToFrame(small, Palette::BlackWhite);
  EXPECT_EQ(zoomed[127 * 128 + 127], 0xffffffffu);  // 64 x 2 fills the frame
  Picture odd;
  odd.width = 100;
  odd.height = 50;
  odd.values.assign(100 * 50, 255);
  odd.divisor = 255;
  const RgbImage padded = fitToFrame(odd, Palette::BlackWhite);
  EXPECT_EQ(padded[49 * 128 + 99], 0xffffffffu);
  EXPECT_EQ(padded[50 * 128 + 99], 0xff000000u);  // black beyond the picture
  EXPECT_EQ(padded[10 * 128 + 100], 0xff000000u);
}

}  // namespace
