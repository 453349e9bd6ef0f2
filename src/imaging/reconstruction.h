// The five images of the reconstruction window, each a function of the study and plain numbers.
// Slices: row g of every projection (g = sliceLine if 0..127, else 0) forms a sinogram of 60
// views x 128 bins, backprojected onto a 128 x 128 image by the bin rule of geometry.h; bins
// outside 0..127 add nothing. Counts are unsigned; sums are 32-bit (integers) or double.
#pragma once

#include "imaging/display.h"
#include "imaging/filters.h"
#include "imaging/study.h"

namespace sinora {

// Projection k (0..59) as counted; divisor = study maximum (from 10) + densityOffset - 20;
// band table; columns across.
DisplayImage projectionImage(const ProjectionStudy& study, int projection, int densityOffset);

// Projection k smoothed row by row by the Butterworth pre-filter (bw as given, no 0.01 test),
// rounded; maximum from 10; divisor = maximum + densityOffset - 20; columns across.
DisplayImage smoothedProjection(const ProjectionStudy& study, int projection, BwParameters bw,
                                int densityOffset);

// Plain sum of the 60 counts that each pixel sees; maximum from 1; divisor = maximum +
// densityOffset - 20; first index across.
DisplayImage backprojectionImage(const ProjectionStudy& study, int sliceLine, int densityOffset);

// Rows convolved with Ra, backprojected in double, rounded, negatives to 0; maximum from 1;
// divisor = maximum + densityOffset - 10; first index across.
DisplayImage filteredBackprojection(const ProjectionStudy& study, int sliceLine,
                                    ReconFilter filter, int densityOffset);

// As filteredBackprojection, with each sinogram row first smoothed by the pre-filter (bw as given).
DisplayImage prefilteredBackprojection(const ProjectionStudy& study, int sliceLine,
                                       ReconFilter filter, BwParameters bw, int densityOffset);

// The row a slice number stands for.
inline int sliceRow(int sliceLine) { return sliceLine >= 0 && sliceLine <= 127 ? sliceLine : 0; }

// Backprojection of 60 padded rows (kPaddedRow each, only rows of listed views read) into
// acc[i * 128 + j], views taken in ascending order. Shared with the point-source images.
void backprojectRows(const double* paddedRows, const int* views, int viewCount, double* acc);
void backprojectRows(const std::int32_t* paddedRows, const int* views, int viewCount,
                     std::int32_t* acc);

// Negatives to 0, then the maximum, starting from `start`.
std::int32_t clampAndMaximum(Image& image, std::int32_t start);

}  // namespace sinora
