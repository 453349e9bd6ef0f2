// Opening a study another way: a turn of the start angle turns the slice, a mirrored direction of
// rotation reflects it, and another energy window brings its own counts.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/open_way.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

constexpr int kViews = 64, kBins = 64, kRows = 2;

// A point at pixel offset (di, dj) from the centre, projected by the program's own bin rule.
StudyPtr pointStudy(int di, int dj, double start = 0) {
  StudyGeometry g;
  g.views = kViews;
  g.rows = kRows;
  g.bins = kBins;
  std::vector<std::uint16_t> counts(std::size_t(kViews) * kRows * kBins);
  for (int k = 0; k < kViews; ++k) {
    const double theta = start + k * 360.0 / kViews;
    g.angles.push_back(theta);
    const double t = theta * 3.14159265358979323846 / 180;
    const int bin = int(std::lround(dj * std::sin(t) + di * std::cos(t))) + kBins / 2;
    for (int r = 0; r < kRows; ++r) counts[(std::size_t(k) * kRows + r) * kBins + std::size_t(bin)] = 100;
  }
  return std::make_shared<const ProjectionStudy>(std::move(g), std::move(counts));
}

// Where the reconstructed slice is brightest, as an offset from the centre (i across, j down).
std::pair<int, int> brightest(const ProjectionStudy& s) {
  const Picture p = filteredPicture(s, 0, ReconFilter::Ramp, 10);
  int best = 0;
  for (int n = 1; n < p.width * p.height; ++n)
    if (p.values[std::size_t(n)] > p.values[std::size_t(best)]) best = n;
  return {best % p.width - kBins / 2, best / p.width - kBins / 2};
}

TEST(OpenWay, TurnsAndMirrorsTheSlice) {
  const StudyPtr plain = pointStudy(12, -6, 30);
  ASSERT_EQ(brightest(*plain), std::make_pair(12, -6));
  const struct {
    OpenWay way;
    std::pair<int, int> at;  // where the point lands
  } cases[] = {
      {{0, false}, {12, -6}},
      {{90, false}, {6, 12}},     // a quarter turn clockwise on the screen
      {{180, false}, {-12, 6}},
      {{270, false}, {-6, -12}},
      {{-90, false}, {-6, -12}},  // the same as 270
      // Mirrored about the first view's bin axis, at 30 degrees: (12, -6) reflects to about
      // (0.8, 13.4).
      {{0, true}, {1, 13}},
      {{90, true}, {-13, 1}},
  };
  for (const auto& c : cases) {
    const StudyPtr s = openedWay(plain, c.way);
    ASSERT_TRUE(s) << c.way.turnDegrees;
    EXPECT_EQ(brightest(*s), c.at) << c.way.turnDegrees << (c.way.mirror ? " mirrored" : "");
    EXPECT_EQ(s->counts(), plain->counts());
    if (s != plain)  // a changed study's angles are brought into 0..360
      for (int k = 0; k < kViews; ++k) ASSERT_TRUE(s->angleDegrees(k) >= 0 && s->angleDegrees(k) < 360) << k;
  }
  EXPECT_EQ(openedWay(plain, {}), plain);  // nothing to change: the same study
  EXPECT_FALSE(openedWay(plain, {45, false}));
  EXPECT_FALSE(openedWay(plain, {0, false, 1}));  // a study of one window has no second
  EXPECT_TRUE(openedWay(plain, {0, false, 0}));
  EXPECT_EQ(describeOpenWay(*plain, {}), "");
  EXPECT_EQ(describeOpenWay(*plain, {270, true}), "270 度回す、回転方向を逆に");
}

TEST(OpenWay, ChoosesTheWindowAndTurnsIt) {
  StudyGeometry g = pointStudy(0, 0)->geometry();
  auto set = std::make_shared<EnergyWindowSet>();
  set->windows = {{"peak", 126, 154}, {"scatter", 100, 120}};
  const StudyPtr a = pointStudy(10, 0), b = pointStudy(0, 10);
  set->counts = {a->counts(), b->counts()};
  g.energyWindows = set;
  const auto study = std::make_shared<const ProjectionStudy>(g, a->counts());
  const StudyPtr second = openedWay(study, {90, false, 1});
  ASSERT_TRUE(second);
  EXPECT_EQ(second->geometry().energyWindow, 1);
  EXPECT_EQ(brightest(*second), std::make_pair(-10, 0));  // (0, 10) turned a quarter
  EXPECT_NE(describeOpenWay(*study, {0, false, 1}).find("scatter 100.0-120.0 keV"), std::string::npos);
  EXPECT_FALSE(openedWay(study, {0, false, 2}));
}

}  // namespace
