// Every code path this processor can run gives the same numbers: plain, AVX2 and AVX-512F
// (the backprojections, the row convolution, the OSEM update), for slices of any geometry,
// whole volumes, OSEM and the classic filtered slice.
#include <gtest/gtest.h>

#include "imaging/backproject_blocks.h"
#include "imaging/cpu.h"
#include "imaging/reconstruction.h"
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

TEST(CodePaths, EveryPathThisProcessorRunsGivesTheSameNumbers) {
  const StudyPtr s = turnedSample();
  limitIsa(Isa::Plain);
  ASSERT_EQ(isaInUse(), Isa::Plain);
  const Results plain = compute(*s);
  const DisplayImage classicPlain = filteredBackprojection(*sampleStudy(), 60, ReconFilter::Ramp, 7);
  int paths = 1;
  for (Isa isa : {Isa::Avx2, Isa::Avx512}) {
    if (int(isa) > int(widestIsa())) continue;
    limitIsa(isa);
    ASSERT_EQ(isaInUse(), isa);
    ++paths;
    const Results got = compute(*s);
    EXPECT_EQ(plain.bp, got.bp) << int(isa);
    EXPECT_EQ(plain.fbp, got.fbp) << int(isa);
    EXPECT_EQ(plain.prefiltered, got.prefiltered) << int(isa);
    ASSERT_EQ(plain.volume.size(), got.volume.size());
    for (std::size_t r = 0; r < plain.volume.size(); ++r) ASSERT_EQ(plain.volume[r], got.volume[r]) << r;
    EXPECT_EQ(plain.osemImages, got.osemImages) << int(isa);
    EXPECT_EQ(filteredBackprojection(*sampleStudy(), 60, ReconFilter::Ramp, 7).values, classicPlain.values);
  }
  limitIsa(Isa::Avx512);
  RecordProperty("paths", paths);
  if (paths == 1) GTEST_SKIP() << "only the plain path runs here";
}

TEST(CodePaths, BlocksOfEightSpanAtMostEightBins) {
  const StudyPtr s = turnedSample();
  const AnyBlockTable* t = s->blockTable();
  ASSERT_NE(t, nullptr);
  for (std::size_t n = 0; n < t->offsets.size(); ++n)
    for (int e = 0; e < 8; ++e) ASSERT_LE((t->offsets[n] >> (8 * e)) & 0xff, 7u) << n;
}

}  // namespace
