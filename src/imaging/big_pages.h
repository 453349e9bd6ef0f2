// Memory for the large tables and working images: blocks of 4 MB and more are taken in 2 MB
// pages and made present in one call. Touching fresh memory page by page costs a fault per
// 4 KB page, which in a virtual machine takes longer than filling the page (a 256 x 256 x 360
// study's tables fault 70,000 times). Smaller blocks are ordinary.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace sinora {

template <typename T>
struct BigPages {
  using value_type = T;
  static constexpr std::size_t kPage = std::size_t(2) << 20, kLarge = std::size_t(4) << 20;
  BigPages() = default;
  template <typename U>
  BigPages(const BigPages<U>&) {}
  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kLarge) return static_cast<T*>(::operator new(bytes, std::align_val_t(64)));
    const std::size_t rounded = (bytes + kPage - 1) / kPage * kPage;
    void* p = std::aligned_alloc(kPage, rounded);
    if (!p) throw std::bad_alloc();
#ifdef __linux__
    madvise(p, rounded, MADV_HUGEPAGE);
    madvise(p, rounded, 23 /* MADV_POPULATE_WRITE; refused by kernels before 5.14, harmless */);
#endif
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t n) {
    if (n * sizeof(T) < kLarge)
      ::operator delete(p, std::align_val_t(64));
    else
      std::free(p);
  }
  bool operator==(const BigPages&) const { return true; }
  bool operator!=(const BigPages&) const { return false; }
};

template <typename T>
using BigVector = std::vector<T, BigPages<T>>;

// Called once at the start of a program: freed memory (up to 256 MB) stays with the process for
// its next use instead of going back to the system. A 256 x 256 volume's slices are 128 MB of
// fresh pages each time it is made; handing them back and faulting them in again page by page
// took longer than an eighth of the reconstruction, in a virtual machine more.
inline void keepFreedMemory() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace sinora
