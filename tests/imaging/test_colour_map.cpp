// Continuous display of values: the default window, hostile values, the four colour maps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "imaging/colour_map.h"
#include "imaging/display.h"

using namespace sinora;

namespace {

TEST(ColourMap, DefaultWindowIsTheRangeOrFromZeroForCounts) {
  const double nan = std::nan(""), inf = INFINITY;
  struct Case {
    std::vector<double> values;
    bool fromZero;
    double low, high;
  } cases[] = {
      {{0.1, 0.35, 0.2}, true, 0, 0.35},
      {{0.1, 0.35, 0.2}, false, 0.1, 0.35},
      {{-4.3, 8.7}, true, 0, 8.7},        // an FBP: its ripples below 0 show as the bottom colour
      {{-4.3, 8.7}, false, -4.3, 8.7},    // a difference: its own range
      {{nan, 2, inf, -inf, 1}, false, 1, 2},  // what is not a number is skipped
      {{5, 5, 5}, false, 5, 6},           // flat: one wide
      {{}, true, 0, 1},
      {{nan}, true, 0, 1},
      {{-3, -1}, true, 0, 1},
  };
  for (const Case& c : cases) {
    const DisplayWindow w = valueWindow(c.values, c.fromZero);
    EXPECT_EQ(w.low, c.low) << c.values.size();
    EXPECT_EQ(w.high, c.high) << c.values.size();
  }
}

TEST(ColourMap, AnyWindowIsMadeValid) {
  const double nan = std::nan("");
  for (const auto& [lo, hi] : std::vector<std::pair<double, double>>{
           {1, 1}, {2, 1}, {nan, 3}, {0, nan}, {1e300, INFINITY}, {0, 0}, {1e-300, 1e-300}, {5, 5 + 1e-16}}) {
    const DisplayWindow w = validWindow(lo, hi);
    EXPECT_TRUE(std::isfinite(w.low) && std::isfinite(w.high)) << lo << ' ' << hi;
    EXPECT_GT(w.high, w.low) << lo << ' ' << hi;
    for (double v : {w.low, w.high, (w.low + w.high) / 2}) {
      const double t = windowPosition(v, w);
      EXPECT_TRUE(t >= 0 && t <= 1) << lo << ' ' << hi;
    }
  }
  EXPECT_EQ(windowPosition(std::nan(""), {0, 1}), 0);
  EXPECT_EQ(windowPosition(-INFINITY, {0, 1}), 0);
  EXPECT_EQ(windowPosition(INFINITY, {0, 1}), 1);
}

TEST(ColourMap, RibbonAndGreyUseTheirTablesLevelByLevel) {
  for (int level : {0, 1, 77, 128, 254, 255}) {
    const double t = (level + 0.5) / 256;
    const Rgb c = kRibbonColorTable[level];
    EXPECT_EQ(colourAt(ColourMap::Ribbon, t), 0xff000000u | c.r << 16 | c.g << 8 | c.b) << level;
    EXPECT_EQ(colourAt(ColourMap::Grey, t), 0xff000000u | level << 16 | level << 8 | level) << level;
    const int inv = 255 - level;
    EXPECT_EQ(colourAt(ColourMap::InvertedGrey, t), 0xff000000u | inv << 16 | inv << 8 | inv) << level;
  }
  EXPECT_EQ(colourAt(ColourMap::Grey, 1), 0xffffffffu);
  EXPECT_EQ(colourAt(ColourMap::Grey, 2), 0xffffffffu);
  EXPECT_EQ(colourAt(ColourMap::Grey, std::nan("")), 0xff000000u);
}

// Viridis is perceptually uniform: its lightness rises steadily from end to end, and its
// colours stay distinct.
TEST(ColourMap, ViridisRisesInLightnessAndHasManyColours) {
  auto lightness = [](std::uint32_t c) {  // relative luminance, sRGB weights
    auto lin = [](int v) {
      const double s = v / 255.0;
      return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(int(c >> 16 & 255)) + 0.7152 * lin(int(c >> 8 & 255)) + 0.0722 * lin(int(c & 255));
  };
  double before = -1;
  std::set<std::uint32_t> seen;
  for (int n = 0; n <= 64; ++n) {
    const std::uint32_t c = colourAt(ColourMap::Viridis, n / 64.0);
    EXPECT_GT(lightness(c), before) << n;
    before = lightness(c);
    seen.insert(c);
  }
  EXPECT_EQ(seen.size(), 65u);
  // The published ends: (68, 1, 84) and (253, 231, 37), within the polynomial's few levels.
  const std::uint32_t a = colourAt(ColourMap::Viridis, 0), b = colourAt(ColourMap::Viridis, 1);
  EXPECT_NEAR(int(a >> 16 & 255), 68, 4);
  EXPECT_NEAR(int(a & 255), 84, 4);
  EXPECT_NEAR(int(b >> 16 & 255), 253, 4);
  EXPECT_NEAR(int(b >> 8 & 255), 231, 4);
  EXPECT_NEAR(int(b & 255), 37, 6);
}

TEST(ColourMap, MapValuesFollowsTheWindowNotTheValues) {
  const std::vector<double> v = {0.0, 0.05, 0.1, 0.2, 0.35};
  const auto wide = mapValues(v, {0, 0.35}, ColourMap::Grey);
  const auto narrow = mapValues(v, {0.05, 0.1}, ColourMap::Grey);
  EXPECT_EQ(wide[0], 0xff000000u);
  EXPECT_EQ(wide[4], 0xffffffffu);
  EXPECT_EQ(narrow[1], 0xff000000u);
  EXPECT_EQ(narrow[2], 0xffffffffu);
  EXPECT_EQ(narrow[3], 0xffffffffu);  // above the window: the top colour
  EXPECT_NE(wide[2], narrow[2]);
}

}  // namespace
