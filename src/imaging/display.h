// Display mapping: an integer image, a divisor, a colour table, a palette and the axis that runs
// across become a 128 x 128 RGB picture. Display value d = value * 255 / divisor (64-bit product,
// truncating division), clamped to 0..255; a divisor below 1 counts as 1. Every pixel is set.
#pragma once

#include <cstdint>

#include "imaging/image.h"

namespace sinora {

struct Rgb {
  std::uint8_t r, g, b;
};

enum class ColorTable { Ribbon, RibbonBand };  // 256 colours, or 52 bands of five values
enum class Palette { Neither, Ribbon, BlackWhite };  // Neither paints as Ribbon
enum class Axis { First, Second };  // which index of the Image becomes x

extern const Rgb kRibbonColorTable[256];
extern const Rgb kRibbonBandTable[52];

// Colour of display value d (0..255) in a table: band table index is (d + 4) / 5.
Rgb tableColor(ColorTable table, int d);

// Display value of one pixel, clamped to 0..255.
inline int displayValue(std::int64_t value, std::int64_t divisor) {
  if (divisor < 1) divisor = 1;
  if (value <= 0) return 0;
  if (value >= divisor) return 255;
  return static_cast<int>(value * 255 / divisor);
}

// An image as a window paints it: values plus how to map them.
struct DisplayImage {
  Image values{};  // values[first * 128 + second]
  std::int64_t divisor = 1;
  ColorTable table = ColorTable::Ribbon;
  Axis across = Axis::Second;

  // Value shown at screen position (x, y).
  std::int32_t at(int x, int y) const {
    return across == Axis::Second ? values[y * kSize + x] : values[x * kSize + y];
  }
};

RgbImage render(const DisplayImage& image, Palette palette);

}  // namespace sinora
