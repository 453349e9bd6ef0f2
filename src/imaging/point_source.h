// The simulated point source: every used view sees the same row, 10 in bins 55..73 and 0
// elsewhere. Views a = 0, step, 2 step, ... below 60 are used. Pixel (y, x) of the images takes
// the bin of geometry.h with i = y and j = x, so row y is the first index and x runs across.
// The graph curves use pi = 3.141592 and a 64-sample profile: 5, with 50 at samples 26..36.
#pragma once

#include <array>
#include <optional>

#include "imaging/display.h"

namespace sinora {

using Curve = std::array<double, 64>;

// View step from the number read from the "Degrees" box: above 0.01 truncated and kept in
// 1..60; otherwise (NaN included) 30.
int viewStep(double degrees);

const Curve& graphProfile();
Curve rampCurve();
// Absent unless both order and cut-off are above 0.01.
std::optional<Curve> bwRampCurve(double order, double cutoff);

// The three images; divisor = image maximum (from 1), Ribbon colour table, x = second index.
DisplayImage pointSourceBackprojection(int step);
DisplayImage pointSourceRamp(int step);
// Order and cut-off as typed (no 0.01 test); taps divided by 128.
DisplayImage pointSourceBwRamp(int step, double order, double cutoff);

}  // namespace sinora
