#include "imaging/colour_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "imaging/display.h"

namespace sinora {

namespace {

std::uint32_t pack(int r, int g, int b) {
  return 0xff000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

int level(double t) { return std::min(255, int(std::floor(t * 256))); }

// Viridis as a polynomial of degree 6 in t per channel: Matt Zucker's least-squares fit of
// matplotlib's viridis (van der Walt and Smith, 2015), published under CC0. Within 1/255 of the
// map everywhere.
constexpr double kViridis[3][7] = {
    {0.2777273272234177, 0.1050930431085774, -0.3308618287255563, -4.634230498983486,
     6.228269936347081, 4.776384997670288, -5.435455855934631},
    {0.005407344544966578, 1.404613529898575, 0.214847559468213, -5.799100973351585,
     14.17993336680509, -13.74514537774601, 4.645852612178535},
    {0.3340998053353061, 1.384590162594685, 0.09509516302823659, -19.33244095627987,
     56.69055260068105, -65.35303263337234, 26.3124352495832},
};

int viridisChannel(int c, double t) {
  double v = kViridis[c][6];
  for (int k = 5; k >= 0; --k) v = v * t + kViridis[c][k];
  return int(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

}  // namespace

DisplayWindow validWindow(double low, double high) {
  if (!std::isfinite(low)) low = 0;
  if (!std::isfinite(high)) high = low + 1;
  if (high < low) std::swap(low, high);
  // Narrower than this and (v - low) / (high - low) stops meaning anything.
  const double least = std::max(std::abs(low), std::abs(high)) * 1e-12;
  if (!(high - low > least)) high = low + (least > 0 ? least : 1);
  return {low, high};
}

DisplayWindow valueWindow(const std::vector<double>& values, bool fromZero) {
  double lo = INFINITY, hi = -INFINITY;
  for (double v : values)
    if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  if (!(lo <= hi)) return {0, 1};
  if (fromZero) lo = 0;  // values below 0 (an FBP's ripples) show in the bottom colour
  if (hi <= lo) return {lo, lo + 1};
  return validWindow(lo, hi);
}

double windowPosition(double v, DisplayWindow w) {
  if (!(v == v)) return 0;
  const double t = (v - w.low) / (w.high - w.low);
  return t <= 0 ? 0 : t >= 1 ? 1 : t;
}

std::uint32_t colourAt(ColourMap map, double t) {
  if (!(t >= 0)) t = 0;
  if (t > 1) t = 1;
  switch (map) {
    case ColourMap::Ribbon: {
      const Rgb c = kRibbonColorTable[level(t)];
      return pack(c.r, c.g, c.b);
    }
    case ColourMap::Grey: {
      const int g = level(t);
      return pack(g, g, g);
    }
    case ColourMap::InvertedGrey: {
      const int g = 255 - level(t);
      return pack(g, g, g);
    }
    case ColourMap::Viridis:
      return pack(viridisChannel(0, t), viridisChannel(1, t), viridisChannel(2, t));
  }
  return pack(0, 0, 0);
}

std::vector<std::uint32_t> mapValues(const std::vector<double>& values, DisplayWindow w, ColourMap map) {
  w = validWindow(w.low, w.high);
  std::vector<std::uint32_t> out(values.size());
  for (std::size_t n = 0; n < values.size(); ++n) out[n] = colourAt(map, windowPosition(values[n], w));
  return out;
}

}  // namespace sinora
