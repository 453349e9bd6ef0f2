// The width of a reconstructed point: the full width at half maximum of a slice [i * B + j]
// through a pixel, along i (across the screen) and along j, each by linear interpolation between
// the pixels on either side of half the value at that pixel. Pixels.
#pragma once

#include <vector>

namespace sinora {

struct Fwhm {
  double across = 0, down = 0;  // NaN where the profile never falls to half within the slice
};

Fwhm fwhmThrough(const std::vector<double>& slice, int bins, int i, int j);

}  // namespace sinora
