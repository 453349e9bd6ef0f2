#include "imaging/psf.h"

#include <cmath>

namespace sinora {

namespace {

// `value(n)` for n in 0..size-1, peak at `at`.
template <typename F>
double widthAt(F value, int size, int at) {
  const double peak = value(at);
  if (!(peak > 0)) return NAN;
  const double half = peak / 2;
  auto edge = [&](int step) {
    for (int n = at; n + step >= 0 && n + step < size; n += step) {
      const double a = value(n), b = value(n + step);
      if (b <= half) return n + step * (a - half) / (a - b);
    }
    return double(NAN);
  };
  return std::fabs(edge(1) - edge(-1));
}

}  // namespace

Fwhm fwhmThrough(const std::vector<double>& f, int b, int i, int j) {
  Fwhm out;
  if (i < 0 || j < 0 || i >= b || j >= b || f.size() != std::size_t(b) * b) return {NAN, NAN};
  out.across = widthAt([&](int n) { return f[std::size_t(n) * b + j]; }, b, i);
  out.down = widthAt([&](int n) { return f[std::size_t(i) * b + n]; }, b, j);
  return out;
}

}  // namespace sinora
