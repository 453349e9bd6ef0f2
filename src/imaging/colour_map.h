// Continuous display of values: a value v inside a display window [low, high] becomes a position
// t = (v - low) / (high - low), clamped to 0..1 (NaN shows as 0), and t a colour of one of four
// maps. Values are never rounded before this; the window, not the data, decides what is shown.
#pragma once

#include <cstdint>
#include <vector>

namespace sinora {

// Ribbon: the program's 256-colour table; Grey: black to white; Viridis: a perceptually uniform
// map (computed, see colourAt); InvertedGrey: white to black.
enum class ColourMap { Ribbon, Grey, Viridis, InvertedGrey };

struct DisplayWindow {
  double low = 0, high = 1;  // high > low
};

// The default window of a picture: minimum to maximum, or 0 to maximum when `fromZero` (counts;
// values below 0 then show in the bottom colour).
// NaN and infinities are skipped; a flat or empty picture gets low .. low + 1.
DisplayWindow valueWindow(const std::vector<double>& values, bool fromZero);

// A window made valid: ordered, finite, and at least a few ulps wide.
DisplayWindow validWindow(double low, double high);

// Position of v in the window, 0..1.
double windowPosition(double v, DisplayWindow w);

// Colour at position t (0..1) as 0xffRRGGBB. Ribbon and the greys use 256 levels
// (level = min(255, floor(t * 256))); Viridis is evaluated at t itself.
std::uint32_t colourAt(ColourMap map, double t);

// Every value's colour, in the values' order.
std::vector<std::uint32_t> mapValues(const std::vector<double>& values, DisplayWindow w, ColourMap map);

}  // namespace sinora
