#include "imaging/iterative.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "imaging/backproject_blocks.h"
#include "imaging/cpu.h"
#include "imaging/forward_steps.h"
#include "imaging/geometry.h"
#include "imaging/lanes.h"

namespace sinora {

namespace {

std::vector<int> allViews(int v) {
  std::vector<int> out(static_cast<std::size_t>(v));
  for (int k = 0; k < v; ++k) out[std::size_t(k)] = k;
  return out;
}

// Scratch of one projector: made once per reconstruction and reused for all its projections.
struct Scratch {
  std::vector<std::uint16_t> own;
  std::vector<double> weighted, rows;
  std::vector<const double*> rowOf;
  std::vector<int> order;
  AnyBinLists lists;
  // Each row's pixels in whole blocks of 8 that touch insideCircle, [first, last) of the slice
  // (rows off the circle left out), for a slice of circleBins.
  std::vector<std::pair<std::size_t, std::size_t>> circle;
  int circleBins = 0;
  std::vector<std::uint32_t> circleList;  // the same blocks' numbers (pixel / 8), for circleBins
};

std::pair<int, int> circleSpan(int i, int b);

const std::vector<std::pair<std::size_t, std::size_t>>& circleBlocks(Scratch& w, int b) {
  if (w.circleBins != b) {
    w.circle.clear();
    w.circleList.clear();
    for (int i = 0; i < b; ++i) {
      const auto [j0, j1] = circleSpan(i, b);
      if (j0 >= j1) continue;
      const std::size_t row0 = std::size_t(i) * b;
      w.circle.emplace_back(row0 + std::size_t(j0) / 8 * 8,
                            row0 + std::min(std::size_t(b), (std::size_t(j1 - 1) / 8 + 1) * 8));
    }
    w.circleBins = b;
  }
  return w.circle;
}

// The same blocks' numbers (pixel / 8), in order, made once per slice size.
const std::vector<std::uint32_t>& circleList(Scratch& w, int b) {
  const auto& circle = circleBlocks(w, b);  // clears the list when the slice's size changed
  if (w.circleList.empty())
    for (const auto& [lo, hi] : circle)
      for (std::size_t q = lo / 8; q < hi / 8; ++q) w.circleList.push_back(std::uint32_t(q));
  return w.circleList;
}

// The projector's pixel lists of one view, eight bins side by side: step s of group q holds the
// s-th pixel of each of its 8 bins as 16-bit numbers (pixel 0 where a bin has no more), eight
// chains of additions side by side. Pixel 0 lies outside insideCircle, where the
// image is 0, and adding 0 to a sum that started at +0 changes nothing: each bin's sum is the
// lists'. For slices of at most 65536 pixels.
struct OctView {
  std::vector<std::uint32_t> start;  // per group of 8 bins, in steps; one past the end last
  std::vector<std::uint16_t> steps;  // eight pixel numbers a step
};
using OctTable = std::vector<OctView>;

std::shared_ptr<const OctTable> octTable(const ProjectionStudy& study) {
  const std::vector<AnyBinLists>* lists = study.binLists(true);
  if (!lists || std::size_t(study.bins()) * study.bins() > 65536) return nullptr;
  return std::static_pointer_cast<const OctTable>(study.derived("osem-octs", [&] {
    const int b = study.bins(), groups = (b + 7) / 8;
    const AnyGeometry g(b);
    auto table = std::make_shared<OctTable>(lists->size());
    for (std::size_t k = 0; k < lists->size(); ++k) {
      const AnyBinLists& l = (*lists)[k];
      OctView& out = (*table)[k];
      out.start.assign(std::size_t(groups) + 1, 0);
      auto first = [&](int c) { return c < b ? l.start[std::size_t(c + g.pad)] : 0u; };
      auto length = [&](int c) { return c < b ? l.start[std::size_t(c + g.pad) + 1] - first(c) : 0u; };
      for (int q = 0; q < groups; ++q) {
        std::uint32_t steps = 0;
        for (int c = 8 * q; c < 8 * q + 8; ++c) steps = std::max(steps, length(c));
        out.start[std::size_t(q) + 1] = out.start[std::size_t(q)] + steps;
        for (std::uint32_t st = 0; st < steps; ++st)
          for (int e = 0; e < 8; ++e) {
            const int c = 8 * q + e;
            out.steps.push_back(st < length(c) ? std::uint16_t(l.pixels[first(c) + st]) : std::uint16_t(0));
          }
      }
    }
    return std::static_pointer_cast<const void>(std::shared_ptr<const OctTable>(std::move(table)));
  }));
}

// The window steps of the views where they beat forwardOcts; null unless AVX-512 is in use.
std::shared_ptr<const WindowTable> windowTable(const ProjectionStudy& study) {
  const std::vector<AnyBinLists>* lists = study.binLists(true);
  if (!lists || !vectorBackprojection() || std::size_t(study.bins()) * study.bins() > 65536) return nullptr;
  return std::static_pointer_cast<const WindowTable>(study.derived("osem-windows", [&] {
    return std::static_pointer_cast<const void>(buildWindowTable(*lists, study.bins()));
  }));
}

// out[c] for the B bins of one view: eight chains of additions (one would wait for each
// addition before the next).
void forwardOcts(const OctView& v, const double* image, double* out, int b) {
  const int groups = (b + 7) / 8;
  for (int q = 0; q < groups; ++q) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0;
    // Each pixel number read straight from the table (a load and an add a term).
    const std::uint16_t* x = v.steps.data() + 8 * std::size_t(v.start[std::size_t(q)]);
    const std::uint16_t* end = v.steps.data() + 8 * std::size_t(v.start[std::size_t(q) + 1]);
    for (; x != end; x += 8) {
      s0 += image[x[0]];
      s1 += image[x[1]];
      s2 += image[x[2]];
      s3 += image[x[3]];
      s4 += image[x[4]];
      s5 += image[x[5]];
      s6 += image[x[6]];
      s7 += image[x[7]];
    }
    const double sums[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    for (int e = 0; e < 8 && 8 * q + e < b; ++e) out[8 * q + e] = sums[e];
  }
}

// insideOnly: the image is 0 outside insideCircle (as every OSEM image is), so those pixels are
// left out of the sums (adding 0 changes none).
void forwardViews(const ProjectionStudy& study, const double* in,
                  const std::vector<int>& views, std::vector<double>& out, Scratch& w,
                  bool insideOnly = false, const ViewWeights* weights = nullptr) {
  const int b = study.bins();
  const AnyGeometry g(b);
  const std::size_t pixels = std::size_t(b) * b;
  // Only the listed views' rows are written; the others are zero when `out` is new and left as
  // they are otherwise (OSEM reads only the rows of the subset it projected).
  if (out.size() != std::size_t(study.views()) * b) out.assign(std::size_t(study.views()) * b, 0.0);
  const std::vector<AnyBinLists>* kept = study.binLists(insideOnly);
  // Four bins a load inside the circle (where pixel 0 is 0).
  const std::shared_ptr<const OctTable> octs = insideOnly && kept ? octTable(study) : nullptr;
  const std::shared_ptr<const WindowTable> windows = octs ? windowTable(study) : nullptr;
  for (const int k : views) {
    // Attenuated: the view sees each pixel times its weight.
    const double* image = in;
    if (weights) {
      const double* wk = (*weights)[std::size_t(k)].data();
      w.weighted.resize(pixels);
      for (std::size_t p = 0; p < pixels; ++p) w.weighted[p] = in[p] * wk[p];
      image = w.weighted.data();
    }
    if (windows && windows->views[std::size_t(k)].phases) {
      forwardWindows(windows->views[std::size_t(k)], image, out.data() + std::size_t(k) * b, b);
      continue;
    }
    if (octs) {
      forwardOcts((*octs)[std::size_t(k)], image, out.data() + std::size_t(k) * b, b);
      continue;
    }
    // The projector gathers each bin's pixels (in ascending order, as a pixel-by-pixel
    // scatter would add them) without the scatter's store-to-load stalls.
    const AnyBinLists* lists = kept ? &(*kept)[std::size_t(k)] : nullptr;
    if (!lists) {
      w.own.resize(pixels);
      binsForView(study.angleDegrees(k), g, w.own.data());
      w.lists = AnyBinLists(w.own.data(), pixels, g.paddedRow, insideOnly ? b : 0);
      lists = &w.lists;
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
}

// The first and one past the last j of row i inside insideCircle (lo == hi: none).
std::pair<int, int> circleSpan(int i, int b) {
  const int c = b / 2;
  const int d2 = c * c - (i - c) * (i - c);
  if (d2 <= 0) return {0, 0};
  int half = int(std::sqrt(double(d2)));
  while ((half + 1) * (half + 1) < d2) ++half;
  while (half * half >= d2 && half > 0) --half;  // (j - c)^2 < d2 for |j - c| <= half
  return {std::max(0, c - half), std::min(b, c + half + 1)};
}

// insideOnly: only pixels inside insideCircle are needed (by whole blocks of 8 where the vector
// path runs); the others are left 0.
// `own`, when given, is a block table of exactly the listed views, in their order.
// With fUpdate (and insideOnly), where the vector path runs, the sums are not stored: each
// block of the circle goes straight on to f <- f / s x sum (0 where s is 0), and true is returned.
bool backViews(const ProjectionStudy& study, const std::vector<double>& sinogram,
               const std::vector<int>& views, std::vector<double>& out, Scratch& w,
               bool insideOnly = false, const ViewWeights* weights = nullptr,
               const AnyBlockTable* own = nullptr, double* fUpdate = nullptr,
               const double* sUpdate = nullptr, const PackedBlocks* packed = nullptr) {
  const int b = study.bins();
  const AnyGeometry g(b);
  const std::size_t pixels = std::size_t(b) * b;
  // Padded rows of the listed views, so that bins outside the row read 0; 8 spare at the end
  // for the vector path. The padding is never written, so the buffer is cleared only when it grows.
  const std::size_t need = views.size() * std::size_t(g.paddedRow) + 8;
  if (w.rows.size() < need) w.rows.assign(need, 0.0);
  for (std::size_t n = 0; n < views.size(); ++n)
    std::copy(sinogram.begin() + std::ptrdiff_t(views[n]) * b,
              sinogram.begin() + std::ptrdiff_t(views[n] + 1) * b,
              w.rows.begin() + std::ptrdiff_t(n * std::size_t(g.paddedRow) + std::size_t(g.pad)));
  auto row = [&](std::size_t n) { return w.rows.data() + n * std::size_t(g.paddedRow); };
  const AnyBlockTable* blocks = own ? own : study.blockTable();
  const bool vector = !weights && study.binTable() && blocks && vectorBackprojection();
  // The vector path inside the circle starts each block's sums from 0 and never writes the
  // pixels of the blocks off the circle: they are cleared only when `out` is made.
  if (!(vector && insideOnly) || out.size() != pixels) out.assign(pixels, 0.0);
  if (weights || !study.binTable()) {
    // The exact transpose of the (attenuated) projector, view by view.
    for (std::size_t n = 0; n < views.size(); ++n) {
      const std::uint16_t* idx;
      if (const AnyBinTable* t = study.binTable()) {
        idx = t->view(views[n]);
      } else {
        w.own.resize(pixels);
        binsForView(study.angleDegrees(views[n]), g, w.own.data());
        idx = w.own.data();
      }
      const double* r = row(n);
      if (weights) {
        const double* wk = (*weights)[std::size_t(views[n])].data();
        for (std::size_t p = 0; p < pixels; ++p) out[p] += wk[p] * r[idx[p]];
      } else {
        for (std::size_t p = 0; p < pixels; ++p) out[p] += r[idx[p]];
      }
    }
    return false;
  }
  // Eight pixels at a time where the processor can, on whole blocks of 8 (the same sums).
  if (vector) {
    w.rowOf.resize(views.size());
    for (std::size_t n = 0; n < views.size(); ++n) w.rowOf[n] = row(n);
    if (own) {
      w.order.resize(views.size());
      for (std::size_t n = 0; n < views.size(); ++n) w.order[n] = int(n);
    }
    const std::vector<int>& order = own ? w.order : views;
    if (!insideOnly) {
      backprojectBlocks(*blocks, w.rowOf.data(), order.data(), views.size(), 0, pixels, out.data());
      return false;
    }
    if (fUpdate && packed && own) return backprojectPacked(*packed, w.rowOf.data(), fUpdate, sUpdate);
    // The blocks that touch the circle.
    const std::vector<std::uint32_t>& list = circleList(w, b);
    if (fUpdate)
      return backprojectBlockListUpdate(*blocks, w.rowOf.data(), order.data(), views.size(), list.data(),
                                        list.size(), fUpdate, sUpdate);
    backprojectBlockList(*blocks, w.rowOf.data(), order.data(), views.size(), list.data(), list.size(),
                         out.data());
    return false;
  }
  // Blocks that stay in L1, four views a pass, each pixel adding its views in order.
  const AnyBinTable& t = *study.binTable();
  constexpr std::size_t kBlock = 2048;
  for (std::size_t p0 = 0; p0 < pixels; p0 += kBlock) {
    const std::size_t p1 = std::min(pixels, p0 + kBlock);
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
  return false;
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

// r <- y / af, 0 where af is not above 0: as updateImage, in vectors where the processor can.
__attribute__((always_inline)) inline void ratioBody(double* r, const double* y, const double* af, std::size_t n) {
  for (std::size_t c = 0; c < n; ++c) {
    const double q = y[c] / (af[c] > 0 ? af[c] : 1.0);
    r[c] = af[c] > 0 ? q : 0.0;
  }
}
__attribute__((target("avx512f"))) void ratioAvx512(double* r, const double* y, const double* af, std::size_t n) {
  ratioBody(r, y, af, n);
}
__attribute__((target("avx2"))) void ratioAvx2(double* r, const double* y, const double* af, std::size_t n) {
  ratioBody(r, y, af, n);
}
void ratioOf(double* r, const double* y, const double* af, std::size_t n) {
  switch (isaInUse()) {
    case Isa::Avx512: ratioAvx512(r, y, af, n); break;
    case Isa::Avx2: ratioAvx2(r, y, af, n); break;
    case Isa::Plain: ratioBody(r, y, af, n); break;
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
  for (int k = 0; k < study.views(); ++k) exactRow(study, k, g, y.data() + std::size_t(k) * b);
  return y;
}

void forwardProject(const ProjectionStudy& study, const std::vector<double>& image,
                    const std::vector<int>& views, std::vector<double>& out,
                    const ViewWeights* weights) {
  out.assign(std::size_t(study.views()) * study.bins(), 0.0);  // unlisted views project to 0
  Scratch w;
  forwardViews(study, image.data(), views.empty() ? allViews(study.views()) : views, out, w, false,
               usable(study, weights));
}

void backProject(const ProjectionStudy& study, const std::vector<double>& sinogram,
                 const std::vector<int>& views, std::vector<double>& out,
                 const ViewWeights* weights) {
  Scratch w;
  backViews(study, sinogram, views.empty() ? allViews(study.views()) : views, out, w, false,
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

double likelihoodWith(const ProjectionStudy& study, const double* image,
                      const std::vector<double>& y, Scratch& w, std::vector<double>& af,
                      const std::vector<int>& all, bool insideOnly = false,
                      const ViewWeights* weights = nullptr) {
  forwardViews(study, image, all, af, w, insideOnly, weights);
  double sum = 0;
  for (std::size_t n = 0; n < af.size(); ++n)
    if (af[n] > 0) sum += y[n] * std::log(af[n]) - af[n];
  return sum;
}

}  // namespace

double logLikelihood(const ProjectionStudy& study, const std::vector<double>& image,
                     const std::vector<double>& y) {
  Scratch w;
  std::vector<double> af;
  return likelihoodWith(study, image.data(), y, w, af, allViews(study.views()));
}

namespace {

// What every row of a study shares: each subset's views and sensitivity A_S^T 1, and the order.
// Without attenuation it is kept with the study (made once per subset count).
struct Subsets {
  std::vector<std::vector<int>> views;
  std::vector<std::vector<double>> sensitivity;
  std::vector<int> order;
  const ViewWeights* weights;
  Subsets(const ProjectionStudy& study, int subsets, const ViewWeights* w = nullptr)
      : views(static_cast<std::size_t>(subsets)),
        sensitivity(static_cast<std::size_t>(subsets)),
        order(subsetOrder(subsets)),
        weights(w) {
    const std::vector<double> ones(std::size_t(study.views()) * study.bins(), 1.0);
    Scratch scratch;
    for (int m = 0; m < subsets; ++m) {
      views[std::size_t(m)] = subsetViews(study.views(), subsets, m);
      backViews(study, ones, views[std::size_t(m)], sensitivity[std::size_t(m)], scratch, true, weights);
    }
  }
};

// The study's blocks of 8 (backproject_blocks.h) subset by subset, each subset's views side by
// side, so that a subset's backprojection reads its entries in one stream (the study's table
// holds a block's views 0, 1, 2, ... together: a subset's are far apart). Kept with the study.
using SubsetBlocks = std::vector<AnyBlockTable>;

std::shared_ptr<const SubsetBlocks> subsetBlocksOf(const ProjectionStudy& study, const Subsets& sets) {
  const AnyBlockTable* all = study.blockTable();
  if (!all || !vectorBackprojection() || sets.views.size() < 2) return nullptr;
  return std::static_pointer_cast<const SubsetBlocks>(study.derived(
      "osem-subset-blocks/" + std::to_string(sets.views.size()), [&] {
        auto out = std::make_shared<SubsetBlocks>(sets.views.size());
        for (std::size_t m = 0; m < sets.views.size(); ++m) {
          const std::vector<int>& vs = sets.views[m];
          AnyBlockTable& t = (*out)[m];
          t.views = int(vs.size());
          t.blocks = all->blocks;
          t.base.resize(t.blocks * vs.size());
          t.offsets.resize(t.blocks * vs.size());
          for (std::size_t q = 0; q < t.blocks; ++q)
            for (std::size_t n = 0; n < vs.size(); ++n) {
              const std::size_t from = q * std::size_t(all->views) + std::size_t(vs[n]);
              t.base[q * vs.size() + n] = all->base[from];
              t.offsets[q * vs.size() + n] = all->offsets[from];
            }
        }
        return std::static_pointer_cast<const void>(std::shared_ptr<const SubsetBlocks>(std::move(out)));
      }));
}

// The same subsets' entries packed in 16 bits (backproject_blocks.h), for the blocks of the
// circle: null where they do not pack.
using PackedSubsets = std::vector<std::unique_ptr<PackedBlocks>>;

std::shared_ptr<const PackedSubsets> packedSubsetsOf(const ProjectionStudy& study, const Subsets& sets,
                                                     const SubsetBlocks& blocks) {
  return std::static_pointer_cast<const PackedSubsets>(study.derived(
      "osem-subset-packed/" + std::to_string(sets.views.size()), [&]() -> std::shared_ptr<const void> {
        Scratch w;
        const std::vector<std::uint32_t>& list = circleList(w, study.bins());
        auto out = std::make_shared<PackedSubsets>();
        for (const AnyBlockTable& t : blocks) {
          out->push_back(packBlocks(t, list.data(), list.size()));
          if (!out->back()) return std::make_shared<const PackedSubsets>();  // none: the 10-byte path
        }
        return std::static_pointer_cast<const void>(std::shared_ptr<const PackedSubsets>(std::move(out)));
      }));
}

std::shared_ptr<const Subsets> subsetsOf(const ProjectionStudy& study, int subsets,
                                         const ViewWeights* weights) {
  if (weights) return std::make_shared<const Subsets>(study, subsets, weights);
  return std::static_pointer_cast<const Subsets>(study.derived(
      "osem-subsets/" + std::to_string(subsets),
      [&] { return std::static_pointer_cast<const void>(std::make_shared<const Subsets>(study, subsets)); }));
}

// One slice on the calling thread: a slice's projections are too short to share between cores
// (a hand-off costs more than the work it hands off). Every buffer lives as long as the run.
OsemResult osemRow(const ProjectionStudy& study, int row, const Subsets& sets, int iterations,
                   const std::atomic<bool>* cancel, bool withLikelihood) {
  OsemResult result;
  const std::vector<double> y = sinogramOf(study, row);
  // startingImage on whole cache lines, as the projector's windows read it.
  const int b = study.bins();
  BigVector<double> f(std::size_t(b) * b, 0.0);
  for (int i = 0; i < b; ++i) {
    const auto [j0, j1] = circleSpan(i, b);
    std::fill(f.begin() + std::ptrdiff_t(i) * b + j0, f.begin() + std::ptrdiff_t(i) * b + j1, 1.0);
  }
  Scratch w;
  std::vector<double> af, ratio(y.size()), bp, likelihoodAf;
  const std::vector<int> all = allViews(study.views());
  const std::shared_ptr<const SubsetBlocks> blocks = sets.weights ? nullptr : subsetBlocksOf(study, sets);
  const std::shared_ptr<const PackedSubsets> packed = blocks ? packedSubsetsOf(study, sets, *blocks) : nullptr;
  for (int it = 0; it < iterations; ++it) {
    for (int m : sets.order) {
      if (cancel && *cancel) return result;
      const std::vector<int>& vs = sets.views[std::size_t(m)];
      forwardViews(study, f.data(), vs, af, w, true, sets.weights);
      for (int k : vs) {
        const std::size_t n = std::size_t(k) * b;
        ratioOf(ratio.data() + n, y.data() + n, af.data() + n, std::size_t(b));
      }
      // Only where f can be other than 0: outside the circle f is 0 and stays 0.
      const std::vector<double>& s = sets.sensitivity[std::size_t(m)];
      const PackedBlocks* pack = packed && !packed->empty() ? (*packed)[std::size_t(m)].get() : nullptr;
      if (!backViews(study, ratio, vs, bp, w, true, sets.weights, blocks ? &(*blocks)[std::size_t(m)] : nullptr,
                     f.data(), s.data(), pack))
        for (const auto& [lo, hi] : circleBlocks(w, b)) updateImage(f.data() + lo, s.data() + lo, bp.data() + lo, hi - lo);
    }
    result.images.emplace_back(f.begin(), f.end());
    if (withLikelihood)
      result.likelihood.push_back(likelihoodWith(study, f.data(), y, w, likelihoodAf, all, true, sets.weights));
  }
  return result;
}

// Volumes: eight rows at a time (lanes.h). Each row's arithmetic is that of osemRow, operation
// for operation and in the same order, so the slices are those of osem() bit for bit on every
// vector width.

// The volume projector's pixel lists, band by band of the slice's rows (about 256 KB of image a
// band, so that the image read stays in cache at 256 bins) and eight bins side by side: step a
// of group q in band t holds the a-th pixel of the band of each of its 8 bins (pixel 0, where
// the image is 0, when a bin has no more), so that the eight chains of additions run together
// without a tail each. Each bin's sum goes on from band to band, its pixels in ascending order.
struct VolumeGroups {
  int bands = 1;
  struct View {
    std::vector<std::uint32_t> start;   // [t * groups + q] in steps; one past the end last
    std::vector<std::uint16_t> narrow;  // 8 a step, for slices of at most 65536 pixels
    std::vector<std::uint32_t> wide;    // 8 a step, for larger slices
  };
  std::vector<View> views;
};

int volumeBandRows(int b) { return std::max(1, int((256u << 10) / (std::size_t(b) * kLanes * sizeof(double)))); }

std::shared_ptr<const VolumeGroups> volumeGroups(const ProjectionStudy& study,
                                                 const std::vector<AnyBinLists>& lists) {
  return std::static_pointer_cast<const VolumeGroups>(study.derived("osem-volume-groups", [&] {
    const int b = study.bins(), groups = (b + 7) / 8, bandRows = volumeBandRows(b);
    const AnyGeometry g(b);
    auto out = std::make_shared<VolumeGroups>();
    out->bands = (b + bandRows - 1) / bandRows;
    out->views.resize(lists.size());
    std::vector<std::uint32_t> from(8), to(8);
    for (std::size_t k = 0; k < lists.size(); ++k) {
      const AnyBinLists& l = lists[k];
      VolumeGroups::View& v = out->views[k];
      v.start.assign(std::size_t(out->bands) * groups + 1, 0);
      for (int t = 0; t < out->bands; ++t) {
        const std::uint32_t lo = std::uint32_t(std::min(b, t * bandRows) * b);
        const std::uint32_t hi = std::uint32_t(std::min(b, (t + 1) * bandRows) * b);
        for (int q = 0; q < groups; ++q) {
          std::uint32_t steps = 0;
          for (int e = 0; e < 8; ++e) {
            const int c = 8 * q + e;
            from[std::size_t(e)] = to[std::size_t(e)] = 0;
            if (c >= b) continue;
            const std::uint32_t* first = l.pixels.data() + l.start[std::size_t(c + g.pad)];
            const std::uint32_t* last = l.pixels.data() + l.start[std::size_t(c + g.pad) + 1];
            from[std::size_t(e)] = std::uint32_t(std::lower_bound(first, last, lo) - l.pixels.data());
            to[std::size_t(e)] = std::uint32_t(std::lower_bound(first, last, hi) - l.pixels.data());
            steps = std::max(steps, to[std::size_t(e)] - from[std::size_t(e)]);
          }
          for (std::uint32_t a = 0; a < steps; ++a)
            for (int e = 0; e < 8; ++e) {
              const std::uint32_t q0 = from[std::size_t(e)] + a;
              const std::uint32_t p = q0 < to[std::size_t(e)] ? l.pixels[q0] : 0u;
              if (std::size_t(b) * b <= 65536)
                v.narrow.push_back(std::uint16_t(p));
              else
                v.wide.push_back(p);
            }
          const std::size_t at = std::size_t(t) * groups + std::size_t(q);
          v.start[at + 1] = v.start[at] + steps;
        }
      }
    }
    return std::static_pointer_cast<const void>(std::shared_ptr<const VolumeGroups>(std::move(out)));
  }));
}

struct VolumePlan {
  const ProjectionStudy& study;
  const Subsets& sets;
  const AnyBinTable& table;
  const VolumeGroups& groups;
  int iterations;
  std::vector<std::pair<int, int>> spans;  // insideCircle's j range of each row of the slice
  std::size_t subsetViews = 0;             // the most views of any subset
};

// One group of eight bins of one band: each bin's sum goes on with the group's steps.
template <typename Index>
__attribute__((always_inline)) inline void groupSums(const Index* x, const Index* end, const double* f, Lanes* s) {
  const std::size_t L = kLanes;
  Lanes s0 = s[0], s1 = s[1], s2 = s[2], s3 = s[3], s4 = s[4], s5 = s[5], s6 = s[6], s7 = s[7];
  for (; x != end; x += 8) {
    s0 += lanesAt(f + std::size_t(x[0]) * L);
    s1 += lanesAt(f + std::size_t(x[1]) * L);
    s2 += lanesAt(f + std::size_t(x[2]) * L);
    s3 += lanesAt(f + std::size_t(x[3]) * L);
    s4 += lanesAt(f + std::size_t(x[4]) * L);
    s5 += lanesAt(f + std::size_t(x[5]) * L);
    s6 += lanesAt(f + std::size_t(x[6]) * L);
    s7 += lanesAt(f + std::size_t(x[7]) * L);
  }
  s[0] = s0, s[1] = s1, s[2] = s2, s[3] = s3, s[4] = s4, s[5] = s5, s[6] = s6, s[7] = s7;
}

struct BlockWork {
  LineBuffer y, f, rows, next, bp;
};

// The OSEM of rows row0 .. row0 + 7 (rows past the study's end are zeros, and thrown away).
// False when cancelled.
// The next subset's projection of a band of the slice's rows follows the update of that band at
// once, while the band's image is in cache (a 256 x 256 block's image is 4 MB: read once a
// subset instead of twice). Each bin still adds its pixels band after band in ascending order,
// and each row's update is what it was, so every number is the same.
__attribute__((always_inline)) inline bool osemBlockBody(const VolumePlan& plan, int row0,
                                                         const std::atomic<bool>* cancel,
                                                         BlockWork& w) {
  const ProjectionStudy& study = plan.study;
  const int b = study.bins(), v = study.views();
  const AnyGeometry g(b);
  const std::size_t pixels = std::size_t(b) * b, L = kLanes, pr = std::size_t(g.paddedRow);
  const Lanes zero = {};
  // Made once per core and study (pixels outside the circle and the rows' padding stay 0); each
  // block overwrites the rest.
  if (w.f.size() != pixels * L) {
    w.y.assign(std::size_t(v) * b * L, 0.0);
    w.f.assign(pixels * L, 0.0);
    w.bp.assign(std::size_t(b) * L, 0.0);  // one row of the slice
    w.rows.assign(plan.subsetViews * pr * L + L, 0.0);
    w.next.assign(plan.subsetViews * pr * L + L, 0.0);
  }
  std::vector<double> counts(static_cast<std::size_t>(b));
  for (int r = 0; r < kLanes; ++r) {
    const bool real = row0 + r < study.rows();
    for (int k = 0; k < v; ++k) {
      exactRow(study, k, real ? row0 + r : 0, counts.data());
      for (int c = 0; c < b; ++c) w.y[(std::size_t(k) * b + c) * L + std::size_t(r)] = real ? counts[std::size_t(c)] : 0.0;
    }
  }
  for (int i = 0; i < b; ++i)
    for (int j = plan.spans[std::size_t(i)].first; j < plan.spans[std::size_t(i)].second; ++j)
      lanesAt(w.f.data() + (std::size_t(i) * b + j) * L) = zero + 1.0;
  double* f = w.f.data();
  double* bp = w.bp.data();
  const int groups = (b + 7) / 8, bandRows = volumeBandRows(b);
  // A f of band t for each view of vs into its padded row of `sums`; each bin's sum goes on from
  // band to band, its pixels in ascending order.
  auto forwardBand = [&](const std::vector<int>& vs, int t, double* sums) {
    for (std::size_t n = 0; n < vs.size(); ++n) {
      const VolumeGroups::View& gv = plan.groups.views[std::size_t(vs[n])];
      const std::uint32_t* start = gv.start.data() + std::size_t(t) * groups;
      double* sum = sums + (n * pr + std::size_t(g.pad)) * L;
      auto at = [&](int c) -> Lanes& { return lanesAt(sum + std::size_t(c) * L); };
      for (int q = 0; q < groups; ++q) {
        const int c = 8 * q;
        Lanes part[8];
        for (int e = 0; e < 8; ++e) part[e] = t && c + e < b ? at(c + e) : zero;
        const std::size_t from = std::size_t(start[q]) * 8, to = std::size_t(start[q + 1]) * 8;
        if (!gv.narrow.empty())
          groupSums(gv.narrow.data() + from, gv.narrow.data() + to, f, part);
        else
          groupSums(gv.wide.data() + from, gv.wide.data() + to, f, part);
        for (int e = 0; e < 8 && c + e < b; ++e) at(c + e) = part[e];
      }
    }
  };
  const std::size_t subsets = plan.sets.order.size(), steps = subsets * std::size_t(plan.iterations);
  auto viewsOf = [&](std::size_t step) -> const std::vector<int>& {
    return plan.sets.views[std::size_t(plan.sets.order[step % subsets])];
  };
  for (int t = 0; t < plan.groups.bands; ++t) forwardBand(viewsOf(0), t, w.rows.data());
  for (std::size_t step = 0; step < steps; ++step) {
    if (cancel && *cancel) return false;
    const std::vector<int>& vs = viewsOf(step);
    const int m = plan.sets.order[step % subsets];
    // The ratio y / A f in place.
    for (std::size_t n = 0; n < vs.size(); ++n) {
      const double* y = w.y.data() + std::size_t(vs[n]) * b * L;
      double* ratio = w.rows.data() + (n * pr + std::size_t(g.pad)) * L;
      for (int c = 0; c < b; ++c) {
        const Lanes s0 = lanesAt(ratio + std::size_t(c) * L);
        lanesAt(ratio + std::size_t(c) * L) = s0 > 0 ? lanesAt(y + std::size_t(c) * L) / s0 : zero;
      }
    }
    // A^T ratio over the pixels inside the circle, row by row of the slice, four views a pass,
    // each pixel adding its views in order from 0; then that row's f <- f / s x bp (0 where s
    // is 0) while its sums are in cache. f stays 0 outside the circle. After each band, the
    // next subset's projection of it.
    const double* rows = w.rows.data();
    const double* s = plan.sets.sensitivity[std::size_t(m)].data();
    for (int t = 0; t < plan.groups.bands; ++t) {
      for (int i = t * bandRows; i < std::min(b, (t + 1) * bandRows); ++i) {
        const auto [j0, j1] = plan.spans[std::size_t(i)];
        const std::size_t row = std::size_t(i) * b;
        const std::uint16_t* at[4];
        // f <- f / s x bp (0 where s is 0); the last pass of four views feeds it its sums at once,
        // so that f's row is read while the additions run.
        auto update = [&](int j, const Lanes& sum) {
          const std::size_t p = row + std::size_t(j);
          lanesAt(f + p * L) = s[p] > 0 ? lanesAt(f + p * L) / s[p] * sum : zero;
        };
        std::size_t n = 0;
        for (; n + 4 <= vs.size(); n += 4) {
          const double *r0 = rows + n * pr * L, *r1 = r0 + pr * L, *r2 = r1 + pr * L, *r3 = r2 + pr * L;
          for (int e = 0; e < 4; ++e) at[e] = plan.table.view(vs[n + std::size_t(e)]) + row;
          const bool last = n + 4 == vs.size();
          for (int j = j0; j < j1; ++j) {
            const Lanes from = n ? lanesAt(bp + std::size_t(j) * L) : zero;
            const Lanes sum =
                (((from + lanesAt(r0 + std::size_t(at[0][j]) * L)) + lanesAt(r1 + std::size_t(at[1][j]) * L)) +
                 lanesAt(r2 + std::size_t(at[2][j]) * L)) +
                lanesAt(r3 + std::size_t(at[3][j]) * L);
            if (last)
              update(j, sum);
            else
              lanesAt(bp + std::size_t(j) * L) = sum;
          }
        }
        const bool fused = n == vs.size();
        for (; n < vs.size(); ++n) {
          const double* r = rows + n * pr * L;
          const std::uint16_t* idx = plan.table.view(vs[n]) + row;
          for (int j = j0; j < j1; ++j)
            lanesAt(bp + std::size_t(j) * L) = (n ? lanesAt(bp + std::size_t(j) * L) : zero) + lanesAt(r + std::size_t(idx[j]) * L);
        }
        if (!fused)
          for (int j = j0; j < j1; ++j) update(j, lanesAt(bp + std::size_t(j) * L));
      }
      if (step + 1 < steps) forwardBand(viewsOf(step + 1), t, w.next.data());
    }
    std::swap(w.rows, w.next);
  }
  return true;
}

__attribute__((target("avx512f"))) bool osemBlockAvx512(const VolumePlan& plan, int row0,
                                                        const std::atomic<bool>* cancel, BlockWork& w) {
  return osemBlockBody(plan, row0, cancel, w);
}
__attribute__((target("avx2"))) bool osemBlockAvx2(const VolumePlan& plan, int row0,
                                                   const std::atomic<bool>* cancel, BlockWork& w) {
  return osemBlockBody(plan, row0, cancel, w);
}
bool osemBlockPlain(const VolumePlan& plan, int row0, const std::atomic<bool>* cancel, BlockWork& w) {
  return osemBlockBody(plan, row0, cancel, w);
}
bool osemBlock(const VolumePlan& plan, int row0, const std::atomic<bool>* cancel, BlockWork& w) {
  switch (isaInUse()) {
    case Isa::Avx512: return osemBlockAvx512(plan, row0, cancel, w);
    case Isa::Avx2: return osemBlockAvx2(plan, row0, cancel, w);
    case Isa::Plain: break;
  }
  return osemBlockPlain(plan, row0, cancel, w);
}

}  // namespace

OsemResult osem(const ProjectionStudy& study, int row, int subsets, int iterations, int /*threads*/,
                const std::atomic<bool>* cancel, bool withLikelihood, const ViewWeights* weights) {
  const int v = study.views();
  if (subsets < 1 || v % subsets != 0 || iterations < 1) return {};
  const std::shared_ptr<const Subsets> sets = subsetsOf(study, subsets, usable(study, weights));
  return osemRow(study, row, *sets, iterations, cancel, withLikelihood);
}

std::vector<std::vector<double>> osemVolume(const ProjectionStudy& study, int subsets,
                                            int iterations, int threads, const RowProgress& step,
                                            const std::atomic<bool>* cancel) {
  const int rows = study.rows(), b = study.bins();
  std::vector<std::vector<double>> volume(static_cast<std::size_t>(rows));
  if (subsets < 1 || study.views() % subsets != 0 || iterations < 1) return volume;
  const std::shared_ptr<const Subsets> sets = subsetsOf(study, subsets, nullptr);
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> stop{false};
  std::mutex report;
  auto finished = [&] {
    const int n = ++done;
    if (!step) return;
    std::lock_guard<std::mutex> lock(report);
    if (!step(n)) stop = true;
  };
  const AnyBinTable* table = study.binTable();
  const std::vector<AnyBinLists>* lists = study.binLists(true);
  std::vector<std::thread> pool;
  if (!table || !lists) {
    // Tables too big to keep: row by row, the bins made view by view.
    auto work = [&] {
      for (int r = next++; r < rows && !stop && !(cancel && *cancel); r = next++) {
        OsemResult one = osemRow(study, r, *sets, iterations, cancel, false);
        if (int(one.images.size()) == iterations) volume[std::size_t(r)] = std::move(one.images.back());
        finished();
      }
    };
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
  } else {
    VolumePlan plan{study, *sets, *table, *volumeGroups(study, *lists), iterations, {}, 0};
    for (int i = 0; i < b; ++i) plan.spans.push_back(circleSpan(i, b));
    for (const std::vector<int>& vs : sets->views) plan.subsetViews = std::max(plan.subsetViews, vs.size());
    // Each core takes the next block of rows: no hand-off inside a block.
    auto work = [&] {
      BlockWork w;
      for (int r0 = kLanes * next++; r0 < rows && !stop && !(cancel && *cancel); r0 = kLanes * next++) {
        if (!osemBlock(plan, r0, cancel, w)) return;
        std::vector<std::vector<double>> made = laneSlices(w.f.data(), std::size_t(b) * b, std::min(rows, r0 + kLanes) - r0);
        for (int r = r0; r < std::min(rows, r0 + kLanes); ++r) {
          volume[std::size_t(r)] = std::move(made[std::size_t(r - r0)]);
          finished();
        }
      }
    };
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();  // before the plan goes
  }
  return volume;
}

std::uint64_t volumeMemoryBytes(const ProjectionStudy& study, int threads) {
  const std::uint64_t v = std::uint64_t(study.views()), r = std::uint64_t(study.rows());
  const std::uint64_t b = std::uint64_t(study.bins()), pixels = b * b;
  const std::uint64_t padded = std::uint64_t(AnyGeometry(study.bins()).paddedRow);
  const std::uint64_t volumes = 2 * r * pixels * sizeof(double);
  std::uint64_t tables = 0;
  if (v * pixels <= kMaxKeptBins) {
    tables += v * pixels * 2;                   // the bin table
    tables += v * (pixels + padded + 1) * 4;    // the projector's pixel lists (the circle's)
    tables += v * pixels * (pixels <= 65536 ? 2 : 4);  // the same eight bins a step, band by band
    tables += 2 * (v * pixels / 8 * 10);        // the blocks of 8, and again subset by subset
    tables += v * pixels * 2 + v * b;           // eight bins two words (a slice's projector)
    tables += v * pixels * 5;                   // its windows (16 bytes a step, at most 2.2 x its steps)
    const std::uint64_t bands = std::uint64_t((study.bins() + volumeBandRows(study.bins()) - 1) / volumeBandRows(study.bins()));
    tables += v * ((b + 7) / 8 * bands + 1) * 4;  // where the groups start
  }
  // Each core: eight rows' sinograms, image and backprojection, and two subsets' padded rows
  // (all views' at most); FBP's rows are fewer.
  const std::uint64_t perCore = (v * b + 2 * pixels + 2 * v * padded + 1) * kLanes * sizeof(double);
  return volumes + tables + std::uint64_t(std::max(1, threads)) * perCore;
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
