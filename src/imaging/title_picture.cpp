#include "imaging/title_picture.h"

#include "imaging/reconstruction.h"

namespace sinora {

std::vector<std::uint32_t> titlePicture(const ProjectionStudy& study) {
  // A smoothing pre-filter for a calm picture; densityOffset 10: the brightest pixel is white.
  const RgbImage rgb = render(
      prefilteredBackprojection(study, 60, ReconFilter::Ramp, {8.0, 0.15}, 10), Palette::Ribbon);
  std::vector<std::uint32_t> out;
  out.reserve(kTitlePictureWidth * kTitlePictureHeight);
  const int x0 = kCentre - kTitlePictureWidth / 2, y0 = kCentre - kTitlePictureHeight / 2;
  for (int y = 0; y < kTitlePictureHeight; ++y)
    for (int x = 0; x < kTitlePictureWidth; ++x) out.push_back(rgb[(y0 + y) * kSize + x0 + x]);
  return out;
}

}  // namespace sinora
