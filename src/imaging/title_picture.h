// The picture of the title panel: a 70 x 85 crop around the centre of the Ribbon-coloured
// reconstruction of slice 60 of a study (Butterworth order 8, cut-off 0.15, then Ramp).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/study.h"

namespace sinora {

constexpr int kTitlePictureWidth = 70;
constexpr int kTitlePictureHeight = 85;

// 0xffRRGGBB pixels, row by row.
std::vector<std::uint32_t> titlePicture(const ProjectionStudy& study);

}  // namespace sinora
