#include "imaging/phantom_scatter.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "imaging/random.h"

namespace sinora {

namespace {

constexpr double kTruePi = 3.14159265358979323846;
constexpr int kTable = 8192;     // cos theta samples of each window's angular function
constexpr int kDirections = 32;  // view directions the scatter source is computed for
constexpr double kCellMm = 16;   // the coarse grid's cells, about
constexpr int kHistories = 40000;  // of the Monte Carlo for the higher orders

// g(cos theta) = d sigma / d Omega (mm^2 / sr) x the window's acceptance of E'(theta), for the
// scattered energies in [eLow, eHigh) only (a window's photons are taken in two energy groups,
// each attenuated on its way out at its own mean energy).
struct AngularTable {
  std::vector<float> g;   // kTable + 1 samples over cos theta in [-1, 1]
  double mean = 0;        // over the sphere: (1/2) integral of g d cos
  double meanEnergy = 0;  // of the accepted scattered photons, keV
  std::size_t window = 0;
  // Nearest sample: the table is fine enough.
  float at(double c) const { return g[std::size_t((c + 1) * (0.5 * kTable) + 0.5)]; }
};

AngularTable angularTable(double e, const EnergyWindow& w, double resolution, double eLow = 0,
                          double eHigh = 1e300) {
  AngularTable t;
  t.g.resize(kTable + 1);
  double sum = 0, energy = 0;
  for (int i = 0; i <= kTable; ++i) {
    const double c = -1 + 2.0 * i / kTable, theta = std::acos(std::clamp(c, -1.0, 1.0));
    const double scattered = comptonEnergy(e, theta);
    const bool in = scattered >= eLow && scattered < eHigh;
    const double v = in ? kleinNishina(e, theta) * 100 * windowAcceptance(scattered, w.lowerKeV, w.upperKeV, resolution) : 0;
    t.g[std::size_t(i)] = float(v);
    const double weight = (i == 0 || i == kTable) ? 0.5 : 1.0;
    sum += weight * v;
    energy += weight * v * scattered;
  }
  t.mean = sum / kTable;  // (1/2) x integral over [-1, 1] with step 2 / kTable
  t.meanEnergy = sum > 0 ? energy / sum : e;
  return t;
}

// A window's two energy groups, split where half its scattered photons lie above.
void addGroups(double e, const EnergyWindow& w, double resolution, std::size_t window,
               std::vector<AngularTable>& out) {
  const AngularTable all = angularTable(e, w, resolution);
  double total = 0;
  for (float v : all.g) total += v;
  double run = 0, split = e;
  for (int i = kTable; i >= 0; --i) {  // from forward (highest energy) backwards
    run += all.g[std::size_t(i)];
    if (run >= total / 2) {
      split = comptonEnergy(e, std::acos(-1 + 2.0 * i / kTable));
      break;
    }
  }
  for (AngularTable t : {angularTable(e, w, resolution, split), angularTable(e, w, resolution, 0, split)}) {
    t.window = window;
    out.push_back(std::move(t));
  }
}

// E[e^{-mu r} / r^2] for r between two points uniform in cells of side h whose centres differ by
// o x h: the difference vector has the density prod_i tri(v_i - o_i h), tri(x) = (1 - |x| / h) / h.
double cellPairFactor(int ox, int oy, int oz, double h, double mu) {
  if (ox == 0 && oy == 0 && oz == 0) {
    // Same cell: in polar form, integral over directions and r of e^{-mu r} prod (1 - r |w_i| / h).
    const int nt = 48, np = 96, nr = 200;
    double sum = 0;
    for (int a = 0; a < nt; ++a) {
      const double ct = -1 + (a + 0.5) * 2.0 / nt, st = std::sqrt(1 - ct * ct);
      for (int b = 0; b < np; ++b) {
        const double ph = (b + 0.5) * 2 * kTruePi / np;
        const double wx = std::fabs(st * std::cos(ph)), wy = std::fabs(st * std::sin(ph)), wz = std::fabs(ct);
        const double rmax = h / std::max({wx, wy, wz});
        double line = 0;
        for (int c = 0; c < nr; ++c) {
          const double r = (c + 0.5) * rmax / nr;
          line += std::exp(-mu * r) * (1 - r * wx / h) * (1 - r * wy / h) * (1 - r * wz / h);
        }
        sum += line * rmax / nr;
      }
    }
    return sum * (2.0 / nt) * (2 * kTruePi / np) / (h * h * h);
  }
  const int n = 12;
  double sum = 0, weights = 0;
  for (int a = 0; a < 2 * n; ++a) {
    const double fx = (a + 0.5) / n - 1, wx = 1 - std::fabs(fx);
    for (int b = 0; b < 2 * n; ++b) {
      const double fy = (b + 0.5) / n - 1, wy = 1 - std::fabs(fy);
      for (int c = 0; c < 2 * n; ++c) {
        const double fz = (c + 0.5) / n - 1, wz = 1 - std::fabs(fz);
        const double x = (ox + fx) * h, y = (oy + fy) * h, z = (oz + fz) * h;
        const double r2 = x * x + y * y + z * z, w = wx * wy * wz;
        sum += w * std::exp(-mu * std::sqrt(r2)) / r2;
        weights += w;
      }
    }
  }
  return sum / weights;
}

template <typename F>
void inThreads(int threads, F f) {
  threads = std::max(1, threads);
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(f, t, threads);
  f(0, threads);
  for (std::thread& t : pool) t.join();
}

}  // namespace

std::vector<double> higherOrderRatio(double e0, const std::vector<EnergyWindow>& windows,
                                     double resolution, double radiusMm, double halfLengthMm,
                                     double density, int histories) {
  const std::size_t nw = windows.size();
  std::vector<double> single(nw, 0.0), multiple(nw, 0.0);
  if (!(density > 0) || !(radiusMm > 0) || !(halfLengthMm > 0)) return std::vector<double>(nw, 0.0);
  Random rng(20261208);
  auto mu = [&](double e) { return density * waterMu(e) / 10; };  // per mm
  const double ne = density * kWaterElectronsPerCm3 / 1000;
  const double r2max = radiusMm * radiusMm;
  // The path to the detector, which lies along -y, from (x, y) inside the cylinder.
  auto toDetector = [&](double x, double y) { return y + std::sqrt(std::max(0.0, r2max - x * x)); };
  for (int h = 0; h < histories; ++h) {
    double x, y;
    do {
      x = (2 * rng.uniform() - 1) * radiusMm;
      y = (2 * rng.uniform() - 1) * radiusMm;
    } while (x * x + y * y > r2max);
    double z = (2 * rng.uniform() - 1) * halfLengthMm, e = e0, w = 1;
    double c = 2 * rng.uniform() - 1, ph = 2 * kTruePi * rng.uniform(), s = std::sqrt(1 - c * c);
    double dx = s * std::cos(ph), dy = s * std::sin(ph), dz = c;
    for (int order = 1; order <= 8; ++order) {
      const double m = mu(e), t = -std::log(1 - rng.uniform()) / m;
      x += t * dx;
      y += t * dy;
      z += t * dz;
      if (x * x + y * y > r2max || std::fabs(z) > halfLengthMm) break;
      const double total = kleinNishinaTotal(e) * 100;  // mm^2
      w *= std::min(1.0, ne * total / m);               // survives as a Compton scatter
      // Forced detection: the share that leaves towards the detector and reaches it.
      const double ct = -dy, theta = std::acos(std::clamp(ct, -1.0, 1.0));
      const double es = comptonEnergy(e, theta);
      const double reach = w * kleinNishina(e, theta) * 100 / total * std::exp(-mu(es) * toDetector(x, y));
      for (std::size_t k = 0; k < nw; ++k)
        (order == 1 ? single : multiple)[k] += reach * windowAcceptance(es, windows[k].lowerKeV, windows[k].upperKeV, resolution);
      // The next direction, from Klein-Nishina by rejection.
      double cc;
      const double top = kleinNishina(e, 0);
      do cc = 2 * rng.uniform() - 1;
      while (rng.uniform() * top > kleinNishina(e, std::acos(cc)));
      const double turn = 2 * kTruePi * rng.uniform(), sc = std::sqrt(std::max(0.0, 1 - cc * cc));
      double ax, ay, az;
      if (std::fabs(dz) < 0.99) {
        const double n = std::hypot(dx, dy);
        ax = -dy / n, ay = dx / n, az = 0;
      } else {
        const double n = std::hypot(dz, dy);
        ax = 0, ay = -dz / n, az = dy / n;
      }
      const double bx = dy * az - dz * ay, by = dz * ax - dx * az, bz = dx * ay - dy * ax;
      const double nx = cc * dx + sc * (std::cos(turn) * ax + std::sin(turn) * bx);
      const double ny = cc * dy + sc * (std::cos(turn) * ay + std::sin(turn) * by);
      const double nz = cc * dz + sc * (std::cos(turn) * az + std::sin(turn) * bz);
      dx = nx, dy = ny, dz = nz;
      e = comptonEnergy(e, std::acos(std::clamp(cc, -1.0, 1.0)));
    }
  }
  std::vector<double> ratio(nw, 0.0);
  for (std::size_t k = 0; k < nw; ++k) ratio[k] = single[k] > 0 ? multiple[k] / single[k] : 0.0;
  return ratio;
}

double scatterIntoWindow(double e, const EnergyWindow& w, double resolution) {
  const AngularTable t = angularTable(e, w, resolution);
  return kWaterElectronsPerCm3 / 1000 * 4 * kTruePi * t.mean;
}

std::vector<std::vector<double>> simulateScatter(const ScatterInput& in, const Collimator& col,
                                                 int threads) {
  const PhantomSettings& s = *in.settings;
  const PhantomObject& o = *in.object;
  const int b = s.matrix, rows = s.matrix, views = int(in.anglesDegrees.size());
  const double p = s.pixelMm, c = b / 2;
  const std::size_t windows = in.windows.size();
  std::vector<std::vector<double>> out(windows, std::vector<double>(std::size_t(views) * rows * b, 0.0));
  if (o.outline < 0 || !(in.density > 0) || windows == 0) return out;
  const PhantomPart& outline = o.parts[std::size_t(o.outline)];

  // The coarse grid: cells of f x f x f voxels.
  const int f = std::max(1, std::max(int(std::lround(kCellMm / p)), (b + 23) / 24));
  const int n = (b + f - 1) / f;
  const double h = f * p;
  auto centre = [&](int ci) { return (ci * f + 0.5 * f - c - 0.5) * p; };  // mm
  const std::size_t cells = std::size_t(n) * n * n;
  std::vector<double> activity(cells, 0.0), electrons(cells, 0.0);  // per cell; per mm^3
  const std::vector<std::vector<float>>& truth = *in.truth;
  for (int r = 0; r < rows; ++r)
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j) {
        const float a = truth[std::size_t(r)][std::size_t(i) * b + j];
        if (a > 0) activity[(std::size_t(i / f) * n + std::size_t(j / f)) * n + std::size_t(r / f)] += a * p * p * p;
      }
  const double ne = in.density * kWaterElectronsPerCm3 / 1000;  // per mm^3
  const int sub = 4;
  for (int ci = 0; ci < n; ++ci)
    for (int cj = 0; cj < n; ++cj)
      for (int ck = 0; ck < n; ++ck) {
        int inside = 0;
        for (int a = 0; a < sub; ++a)
          for (int e = 0; e < sub; ++e)
            for (int g = 0; g < sub; ++g)
              inside += insidePart(outline, centre(ci) + ((a + 0.5) / sub - 0.5) * h,
                                   centre(cj) + ((e + 0.5) / sub - 0.5) * h,
                                   centre(ck) + ((g + 0.5) / sub - 0.5) * h);
        electrons[(std::size_t(ci) * n + cj) * n + ck] = ne * inside / (sub * sub * sub);
      }
  std::vector<int> sources, targets;
  for (std::size_t q = 0; q < cells; ++q) {
    if (activity[q] > 0) sources.push_back(int(q));
    if (electrons[q] > 0) targets.push_back(int(q));
  }
  const double mu0 = in.density * waterMu(in.photonKeV) / 10;  // per mm
  std::vector<AngularTable> tables;
  for (std::size_t w = 0; w < windows; ++w) addGroups(in.photonKeV, in.windows[w], s.energyResolutionPercent, w, tables);
  // Near pairs: the kernel averaged over both cells (it is singular at r = 0).
  constexpr int kNear = 4;
  double nearFactor[kNear + 1][kNear + 1][kNear + 1];
  for (int x = 0; x <= kNear; ++x)
    for (int y = 0; y <= kNear; ++y)
      for (int z = 0; z <= kNear; ++z) nearFactor[x][y][z] = cellPairFactor(x, y, z, h, mu0);

  // The scatter source of each target cell for each window and direction d (the detector lies
  // along (sin phi_d, -cos phi_d), phi_d = d x 360 / kDirections): 4 pi x the photons scattered
  // towards the detector per steradian and mm^3, i.e. an isotropic activity per mm^3.
  const std::size_t nw = tables.size();  // energy groups of all windows
  std::vector<double> source(targets.size() * nw * kDirections, 0.0);
  double dirSin[kDirections], dirCos[kDirections];
  for (int d = 0; d < kDirections; ++d) {
    dirSin[d] = std::sin(2 * kTruePi * d / kDirections);
    dirCos[d] = std::cos(2 * kTruePi * d / kDirections);
  }
  inThreads(threads, [&](int part, int parts) {
    std::vector<double> acc(nw * kDirections);
    for (std::size_t tq = std::size_t(part); tq < targets.size(); tq += std::size_t(parts)) {
      const int q = targets[tq];
      const int qi = q / (n * n), qj = (q / n) % n, qk = q % n;
      std::fill(acc.begin(), acc.end(), 0.0);
      for (int sp : sources) {
        const int si = sp / (n * n), sj = (sp / n) % n, sk = sp % n;
        const int ox = qi - si, oy = qj - sj, oz = qk - sk;
        const double a = activity[std::size_t(sp)];
        if (ox == 0 && oy == 0 && oz == 0) {
          const double k0 = a * nearFactor[0][0][0];
          for (std::size_t w = 0; w < nw; ++w)
            for (int d = 0; d < kDirections; ++d) acc[w * kDirections + std::size_t(d)] += k0 * tables[w].mean;
          continue;
        }
        const double x = ox * h, y = oy * h, z = oz * h;
        const double r = std::sqrt(x * x + y * y + z * z);
        const int ax = std::abs(ox), ay = std::abs(oy), az = std::abs(oz);
        const double radial = ax <= kNear && ay <= kNear && az <= kNear ? nearFactor[ax][ay][az]
                                                                        : std::exp(-mu0 * r) / (r * r);
        const double k0 = a * radial, ux = x / r, uy = y / r;
        // Direction d + kDirections / 2 looks the other way: cos theta changes sign.
        constexpr int halfTurn = kDirections / 2;
        for (int d = 0; d < halfTurn; ++d) {
          const double cosTheta = ux * dirSin[d] - uy * dirCos[d];
          const std::size_t i = std::size_t((cosTheta + 1) * (0.5 * kTable) + 0.5), j = kTable - i;
          for (std::size_t w = 0; w < nw; ++w) {
            const float* g = tables[w].g.data();
            acc[w * kDirections + std::size_t(d)] += k0 * g[i];
            acc[w * kDirections + std::size_t(d + halfTurn)] += k0 * g[j];
          }
        }
      }
      const double e = electrons[std::size_t(q)];
      for (std::size_t m = 0; m < acc.size(); ++m) source[tq * acc.size() + m] = e * acc[m];
    }
  });

  // Photons scattered more than once: the single-scatter source of each window scaled by the
  // ratio of higher orders to single scatter that a forced-detection Monte Carlo finds in the
  // water cylinder of the object's outline.
  const std::vector<double> higher =
      higherOrderRatio(in.photonKeV, in.windows, s.energyResolutionPercent, std::sqrt(outline.ax * outline.ay),
                       outline.az, in.density, kHistories);
  for (std::size_t tq = 0; tq < targets.size(); ++tq)
    for (std::size_t w = 0; w < nw; ++w)
      for (int d = 0; d < kDirections; ++d)
        source[(tq * nw + w) * kDirections + std::size_t(d)] *= 1 + higher[tables[w].window];

  // Projection of each window's source at each view: on a coarse detector (one ray per cell
  // column and row, steps of half a cell, trilinear in the grid), attenuated by the matter
  // between the scatter and the detector at the window's mean scattered energy, then spread
  // bilinearly over the detector's pixels and blurred by the collimator at the centre.
  double reach = 0;
  for (const PhantomPart& part : o.parts) reach = std::max(reach, std::hypot(part.cx, part.cy) + std::max(part.ax, part.ay));
  reach = std::min(reach + h, c * p * 1.5);
  const int steps = std::max(2, int(std::ceil(2 * reach / (h / 2))));
  const double dt = 2 * reach / steps;
  const double fwhm = col.fwhmMm(s.radiusMm) / p;
  const double sigma = fwhm / 2.3548200450309493;
  const int half = sigma > 0.3 ? std::max(1, int(std::ceil(3 * sigma))) : 0;
  std::vector<double> taps(std::size_t(2 * half + 1), 1.0);
  if (half > 0) {
    double sum = 0;
    for (int d = -half; d <= half; ++d) sum += taps[std::size_t(d + half)] = std::exp(-0.5 * d * d / (sigma * sigma));
    for (double& t : taps) t /= sum;
  }
  std::vector<double> muW(nw);
  for (std::size_t w = 0; w < nw; ++w) muW[w] = in.density * waterMu(tables[w].meanEnergy) / 10;
  inThreads(threads, [&](int part, int parts) {
    std::vector<double> grid(cells), coarse(std::size_t(n) * n), fine(std::size_t(rows) * b), tmp(fine.size());
    for (int k = part; k < views; k += parts) {
      const double phi = in.anglesDegrees[std::size_t(k)] * kTruePi / 180;
      const double cs = std::cos(phi), sn = std::sin(phi);
      double turn = std::fmod(in.anglesDegrees[std::size_t(k)] / 360 * kDirections, double(kDirections));
      if (turn < 0) turn += kDirections;
      const int d0 = int(turn) % kDirections, d1 = (d0 + 1) % kDirections;
      const double fd = turn - std::floor(turn);
      for (std::size_t window = 0; window < windows; ++window) {
      std::fill(coarse.begin(), coarse.end(), 0.0);
      for (std::size_t w = 0; w < nw; ++w) {
        if (tables[w].window != window) continue;
        std::fill(grid.begin(), grid.end(), 0.0);
        for (std::size_t tq = 0; tq < targets.size(); ++tq) {
          const double* src = source.data() + (tq * nw + w) * kDirections;
          grid[std::size_t(targets[tq])] = (1 - fd) * src[d0] + fd * src[d1];
        }
        auto sample = [&](double x, double y, double z) {
          const double gx = (x + (c + 0.5) * p) / h - 0.5, gy = (y + (c + 0.5) * p) / h - 0.5,
                       gz = (z + (c + 0.5) * p) / h - 0.5;
          const int ix = int(std::floor(gx)), iy = int(std::floor(gy)), iz = int(std::floor(gz));
          const double fx = gx - ix, fy = gy - iy, fz = gz - iz;
          double v = 0;
          for (int a = 0; a < 2; ++a)
            for (int e = 0; e < 2; ++e)
              for (int g = 0; g < 2; ++g) {
                const int xi = ix + a, yi = iy + e, zi = iz + g;
                if (xi < 0 || yi < 0 || zi < 0 || xi >= n || yi >= n || zi >= n) continue;
                v += (a ? fx : 1 - fx) * (e ? fy : 1 - fy) * (g ? fz : 1 - fz) *
                     grid[(std::size_t(xi) * n + yi) * n + zi];
              }
          return v;
        };
        for (int cu = 0; cu < n; ++cu)
          for (int cz = 0; cz < n; ++cz) {
            const double u = centre(cu) - s.corPixels * p, z = centre(cz);
            double tin = 0, tout = 0;
            const bool through = partChord(outline, u, z, cs, sn, tin, tout);
            double sum = 0;
            for (int m = 0; m < steps; ++m) {
              const double t = -reach + (m + 0.5) * dt;
              const double v = sample(u * cs + t * sn, u * sn - t * cs, z);
              if (v == 0) continue;
              const double path = through && t < tout ? tout - std::max(t, tin) : 0;
              sum += v * std::exp(-muW[w] * path) * dt;
            }
            coarse[std::size_t(cz) * n + cu] += sum;
          }
      }
        // Bilinear onto the pixels: coarse sample cu sits at fine position cu f + (f - 1) / 2.
        auto coord = [&](int fineIndex, int& lo, double& frac) {
          const double g = (fineIndex - 0.5 * (f - 1)) / f;
          lo = std::clamp(int(std::floor(g)), 0, std::max(0, n - 2));
          frac = n < 2 ? 0 : std::clamp(g - lo, 0.0, 1.0);
        };
        for (int r = 0; r < rows; ++r) {
          int zr;
          double fz;
          coord(r, zr, fz);
          for (int bn = 0; bn < b; ++bn) {
            int ur;
            double fu;
            coord(bn, ur, fu);
            const int ur1 = std::min(n - 1, ur + 1), zr1 = std::min(n - 1, zr + 1);
            fine[std::size_t(r) * b + bn] =
                (1 - fz) * ((1 - fu) * coarse[std::size_t(zr) * n + ur] + fu * coarse[std::size_t(zr) * n + ur1]) +
                fz * ((1 - fu) * coarse[std::size_t(zr1) * n + ur] + fu * coarse[std::size_t(zr1) * n + ur1]);
          }
        }
        double* dst = out[window].data() + std::size_t(k) * rows * b;
        if (half == 0) {
          std::copy(fine.begin(), fine.end(), dst);
          continue;
        }
        for (int r = 0; r < rows; ++r)
          for (int bn = 0; bn < b; ++bn) {
            double sum = 0;
            for (int d = std::max(-half, -bn); d <= std::min(half, b - 1 - bn); ++d)
              sum += taps[std::size_t(d + half)] * fine[std::size_t(r) * b + bn + d];
            tmp[std::size_t(r) * b + bn] = sum;
          }
        for (int r = 0; r < rows; ++r)
          for (int bn = 0; bn < b; ++bn) {
            double sum = 0;
            for (int d = std::max(-half, -r); d <= std::min(half, rows - 1 - r); ++d)
              sum += taps[std::size_t(d + half)] * tmp[std::size_t(r + d) * b + bn];
            dst[std::size_t(r) * b + bn] = sum;
          }
      }
    }
  });
  return out;
}

}  // namespace sinora
