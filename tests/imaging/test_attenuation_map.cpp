// Attenuation from a mu map: the projector with the map's weights is exactly its transpose, the
// map's path integrals agree with the closed form of a uniform outline and see holes and bone,
// Chang's factors and ray projection reduce to the uniform ones, and the recipe runs the map.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "imaging/attenuation.h"
#include "imaging/geometry.h"
#include "imaging/iterative.h"
#include "imaging/attenuation_map.h"
#include "imaging/mu_map.h"
#include "imaging/phantom.h"
#include "imaging/recipe.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

// A study of V views over 360 degrees (the program's angles) of R rows of B bins, no counts.
StudyPtr shape(int views, int rows, int bins, double pixelMm = 4, double arc = 360) {
  StudyGeometry g;
  g.views = views;
  g.rows = rows;
  g.bins = bins;
  for (int k = 0; k < views; ++k) g.angles.push_back(arc * k / views);
  g.pixelSizeMm = pixelMm;
  return std::make_shared<const ProjectionStudy>(g, std::vector<std::uint16_t>(std::size_t(views) * rows * bins, 0));
}

// mu per pixel of a uniform ellipse (the outline's inside), 0 elsewhere.
std::vector<double> mapOf(const Outline& o, int b, double mu) {
  std::vector<double> m(std::size_t(b) * b, 0.0);
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      if (o.contains(i - b / 2, j - b / 2)) m[std::size_t(i) * b + j] = mu;
  return m;
}

Outline ellipse(double cx, double cy, double a, double b, double phi) {
  Outline o;
  o.present = true;
  o.cx = cx;
  o.cy = cy;
  o.a = a;
  o.b = b;
  o.phi = phi;
  return o;
}

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  return std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
}

TEST(MuMap, ProjectorIsTheExactTransposeForASliceAndForEveryRowOfAVolume) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0, 1);
  for (const auto& [views, bins] : {std::pair{30, 64}, {60, 128}, {17, 33}}) {
    const StudyPtr study = shape(views, 3, bins);
    double left = 0, right = 0;
    // Each row its own map of any values (soft tissue, holes, bone); the volume's projector is
    // the rows' side by side, so its transpose is theirs.
    for (int row = 0; row < 3; ++row) {
      std::vector<double> mu(std::size_t(bins) * bins);
      for (double& m : mu) m = u(gen) < 0.2 ? 0 : 0.15 * u(gen) * (row + 1);
      const ViewWeights w = muMapWeights(*study, mu);
      std::vector<double> f(mu.size()), y(std::size_t(views) * bins);
      for (double& v : f) v = u(gen);
      for (double& v : y) v = u(gen);
      std::vector<double> af, aty;
      forwardProject(*study, f, {}, af, &w);
      backProject(*study, y, {}, aty, &w);
      const double l = dot(af, y), r = dot(f, aty);
      EXPECT_NEAR(l / r, 1, 1e-12) << views << " views, row " << row;
      left += l;
      right += r;
      // The weights take photons away.
      std::vector<double> plain;
      forwardProject(*study, f, {}, plain);
      EXPECT_LT(l, dot(plain, y) * 0.95);
    }
    EXPECT_NEAR(left / right, 1, 1e-12) << views << " views, the volume";
  }
}

TEST(MuMap, PathsOfAUniformEllipseFollowItsClosedForm) {
  const int b = 64;
  const StudyPtr study = shape(24, 1, b);
  const Outline o = ellipse(3, -2, 22, 15, 0.4);
  const double mu = 0.06;
  const std::vector<std::vector<double>> paths = muMapPaths(*study, mapOf(o, b, mu));
  const Outline inner = ellipse(3, -2, 20, 13, 0.4), outer = ellipse(3, -2, 24, 17, 0.4);
  double worst = 0, sumError = 0;
  int n = 0;
  for (int k = 0; k < study->views(); ++k) {
    const double theta = angleRadians(study->angleDegrees(k));
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j) {
        const double want = mu * pathToDetector(o, i - 32, j - 32, theta);
        const double got = paths[std::size_t(k)][std::size_t(i) * b + j];
        // The map's pixelled edge moves the path's end by up to about a pixel.
        if (inner.contains(i - 32, j - 32)) {
          worst = std::max(worst, std::fabs(got - want));
          sumError += got - want;
          ++n;
        }
        // A ray that clears the ellipse by two pixels meets no matter of the map.
        if (pathToDetector(outer, i - 32, j - 32, theta) == 0) {
          ASSERT_EQ(got, 0) << i << " " << j;
        }
      }
  }
  EXPECT_LT(worst, mu * 1.0);         // within a pixel's length of mu
  EXPECT_LT(std::fabs(sumError / n), mu * 0.02);  // and without bias
  // Pixels outside with no matter towards the detector have no loss at all.
  const std::vector<double> none = muMapPaths(*study, std::vector<double>(std::size_t(b) * b, 0.0))[0];
  EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](double v) { return v == 0; }));
}

TEST(MuMap, APathSeesALungsHoleAndABonesExcess) {
  // A water square 40 pixels wide; at view 0 the detector lies towards -y (j falling).
  const int b = 64;
  const StudyPtr study = shape(4, 1, b);
  std::vector<double> water(std::size_t(b) * b, 0.0);
  for (int i = 12; i < 52; ++i)
    for (int j = 12; j < 52; ++j) water[std::size_t(i) * b + j] = 0.06;
  std::vector<double> lung = water, bone = water;
  for (int i = 26; i < 38; ++i)
    for (int j = 20; j < 30; ++j) {
      lung[std::size_t(i) * b + j] = 0.3 * 0.06;
      bone[std::size_t(i) * b + j] = 0.11;
    }
  // From pixel (32, 45) towards the detector: 33.5 pixels of matter, 10 of them the insert.
  const std::size_t p = std::size_t(32) * b + 45;
  const double base = muMapPaths(*study, water)[0][p];
  EXPECT_NEAR(base, 0.06 * 33.5, 0.06 * 0.3);
  EXPECT_NEAR(base - muMapPaths(*study, lung)[0][p], 0.7 * 0.06 * 10, 0.06 * 0.3);
  EXPECT_NEAR(muMapPaths(*study, bone)[0][p] - base, (0.11 - 0.06) * 10, 0.05 * 0.3);
  // The weights are e^-L.
  EXPECT_DOUBLE_EQ(muMapWeights(*study, lung)[0][p], std::exp(-muMapPaths(*study, lung)[0][p]));
}

TEST(MuMap, ChangAndTheRayProjectionOfAUniformMapAreTheOutlines) {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.matrix = 64;
  s.pixelMm = 4;
  s.views = 48;
  s.noiseFree = true;
  s.muPerCm = 0.15;
  const StudyPtr study = makePhantomStudy(s, 2).study;
  ASSERT_TRUE(study);
  const int row = 32, b = 64;
  const Outline o = phantomOutline(*study, row);
  const double mu = muPerPixel(0.15, 4);
  const std::vector<double> map = mapOf(o, b, mu);
  const std::vector<double> uniform = changFactors(*study, o, mu);
  const std::vector<double> fromMap = muMapChangFactors(muMapWeights(*study, map), map);
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j) {
      const std::size_t p = std::size_t(i) * b + j;
      if (!o.contains(i - 32, j - 32)) {
        EXPECT_EQ(fromMap[p], 1) << i << " " << j;
        continue;
      }
      EXPECT_NEAR(fromMap[p] / uniform[p], 1, 0.06) << i << " " << j;
    }
  std::vector<double> f(std::size_t(b) * b);
  for (std::size_t p = 0; p < f.size(); ++p) f[p] = map[p] > 0 ? 1 + 0.01 * double(p % 17) : 0;
  const std::vector<double> a = attenuatedRayProjection(*study, f, o, mu);
  const std::vector<double> m = muMapRayProjection(*study, f, map);
  EXPECT_NEAR(std::accumulate(m.begin(), m.end(), 0.0) / std::accumulate(a.begin(), a.end(), 0.0), 1, 0.02);
  // Corrected by either, the uniform cylinder comes out alike.
  std::vector<double> fbp = fbpVolume(*study, ReconFilter::Ramp, 2, nullptr)[row];
  for (double& v : fbp) v *= 3.14159265358979323846 / s.views;
  for (int iterations : {0, 1}) {
    const std::vector<double> u = changCorrected(*study, row, fbp, ReconFilter::Ramp, o, mu, iterations);
    const std::vector<double> c = muMapChangCorrected(*study, row, fbp, ReconFilter::Ramp, map, iterations);
    double su = 0, sc = 0;
    for (std::size_t p = 0; p < u.size(); ++p)
      if (map[p] > 0) su += u[p], sc += c[p];
    EXPECT_NEAR(sc / su, 1, 0.03) << iterations;
  }
}

TEST(MuMap, CorticalBoneFollowsItsTable) {
  EXPECT_NEAR(corticalBoneMu(150), 0.1480 * 1.92, 1e-12);
  EXPECT_NEAR(corticalBoneMu(200), 0.1309 * 1.92, 1e-12);
  // Tc-99m, I-123, Lu-177: between the table's points, falling with the energy.
  EXPECT_NEAR(corticalBoneMu(140.5), 0.295, 0.002);
  EXPECT_GT(corticalBoneMu(140.5), corticalBoneMu(159));
  EXPECT_GT(corticalBoneMu(159), corticalBoneMu(208.4));
  EXPECT_NEAR(corticalBoneMu(208.4) / waterMu(208.4), 1.86, 0.03);
}

TEST(MuMap, TheRecipeRunsTheMapForASliceAndRowByRowForTheVolume) {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.matrix = 64;
  s.pixelMm = 4;
  s.views = 32;
  s.counts = 1e6;
  s.muPerCm = 0.15;
  const StudyPtr study = makePhantomStudy(s, 2).study;
  ASSERT_TRUE(study);
  const PhantomInfo& info = *phantomInfo(*study);
  Recipe r;
  r.method = RecipeMethod::Osem;
  r.subsets = 8;
  r.iterations = 2;
  r.attenuatedProjector = true;
  r.muMap = phantomMuMap(info);
  ASSERT_EQ(r.muMap.size(), std::size_t(64) * 64 * 64);
  const RecipeSlice slice = runRecipe(*study, r, 32);
  ASSERT_TRUE(slice.ok()) << slice.refusal;
  EXPECT_TRUE(slice.fromMuMap);
  const std::vector<double> mu = muMapSlice(r.muMap, 64, 64, 32, 4);
  const ViewWeights w = muMapWeights(*study, mu);
  EXPECT_EQ(slice.values, osem(*study, 32, 8, 2, 1, nullptr, false, &w).images.back());
  // The map is the phantom's outline: its OSEM is nearly the uniform one.
  Recipe uniform = r;
  uniform.muMap.clear();
  const std::vector<double> u = runRecipe(*study, uniform, 32).values;
  EXPECT_NEAR(std::accumulate(slice.values.begin(), slice.values.end(), 0.0) / std::accumulate(u.begin(), u.end(), 0.0), 1, 0.03);
  const RecipeVolume v = runRecipeVolume(*study, r, 2, nullptr);
  ASSERT_TRUE(v.complete);
  EXPECT_EQ(v.slices[32], slice.values);
  // FBP with Chang: the map's correction.
  Recipe c;
  c.chang = ChangCorrection::Iterated;
  c.muMap = r.muMap;
  std::vector<double> fbp = fbpVolume(*study, ReconFilter::Ramp, 2, nullptr)[32];
  for (double& x : fbp) x *= 3.14159265358979323846 / 32;
  EXPECT_EQ(runRecipe(*study, c, 32).values, muMapChangCorrected(*study, 32, fbp, ReconFilter::Ramp, mu, 1));
  // Uncorrected recipes leave the map alone; a row without matter is reconstructed as it is.
  Recipe plain = c;
  plain.chang = ChangCorrection::None;
  EXPECT_EQ(runRecipe(*study, plain, 32).values, fbp);
  std::vector<float> empty(r.muMap.size(), 0.0f);
  Recipe air = c;
  air.muMap = empty;
  EXPECT_EQ(runRecipe(*study, air, 32).values, fbp);
  // The words name the map instead of mu and an outline.
  EXPECT_EQ(joinDescription(describeRecipe(r, "", 32)), "32 行目、OSEM 8 サブセット × 2 回、減弱込みの投影、μ マップ、後処理なし");
  EXPECT_EQ(joinDescription(describeRecipe(c, "", 32)), "32 行目、FBP（Ramp）、Chang 1次 + 反復1回、μ マップ");
}

TEST(MuMap, TheRecipeRefusesAMapThatDoesNotFit) {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.matrix = 64;
  s.pixelMm = 4;
  s.views = 32;
  s.counts = 1e6;
  const StudyPtr study = makePhantomStudy(s, 2).study;
  StudyGeometry g = study->geometry();
  g.pixelSizeMm = 0;
  const StudyPtr unsized = std::make_shared<const ProjectionStudy>(g, study->counts());
  const std::vector<float> fits(std::size_t(64) * 64 * 64, 0.1f);
  struct Case {
    const char* name;
    StudyPtr study;
    std::vector<float> map;
    const char* says;
  } cases[] = {
      {"one row short", study, std::vector<float>(std::size_t(63) * 64 * 64, 0.1f), "μ マップの大きさ（258048 値）がこの検査（64 行 × 64 x 64 画素）と合いません"},
      {"negative", study, [&] { auto m = fits; m[5] = -0.01f; return m; }(), "0 から 10"},
      {"not a number", study, [&] { auto m = fits; m[99] = std::nanf(""); return m; }(), "0 から 10"},
      {"no pixel size", unsized, fits, "画素サイズ"},
  };
  for (const Case& c : cases) {
    Recipe r;
    r.chang = ChangCorrection::FirstOrder;
    r.muMap = c.map;
    const RecipeSlice out = runRecipe(*c.study, r, 32);
    EXPECT_FALSE(out.ok()) << c.name;
    EXPECT_TRUE(out.values.empty()) << c.name;
    EXPECT_NE(out.refusal.find(c.says), std::string::npos) << c.name << ": " << out.refusal;
    EXPECT_FALSE(runRecipeVolume(*c.study, r, 1, nullptr).ok()) << c.name;
  }
}

}  // namespace
