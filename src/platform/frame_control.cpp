#include "platform/frame_control.h"

#include <QPainter>

namespace sinora {

FrameControl::FrameControl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  canvas_ = QImage(1, 1, QImage::Format_ARGB32);
  canvas_.fill(Qt::transparent);
}

void FrameControl::resizeEvent(QResizeEvent*) { fitCanvas(); }

void FrameControl::fitCanvas() {
  if (canvas_.size() == size()) return;
  QImage grown(size(), QImage::Format_ARGB32);
  grown.fill(Qt::transparent);
  QPainter p(&grown);
  p.drawImage(0, 0, canvas_);
  canvas_ = grown;
}

void FrameControl::paintPicture(const QImage& picture) {
  fitCanvas();
  QPainter p(&canvas_);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(0, 0, picture);
  p.end();
  ++painted_;
  update();
}

void FrameControl::fill(const QColor& colour) {
  fitCanvas();
  canvas_.fill(colour);
  ++painted_;
  update();
}

QRgb FrameControl::shownPixel(int x, int y) const {
  const QRgb c = canvas_.valid(x, y) ? canvas_.pixel(x, y) : 0;
  if (qAlpha(c) != 0) return c | 0xff000000u;
  const bool edge = x == 0 || y == 0 || x == width() - 1 || y == height() - 1;
  return edge ? qRgb(0, 0, 0) : 0;  // 0: nothing painted there
}

void FrameControl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(Qt::black);
  p.drawRect(0, 0, width() - 1, height() - 1);
  p.drawImage(0, 0, canvas_);
}

}  // namespace sinora
