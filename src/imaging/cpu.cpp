#include "imaging/cpu.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace sinora {

namespace {
std::atomic<int> limit{int(Isa::Avx512)};
}

Isa widestIsa() {
  static const Isa widest = [] {
    if (std::getenv("SINORA_NO_SIMD")) return Isa::Plain;
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return Isa::Avx512;
    if (__builtin_cpu_supports("avx2")) return Isa::Avx2;
    return Isa::Plain;
  }();
  return widest;
}

Isa isaInUse() { return Isa(std::min(int(widestIsa()), limit.load())); }

void limitIsa(Isa most) { limit = int(most); }

}  // namespace sinora
