#include "imaging/filter_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "imaging/geometry.h"

namespace sinora {

namespace {
constexpr double kTruePi = 3.14159265358979323846;
const char* const kNames[] = {"ramp", "shepp-logan", "hann", "hamming", "parzen", "cosine", "butterworth"};
}  // namespace

const char* windowName(FilterWindow w) { return kNames[int(w)]; }

bool windowFromName(const std::string& name, FilterWindow* w) {
  for (int n = 0; n < 7; ++n)
    if (name == kNames[n]) {
      *w = FilterWindow(n);
      return true;
    }
  return false;
}

double windowValue(FilterWindow w, double f, double fc, double order) {
  f = std::fabs(f);
  if (w == FilterWindow::Butterworth) return 1 / (1 + std::pow(f / fc, order));
  if (f > fc) return 0;
  const double x = f / fc;
  switch (w) {
    case FilterWindow::Ramp: return 1;
    case FilterWindow::SheppLogan: {
      const double a = kTruePi * x / 2;
      return a == 0 ? 1 : std::sin(a) / a;
    }
    case FilterWindow::Hann: return 0.5 * (1 + std::cos(kTruePi * x));
    case FilterWindow::Hamming: return 0.54 + 0.46 * std::cos(kTruePi * x);
    case FilterWindow::Parzen:
      return x <= 0.5 ? 1 - 6 * x * x * (1 - x) : 2 * (1 - x) * (1 - x) * (1 - x);
    case FilterWindow::Cosine: return std::cos(kTruePi * x / 2);
    case FilterWindow::Butterworth: break;
  }
  return 0;
}

std::string checkWindowSettings(FilterWindow w, double fc, double order) {
  if (!(fc > 0) || !(fc <= 0.5))
    return "カットオフは 0 より大きく 0.5 サイクル/画素以下にしてください。";
  if (w == FilterWindow::Butterworth && !(order >= 0.5 && order <= 50))
    return "次数は 0.5 から 50 までにしてください。";
  return {};
}

namespace {

std::vector<double> buildWindowedKernel(FilterWindow w, double fc, double order, int bins);

}  // namespace

// Kernels already built are kept (by window, cut-off, order and bins, to the bit): a cut-off
// slider goes back and forth over the same values, and a kernel takes longer than the slice.
std::vector<double> windowedKernel(FilterWindow w, double fc, double order, int bins) {
  using Key = std::tuple<int, std::uint64_t, std::uint64_t, int>;
  auto bits = [](double x) {
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
  };
  const Key key{int(w), bits(fc), bits(order), bins};
  static std::mutex mutex;
  static std::map<Key, std::vector<double>> kept;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = kept.find(key); it != kept.end()) return it->second;
  }
  std::vector<double> k = buildWindowedKernel(w, fc, order, bins);
  std::lock_guard<std::mutex> lock(mutex);
  if (kept.size() >= 512) kept.clear();  // at most 512 kernels (2 MB at 256 bins)
  kept.emplace(key, k);
  return k;
}

namespace {

std::vector<double> buildWindowedKernel(FilterWindow w, double fc, double order, int bins) {
  const int m = bins - 1;
  std::vector<double> k(static_cast<std::size_t>(2 * m + 1), 0.0);
  // h(n) = 2 int_0^top f W(f) cos(2 pi f n) df by Simpson's rule; cos(2 pi f n) by its recurrence
  // in n, so that each frequency costs B multiplications.
  const double top = w == FilterWindow::Butterworth ? 0.5 : std::min(fc, 0.5);
  const int steps = 8192;
  const double h = top / steps;
  std::vector<double> sum(static_cast<std::size_t>(m + 1), 0.0);
  for (int s = 0; s <= steps; ++s) {
    const double f = s * h;
    const double weight = (s == 0 || s == steps) ? 1 : (s % 2 ? 4 : 2);
    const double g = f * windowValue(w, f, fc, order) * weight;
    if (g == 0) continue;
    const double c1 = std::cos(2 * kTruePi * f);
    double prev = 1, cur = c1;
    sum[0] += g;
    if (m >= 1) sum[1] += g * c1;
    for (int n = 2; n <= m; ++n) {
      const double next = 2 * c1 * cur - prev;
      prev = cur;
      cur = next;
      sum[std::size_t(n)] += g * cur;
    }
  }
  for (int n = 0; n <= m; ++n) {
    const double v = 2 * sum[std::size_t(n)] * h / 3;
    k[std::size_t(m + n)] = k[std::size_t(m - n)] = v;
  }
  return k;
}

}  // namespace

std::vector<double> frequencies(int n) {
  std::vector<double> f(static_cast<std::size_t>(std::max(2, n)));
  for (std::size_t i = 0; i < f.size(); ++i) f[i] = 0.5 * double(i) / double(f.size() - 1);
  return f;
}

std::vector<double> kernelResponse(const std::vector<double>& kernel, const std::vector<double>& f) {
  const int m = int(kernel.size() / 2);
  std::vector<double> out(f.size());
  for (std::size_t i = 0; i < f.size(); ++i) {
    double s = kernel[std::size_t(m)];
    for (int n = 1; n <= m; ++n) s += 2 * kernel[std::size_t(m + n)] * std::cos(2 * kTruePi * f[i] * n);
    out[i] = s;
  }
  return out;
}

std::vector<double> ninetapResponse(const ButterworthKernel& k, const std::vector<double>& f) {
  std::vector<double> out(f.size());
  for (std::size_t i = 0; i < f.size(); ++i) {
    double s = k.h[0];
    for (int d = 1; d <= 4; ++d) s += 2 * k.h[d] * std::cos(2 * kTruePi * f[i] * d);
    out[i] = s / k.yy;
  }
  return out;
}

double idealRamp(double f) { return std::fabs(f); }
double idealSheppLogan(double f) { return std::fabs(std::sin(kTruePi * f)) / kTruePi; }  // |f| sinc(f)

std::vector<double> rowPowerSpectrum(const std::vector<double>& y, int views, int bins) {
  std::vector<double> p(static_cast<std::size_t>(bins / 2 + 1), 0.0);
  for (int v = 0; v < views; ++v)
    for (int k = 0; k <= bins / 2; ++k) {
      double re = 0, im = 0;
      for (int n = 0; n < bins; ++n) {
        const double a = 2 * kTruePi * k * n / bins;
        re += y[std::size_t(v) * bins + n] * std::cos(a);
        im -= y[std::size_t(v) * bins + n] * std::sin(a);
      }
      p[std::size_t(k)] += (re * re + im * im) / bins;
    }
  for (double& x : p) x /= std::max(1, views);
  return p;
}

Picture windowedPicture(const ProjectionStudy& study, int sliceLine, const std::vector<double>& kernel,
                        int densityOffset) {
  return filteredPictureWith(study, sliceLine, kernel, densityOffset);
}

Picture sinogramPicture(const std::vector<double>& y, int views, int bins, int densityOffset) {
  Picture p;
  p.width = bins;
  p.height = views;
  p.table = ColorTable::RibbonBand;
  p.values.resize(y.size());
  std::int32_t max = 10;
  for (std::size_t n = 0; n < y.size(); ++n) {
    p.values[n] = std::max(0, toImageValue(y[n]));
    max = std::max(max, p.values[n]);
  }
  p.divisor = std::int64_t(max) + densityOffset - 20;
  return p;
}

Picture sinogramPicture(const ProjectionStudy& study, int row, int densityOffset) {
  const int b = study.bins(), g = sliceRowOf(row, study.rows());
  std::vector<double> y(std::size_t(study.views()) * b);
  for (int k = 0; k < study.views(); ++k)
    for (int c = 0; c < b; ++c) y[std::size_t(k) * b + c] = study.count(k, g, c);
  return sinogramPicture(y, study.views(), b, densityOffset);
}

std::vector<double> pointSinogram(const ProjectionStudy& study, int i, int j) {
  const int b = study.bins(), c = b / 2;
  std::vector<double> y(std::size_t(study.views()) * b, 0.0);
  for (int k = 0; k < study.views(); ++k) {
    const double th = angleRadians(study.angleDegrees(k));
    const double s = (j - c) * std::sin(th) + (i - c) * std::cos(th);
    const int bin = (s >= 0 ? int(s + 0.5) : int(s - 0.5)) + c;
    if (bin >= 0 && bin < b) y[std::size_t(k) * b + bin] = 100;
  }
  return y;
}

}  // namespace sinora
