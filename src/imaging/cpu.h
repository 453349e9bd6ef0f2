// Which vector instructions the hot loops use: the widest this processor has, chosen at run
// time, or less when asked (tests run every path the machine can, SINORA_NO_SIMD runs the plain
// one). Every path gives the same numbers: the loops only run across independent outputs.
#pragma once

namespace sinora {

enum class Isa { Plain = 0, Avx2 = 1, Avx512 = 2 };

Isa widestIsa();                 // what this processor has
Isa isaInUse();                  // what the loops use now
void limitIsa(Isa most);         // use at most this (tests); Isa::Avx512 lifts the limit

}  // namespace sinora
