#include <gtest/gtest.h>

#include "imaging/display.h"
#include "literal.h"
#include "test_util.h"

using namespace sinora;

namespace {

struct TableCase {
  ColorTable table;
  int d;
  Rgb rgb;
};

class TableColors : public ::testing::TestWithParam<TableCase> {};

TEST_P(TableColors, MatchTheTabulatedEntries) {
  const TableCase& c = GetParam();
  const Rgb got = tableColor(c.table, c.d);
  EXPECT_EQ(got.r, c.rgb.r) << "d = " << c.d;
  EXPECT_EQ(got.g, c.rgb.g) << "d = " << c.d;
  EXPECT_EQ(got.b, c.rgb.b) << "d = " << c.d;
}

INSTANTIATE_TEST_SUITE_P(
    SpotValues, TableColors,
    ::testing::Values(TableCase{ColorTable::Ribbon, 0, {0, 0, 0}},
                      TableCase{ColorTable::Ribbon, 5, {124, 0, 141}},
                      TableCase{ColorTable::Ribbon, 14, {136, 0, 154}},
                      TableCase{ColorTable::Ribbon, 15, {125, 0, 155}},
                      TableCase{ColorTable::Ribbon, 24, {23, 0, 197}},
                      TableCase{ColorTable::Ribbon, 92, {0, 170, 126}},
                      TableCase{ColorTable::Ribbon, 93, {0, 170, 126}},
                      TableCase{ColorTable::Ribbon, 149, {117, 255, 0}},
                      TableCase{ColorTable::Ribbon, 150, {101, 255, 0}},
                      TableCase{ColorTable::Ribbon, 244, {219, 121, 121}},
                      TableCase{ColorTable::Ribbon, 245, {223, 85, 85}},
                      TableCase{ColorTable::Ribbon, 255, {255, 255, 255}},
                      TableCase{ColorTable::RibbonBand, 0, {0, 0, 0}},
                      TableCase{ColorTable::RibbonBand, 1, {119, 0, 136}},
                      TableCase{ColorTable::RibbonBand, 5, {119, 0, 136}},
                      TableCase{ColorTable::RibbonBand, 6, {126, 0, 143}},
                      TableCase{ColorTable::RibbonBand, 100, {0, 167, 87}},
                      TableCase{ColorTable::RibbonBand, 101, {0, 159, 39}},
                      TableCase{ColorTable::RibbonBand, 250, {226, 146, 146}},
                      TableCase{ColorTable::RibbonBand, 255, {242, 206, 206}}));

struct DisplayCase {
  std::int64_t value, divisor;
  int expected;
};

class DisplayValues : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayValues, ScaleAndSaturate) {
  const DisplayCase& c = GetParam();
  EXPECT_EQ(displayValue(c.value, c.divisor), c.expected)
      << c.value << " * 255 / " << c.divisor;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayValues,
    ::testing::Values(DisplayCase{0, 987, 0}, DisplayCase{1000, 1000, 255},
                      DisplayCase{999, 1000, 254},
                      DisplayCase{1000, 987, 255},  // 258 saturates instead of vanishing
                      DisplayCase{500, -3, 255},    // divisor below 1 counts as 1
                      DisplayCase{0, -12, 0}, DisplayCase{1, 0, 255},
                      DisplayCase{2000000000, 2100000000, 242},  // no 32-bit overflow
                      DisplayCase{60000, 60000, 255}, DisplayCase{3, 9, 85}));

TEST(Render, PalettesAndOrientation) {
  DisplayImage img;
  img.divisor = 100;
  img.table = ColorTable::Ribbon;
  img.across = Axis::Second;
  img.values[5 * 128 + 7] = 100;  // row 5, column 7
  img.values[9 * 128 + 2] = 250;  // above the scale
  const RgbImage ribbon = render(img, Palette::Ribbon);
  EXPECT_EQ(ribbon[5 * 128 + 7], 0xffffffffu);
  EXPECT_EQ(ribbon[9 * 128 + 2], 0xffffffffu);
  EXPECT_EQ(ribbon[0], 0xff000000u);
  EXPECT_TRUE(testutil::samePixels(render(img, Palette::Neither), ribbon));
  const RgbImage grey = render(img, Palette::BlackWhite);
  EXPECT_EQ(grey[9 * 128 + 2], 0xffffffffu);  // saturates to white, not a wrapped grey

  img.across = Axis::First;  // values[x][y]
  const RgbImage transposed = render(img, Palette::Ribbon);
  EXPECT_EQ(transposed[7 * 128 + 5], 0xffffffffu);
  EXPECT_EQ(transposed[5 * 128 + 7], 0xff000000u);
}

TEST(Render, AgreesWithPixelByPixelPainting) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> dist(0, 70000);
  for (ColorTable table : {ColorTable::Ribbon, ColorTable::RibbonBand})
    for (Axis axis : {Axis::First, Axis::Second})
      for (std::int64_t divisor : {-5, 0, 1, 987, 65535, 70000}) {
        DisplayImage img;
        img.table = table;
        img.across = axis;
        img.divisor = divisor;
        for (auto& v : img.values) v = dist(gen);
        for (Palette p : {Palette::Neither, Palette::Ribbon, Palette::BlackWhite})
          EXPECT_TRUE(testutil::samePixels(render(img, p), literal::paint(img, p)))
              << "divisor " << divisor;
      }
}

}  // namespace
