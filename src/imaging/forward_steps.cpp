#include "imaging/forward_steps.h"

#include <immintrin.h>

#include <algorithm>
#include <numeric>
#include <thread>

#include "imaging/geometry.h"

namespace sinora {

namespace {

constexpr std::uint32_t kWindow = 16;
constexpr std::uint32_t kDone = 0xffffffffu;  // ends each lane's list

// One group's steps: each lane's pixels in order; a step's window starts at the lowest next
// pixel of any lane (on whole cache lines of an aligned image: a load across two lines costs
// two), and each phase takes every lane whose next pixel lies in it. Without branches on the
// pixels (half of them would be mispredicted).
void groupSteps(const std::uint32_t* const* lists, std::uint32_t pixels, int phases,
                std::vector<WindowStep>& out) {
  const std::uint32_t* head[8];
  std::copy(lists, lists + 8, head);
  for (;;) {
    std::uint32_t low = kDone;
    for (int e = 0; e < 8; ++e) low = std::min(low, *head[e]);
    if (low == kDone) return;
    const std::uint32_t at = std::min(low / 8 * 8, pixels - kWindow);
    WindowStep s{std::uint16_t(at / 8), {0, 0}, {0, 0}};
    for (int ph = 0; ph < phases; ++ph)
      for (int e = 0; e < 8; ++e) {
        const std::uint32_t d = *head[e] - at;  // kDone - at is never below kWindow
        const std::uint32_t take = d < kWindow;
        s.mask[ph] = std::uint8_t(s.mask[ph] | (take << e));
        s.index[ph] |= (take * d) << (4 * e);
        head[e] += take;
      }
    out.push_back(s);
  }
}

// View l's steps into v where they cost less than forwardOcts'. `own` and `lanes` are the
// caller's scratch.
void viewWindows(const AnyBinLists& l, int b, const WindowCosts& costs, WindowView& v,
                 std::vector<std::vector<WindowStep>>& own, std::vector<std::uint32_t>& lanes) {
  const std::uint32_t pixels = std::uint32_t(b) * std::uint32_t(b);
  const AnyGeometry g(b);
  const int groups = (b + 7) / 8;
  // Each group's eight lists one after another, each ending in kDone.
  lanes.clear();
  std::vector<std::size_t> at(std::size_t(groups) * 8);
  double octs = 0;  // forwardOcts' steps: the longest list of each group
  for (int q = 0; q < groups; ++q) {
    std::size_t longest = 0;
    for (int e = 0; e < 8; ++e) {
      const int c = 8 * q + e;
      at[std::size_t(8 * q + e)] = lanes.size();
      if (c < b) {
        const std::uint32_t from = l.start[std::size_t(c + g.pad)], to = l.start[std::size_t(c + g.pad) + 1];
        lanes.insert(lanes.end(), l.pixels.begin() + from, l.pixels.begin() + to);
        longest = std::max(longest, std::size_t(to - from));
      }
      lanes.push_back(kDone);
    }
    octs += double(longest);
  }
  own.resize(std::size_t(groups));
  // The steps and their cost with one and with two additions a step: quads of groups of like
  // length, each quad as long as its longest.
  std::vector<int> order(static_cast<std::size_t>(groups));
  auto plan = [&](int phases) {
    for (int q = 0; q < groups; ++q) {
      const std::uint32_t* heads[8];
      for (int e = 0; e < 8; ++e) heads[e] = lanes.data() + at[std::size_t(8 * q + e)];
      own[std::size_t(q)].clear();
      groupSteps(heads, pixels, phases, own[std::size_t(q)]);
    }
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int x, int y) { return own[std::size_t(x)].size() > own[std::size_t(y)].size(); });
    std::size_t rounds = 0;
    for (int u = 0; 4 * u < groups; ++u) rounds += own[std::size_t(order[std::size_t(4 * u)])].size();
    return rounds;
  };
  const double once = 4 * double(plan(1)) * costs.once;
  const std::size_t twiceRounds = plan(2);
  const double twice = 4 * double(twiceRounds) * costs.twice;
  if (std::min(once, twice) >= octs * costs.octs) return;
  v.phases = twice < once ? 2 : 1;
  const std::size_t rounds = v.phases == 2 ? twiceRounds : plan(1);
  const int quads = (groups + 3) / 4;
  v.start.assign(std::size_t(quads) + 1, 0);
  v.first.assign(std::size_t(quads) * 4, -1);
  v.steps.reserve(4 * rounds);
  const WindowStep idle{0, {0, 0}, {0, 0}};  // reads the first 16 pixels, adds nothing
  for (int u = 0; u < quads; ++u) {
    const std::size_t most = own[std::size_t(order[std::size_t(4 * u)])].size();
    for (int e = 0; e < 4 && 4 * u + e < groups; ++e) v.first[std::size_t(4 * u + e)] = 8 * order[std::size_t(4 * u + e)];
    for (std::size_t r = 0; r < most; ++r)
      for (int e = 0; e < 4; ++e) {
        const std::vector<WindowStep>* s = 4 * u + e < groups ? &own[std::size_t(order[std::size_t(4 * u + e)])] : nullptr;
        v.steps.push_back(s && r < s->size() ? (*s)[r] : idle);
      }
    v.start[std::size_t(u) + 1] = v.start[std::size_t(u)] + std::uint32_t(most);
  }
}

}  // namespace

std::shared_ptr<const WindowTable> buildWindowTable(const std::vector<AnyBinLists>& lists, int b,
                                                    const WindowCosts& costs) {
  const std::uint32_t pixels = std::uint32_t(b) * std::uint32_t(b);
  if (pixels < kWindow || pixels % 8 || pixels > (1u << 19)) return nullptr;
  auto table = std::make_shared<WindowTable>();
  table->views.resize(lists.size());
  // Views are independent: the two halves on two cores.
  auto some = [&](std::size_t from, std::size_t to) {
    std::vector<std::vector<WindowStep>> own;
    std::vector<std::uint32_t> lanes;
    for (std::size_t k = from; k < to; ++k) viewWindows(lists[k], b, costs, table->views[k], own, lanes);
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
// A lane left out of a phase keeps its sum as it was (a masked add), so no term is ever added to
// a bin but its own pixels.
// Lane e's index is nibble e, shifted down to the lane's low bits (the permute reads only those).
template <int Phases>
__attribute__((target("avx512f"), always_inline)) inline __m512d windowTerm(__m512d sum, const WindowStep& s,
                                                                         const double* image, __m512i nibbles) {
  const double* w = image + 8 * std::size_t(s.line);
  const __m512d lo = _mm512_loadu_pd(w), hi = _mm512_loadu_pd(w + 8);
  for (int ph = 0; ph < Phases; ++ph) {
    const __m512i idx = _mm512_srlv_epi64(_mm512_set1_epi32(int(s.index[ph])), nibbles);
    sum = _mm512_mask_add_pd(sum, __mmask8(s.mask[ph]), sum, _mm512_permutex2var_pd(lo, idx, hi));
  }
  return sum;
}

template <int Phases>
__attribute__((target("avx512f"))) void windowsAvx512(const WindowView& v, const double* image, double* out,
                                                     int b) {
  const std::size_t quads = v.start.size() - 1;
  const __m512i nibbles = _mm512_set_epi64(28, 24, 20, 16, 12, 8, 4, 0);
  for (std::size_t u = 0; u < quads; ++u) {
    __m512d s0 = _mm512_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    const WindowStep* st = v.steps.data() + 4 * std::size_t(v.start[u]);
    const WindowStep* end = v.steps.data() + 4 * std::size_t(v.start[u + 1]);
    for (; st != end; st += 4) {
      s0 = windowTerm<Phases>(s0, st[0], image, nibbles);
      s1 = windowTerm<Phases>(s1, st[1], image, nibbles);
      s2 = windowTerm<Phases>(s2, st[2], image, nibbles);
      s3 = windowTerm<Phases>(s3, st[3], image, nibbles);
    }
    const __m512d sums[4] = {s0, s1, s2, s3};
    for (int e = 0; e < 4; ++e) {
      const int c = v.first[4 * u + std::size_t(e)];
      if (c < 0) continue;
      _mm512_mask_storeu_pd(out + c, __mmask8((1u << std::min(8, b - c)) - 1), sums[e]);
    }
  }
}
#pragma GCC diagnostic pop

}  // namespace

void forwardWindows(const WindowView& v, const double* image, double* out, int b) {
  if (v.phases == 2)
    windowsAvx512<2>(v, image, out, b);
  else
    windowsAvx512<1>(v, image, out, b);
}

}  // namespace sinora
