#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "imaging/point_source.h"
#include "literal.h"
#include "platform/number.h"
#include "test_util.h"

using namespace sinora;

namespace {

struct StepCase {
  const char* text;
  int step;
};

TEST(ViewStep, FromTheDegreesText) {
  const StepCase cases[] = {
      {"", 30},    {"0", 30},     {"0.01", 30}, {"-5", 30},   {"abc", 30},  {"nan", 30},
      {"1", 1},    {"5.9", 5},    {"7.9", 7},   {"60", 60},   {"75", 60},   {"1000", 60},
      {"0.5", 1},  {"1e400", 60}, {"inf", 60},  {"-inf", 30}, {"  12abc", 12}, {"-0", 30},
      {"3e1", 30}, {"0x10", 16},
  };
  for (const StepCase& c : cases) EXPECT_EQ(viewStep(readNumber(c.text)), c.step) << '"' << c.text << '"';
}

TEST(Curves, ProfileAndRampExtremes) {
  const Curve& p = graphProfile();
  EXPECT_EQ(p[25], 5.0);
  EXPECT_EQ(p[26], 50.0);
  EXPECT_EQ(p[36], 50.0);
  EXPECT_EQ(p[37], 5.0);
  const Curve q = rampCurve();
  EXPECT_NEAR(q[26], 5.87, 0.01);
  EXPECT_NEAR(q[36], 5.87, 0.01);
  EXPECT_NEAR(q[25], -5.42, 0.01);
  EXPECT_NEAR(q[37], -5.42, 0.01);
  EXPECT_NEAR(q[0], 0.60, 0.01);
  EXPECT_NEAR(q[63], 0.60, 0.01);
  // The graph's own coordinates: 210 - 10 q truncated.
  EXPECT_EQ(truncateToInt(210 - 10 * q[26]), 151);
  EXPECT_EQ(truncateToInt(210 - 10 * q[25]), 264);
  EXPECT_EQ(truncateToInt(210 - 10 * q[0]), 203);
}

TEST(Curves, ButterworthRampWithOrderTwoCutoffQuarter) {
  const auto q2 = bwRampCurve(2, 0.25);
  ASSERT_TRUE(q2.has_value());
  EXPECT_NEAR((*q2)[26], 2.50, 0.01);
  EXPECT_NEAR((*q2)[36], 2.50, 0.01);
  EXPECT_NEAR((*q2)[25], -2.05, 0.01);
  EXPECT_EQ(truncateToInt(360 - 10 * (*q2)[26]), 335);
  EXPECT_EQ(truncateToInt(360 - 10 * (*q2)[25]), 380);
}

TEST(Curves, ButterworthRampAbsentForSmallParameters) {
  EXPECT_FALSE(bwRampCurve(0.005, 0.5).has_value());
  EXPECT_FALSE(bwRampCurve(2, 0.01).has_value());
  EXPECT_FALSE(bwRampCurve(0, 0).has_value());
  EXPECT_FALSE(bwRampCurve(std::nan(""), 0.5).has_value());
  EXPECT_TRUE(bwRampCurve(0.0101, 0.0101).has_value());
}

TEST(PointImages, BackprojectionCases) {
  const DisplayImage two = pointSourceBackprojection(30);
  const DisplayImage one = pointSourceBackprojection(60);
  const DisplayImage all = pointSourceBackprojection(1);
  for (int y = 0; y < 128; ++y) {
    const bool source = y >= 55 && y <= 73;
    EXPECT_EQ(two.at(10, y), source ? 20 : 0) << "row " << y;
    EXPECT_EQ(one.at(100, y), source ? 10 : 0) << "row " << y;
  }
  EXPECT_EQ(two.divisor, 20);
  EXPECT_EQ(one.divisor, 10);
  EXPECT_EQ(all.at(64, 64), 600);
  EXPECT_EQ(all.divisor, 600);
  const RgbImage rgb = render(two, Palette::Neither);
  EXPECT_EQ(rgb[60 * 128 + 3], 0xffffffffu);
  EXPECT_EQ(rgb[54 * 128 + 3], 0xff000000u);
}

TEST(PointImages, RampWithTwoViews) {
  const DisplayImage img = pointSourceRamp(30);
  EXPECT_EQ(img.divisor, 3);
  for (int y = 0; y < 128; ++y) {
    int want = 0;
    if (y == 55 || y == 73) want = 3;
    if (y == 56 || y == 57 || y == 71 || y == 72) want = 1;
    EXPECT_EQ(img.at(64, y), want) << "row " << y;
    EXPECT_EQ(img.at(5, y), want) << "row " << y;
  }
  EXPECT_EQ(displayValue(1, img.divisor), 85);
}

TEST(PointImages, OrderZeroLeavesTheRampImage) {
  for (int step : {30, 1, 5})
    EXPECT_TRUE(testutil::sameImage(pointSourceBwRamp(step, 0, 0), pointSourceRamp(step))) << step;
}

TEST(PointImages, CutoffZeroPaintsBlack) {
  const DisplayImage img = pointSourceBwRamp(30, 2, 0);
  EXPECT_EQ(img.divisor, 1);
  for (int v : img.values) ASSERT_EQ(v, 0);
}

TEST(PointImages, HostileNumbersAreSafe) {
  const char* texts[] = {"", "abc", "nan", "1e400", "-5", "0.5", "-0", "inf", "-inf", "1e-320"};
  for (const char* order : texts)
    for (const char* cutoff : texts) {
      const DisplayImage img = pointSourceBwRamp(30, readNumber(order), readNumber(cutoff));
      for (int v : img.values) ASSERT_GE(v, 0) << order << ", " << cutoff;
      ASSERT_GE(img.divisor, 1);
    }
}

TEST(PointImages, AgreeWithLiteral) {
  for (int step : {1, 2, 5, 7, 30, 59, 60}) {
    EXPECT_TRUE(testutil::sameImage(pointSourceBackprojection(step), literal::gazou(step))) << step;
    EXPECT_TRUE(testutil::sameImage(pointSourceRamp(step), literal::rampgazou(step))) << step;
    for (auto [order, cutoff] : {std::pair{2.0, 0.25}, {8.0, 0.1}, {0.0, 0.0}, {4.0, 0.5}})
      EXPECT_TRUE(testutil::sameImage(pointSourceBwRamp(step, order, cutoff),
                                      literal::sumrampgazou(step, order, cutoff)))
          << step << " " << order << " " << cutoff;
  }
}

}  // namespace
