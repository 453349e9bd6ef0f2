// Scatter and the collimator: Compton kinematics and Klein-Nishina, the window estimates exactly
// as written, the phantom lab's scatter against published scatter fractions, TEW against the
// simulated truth, and the collimator's FWHM measured on a simulated point source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numeric>

#include "imaging/collimator.h"
#include "imaging/iterative.h"
#include "imaging/phantom.h"
#include "imaging/resolution.h"
#include "imaging/scatter.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

constexpr double kTruePi = 3.14159265358979323846;

TEST(Compton, TwentyPercentWindowAcceptsSingleScatterUpTo53Degrees) {
  const double e = 140.5, lower = e * 0.9;
  const double degrees = comptonAngle(e, lower) * 180 / kTruePi;
  EXPECT_NEAR(degrees, 53.4, 0.2);
  EXPECT_NEAR(comptonEnergy(e, comptonAngle(e, lower)), lower, 1e-9);
  // Back-scatter of 140.5 keV: E / (1 + 2 E / 511) = 90.7 keV.
  EXPECT_NEAR(comptonEnergy(e, kTruePi), 90.7, 0.1);
  EXPECT_EQ(comptonAngle(e, e), 0.0);
  EXPECT_NEAR(comptonAngle(e, 50), kTruePi, 1e-12);  // below back-scatter: no angle leaves it
}

TEST(KleinNishina, ForwardIsThomsonAndTheIntegralIsTheClosedForm) {
  const double re2 = kElectronRadiusCm * kElectronRadiusCm;
  EXPECT_NEAR(kleinNishina(140.5, 0) / re2, 1.0, 1e-12);
  // Low energy: Thomson, (r_e^2 / 2)(1 + cos^2) at 90 degrees is r_e^2 / 2.
  EXPECT_NEAR(kleinNishina(0.001, kTruePi / 2) / re2, 0.5, 1e-5);
  for (double e : {30.0, 140.5, 208.4, 511.0}) {
    const int n = 20000;
    double sum = 0;
    for (int i = 0; i < n; ++i) {
      const double c = -1 + (i + 0.5) * 2.0 / n;
      sum += kleinNishina(e, std::acos(c)) * 2 * kTruePi * 2.0 / n;
    }
    EXPECT_NEAR(sum / kleinNishinaTotal(e), 1.0, 1e-6) << e;
  }
  // Compton attenuation of water at 140.5 keV: n_e sigma = 0.151 / cm, below water's total
  // 0.154 / cm (photoelectric and coherent add the rest).
  EXPECT_NEAR(kWaterElectronsPerCm3 * kleinNishinaTotal(140.5), 0.151, 0.002);
  EXPECT_NEAR(waterMu(140.5), 0.154, 0.002);
  EXPECT_NEAR(waterMu(100), 0.1707, 1e-9);
  EXPECT_NEAR(waterMu(208.4), 0.135, 0.002);
}

TEST(EnergyWindows, AcceptanceAddsUpAndResolutionScalesAsOneOverRootE) {
  EXPECT_NEAR(energyFwhmKeV(140, 9.5), 13.3, 1e-9);
  EXPECT_NEAR(energyFwhmKeV(560, 9.5), 26.6, 1e-9);  // twice the energy: 1/sqrt(2) of the per cent
  const double a = windowAcceptance(140.5, 110, 126.45, 9.5), b = windowAcceptance(140.5, 126.45, 154.55, 9.5);
  EXPECT_NEAR(a + b, windowAcceptance(140.5, 110, 154.55, 9.5), 1e-12);
  EXPECT_GT(b, 0.98);
  EXPECT_LT(a, 0.01);
  EXPECT_EQ(windowAcceptance(140.5, 126.45, 154.55, 0), 1.0);
  EXPECT_EQ(windowAcceptance(160, 126.45, 154.55, 0), 0.0);
}

// A trapezoid of scatter under the peak: heights h_l at the peak's lower edge and h_u at its
// upper edge, the side windows measuring those heights (counts = height x width). The widths
// differ, so using W_lower for the upper window gives another number.
TEST(WindowEstimates, TewAndDewAreExactlyTheFormulas) {
  struct Case {
    double hl, hu, wl, wu, wp;
  };
  const Case cases[] = {{40, 10, 3, 6, 28.1}, {12, 0, 5, 10, 28.1}, {100, 50, 4.16, 8.32, 41.6}, {0, 30, 7, 3.5, 20}};
  for (const Case& c : cases) {
    const std::uint16_t lower[2] = {std::uint16_t(std::lround(c.hl * c.wl)), 0};
    const std::uint16_t upper[2] = {std::uint16_t(std::lround(c.hu * c.wu)), 7};
    double tew[2], dew[2], noUpper[2];
    tewEstimate(lower, upper, 2, c.wl, c.wu, c.wp, tew);
    const double cl = lower[0], cu = upper[0];
    EXPECT_EQ(tew[0], (cl / c.wl + cu / c.wu) * c.wp / 2);
    EXPECT_NEAR(tew[0], (c.hl + c.hu) * c.wp / 2, 0.5 * c.wp / std::min(c.wl, c.wu));
    if (cu > 0) EXPECT_GT(std::fabs(tew[0] - (cl / c.wl + cu / c.wl) * c.wp / 2), 1e-6);
    EXPECT_EQ(tew[1], (0 / c.wl + 7 / c.wu) * c.wp / 2);
    tewEstimate(lower, nullptr, 2, c.wl, c.wu, c.wp, noUpper);
    EXPECT_EQ(noUpper[0], cl / c.wl * c.wp / 2);
    EXPECT_EQ(noUpper[1], 0.0);
    dewEstimate(lower, 2, c.wl, c.wp, 0.5, dew);
    EXPECT_EQ(dew[0], 0.5 * cl * c.wp / c.wl);
  }
  // Smoothing keeps the estimate non-negative and its total about the same.
  std::vector<double> s(2 * 8 * 8, 0.0);
  s[3 * 8 + 3] = 100;
  s[64 + 0] = 50;
  smoothProjections(s, 2, 8, 8, 2.5);
  for (double v : s) EXPECT_GE(v, 0.0);
  EXPECT_NEAR(std::accumulate(s.begin(), s.begin() + 64, 0.0), 100, 5);
  EXPECT_LT(s[3 * 8 + 3], 100);
}

TEST(EnergyWindows, SideWindowsAreFoundFromTheEnergies) {
  // The GE Lu-177 acquisition's six windows.
  const std::vector<EnergyWindow> w = {{"EM1", 101.7, 124.3}, {"EM2", 187.2, 228.8}, {"SC1", 84.75, 101.7},
                                       {"SC2", 166.4, 187.2}, {"SC3", 228.8, 249.6}, {"SC4", 124.3, 141.25}};
  const SideWindows a = findSideWindows(w, 1);
  EXPECT_EQ(a.lower, 3);
  EXPECT_EQ(a.upper, 4);
  const SideWindows b = findSideWindows(w, 0);
  EXPECT_EQ(b.lower, 2);
  EXPECT_EQ(b.upper, 5);
  const SideWindows none = findSideWindows({{"", 126, 154}}, 0);
  EXPECT_EQ(none.lower, -1);
  EXPECT_EQ(none.upper, -1);
  EXPECT_EQ(windowLabel({"Lu177_EM", 187.2, 228.8}), "Lu177_EM 187.2-228.8 keV");
  EXPECT_EQ(windowLabel({"", 126.45, 154.55}), "126.5-154.6 keV");
}

TEST(Collimator, PresetsFollowThePublishedLehrNumbersAndParse) {
  Collimator lehr;
  ASSERT_TRUE(collimatorPreset("lehr", lehr));
  EXPECT_NEAR(lehr.fwhmMm(0), 3.8, 0.05);
  EXPECT_NEAR(lehr.fwhmMm(100), 6.9, 0.05);
  EXPECT_NEAR(lehr.fwhmMm(200), 11.0, 0.1);
  Collimator legp, megp;
  ASSERT_TRUE(collimatorPreset("legp", legp));
  ASSERT_TRUE(collimatorPreset("megp", megp));
  for (double d : {0.0, 100.0, 200.0}) {
    EXPECT_LT(lehr.fwhmMm(d), legp.fwhmMm(d)) << d;
    EXPECT_LT(legp.fwhmMm(d), megp.fwhmMm(d)) << d;
  }
  Collimator c;
  std::string error;
  ASSERT_TRUE(parseCollimator("3.2,1.5,0.04", c, error)) << error;
  EXPECT_DOUBLE_EQ(c.fwhmMm(100), std::hypot(3.2, 5.5));
  for (const char* bad : {"", "lehr2", "1,2", "1,2,3,4", "a,1,1", "1,2,nan", "60,1,0.1", "1,1,-0.1", "1,,1"}) {
    Collimator keep = lehr;
    EXPECT_FALSE(parseCollimator(bad, keep, error)) << bad;
    EXPECT_EQ(keep.fwhmMm(100), lehr.fwhmMm(100)) << bad;
  }
  // Today's setting: FWHM 8 mm at the centre of a 200 mm orbit, growing with the distance.
  const Collimator old = collimatorFromCentreFwhm(8, 200, true);
  EXPECT_DOUBLE_EQ(old.fwhmMm(200), 8);
  EXPECT_DOUBLE_EQ(old.fwhmMm(0), 0);
  EXPECT_DOUBLE_EQ(collimatorFromCentreFwhm(8, 200, false).fwhmMm(37), 8);
}

// The FWHM (mm) of a profile, by linear interpolation at half its maximum.
double profileFwhm(const std::vector<double>& v, double pixel) {
  const std::size_t m = std::size_t(std::max_element(v.begin(), v.end()) - v.begin());
  const double half = v[m] / 2;
  std::size_t l = m, r = m;
  while (l > 0 && v[l - 1] >= half) --l;
  while (r + 1 < v.size() && v[r + 1] >= half) ++r;
  if (l == 0 || r + 1 == v.size()) return NAN;
  const double left = (l - 1) + (half - v[l - 1]) / (v[l] - v[l - 1]);
  const double right = r + (v[r] - half) / (v[r] - v[r + 1]);
  return (right - left) * pixel;
}

TEST(Collimator, PointSourceInTheLabHasThePresetsFwhmAtEachDistance) {
  Collimator lehr;
  ASSERT_TRUE(collimatorPreset("lehr", lehr));
  struct Case {
    double radius, distance, tolerance;
  };
  // View 0 looks along -y: a point at y = d - R lies d from the face.
  for (const Case& c : {Case{205, 5, 0.2}, Case{300, 100, 0.3}, Case{300, 200, 0.5}}) {
    PhantomSettings s;
    s.kind = PhantomKind::PointSource;
    s.views = 4;
    s.matrix = 256;
    s.pixelMm = 1.6;
    s.noiseFree = true;
    s.counts = 1e6;
    s.radiusMm = c.radius;
    s.realCollimator = true;
    s.collimator = lehr;
    s.pointMm[1] = c.distance - c.radius;
    PhantomResult r = makePhantomStudy(s, 2);
    ASSERT_TRUE(r.study) << r.error;
    std::vector<double> across(256), down(256);
    for (int n = 0; n < 256; ++n) {
      across[std::size_t(n)] = r.study->count(0, 128, n);
      down[std::size_t(n)] = r.study->count(0, n, 128);
    }
    const double want = lehr.fwhmMm(c.distance);
    EXPECT_NEAR(profileFwhm(across, 1.6), want, c.tolerance) << c.distance;
    EXPECT_NEAR(profileFwhm(down, 1.6), want, c.tolerance) << c.distance;
    if (c.distance < 10) EXPECT_GT(profileFwhm(across, 1.6), 3.5);  // never 0 at the face
  }
}

PhantomSettings waterCylinder() {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;  // 200 mm across, 180 mm long
  s.views = 60;
  s.matrix = 64;
  s.pixelMm = 4;
  s.noiseFree = true;
  s.counts = 2e7;
  s.muPerCm = waterMu(140.5);
  s.scatter = true;
  s.realCollimator = true;
  collimatorPreset("lehr", s.collimator);
  s.radiusMm = 200;
  return s;
}

double sumOf(const std::vector<float>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }

// Tc-99m in a 20 % window from a 20 cm water cylinder: scatter of about a quarter to two fifths
// of the primaries (docs/physics.md); single scatter is most of it.
TEST(PhantomScatter, WaterCylinderHasAPublishedScatterFractionAndTewFindsIt) {
  PhantomResult r = makePhantomStudy(waterCylinder(), 2);
  ASSERT_TRUE(r.study) << r.error;
  const PhantomInfo& info = *phantomInfo(*r.study);
  ASSERT_EQ(info.windows.size(), 3u);
  ASSERT_EQ(info.scattered.size(), 3u);
  const double primary = sumOf(info.primary[0]), scatter = sumOf(info.scattered[0]);
  // The scatter fraction as scattered over unscattered counts in the window.
  const double fraction = scatter / primary;
  std::printf("scatter / primary %.4f, scatter / total %.3f; lower window scatter / primary %.2f\n",
              fraction, scatter / (primary + scatter), sumOf(info.scattered[1]) / sumOf(info.primary[1]));
  EXPECT_GE(fraction, 0.25);
  EXPECT_LE(fraction, 0.45);
  // The lower window is mostly scatter, the upper almost empty of it.
  EXPECT_GT(sumOf(info.scattered[1]), 5 * sumOf(info.primary[1]));
  EXPECT_LT(sumOf(info.scattered[2]), 0.02 * scatter);
  // TEW from the study's own windows.
  const auto& set = *r.study->geometry().energyWindows;
  ASSERT_EQ(set.counts.size(), 3u);
  std::vector<double> tew(set.counts[0].size());
  tewEstimate(set.counts[1].data(), set.counts[2].data(), tew.size(), set.windows[1].width(),
              set.windows[2].width(), set.windows[0].width(), tew.data());
  const double estimate = std::accumulate(tew.begin(), tew.end(), 0.0);
  std::printf("TEW / true scatter %.3f\n", estimate / scatter);
  EXPECT_NEAR(estimate / scatter, 1.0, 0.25);
  // The photopeak's counts are its primaries plus its scatter, rounded.
  double diff = 0;
  for (std::size_t n = 0; n < set.counts[0].size(); ++n)
    diff = std::max(diff, std::fabs(set.counts[0][n] - double(info.primary[0][n]) - info.scattered[0][n]));
  EXPECT_LE(diff, 0.5 + 1e-3);
  // Scatter needs matter: with mu 0 there is none.
  PhantomSettings air = waterCylinder();
  air.muPerCm = 0;
  PhantomResult none = makePhantomStudy(air, 2);
  ASSERT_TRUE(none.study);
  EXPECT_EQ(sumOf(phantomInfo(*none.study)->scattered[0]), 0.0);
}

TEST(PhantomScatter, WithoutScatterThePhotopeakIsTodaysAcquisition) {
  PhantomSettings s;
  s.kind = PhantomKind::Jaszczak;
  s.views = 32;
  s.matrix = 64;
  s.pixelMm = 4;
  s.fwhmMm = 8;
  s.muPerCm = 0.15;
  PhantomResult a = makePhantomStudy(s, 2);
  ASSERT_TRUE(a.study);
  const auto& set = *a.study->geometry().energyWindows;
  ASSERT_EQ(set.windows.size(), 3u);
  EXPECT_EQ(set.counts[0], a.study->counts());
  EXPECT_EQ(windowLabel(set.windows[0]), "Tc99m_EM 126.5-154.6 keV");
  EXPECT_NEAR(set.windows[1].upperKeV, set.windows[0].lowerKeV, 1e-12);
  // The side windows hold only the primaries' tails: a small share of the peak.
  const double peak = double(a.study->totalCounts());
  double lower = 0;
  for (std::uint16_t v : set.counts[1]) lower += v;
  EXPECT_GT(lower, 0.0);
  EXPECT_LT(lower, 0.02 * peak);
  // The old blur setting and the collimator it maps onto give the same study.
  PhantomSettings c = s;
  c.realCollimator = false;
  EXPECT_EQ(c.effectiveCollimator().fwhmMm(s.radiusMm), 8);
  StudyPtr other = withEnergyWindow(*a.study, 1);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->counts(), set.counts[1]);
  EXPECT_EQ(currentEnergyWindow(*other)->name, "Tc99m_SCL");
  EXPECT_FALSE(withEnergyWindow(*a.study, 3));
}

}  // namespace
