#include <gtest/gtest.h>

#include "imaging/geometry.h"

using namespace sinora;

namespace {

TEST(Bins, ReferenceCases) {
  for (int i = 0; i < 128; i += 9) {
    EXPECT_EQ(binOf(0, i, 17), i);        // view 0: the bin is the first index
    EXPECT_EQ(binOf(15, 33, i), i);       // 90 degrees: the second index
    EXPECT_EQ(binOf(30, i, 64), 128 - i); // 3.1415 radians
  }
  EXPECT_EQ(binOf(30, 0, 64), 128);  // outside the row
}

TEST(Bins, HalvesRoundAwayFromZero) {
  // At 60 degrees (k = 10) cos is 0.5 to within 1e-4: s = (i - 64) / 2 for j = 64.
  // s = 0.50002 and -0.50002 still tell the direction of rounding.
  EXPECT_EQ(binOf(10, 65, 64), 65);
  EXPECT_EQ(binOf(10, 63, 64), 63);
  EXPECT_EQ(binOf(10, 69, 64), 67);  // 2.5001 -> 3
  EXPECT_EQ(binOf(10, 59, 64), 61);  // -2.5001 -> -3
}

TEST(Bins, RangeAndPixelsThatNeverLeaveTheRow) {
  int lo = 1000, hi = -1000, alwaysInside = 0;
  for (int i = 0; i < 128; ++i)
    for (int j = 0; j < 128; ++j) {
      bool inside = true;
      for (int k = 0; k < 60; ++k) {
        const int b = binOf(k, i, j);
        lo = std::min(lo, b);
        hi = std::max(hi, b);
        inside = inside && b >= 0 && b <= 127;
      }
      alwaysInside += inside;
    }
  EXPECT_EQ(lo, -26);
  EXPECT_EQ(hi, 154);
  EXPECT_EQ(alwaysInside, 12677);
}

TEST(Bins, TableHoldsTheRuleForEveryPixelAndView) {
  const BinTable& table = BinTable::instance();
  for (int k = 0; k < 60; ++k)
    for (int i = 0; i < 128; ++i)
      for (int j = 0; j < 128; ++j)
        ASSERT_EQ(int(table.view(k)[i * 128 + j]) - kRowPad, binOf(k, i, j))
            << "view " << k << ", pixel " << i << ", " << j;
}

}  // namespace
