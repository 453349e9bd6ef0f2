// Eight rows of a study side by side: each pixel's or bin's values for 8 consecutive rows are
// one vector of 8 doubles (one cache line), so that one read of a bin table serves eight rows and
// one vector instruction adds eight rows' terms. Each row's arithmetic stays its own, operation
// for operation, so a row's numbers are those of its own slice on every vector width.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <new>
#include <vector>

#include "imaging/big_pages.h"

namespace sinora {

constexpr int kLanes = 8;
typedef double Lanes __attribute__((vector_size(64), aligned(8), may_alias));

inline Lanes& lanesAt(double* p) { return *reinterpret_cast<Lanes*>(p); }
inline const Lanes& lanesAt(const double* p) { return *reinterpret_cast<const Lanes*>(p); }

// Whole cache lines (each pixel's eight rows are one line, never split across two), large
// buffers in large pages.
using LineBuffer = BigVector<double>;

// Lanes 0 .. n - 1 of `count` pixels' lanes, each as a slice of its own, in one pass over the
// lanes (a pass per lane would read a 256 x 256 block's 4 MB from memory eight times): chunk by
// chunk that stays in L1, each slice taking its lane of the chunk. A slice's memory is new: its
// pages are asked for in one call (a first touch of each page costs a fault, dear in a virtual
// machine) and written once, not cleared first.
inline std::vector<std::vector<double>> laneSlices(const double* lanes, std::size_t count, int n) {
  struct Strided {
    using iterator_category = std::forward_iterator_tag;
    using value_type = double;
    using difference_type = std::ptrdiff_t;
    using pointer = const double*;
    using reference = const double&;
    const double* p;
    reference operator*() const { return *p; }
    Strided& operator++() { p += kLanes; return *this; }
    bool operator==(const Strided& o) const { return p == o.p; }
    bool operator!=(const Strided& o) const { return p != o.p; }
  };
  std::vector<std::vector<double>> out(static_cast<std::size_t>(n));
  for (std::vector<double>& slice : out) {
    slice.reserve(count);
#ifdef __linux__
    const std::uintptr_t page = 4096, from = (std::uintptr_t(slice.data()) + page - 1) & ~(page - 1),
                         to = std::uintptr_t(slice.data() + count) & ~(page - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, 23 /* MADV_POPULATE_WRITE */);
#endif
  }
  constexpr std::size_t kChunk = 512;  // 32 KB of lanes
  for (std::size_t p0 = 0; p0 < count; p0 += kChunk) {
    const std::size_t p1 = std::min(count, p0 + kChunk);
    for (int lane = 0; lane < n; ++lane)
      out[std::size_t(lane)].insert(out[std::size_t(lane)].end(), Strided{lanes + p0 * kLanes + lane},
                                    Strided{lanes + p1 * kLanes + lane});
  }
  return out;
}

}  // namespace sinora
