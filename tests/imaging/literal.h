// Straight transcriptions of the image routines, kept as an oracle for the fast code: every loop
// as written out, sine and cosine per pixel, kernels rebuilt per call, pixels mapped one by one.
// They carry the same fixes as the program (32-bit images, unsigned counts, bins outside the row
// add nothing, NaN-safe rounding, clamped display values).
#pragma once

#include "imaging/display.h"
#include "imaging/study.h"

namespace literal {

using sinora::DisplayImage;
using sinora::ProjectionStudy;

DisplayImage projection(const ProjectionStudy& study, int a, int densityOffset);
DisplayImage smoothed(const ProjectionStudy& study, int a, double order, double cutoff,
                      int densityOffset);
DisplayImage backprojection(const ProjectionStudy& study, int sliceLine, int densityOffset);
// filter: 1 Ramp, 2 Shepp-Logan, anything else Ramp.
DisplayImage reconprojection(const ProjectionStudy& study, int sliceLine, int filter,
                             int densityOffset);
DisplayImage sumreconprojection(const ProjectionStudy& study, int sliceLine, int filter,
                                double order, double cutoff, int densityOffset);
DisplayImage gazou(int step);
DisplayImage rampgazou(int step);
DisplayImage sumrampgazou(int step, double order, double cutoff);

sinora::RgbImage paint(const DisplayImage& image, sinora::Palette palette);

}  // namespace literal
