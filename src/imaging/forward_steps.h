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

struct WindowStep {
  std::uint32_t at;     // first pixel of the window
  std::uint32_t mask;   // bit e: lane e adds a pixel at this step
  std::uint64_t index;  // byte e: lane e's pixel is window[byte e] (0..15)
};

struct WindowView {
  // Four groups of 8 bins side by side (four chains of additions): quad u's steps are
  // steps[4 * start[u] .. 4 * start[u + 1]), group 4u + g's at 4 r + g. Empty: not stepped.
  std::vector<std::uint32_t> start;
  std::vector<WindowStep> steps;
};

struct WindowTable {
  std::vector<WindowView> views;
};

// Step tables of the views where the steps cost less than `scalarCost` times the scalar
// projector's own steps (eight additions a step, as forwardOcts takes them), from lists of the
// pixels inside the circle; null when the slice is too small for a window.
std::shared_ptr<const WindowTable> buildWindowTable(const std::vector<AnyBinLists>& lists, int bins,
                                                    double scalarCost);

// The bins' sums of one stepped view into out[0 .. bins); the image has bins x bins pixels.
// Needs AVX-512 (the caller checks).
void forwardWindows(const WindowView& v, const double* image, double* out, int bins);

}  // namespace sinora
