#include "imaging/backproject_blocks.h"

#include <immintrin.h>

#include "imaging/cpu.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace sinora {

bool vectorBackprojectionSupported() { return widestIsa() == Isa::Avx512; }

void allowVectorBackprojection(bool allow) { limitIsa(allow ? Isa::Avx512 : Isa::Plain); }

bool vectorBackprojection() { return isaInUse() == Isa::Avx512; }

namespace {

// GCC 12 takes the unspecified upper parts inside its own intrinsics for uninitialised values.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// The 8 values of block q from view n's row, in both kernels below (a lambda would not carry
// the target).
#define SINORA_TERM(q, n)                                                                    \
  _mm512_permutexvar_pd(                                                                     \
      _mm512_cvtepu8_epi64(_mm_cvtsi64_si128(                                                \
          static_cast<long long>(t.offsets[(q) * v + std::size_t(views[n])]))),              \
      _mm512_loadu_pd(rows[n] + t.base[(q) * v + std::size_t(views[n])]))
__attribute__((target("avx512f"))) void blocksAvx512(const AnyBlockTable& t,
                                                     const double* const* rows, const int* views,
                                                     std::size_t count, std::size_t from,
                                                     std::size_t to, double* acc, bool fresh) {
  const std::size_t v = std::size_t(t.views);
  std::size_t q = from / 8;
  // Four blocks at a time: four independent chains of additions, each block still adding its
  // views in order.
  for (; q + 4 <= to / 8; q += 4) {
    const __m512d zero = _mm512_setzero_pd();
    __m512d a0 = fresh ? zero : _mm512_loadu_pd(acc + q * 8), a1 = fresh ? zero : _mm512_loadu_pd(acc + q * 8 + 8),
            a2 = fresh ? zero : _mm512_loadu_pd(acc + q * 8 + 16), a3 = fresh ? zero : _mm512_loadu_pd(acc + q * 8 + 24);
    for (std::size_t n = 0; n < count; ++n) {
      a0 = _mm512_add_pd(a0, SINORA_TERM(q, n));
      a1 = _mm512_add_pd(a1, SINORA_TERM(q + 1, n));
      a2 = _mm512_add_pd(a2, SINORA_TERM(q + 2, n));
      a3 = _mm512_add_pd(a3, SINORA_TERM(q + 3, n));
    }
    _mm512_storeu_pd(acc + q * 8, a0);
    _mm512_storeu_pd(acc + q * 8 + 8, a1);
    _mm512_storeu_pd(acc + q * 8 + 16, a2);
    _mm512_storeu_pd(acc + q * 8 + 24, a3);
  }
  for (; q < to / 8; ++q) {
    __m512d a = fresh ? _mm512_setzero_pd() : _mm512_loadu_pd(acc + q * 8);
    for (std::size_t n = 0; n < count; ++n) a = _mm512_add_pd(a, SINORA_TERM(q, n));
    _mm512_storeu_pd(acc + q * 8, a);
  }
}

// Block q's sums a: stored at acc, or (with s) f <- f / s x a where s > 0, else 0, as
// updateImage does pixel by pixel.
__attribute__((target("avx512f"), always_inline)) inline void finishBlock(double* acc, const double* s,
                                                                           std::size_t q, __m512d a) {
  if (!s) {
    _mm512_storeu_pd(acc + q * 8, a);
    return;
  }
  const __m512d sv = _mm512_loadu_pd(s + q * 8);
  const __mmask8 pos = _mm512_cmp_pd_mask(sv, _mm512_setzero_pd(), _CMP_GT_OQ);
  const __m512d den = _mm512_mask_blend_pd(pos, _mm512_set1_pd(1.0), sv);
  const __m512d v = _mm512_mul_pd(_mm512_div_pd(_mm512_loadu_pd(acc + q * 8), den), a);
  _mm512_storeu_pd(acc + q * 8, _mm512_maskz_mov_pd(pos, v));
}

__attribute__((target("avx512f"))) void blockListAvx512(const AnyBlockTable& t, const double* const* rows,
                                                        const int* views, std::size_t count,
                                                        const std::uint32_t* blocks, std::size_t n,
                                                        double* acc, const double* s) {
  const std::size_t v = std::size_t(t.views);
  std::size_t b = 0;
  for (; b + 4 <= n; b += 4) {
    const std::size_t q0 = blocks[b], q1 = blocks[b + 1], q2 = blocks[b + 2], q3 = blocks[b + 3];
    __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
    for (std::size_t k = 0; k < count; ++k) {
      a0 = _mm512_add_pd(a0, SINORA_TERM(q0, k));
      a1 = _mm512_add_pd(a1, SINORA_TERM(q1, k));
      a2 = _mm512_add_pd(a2, SINORA_TERM(q2, k));
      a3 = _mm512_add_pd(a3, SINORA_TERM(q3, k));
    }
    finishBlock(acc, s, q0, a0);
    finishBlock(acc, s, q1, a1);
    finishBlock(acc, s, q2, a2);
    finishBlock(acc, s, q3, a3);
  }
  for (; b < n; ++b) {
    const std::size_t q = blocks[b];
    __m512d a = _mm512_setzero_pd();
    for (std::size_t k = 0; k < count; ++k) a = _mm512_add_pd(a, SINORA_TERM(q, k));
    finishBlock(acc, s, q, a);
  }
}

// The 8 offsets (one byte each) of each packed code: bit 7 says the bins fall, bits 0-6 are
// the steps between pixels 0-1, 1-2, ... 6-7.
struct PackedOffsets {
  std::uint64_t word[256];
  PackedOffsets() {
    for (int code = 0; code < 256; ++code) {
      int o[8] = {0}, total = 0;
      for (int e = 1; e < 8; ++e) o[e] = o[e - 1] + ((code >> (e - 1)) & 1);
      total = o[7];
      word[code] = 0;
      for (int e = 0; e < 8; ++e)
        word[code] |= std::uint64_t((code & 128) ? total - o[e] : o[e]) << (8 * e);
    }
  }
};
const PackedOffsets& packedOffsets() {
  static const PackedOffsets table;
  return table;
}

#define SINORA_PACKED_TERM(x, k)                                                           \
  _mm512_permutexvar_pd(_mm512_cvtepu8_epi64(_mm_cvtsi64_si128(                             \
                            static_cast<long long>(lut[(x) & 0xff]))),                      \
                        _mm512_loadu_pd(rows[k] + ((x) >> 8)))
__attribute__((target("avx512f"))) void packedAvx512(const PackedBlocks& t, const double* const* rows,
                                                     double* acc, const double* s) {
  const std::uint64_t* lut = packedOffsets().word;
  const std::size_t v = std::size_t(t.views), n = t.blocks.size();
  const std::uint32_t* blocks = t.blocks.data();
  const std::uint16_t* e = t.entries.data();
  std::size_t b = 0;
  for (; b + 4 <= n; b += 4) {
    __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
    const std::uint16_t* e0 = e + b * v;
    for (std::size_t k = 0; k < v; ++k) {
      const std::uint32_t x0 = e0[k], x1 = e0[v + k], x2 = e0[2 * v + k], x3 = e0[3 * v + k];
      a0 = _mm512_add_pd(a0, SINORA_PACKED_TERM(x0, k));
      a1 = _mm512_add_pd(a1, SINORA_PACKED_TERM(x1, k));
      a2 = _mm512_add_pd(a2, SINORA_PACKED_TERM(x2, k));
      a3 = _mm512_add_pd(a3, SINORA_PACKED_TERM(x3, k));
    }
    finishBlock(acc, s, blocks[b], a0);
    finishBlock(acc, s, blocks[b + 1], a1);
    finishBlock(acc, s, blocks[b + 2], a2);
    finishBlock(acc, s, blocks[b + 3], a3);
  }
  for (; b < n; ++b) {
    __m512d a = _mm512_setzero_pd();
    for (std::size_t k = 0; k < v; ++k) {
      const std::uint32_t x = e[b * v + k];
      a = _mm512_add_pd(a, SINORA_PACKED_TERM(x, k));
    }
    finishBlock(acc, s, blocks[b], a);
  }
}
#undef SINORA_PACKED_TERM
#undef SINORA_TERM
#pragma GCC diagnostic pop

__attribute__((target("avx2"))) void blocksAvx2(const AnyBlockTable& t,
                                                const std::int32_t* const* rows, const int* views,
                                                std::size_t count, std::size_t from,
                                                std::size_t to, std::int32_t* acc) {
  const std::size_t v = std::size_t(t.views);
  for (std::size_t q = from / 8; q < to / 8; ++q) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + q * 8));
    const std::uint16_t* base = t.base.data() + q * v;
    const std::uint64_t* off = t.offsets.data() + q * v;
    for (std::size_t n = 0; n < count; ++n) {
      const std::size_t k = std::size_t(views[n]);
      const __m256i ix = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(off[k])));
      const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[n] + base[k]));
      a = _mm256_add_epi32(a, _mm256_permutevar8x32_epi32(w, ix));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + q * 8), a);
  }
}


}  // namespace

bool backprojectBlocks(const AnyBlockTable& t, const std::int32_t* const* rows, const int* views,
                       std::size_t count, std::size_t from, std::size_t to, std::int32_t* acc) {
  if (isaInUse() < Isa::Avx2) return false;
  blocksAvx2(t, rows, views, count, from, to, acc);
  return true;
}

bool backprojectBlockList(const AnyBlockTable& t, const double* const* rows, const int* views,
                          std::size_t count, const std::uint32_t* blocks, std::size_t n, double* acc) {
  if (!vectorBackprojection()) return false;
  blockListAvx512(t, rows, views, count, blocks, n, acc, nullptr);
  return true;
}

bool backprojectBlockListUpdate(const AnyBlockTable& t, const double* const* rows, const int* views,
                                std::size_t count, const std::uint32_t* blocks, std::size_t n, double* f,
                                const double* s) {
  if (!vectorBackprojection()) return false;
  blockListAvx512(t, rows, views, count, blocks, n, f, s);
  return true;
}

std::unique_ptr<PackedBlocks> packBlocks(const AnyBlockTable& t, const std::uint32_t* blocks,
                                         std::size_t count) {
  auto out = std::make_unique<PackedBlocks>();
  const std::size_t v = std::size_t(t.views);
  out->views = t.views;
  out->blocks.assign(blocks, blocks + count);
  out->entries.resize(count * v);
  const PackedOffsets& lut = packedOffsets();
  for (std::size_t n = 0; n < count; ++n)
    for (std::size_t k = 0; k < v; ++k) {
      const std::size_t at = std::size_t(blocks[n]) * v + k;
      const std::uint64_t off = t.offsets[at];
      if (t.base[at] > 255) return nullptr;
      std::uint32_t code = 0;
      const bool falls = (off & 0xff) > (off >> 56);
      for (int e = 1; e < 8; ++e) {
        const int a = int((off >> (8 * (e - 1))) & 0xff), c = int((off >> (8 * e)) & 0xff);
        const int step = falls ? a - c : c - a;
        if (step != 0 && step != 1) return nullptr;
        code |= std::uint32_t(step) << (e - 1);
      }
      if (falls) code |= 128;
      if (lut.word[code] != off) return nullptr;  // not anchored at the smallest bin
      out->entries[n * v + k] = std::uint16_t(t.base[at] << 8 | code);
    }
  return out;
}

bool backprojectPacked(const PackedBlocks& t, const double* const* rows, double* f, const double* s) {
  if (!vectorBackprojection()) return false;
  packedAvx512(t, rows, f, s);
  return true;
}

bool backprojectBlocks(const AnyBlockTable& t, const double* const* rows, const int* views,
                       std::size_t count, std::size_t from, std::size_t to, double* acc, bool fresh) {
  if (!vectorBackprojection()) return false;
  blocksAvx512(t, rows, views, count, from, to, acc, fresh);
  return true;
}

}  // namespace sinora
