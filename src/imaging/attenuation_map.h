// Attenuation from a map of mu (a CT's or a phantom's), one slice at a time: each pixel's line
// integral of mu towards the detector of every view, the attenuated projector's weights e^-L,
// Chang's factors and the attenuated ray projection of the iterated Chang correction. A slice's
// map is B x B, [i * B + j], in mu per pixel (cm^-1 times the pixel size in cm); pixel (i, j)
// sits at x = i - c, y = j - c (c = B / 2) and view k looks along (sin theta, -cos theta) towards
// its detector, as in attenuation.h. Between pixel centres the map is bilinear, 0 outside it.
// Rows are independent: a parallel-hole collimator sees each row in its own plane.
#pragma once

#include <vector>

#include "imaging/filters.h"
#include "imaging/iterative.h"
#include "imaging/study.h"

namespace sinora {

// Row `row` of a map of rows x B x B values in cm^-1 ([row][i * B + j] flattened), per pixel
// of `pixelMm`; empty when the map has another size.
std::vector<double> muMapSlice(const std::vector<float>& map, int rows, int bins, int row,
                               double pixelMm);

// The line integral L of the slice's mu from each pixel centre to the detector of each view,
// [k][i * B + j] (e^-L is the fraction that arrives). The rule (docs/physics.md): for each view,
// parallel lines every half pixel across (u, through the bins' centres and half way between
// them) cross the map; along each, at t every half pixel, the map is sampled and its running
// integral from the detector inwards taken by the trapezoid rule; a pixel takes the bilinear
// interpolation of these running integrals at its own (u, t). Zero where the path meets no matter.
std::vector<std::vector<double>> muMapPaths(const ProjectionStudy& study, const std::vector<double>& mu);

// The attenuated projector's weights e^-L for the map (iterative.h's ViewWeights).
ViewWeights muMapWeights(const ProjectionStudy& study, const std::vector<double>& mu);

// Chang's first-order factors from the weights: V / sum over the views of e^-L where the map has
// matter (mu > 0), 1 elsewhere, [i * B + j].
std::vector<double> muMapChangFactors(const ViewWeights& weights, const std::vector<double>& mu);

// Attenuated projections of a slice [i * B + j] along each bin's ray, sampled every half pixel
// with bilinear interpolation of the slice and of the map, the surviving fraction built up from
// the detector inwards: out[k * B + b].
std::vector<double> muMapRayProjection(const ProjectionStudy& study, const std::vector<double>& slice,
                                       const std::vector<double>& mu);

// Chang's correction of an FBP slice (counts per pixel, as changCorrected) with the map: first
// order, then `iterations` times f <- f + C x FBP(y - P f) with P muMapRayProjection.
std::vector<double> muMapChangCorrected(const ProjectionStudy& study, int row,
                                        const std::vector<double>& fbpSlice, ReconFilter filter,
                                        const std::vector<double>& mu, int iterations);

}  // namespace sinora
