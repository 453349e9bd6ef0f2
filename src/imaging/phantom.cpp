#include "imaging/phantom.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "imaging/attenuation_map.h"
#include "imaging/mu_map.h"
#include "imaging/phantom_scatter.h"
#include "imaging/random.h"
#include "imaging/sample_study.h"
#include "imaging/text.h"

namespace sinora {

namespace {

constexpr double kTruePi = 3.14159265358979323846;
// Sub-rays per bin and per row (and sub-samples per voxel edge): the detector averages its pixel.
constexpr int kSub = 2;
// The sample's pixels, in mm: its 128-pixel head is then about 16 cm wide.
constexpr double kSampleMm = 1.6;
// Half the sides of a Shepp-Logan unit, in mm.
constexpr double kSheppLoganMm = 100;

struct Kind {
  PhantomKind kind;
  const char* key;
  const char* name;
};
constexpr Kind kKinds[kPhantomKinds] = {
    {PhantomKind::Sample, "sample", "脳血流サンプル"},
    {PhantomKind::SheppLogan, "shepp-logan", "3次元 Shepp-Logan"},
    {PhantomKind::Jaszczak, "jaszczak", "Jaszczak 型"},
    {PhantomKind::Cylinder, "cylinder", "一様円柱"},
    {PhantomKind::LineSources, "lines", "3本の線線源"},
    {PhantomKind::PointSource, "point", "点線源"},
    {PhantomKind::Contrast, "contrast", "ホットとコールドの円板"},
    {PhantomKind::Thorax, "thorax", "胸部（心筋）"},
};

// The thorax's body, whose half width the field of view must take (with a margin).
constexpr double kThoraxHalfWidth = 165, kThoraxField = 340;

PhantomPart part(PhantomPart::Shape shape, double cx, double cy, double cz, double ax, double ay,
                 double az, double activity, double phi = 0) {
  PhantomPart p;
  p.shape = shape;
  p.cx = cx;
  p.cy = cy;
  p.cz = cz;
  p.ax = ax;
  p.ay = ay;
  p.az = az;
  p.phi = phi;
  p.activity = activity;
  return p;
}

// Jaszczak-like: a cylinder of 216 mm by 186 mm, six sectors of cold rods (4.8 to 12.7 mm, on a
// triangular lattice twice their diameter apart) in its lower part and a ring of cold spheres
// (9.5 to 31.8 mm) above them.
PhantomObject jaszczak() {
  PhantomObject o;
  const double radius = 108, half = 93;
  o.parts.push_back(part(PhantomPart::Cylinder, 0, 0, 0, radius, radius, half, 1));
  o.outline = 0;
  o.background = 1;
  const double rods[6] = {4.8, 6.4, 7.9, 9.5, 11.1, 12.7};
  const double rodZ = -40, rodHalf = 44, rodReach = 96;
  for (int s = 0; s < 6; ++s) {
    const double d = rods[s], pitch = 2 * d;
    const double mid = (s * 60 + 30) * kTruePi / 180;
    const double a1x = std::cos(mid), a1y = std::sin(mid);
    const double a2x = std::cos(mid + kTruePi / 3), a2y = std::sin(mid + kTruePi / 3);
    const double lo = s * 60 * kTruePi / 180, hi = (s + 1) * 60 * kTruePi / 180;
    const int reach = int(rodReach / pitch) + 2;
    for (int m = -reach; m <= reach; ++m)
      for (int n = -reach; n <= reach; ++n) {
        const double x = (m * a1x + n * a2x) * pitch, y = (m * a1y + n * a2y) * pitch;
        const double r = std::hypot(x, y);
        if (r + d / 2 > rodReach || r < 1.5 * d) continue;
        // Clear of both edges of the sector by a rod's radius and a gap of a quarter diameter.
        const double gap = 0.75 * d;
        const double toLo = -x * std::sin(lo) + y * std::cos(lo);   // distance past the first edge
        const double toHi = x * std::sin(hi) - y * std::cos(hi);    // distance before the second
        if (toLo < gap || toHi < gap) continue;
        o.parts.push_back(part(PhantomPart::Cylinder, x, y, rodZ, d / 2, d / 2, rodHalf, -1));
      }
  }
  const double spheres[6] = {9.5, 12.7, 15.9, 19.1, 25.4, 31.8};
  for (int s = 0; s < 6; ++s) {
    const double a = (s * 60 + 30) * kTruePi / 180, r = 62, d = spheres[s];
    o.parts.push_back(part(PhantomPart::Ellipsoid, r * std::cos(a), r * std::sin(a), 50, d / 2, d / 2,
                           d / 2, -1));
  }
  o.feature = int(o.parts.size()) - 1;  // the largest sphere
  return o;
}

// The modified (higher-contrast) Shepp-Logan ellipses, y up in the original, here y down; the
// central slice is the 2-D phantom itself.
PhantomObject sheppLogan() {
  struct E {
    double x, y, a, b, degrees, activity, c;
  };
  constexpr E kE[] = {
      {0, 0, 0.69, 0.92, 0, 1.0, 0.81},          {0, -0.0184, 0.6624, 0.874, 0, -0.8, 0.78},
      {0.22, 0, 0.11, 0.31, -18, -0.2, 0.22},    {-0.22, 0, 0.16, 0.41, 18, -0.2, 0.28},
      {0, 0.35, 0.21, 0.25, 0, 0.1, 0.41},       {0, 0.1, 0.046, 0.046, 0, 0.1, 0.05},
      {0, -0.1, 0.046, 0.046, 0, 0.1, 0.05},     {-0.08, -0.605, 0.046, 0.023, 0, 0.1, 0.05},
      {0, -0.606, 0.023, 0.023, 0, 0.1, 0.02},   {0.06, -0.605, 0.023, 0.046, 0, 0.1, 0.02},
  };
  PhantomObject o;
  const double u = kSheppLoganMm;
  for (const E& e : kE)
    o.parts.push_back(part(PhantomPart::Ellipsoid, e.x * u, -e.y * u, 0, e.a * u, e.b * u, e.c * u,
                           e.activity, -e.degrees * kTruePi / 180));
  o.outline = 0;
  o.background = 0.2;
  o.feature = 4;
  return o;
}

// An adult's chest at the heart (x to the patient's left, y to the back, z to the feet): an
// elliptic body of soft tissue 330 x 230 mm; two lungs (0.3 of water's density and of the
// background's activity) down to the diaphragm 5 mm below the heart's centre, their bases
// reaching 30 mm lower behind and outside it; the spine's vertebra (cortical bone) behind; the
// liver (4 x the background) under the diaphragm; and the left ventricle: a myocardium of 5 x
// the background round a cavity of blood (1 x), its long axis turned towards the patient's left
// and front. The heart's lower half lies on the diaphragm, in tissue instead of lung.
PhantomObject thorax() {
  PhantomObject o;
  auto add = [&](PhantomPart p, double water, double bone) {
    p.water = water;
    p.bone = bone;
    o.parts.push_back(p);
  };
  add(part(PhantomPart::Cylinder, 0, 0, 0, kThoraxHalfWidth, 115, 250, 1), 1, 0);    // body
  add(part(PhantomPart::Cylinder, -95, 5, -97.5, 52, 75, 102.5, -0.7), -0.7, 0);    // right lung
  add(part(PhantomPart::Cylinder, 105, 5, -97.5, 45, 72, 102.5, -0.7), -0.7, 0);    // left lung
  add(part(PhantomPart::Cylinder, -118, 25, 20, 33, 40, 15, -0.7), -0.7, 0);        // their bases,
  add(part(PhantomPart::Cylinder, 118, 25, 20, 30, 40, 15, -0.7), -0.7, 0);         // behind and outside
  add(part(PhantomPart::Cylinder, 0, 80, 0, 18, 16, 250, 0), 0, 1);                 // spine
  add(part(PhantomPart::Ellipsoid, -60, 10, 140, 95, 62, 105, 3), 0, 0);            // liver
  add(part(PhantomPart::Ellipsoid, 20, -30, 0, 45, 35, 40, 4, -0.5), 0, 0);         // myocardium
  add(part(PhantomPart::Ellipsoid, 20, -30, 0, 33, 23, 28, -4, -0.5), 0, 0);        // cavity
  o.outline = 0;
  o.background = 1;
  o.feature = 7;
  return o;
}

}  // namespace

std::string phantomName(PhantomKind kind) { return kKinds[int(kind)].name; }
std::string phantomKey(PhantomKind kind) { return kKinds[int(kind)].key; }

bool phantomFromKey(const std::string& key, PhantomKind& kind) {
  for (const Kind& k : kKinds)
    if (key == k.key) {
      kind = k.kind;
      return true;
    }
  return false;
}

PhantomObject phantomObject(PhantomKind kind) {
  PhantomObject o;
  switch (kind) {
    case PhantomKind::Sample:
      for (const SampleEllipsoid& e : sampleEllipsoids())
        o.parts.push_back(part(PhantomPart::Ellipsoid, e.cx * kSampleMm, e.cy * kSampleMm,
                               e.cz * kSampleMm, e.ax * kSampleMm, e.ay * kSampleMm,
                               e.az * kSampleMm, e.activity));
      o.outline = 0;
      o.background = 0.4;  // white matter
      o.feature = 8;       // the hot lesion
      return o;
    case PhantomKind::SheppLogan: return sheppLogan();
    case PhantomKind::Jaszczak: return jaszczak();
    case PhantomKind::Cylinder:
      o.parts.push_back(part(PhantomPart::Cylinder, 0, 0, 0, 100, 100, 90, 1));
      o.outline = 0;
      o.background = 1;
      return o;
    case PhantomKind::LineSources:
      // Centre, 75 mm across and 75 mm deep, in air: radial and tangential resolution.
      for (const auto& at : {std::pair{0.0, 0.0}, {75.0, 0.0}, {0.0, 75.0}})
        o.parts.push_back(part(PhantomPart::Line, at.first, at.second, 0, 0, 0, 90, 1));
      return o;
    case PhantomKind::PointSource:
      o.parts.push_back(part(PhantomPart::Point, 0, 0, 0, 0, 0, 0, 1));
      return o;
    case PhantomKind::Contrast:
      // A warm cylinder with a hot disc (4 : 1) and a cold one, 40 mm across and 40 mm high.
      o.parts.push_back(part(PhantomPart::Cylinder, 0, 0, 0, 100, 100, 90, 1));
      o.parts.push_back(part(PhantomPart::Cylinder, -45, 0, 0, 20, 20, 20, 3));
      o.parts.push_back(part(PhantomPart::Cylinder, 45, 0, 0, 20, 20, 20, -1));
      o.outline = 0;
      o.background = 1;
      o.feature = 1;
      return o;
    case PhantomKind::Thorax: return thorax();
  }
  return o;
}

bool hasMatter(const PhantomObject& o) {
  return std::any_of(o.parts.begin(), o.parts.end(), [](const PhantomPart& p) { return p.water != 0 || p.bone != 0; });
}

double matterMuPerCm(const PhantomPart& p, const PhantomSettings& s) {
  const double e = s.photonKeV(), water = waterMu(e);
  // The settings' mu is the object's water; the rest of its matter has the same density scale.
  const double density = s.muPerCm / water;
  return density * (p.water * water + p.bone * (corticalBoneMu(e) - water));
}

Collimator PhantomSettings::effectiveCollimator() const {
  return realCollimator ? collimator : collimatorFromCentreFwhm(fwhmMm, radiusMm, blurGrows);
}

double PhantomSettings::photonKeV() const {
  const Isotope* i = isotopeFromKey(isotope);
  return i ? i->energyKeV : 140.5;
}

std::vector<EnergyWindow> PhantomSettings::energyWindows() const {
  const Isotope* i = isotopeFromKey(isotope);
  const double e = photonKeV();
  std::string name = i ? i->name : "Tc-99m";
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  const double lo = e * (1 - peakPercent / 200), hi = e * (1 + peakPercent / 200);
  return {{name + "_EM", lo, hi},
          {name + "_SCL", lo - e * lowerPercent / 100, lo},
          {name + "_SCU", hi, hi + e * upperPercent / 100}};
}

std::vector<SettingProblem> checkPhantom(const PhantomSettings& s) {
  std::vector<SettingProblem> out;
  auto bad = [&](const char* field, const std::string& message) { out.push_back({field, message}); };
  auto finite = [](double v) { return std::isfinite(v); };
  if (s.views < 4 || s.views > 360) bad("views", "ビュー数は 4 から 360 です。");
  if (!(s.arcDegrees == 180 || s.arcDegrees == 360)) bad("arc", "収集角度は 180 度か 360 度です。");
  if (!finite(s.startDegrees) || std::fabs(s.startDegrees) > 360)
    bad("start", "開始角度は -360 から 360 度です。");
  if (!(s.matrix == 64 || s.matrix == 128 || s.matrix == 256))
    bad("matrix", "マトリクスは 64、128、256 のどれかです。");
  const bool pixelOk = finite(s.pixelMm) && s.pixelMm > 0 && s.pixelMm <= 20;
  if (!pixelOk) bad("pixel", "画素サイズは 0 より大きく 20 mm までです。");
  if (!s.noiseFree && !(finite(s.counts) && s.counts >= 1e3 && s.counts <= 1e9))
    bad("counts", "総計数は 1000 から 10^9 です。");
  if (s.noiseFree && !(finite(s.counts) && s.counts >= 1e3 && s.counts <= 1e9))
    bad("counts", "総計数 (ノイズなしでも尺度に使います) は 1000 から 10^9 です。");
  if (!finite(s.fwhmMm) || s.fwhmMm < 0 || s.fwhmMm > 50) bad("fwhm", "コリメータの FWHM は 0 から 50 mm です。");
  const double halfField = pixelOk ? s.matrix / 2 * s.pixelMm : 0;
  if (!finite(s.radiusMm) || s.radiusMm > 1000 || (pixelOk && s.radiusMm < halfField) ||
      s.radiusMm <= 0)
    bad("radius", pixelOk ? fill("回転半径は視野の半径 (%1 mm) 以上、1000 mm までです。",
                                 {std::to_string(int(std::ceil(halfField)))})
                          : "回転半径は 0 より大きく 1000 mm までです。");
  if (!finite(s.corPixels) || std::fabs(s.corPixels) > 20) bad("cor", "回転中心のずれは -20 から 20 画素です。");
  if (!finite(s.muPerCm) || s.muPerCm < 0 || s.muPerCm > 2) bad("mu", "減弱係数 μ は 0 から 2 cm^-1 です。");
  if (!isotopeFromKey(s.isotope)) bad("isotope", "核種は tc99m、i123、lu177 のどれかです。");
  if (!(finite(s.peakPercent) && s.peakPercent >= 2 && s.peakPercent <= 50) ||
      !(finite(s.lowerPercent) && s.lowerPercent >= 1 && s.lowerPercent <= 30) ||
      !(finite(s.upperPercent) && s.upperPercent >= 1 && s.upperPercent <= 30))
    bad("windows", "エネルギーウィンドウの幅はピークが 2 から 50 %、両側が 1 から 30 % です。");
  if (!(finite(s.energyResolutionPercent) && s.energyResolutionPercent >= 0 && s.energyResolutionPercent <= 30))
    bad("resolution", "エネルギー分解能は 0 から 30 % です。");
  if (s.realCollimator) {
    const Collimator& c = s.collimator;
    if (!(finite(c.intrinsicMm) && finite(c.faceMm) && finite(c.slope)) || c.intrinsicMm < 0 ||
        c.intrinsicMm > 50 || c.faceMm < 0 || c.faceMm > 50 || c.slope < 0 || c.slope > 1)
      bad("collimator", "コリメータは R_i と R_c0 が 0 から 50 mm、k が 0 から 1 です。");
  }
  if (s.kind == PhantomKind::Thorax && pixelOk && s.matrix * s.pixelMm < kThoraxField)
    bad("pixel", fill("胸部は幅 330 mm あります。視野（マトリクス × 画素サイズ = %1 mm）を 340 mm 以上にしてください。",
                      {std::to_string(int(std::lround(s.matrix * s.pixelMm)))}));
  if (s.kind == PhantomKind::PointSource) {
    const double x = s.pointMm[0], y = s.pointMm[1], z = s.pointMm[2];
    if (!finite(x) || !finite(y) || !finite(z)) bad("point", "点線源の位置に数でないものがあります。");
    else if (pixelOk) {
      const double reach = (s.matrix / 2 - 1) * s.pixelMm;
      if (std::hypot(x, y) > reach || std::fabs(z) > reach)
        bad("point", fill("点線源が視野の外です (中心から %1 mm まで)。", {std::to_string(int(reach))}));
    }
  }
  return out;
}

bool insidePart(const PhantomPart& p, double x, double y, double z) {
  if (p.shape == PhantomPart::Line || p.shape == PhantomPart::Point) return false;
  const double c = std::cos(p.phi), s = std::sin(p.phi);
  const double dx = x - p.cx, dy = y - p.cy;
  const double lx = (dx * c + dy * s) / p.ax, ly = (-dx * s + dy * c) / p.ay;
  const double lz = (z - p.cz) / p.az;
  if (p.shape == PhantomPart::Cylinder) return std::fabs(z - p.cz) <= p.az && lx * lx + ly * ly <= 1;
  return lx * lx + ly * ly + lz * lz <= 1;
}

bool partChord(const PhantomPart& p, double u, double z, double cs, double sn, double& t0,
               double& t1) {
  if (p.shape == PhantomPart::Line || p.shape == PhantomPart::Point) return false;
  double rest = 1;  // what the slice-plane ellipse's quadratic must stay under at this height
  if (p.shape == PhantomPart::Cylinder) {
    if (std::fabs(z - p.cz) > p.az) return false;
  } else {
    const double w = (z - p.cz) / p.az;
    rest = 1 - w * w;
    if (rest <= 0) return false;
  }
  // The ray u e_u + t e_d in the part's own axes, e_d = (sn, -cs).
  const double c = p.phi == 0 ? 1 : std::cos(p.phi), s = p.phi == 0 ? 0 : std::sin(p.phi);
  const double px = u * cs - p.cx, py = u * sn - p.cy;
  const double qx = (px * c + py * s) / p.ax, qy = (-px * s + py * c) / p.ay;
  const double dx = (sn * c - cs * s) / p.ax, dy = (-sn * s - cs * c) / p.ay;
  const double a = dx * dx + dy * dy, b = qx * dx + qy * dy, k = qx * qx + qy * qy - rest;
  const double disc = b * b - a * k;
  if (disc <= 0) return false;
  const double root = std::sqrt(disc);
  t0 = (-b - root) / a;
  t1 = (-b + root) / a;
  return true;
}

double lineIntegral(const PhantomPart& p, double u, double z, double cs, double sn) {
  double t0, t1;
  return partChord(p, u, z, cs, sn, t0, t1) ? p.activity * (t1 - t0) : 0.0;
}

namespace {

// The integral over t in [a, b] of the fraction of photons that leave towards the detector
// (growing t), with attenuation mu (per mm) inside [in, out] and none elsewhere.
double survivingLength(double a, double b, double in, double out, double mu) {
  if (b <= a) return 0;
  if (mu <= 0 || out <= in) return b - a;
  double sum = 0;
  const double through = std::exp(-mu * (out - in));
  if (a < in) sum += (std::min(b, in) - a) * through;
  const double lo = std::max(a, in), hi = std::min(b, out);
  if (hi > lo) sum += (std::exp(-mu * (out - hi)) - std::exp(-mu * (out - lo))) / mu;
  if (b > out) sum += b - std::max(a, out);
  return sum;
}

double survivingAt(double t, double in, double out, double mu) {
  if (mu <= 0 || out <= in || t >= out) return 1;
  return std::exp(-mu * (out - std::max(t, in)));
}

// A ray's chord through a part with matter, and that part's mu (per mm).
struct MatterChord {
  double in, out, mu;
};

// The matter's line integral from t to the detector.
double matterAbove(double t, const MatterChord* c, int n) {
  double sum = 0;
  for (int m = 0; m < n; ++m)
    if (c[m].out > t) sum += c[m].mu * (c[m].out - std::max(t, c[m].in));
  return sum;
}

// The integral over t in [a, b] of e^-(matter from t to the detector): exact, piece by piece
// between the chords' ends, where the matter is constant.
double survivingThrough(double a, double b, const MatterChord* c, int n) {
  if (b <= a) return 0;
  double few[2 + 2 * 8];
  std::vector<double> many;
  if (n > 8) many.resize(2 + 2 * std::size_t(n));
  double* edges = n > 8 ? many.data() : few;
  int e = 0;
  edges[e++] = a;
  edges[e++] = b;
  for (int m = 0; m < n; ++m)
    for (double x : {c[m].in, c[m].out})
      if (x > a && x < b) edges[e++] = x;
  std::sort(edges, edges + e);
  double sum = 0;
  for (int q = 0; q + 1 < e; ++q) {
    const double lo = edges[q], hi = edges[q + 1], length = hi - lo;
    if (!(length > 0)) continue;
    const double mid = (lo + hi) / 2;
    double mu = 0;
    for (int m = 0; m < n; ++m)
      if (c[m].in < mid && mid < c[m].out) mu += c[m].mu;
    const double through = std::exp(-matterAbove(hi, c, n));
    sum += through * (std::fabs(mu * length) > 1e-12 ? -std::expm1(-mu * length) / mu : length);
  }
  return sum;
}

// Half the part's extent along a unit direction (cos a, sin a) in the slice plane.
double reachAlong(const PhantomPart& p, double cs, double sn) {
  const double c = std::cos(p.phi), s = std::sin(p.phi);
  const double along = cs * c + sn * s, across = -cs * s + sn * c;
  return std::sqrt(p.ax * p.ax * along * along + p.ay * p.ay * across * across);
}

std::vector<double> gaussianTaps(double fwhmPixels) {
  if (!(fwhmPixels > 0.3)) return {1.0};
  const double sigma = fwhmPixels / (2 * std::sqrt(2 * std::log(2.0)));
  const int half = std::max(1, int(std::ceil(3 * sigma)));
  std::vector<double> w(std::size_t(2 * half + 1));
  double sum = 0;
  for (int d = -half; d <= half; ++d) sum += w[std::size_t(d + half)] = std::exp(-0.5 * d * d / (sigma * sigma));
  for (double& x : w) x /= sum;
  return w;
}

// Blurs a rows x bins picture along both axes with the taps (counts beyond the edge are lost,
// as off a real detector) and adds it to `out`.
void blurInto(const std::vector<double>& in, int rows, int bins, const std::vector<double>& taps,
              double* out) {
  const int half = int(taps.size() / 2);
  if (half == 0) {
    for (std::size_t n = 0; n < in.size(); ++n) out[n] += in[n];
    return;
  }
  std::vector<double> across(in.size(), 0.0);
  for (int r = 0; r < rows; ++r) {
    const double* src = in.data() + std::size_t(r) * bins;
    double* dst = across.data() + std::size_t(r) * bins;
    for (int b = 0; b < bins; ++b) {
      if (src[b] == 0) continue;
      const int lo = std::max(0, b - half), hi = std::min(bins - 1, b + half);
      for (int e = lo; e <= hi; ++e) dst[e] += src[b] * taps[std::size_t(e - b + half)];
    }
  }
  for (int r = 0; r < rows; ++r) {
    const double* src = across.data() + std::size_t(r) * bins;
    bool any = false;
    for (int b = 0; b < bins && !any; ++b) any = src[b] != 0;
    if (!any) continue;
    const int lo = std::max(0, r - half), hi = std::min(rows - 1, r + half);
    for (int e = lo; e <= hi; ++e) {
      const double w = taps[std::size_t(e - r + half)];
      double* dst = out + std::size_t(e) * bins;
      for (int b = 0; b < bins; ++b) dst[b] += src[b] * w;
    }
  }
}

struct Acquisition {
  const PhantomSettings& s;
  const PhantomObject& o;
  int b, rows;
  double c, pixel, mu;  // mu per mm
  // An object of matter: each part's mu per mm (the outline's uniform mu is then 0).
  bool matter;
  std::vector<double> partMu;
  double reach;         // the activity lies within |t| <= reach (mm)
  int slabs;
  std::vector<double> angles;  // degrees
  Collimator collimator;

  Acquisition(const PhantomSettings& settings, const PhantomObject& object)
      : s(settings), o(object), b(settings.matrix), rows(settings.matrix), c(settings.matrix / 2),
        pixel(settings.pixelMm), mu(object.outline >= 0 ? settings.muPerCm / 10 : 0),
        matter(hasMatter(object) && settings.muPerCm > 0) {
    if (matter) {
      mu = 0;
      for (const PhantomPart& p : o.parts) partMu.push_back(matterMuPerCm(p, s) / 10);
    }
    reach = 1;
    for (const PhantomPart& p : o.parts)
      reach = std::max(reach, std::hypot(p.cx, p.cy) + std::max(p.ax, p.ay));
    reach = std::min(reach, c * pixel * 1.5);
    slabs = 1;
    collimator = s.effectiveCollimator();
    if (s.realCollimator) {
      // A quarter of a pixel of FWHM change per slab at most.
      const double spread = collimator.slope * 2 * reach / pixel;
      slabs = std::clamp(int(std::ceil(4 * spread)), 1, 64);
    } else if (s.fwhmMm > 0 && s.blurGrows) {
      const double spread = s.fwhmMm * 2 * reach / s.radiusMm / pixel;  // FWHM change, pixels
      slabs = std::clamp(int(std::ceil(spread)), 1, 48);
    }
    angles.resize(std::size_t(s.views));
    const double step = s.arcDegrees / s.views * (s.clockwise ? 1 : -1);
    for (int k = 0; k < s.views; ++k) angles[std::size_t(k)] = s.startDegrees + k * step;
  }

  int slabOf(double t) const {
    if (slabs == 1) return 0;
    const int n = int(std::floor((t + reach) / (2 * reach) * slabs));
    return std::clamp(n, 0, slabs - 1);
  }
  double slabLo(int n) const { return -reach + 2 * reach * n / slabs; }

  double fwhmPixelsAt(double t) const {
    if (s.realCollimator) return collimator.fwhmMm(s.radiusMm - t) / pixel;
    if (s.fwhmMm <= 0) return 0;
    if (!s.blurGrows) return s.fwhmMm / pixel;
    return s.fwhmMm * std::max(0.0, s.radiusMm - t) / s.radiusMm / pixel;
  }

  // The mm of the detector coordinate for sub-ray q of bin n, and of sub-row q of row r.
  double uOf(int n, int q) const { return ((n - c) + (q + 0.5) / kSub - 0.5 - s.corPixels) * pixel; }
  double zOf(int r, int q) const { return ((r - c) + (q + 0.5) / kSub - 0.5) * pixel; }

  // f(n, share) for each slab n the chord [t0, t1] crosses: the surviving length of its piece.
  template <typename F>
  void eachSlab(double t0, double t1, double in, double out, F f) const {
    if (slabs == 1) {
      f(0, survivingLength(t0, t1, in, out, mu));
      return;
    }
    for (int n = slabOf(t0), last = slabOf(t1); n <= last; ++n) {
      const double lo = n == 0 ? t0 : std::max(t0, slabLo(n));
      const double hi = n == slabs - 1 ? t1 : std::min(t1, slabLo(n + 1));
      f(n, survivingLength(lo, hi, in, out, mu));
    }
  }

  // The chords of the ray at (u, z) through the parts with matter.
  void matterChords(double u, double z, double cs, double sn, std::vector<MatterChord>& out) const {
    out.clear();
    for (std::size_t m = 0; m < o.parts.size(); ++m) {
      double t0, t1;
      if (partMu[m] != 0 && partChord(o.parts[m], u, z, cs, sn, t0, t1)) out.push_back({t0, t1, partMu[m]});
    }
  }

  // f(n, share) for each slab the chord [t0, t1] crosses, through the ray's matter.
  template <typename F>
  void eachSlabThrough(double t0, double t1, const MatterChord* ch, int count, F f) const {
    if (slabs == 1) {
      f(0, survivingThrough(t0, t1, ch, count));
      return;
    }
    for (int n = slabOf(t0), last = slabOf(t1); n <= last; ++n) {
      const double lo = n == 0 ? t0 : std::max(t0, slabLo(n));
      const double hi = n == slabs - 1 ? t1 : std::min(t1, slabLo(n + 1));
      f(n, survivingThrough(lo, hi, ch, count));
    }
  }

  // Adds a chord's activity (a share of the detector pixel, `weight`) to the slabs' pictures.
  void addChord(std::vector<std::vector<double>>& slab, std::size_t at, double activity, double t0,
                double t1, double in, double out, double weight) const {
    eachSlab(t0, t1, in, out, [&](int n, double share) { slab[std::size_t(n)][at] += weight * activity * share; });
  }

  // One view: rows x bins expected counts per unit activity, blurred.
  void project(int k, double* view) const {
    const double theta = angles[std::size_t(k)] * kTruePi / 180;
    const double cs = std::cos(theta), sn = std::sin(theta);
    const std::size_t pixels = std::size_t(rows) * b;
    std::vector<std::vector<double>> slab(std::size_t(slabs), std::vector<double>(pixels, 0.0));
    const double w = 1.0 / (kSub * kSub);  // each sub-ray's share of its detector pixel
    const PhantomPart* outline = o.outline >= 0 ? &o.parts[std::size_t(o.outline)] : nullptr;
    // The outline's chord of a sub-ray: where attenuation starts and ends along t.
    auto outlineChord = [&](double u, double z, double& in, double& out) {
      in = out = 0;
      if (outline && mu > 0 && !partChord(*outline, u, z, cs, sn, in, out)) in = out = 0;
    };
    const double area = pixel * pixel;
    std::vector<double> attenuated(static_cast<std::size_t>(slabs)), clear(static_cast<std::size_t>(slabs));
    // With a real collimator, points and lines are blurred at their own depth.
    std::vector<std::pair<double, std::vector<double>>> exact;
    // Matter: every sub-ray's chords through it, found once for all the parts' activity.
    std::vector<MatterChord> chords, rayMatter;
    std::vector<std::uint32_t> first;
    if (matter) {
      first.reserve(std::size_t(rows) * kSub * b * kSub + 1);
      first.push_back(0);
      for (int r = 0; r < rows; ++r)
        for (int qz = 0; qz < kSub; ++qz)
          for (int n = 0; n < b; ++n)
            for (int qu = 0; qu < kSub; ++qu) {
              matterChords(uOf(n, qu), zOf(r, qz), cs, sn, rayMatter);
              chords.insert(chords.end(), rayMatter.begin(), rayMatter.end());
              first.push_back(std::uint32_t(chords.size()));
            }
    }
    for (const PhantomPart& p : o.parts) {
      if (p.activity == 0) continue;
      const double uc = p.cx * cs + p.cy * sn;
      const double tc = p.cx * sn - p.cy * cs;
      if (p.shape == PhantomPart::Point || p.shape == PhantomPart::Line) {
        const int n = int(std::floor(uc / pixel + c + s.corPixels + 0.5));
        if (n < 0 || n >= b) continue;
        const double z0 = p.cz - p.az, z1 = p.cz + p.az;
        double* into = slab[std::size_t(slabOf(tc))].data();
        if (s.realCollimator) {
          exact.emplace_back(tc, std::vector<double>(pixels, 0.0));
          into = exact.back().second.data();
        }
        for (int r = 0; r < rows; ++r) {
          const double lo = (r - c - 0.5) * pixel, hi = lo + pixel;
          double amount;
          if (p.shape == PhantomPart::Point) amount = p.cz >= lo && p.cz < hi ? p.activity : 0;
          else amount = p.activity * std::max(0.0, std::min(hi, z1) - std::max(lo, z0));
          if (amount == 0) continue;
          double surviving;
          if (matter) {
            matterChords(uc, (r - c) * pixel, cs, sn, rayMatter);
            surviving = std::exp(-matterAbove(tc, rayMatter.data(), int(rayMatter.size())));
          } else {
            double in, out;
            outlineChord(uc, (r - c) * pixel, in, out);
            surviving = survivingAt(tc, in, out, mu);
          }
          into[std::size_t(r) * b + n] += amount * surviving / area;
        }
        continue;
      }
      const double half = reachAlong(p, cs, sn);
      const int n0 = std::max(0, int(std::floor((uc - half) / pixel + c + s.corPixels - 1)));
      const int n1 = std::min(b - 1, int(std::ceil((uc + half) / pixel + c + s.corPixels + 1)));
      const int r0 = std::max(0, int(std::floor((p.cz - p.az) / pixel + c - 1)));
      const int r1 = std::min(rows - 1, int(std::ceil((p.cz + p.az) / pixel + c + 1)));
      // A cylinder's chord does not change along z, nor does a cylinder outline's: one chord
      // serves every sub-row inside both.
      const bool straight = p.shape == PhantomPart::Cylinder && !matter &&
                            (!outline || mu <= 0 || outline->shape == PhantomPart::Cylinder);
      for (int n = n0; n <= n1; ++n)
        for (int qu = 0; qu < kSub; ++qu) {
          const double u = uOf(n, qu);
          if (straight) {
            double t0, t1;
            if (!partChord(p, u, p.cz, cs, sn, t0, t1)) continue;
            // The slabs' shares once for sub-rows inside the outline's height, once outside.
            double in = 0, out = 0;
            if (outline && mu > 0) outlineChord(u, outline->cz, in, out);
            std::fill(attenuated.begin(), attenuated.end(), 0.0);
            std::fill(clear.begin(), clear.end(), 0.0);
            eachSlab(t0, t1, in, out, [&](int m, double share) { attenuated[std::size_t(m)] = w * p.activity * share; });
            eachSlab(t0, t1, 0, 0, [&](int m, double share) { clear[std::size_t(m)] = w * p.activity * share; });
            for (int r = r0; r <= r1; ++r) {
              int inside = 0, outside = 0;
              for (int qz = 0; qz < kSub; ++qz) {
                const double z = zOf(r, qz);
                if (std::fabs(z - p.cz) > p.az) continue;
                if (outline && mu > 0 && std::fabs(z - outline->cz) > outline->az) ++outside;
                else ++inside;
              }
              if (inside + outside == 0) continue;
              const std::size_t at = std::size_t(r) * b + n;
              for (int m = 0; m < slabs; ++m)
                slab[std::size_t(m)][at] += inside * attenuated[std::size_t(m)] + outside * clear[std::size_t(m)];
            }
            continue;
          }
          for (int r = r0; r <= r1; ++r)
            for (int qz = 0; qz < kSub; ++qz) {
              const double z = zOf(r, qz);
              double t0, t1;
              if (!partChord(p, u, z, cs, sn, t0, t1)) continue;
              if (matter) {
                const std::size_t ray = ((std::size_t(r) * kSub + qz) * b + n) * kSub + qu;
                const MatterChord* ch = chords.data() + first[ray];
                const int count = int(first[ray + 1] - first[ray]);
                std::vector<double>* into = &slab[0];
                eachSlabThrough(t0, t1, ch, count, [&](int m, double share) {
                  into[m][std::size_t(r) * b + n] += w * p.activity * share;
                });
                continue;
              }
              double in, out;
              outlineChord(u, z, in, out);
              addChord(slab, std::size_t(r) * b + n, p.activity, t0, t1, in, out, w);
            }
        }
    }
    std::fill(view, view + pixels, 0.0);
    for (int n = 0; n < slabs; ++n) {
      const double mid = slabs == 1 ? 0 : slabLo(n) + reach / slabs;
      blurInto(slab[std::size_t(n)], rows, b, gaussianTaps(fwhmPixelsAt(mid)), view);
    }
    for (const auto& [depth, picture] : exact) blurInto(picture, rows, b, gaussianTaps(fwhmPixelsAt(depth)), view);
  }
};

template <typename F>
void inThreads(int threads, F f) {
  threads = std::max(1, threads);
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(f, t);
  f(0);
  for (std::thread& t : pool) t.join();
}

}  // namespace

namespace {

// Voxel means of a row of the parts' values (value(part): per mm^3 for the activity, a line's
// per mm and a point's in all, when `sources` adds lines and points).
template <typename Value>
std::vector<float> voxelMeans(const PhantomObject& o, const PhantomSettings& s, int row, bool sources, Value value) {
  const int b = s.matrix;
  const double c = b / 2, p = s.pixelMm;
  std::vector<double> sum(std::size_t(b) * b, 0.0);
  const double z0 = (row - c - 0.5) * p, z1 = z0 + p;
  for (const PhantomPart& part : o.parts) {
    if (part.shape == PhantomPart::Point || part.shape == PhantomPart::Line) {
      if (!sources) continue;
      const int i = int(std::floor(part.cx / p + c + 0.5)), j = int(std::floor(part.cy / p + c + 0.5));
      if (i < 0 || i >= b || j < 0 || j >= b) continue;
      double amount;
      if (part.shape == PhantomPart::Point) amount = part.cz >= z0 && part.cz < z1 ? value(part) : 0;
      else amount = value(part) * std::max(0.0, std::min(z1, part.cz + part.az) - std::max(z0, part.cz - part.az));
      sum[std::size_t(i) * b + j] += amount / (p * p * p);
      continue;
    }
    if (value(part) == 0) continue;
    if (z1 < part.cz - part.az || z0 > part.cz + part.az) continue;
    const double hx = reachAlong(part, 1, 0), hy = reachAlong(part, 0, 1);
    const int i0 = std::max(0, int(std::floor((part.cx - hx) / p + c - 1)));
    const int i1 = std::min(b - 1, int(std::ceil((part.cx + hx) / p + c + 1)));
    const int j0 = std::max(0, int(std::floor((part.cy - hy) / p + c - 1)));
    const int j1 = std::min(b - 1, int(std::ceil((part.cy + hy) / p + c + 1)));
    const double share = value(part) / (kSub * kSub * kSub);
    for (int i = i0; i <= i1; ++i)
      for (int j = j0; j <= j1; ++j) {
        int inside = 0;
        for (int a = 0; a < kSub; ++a)
          for (int e = 0; e < kSub; ++e)
            for (int g = 0; g < kSub; ++g)
              inside += insidePart(part, ((i - c) + (a + 0.5) / kSub - 0.5) * p,
                                   ((j - c) + (e + 0.5) / kSub - 0.5) * p,
                                   ((row - c) + (g + 0.5) / kSub - 0.5) * p);
        sum[std::size_t(i) * b + j] += share * inside;
      }
  }
  return std::vector<float>(sum.begin(), sum.end());
}

}  // namespace

std::vector<float> truthSlice(const PhantomObject& o, const PhantomSettings& s, int row) {
  return voxelMeans(o, s, row, true, [](const PhantomPart& p) { return p.activity; });
}

std::vector<float> muSlice(const PhantomObject& o, const PhantomSettings& s, int row) {
  if (hasMatter(o)) return voxelMeans(o, s, row, false, [&](const PhantomPart& p) { return matterMuPerCm(p, s); });
  const PhantomPart* outline = o.outline >= 0 ? &o.parts[std::size_t(o.outline)] : nullptr;
  return voxelMeans(o, s, row, false, [&](const PhantomPart& p) { return &p == outline ? s.muPerCm : 0.0; });
}

std::vector<float> phantomMuMap(const PhantomInfo& info, double shiftMm) {
  std::vector<float> out;
  for (const std::vector<float>& row : info.mu) out.insert(out.end(), row.begin(), row.end());
  const double pixels = info.settings.pixelMm > 0 ? shiftMm / info.settings.pixelMm : 0;
  if (pixels == 0 || out.empty() || !std::isfinite(pixels)) return out;
  const int b = info.settings.matrix, whole = int(std::floor(pixels));
  const double part = pixels - whole;
  std::vector<float> moved(out.size(), 0.0f);
  for (std::size_t r = 0; r < info.mu.size(); ++r)
    for (int i = 0; i < b; ++i) {
      // Pixel i takes what lay `pixels` to its left.
      auto from = [&](int ii) { return ii >= 0 && ii < b ? out.data() + (r * b + std::size_t(ii)) * b : nullptr; };
      const float *a = from(i - whole), *c = from(i - whole - 1);
      float* to = moved.data() + (r * b + std::size_t(i)) * b;
      for (int j = 0; j < b; ++j) to[j] = float((1 - part) * (a ? a[j] : 0.0f) + part * (c ? c[j] : 0.0f));
    }
  return moved;
}

const PhantomInfo* phantomInfo(const ProjectionStudy& study) { return study.geometry().phantom.get(); }

PhantomResult makePhantomStudy(const PhantomSettings& s, int threads,
                               const std::atomic<bool>* cancel, std::atomic<int>* viewsDone) {
  PhantomObject object = phantomObject(s.kind);
  if (s.kind == PhantomKind::PointSource) {
    object.parts[0].cx = s.pointMm[0];
    object.parts[0].cy = s.pointMm[1];
    object.parts[0].cz = s.pointMm[2];
  }
  return makePhantomStudyOf(object, phantomName(s.kind), s, threads, cancel, viewsDone);
}

PhantomResult makePhantomStudyOf(const PhantomObject& object, const std::string& name,
                                 const PhantomSettings& s, int threads,
                                 const std::atomic<bool>* cancel, std::atomic<int>* viewsDone) {
  const std::vector<SettingProblem> problems = checkPhantom(s);
  if (!problems.empty()) return {nullptr, problems.front().message};
  auto info = std::make_shared<PhantomInfo>();
  info->name = name;
  info->settings = s;
  info->object = object;
  const Acquisition acq(s, info->object);
  const std::size_t perView = std::size_t(acq.rows) * acq.b;
  std::vector<double> ideal(perView * std::size_t(s.views));
  inThreads(threads, [&](int part) {
    for (int k = part; k < s.views && !(cancel && *cancel); k += std::max(1, threads)) {
      acq.project(k, ideal.data() + perView * std::size_t(k));
      if (viewsDone) ++*viewsDone;
    }
  });
  if (cancel && *cancel) return {nullptr, "中止しました。"};
  info->truth.resize(std::size_t(acq.rows));
  const bool attenuates = s.muPerCm > 0 && (info->object.outline >= 0 || hasMatter(info->object));
  if (attenuates) info->mu.resize(std::size_t(acq.rows));
  inThreads(threads, [&](int part) {
    for (int r = part; r < acq.rows; r += std::max(1, threads)) {
      info->truth[std::size_t(r)] = truthSlice(info->object, s, r);
      if (attenuates) info->mu[std::size_t(r)] = muSlice(info->object, s, r);
    }
  });
  // The windows: the photopeak's expected counts are the primaries (and their scatter); the
  // side windows see the primaries' tails through the energy resolution and their own scatter.
  const std::vector<EnergyWindow> windows = s.energyWindows();
  const double e0 = s.photonKeV();
  std::vector<double> accept(windows.size());
  for (std::size_t w = 0; w < windows.size(); ++w)
    accept[w] = windowAcceptance(e0, windows[w].lowerKeV, windows[w].upperKeV, s.energyResolutionPercent);
  std::vector<std::vector<double>> scatter;
  if (s.scatter) {
    ScatterInput in;
    in.object = &info->object;
    in.settings = &s;
    in.truth = &info->truth;
    in.anglesDegrees = acq.angles;
    in.windows = windows;
    in.photonKeV = e0;
    in.density = s.muPerCm / waterMu(e0);
    scatter = simulateScatter(in, acq.collimator, threads);
    if (cancel && *cancel) return {nullptr, "中止しました。"};
  }
  // Without scatter the photopeak is the primaries as they are (the acceptance drops out in the
  // scaling); the side windows are the primaries times their acceptance relative to the peak's.
  const bool scattered = !scatter.empty();
  auto expected = [&](std::size_t w, std::size_t n) {
    if (!scattered) return w == 0 ? ideal[n] : ideal[n] * (accept[0] > 0 ? accept[w] / accept[0] : 0.0);
    return ideal[n] * accept[w] + scatter[w][n];
  };
  double total = 0, peak = 0;
  for (std::size_t n = 0; n < ideal.size(); ++n) {
    const double v = expected(0, n);
    total += std::max(0.0, v);
    peak = std::max(peak, v);
  }
  if (!(total > 0)) return {nullptr, "投影に計数がありません (物体が視野の外です)。"};
  const double scale = s.counts / total;
  for (std::size_t w = 1; w < windows.size(); ++w)
    for (std::size_t n = 0; n < ideal.size(); ++n) peak = std::max(peak, expected(w, n));
  if (peak * scale > 65535) {
    return {nullptr, fill("計数が多すぎます: 最大のピクセルが %1 カウントになり 65535 を超えます。",
                          {std::to_string(std::llround(peak * scale))})};
  }
  info->windows = windows;
  info->primary.resize(windows.size());
  if (scattered) info->scattered.resize(windows.size());
  auto set = std::make_shared<EnergyWindowSet>();
  set->windows = windows;
  set->counts.resize(windows.size());
  Random rng(s.seed);
  for (std::size_t w = 0; w < windows.size(); ++w) {
    std::vector<float>& prim = info->primary[w];
    prim.resize(ideal.size());
    if (scattered) info->scattered[w].resize(ideal.size());
    std::vector<std::uint16_t>& counts = set->counts[w];
    counts.resize(ideal.size());
    for (std::size_t n = 0; n < ideal.size(); ++n) {
      const double mean = std::max(0.0, expected(w, n) * scale);
      prim[n] = float(scattered ? ideal[n] * accept[w] * scale : mean);
      if (scattered) info->scattered[w][n] = float(scatter[w][n] * scale);
      const int v = s.noiseFree ? int(mean + 0.5) : poisson(mean, rng);
      counts[n] = static_cast<std::uint16_t>(std::min(v, 65535));
    }
  }
  std::vector<std::uint16_t> counts = set->counts[0];
  StudyGeometry g;
  g.views = s.views;
  g.rows = acq.rows;
  g.bins = acq.b;
  g.angles = acq.angles;
  g.pixelSizeMm = s.pixelMm;
  g.format = "ファントム";
  g.description = info->name;
  g.phantom = info;
  g.radiusMm = {s.radiusMm};
  g.energyWindows = set;
  return {std::make_shared<const ProjectionStudy>(std::move(g), std::move(counts)), {}};
}

double truthRmsePercent(const std::vector<double>& r, const std::vector<float>& t, int b) {
  if (r.size() != std::size_t(b) * b || t.size() != r.size()) return NAN;
  const int c = b / 2;
  double rt = 0, tt = 0;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j) {
      if ((i - c) * (i - c) + (j - c) * (j - c) >= c * c) continue;
      const std::size_t p = std::size_t(i) * b + j;
      rt += r[p] * t[p];
      tt += double(t[p]) * t[p];
    }
  if (!(tt > 0)) return NAN;
  const double a = rt / tt;
  double sq = 0, sum = 0;
  int n = 0, positive = 0;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j) {
      if ((i - c) * (i - c) + (j - c) * (j - c) >= c * c) continue;
      const std::size_t p = std::size_t(i) * b + j;
      sq += (r[p] - a * t[p]) * (r[p] - a * t[p]);
      ++n;
      if (t[p] > 0) {
        sum += a * t[p];
        ++positive;
      }
    }
  if (positive == 0 || !(sum > 0)) return NAN;
  return 100 * std::sqrt(sq / n) / (sum / positive);
}

std::vector<bool> featureMask(const PhantomInfo& info, int row) {
  const int b = info.settings.matrix;
  std::vector<bool> mask(std::size_t(b) * b, false);
  if (info.object.feature < 0) return mask;
  const PhantomPart& f = info.object.parts[std::size_t(info.object.feature)];
  const double c = b / 2, p = info.settings.pixelMm;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j) mask[std::size_t(i) * b + j] = insidePart(f, (i - c) * p, (j - c) * p, (row - c) * p);
  return mask;
}

double recoveredContrast(const std::vector<double>& r, const PhantomInfo& info, int row,
                         const std::vector<bool>& region) {
  const std::size_t n = r.size();
  if (row < 0 || std::size_t(row) >= info.truth.size() || region.size() != n || info.truth[std::size_t(row)].size() != n)
    return NAN;
  const std::vector<float>& t = info.truth[std::size_t(row)];
  const float level = float(info.object.background);
  double mr = 0, tr = 0, mb = 0, tb = 0;
  int nr = 0, nb = 0;
  for (std::size_t p = 0; p < n; ++p) {
    if (region[p]) {
      mr += r[p];
      tr += t[p];
      ++nr;
    } else if (level > 0 && std::fabs(t[p] - level) < 1e-6f * level) {
      mb += r[p];
      tb += t[p];
      ++nb;
    }
  }
  if (nr == 0 || nb == 0 || !(mb != 0) || !(tb > 0)) return NAN;
  const double trueContrast = (tr / nr) / (tb / nb) - 1;
  if (std::fabs(trueContrast) < 1e-9) return NAN;
  return ((mr / nr) / (mb / nb) - 1) / trueContrast;
}

}  // namespace sinora
