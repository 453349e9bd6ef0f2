#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "platform/number.h"

using sinora::readNumber;

namespace {

TEST(ReadNumber, AsAtofReadsIt) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"", 0},        {"abc", 0},       {"1.5", 1.5},   {"  2.25xyz", 2.25}, {"-5", -5},
      {"+3", 3},      {"1e3", 1000},    {".5", 0.5},    {"5.", 5},           {"0x1p3", 8},
      {"1,5", 1},     {"\t7", 7},       {"0.01", 0.01}, {"1e-400", 0},       {"-", 0},
      {"e5", 0},      {"１", 0},  // a full-width digit is no number
  };
  for (const Case& c : cases) EXPECT_EQ(readNumber(c.text), c.value) << '"' << c.text << '"';
  EXPECT_TRUE(std::isinf(readNumber("1e400")));
  EXPECT_TRUE(std::isinf(readNumber("inf")));
  EXPECT_TRUE(std::isnan(readNumber("nan")));
  EXPECT_TRUE(std::signbit(readNumber("-0")));
}

TEST(ReadNumber, IgnoresTheUsersLocale) {
  // A locale with a decimal comma, if the machine has one; the point must still be the point.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
                        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr;
  EXPECT_EQ(readNumber("2.5"), 2.5);
  EXPECT_EQ(readNumber("2,5"), 2.0);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no decimal-comma locale installed";
}

}  // namespace
