// Uniform attenuation inside an elliptic outline of a slice, as the reconstructions model it:
// the outline is a phantom's own (its outer part cut at the row) or an ellipse of the same area
// and second moments as the pixels of an FBP slice above a threshold. From it come each pixel's
// path to the detector at every view, the fractions e^-mu L that reach it (the attenuated
// projector's weights) and Chang's first-order correction factors 1 / mean_k e^-mu L_k.
// Pixel (i, j) sits at x = i - c, y = j - c (c = B / 2) and a view at the program's angle theta
// looks along (sin theta, -cos theta) towards its detector, with the projector's angle
// (degrees x 3.1415 / 180).
#pragma once

#include <vector>

#include "imaging/filters.h"
#include "imaging/study.h"

namespace sinora {

struct Outline {
  bool present = false;
  double cx = 0, cy = 0;  // centre, pixels about c
  double a = 0, b = 0;    // semi-axes, pixels
  double phi = 0;         // turn of the a axis from x towards y, radians
  bool contains(double x, double y) const;
};

// The outer part of a phantom study's object at a row; none when the study is not a phantom or
// its object is in air.
Outline phantomOutline(const ProjectionStudy& study, int row);

// The ellipse with the area and second moments of the slice's pixels at or above `fraction` of
// its maximum (B x B, [i * B + j]); none when no pixel is above 0.
Outline thresholdOutline(const std::vector<double>& slice, int bins, double fraction);

// The length (pixels) of the outline between the point (x, y) and the detector of a view.
double pathToDetector(const Outline& outline, double x, double y, double theta);

// e^-mu L for every view and pixel, [k][i * B + j]; mu per pixel.
std::vector<std::vector<double>> attenuationWeights(const ProjectionStudy& study,
                                                     const Outline& outline, double muPerPixel);

// Chang's first-order factors: 1 / (mean over the study's views of e^-mu L) inside the outline,
// 1 outside, [i * B + j].
std::vector<double> changFactors(const ProjectionStudy& study, const Outline& outline,
                                 double muPerPixel);

// Attenuated projections of a slice [i * B + j] along each bin's ray, sampled every half pixel
// with bilinear interpolation: out[k * B + b].
std::vector<double> attenuatedRayProjection(const ProjectionStudy& study,
                                            const std::vector<double>& slice,
                                            const Outline& outline, double muPerPixel);

// Chang's correction of an FBP slice (in counts per pixel, the FBP times pi / V) of `row`:
// first order, f = C x FBP, then `iterations` times f <- f + C x FBP(y - P f), with P the
// attenuated ray projection and the FBP's filter; the result in the same units.
std::vector<double> changCorrected(const ProjectionStudy& study, int row,
                                   const std::vector<double>& fbpSlice, ReconFilter filter,
                                   const Outline& outline, double muPerPixel, int iterations);

// mu per pixel from mu in cm^-1 and the pixel size; 0 when the size is unknown.
inline double muPerPixel(double muPerCm, double pixelMm) {
  return pixelMm > 0 ? muPerCm * pixelMm / 10 : 0;
}

}  // namespace sinora
