// Eight rows of a study side by side: each pixel's or bin's values for 8 consecutive rows are
// one vector of 8 doubles (one cache line), so that one read of a bin table serves eight rows and
// one vector instruction adds eight rows' terms. Each row's arithmetic stays its own, operation
// for operation, so a row's numbers are those of its own slice on every vector width.
#pragma once

#include <sys/mman.h>

#include <cstddef>
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

// Lane `lane` of `count` pixels' lanes, as a slice of its own. The slice's memory is new: its
// pages are asked for in one call (a first touch of each page costs a fault, dear in a virtual
// machine) and written once, not cleared first.
inline std::vector<double> laneSlice(const double* lanes, std::size_t count, int lane) {
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
  std::vector<double> out;
  out.reserve(count);
#ifdef __linux__
  const std::uintptr_t page = 4096, from = (std::uintptr_t(out.data()) + page - 1) & ~(page - 1),
                       to = std::uintptr_t(out.data() + count) & ~(page - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, 23 /* MADV_POPULATE_WRITE */);
#endif
  out.insert(out.end(), Strided{lanes + lane}, Strided{lanes + lane + count * kLanes});
  return out;
}

}  // namespace sinora
