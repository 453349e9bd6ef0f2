// What one core of this machine adds per second, to set the OSEM slice's time beside: adds of
// contiguous doubles in vectors (the floor bench/peers.py states) and adds of doubles read one by
// one through a table of pixel numbers, eight chains at a time, as a projector whose every bin
// must add its own pixels in their order does. No data is kept on disk. Run:
//   build/bench/sinora-floor-bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kPixels = 128 * 128;     // a 128 slice
constexpr std::size_t kAdds = 6'200'000;       // a slice's OSEM 10 x 4 projections (120 views)

typedef double V8 __attribute__((vector_size(64)));
typedef double V4 __attribute__((vector_size(32)));

template <typename V>
__attribute__((always_inline)) inline double contiguousBody(const double* a, std::size_t n) {
  constexpr std::size_t w = sizeof(V) / sizeof(double);
  V s[8] = {};
  for (std::size_t p = 0; p + 8 * w <= n; p += 8 * w)
    for (std::size_t e = 0; e < 8; ++e) s[e] += *reinterpret_cast<const V*>(a + p + e * w);
  double t = 0;
  for (const V& v : s)
    for (std::size_t e = 0; e < w; ++e) t += v[e];
  return t;
}
__attribute__((target("avx512f"))) double contiguous512(const double* a, std::size_t n) { return contiguousBody<V8>(a, n); }
__attribute__((target("avx2"))) double contiguous256(const double* a, std::size_t n) { return contiguousBody<V4>(a, n); }

// Adds of 4096 doubles (in L1) over and over, as many as a slice's projections make.
void ContiguousAdds(benchmark::State& s, bool avx512) {
  if (avx512 ? !__builtin_cpu_supports("avx512f") : !__builtin_cpu_supports("avx2")) {
    s.SkipWithError("not on this processor");
    return;
  }
  std::vector<double> a(4096, 1.0);
  for (auto _ : s) {
    double sum = 0;
    for (std::size_t k = 0; k < kAdds / a.size(); ++k) {
      benchmark::ClobberMemory();
      sum += avx512 ? contiguous512(a.data(), a.size()) : contiguous256(a.data(), a.size());
    }
    benchmark::DoNotOptimize(sum);
  }
  s.SetItemsProcessed(std::int64_t(s.iterations()) * std::int64_t(kAdds / a.size() * a.size()));
}

// Eight sums side by side, each adding image[index] in the table's order (16-bit pixel numbers).
__attribute__((noinline)) double indexed(const std::uint16_t* x, const std::uint16_t* end, const double* image) {
  double s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0;
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
  return ((s0 + s1) + (s2 + s3)) + ((s4 + s5) + (s6 + s7));
}

// pattern 0: each sum walks along a row (neighbouring pixels, the kindest order); 1: each sum
// walks down a column, the eight sums in neighbouring columns; 2: pixels at random.
void IndexedAdds(benchmark::State& s, int pattern) {
  std::vector<double> image(kPixels, 1.0);
  std::vector<std::uint16_t> table(kAdds);
  std::mt19937 gen(1);
  for (std::size_t n = 0; n < kAdds; ++n) {
    const std::size_t step = n / 8, lane = n % 8;
    table[n] = std::uint16_t(pattern == 0   ? (step + lane * 128) % kPixels
                             : pattern == 1 ? (step * 128 + lane + step / 128 * 8) % kPixels
                                            : gen() % kPixels);
  }
  for (auto _ : s) benchmark::DoNotOptimize(indexed(table.data(), table.data() + table.size(), image.data()));
  s.SetItemsProcessed(std::int64_t(s.iterations()) * std::int64_t(kAdds));
}

}  // namespace

BENCHMARK_CAPTURE(ContiguousAdds, avx512, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ContiguousAdds, avx2, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IndexedAdds, along_rows, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IndexedAdds, down_columns, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IndexedAdds, random, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
