// The five pictures of the reconstruction window for a study of any geometry. A classic study
// (60 views of 128 x 128 at k x 6 degrees) takes the routines of reconstruction.h, so every
// number stays what it is; any other uses the same formulas with B bins in place of 128, c = B / 2
// in place of 64, the kernels built for B bins and each view at its own angle (geometry.h).
// Pictures are held at their own size (B x R for projections, B x B for slices) and fitted into
// a window's 128 x 128 frame by fitToFrame.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/display.h"
#include "imaging/filters.h"
#include "imaging/study.h"

namespace sinora {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::int32_t> values;  // values[y * width + x]
  std::int64_t divisor = 1;
  ColorTable table = ColorTable::Ribbon;
  std::int32_t at(int x, int y) const { return values[std::size_t(y) * width + x]; }
};

Picture toPicture(const DisplayImage& image);

// The row a slice number stands for: itself within 0..rows-1, else 0.
inline int sliceRowOf(int sliceLine, int rows) {
  return sliceLine >= 0 && sliceLine < rows ? sliceLine : 0;
}

// As projectionImage etc. of reconstruction.h; `projection` is taken modulo the views.
Picture projectionPicture(const ProjectionStudy& study, int projection, int densityOffset);
Picture smoothedPicture(const ProjectionStudy& study, int projection, BwParameters bw,
                        int densityOffset);
Picture backprojectionPicture(const ProjectionStudy& study, int sliceLine, int densityOffset);
Picture filteredPicture(const ProjectionStudy& study, int sliceLine, ReconFilter filter,
                        int densityOffset);
Picture prefilteredPicture(const ProjectionStudy& study, int sliceLine, ReconFilter filter,
                           BwParameters bw, int densityOffset);

// As filteredPicture with a kernel of one's own ([n + B - 1], 2B - 1 values; an empty picture
// for another length).
Picture filteredPictureWith(const ProjectionStudy& study, int sliceLine,
                            const std::vector<double>& kernel, int densityOffset);

// The filtered backprojection (as filteredPicture, before rounding and display) of every row,
// `threads` rows at a time; each slice [i * B + j]. `step` as for osemVolume. This and fbpSlice
// read the counts as read when the study keeps them (exactRow), the pictures the whole counts.
std::vector<std::vector<double>> fbpVolume(const ProjectionStudy& study, ReconFilter filter,
                                           int threads, const std::function<bool(int)>& step,
                                           const BwParameters* prefilter = nullptr);

// One row's filtered backprojection before rounding (as fbpVolume) with a kernel of one's own
// ([n + B - 1]) and, when given, the pre-filter; [i * B + j].
std::vector<double> fbpSlice(const ProjectionStudy& study, int row, const std::vector<double>& kernel,
                             const BwParameters* prefilter = nullptr);

// The same for a sinogram of one's own (views x B, [k * B + b]) with the study's angles; empty
// for another size.
std::vector<double> fbpOfSinogram(const ProjectionStudy& study, const std::vector<double>& sinogram,
                                  const std::vector<double>& kernel);

// Building blocks for B bins (B = 128 gives the kernels of filters.h value for value).
ButterworthKernel butterworthKernelFor(double order, double cutoff, int bins);
void smoothRowN(const double* in, double* out, const ButterworthKernel& kernel, int bins);
std::vector<double> reconKernelFor(ReconFilter filter, int bins);  // [n + B - 1] = Ra(n)
void convolveRowN(const double* in, double* out, const std::vector<double>& ra, int bins);

// How a picture of w x h is fitted into 128 x 128 from the top left: a whole-number zoom when
// both sides are at most 64, means of f x f blocks when a side is above 128, else as it is.
struct FrameFit {
  int zoom = 1;     // screen pixels per picture pixel
  int shrink = 1;   // picture pixels per screen pixel (each way)
};
FrameFit frameFit(int width, int height);

// The picture as the frame shows it: 128 x 128, fitted, black beyond the picture.
RgbImage fitToFrame(const Picture& picture, Palette palette);
// The picture at its own size as RGB (for files).
std::vector<std::uint32_t> renderPicture(const Picture& picture, Palette palette);

}  // namespace sinora
