// Every code path this processor can run gives the same numbers: plain, AVX2 and AVX-512F
// (the backprojections, the row convolution, the OSEM update), for slices of any geometry,
// whole volumes, OSEM and the classic filtered slice.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imaging/backproject_blocks.h"
#include "imaging/cpu.h"
#include "imaging/geometry.h"
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

// A study of `rows` rows: every row a different noisy pattern, some rows and bins all zero.
StudyPtr patterned(int views, int rows, int bins) {
  StudyGeometry g;
  g.views = views;
  g.rows = rows;
  g.bins = bins;
  for (int k = 0; k < views; ++k) g.angles.push_back(0.5 + k * 360.0 / views);
  std::vector<std::uint16_t> counts(std::size_t(views) * rows * bins);
  std::uint32_t x = 12345;
  for (int k = 0; k < views; ++k)
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < bins; ++c) {
        x = x * 1664525u + 1013904223u;
        const bool empty = r % 5 == 3 || std::abs(c - bins / 2) > bins / 3;
        counts[(std::size_t(k) * rows + std::size_t(r)) * bins + std::size_t(c)] =
            empty ? 0 : std::uint16_t((x >> 16) % (20 + 30 * r));
      }
  return std::make_shared<const ProjectionStudy>(g, std::move(counts));
}

TEST(CodePaths, EveryRowOfAnFbpVolumeIsItsOwnSlice) {
  // 11 rows: a block of eight rows and a part block; 30 bins are no multiple of 8; 4 rows take
  // the rows one by one.
  const BwParameters bw{5, 0.2};
  for (const auto& [rows, bins] : {std::pair{11, 40}, std::pair{11, 30}, std::pair{4, 64}}) {
    const StudyPtr s = patterned(36, rows, bins);
    for (const BwParameters* pre : {static_cast<const BwParameters*>(nullptr), &bw}) {
      std::vector<std::vector<double>> want;
      for (int r = 0; r < rows; ++r)
        want.push_back(fbpSlice(*s, r, reconKernelFor(ReconFilter::SheppLogan, bins), pre));
      for (Isa isa : {Isa::Plain, Isa::Avx2, Isa::Avx512}) {
        if (int(isa) > int(widestIsa())) continue;
        limitIsa(isa);
        for (int threads : {1, 2}) {
          const auto got = fbpVolume(*s, ReconFilter::SheppLogan, threads, nullptr, pre);
          ASSERT_EQ(got.size(), want.size());
          for (int r = 0; r < rows; ++r)
            ASSERT_EQ(got[std::size_t(r)], want[std::size_t(r)])
                << rows << " x " << bins << ", row " << r << ", path " << int(isa) << ", " << threads
                << " threads" << (pre ? ", pre-filtered" : "");
        }
      }
      limitIsa(Isa::Avx512);
    }
  }
}

TEST(CodePaths, TheRowConvolutionAddsEveryTermInOrder) {
  // Zeros (left out by the fast loop), negatives and a row of zeros, against the sum written out.
  for (int bins : {30, 64, 96}) {
    for (ReconFilter filter : {ReconFilter::Ramp, ReconFilter::SheppLogan}) {
      const std::vector<double> ra = reconKernelFor(filter, bins);
      for (int pattern = 0; pattern < 3; ++pattern) {
        std::vector<double> in(static_cast<std::size_t>(bins), 0.0);
        for (int j = 0; j < bins; ++j)
          if (pattern == 1 ? j % 3 != 0 : pattern == 2 ? (j % 7 == 2) : false) in[std::size_t(j)] = (j % 4 == 1 ? -1.0 : 1.0) * (j * 0.37 + 0.1);
        std::vector<double> want(static_cast<std::size_t>(bins));
        for (int i = 0; i < bins; ++i) {
          double sum = 0;
          for (int j = 0; j < bins; ++j) sum += in[std::size_t(j)] * ra[std::size_t(bins - 1 + j - i)];
          want[std::size_t(i)] = sum;
        }
        for (Isa isa : {Isa::Plain, Isa::Avx2, Isa::Avx512}) {
          if (int(isa) > int(widestIsa())) continue;
          limitIsa(isa);
          std::vector<double> got(static_cast<std::size_t>(bins), -7.0);
          convolveRowN(in.data(), got.data(), ra, bins);
          for (int i = 0; i < bins; ++i)
            ASSERT_EQ(std::signbit(got[std::size_t(i)]), std::signbit(want[std::size_t(i)])) << bins << " " << i;
          EXPECT_EQ(got, want) << bins << " bins, pattern " << pattern << ", path " << int(isa);
        }
        limitIsa(Isa::Avx512);
      }
    }
  }
}

TEST(CodePaths, BlocksOfEightSpanAtMostEightBins) {
  const StudyPtr s = turnedSample();
  const AnyBlockTable* t = s->blockTable();
  ASSERT_NE(t, nullptr);
  for (std::size_t n = 0; n < t->offsets.size(); ++n)
    for (int e = 0; e < 8; ++e) ASSERT_LE((t->offsets[n] >> (8 * e)) & 0xff, 7u) << n;
}

// The OSEM slice's last step, f <- f / s x (the block's sums), made in the backprojection's own
// kernel: the same numbers as summing first and updating after, also where s is 0, negative or
// not a number (f is 0 there) and where f / s overflows.
TEST(CodePaths, UpdatingInsideTheBackprojectionIsUpdatingAfterIt) {
  if (!vectorBackprojection()) GTEST_SKIP() << "no vector backprojection here";
  const StudyPtr s = turnedSample();
  const AnyBlockTable* t = s->blockTable();
  ASSERT_NE(t, nullptr);
  const int views[] = {0, 7, 13, 29, 41, 59};
  const std::size_t n = sizeof(views) / sizeof(views[0]);
  const AnyGeometry g(s->bins());
  std::vector<std::vector<double>> rows(n, std::vector<double>(std::size_t(g.paddedRow) + 8, 0.0));
  std::vector<const double*> rowOf;
  for (std::size_t k = 0; k < n; ++k) {
    for (int c = 0; c < s->bins(); ++c) rows[k][std::size_t(g.pad + c)] = 0.25 + 0.001 * double((c * 37 + int(k) * 11) % 97);
    rowOf.push_back(rows[k].data());
  }
  const std::vector<std::uint32_t> blocks = {5, 6, 7, 900, 901, 1200, 64, 2047, 3};  // not a multiple of 4
  const std::size_t pixels = t->blocks * 8;
  std::vector<double> f(pixels), sens(pixels);
  for (std::size_t p = 0; p < pixels; ++p) {
    f[p] = (p % 5 == 0) ? 0.0 : 0.5 + double(p % 13);
    const double cases[] = {2.0, 0.0, -3.0, std::nan(""), 7.5, 1e-310, 0.3, 1e300};
    sens[p] = cases[p % 8];
  }
  std::vector<double> sums(pixels, 0.0);
  ASSERT_TRUE(backprojectBlockList(*t, rowOf.data(), views, n, blocks.data(), blocks.size(), sums.data()));
  std::vector<double> expected = f;
  for (std::uint32_t q : blocks)
    for (std::size_t p = q * 8; p < q * 8 + 8; ++p)
      expected[p] = sens[p] > 0 ? expected[p] / sens[p] * sums[p] : 0.0;
  std::vector<double> got = f;
  ASSERT_TRUE(backprojectBlockListUpdate(*t, rowOf.data(), views, n, blocks.data(), blocks.size(), got.data(), sens.data()));
  for (std::size_t p = 0; p < pixels; ++p)
    ASSERT_EQ(std::memcmp(&got[p], &expected[p], sizeof(double)), 0) << p << ": " << got[p] << " vs " << expected[p];
}

// Blocks packed in 16 bits a view give the same sums and the same update as the 10-byte table,
// for every view of a study turned by 1 degree all round (bins rising, falling and level within
// blocks).
TEST(CodePaths, PackedBlocksAreTheBlocksTheyPack) {
  if (!vectorBackprojection()) GTEST_SKIP() << "no vector backprojection here";
  StudyGeometry geometry;
  geometry.views = 60;
  for (int k = 0; k < 60; ++k) geometry.angles.push_back(1 + k * 6.0);
  const StudyPtr s = std::make_shared<const ProjectionStudy>(geometry, sampleStudy()->counts());
  const AnyBlockTable* t = s->blockTable();
  ASSERT_NE(t, nullptr);
  const AnyGeometry g(s->bins());
  const std::size_t v = std::size_t(t->views);
  std::vector<std::vector<double>> rows(v, std::vector<double>(std::size_t(g.paddedRow) + 8, 0.0));
  std::vector<const double*> rowOf;
  std::vector<int> views;
  for (std::size_t k = 0; k < v; ++k) {
    for (int c = 0; c < s->bins(); ++c) rows[k][std::size_t(g.pad + c)] = 1.0 / double(1 + (c * 53 + int(k) * 7) % 101);
    rowOf.push_back(rows[k].data());
    views.push_back(int(k));
  }
  std::vector<std::uint32_t> blocks;
  for (std::uint32_t q = 0; q < t->blocks; q += 3) blocks.push_back(q);  // every third block, a tail of 1
  const std::unique_ptr<PackedBlocks> packed = packBlocks(*t, blocks.data(), blocks.size());
  ASSERT_NE(packed, nullptr);
  const std::size_t pixels = t->blocks * 8;
  std::vector<double> want(pixels, -1.0), got(pixels, -1.0);
  ASSERT_TRUE(backprojectBlockList(*t, rowOf.data(), views.data(), v, blocks.data(), blocks.size(), want.data()));
  ASSERT_TRUE(backprojectPacked(*packed, rowOf.data(), got.data(), nullptr));
  ASSERT_EQ(std::memcmp(got.data(), want.data(), pixels * sizeof(double)), 0);
  std::vector<double> sens(pixels);
  for (std::size_t p = 0; p < pixels; ++p) {
    sens[p] = p % 7 == 0 ? 0.0 : 0.5 + double(p % 11);
    want[p] = got[p] = 1.0 + double(p % 3);
  }
  ASSERT_TRUE(backprojectBlockListUpdate(*t, rowOf.data(), views.data(), v, blocks.data(), blocks.size(), want.data(), sens.data()));
  ASSERT_TRUE(backprojectPacked(*packed, rowOf.data(), got.data(), sens.data()));
  ASSERT_EQ(std::memcmp(got.data(), want.data(), pixels * sizeof(double)), 0);
}

// What does not fit 16 bits is refused (the caller keeps the 10-byte table): a padded row over
// 256 bins, and offsets that jump.
TEST(CodePaths, BlocksThatDoNotPackAreRefused) {
  AnyBlockTable t;
  t.views = 1;
  t.blocks = 2;
  t.base = {10, 300};
  t.offsets = {0x0706050403020100ull, 0};
  const std::uint32_t first = 0, second = 1;
  EXPECT_NE(packBlocks(t, &first, 1), nullptr);
  EXPECT_EQ(packBlocks(t, &second, 1), nullptr);  // base 300
  t.offsets[0] = 0x0707050403020100ull;            // 5 -> 7
  EXPECT_EQ(packBlocks(t, &first, 1), nullptr);
  t.offsets[0] = 0x0101010101010101ull;            // level, but not at the smallest bin
  EXPECT_EQ(packBlocks(t, &first, 1), nullptr);
  t.offsets[0] = 0x0000000000000101ull;            // falls 1, 1, 0, ...
  EXPECT_NE(packBlocks(t, &first, 1), nullptr);
  t.offsets[0] = 0x0001020304050607ull;            // falls by one a pixel
  EXPECT_NE(packBlocks(t, &first, 1), nullptr);
}

}  // namespace
