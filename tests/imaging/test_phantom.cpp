#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "imaging/attenuation.h"
#include "imaging/iterative.h"
#include "imaging/phantom.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

constexpr double kPi = 3.14159265358979323846;

PhantomSettings small(PhantomKind kind) {
  PhantomSettings s;
  s.kind = kind;
  s.matrix = 64;
  s.pixelMm = 4.0;
  s.views = 64;
  s.noiseFree = true;
  s.counts = 1e6;
  return s;
}

StudyPtr make(const PhantomSettings& s) {
  PhantomResult r = makePhantomStudy(s, 2);
  EXPECT_TRUE(r.study) << r.error;
  return r.study;
}

std::vector<double> fbpRow(const ProjectionStudy& study, int row) {
  return fbpVolume(study, ReconFilter::Ramp, 2, nullptr)[std::size_t(row)];
}

// Where the slice is largest, and that largest value.
struct Peak {
  int i = 0, j = 0;
  double value = -1e300;
};
Peak peakOf(const std::vector<double>& f, int b) {
  Peak p;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      if (f[std::size_t(i) * b + j] > p.value) p = {i, j, f[std::size_t(i) * b + j]};
  return p;
}

// Pixels above half the peak: a width measure that grows as the point spreads.
int halfMaxArea(const std::vector<double>& f, int b) {
  const double half = peakOf(f, b).value / 2;
  return int(std::count_if(f.begin(), f.end(), [&](double v) { return v >= half; }));
}

// Mean of the slice over a ring of radii [r0, r1) pixels about the centre.
double ringMean(const std::vector<double>& f, int b, double r0, double r1) {
  double sum = 0;
  int n = 0;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j) {
      const double r = std::hypot(i - b / 2, j - b / 2);
      if (r >= r0 && r < r1) {
        sum += f[std::size_t(i) * b + j];
        ++n;
      }
    }
  return sum / n;
}

// Chords through a part by marching along the ray in tiny steps: an answer independent of the
// quadratic the program solves.
double marchedChord(const PhantomPart& p, double u, double z, double theta) {
  const double cs = std::cos(theta), sn = std::sin(theta);
  const int steps = 400000;
  const double reach = 400, dt = 2 * reach / steps;
  int inside = 0;
  for (int n = 0; n < steps; ++n) {
    const double t = -reach + (n + 0.5) * dt;
    inside += insidePart(p, u * cs + t * sn, u * sn - t * cs, z);
  }
  return inside * dt;
}

}  // namespace

TEST(PhantomChords, MatchClosedFormsIncludingGrazingRays) {
  PhantomPart sphere;
  sphere.shape = PhantomPart::Ellipsoid;
  sphere.cx = 12;
  sphere.cy = -7;
  sphere.cz = 3;
  sphere.ax = sphere.ay = sphere.az = 20;
  sphere.activity = 1;
  PhantomPart cylinder = sphere;
  cylinder.shape = PhantomPart::Cylinder;
  cylinder.az = 15;
  for (double theta : {0.0, 0.3, 1.2, 2.9, 4.4}) {
    const double cs = std::cos(theta), sn = std::sin(theta);
    const double uc = sphere.cx * cs + sphere.cy * sn;
    for (double d : {0.0, 5.0, 19.0, 20 * (1 - 1e-9), 20 * (1 + 1e-9), 30.0}) {
      for (double dz : {0.0, 10.0, 14.999}) {
        // Sphere: 2 sqrt(r^2 - d^2 - dz^2); cylinder: 2 sqrt(r^2 - d^2) within its height.
        const double r2 = 400 - d * d;
        const double sphereChord = r2 - dz * dz > 0 ? 2 * std::sqrt(r2 - dz * dz) : 0;
        const double cylinderChord = r2 > 0 ? 2 * std::sqrt(r2) : 0;
        EXPECT_NEAR(lineIntegral(sphere, uc + d, sphere.cz + dz, cs, sn), sphereChord, 1e-9)
            << theta << " " << d << " " << dz;
        EXPECT_NEAR(lineIntegral(cylinder, uc - d, cylinder.cz - dz, cs, sn), cylinderChord, 1e-9);
      }
      EXPECT_EQ(lineIntegral(cylinder, uc + d, cylinder.cz + 15.001, cs, sn), 0);
    }
  }
}

TEST(PhantomChords, TurnedEllipsoidFollowsTheEllipseProjectionAndAMarch) {
  PhantomPart e;
  e.shape = PhantomPart::Ellipsoid;
  e.cx = -10;
  e.cy = 25;
  e.cz = -4;
  e.ax = 40;
  e.ay = 18;
  e.az = 30;
  e.phi = 0.6;
  e.activity = 2.5;
  for (double theta : {0.1, 0.9, 2.2, 3.7, 5.5}) {
    const double cs = std::cos(theta), sn = std::sin(theta);
    const double uc = e.cx * cs + e.cy * sn;
    // The ellipse's support along u: rho^2 = a^2 cos^2(theta - phi) + b^2 sin^2(theta - phi).
    const double rho2 = e.ax * e.ax * std::pow(std::cos(theta - e.phi), 2) +
                        e.ay * e.ay * std::pow(std::sin(theta - e.phi), 2);
    for (double z : {e.cz, e.cz + 12, e.cz - 29.5}) {
      const double f2 = 1 - std::pow((z - e.cz) / e.az, 2);
      for (double du : {0.0, 7.0, -15.0, std::sqrt(f2 * rho2) * (1 - 1e-10), std::sqrt(f2 * rho2) + 1e-6}) {
        const double inside = f2 * rho2 - du * du;
        const double expected = inside > 0 ? e.activity * 2 * e.ax * e.ay / rho2 * std::sqrt(inside) : 0;
        EXPECT_NEAR(lineIntegral(e, uc + du, z, cs, sn), expected, 1e-6) << theta << " " << z << " " << du;
      }
      EXPECT_NEAR(lineIntegral(e, uc + 5, z, cs, sn) / e.activity, marchedChord(e, uc + 5, z, theta), 0.01);
    }
  }
}

TEST(PhantomAcquisition, APointLandsWhereTheReconstructionShowsIt) {
  // Orientation: x across (i), y down (j), z down the rows, for any start and direction.
  struct Case {
    double x, y, z, start;
    bool clockwise;
    int arc;
  } cases[] = {{40, 20, 8, 0, true, 360}, {-60, 32, -20, 37, false, 360}, {16, -48, 0, -90, true, 180}};
  for (const Case& c : cases) {
    PhantomSettings s = small(PhantomKind::PointSource);
    s.pointMm[0] = c.x;
    s.pointMm[1] = c.y;
    s.pointMm[2] = c.z;
    s.startDegrees = c.start;
    s.clockwise = c.clockwise;
    s.arcDegrees = c.arc;
    StudyPtr study = make(s);
    const int row = 32 + int(c.z / 4);
    const Peak p = peakOf(fbpRow(*study, row), 64);
    EXPECT_EQ(p.i, 32 + int(c.x / 4)) << c.x;
    EXPECT_EQ(p.j, 32 + int(c.y / 4)) << c.y;
    const PhantomInfo* info = phantomInfo(*study);
    ASSERT_TRUE(info);
    EXPECT_GT(info->truth[std::size_t(row)][std::size_t(p.i) * 64 + p.j], 0);
  }
}

TEST(PhantomAcquisition, CountsAreWhatWasAskedWithinPoissonErrorAndTheSeedRepeats) {
  PhantomSettings s = small(PhantomKind::Jaszczak);
  s.noiseFree = false;
  for (double n : {1e4, 1e6}) {
    s.counts = n;
    StudyPtr a = make(s), b = make(s);
    EXPECT_LT(std::fabs(double(a->totalCounts()) - n), 4 * std::sqrt(n)) << n;
    EXPECT_EQ(a->counts(), b->counts());
    s.seed = 2;
    EXPECT_NE(make(s)->counts(), a->counts());
    s.seed = 1;
  }
  // Noise-free: the rounded expectations, so the total is off by at most half a count a bin.
  s.noiseFree = true;
  s.counts = 1e6;
  StudyPtr exact = make(s);
  EXPECT_LT(std::fabs(double(exact->totalCounts()) - 1e6), 0.5 * double(exact->counts().size()));
  EXPECT_EQ(exact->views(), 64);
  EXPECT_EQ(exact->bins(), 64);
  EXPECT_EQ(exact->geometry().pixelSizeMm, 4.0);
}

TEST(PhantomAcquisition, EveryViewSeesTheSameActivityUnlessAttenuated) {
  PhantomSettings s = small(PhantomKind::Contrast);
  s.fwhmMm = 10;  // blur moves counts but keeps them (the object is clear of the edges)
  StudyPtr plain = make(s);
  s.muPerCm = 0.15;
  StudyPtr attenuated = make(s);
  auto viewSum = [](const ProjectionStudy& st, int k) {
    const std::uint16_t* p = st.projection(k);
    return std::accumulate(p, p + st.rows() * st.bins(), 0.0);
  };
  const double first = viewSum(*plain, 0);
  for (int k = 1; k < 64; ++k) EXPECT_NEAR(viewSum(*plain, k) / first, 1, 0.01) << k;
  // Attenuation takes a large share away (in absolute terms the scale is the requested total).
  const double centre = attenuated->count(0, 32, 32), edge = attenuated->count(0, 32, 32 + 20);
  EXPECT_LT(centre / edge, plain->count(0, 32, 32) / double(plain->count(0, 32, 32 + 20)) * 0.8);
}

TEST(PhantomAcquisition, TruthHoldsEachPartsActivity) {
  PhantomSettings s = small(PhantomKind::Cylinder);
  const PhantomObject o = phantomObject(s.kind);
  const std::vector<float> t = truthSlice(o, s, 32);
  // The cylinder of 100 mm radius is 25 pixels: pi 25^2 pixels at 1.
  const double sum = std::accumulate(t.begin(), t.end(), 0.0);
  EXPECT_NEAR(sum, kPi * 25 * 25, 0.01 * kPi * 625);
  EXPECT_FLOAT_EQ(t[32 * 64 + 32], 1.0f);
  EXPECT_FLOAT_EQ(t[2 * 64 + 2], 0.0f);
  // A point of activity 1 is 1 / pixel^3 in its voxel.
  PhantomSettings p = small(PhantomKind::PointSource);
  p.pointMm[0] = 9;  // 2.25 pixels: voxel 34
  const PhantomObject point = phantomObject(p.kind);
  PhantomObject moved = point;
  moved.parts[0].cx = 9;
  const std::vector<float> tp = truthSlice(moved, p, 32);
  EXPECT_FLOAT_EQ(tp[34 * 64 + 32], float(1 / 64.0));
  EXPECT_FLOAT_EQ(std::accumulate(tp.begin(), tp.end(), 0.0f), float(1 / 64.0));
}

TEST(PhantomSettingsCheck, RefusesEachBadSettingByName) {
  struct Case {
    const char* field;
    void (*spoil)(PhantomSettings&);
  } cases[] = {
      {"views", [](PhantomSettings& s) { s.views = 0; }},
      {"views", [](PhantomSettings& s) { s.views = 361; }},
      {"arc", [](PhantomSettings& s) { s.arcDegrees = 270; }},
      {"matrix", [](PhantomSettings& s) { s.matrix = 100; }},
      {"pixel", [](PhantomSettings& s) { s.pixelMm = 0; }},
      {"pixel", [](PhantomSettings& s) { s.pixelMm = std::nan(""); }},
      {"counts", [](PhantomSettings& s) { s.counts = 0; }},
      {"counts", [](PhantomSettings& s) { s.counts = 1e12; }},
      {"counts", [](PhantomSettings& s) { s.counts = std::nan(""); }},
      {"mu", [](PhantomSettings& s) { s.muPerCm = -0.1; }},
      {"fwhm", [](PhantomSettings& s) { s.fwhmMm = std::nan(""); }},
      {"radius", [](PhantomSettings& s) { s.radiusMm = 100; }},  // inside the 128 x 2 mm field
      {"cor", [](PhantomSettings& s) { s.corPixels = INFINITY; }},
      {"start", [](PhantomSettings& s) { s.startDegrees = std::nan(""); }},
      {"point", [](PhantomSettings& s) { s.kind = PhantomKind::PointSource; s.pointMm[0] = 127; }},
      {"point", [](PhantomSettings& s) { s.kind = PhantomKind::PointSource; s.pointMm[2] = std::nan(""); }},
  };
  EXPECT_TRUE(checkPhantom(PhantomSettings{}).empty());
  for (const Case& c : cases) {
    PhantomSettings s;
    c.spoil(s);
    const auto problems = checkPhantom(s);
    ASSERT_EQ(problems.size(), 1u) << c.field;
    EXPECT_EQ(problems[0].field, c.field);
    EXPECT_FALSE(problems[0].message.empty());
    const PhantomResult r = makePhantomStudy(s, 1);
    EXPECT_FALSE(r.study);
    EXPECT_EQ(r.error, problems[0].message);
  }
}

TEST(PhantomAcquisition, RefusesCountsThatWouldOverflowABin) {
  PhantomSettings s = small(PhantomKind::PointSource);
  s.views = 4;
  s.counts = 1e6;  // a point's 250,000 counts a view in one bin
  const PhantomResult r = makePhantomStudy(s, 1);
  EXPECT_FALSE(r.study);
  EXPECT_NE(r.error.find("65535"), std::string::npos);
}

TEST(PhantomLessons, ACentreOfRotationErrorSpreadsAPoint) {
  PhantomSettings s = small(PhantomKind::PointSource);
  s.counts = 2e6;
  s.pointMm[0] = 20;
  const std::vector<double> good = fbpRow(*make(s), 32);
  s.corPixels = 2;
  const std::vector<double> shifted = fbpRow(*make(s), 32);
  EXPECT_LT(peakOf(shifted, 64).value, 0.5 * peakOf(good, 64).value);
  EXPECT_GT(halfMaxArea(shifted, 64), 3 * halfMaxArea(good, 64));
}

TEST(PhantomLessons, HalfOrbitsWithDepthBlurFavourPointsNearTheDetector) {
  // Views from -90 to 90 degrees face the anterior (-y). A point as far in front as behind:
  // over 360 degrees both come out alike; over the front half the one in front is sharper.
  auto peak = [](double y, int arc) {
    PhantomSettings s = small(PhantomKind::PointSource);
    s.counts = 2e6;
    s.arcDegrees = arc;
    s.startDegrees = -90;
    s.fwhmMm = 12;
    s.radiusMm = 200;
    s.pointMm[1] = y;
    const std::vector<double> f = fbpRow(*make(s), 32);
    return peakOf(f, 64).value;
  };
  const double front360 = peak(-80, 360), back360 = peak(80, 360);
  const double front180 = peak(-80, 180), back180 = peak(80, 180);
  EXPECT_NEAR(front360 / back360, 1, 0.03);
  EXPECT_GT(front180 / back180, 1.5);
}

TEST(PhantomLessons, FewerViewsStreakTheBackground) {
  // Noise-free discs: what lies outside them in the slice is streaks, growing as views fall.
  std::vector<double> spread;
  for (int views : {128, 32, 8}) {
    PhantomSettings s = small(PhantomKind::Contrast);
    s.views = views;
    const std::vector<double> f = fbpRow(*make(s), 32);
    // Air between the cylinder (25 pixels) and the field's edge.
    double sum = 0, sum2 = 0;
    int n = 0;
    for (int i = 0; i < 64; ++i)
      for (int j = 0; j < 64; ++j) {
        const double r = std::hypot(i - 32, j - 32);
        if (r < 27.5 || r > 31) continue;
        sum += f[std::size_t(i) * 64 + j] / views;
        sum2 += std::pow(f[std::size_t(i) * 64 + j] / views, 2);
        ++n;
      }
    spread.push_back(sum2 / n - std::pow(sum / n, 2));
  }
  EXPECT_GT(spread[1], 2 * spread[0]);
  EXPECT_GT(spread[2], 2 * spread[1]);
}

TEST(Attenuation, ProjectorAndItsTransposeAgree) {
  PhantomSettings s = small(PhantomKind::Cylinder);
  s.views = 30;
  StudyPtr study = make(s);
  Outline o;
  o.present = true;
  o.cx = 3;
  o.cy = -2;
  o.a = 22;
  o.b = 15;
  o.phi = 0.4;
  const ViewWeights w = attenuationWeights(*study, o, 0.06);
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> d(0, 1);
  std::vector<double> f(64 * 64), y(30 * 64);
  for (double& v : f) v = d(gen);
  for (double& v : y) v = d(gen);
  std::vector<double> af, aty;
  forwardProject(*study, f, {}, af, &w);
  backProject(*study, y, {}, aty, &w);
  const double left = std::inner_product(af.begin(), af.end(), y.begin(), 0.0);
  const double right = std::inner_product(f.begin(), f.end(), aty.begin(), 0.0);
  EXPECT_NEAR(left / right, 1, 1e-12);
  // And the weights take photons away: the plain projector gives more.
  std::vector<double> plain;
  forwardProject(*study, f, {}, plain);
  EXPECT_GT(std::inner_product(plain.begin(), plain.end(), y.begin(), 0.0), left * 1.1);
}

TEST(Attenuation, PathLengthsOfACircleAreItsChords) {
  Outline o;
  o.present = true;
  o.a = o.b = 20;
  // From the centre the path is the radius whatever the view; from the edge facing the
  // detector it is 0, from the far edge the diameter.
  for (double theta : {0.0, 0.7, 2.0, 4.0}) {
    EXPECT_NEAR(pathToDetector(o, 0, 0, theta), 20, 1e-9);
    const double ex = std::sin(theta), ey = -std::cos(theta);
    EXPECT_NEAR(pathToDetector(o, 19.999 * ex, 19.999 * ey, theta), 0.001, 1e-6);
    EXPECT_NEAR(pathToDetector(o, -19.999 * ex, -19.999 * ey, theta), 39.999, 1e-6);
    EXPECT_EQ(pathToDetector(o, 30 * ex, 30 * ey, theta), 0);
  }
}

TEST(Attenuation, ThresholdOutlineRecoversAnEllipse) {
  const int b = 128;
  Outline truth;
  truth.present = true;
  truth.cx = 6;
  truth.cy = -9;
  truth.a = 40;
  truth.b = 25;
  truth.phi = 0.5;
  std::vector<double> slice(std::size_t(b) * b, 0.0);
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      if (truth.contains(i - 64, j - 64)) slice[std::size_t(i) * b + j] = 50 + (i + j) % 7;
  const Outline o = thresholdOutline(slice, b, 0.3);
  ASSERT_TRUE(o.present);
  EXPECT_NEAR(o.cx, 6, 0.2);
  EXPECT_NEAR(o.cy, -9, 0.2);
  EXPECT_NEAR(o.a, 40, 0.8);
  EXPECT_NEAR(o.b, 25, 0.5);
  EXPECT_NEAR(o.phi, 0.5, 0.02);
  EXPECT_FALSE(thresholdOutline(std::vector<double>(std::size_t(b) * b, 0.0), b, 0.3).present);
}

TEST(Attenuation, AUniformCylinderComesOutFlatWithEitherCorrectionAndCuppedWithout) {
  PhantomSettings s = small(PhantomKind::Cylinder);  // 25 pixels of 4 mm
  s.muPerCm = 0.15;
  s.counts = 1e8;  // about 700 counts a bin: rounding does not show
  StudyPtr study = make(s);
  const int row = 32;
  const double mu = muPerPixel(0.15, 4.0);
  const Outline outline = phantomOutline(*study, row);
  ASSERT_TRUE(outline.present);
  EXPECT_NEAR(outline.a, 25, 1e-9);
  // The ratio of the centre's mean to the mean of a ring near the edge.
  auto flatness = [](const std::vector<double>& f) { return ringMean(f, 64, 0, 8) / ringMean(f, 64, 14, 20); };
  std::vector<double> fbp = fbpRow(*study, row);
  for (double& v : fbp) v *= kPi / 64;  // counts per pixel
  EXPECT_LT(flatness(fbp), 0.8);
  // First order overcorrects the centre of so large an object (mu R = 1.5) by about a tenth;
  // one step of the iterated correction makes it flat.
  const std::vector<double> first = changCorrected(*study, row, fbp, ReconFilter::Ramp, outline, mu, 0);
  EXPECT_GT(flatness(first), 1.03);
  EXPECT_LT(flatness(first), 1.15);
  const std::vector<double> iterated = changCorrected(*study, row, fbp, ReconFilter::Ramp, outline, mu, 1);
  EXPECT_NEAR(flatness(iterated), 1, 0.05);
  // And in the right units: projected with the attenuation, it gives back the counts.
  const std::vector<double> again = attenuatedRayProjection(*study, iterated, outline, mu);
  const std::vector<double> y = sinogramOf(*study, row);
  EXPECT_NEAR(std::accumulate(again.begin(), again.end(), 0.0) / std::accumulate(y.begin(), y.end(), 0.0), 1, 0.03);
  // Without attenuation the same object is flat as it is.
  PhantomSettings air = s;
  air.muPerCm = 0;
  EXPECT_NEAR(flatness(fbpRow(*make(air), row)), 1, 0.03);
  // From a threshold of the uncorrected slice, the outline is nearly the phantom's own.
  const Outline fromSlice = thresholdOutline(fbpRow(*study, row), 64, 0.3);
  EXPECT_NEAR(fromSlice.a, 25, 1.5);
  const ViewWeights w = attenuationWeights(*study, outline, mu);
  const OsemResult plain = osem(*study, row, 8, 6, 2);
  const OsemResult corrected = osem(*study, row, 8, 6, 2, nullptr, true, &w);
  EXPECT_LT(flatness(plain.images.back()), 0.8);
  EXPECT_NEAR(flatness(corrected.images.back()), 1, 0.05);
}

TEST(PhantomErrors, RmseAndContrastOfTheTruthItselfAndOfAFlatGuess) {
  PhantomSettings s = small(PhantomKind::Contrast);
  StudyPtr study = make(s);
  const PhantomInfo& info = *phantomInfo(*study);
  const int row = 32;
  const std::vector<float>& t = info.truth[std::size_t(row)];
  std::vector<double> scaled(t.begin(), t.end());
  for (double& v : scaled) v *= 37;  // the units of a reconstruction are not the truth's
  EXPECT_NEAR(truthRmsePercent(scaled, t, 64), 0, 1e-9);
  const std::vector<bool> hot = featureMask(info, row);
  EXPECT_GT(std::count(hot.begin(), hot.end(), true), 50);  // a disc of 5 pixels' radius
  EXPECT_NEAR(recoveredContrast(scaled, info, row, hot), 1, 1e-6);
  // A flat guess over the cylinder has no contrast, and an error of the truth's own spread.
  std::vector<double> flat(scaled.size());
  for (std::size_t p = 0; p < flat.size(); ++p) flat[p] = t[p] > 0 ? 1 : 0;
  EXPECT_NEAR(recoveredContrast(flat, info, row, hot), 0, 1e-9);
  EXPECT_GT(truthRmsePercent(flat, t, 64), 10);
  // The reconstruction lies between: blurred, so its contrast is partly recovered.
  std::vector<double> fbp = fbpRow(*study, row);
  const double rc = recoveredContrast(fbp, info, row, hot);
  EXPECT_GT(rc, 0.5);
  EXPECT_LT(rc, 1.1);
  EXPECT_TRUE(std::isnan(truthRmsePercent(fbp, {}, 64)));
}
