// The recipe: the same numbers as the stages it runs, refusals before any work, and its words.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/phantom.h"
#include "imaging/recipe.h"
#include "imaging/sample_study.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

StudyPtr cylinder() {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.matrix = 64;
  s.pixelMm = 4;
  s.views = 32;
  s.counts = 1e6;
  s.muPerCm = 0.15;
  return makePhantomStudy(s, 2).study;
}

TEST(Recipe, RunsTheStagesItNamesInCountsPerPixel) {
  const StudyPtr study = sampleStudy();
  Recipe fbp;
  const RecipeSlice f = runRecipe(*study, fbp, 60);
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f.unit, ValueUnit::CountsPerPixel);
  const std::vector<double> raw = fbpVolume(*study, ReconFilter::Ramp, 2, nullptr)[60];
  ASSERT_EQ(f.values.size(), raw.size());
  for (std::size_t n = 0; n < raw.size(); ++n) ASSERT_EQ(f.values[n], raw[n] * (3.14159265358979323846 / 60)) << n;

  Recipe os;
  os.method = RecipeMethod::Osem;
  os.subsets = 10;
  os.iterations = 2;
  os.postFilterFwhm = 2;
  const RecipeSlice o = runRecipe(*study, os, 60);
  const OsemResult want = osem(*study, 60, 10, 2, 2);
  ASSERT_EQ(o.iterations, want.images);
  EXPECT_EQ(o.likelihood, want.likelihood);
  EXPECT_EQ(o.values, gaussianFilter(want.images.back(), 128, 2));
}

TEST(Recipe, AttenuationUsesThePhantomsOutlineAndTheVolumeMatchesItsRows) {
  const StudyPtr study = cylinder();
  ASSERT_TRUE(study);
  Recipe r;
  r.method = RecipeMethod::Osem;
  r.subsets = 8;
  r.iterations = 2;
  r.attenuatedProjector = true;
  const RecipeSlice s = runRecipe(*study, r, 32);
  ASSERT_TRUE(s.ok()) << s.refusal;
  EXPECT_TRUE(s.outline.present);
  EXPECT_DOUBLE_EQ(s.muPerPixel, 0.15 * 4 / 10);
  const ViewWeights w = attenuationWeights(*study, phantomOutline(*study, 32), 0.06);
  EXPECT_EQ(s.values, osem(*study, 32, 8, 2, 1, nullptr, false, &w).images.back());
  // Corrected volumes go row by row through the same path.
  int calls = 0;
  const RecipeVolume v = runRecipeVolume(*study, r, 2, [&](int) { return ++calls > 0; });
  ASSERT_TRUE(v.complete);
  EXPECT_EQ(calls, 64);
  EXPECT_EQ(v.slices[32], s.values);
  // Chang of the FBP: the window's and the tool's stage.
  Recipe c;
  c.chang = ChangCorrection::Iterated;
  std::vector<double> fbp = fbpVolume(*study, ReconFilter::Ramp, 2, nullptr)[32];
  for (double& x : fbp) x *= 3.14159265358979323846 / 32;
  EXPECT_EQ(runRecipe(*study, c, 32).values,
            changCorrected(*study, 32, fbp, ReconFilter::Ramp, phantomOutline(*study, 32), 0.06, 1));
}

TEST(Recipe, RefusesBeforeWorking) {
  const StudyPtr sample = sampleStudy();  // no pixel size
  const StudyPtr phantom = cylinder();
  struct Case {
    const char* name;
    StudyPtr study;
    std::function<void(Recipe&)> set;
    int row;
    const char* says;
  } cases[] = {
      {"subsets", sample, [](Recipe& r) { r.method = RecipeMethod::Osem, r.subsets = 7; }, 60, "割り切れません"},
      {"iterations", sample, [](Recipe& r) { r.method = RecipeMethod::Osem, r.iterations = 0; }, 60, "反復回数"},
      {"pixel size", sample, [](Recipe& r) { r.chang = ChangCorrection::FirstOrder; }, 60, "画素サイズ"},
      {"mu map of another size", sample, [](Recipe& r) { r.muMap.assign(4, 0.1f); }, 60, "μ マップの大きさ"},
      {"scatter", sample, [](Recipe& r) { r.scatter = ScatterMethod::Tew; }, 60, "散乱"},
      {"window cut-off", sample, [](Recipe& r) { r.filter = FilterWindow::Hann, r.windowCutoff = 0; }, 60, ""},
      {"chang with a window", phantom, [](Recipe& r) { r.filter = FilterWindow::Hann, r.chang = ChangCorrection::FirstOrder; }, 32, "Chang"},
      {"outside the outline", phantom, [](Recipe& r) { r.chang = ChangCorrection::FirstOrder, r.outline = OutlineSource::Phantom; }, 0, "輪郭の外"},
  };
  for (const Case& c : cases) {
    Recipe r;
    c.set(r);
    const RecipeSlice s = runRecipe(*c.study, r, c.row);
    EXPECT_FALSE(s.ok()) << c.name;
    EXPECT_TRUE(s.values.empty()) << c.name;
    EXPECT_NE(s.refusal.find(c.says), std::string::npos) << c.name << ": " << s.refusal;
    EXPECT_FALSE(runRecipeVolume(*c.study, r, 1, nullptr).ok() && c.row != 0) << c.name;
  }
}

TEST(Recipe, SaysWhatMadeThePicture) {
  Recipe r;
  r.method = RecipeMethod::Osem;
  r.subsets = 1;
  r.iterations = 20;
  EXPECT_EQ(methodName(r), "MLEM");
  EXPECT_EQ(joinDescription(describeRecipe(r, "sample", 44)), "sample、44 行目、MLEM 20 回、減弱補正なし、後処理なし");
  r.subsets = 10;
  r.postFilterFwhm = 1.5;
  r.attenuatedProjector = true;
  r.outline = OutlineSource::Threshold;
  EXPECT_EQ(methodName(r), "OSEM");
  EXPECT_EQ(joinDescription(describeRecipe(r, "", -1)),
            "全スライス、OSEM 10 サブセット × 20 回、減弱込みの投影、μ = 0.15 cm^-1、FBP のしきい値 20 % の輪郭、ガウス後処理 FWHM 1.5 画素");
  Recipe f;
  f.filter = FilterWindow::Butterworth;
  f.windowCutoff = 0.25;
  f.windowOrder = 6;
  f.prefilter = true;
  EXPECT_EQ(joinDescription(describeRecipe(f, "", 60)),
            "60 行目、FBP（Butterworth 窓、カットオフ 0.25、次数 6）、BW 前処理（次数 8、カットオフ 0.15）、減弱補正なし");
}

}  // namespace
