// The windowed projector adds each bin's pixels one by one in ascending order, exactly as the
// pixel lists do, for any geometry; it takes the views where it pays and leaves the others.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "imaging/backproject_blocks.h"
#include "imaging/forward_steps.h"
#include "imaging/geometry.h"
#include "imaging/study.h"

using namespace sinora;

namespace {

ProjectionStudy geometryOf(int bins, const std::vector<double>& angles) {
  StudyGeometry g;
  g.views = int(angles.size());
  g.rows = 1;
  g.bins = bins;
  g.angles = angles;
  return ProjectionStudy(g, std::vector<std::uint16_t>(angles.size() * std::size_t(bins), 1));
}

// Values over six orders of magnitude inside the circle (0 outside, as in every OSEM image):
// adding the same pixels in any other order changes the sums' last bits.
std::vector<double> ragged(int b, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> exponent(-3, 3);
  std::vector<double> image(std::size_t(b) * b, 0.0);
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      if (insideCircle(i, j, b)) image[std::size_t(i) * b + j] = std::pow(10.0, exponent(gen));
  return image;
}

}  // namespace

TEST(WindowProjector, EachBinAddsItsOwnPixelsInOrder) {
  if (!vectorBackprojectionSupported()) GTEST_SKIP() << "no AVX-512 here";
  struct Case {
    int bins;
    std::vector<double> angles;
  };
  std::vector<Case> cases;
  std::vector<double> even, odd, irregular;
  for (int k = 0; k < 120; ++k) even.push_back(k * 3.0);
  for (int k = 0; k < 36; ++k) odd.push_back(1 + k * 10.0);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> anywhere(-400, 400);
  for (int k = 0; k < 40; ++k) irregular.push_back(anywhere(gen));
  cases.push_back({128, even});
  cases.push_back({64, odd});
  cases.push_back({100, irregular});  // groups past the last bin, a quad of one group
  cases.push_back({20, even});        // the last windows pulled back inside the image
  for (const Case& c : cases) {
    const ProjectionStudy s = geometryOf(c.bins, c.angles);
    const int b = c.bins;
    const std::vector<AnyBinLists>& lists = *s.binLists(true);
    const std::shared_ptr<const WindowTable> table = buildWindowTable(lists, b);
    ASSERT_TRUE(table) << b;
    const std::vector<double> image = ragged(b, unsigned(b));
    const AnyGeometry g(b);
    int stepped = 0;
    for (std::size_t k = 0; k < lists.size(); ++k) {
      const WindowView& v = table->views[k];
      if (!v.phases) continue;
      ++stepped;
      std::vector<double> got(std::size_t(b) + 8, -1.0);
      forwardWindows(v, image.data(), got.data(), b);
      for (int e = 0; e < 8; ++e) EXPECT_EQ(got[std::size_t(b + e)], -1.0) << "wrote past bin " << b - 1;
      for (int bin = 0; bin < b; ++bin) {
        double want = 0;
        for (std::uint32_t q = lists[k].start[std::size_t(bin + g.pad)]; q < lists[k].start[std::size_t(bin + g.pad) + 1]; ++q)
          want += image[lists[k].pixels[q]];
        ASSERT_EQ(got[std::size_t(bin)], want)
            << b << " bins, view at " << s.angleDegrees(int(k)) << " degrees, bin " << bin;
      }
    }
    // Views across the rows are stepped, views along them are not.
    EXPECT_GT(stepped, 0) << b;
    EXPECT_LT(stepped, int(lists.size())) << b;
  }
}

TEST(WindowProjector, TakesOnlyTheViewsWhereItPays) {
  std::vector<double> angles;
  for (int k = 0; k < 120; ++k) angles.push_back(k * 3.0);
  const ProjectionStudy s = geometryOf(128, angles);
  const std::vector<AnyBinLists>& lists = *s.binLists(true);
  const std::shared_ptr<const WindowTable> table = buildWindowTable(lists, 128);
  ASSERT_TRUE(table);
  auto phases = [&](double degrees) { return table->views[std::size_t(std::lround(degrees / 3))].phases; };
  EXPECT_EQ(phases(0), 0);  // a bin is a row: one lane at a time
  EXPECT_EQ(phases(180), 0);
  EXPECT_EQ(phases(90), 1);  // a bin is a column: one pixel a row, eight neighbours a step
  EXPECT_EQ(phases(270), 1);
  EXPECT_EQ(phases(45), 2);  // a bin takes two neighbours in most rows
  EXPECT_EQ(phases(135), 2);
  // Never: forwardOcts costs nothing. Always: it costs without end.
  const std::shared_ptr<const WindowTable> none = buildWindowTable(lists, 128, {0, 1, 1});
  const std::shared_ptr<const WindowTable> all = buildWindowTable(lists, 128, {1e9, 1, 1});
  for (std::size_t k = 0; k < lists.size(); ++k) {
    EXPECT_EQ(none->views[k].phases, 0) << k;
    EXPECT_NE(all->views[k].phases, 0) << k;
  }
  // Slices whose pixels are not whole cache lines get none.
  const ProjectionStudy odd = geometryOf(130, angles);
  EXPECT_FALSE(buildWindowTable(*odd.binLists(true), 130));
}
