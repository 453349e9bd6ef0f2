#include "literal.h"

#include <cmath>

namespace literal {

namespace {

double angle(int k) { return (k * 6) * 3.1415 / 180; }

// Kept out of line so that the optimiser cannot hoist them: the oracle evaluates the sine and
// cosine afresh for every pixel, as written.
__attribute__((noipa)) double sine(double x) { return std::sin(x); }
__attribute__((noipa)) double cosine(double x) { return std::cos(x); }

int bin(int k, int i, int j) {
  const double s = (j - 64) * sine(angle(k)) + (i - 64) * cosine(angle(k));
  int t;
  if (s >= 0) t = (int)(s + 0.5);
  else t = (int)(s - 0.5);
  return t + 64;
}

int row(int sliceLine) { return (sliceLine >= 0 && sliceLine <= 127) ? sliceLine : 0; }

void ra(int filter, double* Ra /* index n + 127 */) {
  const double pai = 3.1415;
  if (filter == 2) {
    for (int n = 0; n <= 127; n++) Ra[n + 127] = 2 / (pai * pai * (1 - 4 * n * n));
  } else {
    Ra[127] = 0.25;
    for (int n = 1; n <= 127; n++) {
      if (n % 2 == 1) Ra[n + 127] = -1 / (pai * pai * n * n);
      else Ra[n + 127] = 0;
    }
  }
  for (int n = 1; n <= 127; n++) Ra[-n + 127] = Ra[n + 127];
}

struct Kernel {
  double y[5], yy, y0, y1, y2, y3;
};

Kernel butterworth(double order, double cutoff, double divide) {
  double bf[128];
  const double dd = 0.049087375;
  for (int i = 0; i <= 64; i++) bf[i] = 1 / (1 + std::pow((i / 128.0) / cutoff, order));
  for (int i = 65; i <= 127; i++) bf[i] = 1 / (1 + std::pow(((128 - i) / 128.0) / cutoff, order));
  Kernel k;
  for (int j = 0; j <= 4; j++) {
    k.y[j] = 0;
    for (int i = 0; i <= 127; i++) k.y[j] = k.y[j] + std::cos(i * j * dd) * bf[i];
    k.y[j] = k.y[j] / divide;
  }
  const double* y = k.y;
  k.yy = y[0] + 2 * y[1] + 2 * y[2] + 2 * y[3] + 2 * y[4];
  k.y0 = y[0] + y[1] + y[2] + y[3] + y[4];
  k.y1 = y[0] + 2 * y[1] + y[2] + y[3] + y[4];
  k.y2 = y[0] + 2 * y[1] + 2 * y[2] + y[3] + y[4];
  k.y3 = y[0] + 2 * y[1] + 2 * y[2] + 2 * y[3] + y[4];
  return k;
}

// The nine-tap smoothing written out: four edge columns at each end, then the inner ones.
void smooth(const double* cc, double* ppw, const Kernel& k) {
  const double* y = k.y;
  ppw[0] = (0 + y[0] * cc[0] + y[1] * cc[1] + y[2] * cc[2] + y[3] * cc[3] + y[4] * cc[4]) / k.y0;
  ppw[1] = (0 + y[1] * cc[0] + y[0] * cc[1] + y[1] * cc[2] + y[2] * cc[3] + y[3] * cc[4] +
            y[4] * cc[5]) / k.y1;
  ppw[2] = (0 + y[2] * cc[0] + y[1] * cc[1] + y[0] * cc[2] + y[1] * cc[3] + y[2] * cc[4] +
            y[3] * cc[5] + y[4] * cc[6]) / k.y2;
  ppw[3] = (0 + y[3] * cc[0] + y[2] * cc[1] + y[1] * cc[2] + y[0] * cc[3] + y[1] * cc[4] +
            y[2] * cc[5] + y[3] * cc[6] + y[4] * cc[7]) / k.y3;
  for (int c = 4; c <= 123; c++) {
    ppw[c] = (0 + y[4] * cc[c - 4] + y[3] * cc[c - 3] + y[2] * cc[c - 2] + y[1] * cc[c - 1] +
              y[0] * cc[c] + y[1] * cc[c + 1] + y[2] * cc[c + 2] + y[3] * cc[c + 3] +
              y[4] * cc[c + 4]) / k.yy;
  }
  ppw[124] = (0 + y[4] * cc[120] + y[3] * cc[121] + y[2] * cc[122] + y[1] * cc[123] +
              y[0] * cc[124] + y[1] * cc[125] + y[2] * cc[126] + y[3] * cc[127]) / k.y3;
  ppw[125] = (0 + y[4] * cc[121] + y[3] * cc[122] + y[2] * cc[123] + y[1] * cc[124] +
              y[0] * cc[125] + y[1] * cc[126] + y[2] * cc[127]) / k.y2;
  ppw[126] = (0 + y[4] * cc[122] + y[3] * cc[123] + y[2] * cc[124] + y[1] * cc[125] +
              y[0] * cc[126] + y[1] * cc[127]) / k.y1;
  ppw[127] = (0 + y[4] * cc[123] + y[3] * cc[124] + y[2] * cc[125] + y[1] * cc[126] +
              y[0] * cc[127]) / k.y0;
}

void filterRow(const double* in, double* out, const double* Ra) {
  for (int i = 0; i <= 127; i++) {
    out[i] = 0;
    for (int j = 0; j <= 127; j++) out[i] = out[i] + in[j] * Ra[j - i + 127];
  }
}

std::int32_t round32(double x) { return sinora::toImageValue(x); }

// Backprojects rows[k][bin] for the listed views into kk[i][j], then rounds, clamps, finds max.
DisplayImage finish(const double (*rows)[128], const int* views, int n, int maxStart,
                    sinora::Axis across) {
  static double kk[128][128];
  for (int i = 0; i <= 127; i++)
    for (int j = 0; j <= 127; j++) kk[i][j] = 0;
  for (int v = 0; v < n; v++) {
    const int k = views[v];
    for (int i = 0; i <= 127; i++)
      for (int j = 0; j <= 127; j++) {
        const int d = bin(k, i, j);
        if (d >= 0 && d <= 127) kk[i][j] = kk[i][j] + rows[k][d];
      }
  }
  DisplayImage out;
  out.across = across;
  out.table = sinora::ColorTable::Ribbon;
  std::int32_t max = maxStart;
  for (int i = 0; i <= 127; i++)
    for (int j = 0; j <= 127; j++) {
      std::int32_t c = round32(kk[i][j]);
      if (c < 0) c = 0;
      out.values[i * 128 + j] = c;
    }
  for (int p = 0; p < 16384; p++)
    if (out.values[p] > max) max = out.values[p];
  out.divisor = max;
  return out;
}

}  // namespace

DisplayImage projection(const ProjectionStudy& study, int a, int densityOffset) {
  std::int32_t max = 10;
  for (int k = 0; k < 60; k++)
    for (int r = 0; r < 128; r++)
      for (int c = 0; c < 128; c++)
        if (study.count(k, r, c) > max) max = study.count(k, r, c);
  DisplayImage out;
  out.across = sinora::Axis::Second;
  out.table = sinora::ColorTable::RibbonBand;
  for (int r = 0; r < 128; r++)
    for (int c = 0; c < 128; c++) out.values[r * 128 + c] = study.count(a, r, c);
  out.divisor = std::int64_t(max) + densityOffset - 20;
  return out;
}

DisplayImage smoothed(const ProjectionStudy& study, int a, double order, double cutoff,
                      int densityOffset) {
  if (order <= 0.01 || cutoff <= 0.01) {
    order = 1.0;
    cutoff = 1.0;
  }
  const Kernel k = butterworth(order, cutoff, 1);
  DisplayImage out;
  out.across = sinora::Axis::Second;
  out.table = sinora::ColorTable::Ribbon;
  std::int32_t max = 10;
  for (int r = 0; r < 128; r++) {
    double cc[128], ppw[128];
    for (int c = 0; c < 128; c++) cc[c] = study.count(a, r, c);
    smooth(cc, ppw, k);
    for (int c = 0; c < 128; c++) {
      std::int32_t v = round32(ppw[c]);
      if (v < 0) v = 0;
      out.values[r * 128 + c] = v;
      if (v > max) max = v;
    }
  }
  out.divisor = std::int64_t(max) + densityOffset - 20;
  return out;
}

DisplayImage backprojection(const ProjectionStudy& study, int sliceLine, int densityOffset) {
  const int g = row(sliceLine);
  static std::int32_t cc[128][128];
  for (int i = 0; i <= 127; i++)
    for (int j = 0; j <= 127; j++) cc[i][j] = 0;
  for (int k = 0; k < 60; k++)
    for (int i = 0; i <= 127; i++)
      for (int j = 0; j <= 127; j++) {
        const int d = bin(k, i, j);
        if (d >= 0 && d <= 127) cc[i][j] = cc[i][j] + study.count(k, g, d);
      }
  DisplayImage out;
  out.across = sinora::Axis::First;
  out.table = sinora::ColorTable::Ribbon;
  std::int32_t max = 1;
  for (int i = 0; i <= 127; i++)
    for (int j = 0; j <= 127; j++) {
      if (cc[i][j] < 0) cc[i][j] = 0;
      if (cc[i][j] > max) max = cc[i][j];
      out.values[i * 128 + j] = cc[i][j];
    }
  out.divisor = std::int64_t(max) + densityOffset - 20;
  return out;
}

DisplayImage reconprojection(const ProjectionStudy& study, int sliceLine, int filter,
                             int densityOffset) {
  const int g = row(sliceLine);
  double Ra[255];
  ra(filter, Ra);
  static double ppw[60][128];
  for (int k = 0; k < 60; k++) {
    double cc[128];
    for (int j = 0; j < 128; j++) cc[j] = study.count(k, g, j);
    filterRow(cc, ppw[k], Ra);
  }
  int views[60];
  for (int k = 0; k < 60; k++) views[k] = k;
  DisplayImage out = finish(ppw, views, 60, 1, sinora::Axis::First);
  out.divisor = out.divisor + densityOffset - 10;
  return out;
}

DisplayImage sumreconprojection(const ProjectionStudy& study, int sliceLine, int filter,
                                double order, double cutoff, int densityOffset) {
  const int g = row(sliceLine);
  const Kernel kernel = butterworth(order, cutoff, 1);
  double Ra[255];
  ra(filter, Ra);
  static double ppc[60][128];
  for (int k = 0; k < 60; k++) {
    double cc[128], ppw[128];
    for (int j = 0; j < 128; j++) cc[j] = study.count(k, g, j);
    smooth(cc, ppw, kernel);
    filterRow(ppw, ppc[k], Ra);
  }
  int views[60];
  for (int k = 0; k < 60; k++) views[k] = k;
  DisplayImage out = finish(ppc, views, 60, 1, sinora::Axis::First);
  out.divisor = out.divisor + densityOffset - 10;
  return out;
}

namespace {
int pointViews(int step, int* views) {
  int n = 0;
  for (int a = 0; a < 60; a += step) views[n++] = a;
  return n;
}
void pointRow(double* row) {
  for (int b = 0; b < 128; b++) row[b] = (b >= 55 && b <= 73) ? 10 : 0;
}
}  // namespace

DisplayImage gazou(int step) {
  int views[60];
  const int n = pointViews(step, views);
  static double rows[60][128];
  for (int v = 0; v < n; v++) pointRow(rows[views[v]]);
  DisplayImage out = finish(rows, views, n, 1, sinora::Axis::Second);
  return out;
}

DisplayImage rampgazou(int step) {
  int views[60];
  const int n = pointViews(step, views);
  double Ra[255];
  ra(1, Ra);
  static double rows[60][128];
  for (int v = 0; v < n; v++) {
    double r[128];
    pointRow(r);
    filterRow(r, rows[views[v]], Ra);
  }
  return finish(rows, views, n, 1, sinora::Axis::Second);
}

DisplayImage sumrampgazou(int step, double order, double cutoff) {
  int views[60];
  const int n = pointViews(step, views);
  const Kernel kernel = butterworth(order, cutoff, 128);
  double Ra[255];
  ra(1, Ra);
  static double rows[60][128];
  for (int v = 0; v < n; v++) {
    double r[128], s[128];
    pointRow(r);
    smooth(r, s, kernel);
    filterRow(s, rows[views[v]], Ra);
  }
  return finish(rows, views, n, 1, sinora::Axis::Second);
}

sinora::RgbImage paint(const DisplayImage& image, sinora::Palette palette) {
  sinora::RgbImage out;
  std::int64_t divisor = image.divisor;
  if (divisor < 1) divisor = 1;
  for (int f = 0; f < 128; f++)
    for (int s = 0; s < 128; s++) {
      std::int64_t d = std::int64_t(image.values[f * 128 + s]) * 255 / divisor;
      if (d < 0) d = 0;
      if (d > 255) d = 255;
      sinora::Rgb c;
      if (palette == sinora::Palette::BlackWhite) {
        c = {std::uint8_t(d), std::uint8_t(d), std::uint8_t(d)};
      } else if (d == 0) {
        c = {0, 0, 0};
      } else if (image.table == sinora::ColorTable::Ribbon) {
        c = sinora::kRibbonColorTable[d];
      } else {
        c = sinora::kRibbonBandTable[(d - 1) / 5 + 1];
      }
      const int x = image.across == sinora::Axis::Second ? s : f;
      const int y = image.across == sinora::Axis::Second ? f : s;
      out[y * 128 + x] = 0xff000000u | (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b;
    }
  return out;
}

}  // namespace literal
