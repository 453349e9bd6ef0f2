#include "imaging/resolution.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "imaging/geometry.h"

namespace sinora {

namespace {

// A symmetric kernel of variance v (pixels^2): three taps while they can carry it exactly, else
// the sampled Gaussian to 3 sigma, normalised.
std::vector<double> varianceKernel(double v) {
  if (!(v > 1e-12)) return {1.0};
  if (v < 0.5) return {v / 2, 1 - v, v / 2};
  const double sigma = std::sqrt(v);
  const int half = std::max(1, int(std::ceil(3 * sigma)));
  std::vector<double> w(std::size_t(2 * half + 1));
  double sum = 0;
  for (int d = -half; d <= half; ++d) sum += w[std::size_t(d + half)] = std::exp(-0.5 * d * d / v);
  for (double& x : w) x /= sum;
  return w;
}

constexpr double kFwhmPerSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2)

}  // namespace

struct PsfProjector::View {
  std::vector<std::uint32_t> pixels;   // by slab, farthest slab first
  std::vector<std::uint16_t> index;    // each pixel's padded bin
  std::vector<std::uint32_t> start;    // slab n: [start[n], start[n + 1])
  std::vector<int> lo, hi;             // slab n's padded bins lie in [lo, hi)
  std::vector<std::vector<double>> step;  // blur from slab n - 1's depth to slab n's
  std::vector<double> last;               // the nearest slab's own blur
  double tFirst = 0, slabWidth = 1, radius = 0, pixel = 1;
  Collimator collimator;
};

PsfProjector::PsfProjector(const ProjectionStudy& study, const PsfSetup& setup, int rows)
    : views_(study.views()), rows_(std::max(1, rows)), bins_(study.bins()),
      acrossRows_(setup.acrossRows && rows > 1) {
  const AnyGeometry g(bins_);
  pad_ = g.pad;
  padded_ = g.paddedRow;
  const double pixel = setup.pixelMm > 0 ? setup.pixelMm
                       : study.geometry().pixelSizeMm > 0 ? study.geometry().pixelSizeMm : 1.0;
  const Collimator& col = setup.collimator;
  const int c = bins_ / 2;
  // Slabs thin enough that the FWHM changes by at most 0.5 mm across one (dFWHM/dd <= k).
  int width = bins_;
  if (col.slope > 0) width = std::clamp(int(0.5 / col.slope / pixel), 1, bins_);
  const int slabs = col.blurs() ? (2 * c + width - 1) / width + 1 : 1;
  perView_.resize(std::size_t(views_));
  std::vector<std::uint16_t> idx(std::size_t(bins_) * bins_);
  for (int k = 0; k < views_; ++k) {
    View& v = perView_[std::size_t(k)];
    v.pixel = pixel;
    v.collimator = col;
    v.radius = setup.radiusMm.empty() ? 0
               : setup.radiusMm.size() == std::size_t(views_) ? setup.radiusMm[std::size_t(k)]
                                                               : setup.radiusMm[0];
    v.tFirst = -c;
    v.slabWidth = width;
    binsForView(study.angleDegrees(k), g, idx.data());
    const double theta = angleRadians(study.angleDegrees(k));
    const double sn = std::sin(theta), cs = std::cos(theta);
    std::vector<std::vector<std::uint32_t>> bySlab(static_cast<std::size_t>(slabs));
    for (int i = 0; i < bins_; ++i)
      for (int j = 0; j < bins_; ++j) {
        if (!insideCircle(i, j, bins_)) continue;
        const double t = (i - c) * sn - (j - c) * cs;  // towards the detector
        const int n = slabs == 1 ? 0 : std::clamp(int(std::floor((t - v.tFirst) / width)), 0, slabs - 1);
        bySlab[std::size_t(n)].push_back(std::uint32_t(i * bins_ + j));
      }
    v.start.assign(1, 0);
    v.lo.assign(std::size_t(slabs), padded_);
    v.hi.assign(std::size_t(slabs), 0);
    for (int n = 0; n < slabs; ++n) {
      for (std::uint32_t p : bySlab[std::size_t(n)]) {
        v.pixels.push_back(p);
        v.index.push_back(idx[p]);
        v.lo[std::size_t(n)] = std::min(v.lo[std::size_t(n)], int(idx[p]));
        v.hi[std::size_t(n)] = std::max(v.hi[std::size_t(n)], int(idx[p]) + 1);
      }
      v.start.push_back(std::uint32_t(v.pixels.size()));
    }
    auto variance = [&](int n) {
      if (!col.blurs()) return 0.0;
      const double mid = v.tFirst + (n + 0.5) * width;
      const double s = col.fwhmMm(v.radius - mid * pixel) / pixel / kFwhmPerSigma;
      return s * s;
    };
    v.step.resize(std::size_t(slabs));
    for (int n = 1; n < slabs; ++n) v.step[std::size_t(n)] = varianceKernel(variance(n - 1) - variance(n));
    v.last = varianceKernel(variance(slabs - 1));
  }
}

PsfProjector::~PsfProjector() = default;

double PsfProjector::fwhmAtDepth(int view, double depthPixels) const {
  const View& v = perView_[std::size_t(view)];
  return v.collimator.fwhmMm(v.radius - depthPixels * v.pixel);
}

namespace {

// Blurs acc ([index * R + r], `padded` indices) with the taps along the indices (and along the
// rows when asked), zero beyond the edges, in place; [lo, hi) holds every non-zero index and is
// widened by the kernel.
void blurPadded(std::vector<double>& acc, std::vector<double>& tmp, int padded, int rows,
                bool acrossRows, const std::vector<double>& w, int& lo, int& hi) {
  const int half = int(w.size() / 2);
  if (half == 0 || lo >= hi) return;
  const int nlo = std::max(0, lo - half), nhi = std::min(padded, hi + half);
  const std::size_t R = std::size_t(rows);
  std::fill(tmp.begin() + std::ptrdiff_t(nlo * R), tmp.begin() + std::ptrdiff_t(nhi * R), 0.0);
  for (int e = nlo; e < nhi; ++e) {
    double* dst = tmp.data() + std::size_t(e) * R;
    const int d0 = std::max(-half, lo - e), d1 = std::min(half, hi - 1 - e);
    for (int d = d0; d <= d1; ++d) {
      const double wd = w[std::size_t(d + half)];
      const double* src = acc.data() + std::size_t(e + d) * R;
      for (std::size_t r = 0; r < R; ++r) dst[r] += wd * src[r];
    }
  }
  if (acrossRows) {
    for (int e = nlo; e < nhi; ++e) {
      const double* src = tmp.data() + std::size_t(e) * R;
      double* dst = acc.data() + std::size_t(e) * R;
      for (int r = 0; r < rows; ++r) {
        double sum = 0;
        const int d0 = std::max(-half, -r), d1 = std::min(half, rows - 1 - r);
        for (int d = d0; d <= d1; ++d) sum += w[std::size_t(d + half)] * src[r + d];
        dst[r] = sum;
      }
    }
  } else {
    std::copy(tmp.begin() + std::ptrdiff_t(nlo * R), tmp.begin() + std::ptrdiff_t(nhi * R),
              acc.begin() + std::ptrdiff_t(nlo * R));
  }
  lo = nlo;
  hi = nhi;
}

}  // namespace

void PsfProjector::forwardView(int k, const double* f, double* out, const double* weights) const {
  const View& v = perView_[std::size_t(k)];
  const std::size_t R = std::size_t(rows_);
  std::vector<double> acc(std::size_t(padded_) * R, 0.0), tmp(acc.size());
  int lo = padded_, hi = 0;
  const int slabs = int(v.lo.size());
  for (int n = 0; n < slabs; ++n) {
    if (n > 0) blurPadded(acc, tmp, padded_, rows_, acrossRows_, v.step[std::size_t(n)], lo, hi);
    for (std::uint32_t q = v.start[std::size_t(n)]; q < v.start[std::size_t(n) + 1]; ++q) {
      const std::uint32_t p = v.pixels[q];
      double* dst = acc.data() + std::size_t(v.index[q]) * R;
      const double* src = f + std::size_t(p) * R;
      if (weights) {
        const double w = weights[p];
        for (std::size_t r = 0; r < R; ++r) dst[r] += w * src[r];
      } else {
        for (std::size_t r = 0; r < R; ++r) dst[r] += src[r];
      }
    }
    if (v.start[std::size_t(n)] < v.start[std::size_t(n) + 1]) {
      lo = std::min(lo, v.lo[std::size_t(n)]);
      hi = std::max(hi, v.hi[std::size_t(n)]);
    }
  }
  blurPadded(acc, tmp, padded_, rows_, acrossRows_, v.last, lo, hi);
  for (std::size_t r = 0; r < R; ++r)
    for (int b = 0; b < bins_; ++b) out[r * std::size_t(bins_) + std::size_t(b)] = acc[std::size_t(b + pad_) * R + r];
}

void PsfProjector::backAddView(int k, const double* y, double* out, const double* weights) const {
  const View& v = perView_[std::size_t(k)];
  const std::size_t R = std::size_t(rows_);
  std::vector<double> acc(std::size_t(padded_) * R, 0.0), tmp(acc.size());
  for (std::size_t r = 0; r < R; ++r)
    for (int b = 0; b < bins_; ++b) acc[std::size_t(b + pad_) * R + r] = y[r * std::size_t(bins_) + std::size_t(b)];
  int lo = pad_, hi = pad_ + bins_;
  blurPadded(acc, tmp, padded_, rows_, acrossRows_, v.last, lo, hi);
  for (int n = int(v.lo.size()) - 1; n >= 0; --n) {
    for (std::uint32_t q = v.start[std::size_t(n)]; q < v.start[std::size_t(n) + 1]; ++q) {
      const std::uint32_t p = v.pixels[q];
      const double* src = acc.data() + std::size_t(v.index[q]) * R;
      double* dst = out + std::size_t(p) * R;
      if (weights) {
        const double w = weights[p];
        for (std::size_t r = 0; r < R; ++r) dst[r] += w * src[r];
      } else {
        for (std::size_t r = 0; r < R; ++r) dst[r] += src[r];
      }
    }
    if (n > 0 && v.start[std::size_t(n)] > 0)
      blurPadded(acc, tmp, padded_, rows_, acrossRows_, v.step[std::size_t(n)], lo, hi);
  }
}

namespace {

// The back projections of a subset are summed in two fixed groups of views (views alternate
// between them), whatever the number of threads, so the numbers never depend on it.
constexpr int kGroups = 2;

template <typename F>
void inThreads(int threads, F f) {
  threads = std::max(1, threads);
  if (threads == 1) {
    f(0, 1);
    return;
  }
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(f, t, threads);
  f(0, threads);
  for (std::thread& t : pool) t.join();
}

struct Engine {
  const PsfProjector& a;
  const std::vector<double>& y;        // V x R x B
  const std::vector<double>& scatter;  // the same, or empty
  const ViewWeights* weights;
  int threads;
  std::size_t perView() const { return std::size_t(a.rows()) * a.bins(); }
  std::size_t voxels() const { return std::size_t(a.bins()) * a.bins() * a.rows(); }
  const double* weightOf(int k) const { return weights ? (*weights)[std::size_t(k)].data() : nullptr; }

  // out = A_S^T in for the views of the subset (in: V x R x B, only the subset's views read).
  void back(const std::vector<int>& views, const std::vector<double>& in, std::vector<double>& out) const {
    std::vector<std::vector<double>> group(static_cast<std::size_t>(kGroups));
    inThreads(std::min(threads, kGroups), [&](int part, int parts) {
      for (int gi = part; gi < kGroups; gi += parts) {
        std::vector<double>& g = group[std::size_t(gi)];
        g.assign(voxels(), 0.0);
        for (std::size_t n = std::size_t(gi); n < views.size(); n += kGroups)
          a.backAddView(views[n], in.data() + std::size_t(views[n]) * perView(), g.data(), weightOf(views[n]));
      }
    });
    out = std::move(group[0]);
    for (int gi = 1; gi < kGroups; ++gi)
      for (std::size_t p = 0; p < out.size(); ++p) out[p] += group[std::size_t(gi)][p];
  }
  void forward(const std::vector<int>& views, const std::vector<double>& f, std::vector<double>& out) const {
    inThreads(threads, [&](int part, int parts) {
      for (std::size_t n = std::size_t(part); n < views.size(); n += std::size_t(parts))
        a.forwardView(views[n], f.data(), out.data() + std::size_t(views[n]) * perView(), weightOf(views[n]));
    });
  }

  // Runs the iterations; `each` gets the image after every iteration and returns false to stop.
  template <typename Each>
  void run(int subsets, int iterations, const std::atomic<bool>* cancel, Each each) const {
    const int v = a.views(), b = a.bins(), rows = a.rows();
    std::vector<double> f(voxels(), 0.0);
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j)
        if (insideCircle(i, j, b))
          for (int r = 0; r < rows; ++r) f[(std::size_t(i) * b + j) * rows + r] = 1.0;
    std::vector<std::vector<int>> sets(static_cast<std::size_t>(subsets));
    std::vector<std::vector<float>> sensitivity(static_cast<std::size_t>(subsets));
    const std::vector<double> ones(std::size_t(v) * perView(), 1.0);
    std::vector<double> bp;
    for (int m = 0; m < subsets; ++m) {
      sets[std::size_t(m)] = subsetViews(v, subsets, m);
      back(sets[std::size_t(m)], ones, bp);
      sensitivity[std::size_t(m)].assign(bp.begin(), bp.end());
    }
    const std::vector<int> order = subsetOrder(subsets);
    std::vector<double> af(y.size(), 0.0);
    for (int it = 0; it < iterations; ++it) {
      for (int m : order) {
        if (cancel && *cancel) return;
        const std::vector<int>& vs = sets[std::size_t(m)];
        forward(vs, f, af);
        for (int k : vs) {
          const std::size_t n0 = std::size_t(k) * perView(), n1 = n0 + perView();
          for (std::size_t n = n0; n < n1; ++n) {
            const double mean = af[n] + (scatter.empty() ? 0.0 : scatter[n]);
            af[n] = mean > 0 ? y[n] / mean : 0.0;
          }
        }
        back(vs, af, bp);
        const std::vector<float>& s = sensitivity[std::size_t(m)];
        for (std::size_t p = 0; p < f.size(); ++p) f[p] = s[p] > 0 ? f[p] / double(s[p]) * bp[p] : 0.0;
      }
      if (!each(it, f)) return;
    }
  }

  double likelihood(const std::vector<double>& f) const {
    std::vector<double> af(y.size(), 0.0);
    std::vector<int> all(std::size_t(a.views()));
    for (int k = 0; k < a.views(); ++k) all[std::size_t(k)] = k;
    forward(all, f, af);
    double sum = 0;
    for (std::size_t n = 0; n < af.size(); ++n) {
      const double mean = af[n] + (scatter.empty() ? 0.0 : scatter[n]);
      if (mean > 0) sum += y[n] * std::log(mean) - mean;
    }
    return sum;
  }
};

PsfSetup noBlur() { return PsfSetup{}; }

}  // namespace

std::vector<std::vector<double>> osemPsfVolume(const ProjectionStudy& study, const PsfSetup* psf,
                                               const std::vector<double>& scatter, int subsets,
                                               int iterations, int threads,
                                               const RowProgress& step,
                                               const std::atomic<bool>* cancel) {
  const int rows = study.rows(), b = study.bins(), v = study.views();
  std::vector<std::vector<double>> volume(static_cast<std::size_t>(rows));
  if (subsets < 1 || v % subsets != 0 || iterations < 1) return volume;
  if (!scatter.empty() && scatter.size() != study.counts().size()) return volume;
  const PsfProjector a(study, psf ? *psf : noBlur(), rows);
  const std::vector<double> y = study.exactCounts()
                                    ? std::vector<double>(study.exactCounts()->begin(), study.exactCounts()->end())
                                    : std::vector<double>(study.counts().begin(), study.counts().end());
  const Engine e{a, y, scatter, nullptr, threads};
  std::vector<double> last;
  bool complete = false;
  e.run(subsets, iterations, cancel, [&](int it, const std::vector<double>& f) {
    if (it + 1 == iterations) {
      last = f;
      complete = true;
    }
    return !step || step(it + 1);
  });
  if (!complete) return volume;
  for (int r = 0; r < rows; ++r) {
    std::vector<double>& s = volume[std::size_t(r)];
    s.resize(std::size_t(b) * b);
    for (std::size_t p = 0; p < s.size(); ++p) s[p] = last[p * std::size_t(rows) + std::size_t(r)];
  }
  return volume;
}

OsemResult osemPsf(const ProjectionStudy& study, int row, const PsfSetup* psf,
                   const std::vector<double>& scatterSinogram, int subsets, int iterations,
                   int threads, const std::atomic<bool>* cancel, bool withLikelihood,
                   const ViewWeights* weights) {
  OsemResult result;
  const int v = study.views(), b = study.bins();
  if (subsets < 1 || v % subsets != 0 || iterations < 1) return result;
  if (!scatterSinogram.empty() && scatterSinogram.size() != std::size_t(v) * b) return result;
  if (weights) {
    bool fits = weights->size() == std::size_t(v);
    for (const std::vector<double>& w : *weights) fits = fits && w.size() == std::size_t(b) * b;
    if (!fits) weights = nullptr;
  }
  PsfSetup setup = psf ? *psf : noBlur();
  setup.acrossRows = false;
  const PsfProjector a(study, setup, 1);
  const std::vector<double> y = sinogramOf(study, row);
  const Engine e{a, y, scatterSinogram, weights, threads};
  e.run(subsets, iterations, cancel, [&](int, const std::vector<double>& f) {
    result.images.push_back(f);
    if (withLikelihood) result.likelihood.push_back(e.likelihood(f));
    return true;
  });
  return result;
}

std::vector<double> studyRadii(const ProjectionStudy& study, double fallbackMm) {
  const std::vector<double>& r = study.geometry().radiusMm;
  if (r.size() == std::size_t(study.views()) || r.size() == 1) return r;
  return {fallbackMm};
}

ProjectorPsf projectorPsf(int bins, double pixelMm, const Collimator& collimator, double radiusMm,
                          double distanceMm) {
  ProjectorPsf out;
  bins = std::clamp(bins, 2, kMaxRowsOrBins);
  if (!(pixelMm > 0) || !std::isfinite(pixelMm) || !std::isfinite(radiusMm) || !std::isfinite(distanceMm)) return out;
  // One view at 0 degrees looks along -y: depth t towards its detector is the pixel's c - j.
  StudyGeometry g;
  g.views = 1;
  g.rows = 1;
  g.bins = bins;
  g.angles = {0.0};
  g.pixelSizeMm = pixelMm;
  const ProjectionStudy study(g, std::vector<std::uint16_t>(std::size_t(bins), 0));
  PsfSetup setup;
  setup.collimator = collimator;
  setup.radiusMm = {radiusMm};
  setup.pixelMm = pixelMm;
  setup.acrossRows = false;
  const PsfProjector projector(study, setup, 1);
  const int c = bins / 2;
  int t = int(std::lround((radiusMm - distanceMm) / pixelMm));
  while (t != 0 && !insideCircle(c, c - t, bins)) t += t > 0 ? -1 : 1;
  out.actualMm = radiusMm - t * pixelMm;
  std::vector<double> f(std::size_t(bins) * bins, 0.0);
  f[std::size_t(c) * bins + std::size_t(c - t)] = 1;
  out.profile.assign(std::size_t(bins), 0.0);
  projector.forwardView(0, f.data(), out.profile.data());
  const auto top = std::max_element(out.profile.begin(), out.profile.end());
  const int m = int(top - out.profile.begin());
  const double half = *top / 2;
  if (!(half > 0)) return out;
  // Where the profile crosses half its maximum on each side, between samples.
  auto cross = [&](int step) {
    for (int n = m; n + step >= 0 && n + step < bins; n += step) {
      const double a = out.profile[std::size_t(n)], b = out.profile[std::size_t(n + step)];
      if (b < half) return n + step * (a - half) / (a - b);
    }
    return double(NAN);
  };
  out.fwhmMm = (cross(1) - cross(-1)) * pixelMm;
  return out;
}

}  // namespace sinora
