// The OSEM slice's projector in vectors: each bin's sum of its pixels, eight bins side by side.
// Each step reads 16 neighbouring pixels of the image (one window) and adds, to each bin whose
// next pixel lies in that window, that pixel: every bin still adds its own pixels one by one in
// ascending order, starting from +0, so the sums are those of the pixel lists bit for bit.
// It pays where a view's neighbouring bins take neighbouring pixels (views away from the
// rows' direction); other views keep the scalar projector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sinora {

struct AnyBinLists;

// One read of a window and up to two additions: lane e adds window[nibble e of index[0]] when
// bit e of mask[0] is set, then window[nibble e of index[1]] when bit e of mask[1] is (its
// next pixel). Twelve bytes: the table streams through the cache at every projection.
struct WindowStep {
  std::uint16_t line;  // the window's first pixel / 8
  std::uint8_t mask[2];
  std::uint32_t index[2];
};

struct WindowView {
  int phases = 0;  // additions a step (1 or 2); 0: the view is not stepped
  // Four groups of 8 bins side by side (four chains of additions), groups of like length
  // together: quad u's steps are steps[4 * start[u] .. 4 * start[u + 1]), slot g's at 4 r + g,
  // and slot g sums bins first[4 u + g] .. + 7 (none when -1).
  std::vector<std::uint32_t> start;
  std::vector<std::int32_t> first;
  std::vector<WindowStep> steps;
};

struct WindowTable {
  std::vector<WindowView> views;
};

// What a step costs (any unit, measured): forwardOcts' step of eight additions, and a window
// step of one or two additions a lane.
struct WindowCosts {
  double octs = 1.8, once = 0.72, twice = 1.02;  // ns on a 128 slice
};

// Step tables of the views where steps cost less than forwardOcts, from lists of the pixels
// inside the circle; null when the slice is too small for a window or not whole cache lines.
std::shared_ptr<const WindowTable> buildWindowTable(const std::vector<AnyBinLists>& lists, int bins,
                                                    const WindowCosts& costs = {});

// The bins' sums of one stepped view into out[0 .. bins); the image has bins x bins pixels.
// Needs AVX-512 (the caller checks).
void forwardWindows(const WindowView& v, const double* image, double* out, int bins);

}  // namespace sinora
