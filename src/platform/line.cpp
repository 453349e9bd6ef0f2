#include "platform/line.h"

#include <algorithm>
#include <cstdlib>

namespace sinora {

void drawLineTo(QImage& image, int x0, int y0, int x1, int y1, QRgb colour) {
  // Far-away coordinates are pulled in so that the walk stays short; lines that matter are small.
  constexpr int kFar = 100000;
  x0 = std::clamp(x0, -kFar, kFar), y0 = std::clamp(y0, -kFar, kFar);
  x1 = std::clamp(x1, -kFar, kFar), y1 = std::clamp(y1, -kFar, kFar);
  int x = x0, y = y0;
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  const int w = image.width(), h = image.height();
  while (x != x1 || y != y1) {  // the end point itself is not drawn
    if (x >= 0 && y >= 0 && x < w && y < h) image.setPixel(x, y, colour);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace sinora
