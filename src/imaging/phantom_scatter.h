// The phantom lab's scatter: single Compton scatter with the Klein-Nishina cross-section, on a
// coarse grid of cells (about 16 mm), from the object's activity and its water-like matter
// (docs/physics.md). Used by makePhantomStudy; not part of the program's interface.
#pragma once

#include <vector>

#include "imaging/collimator.h"
#include "imaging/phantom.h"
#include "imaging/scatter.h"

namespace sinora {

struct ScatterInput {
  const PhantomObject* object = nullptr;
  const PhantomSettings* settings = nullptr;
  const std::vector<std::vector<float>>* truth = nullptr;  // [row][i * B + j], per mm^3
  std::vector<double> anglesDegrees;                         // one per view
  std::vector<EnergyWindow> windows;
  double photonKeV = 140.5;
  double density = 1;  // of water; 0: no matter, no scatter
};

// For each window, V x R x B: the scattered photons each detector pixel receives, in the units
// of the primary projections (activity per mm^2 along the ray), blurred by the collimator at the
// centre of rotation. `threads` share the work; the numbers do not depend on it.
std::vector<std::vector<double>> simulateScatter(const ScatterInput& in, const Collimator& collimator,
                                                 int threads);

// The angle-integrated probability per unit path (1/mm) that a photon of the peak scatters once
// into `window`, for a water density of 1: n_e x integral of d sigma / d Omega x acceptance.
double scatterIntoWindow(double photonKeV, const EnergyWindow& window, double resolutionPercent);

// The ratio of photons scattered two or more times to those scattered once, in each window, for
// a uniform source in a water cylinder (radius and half length in mm) seen from its side: a
// forced-detection Monte Carlo of `histories` photons with the program's own fixed seed.
std::vector<double> higherOrderRatio(double photonKeV, const std::vector<EnergyWindow>& windows,
                                     double resolutionPercent, double radiusMm, double halfLengthMm,
                                     double density, int histories);

}  // namespace sinora
