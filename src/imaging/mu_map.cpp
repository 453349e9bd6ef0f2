#include "imaging/mu_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "imaging/scatter.h"
#include "imaging/text.h"

namespace sinora {

namespace {

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// mm and keV, to one decimal.
std::string oneDecimal(double v) {
  char s[32];
  std::snprintf(s, sizeof s, "%.1f", v);
  return s;
}

}  // namespace

double CtVolume::sample(double x, double y, double z) const {
  if (columns < 1 || rows < 1 || slices < 1) return -1000;
  const double d[3] = {x - origin[0], y - origin[1], z - origin[2]};
  double u = dot(d, rowDir) / columnMm, v = dot(d, columnDir) / rowMm, w = dot(d, normal) / sliceMm;
  // Half a voxel beyond the edge centres still belongs to the edge voxels.
  if (!(u >= -0.5 && u <= columns - 0.5 && v >= -0.5 && v <= rows - 0.5 && w >= -0.5 && w <= slices - 0.5))
    return -1000;
  u = std::clamp(u, 0.0, double(columns - 1));
  v = std::clamp(v, 0.0, double(rows - 1));
  w = std::clamp(w, 0.0, double(slices - 1));
  const int i0 = std::min(int(u), std::max(columns - 2, 0)), j0 = std::min(int(v), std::max(rows - 2, 0)),
            k0 = std::min(int(w), std::max(slices - 2, 0));
  const int i1 = std::min(i0 + 1, columns - 1), j1 = std::min(j0 + 1, rows - 1), k1 = std::min(k0 + 1, slices - 1);
  const double fu = u - i0, fv = v - j0, fw = w - k0;
  auto plane = [&](int k) {
    const double a = hu_at(i0, j0, k) + fu * (hu_at(i1, j0, k) - hu_at(i0, j0, k));
    const double b = hu_at(i0, j1, k) + fu * (hu_at(i1, j1, k) - hu_at(i0, j1, k));
    return a + fv * (b - a);
  };
  const double p0 = plane(k0);
  return fw > 0 ? p0 + fw * (plane(k1) - p0) : p0;
}

void CtVolume::reach(double* first, double* last) const {
  *first = dot(origin, normal) - sliceMm / 2;
  *last = *first + slices * sliceMm;
}

void gridReach(const SliceGrid& g, const double n[3], double* lo, double* hi) {
  *lo = INFINITY;
  *hi = -INFINITY;
  for (int c = 0; c < 8; ++c) {
    double p[3];
    g.point(c & 1 ? g.bins - 0.5 : -0.5, c & 2 ? g.bins - 0.5 : -0.5, c & 4 ? g.rows - 0.5 : -0.5, p);
    const double a = dot(p, n);
    *lo = std::min(*lo, a);
    *hi = std::max(*hi, a);
  }
}

bool sourceCovers(const AttenuationSource& source, const SliceGrid& grid) {
  const CtVolume* ct = source.ct.get();
  if (!ct || ct->slicesLeftOut == 0) return true;
  if (ct->frameOfReferenceUid.empty() || ct->frameOfReferenceUid != grid.frameOfReferenceUid) return false;
  double lo, hi, first, last;
  gridReach(grid, ct->normal, &lo, &hi);
  ct->reach(&first, &last);
  // Slices left out at an end matter only where the grid and its shifts reach past that end.
  const bool lowCut = first > ct->seriesReach[0] + ct->sliceMm / 2;
  const bool highCut = last < ct->seriesReach[1] - ct->sliceMm / 2;
  return (!lowCut || first <= lo - kMaxShiftMm) && (!highCut || last >= hi + kMaxShiftMm);
}

double corticalBoneMu(double e) {
  // Bone, Cortical (ICRU-44), mass attenuation with coherent scattering, cm^2/g (Hubbell and
  // Seltzer, NIST XCOM), times its density 1.92 g/cm^3.
  static const double kE[] = {30, 40, 50, 60, 80, 100, 150, 200, 300, 400, 500, 600, 800, 1000};
  static const double kMu[] = {1.331, 0.6655, 0.4242, 0.3148, 0.2229, 0.1855, 0.1480,
                               0.1309, 0.1113, 0.09908, 0.09022, 0.08332, 0.07308, 0.06566};
  constexpr int n = sizeof(kE) / sizeof(kE[0]);
  e = std::clamp(e, kE[0], kE[n - 1]);
  int i = 0;
  while (i < n - 2 && e > kE[i + 1]) ++i;
  const double f = std::log(e / kE[i]) / std::log(kE[i + 1] / kE[i]);
  return 1.92 * std::exp(std::log(kMu[i]) + f * std::log(kMu[i + 1] / kMu[i]));
}

double boneHu() { return 1000 * (corticalBoneMu(kCtEffectiveKeV) / waterMu(kCtEffectiveKeV) - 1); }

double huToMu(double hu, double keV) {
  const double water = waterMu(keV);
  if (!(hu > -1000)) return 0;  // NaN too
  if (hu <= 0) return water * (1 + hu / 1000);
  return water + hu * (corticalBoneMu(keV) - water) / boneHu();
}

std::vector<std::uint8_t> bodyMask(const float* hu, int b) {
  const std::size_t n = std::size_t(b) * b;
  std::vector<std::uint8_t> outside(n, 0);
  std::vector<int> stack;
  auto reach = [&](int i, int j) {
    const std::size_t at = std::size_t(i) * b + j;
    if (outside[at] || hu[at] > -400) return;  // NaN counts as air
    outside[at] = 1;
    stack.push_back(int(at));
  };
  for (int k = 0; k < b; ++k) {
    reach(k, 0);
    reach(k, b - 1);
    reach(0, k);
    reach(b - 1, k);
  }
  while (!stack.empty()) {
    const int at = stack.back();
    stack.pop_back();
    const int i = at / b, j = at % b;
    if (i > 0) reach(i - 1, j);
    if (i + 1 < b) reach(i + 1, j);
    if (j > 0) reach(i, j - 1);
    if (j + 1 < b) reach(i, j + 1);
  }
  for (std::uint8_t& v : outside) v = v ? 0 : 1;
  return outside;
}

std::vector<float> muFromHu(const std::vector<float>& hu, int b, const MuMapSettings& s) {
  std::vector<float> mu(hu.size());
  const std::size_t n = std::size_t(b) * b;
  if (n == 0) return mu;
  // The bilinear line's two slopes once for the energy.
  const double water = waterMu(s.keV), boneSlope = (corticalBoneMu(s.keV) - water) / boneHu();
  for (std::size_t row = 0; row * n < hu.size(); ++row) {
    const float* h = hu.data() + row * n;
    std::vector<std::uint8_t> body;
    if (s.lungAsTissue) body = bodyMask(h, b);
    for (std::size_t p = 0; p < n; ++p) {
      double v = h[p];
      if (s.boneAsTissue && v > kBoneAboveHu) v = 0;
      if (s.lungAsTissue && body[p] && v < kLungBelowHu) v = 0;
      mu[row * n + p] = float(!(v > -1000) ? 0 : v <= 0 ? water * (1 + v / 1000) : water + v * boneSlope);
    }
  }
  return mu;
}

std::vector<float> huFromMu(const std::vector<float>& perCm, double keV) {
  std::vector<float> hu(perCm.size());
  const double water = waterMu(keV), boneSlope = (corticalBoneMu(keV) - water) / boneHu();
  for (std::size_t p = 0; p < perCm.size(); ++p) {
    const double mu = perCm[p];
    hu[p] = float(!(mu > 0) ? -1000 : mu <= water ? 1000 * (mu / water - 1) : (mu - water) / boneSlope);
  }
  return hu;
}

namespace {

bool sharesFrame(const CtVolume& ct, const SliceGrid& grid) {
  return !ct.frameOfReferenceUid.empty() && ct.frameOfReferenceUid == grid.frameOfReferenceUid;
}

}  // namespace

std::string ctPlacementNote(const AttenuationSource& source, const SliceGrid& grid) {
  if (!source.ct) return {};
  if (sharesFrame(*source.ct, grid)) return "CT と SPECT の Frame of Reference UID が同じなので、DICOM の患者座標で位置を合わせました。";
  return grid.frameOfReferenceUid.empty()
             ? "収集に患者座標がないので、CT の中心を再構成の中心に置きました。ずらしで位置を合わせてください。"
             : "CT と SPECT の Frame of Reference UID が違うので、CT の中心を再構成の中心に置きました。ずらしで位置を合わせてください。";
}

MuMap makeMuMap(const AttenuationSource& source, const SliceGrid& grid, const MuMapSettings& s) {
  MuMap m;
  const int b = grid.bins, rows = grid.rows;
  m.bins = b;
  m.rows = rows;
  const std::size_t n = std::size_t(b) * b;
  if (const GivenMuMap* given = source.map.get()) {
    if (given->bins != b || given->slices != rows) {
      m.refusal = fill("μ マップの大きさ %1 x %1 x %2 が、この収集の再構成 %3 x %3 x %4 と合いません。",
                       {std::to_string(given->bins), std::to_string(given->slices), std::to_string(b),
                        std::to_string(rows)});
      return m;
    }
    // A given map moves by whole pixels and rows.
    const int di = int(std::lround(s.shiftMm[0] / grid.pixelMm)), dj = int(std::lround(s.shiftMm[1] / grid.pixelMm));
    const double rowMm = grid.rowStep[2];
    const int dr = rowMm != 0 ? int(std::lround(s.shiftMm[2] / rowMm)) : 0;
    m.perCm.assign(n * rows, 0.0f);
    for (int r = 0; r < rows; ++r)
      for (int i = 0; i < b; ++i)
        for (int j = 0; j < b; ++j) {
          const int fr = r - dr, fi = i - di, fj = j - dj;
          if (fr < 0 || fr >= rows || fi < 0 || fi >= b || fj < 0 || fj >= b) continue;
          m.perCm[std::size_t(r) * n + std::size_t(i) * b + j] = given->perCm[std::size_t(fr) * n + std::size_t(fi) * b + fj];
        }
    m.rowsCovered = rows;
    m.registered = true;
    m.offsetMm[0] = -di * grid.pixelMm;
    m.offsetMm[1] = -dj * grid.pixelMm;
    m.offsetMm[2] = -dr * rowMm;
    // Its own energy, else the one assumed; the lesson's mistakes act on the HU it stands for.
    const double own = given->keV > 0 ? given->keV : s.assumedMapKeV > 0 ? s.assumedMapKeV : s.keV;
    if (given->keV > 0)
      m.notes.push_back(fill("μ マップは %1 keV のものです（ヘッダのエネルギーウィンドウ）。", {oneDecimal(own)}));
    else
      m.notes.push_back(fill("μ マップのエネルギーがヘッダにないので、収集の光子エネルギー %1 keV のものと見なしました。", {oneDecimal(own)}));
    if (std::fabs(s.keV - own) > 1e-9 || s.lungAsTissue || s.boneAsTissue) {
      m.perCm = muFromHu(huFromMu(m.perCm, own), b, s);
      if (std::fabs(s.keV - own) > 1e-9)
        m.notes.push_back(fill("μ を %1 keV から %2 keV に換算しました（水と皮質骨の係数で）。", {oneDecimal(own), oneDecimal(s.keV)}));
    }
    return m;
  }
  const CtVolume* ct = source.ct.get();
  if (!ct || ct->hu.empty()) {
    m.refusal = "CT も μ マップも開かれていません。";
    return m;
  }
  m.registered = sharesFrame(*ct, grid);
  double offset[3] = {-s.shiftMm[0], -s.shiftMm[1], -s.shiftMm[2]};
  if (!m.registered) {
    double c[3], g[3];
    ct->centre(c);
    grid.point(b / 2, b / 2, (rows - 1) / 2.0, g);
    for (int k = 0; k < 3; ++k) offset[k] += c[k] - g[k];
  }
  m.notes.push_back(ctPlacementNote(source, grid));
  for (int k = 0; k < 3; ++k) m.offsetMm[k] = offset[k];
  m.hu.assign(n * rows, -1000.0f);
  // The CT's extent along its slices decides which rows it reaches.
  double first[3];
  for (int k = 0; k < 3; ++k) first[k] = ct->origin[k];
  for (int r = 0; r < rows; ++r) {
    double p[3];
    grid.point(b / 2, b / 2, r, p);
    const double w = ((p[0] + offset[0] - first[0]) * ct->normal[0] + (p[1] + offset[1] - first[1]) * ct->normal[1] +
                      (p[2] + offset[2] - first[2]) * ct->normal[2]) / ct->sliceMm;
    if (w >= -0.5 && w <= ct->slices - 0.5) ++m.rowsCovered;
    float* out = m.hu.data() + std::size_t(r) * n;
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j) {
        grid.point(i, j, r, p);
        out[std::size_t(i) * b + j] = float(ct->sample(p[0] + offset[0], p[1] + offset[1], p[2] + offset[2]));
      }
  }
  if (m.rowsCovered < rows)
    m.notes.push_back(fill("CT が届くのは %1 行のうち %2 行です。届かない行は空気（μ = 0）としました。",
                           {std::to_string(rows), std::to_string(m.rowsCovered)}));
  if (s.shiftMm[0] != 0 || s.shiftMm[1] != 0 || s.shiftMm[2] != 0)
    m.notes.push_back(fill("CT を x %1 mm、y %2 mm、z %3 mm ずらしました。", {oneDecimal(s.shiftMm[0]), oneDecimal(s.shiftMm[1]), oneDecimal(s.shiftMm[2])}));
  m.perCm = muFromHu(m.hu, b, s);
  return m;
}

PlaneImage attenuationPlane(const AttenuationSource& source, const SliceGrid& grid, const MuMapSettings&,
                            const MuMap& map, int plane, int index, int factor, bool mu) {
  PlaneImage out;
  const int b = grid.bins, rows = grid.rows;
  if (!map.ok() || map.bins != b || map.rows != rows || b < 1 || rows < 1) return out;
  const CtVolume* ct = source.ct.get();
  // The map itself is shown pixel by pixel: what the reconstruction uses.
  if (mu || !ct) factor = 1;
  factor = std::clamp(factor, 1, 8);
  out.width = b * factor;
  out.height = (plane == 0 ? b : rows) * factor;
  out.values.assign(std::size_t(out.width) * out.height, 0.0);
  const std::size_t n = std::size_t(b) * b;
  const std::vector<float>& pixels = mu || !ct ? map.perCm : map.hu;
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      // Sample positions in grid pixels: the centres of the finer pixels.
      const double a = (x + 0.5) / factor - 0.5, c = (y + 0.5) / factor - 0.5;
      double i, j, r;
      if (plane == 0) i = a, j = c, r = index;
      else if (plane == 1) i = a, j = index, r = c;
      else j = a, i = index, r = c;
      double v;
      if (factor == 1) {
        const int ii = std::clamp(int(std::lround(i)), 0, b - 1), jj = std::clamp(int(std::lround(j)), 0, b - 1),
                  rr = std::clamp(int(std::lround(r)), 0, rows - 1);
        v = pixels.empty() ? 0 : pixels[std::size_t(rr) * n + std::size_t(ii) * b + jj];
      } else {
        double p[3];
        grid.point(i, j, r, p);
        v = ct->sample(p[0] + map.offsetMm[0], p[1] + map.offsetMm[1], p[2] + map.offsetMm[2]);
      }
      out.values[std::size_t(y) * out.width + x] = v;
    }
  return out;
}

}  // namespace sinora
