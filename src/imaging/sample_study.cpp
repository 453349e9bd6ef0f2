#include "imaging/sample_study.h"

#include "imaging/random.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace sinora {

namespace {

// Centre of the head at (0, 0, 0); z = row - 64, so row 60 is z = -4.
constexpr SampleEllipsoid kPhantom[] = {
    {0, 0, 0, 50, 60, 54, 0.12},         // scalp and skull
    {0, 0, 0, 45, 55, 47, 0.88},         // brain: cortex at 1.0
    {0, 0, 0, 38, 48, 40, -0.60},        // white matter at 0.4
    {-6, -4, -4, 4.5, 15, 11, -0.40},    // left ventricle, cold
    {6, -4, -4, 4.5, 15, 11, -0.40},     // right ventricle, cold
    {-15, 5, -4, 7, 11, 9, 0.55},        // left deep grey matter
    {15, 5, -4, 7, 11, 9, 0.55},         // right deep grey matter
    {0, 30, 32, 30, 17, 12, 0.35},       // cerebellum
    {-24, -26, -4, 4, 4, 4, 0.90},       // hot lesion in the left frontal white matter
};

constexpr double kTruePi = 3.14159265358979323846;
constexpr double kPeakCounts = 220.0;

}  // namespace

const std::vector<SampleEllipsoid>& sampleEllipsoids() {
  static const std::vector<SampleEllipsoid> parts(std::begin(kPhantom), std::end(kPhantom));
  return parts;
}

std::vector<std::uint16_t> sampleStudyCounts(bool noise) {
  std::vector<double> ideal(kStudyCounts, 0.0);
  for (int k = 0; k < kProjections; ++k) {
    // The detector coordinate u = x cos(theta) + y sin(theta) matches the reconstruction's bins.
    const double theta = k * 6 * kTruePi / 180;
    const double cs = std::cos(theta), sn = std::sin(theta);
    double* proj = ideal.data() + std::size_t(k) * kPixels;
    for (const SampleEllipsoid& e : kPhantom) {
      // The ellipse's support along u and the chord through it at offset du (per unit scale).
      const double rho2 = e.ax * e.ax * cs * cs + e.ay * e.ay * sn * sn;
      const double uc = e.cx * cs + e.cy * sn;
      const double chordScale = 2 * e.ax * e.ay / rho2;
      for (int r = 0; r < kSize; ++r) {
        const double qz = (r - kCentre - e.cz) / e.az;
        const double f2 = 1 - qz * qz;  // squared scale of the cross-section at this row
        if (f2 <= 0) continue;
        const double reach2 = f2 * rho2;
        double* row = proj + r * kSize;
        for (int c = 0; c < kSize; ++c) {
          const double du = (c - kCentre) - uc;
          const double inside = reach2 - du * du;
          if (inside > 0) row[c] += e.activity * chordScale * std::sqrt(inside);
        }
      }
    }
  }
  const double peak = *std::max_element(ideal.begin(), ideal.end());
  const double scale = kPeakCounts / peak;
  std::vector<std::uint16_t> counts(kStudyCounts);
  Random rng(20050405);
  for (std::size_t n = 0; n < kStudyCounts; ++n) {
    const double mean = std::max(0.0, ideal[n] * scale);
    const int v = noise ? poisson(mean, rng) : static_cast<int>(mean + 0.5);
    counts[n] = static_cast<std::uint16_t>(std::min(v, 65535));
  }
  return counts;
}

StudyPtr sampleStudy() {
  static const StudyPtr study = std::make_shared<const ProjectionStudy>(sampleStudyCounts());
  return study;
}

std::vector<std::uint8_t> studyFileBytes(const ProjectionStudy& study) {
  std::vector<std::uint8_t> bytes(kStudyFileBytes, 0);
  std::uint8_t* p = bytes.data() + kStudyHeaderBytes;
  for (std::size_t n = 0; n < kStudyCounts; ++n) {
    p[2 * n] = static_cast<std::uint8_t>(study.counts()[n] >> 8);
    p[2 * n + 1] = static_cast<std::uint8_t>(study.counts()[n] & 0xff);
  }
  return bytes;
}

}  // namespace sinora
