// A reconstruction beyond the described windows, written down once: the method (filtered
// backprojection with its filter or window, or MLEM/OSEM), the corrections and the post-filter.
// runRecipe reconstructs one row or every row of a study from it and returns the values with their
// unit; describeRecipe says in words what was done (for captions and legends). Slices are
// [i * B + j] as the backprojection's (i across the screen).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/attenuation.h"
#include "imaging/collimator.h"
#include "imaging/filter_analysis.h"
#include "imaging/filters.h"
#include "imaging/iterative.h"
#include "imaging/scatter.h"
#include "imaging/study.h"

namespace sinora {

enum class RecipeMethod { Fbp, Osem };  // MLEM is OSEM with one subset
// Plain: a number without a unit (a difference of two pictures, a ratio).
enum class ValueUnit { Counts, CountsPerPixel, ActivityPerMm3, PerCm, Plain };
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
  // Attenuation: Chang for FBP, the attenuated projector for OSEM; from muMap when it is set,
  // else uniform mu inside an outline (the case without a CT).
  ChangCorrection chang = ChangCorrection::None;
  bool attenuatedProjector = false;
  double muPerCm = 0.15;
  OutlineSource outline = OutlineSource::PhantomElseThreshold;
  double threshold = 0.2;  // of the FBP slice's maximum, for a threshold outline
  // A map of mu (a CT's or a phantom's) in the study's slice grid, rows x B x B; it replaces
  // muPerCm and the outline.
  std::vector<float> muMap;         // per pixel of each row, cm^-1, [row][i * B + j] flattened
  // Scatter, estimated from the study's energy windows (scatter.h): subtracted from the
  // projections for FBP (clamped at 0), an additive term of MLEM/OSEM's expected counts.
  ScatterMethod scatter = ScatterMethod::None;
  // The side windows (0-based); -1: found from the energies; upper -2: none above (TEW).
  int scatterLower = -1, scatterUpper = -1;
  double dewK = 0.5;
  double scatterSmoothFwhm = 0;  // Gaussian smoothing of the estimate, pixels (0: none)
  // Resolution recovery in the MLEM/OSEM projector: 3-D for a volume, in-plane for a slice.
  bool resolutionRecovery = false;
  Collimator collimator{3.5, 1.48, 0.0447};  // LEHR
  double radiusMm = 0;  // the detector's distance from the centre; 0: the study's own

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
  bool fromMuMap = false;  // the recipe's map was used (outline and muPerPixel were not)
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

// About the most memory runRecipeVolume holds for this recipe (bytes): the plain volumes' and,
// where the recipe's OSEM blurs or adds scatter, that projector's and the estimate's too.
std::uint64_t recipeVolumeMemoryBytes(const ProjectionStudy& study, const Recipe& recipe, int threads = 2);

// The recipe's post-filter applied to one slice (MLEM/OSEM; FBP slices come back as they are).
std::vector<double> postFiltered(const Recipe& recipe, const std::vector<double>& slice, int bins);

// The scatter estimate the recipe uses (null when it corrects none; its refusal when the study
// cannot give one). The latest one is kept with the study, so that the windows' pictures of it
// and the reconstructions share one computation.
std::shared_ptr<const ScatterEstimate> recipeScatter(const ProjectionStudy& study, const Recipe& recipe);

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
