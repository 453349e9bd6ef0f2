#include "imaging/collimator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace sinora {

double Collimator::fwhmMm(double d) const {
  const double rc = faceMm + slope * std::max(0.0, d);
  return std::sqrt(intrinsicMm * intrinsicMm + rc * rc);
}

namespace {
struct Preset {
  const char* key;
  Collimator c;
};
// R_c(d) = D (L_e + b + d) / L_e for holes of diameter D and effective length L_e, b from the
// back of the holes to the mean depth of interaction (docs/physics.md), with R_i = 3.5 mm.
const Preset kPresets[] = {
    {"lehr", {3.5, 1.48, 0.0447}},  // 3.8 mm at the face, 6.9 at 10 cm, 11.0 at 20 cm
    {"legp", {3.5, 1.94, 0.0607}},  // 4.0, 8.7, 14.5
    {"megp", {3.5, 3.55, 0.0756}},  // 5.0, 11.7, 19.0
};
}  // namespace

bool collimatorPreset(const std::string& key, Collimator& out) {
  for (const Preset& p : kPresets)
    if (key == p.key) {
      out = p.c;
      return true;
    }
  return false;
}

const std::vector<std::string>& collimatorPresetKeys() {
  static const std::vector<std::string> keys = {"lehr", "legp", "megp"};
  return keys;
}

bool parseCollimator(const std::string& text, Collimator& out, std::string& error) {
  if (collimatorPreset(text, out)) return true;
  double v[3];
  std::size_t at = 0;
  for (int n = 0; n < 3; ++n) {
    const std::size_t comma = text.find(',', at);
    if ((n < 2) != (comma != std::string::npos)) {
      error = "expected lehr, legp, megp or R_I,R_C0,K";
      return false;
    }
    const std::string part = text.substr(at, n < 2 ? comma - at : std::string::npos);
    char* end = nullptr;
    v[n] = std::strtod(part.c_str(), &end);
    if (part.empty() || *end != '\0' || !std::isfinite(v[n])) {
      error = "not a number: " + part;
      return false;
    }
    at = comma + 1;
  }
  if (v[0] < 0 || v[0] > 50 || v[1] < 0 || v[1] > 50 || v[2] < 0 || v[2] > 1) {
    error = "R_I and R_C0 must be 0 to 50 mm and K 0 to 1";
    return false;
  }
  out = {v[0], v[1], v[2]};
  return true;
}

Collimator collimatorFromCentreFwhm(double fwhm, double radius, bool grows) {
  Collimator c;
  if (!(fwhm > 0)) return c;
  if (grows && radius > 0) c.slope = fwhm / radius;
  else c.faceMm = fwhm;
  return c;
}

}  // namespace sinora
