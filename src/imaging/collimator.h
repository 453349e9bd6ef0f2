// The parallel-hole collimator's distance-dependent response: a Gaussian whose system FWHM at a
// distance d (mm) from the collimator face is sqrt(R_i^2 + R_c(d)^2), R_c(d) = R_c0 + k d, with the
// intrinsic resolution R_i and the geometric resolution growing linearly with distance
// (docs/physics.md gives the presets' numbers and where they come from).
#pragma once

#include <string>
#include <vector>

namespace sinora {

struct Collimator {
  double intrinsicMm = 0;  // R_i
  double faceMm = 0;       // R_c0, the geometric resolution at the face
  double slope = 0;        // k, mm of FWHM per mm of distance
  // FWHM in mm at `distanceMm` from the face (negative distances taken as 0).
  double fwhmMm(double distanceMm) const;
  bool blurs() const { return intrinsicMm > 0 || faceMm > 0 || slope > 0; }
};

// "lehr", "legp", "megp" (false for anything else).
bool collimatorPreset(const std::string& key, Collimator& out);
const std::vector<std::string>& collimatorPresetKeys();

// A preset's key or "R_I,R_C0,K" (mm, mm, per mm; each finite, R_I and R_C0 0..50, K 0..1).
// On failure `error` says why (in English; callers translate) and `out` is unchanged.
bool parseCollimator(const std::string& text, Collimator& out, std::string& error);

// The collimator that the phantom lab's former "FWHM at the centre, growing with distance"
// setting stands for: no intrinsic or face term and k = FWHM / radius, so that the FWHM at the
// centre of rotation is the one given; when it does not grow, a constant FWHM.
Collimator collimatorFromCentreFwhm(double fwhmAtCentreMm, double radiusMm, bool grows);

}  // namespace sinora
