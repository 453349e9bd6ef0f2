#include "imaging/iterative.h"

#include <algorithm>
#include <cmath>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "imaging/backproject_blocks.h"
#include "imaging/cpu.h"
#include "imaging/geometry.h"

namespace sinora {

namespace {

// The padded-row bin index of every pixel for view k: the study's table, or made for the view.
const std::uint16_t* binsOf(const ProjectionStudy& study, int k, std::vector<std::uint16_t>& own) {
  if (const AnyBinTable* t = study.binTable()) return t->view(k);
  own.resize(std::size_t(study.bins()) * study.bins());
  binsForView(study.angleDegrees(k), AnyGeometry(study.bins()), own.data());
  return own.data();
}

std::vector<int> allViews(int v) {
  std::vector<int> out(static_cast<std::size_t>(v));
  for (int k = 0; k < v; ++k) out[std::size_t(k)] = k;
  return out;
}

// Runs f(part) for parts 0..threads-1 on that many threads (the calling one included).
template <typename F>
void inParts(int threads, F f) {
  if (threads <= 1) {
    f(0);
    return;
  }
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(f, t);
  f(0);
  for (std::thread& t : pool) t.join();
}

// Helpers kept for the length of one reconstruction, so that its many short projections can be
// shared without starting threads each time. run(f) calls f(0) here and f(1..) on the helpers
// and returns when all are done; the parts are fixed, so the numbers never depend on timing.
// A pause inside a short spin (never a yield: on a busy machine that gives away a time slice).
inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

class Crew {
 public:
  explicit Crew(int threads) {
    for (int t = 1; t < threads; ++t) helpers_.emplace_back([this, t] { serve(t); });
  }
  ~Crew() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_) t.join();
  }
  Crew(const Crew&) = delete;
  Crew& operator=(const Crew&) = delete;
  int size() const { return int(helpers_.size()) + 1; }
  void run(const std::function<void(int)>& f) {
    if (helpers_.empty()) {
      f(0);
      return;
    }
    job_ = &f;
    pending_ = int(helpers_.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++generation_;
    }
    wake_.notify_all();
    f(0);
    // A short spin, then sleep: on a busy machine a spinning wait would starve the helpers.
    for (int spin = 0; spin < 4000 && pending_ > 0; ++spin) relax();
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
  }

 private:
  void serve(int part) {
    std::uint64_t seen = 0;
    for (;;) {
      for (int spin = 0; spin < 4000 && generation_ == seen && !quit_; ++spin) relax();
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return generation_ != seen || quit_; });
        if (quit_) return;
        seen = generation_;
      }
      (*job_.load())(part);
      std::lock_guard<std::mutex> lock(mutex_);
      if (--pending_ == 0) done_.notify_all();
    }
  }
  std::vector<std::thread> helpers_;
  std::atomic<const std::function<void(int)>*> job_{nullptr};
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<int> pending_{0};
  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  std::condition_variable wake_, done_;
};

// insideOnly: the image is 0 outside insideCircle (as every OSEM image is), so those pixels are
// left out of the sums (adding 0 changes none).
void forwardViews(const ProjectionStudy& study, const std::vector<double>& in,
                  const std::vector<int>& views, std::vector<double>& out, Crew* crew,
                  bool insideOnly = false, const ViewWeights* weights = nullptr) {
  const int threads = crew ? crew->size() : 1;
  const int b = study.bins();
  const AnyGeometry g(b);
  const std::size_t pixels = std::size_t(b) * b;
  // Only the listed views' rows are written; the others are zero when `out` is new and left as
  // they are otherwise (OSEM reads only the rows of the subset it projected).
  if (out.size() != std::size_t(study.views()) * b) out.assign(std::size_t(study.views()) * b, 0.0);
  const std::function<void(int)> job = [&](int part) {
    std::vector<std::uint16_t> own;
    std::vector<double> weighted;
    for (std::size_t n = std::size_t(part); n < views.size(); n += std::size_t(threads)) {
      const int k = views[n];
      // Attenuated: the view sees each pixel times its weight.
      const double* image = in.data();
      if (weights) {
        const double* wk = (*weights)[std::size_t(k)].data();
        weighted.resize(pixels);
        for (std::size_t p = 0; p < pixels; ++p) weighted[p] = in[p] * wk[p];
        image = weighted.data();
      }
      // The projector gathers each bin's pixels (in ascending order, as a pixel-by-pixel
      // scatter would add them) without the scatter's store-to-load stalls.
      const std::vector<AnyBinLists>* kept = study.binLists(insideOnly);
      AnyBinLists ownLists;
      const AnyBinLists* lists = kept ? &(*kept)[std::size_t(k)] : nullptr;
      if (!lists) {
        ownLists = AnyBinLists(binsOf(study, k, own), pixels, g.paddedRow, insideOnly ? b : 0);
        lists = &ownLists;
      }
      // Four bins at a time: four independent chains of additions instead of one, each bin
      // still adding its own pixels in order.
      const std::uint32_t* start = lists->start.data() + g.pad;
      const std::uint32_t* px = lists->pixels.data();
      double* o = out.data() + std::size_t(k) * b;
      int c = 0;
      for (; c + 4 <= b; c += 4) {
        std::uint32_t q0 = start[c], q1 = start[c + 1], q2 = start[c + 2], q3 = start[c + 3];
        const std::uint32_t e0 = start[c + 1], e1 = start[c + 2], e2 = start[c + 3], e3 = start[c + 4];
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        while (q0 < e0 && q1 < e1 && q2 < e2 && q3 < e3) {
          s0 += image[px[q0++]];
          s1 += image[px[q1++]];
          s2 += image[px[q2++]];
          s3 += image[px[q3++]];
        }
        for (; q0 < e0; ++q0) s0 += image[px[q0]];
        for (; q1 < e1; ++q1) s1 += image[px[q1]];
        for (; q2 < e2; ++q2) s2 += image[px[q2]];
        for (; q3 < e3; ++q3) s3 += image[px[q3]];
        o[c] = s0;
        o[c + 1] = s1;
        o[c + 2] = s2;
        o[c + 3] = s3;
      }
      for (; c < b; ++c) {
        double sum = 0;
        for (std::uint32_t q = start[c]; q < start[c + 1]; ++q) sum += image[px[q]];
        o[c] = sum;
      }
    }
  };
  if (crew) crew->run(job);
  else job(0);
}

// insideOnly: only pixels inside insideCircle are needed (by whole blocks of 8 where the vector
// path runs); the others are left 0.
void backViews(const ProjectionStudy& study, const std::vector<double>& sinogram,
               const std::vector<int>& views, std::vector<double>& out, Crew* crew,
               bool insideOnly = false, const ViewWeights* weights = nullptr) {
  const int threads = crew ? crew->size() : 1;
  const int b = study.bins();
  const AnyGeometry g(b);
  const std::size_t pixels = std::size_t(b) * b;
  // Padded rows of the listed views, so that bins outside the row read 0.
  std::vector<double> rows(views.size() * std::size_t(g.paddedRow) + 8, 0.0);  // 8 spare: see below
  for (std::size_t n = 0; n < views.size(); ++n)
    std::copy(sinogram.begin() + std::ptrdiff_t(views[n]) * b,
              sinogram.begin() + std::ptrdiff_t(views[n] + 1) * b,
              rows.begin() + std::ptrdiff_t(n * std::size_t(g.paddedRow) + std::size_t(g.pad)));
  out.assign(pixels, 0.0);
  // Each part owns a run of pixels; every pixel adds its views in the listed order.
  const std::function<void(int)> job = [&](int part) {
    const std::size_t from = pixels * std::size_t(part) / std::size_t(threads);
    const std::size_t to = pixels * std::size_t(part + 1) / std::size_t(threads);
    if (weights) {  // the exact transpose of the attenuated projector, view by view
      std::vector<std::uint16_t> own;
      for (std::size_t n = 0; n < views.size(); ++n) {
        const std::uint16_t* idx = binsOf(study, views[n], own);
        const double* r = rows.data() + n * std::size_t(g.paddedRow);
        const double* wk = (*weights)[std::size_t(views[n])].data();
        for (std::size_t p = from; p < to; ++p) out[p] += wk[p] * r[idx[p]];
      }
      return;
    }
    if (!study.binTable()) {
      std::vector<std::uint16_t> own;
      for (std::size_t n = 0; n < views.size(); ++n) {
        const std::uint16_t* idx = binsOf(study, views[n], own);
        const double* r = rows.data() + n * std::size_t(g.paddedRow);
        for (std::size_t p = from; p < to; ++p) out[p] += r[idx[p]];
      }
      return;
    }
    auto row = [&](std::size_t n) { return rows.data() + n * std::size_t(g.paddedRow); };
    // Eight pixels at a time where the processor can, on whole blocks of 8 (the same sums).
    if (const AnyBlockTable* blocks = study.blockTable(); blocks && vectorBackprojection()) {
      std::vector<const double*> rowOf(views.size());
      for (std::size_t n = 0; n < views.size(); ++n) rowOf[n] = row(n);
      const std::size_t a = from / 8 * 8, z = part + 1 == threads ? pixels : to / 8 * 8;
      if (!insideOnly) {
        backprojectBlocks(*blocks, rowOf.data(), views.data(), views.size(), a, z, out.data());
        return;
      }
      // Row by row of the slice, over the blocks that touch the circle.
      const int c = b / 2;
      for (int i = 0; i < b; ++i) {
        const int d2 = c * c - (i - c) * (i - c);
        if (d2 <= 0) continue;
        int half = int(std::sqrt(double(d2)));
        while ((half + 1) * (half + 1) < d2) ++half;
        while (half * half >= d2 && half > 0) --half;  // (j - c)^2 < d2 for |j - c| <= half
        const std::size_t row0 = std::size_t(i) * b;
        std::size_t lo = row0 + std::size_t(std::max(0, c - half)) / 8 * 8;
        std::size_t hi = row0 + (std::size_t(std::min(b - 1, c + half)) / 8 + 1) * 8;
        lo = std::max(lo, a);
        hi = std::min(hi, z);
        if (lo < hi) backprojectBlocks(*blocks, rowOf.data(), views.data(), views.size(), lo, hi, out.data());
      }
      return;
    }
    // Blocks that stay in L1, four views a pass, each pixel adding its views in order.
    const AnyBinTable& t = *study.binTable();
    constexpr std::size_t kBlock = 2048;
    for (std::size_t p0 = from; p0 < to; p0 += kBlock) {
      const std::size_t p1 = std::min(to, p0 + kBlock);
      double* a = out.data();
      std::size_t n = 0;
      for (; n + 4 <= views.size(); n += 4) {
        const double *r0 = row(n), *r1 = row(n + 1), *r2 = row(n + 2), *r3 = row(n + 3);
        const std::uint16_t *i0 = t.view(views[n]), *i1 = t.view(views[n + 1]),
                            *i2 = t.view(views[n + 2]), *i3 = t.view(views[n + 3]);
        for (std::size_t p = p0; p < p1; ++p)
          a[p] = (((a[p] + r0[i0[p]]) + r1[i1[p]]) + r2[i2[p]]) + r3[i3[p]];
      }
      for (; n < views.size(); ++n) {
        const double* r = row(n);
        const std::uint16_t* idx = t.view(views[n]);
        for (std::size_t p = p0; p < p1; ++p) a[p] += r[idx[p]];
      }
    }
  };
  if (crew) crew->run(job);
  else job(0);
}

// f <- f / s x bp, 0 where s is 0. Written without a branch so that it runs in vectors; each
// pixel's arithmetic is the same on every path.
__attribute__((always_inline)) inline void updateBody(double* f, const double* s, const double* bp,
                                                       std::size_t n) {
  for (std::size_t p = 0; p < n; ++p) {
    const double q = f[p] / (s[p] > 0 ? s[p] : 1.0) * bp[p];
    f[p] = s[p] > 0 ? q : 0.0;
  }
}
__attribute__((target("avx512f"))) void updateAvx512(double* f, const double* s, const double* bp,
                                                     std::size_t n) {
  updateBody(f, s, bp, n);
}
__attribute__((target("avx2"))) void updateAvx2(double* f, const double* s, const double* bp,
                                                std::size_t n) {
  updateBody(f, s, bp, n);
}
void updateImage(double* f, const double* s, const double* bp, std::size_t n) {
  switch (isaInUse()) {
    case Isa::Avx512: updateAvx512(f, s, bp, n); break;
    case Isa::Avx2: updateAvx2(f, s, bp, n); break;
    case Isa::Plain: updateBody(f, s, bp, n); break;
  }
}

// Weights of the wrong shape are not used (the projector is then the plain one).
const ViewWeights* usable(const ProjectionStudy& study, const ViewWeights* w) {
  if (!w || w->size() != std::size_t(study.views())) return nullptr;
  for (const std::vector<double>& wk : *w)
    if (wk.size() != std::size_t(study.bins()) * study.bins()) return nullptr;
  return w;
}

}  // namespace

std::vector<double> sinogramOf(const ProjectionStudy& study, int row) {
  const int b = study.bins();
  const int g = row >= 0 && row < study.rows() ? row : 0;
  std::vector<double> y(std::size_t(study.views()) * b);
  for (int k = 0; k < study.views(); ++k) {
    const std::uint16_t* src = study.projection(k) + std::size_t(g) * b;
    for (int c = 0; c < b; ++c) y[std::size_t(k) * b + c] = src[c];
  }
  return y;
}

void forwardProject(const ProjectionStudy& study, const std::vector<double>& image,
                    const std::vector<int>& views, std::vector<double>& out,
                    const ViewWeights* weights) {
  out.assign(std::size_t(study.views()) * study.bins(), 0.0);  // unlisted views project to 0
  forwardViews(study, image, views.empty() ? allViews(study.views()) : views, out, nullptr, false,
               usable(study, weights));
}

void backProject(const ProjectionStudy& study, const std::vector<double>& sinogram,
                 const std::vector<int>& views, std::vector<double>& out,
                 const ViewWeights* weights) {
  backViews(study, sinogram, views.empty() ? allViews(study.views()) : views, out, nullptr, false,
            usable(study, weights));
}

std::vector<int> subsetOrder(int subsets) {
  const int m = std::max(1, subsets);
  std::vector<int> order{0};
  std::vector<bool> used(static_cast<std::size_t>(m), false);
  used[0] = true;
  while (int(order.size()) < m) {
    auto apart = [m](int a, int b) {
      const int d = std::abs(a - b);
      return std::min(d, m - d);  // subsets lie round the circle
    };
    int best = -1, bestNearest = -1, bestFromLast = -1;
    for (int c = 0; c < m; ++c) {
      if (used[std::size_t(c)]) continue;
      int nearest = m;
      for (int u : order) nearest = std::min(nearest, apart(c, u));
      const int fromLast = apart(c, order.back());
      if (nearest > bestNearest || (nearest == bestNearest && fromLast > bestFromLast)) {
        bestNearest = nearest;
        bestFromLast = fromLast;
        best = c;
      }
    }
    used[std::size_t(best)] = true;
    order.push_back(best);
  }
  return order;
}

std::vector<int> subsetViews(int views, int subsets, int m) {
  std::vector<int> out;
  for (int k = m; k < views; k += subsets) out.push_back(k);
  return out;
}

std::vector<double> startingImage(int bins) {
    std::vector<double> f(std::size_t(bins) * bins, 0.0);
  for (int i = 0; i < bins; ++i)
    for (int j = 0; j < bins; ++j)
      if (insideCircle(i, j, bins)) f[std::size_t(i) * bins + j] = 1.0;
  return f;
}

namespace {
double likelihoodWith(const ProjectionStudy& study, const std::vector<double>& image,
                      const std::vector<double>& y, Crew* crew, bool insideOnly = false,
                      const ViewWeights* weights = nullptr) {
  std::vector<double> af;
  forwardViews(study, image, allViews(study.views()), af, crew, insideOnly, weights);
  double sum = 0;
  for (std::size_t n = 0; n < af.size(); ++n)
    if (af[n] > 0) sum += y[n] * std::log(af[n]) - af[n];
  return sum;
}
}  // namespace

double logLikelihood(const ProjectionStudy& study, const std::vector<double>& image,
                     const std::vector<double>& y) {
  return likelihoodWith(study, image, y, nullptr);
}

namespace {

// What every row of a study shares: each subset's views and sensitivity A_S^T 1, and the order.
struct Subsets {
  std::vector<std::vector<int>> views;
  std::vector<std::vector<double>> sensitivity;
  std::vector<int> order;
  const ViewWeights* weights;
  Subsets(const ProjectionStudy& study, int subsets, Crew* crew, const ViewWeights* w = nullptr)
      : views(static_cast<std::size_t>(subsets)),
        sensitivity(static_cast<std::size_t>(subsets)),
        order(subsetOrder(subsets)),
        weights(w) {
    const std::vector<double> ones(std::size_t(study.views()) * study.bins(), 1.0);
    for (int m = 0; m < subsets; ++m) {
      views[std::size_t(m)] = subsetViews(study.views(), subsets, m);
      backViews(study, ones, views[std::size_t(m)], sensitivity[std::size_t(m)], crew, true, weights);
    }
  }
};

OsemResult osemRow(const ProjectionStudy& study, int row, const Subsets& sets, int iterations,
                   Crew* crew, const std::atomic<bool>* cancel, bool withLikelihood);

}  // namespace

OsemResult osem(const ProjectionStudy& study, int row, int subsets, int iterations, int threads,
                const std::atomic<bool>* cancel, bool withLikelihood, const ViewWeights* weights) {
  const int v = study.views();
  if (subsets < 1 || v % subsets != 0 || iterations < 1) return {};
  Crew crew(std::max(1, threads));
  const Subsets sets(study, subsets, &crew, usable(study, weights));
  return osemRow(study, row, sets, iterations, &crew, cancel, withLikelihood);
}

namespace {

OsemResult osemRow(const ProjectionStudy& study, int row, const Subsets& sets, int iterations,
                   Crew* crew, const std::atomic<bool>* cancel, bool withLikelihood) {
  OsemResult result;
  const std::vector<double> y = sinogramOf(study, row);
  std::vector<double> f = startingImage(study.bins());
  const std::size_t pixels = f.size();
  const auto& views = sets.views;
  const auto& sensitivity = sets.sensitivity;
  const std::vector<int>& order = sets.order;
  std::vector<double> af, ratio(y.size()), bp;
  for (int it = 0; it < iterations; ++it) {
    for (int m : order) {
      if (cancel && *cancel) return result;
      const std::vector<int>& vs = views[std::size_t(m)];
      forwardViews(study, f, vs, af, crew, true, sets.weights);
      const int b = study.bins();
      for (int k : vs)
        for (int c = 0; c < b; ++c) {
          const std::size_t n = std::size_t(k) * b + c;
          ratio[n] = af[n] > 0 ? y[n] / af[n] : 0.0;
        }
      backViews(study, ratio, vs, bp, crew, true, sets.weights);
      const std::vector<double>& s = sensitivity[std::size_t(m)];
      updateImage(f.data(), s.data(), bp.data(), pixels);
    }
    result.images.push_back(f);
    if (withLikelihood) result.likelihood.push_back(likelihoodWith(study, f, y, crew, true, sets.weights));
  }
  return result;
}

}  // namespace

std::vector<std::vector<double>> osemVolume(const ProjectionStudy& study, int subsets,
                                            int iterations, int threads, const RowProgress& step,
                                            const std::atomic<bool>* cancel) {
  const int rows = study.rows();
  std::vector<std::vector<double>> volume(static_cast<std::size_t>(rows));
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> stop{false};
  std::mutex report;
  if (subsets < 1 || study.views() % subsets != 0 || iterations < 1) return volume;
  const Subsets sets(study, subsets, nullptr);  // the same for every row
  inParts(std::max(1, threads), [&](int) {
    for (int r = next++; r < rows && !stop && !(cancel && *cancel); r = next++) {
      OsemResult one = osemRow(study, r, sets, iterations, nullptr, cancel, false);
      if (int(one.images.size()) == iterations) volume[std::size_t(r)] = std::move(one.images.back());
      const int n = ++done;
      if (step) {
        std::lock_guard<std::mutex> lock(report);
        if (!step(n)) stop = true;
      }
    }
  });
  return volume;
}

std::vector<double> gaussianFilter(const std::vector<double>& image, int bins, double fwhm) {
  if (!(fwhm > 0) || !std::isfinite(fwhm)) return image;
  const double sigma = fwhm / (2 * std::sqrt(2 * std::log(2.0)));
  const int half = std::max(1, int(std::ceil(3 * sigma)));
  std::vector<double> w(static_cast<std::size_t>(2 * half + 1));
  for (int d = -half; d <= half; ++d) w[std::size_t(d + half)] = std::exp(-0.5 * d * d / (sigma * sigma));
  auto pass = [&](const std::vector<double>& in, bool across) {
    std::vector<double> out(in.size());
    for (int i = 0; i < bins; ++i)
      for (int j = 0; j < bins; ++j) {
        double sum = 0, weight = 0;
        for (int d = -half; d <= half; ++d) {
          const int ii = across ? i + d : i, jj = across ? j : j + d;
          if (ii < 0 || ii >= bins || jj < 0 || jj >= bins) continue;
          sum += w[std::size_t(d + half)] * in[std::size_t(ii) * bins + jj];
          weight += w[std::size_t(d + half)];
        }
        out[std::size_t(i) * bins + j] = sum / weight;
      }
    return out;
  };
  return pass(pass(image, true), false);
}

}  // namespace sinora
