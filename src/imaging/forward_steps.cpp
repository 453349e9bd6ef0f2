#include "imaging/forward_steps.h"

#include <immintrin.h>

#include <algorithm>
#include <thread>

#include "imaging/geometry.h"

namespace sinora {

namespace {

constexpr std::uint32_t kWindow = 16;

// One group's steps: each lane's pixels in order, each list ending in kDone; a step's window
// starts at the lowest next pixel of any lane and takes every lane whose next pixel lies in it.
// Without branches on the pixels (half of them would be mispredicted).
constexpr std::uint32_t kDone = 0xffffffffu;
void groupSteps(const std::uint32_t* const* lists, std::uint32_t pixels, std::vector<WindowStep>& out) {
  const std::uint32_t* head[8];
  std::copy(lists, lists + 8, head);
  for (;;) {
    std::uint32_t low = kDone;
    for (int e = 0; e < 8; ++e) low = std::min(low, *head[e]);
    if (low == kDone) return;
    // Windows on whole cache lines of an aligned image (a load across two lines costs two).
    WindowStep s{std::min(low / 8 * 8, pixels - kWindow), 0, 0};
    for (int e = 0; e < 8; ++e) {
      const std::uint32_t d = *head[e] - s.at;  // kDone - at is never below kWindow
      const std::uint32_t take = d < kWindow;
      s.mask |= take << e;
      s.index |= std::uint64_t(take * d) << (8 * e);
      head[e] += take;
    }
    out.push_back(s);
  }
}

}  // namespace

namespace {

// View l's steps into v, unless they cost at least scalarCost times forwardOcts' steps.
// `own` and `lanes` are the caller's scratch.
void viewWindows(const AnyBinLists& l, int b, double scalarCost, WindowView& v,
                 std::vector<std::vector<WindowStep>>& own, std::vector<std::uint32_t>& lanes) {
  const std::uint32_t pixels = std::uint32_t(b) * std::uint32_t(b);
  const AnyGeometry g(b);
  const int quads = ((b + 7) / 8 + 3) / 4;
  own.resize(std::size_t(quads) * 4);
  double scalar = 0;  // forwardOcts' steps: the longest list of each group
  for (int q = 0; q < quads * 4; ++q) {
    // The group's eight lists one after another, each ending in kDone.
    lanes.clear();
    std::size_t at[8], longest = 0;
    for (int e = 0; e < 8; ++e) {
      const int c = 8 * q + e;
      at[e] = lanes.size();
      if (c < b) {
        const std::uint32_t from = l.start[std::size_t(c + g.pad)], to = l.start[std::size_t(c + g.pad) + 1];
        lanes.insert(lanes.end(), l.pixels.begin() + from, l.pixels.begin() + to);
        longest = std::max(longest, std::size_t(to - from));
      }
      lanes.push_back(kDone);
    }
    scalar += double(longest);
    const std::uint32_t* heads[8];
    for (int e = 0; e < 8; ++e) heads[e] = lanes.data() + at[e];
    own[std::size_t(q)].clear();
    groupSteps(heads, pixels, own[std::size_t(q)]);
  }
  auto rounds = [&](int u) {
    std::size_t most = 0;
    for (int e = 0; e < 4; ++e) most = std::max(most, own[std::size_t(4 * u + e)].size());
    return most;
  };
  std::size_t all = 0;
  for (int u = 0; u < quads; ++u) all += rounds(u);
  if (double(4 * all) >= scalarCost * scalar) return;
  v.start.assign(std::size_t(quads) + 1, 0);
  v.steps.reserve(4 * all);
  const WindowStep idle{0, 0, 0};  // reads the first 16 pixels, adds nothing
  for (int u = 0; u < quads; ++u) {
    const std::size_t most = rounds(u);
    for (std::size_t r = 0; r < most; ++r)
      for (int e = 0; e < 4; ++e) {
        const std::vector<WindowStep>& s = own[std::size_t(4 * u + e)];
        v.steps.push_back(r < s.size() ? s[r] : idle);
      }
    v.start[std::size_t(u) + 1] = v.start[std::size_t(u)] + std::uint32_t(most);
  }
}

}  // namespace

std::shared_ptr<const WindowTable> buildWindowTable(const std::vector<AnyBinLists>& lists, int b,
                                                    double scalarCost) {
  const std::uint32_t pixels = std::uint32_t(b) * std::uint32_t(b);
  if (pixels < kWindow || pixels % 8) return nullptr;
  auto table = std::make_shared<WindowTable>();
  table->views.resize(lists.size());
  // Views are independent: the two halves on two cores.
  auto some = [&](std::size_t from, std::size_t to) {
    std::vector<std::vector<WindowStep>> own;
    std::vector<std::uint32_t> lanes;
    for (std::size_t k = from; k < to; ++k) viewWindows(lists[k], b, scalarCost, table->views[k], own, lanes);
  };
  const std::size_t half = lists.size() / 2;
  std::thread other(some, half, lists.size());
  some(0, half);
  other.join();
  return table;
}

namespace {

// GCC 12 takes the unspecified upper parts inside its own intrinsics for uninitialised values.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// A lane left out of a step keeps its sum as it was (a masked add), so no term is ever added to
// a bin but its own pixels.
__attribute__((target("avx512f"), always_inline)) inline __m512d windowTerm(__m512d sum, const WindowStep& s,
                                                                         const double* image) {
  const __m512d lo = _mm512_loadu_pd(image + s.at), hi = _mm512_loadu_pd(image + s.at + 8);
  const __m512i idx = _mm512_cvtepu8_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&s.index)));
  return _mm512_mask_add_pd(sum, __mmask8(s.mask), sum, _mm512_permutex2var_pd(lo, idx, hi));
}

__attribute__((target("avx512f"))) void windowsAvx512(const WindowView& v, const double* image, double* out,
                                                     int b) {
  const std::size_t quads = v.start.size() - 1;
  for (std::size_t u = 0; u < quads; ++u) {
    __m512d s0 = _mm512_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    const WindowStep* st = v.steps.data() + 4 * std::size_t(v.start[u]);
    const WindowStep* end = v.steps.data() + 4 * std::size_t(v.start[u + 1]);
    for (; st != end; st += 4) {
      s0 = windowTerm(s0, st[0], image);
      s1 = windowTerm(s1, st[1], image);
      s2 = windowTerm(s2, st[2], image);
      s3 = windowTerm(s3, st[3], image);
    }
    const __m512d sums[4] = {s0, s1, s2, s3};
    for (int e = 0; e < 4; ++e) {
      const int c = 8 * (4 * int(u) + e);
      if (c >= b) break;
      const int n = std::min(8, b - c);
      _mm512_mask_storeu_pd(out + c, __mmask8((1u << n) - 1), sums[e]);
    }
  }
}

#pragma GCC diagnostic pop

}  // namespace

void forwardWindows(const WindowView& v, const double* image, double* out, int b) {
  windowsAvx512(v, image, out, b);
}

}  // namespace sinora
