// Resolution recovery and the scatter term: the blurring projector and its backprojector are
// exact transposes, without blur it is the program's projector, and on the phantom lab's data a
// small hot sphere is recovered better with the matched blur than without or with one too narrow;
// TEW in the reconstruction brings a cold sphere's contrast back towards its truth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <cstdio>
#include <random>

#include "imaging/attenuation.h"
#include "imaging/geometry.h"
#include "imaging/iterative.h"
#include "imaging/phantom.h"
#include "imaging/recipe.h"
#include "imaging/resolution.h"
#include "imaging/scatter.h"
#include "peak_memory.h"

using namespace sinora;

namespace {

StudyPtr blank(int views, int rows, int bins, double pixel) {
  StudyGeometry g;
  g.views = views;
  g.rows = rows;
  g.bins = bins;
  g.pixelSizeMm = pixel;
  return std::make_shared<const ProjectionStudy>(g, std::vector<std::uint16_t>(std::size_t(views) * rows * bins, 0));
}

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double s = 0;
  for (std::size_t n = 0; n < a.size(); ++n) s += a[n] * b[n];
  return s;
}

TEST(PsfProjector, BackprojectorIsTheExactTransposeIn2DAnd3D) {
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(0, 1);
  Collimator lehr, megp;
  ASSERT_TRUE(collimatorPreset("lehr", lehr));
  ASSERT_TRUE(collimatorPreset("megp", megp));
  struct Case {
    int views, rows, bins;
    Collimator c;
    bool across;
    bool weighted;
  };
  const Case cases[] = {{30, 8, 32, lehr, true, false}, {24, 1, 48, megp, false, false},
                        {36, 6, 32, megp, true, true},  {20, 5, 40, Collimator{}, true, false}};
  for (const Case& c : cases) {
    const StudyPtr s = blank(c.views, c.rows, c.bins, 4.0);
    PsfSetup setup;
    setup.collimator = c.c;
    setup.radiusMm = {150};
    setup.acrossRows = c.across;
    const PsfProjector a(*s, setup, c.rows);
    const std::size_t voxels = std::size_t(c.bins) * c.bins * c.rows, per = std::size_t(c.rows) * c.bins;
    std::vector<double> f(voxels), y(per * c.views), w(std::size_t(c.bins) * c.bins);
    for (double& v : f) v = u(gen);
    for (double& v : y) v = u(gen);
    for (double& v : w) v = u(gen);
    std::vector<double> af(y.size()), aty(voxels, 0.0);
    for (int k = 0; k < c.views; ++k) {
      a.forwardView(k, f.data(), af.data() + std::size_t(k) * per, c.weighted ? w.data() : nullptr);
      a.backAddView(k, y.data() + std::size_t(k) * per, aty.data(), c.weighted ? w.data() : nullptr);
    }
    const double lhs = dot(af, y), rhs = dot(f, aty);
    EXPECT_NEAR(lhs, rhs, 1e-12 * std::fabs(lhs)) << c.views << " " << c.rows;
    EXPECT_GT(lhs, 0);
  }
}

// The single-precision projector of the volume's OSEM: the same operator, and its transpose to
// float's precision.
TEST(PsfProjector, SinglePrecisionIsTheSameOperatorAndItsTranspose) {
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> u(0, 1);
  Collimator lehr, megp;
  ASSERT_TRUE(collimatorPreset("lehr", lehr));
  ASSERT_TRUE(collimatorPreset("megp", megp));
  struct Case {
    int views, rows, bins;
    Collimator c;
    bool across;
  };
  for (const Case& c : {Case{30, 8, 32, lehr, true}, Case{24, 1, 48, megp, false}, Case{12, 21, 40, megp, true}}) {
    const StudyPtr s = blank(c.views, c.rows, c.bins, 4.0);
    PsfSetup setup;
    setup.collimator = c.c;
    setup.radiusMm = {150};
    setup.acrossRows = c.across;
    const PsfProjector a(*s, setup, c.rows);
    const std::size_t voxels = std::size_t(c.bins) * c.bins * c.rows, per = std::size_t(c.rows) * c.bins;
    std::vector<double> f(voxels), y(per * c.views), af(y.size()), aty(voxels, 0.0);
    for (double& v : f) v = u(gen);
    for (double& v : y) v = u(gen);
    const std::vector<float> ff(f.begin(), f.end()), yf(y.begin(), y.end());
    std::vector<float> aff(y.size()), atyf(voxels, 0.0f);
    for (int k = 0; k < c.views; ++k) {
      a.forwardView(k, f.data(), af.data() + std::size_t(k) * per);
      a.backAddView(k, y.data() + std::size_t(k) * per, aty.data());
      a.forwardView(k, ff.data(), aff.data() + std::size_t(k) * per);
      a.backAddView(k, yf.data() + std::size_t(k) * per, atyf.data());
    }
    for (std::size_t n = 0; n < af.size(); ++n) ASSERT_NEAR(aff[n], af[n], 1e-5 * (1 + af[n])) << n;
    for (std::size_t n = 0; n < aty.size(); ++n) ASSERT_NEAR(atyf[n], aty[n], 1e-5 * (1 + aty[n])) << n;
    const double lhs = dot(std::vector<double>(aff.begin(), aff.end()), y);
    const double rhs = dot(f, std::vector<double>(atyf.begin(), atyf.end()));
    EXPECT_NEAR(lhs, rhs, 1e-6 * std::fabs(lhs)) << c.views << " " << c.rows;
  }
}

// The 3-D projector blurs a point by the collimator's FWHM at the point's distance from the face,
// sqrt(R_i^2 + (R_c0 + k d)^2), along the bins and along the rows alike (from the profile's second
// moment: the incremental blurs' variances add up to the model's).
TEST(PsfProjector, BlursAPointByTheModelsFwhmAtItsDepthInBothDirections) {
  constexpr int kBins = 96, kRows = 64, kRow = 32;
  constexpr double kPixel = 3, kRadius = 200;
  const StudyPtr s = blank(4, kRows, kBins, kPixel);
  for (const char* key : {"lehr", "megp"}) {
    Collimator col;
    ASSERT_TRUE(collimatorPreset(key, col));
    PsfSetup setup;
    setup.collimator = col;
    setup.radiusMm = {kRadius};
    const PsfProjector a(*s, setup, kRows);
    const int c = kBins / 2;
    // View 0 looks along -y: a pixel's depth towards its detector is c - j.
    for (int t : {-30, -12, 0, 15, 30}) {
      std::vector<float> f(std::size_t(kBins) * kBins * kRows, 0.0f), out(std::size_t(kRows) * kBins);
      const std::size_t p = std::size_t(c) * kBins + std::size_t(c - t);
      f[p * kRows + kRow] = 1;
      a.forwardView(0, f.data(), out.data());
      int bin = 0;
      for (int b = 0; b < kBins; ++b)
        if (out[std::size_t(kRow) * kBins + b] > out[std::size_t(kRow) * kBins + bin]) bin = b;
      // Second moments along the bins (through the point's row) and along the rows (its bin).
      auto width = [&](bool alongRows) {
        const int n = alongRows ? kRows : kBins, at = alongRows ? kRow : bin;
        double sum = 0, m2 = 0;
        for (int e = 0; e < n; ++e) {
          const double v = alongRows ? out[std::size_t(e) * kBins + bin] : out[std::size_t(kRow) * kBins + e];
          sum += v;
          m2 += v * (e - at) * (e - at);
        }
        return std::sqrt(m2 / sum) * 2.3548200450309493 * kPixel;
      };
      const double model = col.fwhmMm(kRadius - t * kPixel);
      // Within half a slab's 0.5 mm of FWHM (each slab is blurred for its middle's depth).
      EXPECT_NEAR(width(false), model, 0.3) << key << " depth " << t;
      EXPECT_NEAR(width(true), model, 0.3) << key << " depth " << t;
      EXPECT_NEAR(a.fwhmAtDepth(0, t), model, 1e-12);
    }
  }
}

// The volume's OSEM (single precision, views in batches and groups on two cores, the scatter
// term) against OSEM written out here on the double-precision projector.
TEST(PsfProjector, VolumeOsemIsOsemWithTheBlurringProjector) {
  constexpr int kViews = 24, kRows = 20, kBins = 32, kSubsets = 4, kIterations = 3;
  Collimator megp;
  ASSERT_TRUE(collimatorPreset("megp", megp));
  StudyGeometry g;
  g.views = kViews;
  g.rows = kRows;
  g.bins = kBins;
  g.pixelSizeMm = 4;
  std::mt19937 gen(9);
  std::vector<std::uint16_t> counts(std::size_t(kViews) * kRows * kBins);
  for (std::size_t n = 0; n < counts.size(); ++n) {
    const int c = int(n % kBins) - kBins / 2;
    counts[n] = std::uint16_t(std::max(0, 100 - c * c / 2) + int(gen() % 20));
  }
  const ProjectionStudy study(g, counts);
  std::vector<double> scatter(counts.size());
  for (double& v : scatter) v = 2 + gen() % 5;
  PsfSetup setup;
  setup.collimator = megp;
  setup.radiusMm = {180};
  const PsfProjector a(study, setup, kRows);
  const std::size_t per = std::size_t(kRows) * kBins, voxels = std::size_t(kBins) * kBins * kRows;
  std::vector<double> f(voxels, 0.0);
  for (int i = 0; i < kBins; ++i)
    for (int j = 0; j < kBins; ++j)
      if (insideCircle(i, j, kBins))
        for (int r = 0; r < kRows; ++r) f[(std::size_t(i) * kBins + j) * kRows + r] = 1;
  const std::vector<double> ones(per, 1.0);
  std::vector<double> af(per);
  for (int it = 0; it < kIterations; ++it)
    for (int m : subsetOrder(kSubsets)) {
      std::vector<double> s(voxels, 0.0), bp(voxels, 0.0);
      for (int k : subsetViews(kViews, kSubsets, m)) {
        a.backAddView(k, ones.data(), s.data());
        a.forwardView(k, f.data(), af.data());
        for (std::size_t n = 0; n < per; ++n) {
          const std::size_t at = std::size_t(k) * per + n;
          const double mean = af[n] + scatter[at];
          af[n] = mean > 0 ? counts[at] / mean : 0;
        }
        a.backAddView(k, af.data(), bp.data());
      }
      for (std::size_t p = 0; p < voxels; ++p) f[p] = s[p] > 0 ? f[p] / s[p] * bp[p] : 0;
    }
  // The study's scatter laid out as its counts: [(k * R + r) * B + c]; f above as [p * R + r].
  std::vector<double> laidOut(scatter.size());
  for (int k = 0; k < kViews; ++k)
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kBins; ++c)
        laidOut[(std::size_t(k) * kRows + r) * kBins + c] = scatter[std::size_t(k) * per + std::size_t(r) * kBins + c];
  for (int threads : {1, 2}) {
    const auto volume = osemPsfVolume(study, &setup, laidOut, kSubsets, kIterations, threads);
    ASSERT_EQ(volume.size(), std::size_t(kRows));
    double top = 0, worst = 0;
    for (int r = 0; r < kRows; ++r)
      for (std::size_t p = 0; p < std::size_t(kBins) * kBins; ++p) {
        const double want = f[p * kRows + std::size_t(r)];
        top = std::max(top, want);
        worst = std::max(worst, std::fabs(volume[std::size_t(r)][p] - want));
      }
    EXPECT_GT(top, 10);
    EXPECT_LT(worst, 1e-4 * top) << threads;
  }
}

TEST(PsfProjector, WithoutBlurItIsTheProgramsProjector) {
  const StudyPtr s = blank(40, 1, 48, 4.0);
  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<double> f = startingImage(48);
  for (double& v : f) v *= u(gen);
  std::vector<double> plain;
  forwardProject(*s, f, {}, plain);
  const PsfProjector a(*s, PsfSetup{}, 1);
  std::vector<double> mine(plain.size());
  for (int k = 0; k < 40; ++k) a.forwardView(k, f.data(), mine.data() + std::size_t(k) * 48);
  for (std::size_t n = 0; n < plain.size(); ++n) ASSERT_NEAR(mine[n], plain[n], 1e-12 * (1 + plain[n])) << n;
  // The blur keeps the counts that stay on the detector and spreads them.
  Collimator lehr;
  collimatorPreset("lehr", lehr);
  PsfSetup setup{lehr, {200}, 0, false};
  const PsfProjector b(*s, setup, 1);
  std::vector<double> blurred(plain.size());
  for (int k = 0; k < 40; ++k) b.forwardView(k, f.data(), blurred.data() + std::size_t(k) * 48);
  double sp = 0, sb = 0;
  for (std::size_t n = 0; n < plain.size(); ++n) {
    sp += plain[n];
    sb += blurred[n];
  }
  EXPECT_NEAR(sb / sp, 1.0, 0.01);
  EXPECT_NEAR(b.fwhmAtDepth(0, 0), lehr.fwhmMm(200), 1e-12);
  EXPECT_NEAR(b.fwhmAtDepth(0, 25), lehr.fwhmMm(100), 1e-12);  // 25 pixels of 4 mm nearer
}

// A warm cylinder (radius 60 mm) with a hot sphere of 13 mm (4 : 1) off centre, LEHR at 200 mm.
PhantomObject sphereInCylinder(double diameter) {
  PhantomObject o;
  PhantomPart cyl;
  cyl.shape = PhantomPart::Cylinder;
  cyl.ax = cyl.ay = 60;
  cyl.az = 60;
  cyl.activity = 1;
  o.parts.push_back(cyl);
  PhantomPart sphere;
  sphere.shape = PhantomPart::Ellipsoid;
  sphere.cx = 25;
  sphere.ax = sphere.ay = sphere.az = diameter / 2;
  sphere.activity = 3;
  o.parts.push_back(sphere);
  o.outline = 0;
  o.feature = 1;
  o.background = 1;
  return o;
}

PhantomSettings rrSettings() {
  PhantomSettings s;
  s.views = 32;
  s.matrix = 64;
  s.pixelMm = 2.5;
  s.noiseFree = true;
  s.counts = 2e7;
  s.radiusMm = 200;
  s.realCollimator = true;
  collimatorPreset("lehr", s.collimator);
  return s;
}

// The recovery coefficient: sphere mean over background mean, against the truth's 4.
double recovery(const std::vector<double>& slice, const PhantomInfo& info, int row) {
  const double rc = recoveredContrast(slice, info, row, featureMask(info, row));
  return 1 + 3 * rc;  // (mR / mB) = 1 + contrast x (4 - 1)
}

TEST(ResolutionRecovery, SmallHotSphereIsRecoveredBetterWithTheMatchedPsf) {
  const PhantomSettings s = rrSettings();
  PhantomResult r = makePhantomStudyOf(sphereInCylinder(13), "sphere", s, 2);
  ASSERT_TRUE(r.study) << r.error;
  const ProjectionStudy& study = *r.study;
  const PhantomInfo& info = *phantomInfo(study);
  const int row = 32;
  PsfSetup matched;
  matched.collimator = s.collimator;
  matched.radiusMm = studyRadii(study, 0);
  ASSERT_EQ(matched.radiusMm.size(), 1u);
  EXPECT_EQ(matched.radiusMm[0], 200);
  const auto plain = osemPsfVolume(study, nullptr, {}, 4, 40, 2);
  const auto rr = osemPsfVolume(study, &matched, {}, 4, 40, 2);
  const double rcPlain = recovery(plain[row], info, row), rcRr = recovery(rr[row], info, row);
  std::printf("RC at 40 iterations: %.3f without, %.3f with resolution recovery\n", rcPlain / 4, rcRr / 4);
  EXPECT_GE(rcRr, 1.5 * rcPlain);
  // The in-plane version of a slice, against a PSF half as wide: less is recovered.
  PsfSetup narrow = matched;
  narrow.collimator = {s.collimator.intrinsicMm / 2, s.collimator.faceMm / 2, s.collimator.slope / 2};
  const OsemResult m = osemPsf(study, row, &matched, {}, 4, 100);
  const OsemResult n = osemPsf(study, row, &narrow, {}, 4, 40);
  ASSERT_EQ(m.images.size(), 100u);
  const double rcMatched2d = recovery(m.images[39], info, row), rcNarrow2d = recovery(n.images[39], info, row);
  std::printf("in-plane RC at 40: matched %.3f, narrow %.3f\n", rcMatched2d / 4, rcNarrow2d / 4);
  EXPECT_LT(rcNarrow2d, rcMatched2d);
}

TEST(ResolutionRecovery, LargeSphereProfileOvershootsItsTruthAt100Iterations) {
  const PhantomSettings s = rrSettings();
  PhantomResult r = makePhantomStudyOf(sphereInCylinder(30), "sphere", s, 2);
  ASSERT_TRUE(r.study) << r.error;
  const PhantomInfo& info = *phantomInfo(*r.study);
  const int row = 32;
  PsfSetup matched;
  matched.collimator = s.collimator;
  matched.radiusMm = {200};
  const OsemResult m = osemPsf(*r.study, row, &matched, {}, 4, 100);
  ASSERT_EQ(m.images.size(), 100u);
  // The profile through the sphere's centre along x, scaled so that the background is 1.
  const std::vector<double>& f = m.images[99];
  const std::vector<float>& t = info.truth[std::size_t(row)];
  const int b = 64, j = 32;
  double background = 0;
  for (int i = 10; i < 18; ++i) background += f[std::size_t(i) * b + j] / t[std::size_t(i) * b + j];
  background /= 8;
  double top = 0, truthTop = 0;
  for (int i = 34; i < 50; ++i) {
    top = std::max(top, f[std::size_t(i) * b + j] / background);
    truthTop = std::max(truthTop, double(t[std::size_t(i) * b + j]));
  }
  std::printf("sphere profile peak %.3f of its truth %.3f\n", top, truthTop);
  EXPECT_GT(top, 1.05 * truthTop);
}

TEST(ScatterCorrection, TewRaisesTheColdSphereContrastTowardsItsTruth) {
  PhantomSettings s;
  s.kind = PhantomKind::Jaszczak;
  s.views = 32;
  s.matrix = 64;
  s.pixelMm = 4;
  s.noiseFree = true;
  s.counts = 2e7;
  s.muPerCm = waterMu(140.5);
  s.scatter = true;
  s.realCollimator = true;
  collimatorPreset("lehr", s.collimator);
  s.radiusMm = 220;
  PhantomResult r = makePhantomStudy(s, 2);
  ASSERT_TRUE(r.study) << r.error;
  const ProjectionStudy& study = *r.study;
  const PhantomInfo& info = *phantomInfo(study);
  const int row = int(std::lround(50 / 4.0)) + 32;  // the spheres' plane
  const auto& set = *study.geometry().energyWindows;
  std::vector<double> tew(study.counts().size());
  tewEstimate(set.counts[1].data(), set.counts[2].data(), tew.size(), set.windows[1].width(),
              set.windows[2].width(), set.windows[0].width(), tew.data());
  std::vector<double> sinogram(std::size_t(study.views()) * study.bins());
  for (int k = 0; k < study.views(); ++k)
    for (int c = 0; c < study.bins(); ++c)
      sinogram[std::size_t(k) * study.bins() + c] = tew[(std::size_t(k) * study.rows() + row) * study.bins() + c];
  // Attenuation in the projector in both, so that only the scatter differs.
  const ViewWeights w = attenuationWeights(study, phantomOutline(study, row), muPerPixel(s.muPerCm, s.pixelMm));
  const OsemResult plain = osemPsf(study, row, nullptr, {}, 4, 10, 1, nullptr, false, &w);
  const OsemResult corrected = osemPsf(study, row, nullptr, sinogram, 4, 10, 1, nullptr, false, &w);
  const std::vector<bool> sphere = featureMask(info, row);
  const double before = recoveredContrast(plain.images.back(), info, row, sphere);
  const double after = recoveredContrast(corrected.images.back(), info, row, sphere);
  std::printf("cold sphere recovered contrast: %.3f without, %.3f with TEW\n", before, after);
  EXPECT_GT(after, before);
  EXPECT_LT(std::fabs(after - 1), std::fabs(before - 1));
}

}  // namespace

namespace {

// The recipe runs the same stages: TEW into OSEM as the additive term, TEW subtracted before FBP
// and clamped at 0, resolution recovery with the study's radius.
TEST(RecipeScatterAndPsf, RunsTheStagesAndRefusesWhatItCannot) {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.views = 24;
  s.matrix = 64;
  s.pixelMm = 4;
  s.counts = 1e6;
  s.muPerCm = 0.15;
  s.scatter = true;
  s.realCollimator = true;
  collimatorPreset("lehr", s.collimator);
  PhantomResult made = makePhantomStudy(s, 2);
  ASSERT_TRUE(made.study) << made.error;
  const ProjectionStudy& study = *made.study;
  const ScatterEstimate e = estimateScatter(study, ScatterMethod::Tew);
  ASSERT_TRUE(e.ok()) << e.refusal;
  EXPECT_EQ(e.lower, 1);
  EXPECT_EQ(e.upper, 2);
  Recipe r;
  r.method = RecipeMethod::Osem;
  r.subsets = 4;
  r.iterations = 3;
  r.scatter = ScatterMethod::Tew;
  const RecipeSlice slice = runRecipe(study, r, 32, 1, nullptr, false);
  ASSERT_TRUE(slice.ok()) << slice.refusal;
  std::vector<double> row(std::size_t(24) * 64);
  for (int k = 0; k < 24; ++k)
    for (int b = 0; b < 64; ++b) row[std::size_t(k) * 64 + b] = e.values[(std::size_t(k) * 64 + 32) * 64 + b];
  EXPECT_EQ(slice.values, osemPsf(study, 32, nullptr, row, 4, 3).images.back());
  // The volume: 3-D resolution recovery and the scatter term at once.
  r.resolutionRecovery = true;
  const RecipeVolume v = runRecipeVolume(study, r, 2, nullptr);
  ASSERT_TRUE(v.ok() && v.complete) << v.refusal;
  PsfSetup psf;
  psf.collimator = r.collimator;
  psf.radiusMm = {s.radiusMm};
  EXPECT_EQ(v.slices, osemPsfVolume(study, &psf, e.values, 4, 3, 1));
  EXPECT_NE(joinDescription(describeRecipe(r, "", 32)).find("散乱補正 TEW"), std::string::npos);
  // FBP: the counts less the estimate, clamped at 0.
  Recipe f;
  f.scatter = ScatterMethod::Tew;
  const StudyPtr less = scatterSubtracted(study, e.values);
  for (std::size_t n = 0; n < less->counts().size(); ++n)
    ASSERT_EQ(less->counts()[n], std::uint16_t(std::max(0.0, std::floor(study.counts()[n] - e.values[n] + 0.5)))) << n;
  Recipe plainFbp;
  EXPECT_EQ(runRecipe(study, f, 32).values, runRecipe(*less, plainFbp, 32).values);
  // Refused: a study with one window; resolution recovery without a radius or for FBP.
  StudyGeometry g = study.geometry();
  g.energyWindows = nullptr;
  g.radiusMm.clear();
  const ProjectionStudy one(g, study.counts());
  EXPECT_NE(checkRecipe(one, r).find("エネルギーウィンドウ"), std::string::npos);
  Recipe rr;
  rr.method = RecipeMethod::Osem;
  rr.resolutionRecovery = true;
  rr.subsets = 4;
  EXPECT_NE(checkRecipe(one, rr).find("回転半径"), std::string::npos);
  rr.radiusMm = 250;
  EXPECT_EQ(checkRecipe(one, rr), "");
  rr.method = RecipeMethod::Fbp;
  EXPECT_NE(checkRecipe(one, rr).find("MLEM/OSEM"), std::string::npos);
}

}  // namespace

namespace {

// The PSF the window shows is the projector's: a point's profile sums to 1, and its width is
// the collimator's at the point's distance (to the projector's slabs, 0.5 mm of FWHM each).
TEST(ProjectorPsf, IsTheCollimatorsWidthAtThePointsDistance) {
  Collimator lehr;
  ASSERT_TRUE(collimatorPreset("lehr", lehr));
  struct Case {
    int bins;
    double pixel, radius, distance;
  };
  // Points within the field: at most B / 2 pixels from the centre of rotation.
  for (const Case& c : {Case{256, 1, 100, 0}, Case{256, 1, 150, 100}, Case{256, 1, 150, 250}, Case{128, 2, 200, 150},
                        Case{64, 4, 200, 320}}) {
    const ProjectorPsf p = projectorPsf(c.bins, c.pixel, lehr, c.radius, c.distance);
    ASSERT_EQ(p.profile.size(), std::size_t(c.bins));
    EXPECT_NEAR(std::accumulate(p.profile.begin(), p.profile.end(), 0.0), 1.0, 1e-9) << c.distance;
    EXPECT_NEAR(p.actualMm, c.distance, c.pixel) << c.distance;
    // A width found between samples: a pixel's worth of the sampling's error on top.
    EXPECT_NEAR(p.fwhmMm, lehr.fwhmMm(p.actualMm), 0.5 + 0.25 * c.pixel) << c.distance;
    if (c.distance == 0) {
      EXPECT_GT(p.fwhmMm, 3.5);  // never 0 at the face
    }
  }
  // Beyond the field the point stays at its edge; without blur a point stays in one bin.
  const ProjectorPsf far = projectorPsf(64, 4, lehr, 200, 2000);
  EXPECT_LT(far.actualMm, 200 + 32 * 4);
  const ProjectorPsf sharp = projectorPsf(64, 4, Collimator{}, 200, 100);
  EXPECT_EQ(*std::max_element(sharp.profile.begin(), sharp.profile.end()), 1.0);
  EXPECT_NEAR(sharp.fwhmMm, 4, 1e-12);
  EXPECT_TRUE(projectorPsf(64, 0, lehr, 200, 100).profile.empty());  // no pixel size, no PSF
}

// The windows' pictures of the estimate and the reconstructions share one computation: the
// same settings give the same estimate, other settings a new one, equal to estimateScatter's.
TEST(RecipeScatter, TheLatestEstimateIsKeptWithItsStudy) {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.views = 16;
  s.matrix = 64;
  s.pixelMm = 4;
  s.counts = 1e5;
  s.muPerCm = 0.15;
  s.scatter = true;
  PhantomResult made = makePhantomStudy(s, 2);
  ASSERT_TRUE(made.study) << made.error;
  const ProjectionStudy& study = *made.study;
  Recipe r;
  EXPECT_EQ(recipeScatter(study, r), nullptr);
  r.scatter = ScatterMethod::Tew;
  const auto first = recipeScatter(study, r);
  ASSERT_TRUE(first && first->ok());
  EXPECT_EQ(recipeScatter(study, r), first);
  EXPECT_EQ(first->values, estimateScatter(study, ScatterMethod::Tew).values);
  r.scatter = ScatterMethod::Dew;
  r.dewK = 0.7;
  const auto dew = recipeScatter(study, r);
  EXPECT_NE(dew, first);
  EXPECT_EQ(dew->values, estimateScatter(study, ScatterMethod::Dew, -1, -1, 0.7).values);
  r.scatterSmoothFwhm = 2;
  EXPECT_EQ(recipeScatter(study, r)->values, estimateScatter(study, ScatterMethod::Dew, -1, -1, 0.7, 2).values);
  // A refusal is kept too, and said again.
  r.scatterLower = 0;  // the photopeak itself
  EXPECT_FALSE(recipeScatter(study, r)->ok());
  EXPECT_FALSE(checkRecipe(study, r).empty());
  // FBP subtracts the latest estimate: TEW then DEW then TEW again give TEW's slice each time.
  Recipe fbp;
  fbp.scatter = ScatterMethod::Tew;
  const std::vector<double> tew = runRecipe(study, fbp, 32).values;
  fbp.scatter = ScatterMethod::Dew;
  const std::vector<double> other = runRecipe(study, fbp, 32).values;
  fbp.scatter = ScatterMethod::Tew;
  EXPECT_EQ(runRecipe(study, fbp, 32).values, tew);
  EXPECT_NE(other, tew);
}

}  // namespace

namespace {

// Peak resident memory of a child that makes the FBP volume and then the OSEM volume with
// resolution recovery (as the window's 全スライス does), less the child's own before it started:
// within what the recipe states, and not far below it (a statement far too high would refuse
// volumes that fit).
TEST(ResolutionRecovery, PeakMemoryOfTheVolumeStaysWithinWhatIsStated) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's own memory would be counted";
#endif
  StudyGeometry g;
  g.views = 120;
  g.rows = 128;
  g.bins = 128;
  g.pixelSizeMm = 3;
  std::vector<std::uint16_t> counts(std::size_t(120) * 128 * 128);
  for (std::size_t n = 0; n < counts.size(); ++n) counts[n] = std::uint16_t((n * 2654435761u) % 40);
  const auto study = std::make_shared<const ProjectionStudy>(g, std::move(counts));
  Recipe fbp;
  Recipe osem;
  osem.method = RecipeMethod::Osem;
  osem.subsets = 10;
  osem.iterations = 1;
  osem.resolutionRecovery = true;
  osem.radiusMm = 250;
  ASSERT_EQ(checkRecipe(*study, osem), "");
  const std::uint64_t stated = recipeVolumeMemoryBytes(*study, osem);
  const std::uint64_t plain = volumeMemoryBytes(*study);
  ASSERT_GT(stated, plain + (std::uint64_t(100) << 20)) << "ten sensitivities of 8 MB and more";
  const sinora::testing::PeakGrowth grown = sinora::testing::peakGrowth([&] {
    const RecipeVolume f = runRecipeVolume(*study, fbp, 2, nullptr);
    const RecipeVolume o = runRecipeVolume(*study, osem, 2, nullptr);
    return long(f.slices.size() + o.slices.size());
  });
  ASSERT_TRUE(grown.ok);
  EXPECT_EQ(grown.result, 256);
  const double grownMb = grown.kilobytes / 1024.0, statedMb = double(stated) / (1 << 20);
  RecordProperty("peak_growth_kb", int(grown.kilobytes));
  EXPECT_LE(grownMb, statedMb + 4) << "stated " << statedMb << " MB";
  EXPECT_GE(grownMb, statedMb / 3) << "stated " << statedMb << " MB";
}

}  // namespace
