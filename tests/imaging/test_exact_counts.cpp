// Counts kept as read (Monte Carlo weights) beside the whole counts: the recipe's
// reconstructions read the weights, the described windows the whole counts.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "imaging/recipe.h"
#include "imaging/scatter.h"
#include "imaging/slices.h"
#include "imaging/study.h"

using namespace sinora;

namespace {

constexpr int kViews = 32, kRows = 3, kBins = 32;
constexpr double kWeight = 0.3;  // every count a weight of 0.3: none of them whole

StudyGeometry geometry() {
  StudyGeometry g;
  g.views = kViews;
  g.rows = kRows;
  g.bins = kBins;
  g.pixelSizeMm = 4;
  return g;
}

std::vector<std::uint16_t> disc(std::uint32_t seed, int peak) {
  std::mt19937 gen(seed);
  std::vector<std::uint16_t> c(std::size_t(kViews) * kRows * kBins);
  for (std::size_t n = 0; n < c.size(); ++n) {
    const int bin = int(n % kBins);
    const int inside = std::max(0, 100 - (bin - 16) * (bin - 16));  // a disc's projection
    c[n] = std::uint16_t(inside * peak / 100 + int(gen() % 7));
  }
  return c;
}

// The weights: kWeight times each count, and those rounded to whole counts.
struct Weighted {
  std::shared_ptr<std::vector<float>> exact;
  std::vector<std::uint16_t> whole;
};
Weighted weighted(const std::vector<std::uint16_t>& counts) {
  Weighted w{std::make_shared<std::vector<float>>(counts.size()), std::vector<std::uint16_t>(counts.size())};
  for (std::size_t n = 0; n < counts.size(); ++n) {
    (*w.exact)[n] = float(counts[n] * kWeight);
    w.whole[n] = std::uint16_t(std::floor(counts[n] * kWeight + 0.5));
  }
  return w;
}

// b is kWeight times a, to a relative 1e-5 of a's largest value (the weights are floats).
::testing::AssertionResult scaled(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size() || a.empty()) return ::testing::AssertionFailure() << "sizes differ";
  double top = 0, worst = 0;
  for (double v : a) top = std::max(top, std::fabs(v));
  for (std::size_t n = 0; n < a.size(); ++n) worst = std::max(worst, std::fabs(b[n] - kWeight * a[n]));
  if (worst <= 1e-5 * top) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "off by " << worst << " of " << top;
}

TEST(ExactCounts, TheRecipeReadsTheWeightsAndThePicturesTheWholeCounts) {
  const std::vector<std::uint16_t> counts = disc(7, 400);
  const Weighted w = weighted(counts);
  const auto whole = std::make_shared<const ProjectionStudy>(geometry(), counts);
  const auto weights = std::make_shared<const ProjectionStudy>(geometry(), w.whole, w.exact);
  const auto rounded = std::make_shared<const ProjectionStudy>(geometry(), w.whole);
  ASSERT_TRUE(weights->exactCounts());
  EXPECT_FALSE(whole->exactCounts());
  // Reconstruction is linear (FBP) or scales with the counts (MLEM/OSEM from a flat start): the
  // weights' results are kWeight times those of the whole counts, which rounding would spoil.
  Recipe fbp;
  Recipe osem;
  osem.method = RecipeMethod::Osem;
  osem.subsets = 4;
  osem.iterations = 3;
  Recipe rr = osem;  // resolution recovery (single precision in the volume)
  rr.resolutionRecovery = true;
  rr.radiusMm = 200;
  for (const Recipe& r : {fbp, osem, rr}) {
    const std::vector<double> a = runRecipe(*whole, r, 1).values;
    EXPECT_TRUE(scaled(a, runRecipe(*weights, r, 1).values)) << methodName(r);
    EXPECT_FALSE(scaled(a, runRecipe(*rounded, r, 1).values)) << methodName(r);
    const RecipeVolume v = runRecipeVolume(*weights, r, 2, nullptr);
    ASSERT_TRUE(v.ok() && v.complete) << v.refusal;
    EXPECT_TRUE(scaled(runRecipeVolume(*whole, r, 2, nullptr).slices[2], v.slices[2])) << methodName(r);
    EXPECT_FALSE(scaled(runRecipeVolume(*whole, r, 2, nullptr).slices[2],
                        runRecipeVolume(*rounded, r, 2, nullptr).slices[2])) << methodName(r);
  }
  // The described windows' pictures are those of the whole counts, to the pixel.
  EXPECT_EQ(filteredPicture(*weights, 1, ReconFilter::Ramp, 10).values,
            filteredPicture(*rounded, 1, ReconFilter::Ramp, 10).values);
  EXPECT_EQ(backprojectionPicture(*weights, 1, 10).values, backprojectionPicture(*rounded, 1, 10).values);
  // Weights the wrong length are not kept.
  auto shortWeights = std::make_shared<std::vector<float>>(10, 1.5f);
  EXPECT_FALSE(ProjectionStudy(geometry(), w.whole, shortWeights).exactCounts());
}

TEST(ExactCounts, EnergyWindowsAndScatterKeepTheWeights) {
  // Photopeak and a lower window, both weights; the whole-count twin to compare with.
  StudyGeometry g = geometry();
  const std::vector<std::uint16_t> peak = disc(1, 300), lower = disc(2, 60);
  const Weighted wp = weighted(peak), wl = weighted(lower);
  auto wholeSet = std::make_shared<EnergyWindowSet>();
  wholeSet->windows = {{"peak", 126, 154}, {"lower", 110, 126}};
  wholeSet->counts = {peak, lower};
  auto weightSet = std::make_shared<EnergyWindowSet>(*wholeSet);
  weightSet->counts = {wp.whole, wl.whole};
  weightSet->exact = {wp.exact, wl.exact};
  g.energyWindows = wholeSet;
  const ProjectionStudy whole(g, peak);
  g.energyWindows = weightSet;
  const ProjectionStudy weights(g, wp.whole, wp.exact);

  const ScatterEstimate a = estimateScatter(whole, ScatterMethod::Dew, 1);
  const ScatterEstimate b = estimateScatter(weights, ScatterMethod::Dew, 1);
  ASSERT_TRUE(a.ok() && b.ok()) << a.refusal << b.refusal;
  EXPECT_TRUE(scaled(a.values, b.values));
  const StudyPtr left = scatterSubtracted(weights, b.values);
  ASSERT_TRUE(left->exactCounts());
  for (std::size_t n = 0; n < peak.size(); n += 97) {
    const double expect = std::max(0.0, double((*wp.exact)[n]) - b.values[n]);
    EXPECT_NEAR((*left->exactCounts())[n], expect, 1e-4) << n;
    EXPECT_EQ(left->counts()[n], std::uint16_t(std::floor(expect + 0.5))) << n;
  }
  // Another window of the same study brings its own weights; a window without them has none.
  const StudyPtr second = withEnergyWindow(weights, 1);
  ASSERT_TRUE(second && second->exactCounts());
  EXPECT_EQ(*second->exactCounts(), *wl.exact);
  EXPECT_FALSE(withEnergyWindow(whole, 1)->exactCounts());
  // exactRow reads the weights when kept, else the whole counts.
  std::vector<double> row(kBins);
  exactRow(weights, 5, 2, row.data());
  EXPECT_DOUBLE_EQ(row[16], double((*wp.exact)[(5 * kRows + 2) * kBins + 16]));
  exactRow(whole, 5, 2, row.data());
  EXPECT_DOUBLE_EQ(row[16], double(whole.count(5, 2, 16)));
}

}  // namespace
