#include "windows/PictureView.h"

#include "platform/tr.h"

#include <QApplication>
#include <QXYSeries>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include <cstdio>

#include "platform/safe_file.h"
#include "platform/template_dialog.h"

using sinora::T;

namespace {
constexpr int kScale = 2;
}

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  setFixedSize(sinora::kSize * kScale, sinora::kSize * kScale);
  image_ = QImage(sinora::kSize, sinora::kSize, QImage::Format_RGB32);
  image_.fill(Qt::black);
}

void PictureView::setPicture(const sinora::Picture& picture, sinora::Palette palette) {
  picture_ = picture;
  const sinora::RgbImage rgb = sinora::fitToFrame(picture, palette);
  image_ = sinora::toQImage(rgb.data(), sinora::kSize, sinora::kSize);
  update();
}

void PictureView::setRegion(const QRect& r) {
  region_ = r;
  update();
}
void PictureView::setLine(const QPoint& a, const QPoint& b) {
  lineA_ = a;
  lineB_ = b;
  update();
}
void PictureView::setCrosshair(const QPoint& p) {
  cross_ = p;
  update();
}

QPoint PictureView::toPicture(const QPoint& w) const {
  const sinora::FrameFit fit = sinora::frameFit(picture_.width, picture_.height);
  const int fx = w.x() / kScale, fy = w.y() / kScale;
  return {fx / fit.zoom * fit.shrink, fy / fit.zoom * fit.shrink};
}

QPoint PictureView::toWidget(const QPointF& p) const {
  const sinora::FrameFit fit = sinora::frameFit(picture_.width, picture_.height);
  const double s = double(kScale) * fit.zoom / fit.shrink;
  return QPoint(int((p.x() + 0.5) * s), int((p.y() + 0.5) * s));
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(rect(), image_);  // nearest neighbour: no smoothing asked for
  p.setPen(QPen(Qt::white, 1, Qt::DashLine));
  QRect shown = region_;
  if (dragging_ && drag_ == Drag::Region) shown = QRect(pressAt_, dragAt_).normalized();
  if (shown.isValid() && !shown.isEmpty())
    p.drawRect(QRect(toWidget(shown.topLeft()), toWidget(shown.bottomRight())));
  QPoint a = lineA_, b = lineB_;
  if (dragging_ && drag_ == Drag::Line) a = pressAt_, b = dragAt_;
  if (a.x() >= 0 && b.x() >= 0) {
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(toWidget(a), toWidget(b));
  }
  if (cross_.x() >= 0) {
    p.setPen(QPen(QColor(255, 255, 0), 1));
    const QPoint c = toWidget(cross_);
    p.drawLine(0, c.y(), width(), c.y());
    p.drawLine(c.x(), 0, c.x(), height());
  }
}

void PictureView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  pressAt_ = dragAt_ = toPicture(e->position().toPoint());
  dragging_ = drag_ != Drag::Point;
  if (drag_ == Drag::Point) emit pointChosen(pressAt_);
}

void PictureView::mouseMoveEvent(QMouseEvent* e) {
  // A point follows the mouse while the button is held (a source or a crosshair is dragged).
  if (drag_ == Drag::Point && (e->buttons() & Qt::LeftButton)) {
    const QPoint p = toPicture(e->position().toPoint());
    if (p != pressAt_) emit pointChosen(pressAt_ = p);
    return;
  }
  if (!dragging_) return;
  dragAt_ = toPicture(e->position().toPoint());
  update();
}

void PictureView::mouseReleaseEvent(QMouseEvent* e) {
  if (!dragging_ || e->button() != Qt::LeftButton) return;
  dragging_ = false;
  dragAt_ = toPicture(e->position().toPoint());
  if (drag_ == Drag::Region) {
    const QRect r = QRect(pressAt_, dragAt_).normalized().intersected(
        QRect(0, 0, picture_.width, picture_.height));
    region_ = r;
    if (!r.isEmpty()) emit regionChosen(r);
  } else {
    lineA_ = pressAt_;
    lineB_ = dragAt_;
    emit lineChosen(lineA_, lineB_);
  }
  update();
}

bool PictureView::savePng(const QString& path) const {
  return sinora::writePngSafely(path, image_, nullptr);
}

bool PictureView::saveCsv(const QString& path) const {
  QByteArray csv;
  for (int y = 0; y < picture_.height; ++y)
    for (int x = 0; x < picture_.width; ++x)
      csv += QByteArray::number(picture_.at(x, y)) + (x + 1 < picture_.width ? "," : "\n");
  QString error;
  return writeTextFile(path, csv, &error);
}

void PictureView::contextMenuEvent(QContextMenuEvent* e) {
  offerSaveMenu(this, e->globalPos(), [this](const QString& p) { return savePng(p); },
                [this](const QString& p) { return saveCsv(p); },
                [this] { QApplication::clipboard()->setImage(image_); });
}

PlotView::PlotView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {}

QByteArray PlotView::csv() const {
  QByteArray out = "curve,x,y\n";
  for (QAbstractSeries* s : chart()->series())
    if (auto* line = qobject_cast<QXYSeries*>(s))
      for (const QPointF& p : line->points())
        out += line->name().toUtf8() + ',' + QByteArray::number(p.x(), 'g', 17) + ',' +
               QByteArray::number(p.y(), 'g', 17) + '\n';
  return out;
}

bool PlotView::savePng(const QString& path) {
  return sinora::writePngSafely(path, grab().toImage(), nullptr);
}

bool PlotView::saveCsv(const QString& path) const {
  QString error;
  return writeTextFile(path, csv(), &error);
}

void PlotView::contextMenuEvent(QContextMenuEvent* e) {
  offerSaveMenu(this, e->globalPos(), [this](const QString& p) { return savePng(p); },
                [this](const QString& p) { return saveCsv(p); },
                [this] { QApplication::clipboard()->setPixmap(grab()); });
}

void offerSaveMenu(QWidget* owner, const QPoint& globalPos, const std::function<bool(const QString&)>& png,
                   const std::function<bool(const QString&)>& csv, const std::function<void()>& copy) {
  QMenu menu(owner);
  QAction* asPng = menu.addAction(T("PNG で保存..."));
  QAction* asCsv = menu.addAction(T("値を CSV で保存..."));
  QAction* toClipboard = menu.addAction(T("クリップボードにコピー"));
  QAction* chosen = menu.exec(globalPos);
  if (chosen == toClipboard) {
    copy();
  } else if (chosen == asPng || chosen == asCsv) {
    const bool image = chosen == asPng;
    const QString path = QFileDialog::getSaveFileName(
        owner, chosen->text(), QString(), image ? QStringLiteral("PNG (*.png)") : QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) return;
    if (!(image ? png(path) : csv(path)))
      QMessageBox::warning(owner, QStringLiteral("Sinora"), T("%1 に書けません（%2）。").arg(path, sinora::lastWriteError()));
  }
}

void setScrollingContent(QWidget* window, QWidget* content) {
  auto* scroll = new QScrollArea;
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* outer = new QVBoxLayout(window);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);
  QSize wanted = content->sizeHint() + QSize(4, 4);
  const QRect room = window->screen() ? window->screen()->availableGeometry() : QRect(0, 0, 1600, 1000);
  // Scrolling down takes a bar's width: it is added, so that nothing scrolls across.
  if (wanted.height() > room.height() - 80) wanted.rwidth() += scroll->verticalScrollBar()->sizeHint().width();
  window->resize(std::min(wanted.width(), room.width() - 40), std::min(wanted.height(), room.height() - 80));
}

std::vector<QPointF> profileAlong(const std::vector<double>& f, int b, QPoint a, QPoint c) {
  std::vector<QPointF> out;
  const double length = std::hypot(c.x() - a.x(), c.y() - a.y());
  const int n = std::max(1, int(std::ceil(length)));
  for (int t = 0; t <= n; ++t) {
    const int x = int(std::lround(a.x() + (c.x() - a.x()) * double(t) / n));
    const int y = int(std::lround(a.y() + (c.y() - a.y()) * double(t) / n));
    if (x < 0 || y < 0 || x >= b || y >= b) continue;
    out.emplace_back(length * t / n, f[std::size_t(x) * b + y]);
  }
  return out;
}

bool writeTextFile(const QString& path, const QByteArray& text, QString* error) {
  return sinora::writeFileSafely(path, text, error);
}
