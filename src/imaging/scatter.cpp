#include "imaging/scatter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sinora {

namespace {
constexpr double kTruePi = 3.14159265358979323846;
}

double comptonEnergy(double e, double theta) {
  return e / (1 + e / kElectronRestKeV * (1 - std::cos(theta)));
}

double comptonAngle(double e, double scattered) {
  if (!(scattered < e)) return 0;
  const double c = 1 - kElectronRestKeV * (e / scattered - 1) / e;
  if (c <= -1) return kTruePi;
  return std::acos(c);
}

double kleinNishina(double e, double theta) {
  const double p = 1 / (1 + e / kElectronRestKeV * (1 - std::cos(theta)));
  const double s = std::sin(theta);
  return 0.5 * kElectronRadiusCm * kElectronRadiusCm * p * p * (p + 1 / p - s * s);
}

double kleinNishinaTotal(double e) {
  // The closed form (Klein and Nishina 1929), k = E / m c^2.
  const double k = e / kElectronRestKeV;
  const double a = 1 + 2 * k, l = std::log(a);
  const double t = (1 + k) / (k * k) * (2 * (1 + k) / a - l / k) + l / (2 * k) - (1 + 3 * k) / (a * a);
  return 2 * kTruePi * kElectronRadiusCm * kElectronRadiusCm * t;
}

double waterMu(double e) {
  // Water, mass attenuation with coherent scattering, cm^2/g (Hubbell and Seltzer, NIST XCOM).
  static const double kE[] = {10, 15, 20, 30, 40, 50, 60, 80, 100, 150, 200, 300, 400, 500, 600, 800, 1000};
  static const double kMu[] = {5.329, 1.673, 0.8096, 0.3756, 0.2683, 0.2269, 0.2059, 0.1837, 0.1707,
                               0.1505, 0.1370, 0.1186, 0.1061, 0.09687, 0.08956, 0.07865, 0.07072};
  constexpr int n = sizeof(kE) / sizeof(kE[0]);
  e = std::clamp(e, kE[0], kE[n - 1]);
  int i = 0;
  while (i < n - 2 && e > kE[i + 1]) ++i;
  const double f = std::log(e / kE[i]) / std::log(kE[i + 1] / kE[i]);
  return std::exp(std::log(kMu[i]) + f * std::log(kMu[i + 1] / kMu[i]));
}

double energyFwhmKeV(double e, double percentAt140) {
  return percentAt140 / 100 * std::sqrt(140.0 * e);  // (p / 100) x E x sqrt(140 / E)
}

double windowAcceptance(double e, double lower, double upper, double percentAt140) {
  if (!(upper > lower)) return 0;
  const double fwhm = energyFwhmKeV(e, percentAt140);
  if (!(fwhm > 0)) return e >= lower && e < upper ? 1 : 0;
  const double s = fwhm / (2 * std::sqrt(2 * std::log(2.0))) * std::sqrt(2.0);
  return 0.5 * (std::erf((upper - e) / s) - std::erf((lower - e) / s));
}

std::string windowLabel(const EnergyWindow& w) {
  char range[64];
  std::snprintf(range, sizeof range, "%.1f-%.1f keV", w.lowerKeV, w.upperKeV);
  return w.name.empty() ? std::string(range) : w.name + " " + range;
}

SideWindows findSideWindows(const std::vector<EnergyWindow>& windows, int peak) {
  SideWindows s;
  if (peak < 0 || std::size_t(peak) >= windows.size()) return s;
  const EnergyWindow& p = windows[std::size_t(peak)];
  double bestLower = 1e300, bestUpper = 1e300;
  for (std::size_t n = 0; n < windows.size(); ++n) {
    if (int(n) == peak) continue;
    const EnergyWindow& w = windows[n];
    const double below = std::fabs(p.lowerKeV - w.upperKeV), above = std::fabs(w.lowerKeV - p.upperKeV);
    if (w.upperKeV <= p.lowerKeV + 1 && w.lowerKeV < p.lowerKeV && below <= 1 && below < bestLower) {
      bestLower = below;
      s.lower = int(n);
    }
    if (w.lowerKeV >= p.upperKeV - 1 && w.upperKeV > p.upperKeV && above <= 1 && above < bestUpper) {
      bestUpper = above;
      s.upper = int(n);
    }
  }
  return s;
}

bool scatterMethodFromKey(const std::string& key, ScatterMethod& method) {
  if (key == "none") method = ScatterMethod::None;
  else if (key == "dew") method = ScatterMethod::Dew;
  else if (key == "tew") method = ScatterMethod::Tew;
  else return false;
  return true;
}

namespace {

template <typename Count>
void tewOf(const Count* lower, const Count* upper, std::size_t count, double wl, double wu, double wp,
           double* out) {
  // Written as the formula, operation for operation, so that a check by hand gives the same bits.
  if (!(wl > 0)) {
    std::fill(out, out + count, 0.0);
    return;
  }
  if (upper && wu > 0)
    for (std::size_t n = 0; n < count; ++n) out[n] = std::max(0.0, (lower[n] / wl + upper[n] / wu) * wp / 2);
  else
    for (std::size_t n = 0; n < count; ++n) out[n] = std::max(0.0, (lower[n] / wl + 0.0) * wp / 2);
}

template <typename Count>
void dewOf(const Count* lower, std::size_t count, double wl, double wp, double k, double* out) {
  if (!(wl > 0)) {
    std::fill(out, out + count, 0.0);
    return;
  }
  for (std::size_t n = 0; n < count; ++n) out[n] = std::max(0.0, k * lower[n] * wp / wl);
}

// A window's counts as read when the set keeps them, else null.
const float* exactOf(const EnergyWindowSet& set, int window) {
  return std::size_t(window) < set.exact.size() && set.exact[std::size_t(window)]
             ? set.exact[std::size_t(window)]->data() : nullptr;
}

}  // namespace

void tewEstimate(const std::uint16_t* lower, const std::uint16_t* upper, std::size_t count,
                 double wl, double wu, double wp, double* out) {
  tewOf(lower, upper, count, wl, wu, wp, out);
}

void tewEstimate(const float* lower, const float* upper, std::size_t count, double wl, double wu,
                 double wp, double* out) {
  tewOf(lower, upper, count, wl, wu, wp, out);
}

void dewEstimate(const std::uint16_t* lower, std::size_t count, double wl, double wp, double k,
                 double* out) {
  dewOf(lower, count, wl, wp, k, out);
}

void dewEstimate(const float* lower, std::size_t count, double wl, double wp, double k, double* out) {
  dewOf(lower, count, wl, wp, k, out);
}

void smoothProjections(std::vector<double>& proj, int views, int rows, int bins, double fwhm) {
  if (!(fwhm > 0) || !std::isfinite(fwhm) || views <= 0 || rows <= 0 || bins <= 0) return;
  const double sigma = fwhm / (2 * std::sqrt(2 * std::log(2.0)));
  const int half = std::max(1, int(std::ceil(3 * sigma)));
  std::vector<double> w(std::size_t(2 * half + 1));
  for (int d = -half; d <= half; ++d) w[std::size_t(d + half)] = std::exp(-0.5 * d * d / (sigma * sigma));
  std::vector<double> tmp(std::size_t(rows) * bins);
  for (int k = 0; k < views; ++k) {
    double* p = proj.data() + std::size_t(k) * rows * bins;
    for (int r = 0; r < rows; ++r)
      for (int b = 0; b < bins; ++b) {
        double sum = 0, weight = 0;
        for (int d = std::max(-half, -b); d <= std::min(half, bins - 1 - b); ++d) {
          sum += w[std::size_t(d + half)] * p[std::size_t(r) * bins + b + d];
          weight += w[std::size_t(d + half)];
        }
        tmp[std::size_t(r) * bins + b] = sum / weight;
      }
    for (int r = 0; r < rows; ++r)
      for (int b = 0; b < bins; ++b) {
        double sum = 0, weight = 0;
        for (int d = std::max(-half, -r); d <= std::min(half, rows - 1 - r); ++d) {
          sum += w[std::size_t(d + half)] * tmp[std::size_t(r + d) * bins + b];
          weight += w[std::size_t(d + half)];
        }
        p[std::size_t(r) * bins + b] = std::max(0.0, sum / weight);
      }
  }
}

ScatterEstimate estimateScatter(const ProjectionStudy& study, ScatterMethod method, int lower,
                                int upper, double dewK, double smooth) {
  ScatterEstimate out;
  if (method == ScatterMethod::None) return out;
  const auto& set = study.geometry().energyWindows;
  const int peak = study.geometry().energyWindow;
  if (!set || set->windows.size() < 2 || std::size_t(peak) >= set->windows.size()) {
    out.refusal = "この検査にはエネルギーウィンドウが 1 つしかないため、散乱を推定できません。";
    return out;
  }
  const int n = int(set->windows.size());
  const SideWindows found = findSideWindows(set->windows, peak);
  out.lower = lower >= 0 ? lower : found.lower;
  out.upper = upper >= 0 ? upper : upper == -2 ? -1 : found.upper;
  if (out.lower < 0 || out.lower >= n || out.lower == peak) {
    out.refusal = "散乱の推定に使う下側のウィンドウがありません。";
    return out;
  }
  if (out.upper >= n || out.upper == peak) {
    out.refusal = "散乱の推定に使う上側のウィンドウがありません。";
    return out;
  }
  if (!(dewK >= 0 && dewK <= 10) || !(smooth >= 0 && smooth <= 100)) {
    out.refusal = "散乱の推定の係数 k は 0 から 10、平滑化の FWHM は 0 から 100 画素です。";
    return out;
  }
  const EnergyWindow& p = set->windows[std::size_t(peak)];
  const EnergyWindow& l = set->windows[std::size_t(out.lower)];
  const std::size_t count = study.counts().size();
  if (set->counts[std::size_t(out.lower)].size() != count ||
      (out.upper >= 0 && set->counts[std::size_t(out.upper)].size() != count) || !(l.width() > 0) ||
      !(p.width() > 0) || (out.upper >= 0 && !(set->windows[std::size_t(out.upper)].width() > 0))) {
    out.refusal = "散乱の推定に使うウィンドウの幅か計数が合いません。";
    return out;
  }
  out.values.resize(count);
  // Side windows of weighted counts are read as they were, all of them or none.
  const float* exactLower = exactOf(*set, out.lower);
  const float* exactUpper = out.upper >= 0 ? exactOf(*set, out.upper) : nullptr;
  const bool exact = exactLower && (out.upper < 0 || exactUpper);
  if (method == ScatterMethod::Dew) {
    out.upper = -1;
    if (exact) dewEstimate(exactLower, count, l.width(), p.width(), dewK, out.values.data());
    else dewEstimate(set->counts[std::size_t(out.lower)].data(), count, l.width(), p.width(), dewK, out.values.data());
  } else {
    const bool above = out.upper >= 0;
    const double wu = above ? set->windows[std::size_t(out.upper)].width() : 0;
    if (exact)
      tewEstimate(exactLower, exactUpper, count, l.width(), wu, p.width(), out.values.data());
    else
      tewEstimate(set->counts[std::size_t(out.lower)].data(), above ? set->counts[std::size_t(out.upper)].data() : nullptr,
                  count, l.width(), wu, p.width(), out.values.data());
  }
  smoothProjections(out.values, study.views(), study.rows(), study.bins(), smooth);
  return out;
}

StudyPtr scatterSubtracted(const ProjectionStudy& study, const std::vector<double>& estimate) {
  std::vector<std::uint16_t> counts(study.counts());
  const std::vector<float>* exact = study.exactCounts();
  if (estimate.size() != counts.size())
    return std::make_shared<const ProjectionStudy>(study.geometry(), std::move(counts), study.sharedExactCounts());
  if (!exact) {
    for (std::size_t n = 0; n < counts.size(); ++n)
      counts[n] = std::uint16_t(std::clamp(std::floor(counts[n] - estimate[n] + 0.5), 0.0, 65535.0));
    return std::make_shared<const ProjectionStudy>(study.geometry(), std::move(counts));
  }
  // Weighted counts stay weights: the difference is kept as it is, beside its whole counts.
  auto left = std::make_shared<std::vector<float>>(exact->size());
  for (std::size_t n = 0; n < counts.size(); ++n) {
    const double v = std::max(0.0, double((*exact)[n]) - estimate[n]);
    (*left)[n] = float(v);
    counts[n] = std::uint16_t(std::min(std::floor(v + 0.5), 65535.0));
  }
  return std::make_shared<const ProjectionStudy>(study.geometry(), std::move(counts), std::move(left));
}

const std::vector<Isotope>& isotopes() {
  // Photon energies of the principal gamma lines (NNDC, NuDat 3).
  static const std::vector<Isotope> kList = {
      {"tc99m", "Tc-99m", 140.5}, {"i123", "I-123", 159.0}, {"lu177", "Lu-177", 208.4}};
  return kList;
}

const Isotope* isotopeFromKey(const std::string& key) {
  for (const Isotope& i : isotopes())
    if (key == i.key) return &i;
  return nullptr;
}

}  // namespace sinora
