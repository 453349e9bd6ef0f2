// Every code path this processor can run gives the same numbers: the vector backprojections
// (doubles with AVX-512F, integers with AVX2) against the plain loops, for slices of any
// geometry, whole volumes and OSEM. The row convolution's clones (AVX-512F, AVX2, plain) are
// held to the literal transcription by the imaging tests on whichever this processor picks.
#include <gtest/gtest.h>

#include "imaging/backproject_blocks.h"
#include "imaging/iterative.h"
#include "imaging/sample_study.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

// The sample's views at their own angles, 3 degrees apart and turned by 1 degree: not classic.
StudyPtr turnedSample() {
  StudyGeometry g;
  g.views = 60;
  for (int k = 0; k < 60; ++k) g.angles.push_back(1 + k * 3.0);
  return std::make_shared<const ProjectionStudy>(g, sampleStudy()->counts());
}

struct Results {
  std::vector<std::int32_t> bp, fbp, prefiltered;
  std::vector<std::vector<double>> volume;
  std::vector<std::vector<double>> osemImages;
};

Results compute(const ProjectionStudy& s) {
  Results r;
  r.bp = backprojectionPicture(s, 60, 7).values;
  r.fbp = filteredPicture(s, 60, ReconFilter::Ramp, 7).values;
  r.prefiltered = prefilteredPicture(s, 40, ReconFilter::SheppLogan, {5, 0.2}, 7).values;
  r.volume = fbpVolume(s, ReconFilter::Ramp, 2, nullptr);
  r.osemImages = osem(s, 60, 10, 2, 2).images;
  return r;
}

TEST(CodePaths, VectorAndPlainBackprojectionAgreeBitForBit) {
  const StudyPtr s = turnedSample();
  allowVectorBackprojection(false);
  const Results plain = compute(*s);
  allowVectorBackprojection(true);
  if (!vectorBackprojection()) GTEST_SKIP() << "no AVX-512F here, or SINORA_NO_SIMD is set";
  ASSERT_NE(s->blockTable(), nullptr);
  const Results vec = compute(*s);
  EXPECT_EQ(plain.bp, vec.bp);
  EXPECT_EQ(plain.fbp, vec.fbp);
  EXPECT_EQ(plain.prefiltered, vec.prefiltered);
  ASSERT_EQ(plain.volume.size(), vec.volume.size());
  for (std::size_t r = 0; r < plain.volume.size(); ++r) ASSERT_EQ(plain.volume[r], vec.volume[r]) << r;
  EXPECT_EQ(plain.osemImages, vec.osemImages);
}

TEST(CodePaths, BlocksOfEightSpanAtMostEightBins) {
  const StudyPtr s = turnedSample();
  const AnyBlockTable* t = s->blockTable();
  ASSERT_NE(t, nullptr);
  for (std::size_t n = 0; n < t->offsets.size(); ++n)
    for (int e = 0; e < 8; ++e) ASSERT_LE((t->offsets[n] >> (8 * e)) & 0xff, 7u) << n;
}

}  // namespace
