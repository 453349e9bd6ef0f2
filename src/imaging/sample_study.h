// The built-in sample study: a brain-perfusion-like phantom made of ellipsoids (head, cortical
// ribbon, white matter, cold ventricles, warm deep grey matter, cerebellum, one small hot lesion),
// projected analytically into 60 views 6 degrees apart, scaled to a peak of about 220 counts and
// given Poisson noise from our own seeded generator, so that it is the same on every machine.
// Row 60 (the default slice) passes through the ventricles, the deep grey matter and the lesion.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/study.h"

namespace sinora {

// An ellipsoid of the sample, axes along x (across), y (depth) and z (down the rows), in pixels
// of the study's 128 x 128 matrix about its centre; activities add.
struct SampleEllipsoid {
  double cx, cy, cz;
  double ax, ay, az;
  double activity;
};
const std::vector<SampleEllipsoid>& sampleEllipsoids();

// Counts in study order (projection, row, column), without noise when noise is false.
std::vector<std::uint16_t> sampleStudyCounts(bool noise = true);

// The sample study, made once per process.
StudyPtr sampleStudy();

// The sample study as the bytes of a study file: 3072 zero bytes, then big-endian counts.
std::vector<std::uint8_t> studyFileBytes(const ProjectionStudy& study);

}  // namespace sinora
