// The program's own seeded random numbers, the same on every machine: xoshiro256** seeded by
// splitmix64, and Poisson draws that use no C library function below a mean of 25.
#pragma once

#include <cmath>
#include <cstdint>

namespace sinora {

// xoshiro256** seeded by splitmix64: small, fast, and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) {
    for (auto& s : s_) {
      seed += 0x9e3779b97f4a7c15ull;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
      s = z ^ (z >> 31);
    }
  }
  double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }
  std::uint64_t s_[4];
};

// e^-x for 0 <= x <= 30 by arithmetic alone (no libm), so draws do not depend on the C library.
inline double expNegative(double x) {
  const double y = x / 64;
  double term = 1, sum = 1;
  for (int n = 1; n < 20; ++n) {
    term *= -y / n;
    sum += term;
  }
  for (int i = 0; i < 6; ++i) sum *= sum;
  return sum;
}

// Poisson draw: exact (Knuth) for small means, a rounded normal (Irwin-Hall sum of twelve
// uniforms) above, which is indistinguishable at the counts of a SPECT projection.
inline int poisson(double mean, Random& rng) {
  if (mean <= 0) return 0;
  if (mean < 25) {
    const double limit = expNegative(mean);
    int k = 0;
    double p = rng.uniform();
    while (p > limit) {
      ++k;
      p *= rng.uniform();
    }
    return k;
  }
  double z = -6;
  for (int i = 0; i < 12; ++i) z += rng.uniform();
  const double v = mean + std::sqrt(mean) * z + 0.5;
  return v < 0 ? 0 : static_cast<int>(v);
}

}  // namespace sinora
