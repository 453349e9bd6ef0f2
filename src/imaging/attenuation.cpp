#include "imaging/attenuation.h"

#include <algorithm>
#include <cmath>

#include "imaging/geometry.h"
#include "imaging/iterative.h"
#include "imaging/phantom.h"
#include "imaging/slices.h"

namespace sinora {

bool Outline::contains(double x, double y) const {
  if (!present) return false;
  const double c = std::cos(phi), s = std::sin(phi);
  const double dx = x - cx, dy = y - cy;
  const double lx = (dx * c + dy * s) / a, ly = (-dx * s + dy * c) / b;
  return lx * lx + ly * ly <= 1;
}

Outline phantomOutline(const ProjectionStudy& study, int row) {
  Outline o;
  const PhantomInfo* info = phantomInfo(study);
  if (!info || info->object.outline < 0) return o;
  const PhantomPart& p = info->object.parts[std::size_t(info->object.outline)];
  const double pixel = info->settings.pixelMm;
  const double z = (row - study.rows() / 2) * pixel;
  double scale = 1;
  if (p.shape == PhantomPart::Cylinder) {
    if (std::fabs(z - p.cz) > p.az) return o;
  } else {
    const double w = (z - p.cz) / p.az;
    if (w * w >= 1) return o;
    scale = std::sqrt(1 - w * w);
  }
  o.present = true;
  o.cx = p.cx / pixel;
  o.cy = p.cy / pixel;
  o.a = p.ax * scale / pixel;
  o.b = p.ay * scale / pixel;
  o.phi = p.phi;
  return o;
}

Outline thresholdOutline(const std::vector<double>& slice, int bins, double fraction) {
  Outline o;
  if (slice.size() != std::size_t(bins) * bins) return o;
  const double top = *std::max_element(slice.begin(), slice.end());
  if (!(top > 0)) return o;
  const double level = top * std::clamp(fraction, 0.0, 1.0);
  const int c = bins / 2;
  double n = 0, sx = 0, sy = 0;
  for (int i = 0; i < bins; ++i)
    for (int j = 0; j < bins; ++j)
      if (slice[std::size_t(i) * bins + j] >= level && slice[std::size_t(i) * bins + j] > 0) {
        n += 1;
        sx += i - c;
        sy += j - c;
      }
  if (n < 3) return o;
  const double mx = sx / n, my = sy / n;
  double xx = 0, yy = 0, xy = 0;
  for (int i = 0; i < bins; ++i)
    for (int j = 0; j < bins; ++j)
      if (slice[std::size_t(i) * bins + j] >= level && slice[std::size_t(i) * bins + j] > 0) {
        const double dx = i - c - mx, dy = j - c - my;
        xx += dx * dx;
        yy += dy * dy;
        xy += dx * dy;
      }
  xx /= n;
  yy /= n;
  xy /= n;
  // A uniform ellipse of semi-axes a, b has second moments a^2 / 4 and b^2 / 4 along its axes.
  const double mean = (xx + yy) / 2, spread = std::sqrt(std::max(0.0, (xx - yy) * (xx - yy) / 4 + xy * xy));
  const double l1 = mean + spread, l2 = std::max(1e-9, mean - spread);
  o.present = true;
  o.cx = mx;
  o.cy = my;
  o.a = 2 * std::sqrt(l1);
  o.b = 2 * std::sqrt(l2);
  o.phi = 0.5 * std::atan2(2 * xy, xx - yy);
  // The moments' ellipse, scaled to the area of the pixels it stands for.
  const double k = std::sqrt(n / (3.14159265358979323846 * o.a * o.b));
  o.a *= k;
  o.b *= k;
  return o;
}

double pathToDetector(const Outline& o, double x, double y, double theta) {
  if (!o.present) return 0;
  const double c = std::cos(o.phi), s = std::sin(o.phi);
  const double dx = x - o.cx, dy = y - o.cy;
  const double ex = std::sin(theta), ey = -std::cos(theta);
  const double qx = (dx * c + dy * s) / o.a, qy = (-dx * s + dy * c) / o.b;
  const double vx = (ex * c + ey * s) / o.a, vy = (-ex * s + ey * c) / o.b;
  const double aa = vx * vx + vy * vy, bb = qx * vx + qy * vy, kk = qx * qx + qy * qy - 1;
  const double disc = bb * bb - aa * kk;
  if (disc <= 0) return 0;
  const double root = std::sqrt(disc);
  const double t0 = (-bb - root) / aa, t1 = (-bb + root) / aa;
  return std::max(0.0, t1 - std::max(0.0, t0));
}

std::vector<std::vector<double>> attenuationWeights(const ProjectionStudy& study,
                                                     const Outline& outline, double mu) {
  const int b = study.bins(), c = b / 2;
  std::vector<std::vector<double>> w(std::size_t(study.views()),
                                     std::vector<double>(std::size_t(b) * b, 1.0));
  if (!outline.present || !(mu > 0)) return w;
  for (int k = 0; k < study.views(); ++k) {
    const double theta = angleRadians(study.angleDegrees(k));
    double* wk = w[std::size_t(k)].data();
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j) {
        const double length = pathToDetector(outline, i - c, j - c, theta);
        if (length > 0) wk[std::size_t(i) * b + j] = std::exp(-mu * length);
      }
  }
  return w;
}

std::vector<double> changFactors(const ProjectionStudy& study, const Outline& outline, double mu) {
  const int b = study.bins(), c = b / 2;
  std::vector<double> f(std::size_t(b) * b, 1.0);
  if (!outline.present || !(mu > 0)) return f;
  std::vector<double> theta(std::size_t(study.views()));
  for (int k = 0; k < study.views(); ++k) theta[std::size_t(k)] = angleRadians(study.angleDegrees(k));
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j) {
      if (!outline.contains(i - c, j - c)) continue;
      double sum = 0;
      for (int k = 0; k < study.views(); ++k)
        sum += std::exp(-mu * pathToDetector(outline, i - c, j - c, theta[std::size_t(k)]));
      if (sum > 0) f[std::size_t(i) * b + j] = study.views() / sum;
    }
  return f;
}

std::vector<double> attenuatedRayProjection(const ProjectionStudy& study,
                                            const std::vector<double>& f, const Outline& outline,
                                            double mu) {
  const int b = study.bins(), c = b / 2;
  std::vector<double> out(std::size_t(study.views()) * b, 0.0);
  if (f.size() != std::size_t(b) * b) return out;
  const double h = 0.5, reach = 0.75 * b;
  const double stepLoss = std::exp(-std::max(0.0, mu) * h);
  auto sample = [&](double x, double y) {
    const double fi = x + c, fj = y + c;
    const int i = int(std::floor(fi)), j = int(std::floor(fj));
    if (i < -1 || j < -1 || i >= b || j >= b) return 0.0;
    const double a = fi - i, d = fj - j;
    auto at = [&](int ii, int jj) { return ii >= 0 && ii < b && jj >= 0 && jj < b ? f[std::size_t(ii) * b + jj] : 0.0; };
    return (1 - a) * (1 - d) * at(i, j) + a * (1 - d) * at(i + 1, j) + (1 - a) * d * at(i, j + 1) +
           a * d * at(i + 1, j + 1);
  };
  for (int k = 0; k < study.views(); ++k) {
    const double theta = angleRadians(study.angleDegrees(k));
    const double cs = std::cos(theta), sn = std::sin(theta);
    for (int n = 0; n < b; ++n) {
      const double u = n - c;
      // From the detector inwards, so that the surviving fraction builds up step by step.
      double sum = 0, surviving = 1;
      for (double t = reach; t > -reach; t -= h) {
        const double x = u * cs + t * sn, y = u * sn - t * cs;
        const bool inside = outline.contains(x, y);
        if (inside) surviving *= std::sqrt(stepLoss);  // half a step to the sample
        sum += sample(x, y) * surviving * h;
        if (inside) surviving *= std::sqrt(stepLoss);
      }
      out[std::size_t(k) * b + n] = sum;
    }
  }
  return out;
}

std::vector<double> changCorrected(const ProjectionStudy& study, int row,
                                   const std::vector<double>& fbp, ReconFilter filter,
                                   const Outline& outline, double mu, int iterations) {
  const int b = study.bins();
  const std::vector<double> factors = changFactors(study, outline, mu);
  std::vector<double> f(fbp.size(), 0.0);
  if (fbp.size() != factors.size()) return f;
  for (std::size_t p = 0; p < f.size(); ++p) f[p] = fbp[p] * factors[p];
  if (!outline.present || !(mu > 0)) return f;
  const std::vector<double> y = sinogramOf(study, row);
  const std::vector<double> ra = reconKernelFor(filter, b);
  const double toCounts = 3.14159265358979323846 / study.views();
  std::vector<double> error(y.size()), filtered(y.size()), bp;
  for (int it = 0; it < iterations; ++it) {
    const std::vector<double> p = attenuatedRayProjection(study, f, outline, mu);
    for (std::size_t n = 0; n < y.size(); ++n) error[n] = y[n] - p[n];
    for (int k = 0; k < study.views(); ++k)
      convolveRowN(error.data() + std::size_t(k) * b, filtered.data() + std::size_t(k) * b, ra, b);
    backProject(study, filtered, {}, bp);
    for (std::size_t q = 0; q < f.size(); ++q) f[q] += bp[q] * factors[q] * toCounts;
  }
  return f;
}

}  // namespace sinora
