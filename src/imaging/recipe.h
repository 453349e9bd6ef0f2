// A reconstruction beyond the described windows, written down once: the method (filtered
// backprojection with its filter or window, or MLEM/OSEM), the corrections and the post-filter.
// runRecipe reconstructs one row or every row of a study from it and returns the values with their
// unit; describeRecipe says in words what was done (for captions and legends). Slices are
// [i * B + j] as the backprojection's (i across the screen).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "imaging/attenuation.h"
#include "imaging/filter_analysis.h"
#include "imaging/filters.h"
#include "imaging/iterative.h"
#include "imaging/study.h"

namespace sinora {

enum class RecipeMethod { Fbp, Osem };  // MLEM is OSEM with one subset
enum class ValueUnit { Counts, CountsPerPixel, ActivityPerMm3, PerCm };
enum class ChangCorrection { None, FirstOrder, Iterated };  // Iterated: one step of its iteration
enum class OutlineSource { PhantomElseThreshold, Phantom, Threshold };

struct Recipe {
  RecipeMethod method = RecipeMethod::Fbp;
  // FBP: Ramp and Shepp-Logan are the program's own kernels; the other windows take a cut-off
  // (cycles/pixel, 0 < fc <= 0.5) and, for Butterworth, an order (filter_analysis.h). MLEM/OSEM
  // take their FBP from the same settings where a correction needs one (the threshold outline).
  FilterWindow filter = FilterWindow::Ramp;
  double windowCutoff = 0.5, windowOrder = 8;
  bool prefilter = false;  // the Butterworth pre-filter of the reconstruction window, row by row
  BwParameters bw{8, 0.15};
  // MLEM/OSEM: subsets must divide the views (1 is MLEM), 1 to 100 iterations.
  int subsets = 10, iterations = 10;
  // Gaussian post-filter of the MLEM/OSEM image, FWHM in pixels (0: none).
  double postFilterFwhm = 0;
  // Attenuation, uniform mu inside an outline: Chang for FBP, the attenuated projector for OSEM.
  ChangCorrection chang = ChangCorrection::None;
  bool attenuatedProjector = false;
  double muPerCm = 0.15;
  OutlineSource outline = OutlineSource::PhantomElseThreshold;
  double threshold = 0.2;  // of the FBP slice's maximum, for a threshold outline
  // Not modelled yet; a recipe that sets one is refused rather than run without it.
  std::vector<float> muMap;         // per pixel of each row, cm^-1, [row][i * B + j] flattened
  bool scatterEstimate = false;     // triple-energy-window estimate subtracted
  double collimatorFwhmMm = 0;      // resolution recovery in the projector

  bool correctsAttenuation() const {
    return method == RecipeMethod::Fbp ? chang != ChangCorrection::None : attenuatedProjector;
  }
};

struct RecipeSlice {
  std::string refusal;  // why nothing was computed (Japanese, imaging/text.h), else empty
  std::vector<double> values;  // the result after the post-filter
  ValueUnit unit = ValueUnit::CountsPerPixel;
  // MLEM/OSEM: the image after each iteration before the post-filter, and the log-likelihood.
  std::vector<std::vector<double>> iterations;
  std::vector<double> likelihood;
  Outline outline;  // where attenuation was modelled
  double muPerPixel = 0;
  bool ok() const { return refusal.empty(); }
};

struct RecipeVolume {
  std::string refusal;
  std::vector<std::vector<double>> slices;  // [row][i * B + j]; rows not reached are empty
  ValueUnit unit = ValueUnit::CountsPerPixel;
  bool complete = false;  // every row done (not cancelled)
  bool ok() const { return refusal.empty(); }
};

// Why the recipe cannot run on this study (Japanese), or empty; nothing is computed.
std::string checkRecipe(const ProjectionStudy& study, const Recipe& recipe);

// One row (0..rows-1). FBP values are the backprojection's sums times pi / V, which puts them in
// MLEM's units (counts per pixel). `cancel` ends MLEM/OSEM after the iterations done so far.
RecipeSlice runRecipe(const ProjectionStudy& study, const Recipe& recipe, int row, int threads = 2,
                      const std::atomic<bool>* cancel = nullptr, bool withLikelihood = true);

// Every row, `threads` at a time; `step` as for osemVolume. The post-filter is left to
// postFiltered so that a viewer may change it without reconstructing.
RecipeVolume runRecipeVolume(const ProjectionStudy& study, const Recipe& recipe, int threads,
                             const std::function<bool(int done)>& step,
                             const std::atomic<bool>* cancel = nullptr);

// The recipe's post-filter applied to one slice (MLEM/OSEM; FBP slices come back as they are).
std::vector<double> postFiltered(const Recipe& recipe, const std::vector<double>& slice, int bins);

// The FBP's factor to counts per pixel.
double fbpToCounts(const ProjectionStudy& study);

// The recipe in words, one part a phrase (Japanese, each filled from one pattern so that the
// interface can translate it): study, row (a negative row: every row), method with its subsets
// and iterations or its filter and cut-off, pre-filter, corrections, post-filter. `study` may be
// empty.
std::vector<std::string> describeRecipe(const Recipe& recipe, const std::string& study, int row);
// The parts joined as the Japanese interface shows them.
std::string joinDescription(const std::vector<std::string>& parts);
// "MLEM", "OSEM" or "FBP": the method's short name for legends.
std::string methodName(const Recipe& recipe);

}  // namespace sinora
