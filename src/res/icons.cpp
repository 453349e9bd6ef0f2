#include "res/icons.h"

#include <QPainter>

#include <algorithm>

#include "imaging/display.h"
#include "res/resource.h"

namespace sinora::res {

namespace {

void page(QPainter& p, int x, int y, int w, int h) {
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(x, y, w, h);
}

}  // namespace

QPixmap toolbarPixmap(int id, int scale) {
  scale = std::max(1, scale);
  // Drawn at the screen's own resolution, so that a scaled screen shows sharp lines.
  QPixmap pm(16 * scale, 15 * scale);
  pm.setDevicePixelRatio(scale);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  switch (id) {
    case ID_FILE_NEW:
      page(p, 3, 1, 9, 12);
      p.drawLine(9, 1, 12, 4);
      break;
    case ID_FILE_OPEN:
      p.setPen(Qt::black);
      p.setBrush(QColor(255, 255, 0));
      p.drawPolygon(QPolygon({{1, 4}, {5, 4}, {6, 5}, {12, 5}, {12, 12}, {1, 12}}));
      p.setBrush(QColor(128, 128, 0));
      p.drawPolygon(QPolygon({{3, 7}, {14, 7}, {12, 12}, {1, 12}}));
      break;
    case ID_FILE_SAVE:
      p.setPen(Qt::black);
      p.setBrush(QColor(0, 0, 128));
      p.drawRect(1, 1, 13, 12);
      p.setBrush(Qt::white);
      p.drawRect(4, 1, 7, 5);
      p.setBrush(QColor(192, 192, 192));
      p.drawRect(4, 9, 7, 4);
      break;
    case ID_EDIT_CUT:
      p.setPen(Qt::black);
      p.drawLine(5, 1, 9, 8);
      p.drawLine(10, 1, 6, 8);
      p.setPen(QColor(0, 0, 128));
      p.drawEllipse(2, 8, 4, 4);
      p.drawEllipse(9, 8, 4, 4);
      break;
    case ID_EDIT_COPY:
      page(p, 1, 1, 8, 9);
      page(p, 6, 4, 8, 9);
      break;
    case ID_EDIT_PASTE:
      p.setPen(Qt::black);
      p.setBrush(QColor(128, 64, 0));
      p.drawRect(1, 2, 10, 11);
      p.setBrush(QColor(192, 192, 192));
      p.drawRect(4, 1, 4, 2);
      page(p, 6, 6, 8, 8);
      break;
    case ID_FILE_PRINT:
      page(p, 4, 1, 7, 5);
      p.setBrush(QColor(192, 192, 192));
      p.drawRect(1, 6, 13, 5);
      page(p, 4, 11, 7, 3);
      break;
    case ID_APP_ABOUT: {
      p.setPen(Qt::black);
      p.setBrush(QColor(255, 255, 192));
      p.drawEllipse(1, 0, 13, 13);
      QFont f;
      f.setPixelSize(11);
      f.setBold(true);
      p.setFont(f);
      p.setPen(QColor(0, 0, 128));
      p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    default:
      break;
  }
  return pm;
}

QIcon toolbarIcon(int id) {
  QIcon icon;
  for (int scale : {1, 2, 3}) icon.addPixmap(toolbarPixmap(id, scale));
  return icon;
}

QImage applicationIconImage(int size) {
  QImage pm(size, size, QImage::Format_ARGB32_Premultiplied);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // Concentric rings in Ribbon colours: a hot slice on a dark ground.
  const int steps[] = {40, 110, 160, 200, 240};
  for (int i = 0; i < 5; ++i) {
    const Rgb c = tableColor(ColorTable::Ribbon, steps[i]);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(c.r, c.g, c.b));
    const double inset = i * size / 11.0;
    p.drawEllipse(QRectF(inset + size * 0.05, inset, size * 0.9 - 2 * inset, size - 2 * inset));
  }
  return pm;
}

QIcon applicationIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 96}) icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
  return icon;
}

}  // namespace sinora::res
