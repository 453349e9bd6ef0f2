// A one-pixel line as the classic device context draws one with MoveTo and LineTo: every pixel
// from the start up to, but not including, the end point; no antialiasing.
#pragma once

#include <QImage>

namespace sinora {

void drawLineTo(QImage& image, int x0, int y0, int x1, int y1, QRgb colour);

}  // namespace sinora
