#include "imaging/title_picture.h"

#include "imaging/reconstruction.h"

namespace sinora {

std::vector<std::uint32_t> titlePicture(const ProjectionStudy& study) {
  // densityOffset 10: the brightest pixel reaches the top of the scale.
  const RgbImage rgb =
      render(filteredBackprojection(study, 60, ReconFilter::Ramp, 10), Palette::Ribbon);
  std::vector<std::uint32_t> out;
  out.reserve(kTitlePictureWidth * kTitlePictureHeight);
  const int x0 = kCentre - kTitlePictureWidth / 2, y0 = kCentre - kTitlePictureHeight / 2;
  for (int y = 0; y < kTitlePictureHeight; ++y)
    for (int x = 0; x < kTitlePictureWidth; ++x) out.push_back(rgb[(y0 + y) * kSize + x0 + x]);
  return out;
}

}  // namespace sinora
