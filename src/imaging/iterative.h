// MLEM and OSEM of one slice, with the program's own projector: A f sums the pixels of a B x B
// slice into the bins the backprojection reads them from (same bin table, same rule, bins outside
// 0..B-1 dropped), and A^T is exactly the backprojection. Starting image: 1 for pixels whose
// centre is strictly inside the circle of radius c = B / 2 about (c, c), 0 elsewhere. Update for a
// subset S: f <- f / s x A_S^T (y / A_S f), s = A_S^T 1, with x / 0 taken as 0. Subset m holds the
// views k with k mod M = m; subsets are taken in the order of subsetOrder (far apart in angle).
// Images are indexed [i * B + j] as the backprojection's (i across the screen).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/study.h"

namespace sinora {

// y: views x B sinogram of row g of the study (double counts).
std::vector<double> sinogramOf(const ProjectionStudy& study, int row);

// The attenuated projector's weights: pixel p reaches view k's detector with the fraction
// weights[k][p] (attenuation.h). Weights of another shape than views x B x B are not used.
using ViewWeights = std::vector<std::vector<double>>;

// A f for the listed views (all views when `views` is empty): out[k * B + b].
void forwardProject(const ProjectionStudy& study, const std::vector<double>& image,
                    const std::vector<int>& views, std::vector<double>& out,
                    const ViewWeights* weights = nullptr);
// A^T y for the listed views, each pixel adding its views in the listed order.
void backProject(const ProjectionStudy& study, const std::vector<double>& sinogram,
                 const std::vector<int>& views, std::vector<double>& out,
                 const ViewWeights* weights = nullptr);

// The order in which M subsets are visited: 0 first, then each time the subset whose nearest
// visited subset is farthest round the circle (in angle); on a tie the one farthest from the
// subset just visited, then the lowest index. For 10: 0 5 2 7 1 6 3 8 4 9.
std::vector<int> subsetOrder(int subsets);

// The views of subset m of M, ascending.
std::vector<int> subsetViews(int views, int subsets, int m);

std::vector<double> startingImage(int bins);

// Poisson log-likelihood of y given the image, without the constant: the sum over bins with
// A f > 0 of y log(A f) - A f.
double logLikelihood(const ProjectionStudy& study, const std::vector<double>& image,
                     const std::vector<double>& sinogram);

struct OsemResult {
  std::vector<std::vector<double>> images;  // after iteration 1, 2, ...
  std::vector<double> likelihood;           // after each iteration
};

// `subsets` must divide the views (1 gives MLEM). threads: 1 or more, same numbers for any.
// `cancel`, when given, is read before every subset: once true, the work ends with the
// iterations completed so far. Without `withLikelihood` the likelihood is left empty (it costs
// one more projection an iteration).
// With `weights`, the projector is attenuated (and its transpose exactly so).
OsemResult osem(const ProjectionStudy& study, int row, int subsets, int iterations, int threads = 1,
                const std::atomic<bool>* cancel = nullptr, bool withLikelihood = true,
                const ViewWeights* weights = nullptr);

// Every row of the study, `threads` rows at a time (the same numbers for any count). `step` is
// called after each row with the number done; returning false stops the work (the rows not done
// are left empty). Slices are [row][i * B + j].
using RowProgress = std::function<bool(int done)>;
std::vector<std::vector<double>> osemVolume(const ProjectionStudy& study, int subsets,
                                            int iterations, int threads, const RowProgress& step,
                                            const std::atomic<bool>* cancel = nullptr);

// 全スライス (an FBP and an OSEM volume of every row): about the most memory it holds at once, in
// bytes: the two volumes (doubles; a float would round some displayed values differently), the
// study's bin tables and each core's working rows. Volumes needing more than the limit (1 GiB)
// are refused before they start.
std::uint64_t volumeMemoryBytes(const ProjectionStudy& study, int threads = 2);
constexpr std::uint64_t kVolumeMemoryLimit = std::uint64_t(1) << 30;

// Gaussian smoothing of a B x B image, FWHM in pixels (0: unchanged), kernel to 3 sigma,
// renormalised at the edges.
std::vector<double> gaussianFilter(const std::vector<double>& image, int bins, double fwhm);

}  // namespace sinora
