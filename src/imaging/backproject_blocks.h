// Backprojection eight pixels at a time. Along a row of a slice the bins of consecutive pixels
// never step by more than one, so the bins of 8 neighbours lie within 8 consecutive bins: one
// vector load of the padded row from the smallest of them, then a permute by the offsets, gives
// the 8 values. Each pixel still adds its views one after the other, in the listed order, so the
// sums are those of the plain loop bit for bit. The vector path is chosen at run time (AVX-512F
// where the processor has it); without it the caller's plain loop runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/big_pages.h"

namespace sinora {

// For blocks of 8 pixels (q = p / 8) and views: the smallest padded bin and the 8 offsets from
// it (one byte each), stored block by block, view by view: entry [q * views + k].
struct AnyBlockTable {
  int views = 0;
  std::size_t blocks = 0;
  BigVector<std::uint16_t> base;
  BigVector<std::uint64_t> offsets;
};

// Made by ProjectionStudy::blockTable() (rows of pixels divisible by 8, so that no block crosses
// a row).

// True when this processor runs the vector path (and SINORA_NO_SIMD is not set).
bool vectorBackprojection();
bool vectorBackprojectionSupported();
// Lets tests run the plain path on a processor that has the vector one.
void allowVectorBackprojection(bool allow);

// acc[p] += rows[n][bin of p for view views[n]] for n in order, for pixels [from, to) (multiples
// of 8); with `fresh`, the sums start from 0 instead of acc. rows[n] must allow 8 doubles to be
// read from any of its bins. False when the vector path cannot run (nothing is done then).
bool backprojectBlocks(const AnyBlockTable& table, const double* const* rows, const int* views,
                       std::size_t viewCount, std::size_t from, std::size_t to, double* acc,
                       bool fresh = false);

// The same from 0 for the listed blocks (each once, in any order): block q's sums go to
// acc[8 q .. 8 q + 8). Four blocks side by side wherever they lie (a slice's circle gives rows
// of a few blocks each).
bool backprojectBlockList(const AnyBlockTable& table, const double* const* rows, const int* views,
                          std::size_t viewCount, const std::uint32_t* blocks, std::size_t count,
                          double* acc);

// The same, but each block's sums are not stored: f <- f / s x sum on them (0 where s is not
// above 0), the same operations as the plain update, while the next blocks' additions run.
bool backprojectBlockListUpdate(const AnyBlockTable& table, const double* const* rows,
                                const int* views, std::size_t viewCount,
                                const std::uint32_t* blocks, std::size_t count, double* f,
                                const double* s);

// The listed blocks' entries of a table in 16 bits each, for a slice whose padded rows are at
// most 256 bins: the smallest padded bin, and the 7 steps (0 or 1) by which the bins of a
// block's 8 pixels rise, or fall, from pixel to pixel. A subset's backprojection then reads 2
// bytes a block and view instead of 10, and all subsets' entries stay in the core's cache.
struct PackedBlocks {
  int views = 0;
  std::vector<std::uint32_t> blocks;   // the listed blocks (pixel / 8), in order
  BigVector<std::uint16_t> entries;    // [n * views + k] for the n-th listed block
};

// Null when an entry does not fit (a padded row over 256 bins, or a block whose bins do not
// step by 0 or 1 in one direction).
std::unique_ptr<PackedBlocks> packBlocks(const AnyBlockTable& table, const std::uint32_t* blocks,
                                         std::size_t count);

// backprojectBlockList (rows[k] for the table's view k, in order) on the packed blocks; with s,
// the update of backprojectBlockListUpdate on f instead of storing the sums in f.
bool backprojectPacked(const PackedBlocks& table, const double* const* rows, double* f,
                       const double* s);

// The same for 32-bit integer rows and sums (AVX2 where the processor has it).
bool backprojectBlocks(const AnyBlockTable& table, const std::int32_t* const* rows,
                       const int* views, std::size_t viewCount, std::size_t from, std::size_t to,
                       std::int32_t* acc);

}  // namespace sinora
