// Images as the program computes and paints them: 128 x 128 integers, and the same picture as
// 8-bit RGB. An Image is indexed [first * 128 + second]; which index runs across the screen is
// carried beside it (see DisplayImage). An RgbImage is always indexed [y * 128 + x].
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace sinora {

constexpr int kSize = 128;              // pixels per side, bins per row
constexpr int kPixels = kSize * kSize;  // 16,384
constexpr int kProjections = 60;        // views, 6 degrees apart
constexpr int kCentre = 64;             // centre of the bins and of the image

using Image = std::array<std::int32_t, kPixels>;
using RgbImage = std::array<std::uint32_t, kPixels>;  // 0xffRRGGBB

// A double becomes an image value as trunc(x + 0.5): NaN gives 0, values beyond the 32-bit range
// are clamped to it. Callers set negatives to 0 afterwards.
inline std::int32_t toImageValue(double x) {
  const double t = x + 0.5;
  if (!(t == t)) return 0;
  if (t >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (t <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(t);
}

// Same conversion without the +0.5: for graph coordinates, which are truncated toward zero.
inline int truncateToInt(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<int>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(x);
}

}  // namespace sinora
