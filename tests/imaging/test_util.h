#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/display.h"
#include "imaging/study.h"

namespace testutil {

// Compares two images value by value and names the first differing pixel.
inline ::testing::AssertionResult sameImage(const sinora::DisplayImage& a,
                                            const sinora::DisplayImage& b) {
  for (int p = 0; p < sinora::kPixels; ++p)
    if (a.values[p] != b.values[p])
      return ::testing::AssertionFailure()
             << "first difference at index [" << p / 128 << "][" << p % 128 << "]: " << a.values[p]
             << " vs " << b.values[p];
  if (a.divisor != b.divisor)
    return ::testing::AssertionFailure() << "divisors differ: " << a.divisor << " vs " << b.divisor;
  if (a.across != b.across || a.table != b.table)
    return ::testing::AssertionFailure() << "orientation or table differ";
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult samePixels(const sinora::RgbImage& a, const sinora::RgbImage& b) {
  for (int p = 0; p < sinora::kPixels; ++p)
    if (a[p] != b[p])
      return ::testing::AssertionFailure() << "first difference at x " << p % 128 << ", y "
                                           << p / 128 << ": " << std::hex << a[p] << " vs " << b[p];
  return ::testing::AssertionSuccess();
}

// A study from a function of (projection, row, column).
template <typename F>
sinora::StudyPtr makeStudy(F f) {
  std::vector<std::uint16_t> counts(sinora::kStudyCounts);
  for (int k = 0; k < 60; ++k)
    for (int r = 0; r < 128; ++r)
      for (int c = 0; c < 128; ++c)
        counts[std::size_t(k) * 16384 + r * 128 + c] = static_cast<std::uint16_t>(f(k, r, c));
  return std::make_shared<const sinora::ProjectionStudy>(std::move(counts));
}

inline sinora::StudyPtr randomStudy(std::uint32_t seed, int maxCount) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> dist(0, maxCount);
  return makeStudy([&](int, int, int) { return dist(gen); });
}

}  // namespace testutil
