#include "literal_osem.h"

#include <cmath>

namespace literal {

namespace {

// The bin of pixel (i, j) for view k, or -1 outside the row.
int bin(const sinora::ProjectionStudy& s, int k, int i, int j) {
  const int b = s.bins(), c = b / 2;
  const double theta = s.angleDegrees(k) * 3.1415 / 180;
  const double u = (j - c) * std::sin(theta) + (i - c) * std::cos(theta);
  const int n = (u >= 0 ? static_cast<int>(u + 0.5) : static_cast<int>(u - 0.5)) + c;
  return n >= 0 && n < b ? n : -1;
}

double likelihood(const sinora::ProjectionStudy& s, const std::vector<double>& f,
                  const std::vector<double>& y) {
  const int b = s.bins();
  double sum = 0;
  for (int k = 0; k < s.views(); ++k) {
    std::vector<double> af(static_cast<std::size_t>(b), 0.0);
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j) {
        const int n = bin(s, k, i, j);
        if (n >= 0) af[std::size_t(n)] += f[std::size_t(i * b + j)];
      }
    for (int n = 0; n < b; ++n)
      if (af[std::size_t(n)] > 0)
        sum += y[std::size_t(k * b + n)] * std::log(af[std::size_t(n)]) - af[std::size_t(n)];
  }
  return sum;
}

}  // namespace

Osem osem(const sinora::ProjectionStudy& s, int row, int subsets, int iterations) {
  const int b = s.bins(), v = s.views(), c = b / 2;
  std::vector<double> y(static_cast<std::size_t>(v * b));
  for (int k = 0; k < v; ++k)
    for (int n = 0; n < b; ++n) y[std::size_t(k * b + n)] = s.count(k, row, n);
  std::vector<double> f(static_cast<std::size_t>(b * b), 0.0);
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      if ((i - c) * (i - c) + (j - c) * (j - c) < c * c) f[std::size_t(i * b + j)] = 1;
  // Subsets taken far apart: 0, then always the one whose nearest taken subset is farthest
  // round the circle; on a tie the one farthest from the last taken, then the lowest.
  auto apart = [subsets](int a, int b) {
    int d = a > b ? a - b : b - a;
    return subsets - d < d ? subsets - d : d;
  };
  std::vector<int> order{0};
  while (int(order.size()) < subsets) {
    int best = -1, bestD = -1, bestLast = -1;
    for (int m = 0; m < subsets; ++m) {
      bool taken = false;
      int nearest = subsets;
      for (int t : order) {
        if (t == m) taken = true;
        if (apart(m, t) < nearest) nearest = apart(m, t);
      }
      const int last = apart(m, order.back());
      if (!taken && (nearest > bestD || (nearest == bestD && last > bestLast))) {
        bestD = nearest;
        bestLast = last;
        best = m;
      }
    }
    order.push_back(best);
  }
  Osem out;
  for (int it = 0; it < iterations; ++it) {
    for (int m : order) {
      std::vector<double> ratio(static_cast<std::size_t>(v * b), 0.0);
      for (int k = m; k < v; k += subsets) {
        std::vector<double> af(static_cast<std::size_t>(b), 0.0);
        for (int i = 0; i < b; ++i)
          for (int j = 0; j < b; ++j) {
            const int n = bin(s, k, i, j);
            if (n >= 0) af[std::size_t(n)] += f[std::size_t(i * b + j)];
          }
        for (int n = 0; n < b; ++n)
          ratio[std::size_t(k * b + n)] = af[std::size_t(n)] > 0 ? y[std::size_t(k * b + n)] / af[std::size_t(n)] : 0;
      }
      std::vector<double> next(f.size());
      for (int i = 0; i < b; ++i)
        for (int j = 0; j < b; ++j) {
          double sens = 0, back = 0;
          for (int k = m; k < v; k += subsets) {
            const int n = bin(s, k, i, j);
            if (n < 0) continue;
            sens += 1;
            back += ratio[std::size_t(k * b + n)];
          }
          const double old = f[std::size_t(i * b + j)];
          next[std::size_t(i * b + j)] = sens > 0 ? old / sens * back : 0;
        }
      f = next;
    }
    out.images.push_back(f);
    out.likelihood.push_back(likelihood(s, f, y));
  }
  return out;
}

}  // namespace literal
