#include "imaging/resolution.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>
#include <type_traits>

#include "imaging/big_pages.h"
#include "imaging/cpu.h"

#include "imaging/geometry.h"

namespace sinora {

namespace {

// One side of a symmetric kernel of variance v (pixels^2), the centre first: three taps while
// they can carry it exactly, else the sampled Gaussian to 3 sigma, normalised.
std::vector<double> varianceKernel(double v) {
  if (!(v > 1e-12)) return {1.0};
  if (v < 0.5) return {1 - v, v / 2};
  const double sigma = std::sqrt(v);
  const int half = std::max(1, int(std::ceil(3 * sigma)));
  std::vector<double> w(std::size_t(half + 1));
  double sum = 0;
  for (int d = 0; d <= half; ++d) sum += (d ? 2 : 1) * (w[std::size_t(d)] = std::exp(-0.5 * d * d / v));
  for (double& x : w) x /= sum;
  return w;
}

constexpr double kFwhmPerSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2)
constexpr int kMostInBatch = 8;  // views sharing a pass over the image (PsfWork)
constexpr std::uint32_t kFirst = 1u << 31, kLine = kFirst - 1;  // a stack line's first pixel; the line

std::vector<float> toFloat(const std::vector<double>& w) { return std::vector<float>(w.begin(), w.end()); }

}  // namespace

struct PsfProjector::View {
  std::vector<std::uint32_t> pixels;   // by slab, farthest slab first
  std::vector<std::uint16_t> index;    // each pixel's padded bin
  std::vector<std::uint32_t> start;    // slab n: [start[n], start[n + 1])
  std::vector<int> lo, hi;             // slab n's padded bins lie in [lo, hi)
  std::vector<std::vector<double>> step;  // blur from slab n - 1's depth to slab n's (one side)
  std::vector<double> last;               // the nearest slab's own blur
  std::vector<std::vector<float>> stepF;  // the same in single precision
  std::vector<float> lastF;
  // Each slab's bins as lines of a stack, slab after slab: slab n's bin e at line
  // stackStart[n] + e - lo[n]; each circle pixel's line (in the order of circle_), kFirst added
  // for the first pixel of its line; the lines no pixel falls on.
  std::vector<std::uint32_t> stackStart, stackLine, emptyLines;
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
    for (const std::vector<double>& w : v.step) {
      v.stepF.push_back(toFloat(w));
      maxHalf_ = std::max(maxHalf_, int(w.size()) - 1);
    }
    v.lastF = toFloat(v.last);
    maxHalf_ = std::max(maxHalf_, int(v.last.size()) - 1);
    v.stackStart.assign(1, 0);
    std::vector<int> slabOf(std::size_t(bins_) * bins_, -1);
    for (int n = 0; n < slabs; ++n) {
      v.stackStart.push_back(v.stackStart.back() + std::uint32_t(std::max(0, v.hi[std::size_t(n)] - v.lo[std::size_t(n)])));
      for (std::uint32_t m = v.start[std::size_t(n)]; m < v.start[std::size_t(n) + 1]; ++m) slabOf[v.pixels[m]] = n;
    }
    maxStack_ = std::max(maxStack_, v.stackStart.back());
    if (k == 0)
      for (int i = 0; i < bins_; ++i)
        for (int j = 0; j < bins_; ++j)
          if (insideCircle(i, j, bins_)) circle_.push_back(std::uint32_t(i * bins_ + j));
    v.stackLine.reserve(circle_.size());
    std::vector<bool> met(v.stackStart.back(), false);
    for (std::uint32_t p : circle_) {
      const int n = slabOf[p];
      const std::uint32_t line = v.stackStart[std::size_t(n)] + std::uint32_t(idx[p] - v.lo[std::size_t(n)]);
      v.stackLine.push_back(line | (met[line] ? 0 : kFirst));
      met[line] = true;
    }
    for (std::uint32_t line = 0; line < met.size(); ++line)
      if (!met[line]) v.emptyLines.push_back(line);
  }
}

PsfProjector::~PsfProjector() = default;

double PsfProjector::fwhmAtDepth(int view, double depthPixels) const {
  const View& v = perView_[std::size_t(view)];
  return v.collimator.fwhmMm(v.radius - depthPixels * v.pixel);
}

// The projector's arithmetic. A view's running sum is a plane of padded bins, each bin a line of
// the rows; lines beyond the padded row (`guard` of them on each side, as wide as the widest
// kernel) and the ends of every line (`margin`) stay 0, so that the blurs read zeros there
// without a test. Two planes take turns: a blur reads one and writes the other.
struct PsfWork {
  struct Layout {
    int padded = 0, guard = 0, margin = 0, line = 0, rows = 0;
    std::size_t stride = 0;  // a stack's line (the rows, rounded up)
    bool acrossRows = false;
    Layout(const PsfProjector& a)
        : padded(a.padded_), guard(a.maxHalf_), rows(a.rows_), acrossRows(a.acrossRows_) {
      stride = std::size_t(a.rows_ + 15) / 16 * 16;
      margin = acrossRows ? (a.maxHalf_ + 15) / 16 * 16 : 0;
      line = int(stride) + 2 * margin;
    }
    std::size_t size() const { return std::size_t(padded + 2 * guard) * std::size_t(line); }
    std::size_t at(int e) const { return std::size_t(guard + e) * std::size_t(line) + std::size_t(margin); }
  };

  template <typename T>
  struct Planes {
    BigVector<T> one, two, line;
    T* cur = nullptr;
    T* other = nullptr;
    int lo = 0, hi = 0;            // cur holds non-zeros only in [lo, hi)
    int dirtyLo = 0, dirtyHi = 0;  // either plane may hold non-zeros in [dirtyLo, dirtyHi)
    explicit Planes(const Layout& l) : one(l.size(), T(0)), two(l.size(), T(0)), line(std::size_t(l.line), T(0)) {
      cur = one.data();
      other = two.data();
      lo = dirtyLo = l.padded;
    }
    void widen() {
      dirtyLo = std::min(dirtyLo, lo);
      dirtyHi = std::max(dirtyHi, hi);
    }
    // Both planes back to 0.
    void clear(const Layout& l) {
      if (dirtyLo < dirtyHi)
        for (T* p : {cur, other})
          std::fill(p + l.at(dirtyLo) - l.margin, p + l.at(dirtyHi) - l.margin, T(0));
      lo = dirtyLo = l.padded;
      hi = dirtyHi = 0;
    }
  };

  // cur <- the kernel w (one side, centre first) along the bins, then along the rows when the
  // layout asks; [lo, hi) widens by the kernel.
  template <typename T>
  __attribute__((always_inline)) static inline void blur(const Layout& l, Planes<T>& q, const std::vector<T>& w) {
    const int half = int(w.size()) - 1;
    if (half == 0 || q.lo >= q.hi) return;
    const int nlo = std::max(0, q.lo - half), nhi = std::min(l.padded, q.hi + half);
    const int rows = l.rows;
    const T* src = q.cur;
    T* __restrict dst = q.other;
    T* __restrict line = q.line.data() + l.margin;
    const T w0 = w[0];
    for (int e = nlo; e < nhi; ++e) {
      T* __restrict out = l.acrossRows ? line : dst + l.at(e);
      const T* __restrict c = src + l.at(e);
      for (int r = 0; r < rows; ++r) out[r] = w0 * c[r];
      for (int d = 1; d <= half; ++d) {
        const T* __restrict m = src + l.at(e - d);
        const T* __restrict p = src + l.at(e + d);
        const T wd = w[std::size_t(d)];
        for (int r = 0; r < rows; ++r) out[r] += wd * (m[r] + p[r]);
      }
      if (l.acrossRows) {
        T* __restrict o = dst + l.at(e);
        for (int r = 0; r < rows; ++r) o[r] = w0 * line[r];
        for (int d = 1; d <= half; ++d) {
          const T wd = w[std::size_t(d)];
          for (int r = 0; r < rows; ++r) o[r] += wd * (line[r - d] + line[r + d]);
        }
      }
    }
    std::swap(q.cur, q.other);
    q.lo = nlo;
    q.hi = nhi;
    q.widen();
  }

  template <typename T>
  static const std::vector<T>& stepOf(const PsfProjector::View& v, int n) {
    if constexpr (std::is_same_v<T, float>) return v.stepF[std::size_t(n)];
    else return v.step[std::size_t(n)];
  }
  template <typename T>
  static const std::vector<T>& lastOf(const PsfProjector::View& v) {
    if constexpr (std::is_same_v<T, float>) return v.lastF;
    else return v.last;
  }

  // The planes (clear) <- A_k f, before it leaves the detector. f: [p * stride + r].
  template <typename T>
  __attribute__((always_inline)) static inline void forward(const PsfProjector& a, const Layout& l, int k,
                                                            const T* f, std::size_t stride,
                                                            const double* weights, Planes<T>& q) {
    const PsfProjector::View& v = a.perView_[std::size_t(k)];
    const int slabs = int(v.lo.size()), rows = l.rows;
    for (int n = 0; n < slabs; ++n) {
      if (n > 0) blur(l, q, stepOf<T>(v, n));
      T* acc = q.cur;
      for (std::uint32_t m = v.start[std::size_t(n)]; m < v.start[std::size_t(n) + 1]; ++m) {
        const std::uint32_t p = v.pixels[m];
        T* __restrict dst = acc + l.at(v.index[m]);
        const T* __restrict src = f + std::size_t(p) * stride;
        if (weights) {
          const T w = T(weights[p]);
          for (int r = 0; r < rows; ++r) dst[r] += w * src[r];
        } else {
          for (int r = 0; r < rows; ++r) dst[r] += src[r];
        }
      }
      if (v.start[std::size_t(n)] < v.start[std::size_t(n) + 1]) {
        q.lo = std::min(q.lo, v.lo[std::size_t(n)]);
        q.hi = std::max(q.hi, v.hi[std::size_t(n)]);
        q.widen();
      }
    }
    blur(l, q, lastOf<T>(v));
  }

  // out [p * stride + r] += A_k^T of what the planes hold on the detector's bins (nothing else).
  template <typename T>
  __attribute__((always_inline)) static inline void back(const PsfProjector& a, const Layout& l, int k, T* out,
                                                         std::size_t stride, const double* weights, Planes<T>& q) {
    const PsfProjector::View& v = a.perView_[std::size_t(k)];
    const int rows = l.rows;
    q.lo = a.pad_;
    q.hi = a.pad_ + a.bins_;
    q.widen();
    blur(l, q, lastOf<T>(v));
    for (int n = int(v.lo.size()) - 1; n >= 0; --n) {
      const T* acc = q.cur;
      for (std::uint32_t m = v.start[std::size_t(n)]; m < v.start[std::size_t(n) + 1]; ++m) {
        const std::uint32_t p = v.pixels[m];
        const T* __restrict src = acc + l.at(v.index[m]);
        T* __restrict dst = out + std::size_t(p) * stride;
        if (weights) {
          const T w = T(weights[p]);
          for (int r = 0; r < rows; ++r) dst[r] += w * src[r];
        } else {
          for (int r = 0; r < rows; ++r) dst[r] += src[r];
        }
      }
      if (n > 0 && v.start[std::size_t(n)] > 0) blur(l, q, stepOf<T>(v, n));
    }
  }

  // The detector's values (R x B) in and out of the planes.
  template <typename T, typename U>
  static void take(const PsfProjector& a, const Layout& l, const Planes<T>& q, U* out) {
    for (int b = 0; b < a.bins_; ++b) {
      const T* src = q.cur + l.at(a.pad_ + b);
      for (int r = 0; r < l.rows; ++r) out[std::size_t(r) * a.bins_ + std::size_t(b)] = U(src[r]);
    }
  }
  template <typename T, typename U>
  static void put(const PsfProjector& a, const Layout& l, const U* y, Planes<T>& q) {
    for (int b = 0; b < a.bins_; ++b) {
      T* dst = q.cur + l.at(a.pad_ + b);
      for (int r = 0; r < l.rows; ++r) dst[r] = T(y[std::size_t(r) * a.bins_ + std::size_t(b)]);
    }
  }

  // The views of a batch share one pass over the image each way: the forward pass adds each
  // pixel's rows into the line of its slab's bin in every view's stack (the image read once for
  // all of them), then each view's sums run from slab to slab through the blurs; backwards, each
  // view's running sum leaves every slab's bins in its stack, and one pass adds every view's line
  // into each pixel (the image of back projections read and written once).
  struct Batch {
    Planes<float> q;
    std::vector<BigVector<float>> stacks;
    Batch(const PsfProjector& a, const Layout& l, int views) : q(l) {
      for (int n = 0; n < views; ++n) stacks.emplace_back(std::size_t(a.maxStack_) * l.stride, 0.0f);
    }
  };

  __attribute__((always_inline)) static inline void gather(const PsfProjector& a, const Layout& l, const int* views,
                                                           int count, const float* f, std::size_t stride, Batch& w) {
    const int rows = l.rows;
    const std::uint32_t* line[kMostInBatch];
    float* stack[kMostInBatch];
    for (int n = 0; n < count; ++n) {
      const PsfProjector::View& v = a.perView_[std::size_t(views[n])];
      line[n] = v.stackLine.data();
      stack[n] = w.stacks[std::size_t(n)].data();
      for (std::uint32_t e : v.emptyLines) std::fill_n(stack[n] + std::size_t(e) * l.stride, rows, 0.0f);
    }
    // A line's first pixel replaces what the stack held (no clearing beforehand).
    const std::size_t pixels = a.circle_.size();
    for (std::size_t m = 0; m < pixels; ++m) {
      const float* __restrict src = f + std::size_t(a.circle_[m]) * stride;
      for (int n = 0; n < count; ++n) {
        const std::uint32_t at = line[n][m];
        float* __restrict dst = stack[n] + std::size_t(at & kLine) * l.stride;
        if (at & kFirst) {
          for (int r = 0; r < rows; ++r) dst[r] = src[r];
        } else {
          for (int r = 0; r < rows; ++r) dst[r] += src[r];
        }
      }
    }
  }

  __attribute__((always_inline)) static inline void scatter(const PsfProjector& a, const Layout& l, const int* views,
                                                            int count, float* out, std::size_t stride, Batch& w) {
    const int rows = l.rows;
    const std::uint32_t* line[kMostInBatch];
    const float* stack[kMostInBatch];
    for (int n = 0; n < count; ++n) {
      line[n] = a.perView_[std::size_t(views[n])].stackLine.data();
      stack[n] = w.stacks[std::size_t(n)].data();
    }
    const std::size_t pixels = a.circle_.size();
    for (std::size_t m = 0; m < pixels; ++m) {
      float* __restrict dst = out + std::size_t(a.circle_[m]) * stride;
      for (int n = 0; n < count; ++n) {
        const float* __restrict src = stack[n] + std::size_t(line[n][m] & kLine) * l.stride;
        for (int r = 0; r < rows; ++r) dst[r] += src[r];
      }
    }
  }

  // The planes (clear) <- A_k f from the view's stack of slab sums.
  __attribute__((always_inline)) static inline void chainForward(const PsfProjector& a, const Layout& l, int k,
                                                                 const float* stack, Planes<float>& q) {
    const PsfProjector::View& v = a.perView_[std::size_t(k)];
    const int slabs = int(v.lo.size()), rows = l.rows;
    for (int n = 0; n < slabs; ++n) {
      if (n > 0) blur(l, q, v.stepF[std::size_t(n)]);
      const int lo = v.lo[std::size_t(n)], hi = v.hi[std::size_t(n)];
      if (lo >= hi) continue;
      const float* s = stack + std::size_t(v.stackStart[std::size_t(n)]) * l.stride;
      for (int e = lo; e < hi; ++e) {
        float* __restrict dst = q.cur + l.at(e);
        const float* __restrict src = s + std::size_t(e - lo) * l.stride;
        for (int r = 0; r < rows; ++r) dst[r] += src[r];
      }
      q.lo = std::min(q.lo, lo);
      q.hi = std::max(q.hi, hi);
      q.widen();
    }
    blur(l, q, v.lastF);
  }

  // From what the planes hold on the detector's bins: each slab's bins of A_k^T's running sum
  // into the view's stack.
  __attribute__((always_inline)) static inline void chainBack(const PsfProjector& a, const Layout& l, int k,
                                                              Planes<float>& q, float* stack) {
    const PsfProjector::View& v = a.perView_[std::size_t(k)];
    const int rows = l.rows;
    q.lo = a.pad_;
    q.hi = a.pad_ + a.bins_;
    q.widen();
    blur(l, q, v.lastF);
    for (int n = int(v.lo.size()) - 1; n >= 0; --n) {
      const int lo = v.lo[std::size_t(n)], hi = v.hi[std::size_t(n)];
      float* s = stack + std::size_t(v.stackStart[std::size_t(n)]) * l.stride;
      for (int e = lo; e < hi; ++e) {
        const float* __restrict src = q.cur + l.at(e);
        float* __restrict dst = s + std::size_t(e - lo) * l.stride;
        for (int r = 0; r < rows; ++r) dst[r] = src[r];
      }
      if (n > 0 && v.start[std::size_t(n)] > 0) blur(l, q, v.stepF[std::size_t(n)]);
    }
  }

  // A batch of an OSEM sub-iteration on the volume's layout (every pixel's line `stride` long):
  // for each view, the ratio y / (A_k f + S) on the detector, and the back projections of all
  // of them added into out. With `ones`, A_k^T 1 instead (the sensitivity). y and S: every
  // view's [c * R + r], `perView` apart.
  struct OsemBatch {
    const int* views;
    int count;
    const float* f;
    std::size_t stride;
    const float* y;
    const float* scatter;
    std::size_t perView;
    bool ones;
    float* out;
  };
  static void osemBatch(const PsfProjector& a, const Layout& l, const OsemBatch& b, Batch& w);
  static void osemBatchPlain(const PsfProjector& a, const Layout& l, const OsemBatch& b, Batch& w);
  static void osemBatchAvx2(const PsfProjector& a, const Layout& l, const OsemBatch& b, Batch& w);
  static void osemBatchAvx512(const PsfProjector& a, const Layout& l, const OsemBatch& b, Batch& w);

  __attribute__((always_inline)) static inline void osemBatchBody(const PsfProjector& a, const Layout& l,
                                                                  const OsemBatch& b, Batch& w) {
    const int rows = l.rows;
    Planes<float>& q = w.q;
    if (!b.ones) gather(a, l, b.views, b.count, b.f, b.stride, w);
    for (int n = 0; n < b.count; ++n) {
      const int k = b.views[n];
      float* stack = w.stacks[std::size_t(n)].data();
      if (!b.ones) {
        chainForward(a, l, k, stack, q);
        // Off the detector: dropped. On it: the ratio, in place.
        for (int e = q.lo; e < q.hi; ++e)
          if (e < a.pad_ || e >= a.pad_ + a.bins_) std::fill_n(q.cur + l.at(e), rows, 0.0f);
        const float* y = b.y + std::size_t(k) * b.perView;
        const float* sc = b.scatter ? b.scatter + std::size_t(k) * b.perView : nullptr;
        for (int c = 0; c < a.bins_; ++c) {
          float* __restrict acc = q.cur + l.at(a.pad_ + c);
          const float* __restrict yc = y + std::size_t(c) * rows;
          if (sc) {
            const float* __restrict sb = sc + std::size_t(c) * rows;
            for (int r = 0; r < rows; ++r) {
              const float mean = acc[r] + sb[r];
              acc[r] = mean > 0 ? yc[r] / mean : 0.0f;
            }
          } else {
            for (int r = 0; r < rows; ++r) acc[r] = acc[r] > 0 ? yc[r] / acc[r] : 0.0f;
          }
        }
        // The other plane: back to 0 where the forward pass left its sums.
        for (int e = q.dirtyLo; e < q.dirtyHi; ++e) std::fill_n(q.other + l.at(e), rows, 0.0f);
      } else {
        for (int c = 0; c < a.bins_; ++c) std::fill_n(q.cur + l.at(a.pad_ + c), rows, 1.0f);
      }
      chainBack(a, l, k, q, stack);
      q.clear(l);
    }
    scatter(a, l, b.views, b.count, b.out, b.stride, w);
  }
};

void PsfWork::osemBatchPlain(const PsfProjector& a, const Layout& l, const OsemBatch& b, Batch& w) {
  osemBatchBody(a, l, b, w);
}
__attribute__((target("avx2"))) void PsfWork::osemBatchAvx2(const PsfProjector& a, const Layout& l,
                                                            const OsemBatch& b, Batch& w) {
  osemBatchBody(a, l, b, w);
}
__attribute__((target("avx512f"))) void PsfWork::osemBatchAvx512(const PsfProjector& a, const Layout& l,
                                                                 const OsemBatch& b, Batch& w) {
  osemBatchBody(a, l, b, w);
}
void PsfWork::osemBatch(const PsfProjector& a, const Layout& l, const OsemBatch& b, Batch& w) {
  switch (isaInUse()) {
    case Isa::Avx512: return osemBatchAvx512(a, l, b, w);
    case Isa::Avx2: return osemBatchAvx2(a, l, b, w);
    case Isa::Plain: break;
  }
  osemBatchPlain(a, l, b, w);
}

void PsfProjector::forwardView(int k, const double* f, double* out, const double* weights) const {
  const PsfWork::Layout l(*this);
  PsfWork::Planes<double> q(l);
  PsfWork::forward(*this, l, k, f, std::size_t(rows_), weights, q);
  PsfWork::take(*this, l, q, out);
}

void PsfProjector::backAddView(int k, const double* y, double* out, const double* weights) const {
  const PsfWork::Layout l(*this);
  PsfWork::Planes<double> q(l);
  PsfWork::put(*this, l, y, q);
  PsfWork::back(*this, l, k, out, std::size_t(rows_), weights, q);
}

void PsfProjector::forwardView(int k, const float* f, float* out) const {
  const PsfWork::Layout l(*this);
  PsfWork::Batch w(*this, l, 1);
  PsfWork::gather(*this, l, &k, 1, f, std::size_t(rows_), w);
  PsfWork::chainForward(*this, l, k, w.stacks[0].data(), w.q);
  PsfWork::take(*this, l, w.q, out);
}

void PsfProjector::backAddView(int k, const float* y, float* out) const {
  const PsfWork::Layout l(*this);
  PsfWork::Batch w(*this, l, 1);
  PsfWork::put(*this, l, y, w.q);
  PsfWork::chainBack(*this, l, k, w.q, w.stacks[0].data());
  PsfWork::scatter(*this, l, &k, 1, out, std::size_t(rows_), w);
}

namespace {

// The back projections of a subset are summed in two fixed groups of views (views alternate
// between them), whatever the number of threads, so the numbers never depend on it.
constexpr int kGroups = 2;
constexpr int kBatch = 3;  // views a core projects in one pass over the image
static_assert(kBatch <= kMostInBatch);

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
  const PsfWork::Layout l(a);
  // Single precision, each pixel's rows side by side (a line of `stride`, the rest 0): the
  // image, and each view's counts and scatter as [c * R + r], read as OSEM without the blur
  // reads them (exactRow).
  const std::size_t stride = std::size_t(rows + 15) / 16 * 16, voxels = std::size_t(b) * b * stride;
  const std::size_t perView = std::size_t(rows) * b;
  BigVector<float> y(std::size_t(v) * perView), sc(scatter.empty() ? 0 : y.size());
  std::vector<double> line(static_cast<std::size_t>(b));
  for (int k = 0; k < v; ++k)
    for (int r = 0; r < rows; ++r) {
      exactRow(study, k, r, line.data());
      for (int c = 0; c < b; ++c) {
        const std::size_t to = std::size_t(k) * perView + std::size_t(c) * rows + std::size_t(r);
        y[to] = float(line[std::size_t(c)]);
        if (!sc.empty()) sc[to] = float(scatter[(std::size_t(k) * rows + std::size_t(r)) * b + std::size_t(c)]);
      }
    }
  std::vector<std::pair<int, int>> spans;  // each row of the slice's pixels inside the circle
  for (int i = 0; i < b; ++i) {
    int j0 = 0;
    while (j0 < b && !insideCircle(i, j0, b)) ++j0;
    int j1 = j0;
    while (j1 < b && insideCircle(i, j1, b)) ++j1;
    spans.emplace_back(j0, j1);
  }
  BigVector<float> f(voxels, 0.0f), g0(voxels, 0.0f), g1(voxels, 0.0f);
  for (int i = 0; i < b; ++i)
    for (int j = spans[std::size_t(i)].first; j < spans[std::size_t(i)].second; ++j)
      std::fill_n(f.data() + (std::size_t(i) * b + std::size_t(j)) * stride, rows, 1.0f);
  threads = std::clamp(threads, 1, kGroups);
  std::vector<std::unique_ptr<PsfWork::Batch>> work;
  for (int t = 0; t < threads; ++t) work.push_back(std::make_unique<PsfWork::Batch>(a, l, kBatch));
  // A subset's views, alternating between the two groups' sums, each group's in batches of
  // kBatch in order; a core takes whole groups.
  auto project = [&](const std::vector<int>& vs, bool ones) {
    inThreads(threads, [&](int part, int parts) {
      for (int gi = part; gi < kGroups; gi += parts) {
        std::vector<int> mine;
        for (std::size_t n = std::size_t(gi); n < vs.size(); n += kGroups) mine.push_back(vs[n]);
        for (std::size_t n = 0; n < mine.size(); n += kBatch) {
          const PsfWork::OsemBatch batch{mine.data() + n, int(std::min(mine.size() - n, std::size_t(kBatch))),
                                         f.data(), stride, y.data(), sc.empty() ? nullptr : sc.data(),
                                         perView, ones, gi ? g1.data() : g0.data()};
          PsfWork::osemBatch(a, l, batch, *work[std::size_t(part)]);
        }
      }
    });
  };
  // fn(first, last) over the voxels of the circle's pixels, the slice's rows split between cores.
  auto inside = [&](auto fn) {
    inThreads(threads, [&](int part, int parts) {
      for (int i = b * part / parts; i < b * (part + 1) / parts; ++i) {
        const auto [j0, j1] = spans[std::size_t(i)];
        if (j0 < j1) fn((std::size_t(i) * b + std::size_t(j0)) * stride, (std::size_t(i) * b + std::size_t(j1)) * stride);
      }
    });
  };
  std::vector<std::vector<int>> sets(static_cast<std::size_t>(subsets));
  std::vector<BigVector<float>> sensitivity(static_cast<std::size_t>(subsets));
  for (int m = 0; m < subsets; ++m) {
    if (cancel && *cancel) return volume;
    sets[std::size_t(m)] = subsetViews(v, subsets, m);
    project(sets[std::size_t(m)], true);
    BigVector<float>& s = sensitivity[std::size_t(m)];
    s.assign(voxels, 0.0f);
    inside([&](std::size_t from, std::size_t to) {
      for (std::size_t p = from; p < to; ++p) {
        s[p] = g0[p] + g1[p];
        g0[p] = g1[p] = 0;
      }
    });
  }
  const std::vector<int> order = subsetOrder(subsets);
  for (int it = 0; it < iterations; ++it) {
    for (int m : order) {
      if (cancel && *cancel) return volume;
      project(sets[std::size_t(m)], false);
      const float* s = sensitivity[std::size_t(m)].data();
      inside([&](std::size_t from, std::size_t to) {
        float* __restrict fp = f.data();
        float* __restrict a0 = g0.data();
        float* __restrict a1 = g1.data();
        for (std::size_t p = from; p < to; ++p) {
          fp[p] = s[p] > 0 ? fp[p] / s[p] * (a0[p] + a1[p]) : 0.0f;
          a0[p] = a1[p] = 0;
        }
      });
    }
    if (step && !step(it + 1) && it + 1 < iterations) return volume;
  }
  for (std::vector<double>& out : volume) out.resize(std::size_t(b) * b);
  for (std::size_t p = 0; p < std::size_t(b) * b; ++p)
    for (int r = 0; r < rows; ++r) volume[std::size_t(r)][p] = f[p * stride + std::size_t(r)];
  return volume;
}

std::uint64_t psfVolumeMemoryBytes(const ProjectionStudy& study, const PsfSetup* psf, int subsets,
                                   bool withScatter, int threads) {
  const std::uint64_t v = std::uint64_t(study.views()), rows = std::uint64_t(study.rows());
  const std::uint64_t b = std::uint64_t(study.bins());
  const std::uint64_t stride = (rows + 15) / 16 * 16, voxels = b * b * stride;
  std::uint64_t circle = 0;
  for (int i = 0; i < study.bins(); ++i)
    for (int j = 0; j < study.bins(); ++j) circle += insideCircle(i, j, study.bins());
  // As the projector makes its slabs: the thinner they are, the more lines a view's stack has.
  std::uint64_t slabs = 1;
  if (psf && psf->collimator.blurs()) {
    const double pixel = psf->pixelMm > 0 ? psf->pixelMm
                         : study.geometry().pixelSizeMm > 0 ? study.geometry().pixelSizeMm : 1.0;
    int width = study.bins();
    if (psf->collimator.slope > 0) width = std::clamp(int(0.5 / psf->collimator.slope / pixel), 1, study.bins());
    slabs = std::uint64_t((2 * (study.bins() / 2) + width - 1) / width + 1);
  }
  const std::uint64_t padded = std::uint64_t(AnyGeometry(study.bins()).paddedRow);
  const std::uint64_t counts = v * rows * b * 4 * (withScatter ? 2 : 1);
  const std::uint64_t images = voxels * 4 * (3 + std::uint64_t(std::max(1, subsets)));
  const std::uint64_t tables = v * circle * 10;  // each view's pixels, bins and stack lines
  const std::uint64_t stacks = std::uint64_t(std::clamp(threads, 1, kGroups)) * kBatch * slabs * padded * stride * 4;
  const std::uint64_t slices = rows * b * b * 8;
  return counts + images + tables + stacks + slices;
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
