// Resolution recovery and the additive scatter term in MLEM/OSEM. The projector puts each pixel
// into the bin of the program's bin rule (geometry.h), as the plain projector does, and blurs it
// on the detector with the collimator's Gaussian at the pixel's distance from the detector: the
// pixels of a view are taken in slabs of equal depth from the farthest to the nearest, the sum so
// far blurred by the growth of the variance from one slab to the next (incremental blurring), the
// last sum by the nearest slab's blur. For a volume the blur is 2-D (bins and rows); for a single
// slice only along the bins (the in-plane part: an approximation, docs/physics.md). The
// backprojector runs the same steps in reverse, so it is the exact transpose.
// Volumes here are [p * R + r] (p = i * B + j, r the row) and projections [(k * R + r) * B + b];
// only pixels inside insideCircle are projected (outside, OSEM images stay 0).
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "imaging/collimator.h"
#include "imaging/iterative.h"
#include "imaging/study.h"

namespace sinora {

struct PsfSetup {
  Collimator collimator;          // none: the plain projector (no blur)
  std::vector<double> radiusMm;   // detector distance from the centre of rotation: 1 or one per view
  double pixelMm = 0;             // 0: the study's pixel size
  bool acrossRows = true;         // false: in-plane blur only
};

class PsfProjector {
 public:
  // `rows`: the rows projected together (1 for a slice).
  PsfProjector(const ProjectionStudy& study, const PsfSetup& setup, int rows);
  ~PsfProjector();
  PsfProjector(const PsfProjector&) = delete;
  PsfProjector& operator=(const PsfProjector&) = delete;

  int rows() const { return rows_; }
  int bins() const { return bins_; }
  int views() const { return views_; }
  // The system FWHM (mm) the projector gives a pixel at `depthPixels` towards view k's detector
  // from the centre of rotation.
  double fwhmAtDepth(int view, double depthPixels) const;

  // A f for view k into out (R x B). f: [p * R + r]. `weights`: the view's attenuation [p] or null.
  void forwardView(int k, const double* f, double* out, const double* weights = nullptr) const;
  // Adds A_k^T y (y: R x B) into out [p * R + r].
  void backAddView(int k, const double* y, double* out, const double* weights = nullptr) const;
  // The same in single precision, as the volume's OSEM computes them.
  void forwardView(int k, const float* f, float* out) const;
  void backAddView(int k, const float* y, float* out) const;

 private:
  struct View;
  friend struct PsfWork;
  int views_, rows_, bins_, pad_, padded_;
  bool acrossRows_;
  int maxHalf_ = 0;  // the widest kernel's half width (pixels)
  std::vector<std::uint32_t> circle_;  // the pixels inside the circle, ascending
  std::uint32_t maxStack_ = 0;         // the most lines of any view's slabs (PsfWork)
  std::vector<View> perView_;
};

// MLEM/OSEM, f <- f / s x A^T (y / (A f + S)), s = A^T 1 for the subset, starting from 1 inside
// the circle, with the projector above and an additive scatter estimate S (V x R x B of the
// study, or empty for none). Volume: every row of the study, in single precision; slices
// [row][i * B + j]. `psf` null: no blur. `threads` cores (two at most: the views of a subset go
// to two fixed groups); the numbers do not depend on it. `step` is called
// after each iteration with the number done (false stops). Slices are empty when stopped.
std::vector<std::vector<double>> osemPsfVolume(const ProjectionStudy& study, const PsfSetup* psf,
                                               const std::vector<double>& scatter, int subsets,
                                               int iterations, int threads,
                                               const RowProgress& step = nullptr,
                                               const std::atomic<bool>* cancel = nullptr);

// About the most memory osemPsfVolume holds at once (bytes): the single-precision counts, scatter,
// image, its two sums and each subset's sensitivity, the per-view tables, each core's stacks and
// the slices it returns. `psf` null: no blur.
std::uint64_t psfVolumeMemoryBytes(const ProjectionStudy& study, const PsfSetup* psf, int subsets,
                                   bool withScatter, int threads);

// One row, in-plane blur: as osem() of iterative.h with the blur, the scatter sinogram (V x B, or
// empty) and the attenuation weights when given.
OsemResult osemPsf(const ProjectionStudy& study, int row, const PsfSetup* psf,
                   const std::vector<double>& scatterSinogram, int subsets, int iterations,
                   int threads = 1, const std::atomic<bool>* cancel = nullptr,
                   bool withLikelihood = false, const ViewWeights* weights = nullptr);

// What the projector does to a point: the detector's values (bins, summing to 1) for a point on
// the central ray of a view, `distanceMm` from the collimator face, with the detector `radiusMm`
// from the centre of rotation, in a study of `bins` bins of `pixelMm`. The point sits on the
// pixel nearest that distance inside the reconstruction circle; `actualMm` gets that pixel's
// distance. The 3-D projector blurs the rows with the same taps, so its 2-D PSF is this profile
// times itself.
struct ProjectorPsf {
  std::vector<double> profile;
  double actualMm = 0;
  double fwhmMm = 0;  // the profile's FWHM, by linear interpolation at half its maximum
};
ProjectorPsf projectorPsf(int bins, double pixelMm, const Collimator& collimator, double radiusMm,
                          double distanceMm);

// The radii a study gives (one per view when it has them, else 1), or `fallbackMm`.
std::vector<double> studyRadii(const ProjectionStudy& study, double fallbackMm);

}  // namespace sinora
