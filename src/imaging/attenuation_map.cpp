#include "imaging/attenuation_map.h"

#include <algorithm>
#include <cmath>

#include "imaging/geometry.h"
#include "imaging/slices.h"

namespace sinora {

namespace {

constexpr double kStep = 0.5;  // pixels between samples along a ray
constexpr double kLine = 0.5;  // pixels between the lines of a view

// The map between pixel centres: bilinear, 0 beyond the slice. It is kept with a border of one
// 0 pixel all round, and the box (pixel indices, open) holds every pixel that is not 0, so that
// a read inside the box never leaves the border and one outside it is 0 without reading.
struct Sampler {
  std::vector<double> padded;
  int stride = 0;
  double lo_i = 0, hi_i = 0, lo_j = 0, hi_j = 0;

  bool inBox(double fi, double fj) const { return fi > lo_i && fi < hi_i && fj > lo_j && fj < hi_j; }
  double inside(double fi, double fj) const {
    const int ip = int(fi + 1.0), jp = int(fj + 1.0);  // fi, fj > -1: the floor, in the border's indices
    const double a = fi + 1.0 - ip, d = fj + 1.0 - jp;
    const double* r0 = padded.data() + std::size_t(ip) * stride + jp;
    const double* r1 = r0 + stride;
    return (1 - a) * ((1 - d) * r0[0] + d * r0[1]) + a * ((1 - d) * r1[0] + d * r1[1]);
  }
  double at(double fi, double fj) const { return inBox(fi, fj) ? inside(fi, fj) : 0.0; }
};

// False (and 0 everywhere) when the map has no matter.
bool samplerOf(const std::vector<double>& mu, int b, Sampler& s) {
  int i0 = b, i1 = -1, j0 = b, j1 = -1;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      if (mu[std::size_t(i) * b + j] != 0) {
        i0 = std::min(i0, i);
        i1 = std::max(i1, i);
        j0 = std::min(j0, j);
        j1 = std::max(j1, j);
      }
  if (i1 < 0) return false;
  s.stride = b + 2;
  s.padded.assign(std::size_t(s.stride) * s.stride, 0.0);
  for (int i = 0; i < b; ++i)
    std::copy_n(mu.begin() + std::ptrdiff_t(i) * b, b, s.padded.begin() + std::ptrdiff_t(i + 1) * s.stride + 1);
  s.lo_i = i0 - 1.0;
  s.hi_i = i1 + 1.0;
  s.lo_j = j0 - 1.0;
  s.hi_j = j1 + 1.0;
  return true;
}

// The t where the line (a + t da, b + t db) is inside the open interval (lo, hi) in its first
// coordinate: [t0, t1], empty when t0 > t1.
void clip(double a, double da, double lo, double hi, double& t0, double& t1) {
  if (std::fabs(da) < 1e-12) {
    if (!(a > lo && a < hi)) t0 = 1, t1 = 0;
    return;
  }
  double e0 = (lo - a) / da, e1 = (hi - a) / da;
  if (e0 > e1) std::swap(e0, e1);
  t0 = std::max(t0, e0);
  t1 = std::min(t1, e1);
}

}  // namespace

std::vector<double> muMapSlice(const std::vector<float>& map, int rows, int bins, int row,
                               double pixelMm) {
  const std::size_t pixels = std::size_t(bins) * bins;
  if (rows < 1 || bins < 1 || map.size() != std::size_t(rows) * pixels || row < 0 || row >= rows) return {};
  std::vector<double> out(pixels);
  const float* src = map.data() + std::size_t(row) * pixels;
  for (std::size_t p = 0; p < pixels; ++p) out[p] = double(src[p]) * pixelMm / 10;
  return out;
}

std::vector<std::vector<double>> muMapPaths(const ProjectionStudy& study, const std::vector<double>& mu) {
  const int b = study.bins(), c = b / 2;
  const std::size_t pixels = std::size_t(b) * b;
  std::vector<std::vector<double>> out(std::size_t(study.views()), std::vector<double>(pixels, 0.0));
  Sampler s;
  if (mu.size() != pixels || !samplerOf(mu, b, s)) return out;
  // The box's corners about the centre of rotation.
  const double cx[4] = {s.lo_i - c, s.hi_i - c, s.lo_i - c, s.hi_i - c};
  const double cy[4] = {s.lo_j - c, s.lo_j - c, s.hi_j - c, s.hi_j - c};
  // Each line's running integrals at samples m = first .. first + count - 1 (t = m x step): 0
  // above them, the last one's below.
  std::vector<double> running;
  std::vector<int> first, count;
  std::vector<std::size_t> offset;
  for (int k = 0; k < study.views(); ++k) {
    const double theta = angleRadians(study.angleDegrees(k));
    const double cs = std::cos(theta), sn = std::sin(theta);
    double u0 = 1e300, u1 = -1e300;
    for (int q = 0; q < 4; ++q) {
      const double u = cx[q] * cs + cy[q] * sn;
      u0 = std::min(u0, u);
      u1 = std::max(u1, u);
    }
    // Lines at whole u (the bins' centres), samples at whole multiples of the step in t.
    const int uLo = int(std::floor(u0)), lines = int(std::ceil((u1 - uLo) / kLine)) + 1;
    running.clear();
    first.assign(std::size_t(lines), 0);
    count.assign(std::size_t(lines), 0);
    offset.assign(std::size_t(lines), 0);
    for (int l = 0; l < lines; ++l) {
      const double u = uLo + l * kLine;
      // The point at t, in pixel indices: (u cs + t sn + c, u sn - t cs + c).
      const double ai = u * cs + c, aj = u * sn + c;
      double t0 = -1e300, t1 = 1e300;
      clip(ai, sn, s.lo_i, s.hi_i, t0, t1);
      clip(aj, -cs, s.lo_j, s.hi_j, t0, t1);
      if (t0 > t1) continue;
      const int mA = int(std::ceil(t0 / kStep)), mB = int(std::floor(t1 / kStep));
      if (mA > mB) continue;
      // From the first sample above the box (0) down to the first below it.
      first[std::size_t(l)] = mA - 1;
      count[std::size_t(l)] = mB - mA + 3;
      offset[std::size_t(l)] = running.size();
      running.resize(running.size() + std::size_t(mB - mA + 3));
      double* g = running.data() + offset[std::size_t(l)];
      g[mB - mA + 2] = 0;
      double previous = 0, sum = 0;
      for (int m = mB; m >= mA; --m) {
        const double t = m * kStep;
        const double fi = ai + t * sn, fj = aj - t * cs;
        const double here = s.inBox(fi, fj) ? s.inside(fi, fj) : 0.0;
        sum += kStep * (here + previous) / 2;
        g[m - mA + 1] = sum;
        previous = here;
      }
      g[0] = sum + kStep * previous / 2;
    }
    auto along = [&](int l, double fm) {
      if (l < 0 || l >= lines || count[std::size_t(l)] == 0) return 0.0;
      const double* g = running.data() + offset[std::size_t(l)];
      const double at = fm - first[std::size_t(l)];
      if (at <= 0) return g[0];
      if (at >= count[std::size_t(l)] - 1) return 0.0;
      const int m = int(at);
      const double d = at - m;
      return (1 - d) * g[m] + d * g[m + 1];
    };
    double* lk = out[std::size_t(k)].data();
    for (int i = 0; i < b; ++i) {
      const double x = i - c;
      for (int j = 0; j < b; ++j) {
        const double y = j - c;
        const double fu = (x * cs + y * sn - uLo) / kLine, fm = (x * sn - y * cs) / kStep;
        const int l = int(std::floor(fu));
        const double a = fu - l;
        lk[std::size_t(i) * b + j] = (1 - a) * along(l, fm) + a * along(l + 1, fm);
      }
    }
  }
  return out;
}

ViewWeights muMapWeights(const ProjectionStudy& study, const std::vector<double>& mu) {
  ViewWeights w = muMapPaths(study, mu);
  for (std::vector<double>& wk : w)
    for (double& v : wk) v = v > 0 ? std::exp(-v) : 1.0;
  return w;
}

std::vector<double> muMapChangFactors(const ViewWeights& w, const std::vector<double>& mu) {
  std::vector<double> f(mu.size(), 1.0);
  for (const std::vector<double>& wk : w)
    if (wk.size() != mu.size()) return f;
  for (std::size_t p = 0; p < mu.size(); ++p) {
    if (!(mu[p] > 0)) continue;
    double sum = 0;
    for (const std::vector<double>& wk : w) sum += wk[p];
    if (sum > 0) f[p] = double(w.size()) / sum;
  }
  return f;
}

std::vector<double> muMapRayProjection(const ProjectionStudy& study, const std::vector<double>& f,
                                       const std::vector<double>& mu) {
  const int b = study.bins(), c = b / 2;
  const std::size_t pixels = std::size_t(b) * b;
  std::vector<double> out(std::size_t(study.views()) * b, 0.0);
  if (f.size() != pixels || mu.size() != pixels) return out;
  Sampler activity, matter;  // without matter its box is empty: 0 everywhere
  if (!samplerOf(f, b, activity)) return out;
  samplerOf(mu, b, matter);
  const double h = kStep, reach = 0.75 * b;
  for (int k = 0; k < study.views(); ++k) {
    const double theta = angleRadians(study.angleDegrees(k));
    const double cs = std::cos(theta), sn = std::sin(theta);
    for (int n = 0; n < b; ++n) {
      const double u = n - c;
      // From the detector inwards: each sample is reached through half a step of its own mu.
      double sum = 0, surviving = 1;
      for (double t = reach; t > -reach; t -= h) {
        const double fi = u * cs + t * sn + c, fj = u * sn - t * cs + c;
        const double m = matter.at(fi, fj);
        const double half = m != 0 ? std::exp(-m * h / 2) : 1.0;
        surviving *= half;
        sum += activity.at(fi, fj) * surviving * h;
        surviving *= half;
      }
      out[std::size_t(k) * b + n] = sum;
    }
  }
  return out;
}

std::vector<double> muMapChangCorrected(const ProjectionStudy& study, int row,
                                        const std::vector<double>& fbp, ReconFilter filter,
                                        const std::vector<double>& mu, int iterations) {
  const int b = study.bins();
  const std::size_t pixels = std::size_t(b) * b;
  std::vector<double> f(fbp.size(), 0.0);
  if (fbp.size() != pixels || mu.size() != pixels) return f;
  const std::vector<double> factors = muMapChangFactors(muMapWeights(study, mu), mu);
  for (std::size_t p = 0; p < f.size(); ++p) f[p] = fbp[p] * factors[p];
  if (std::none_of(mu.begin(), mu.end(), [](double m) { return m > 0; })) return f;
  const std::vector<double> y = sinogramOf(study, row);
  const std::vector<double> ra = reconKernelFor(filter, b);
  const double toCounts = 3.14159265358979323846 / study.views();
  std::vector<double> error(y.size()), filtered(y.size()), bp;
  for (int it = 0; it < iterations; ++it) {
    const std::vector<double> p = muMapRayProjection(study, f, mu);
    for (std::size_t n = 0; n < y.size(); ++n) error[n] = y[n] - p[n];
    for (int k = 0; k < study.views(); ++k)
      convolveRowN(error.data() + std::size_t(k) * b, filtered.data() + std::size_t(k) * b, ra, b);
    backProject(study, filtered, {}, bp);
    for (std::size_t q = 0; q < f.size(); ++q) f[q] += bp[q] * factors[q] * toCounts;
  }
  return f;
}

}  // namespace sinora
