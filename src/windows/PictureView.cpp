#include "windows/PictureView.h"

#include "platform/tr.h"
#include "imaging/phantom.h"

#include <QAbstractSeries>
#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QXYSeries>

#include <algorithm>
#include <cmath>

#include <cstdio>

#include "platform/safe_file.h"
#include "platform/template_dialog.h"
#include "windows/ComparisonBoard.h"

using sinora::ColourMap;
using sinora::DisplayWindow;
using sinora::T;

QString unitText(ValueUnit unit) {
  switch (unit) {
    case ValueUnit::Counts: return T("カウント");
    case ValueUnit::CountsPerPixel: return T("カウント/画素");
    case ValueUnit::ActivityPerMm3: return T("放射能/mm^3");
    case ValueUnit::PerCm: return QStringLiteral("cm^-1");
    case ValueUnit::Plain: return QString();
  }
  return QString();
}

QString unitText(const PictureValues& v) { return v.unitName.isEmpty() ? unitText(v.unit) : v.unitName; }

PictureValues sliceValues(const std::vector<double>& slice, int b, ValueUnit unit, double pixelMm) {
  PictureValues v;
  if (b <= 0 || slice.size() != std::size_t(b) * b) return v;
  v.width = v.height = b;
  v.unit = unit;
  v.pixelMm = pixelMm;
  v.values.resize(slice.size());
  for (int x = 0; x < b; ++x)
    for (int y = 0; y < b; ++y) v.values[std::size_t(y) * b + x] = slice[std::size_t(x) * b + y];
  return v;
}

PictureValues pictureValues(const sinora::Picture& p, ValueUnit unit, double pixelMm) {
  PictureValues v;
  v.width = p.width;
  v.height = p.height;
  v.unit = unit;
  v.pixelMm = pixelMm;
  v.values.assign(p.values.begin(), p.values.end());
  return v;
}

DisplayWindow defaultWindow(const PictureValues& v) {
  return sinora::valueWindow(v.values, v.unit != ValueUnit::Plain);
}

std::vector<double> barTicks(DisplayWindow w) {
  std::vector<double> t;
  for (int k = 0; k <= 4; ++k) t.push_back(k == 4 ? w.high : w.low + (w.high - w.low) * k / 4);
  return t;
}

QString tickText(double v) { return QString::number(v, 'g', 4); }

QByteArray valuesCsv(const PictureValues& v) {
  QByteArray csv;
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x)
      csv += QByteArray::number(v.at(x, y), 'g', 17) + (x + 1 < v.width ? "," : "\n");
  return csv;
}

void WindowLink::setWindow(DisplayWindow w, QObject* from) {
  window_ = w;
  has_ = true;
  emit windowChanged(w, from);
}

namespace {

constexpr int kBar = 12;        // colour bar width
constexpr int kBarGap = 6;      // between picture and bar
constexpr int kFigureFont = 11; // figure text, pixels
constexpr double kFadeIn = 0.15; // of a fused picture's window: the values that fade in

QImage colours(const PictureValues& v, DisplayWindow w, ColourMap map) {
  if (v.empty()) return {};
  const std::vector<std::uint32_t> rgb = sinora::mapValues(v.values, w, map);
  return sinora::toQImage(rgb.data(), v.width, v.height);
}

// The bar as an image: high at the top.
QImage barImage(ColourMap map, int height) {
  QImage bar(1, std::max(2, height), QImage::Format_RGB32);
  for (int y = 0; y < bar.height(); ++y) bar.setPixel(0, y, sinora::colourAt(map, 1 - double(y) / (bar.height() - 1)));
  return bar;
}

// Bar, numbers and unit beside a picture whose top is at `top` and height `h`, from x on.
void drawBar(QPainter& p, int x, int top, int h, DisplayWindow w, ColourMap map, const QString& unit) {
  p.drawImage(QRect(x, top, kBar, h), barImage(map, 256));
  p.setPen(QPen(Qt::black, 0));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(x, top, kBar, h));
  const QFontMetrics fm(p.font());
  const std::vector<double> ticks = barTicks(w);
  int right = 0;
  for (std::size_t k = 0; k < ticks.size(); ++k) {
    const int y = top + int(std::lround(h * (1 - double(k) / 4)));
    p.drawLine(x + kBar, y, x + kBar + 3, y);
    const QString s = tickText(ticks[k]);
    const int ty = std::clamp(y + fm.ascent() / 2 - 1, top + fm.ascent(), top + h + fm.ascent());
    p.drawText(x + kBar + 5, ty, s);
    right = std::max(right, fm.horizontalAdvance(s));
  }
  if (!unit.isEmpty()) {
    p.save();
    p.translate(x + kBar + 8 + right + fm.ascent(), top + h / 2.0);
    p.rotate(-90);
    p.drawText(QRectF(-h / 2.0, -fm.ascent(), h, fm.height()), Qt::AlignCenter, unit);
    p.restore();
  }
}

int barColumnWidth(const QFontMetrics& fm, const QString& unit) {
  return kBarGap + kBar + 8 + fm.horizontalAdvance(QStringLiteral("-8.888e-88")) + (unit.isEmpty() ? 0 : fm.height() + 4);
}

}  // namespace

// ---- PictureFigure

namespace {
QFont figureFont() {
  QFont f;
  f.setPixelSize(kFigureFont);
  return f;
}
int pictureScaleFor(const QImage& image, int minSide) {
  const int side = std::max(1, std::max(image.width(), image.height()));
  return std::max(1, (minSide + side - 1) / side);
}
QRect captionRect(const QString& caption, int width) {
  if (caption.isEmpty()) return {};
  const QFontMetrics fm(figureFont());
  return fm.boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, caption);
}
}  // namespace

int PictureFigure::captionTextHeight() const {
  if (image.isNull()) return 0;
  const int s = pictureScaleFor(image, minSide);
  return captionRect(caption, image.width() * s + barColumnWidth(QFontMetrics(figureFont()), unit)).height();
}

QSize PictureFigure::figureSize() const {
  if (image.isNull()) return {};
  const int s = pictureScaleFor(image, minSide);
  const int w = image.width() * s, h = image.height() * s;
  const QFontMetrics fm(figureFont());
  const int width = w + barColumnWidth(fm, unit);
  const int c = std::max(captionTextHeight(), captionHeight);
  return {width, h + (c == 0 ? 0 : c + 4) + fm.height() / 2};
}

void PictureFigure::paintFigure(QPainter& p, bool vector) const {
  if (image.isNull()) return;
  const int s = pictureScaleFor(image, minSide);
  const int w = image.width() * s, h = image.height() * s;
  p.save();
  p.setFont(figureFont());
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QFontMetrics fm(p.font());
  const QSize all = figureSize();
  const int c = std::max(captionTextHeight(), captionHeight);
  p.setPen(Qt::black);
  if (c > 0) p.drawText(QRect(0, 0, all.width(), c), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, caption);
  const int top = c == 0 ? fm.height() / 4 : c + 4;
  // In SVG and PDF the picture goes in as blocks already, so that a viewer's smoothing of the
  // embedded image cannot blur its pixels.
  if (vector) {
    const int k = std::max(1, 512 / std::max(1, std::max(image.width(), image.height())));
    p.drawImage(QRect(0, top, w, h), image.scaled(image.size() * k, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  } else {
    p.drawImage(QRect(0, top, w, h), image);
  }
  drawBar(p, w + kBarGap, top, h, window, map, unit);
  p.restore();
}

QImage fusedPicture(const PictureValues& over, DisplayWindow overWindow, ColourMap map, const PictureValues& under,
                    DisplayWindow underWindow, double opacity) {
  if (over.empty() || under.empty()) return {};
  const std::vector<std::uint32_t> top = sinora::mapValues(over.values, overWindow, map);
  const std::vector<std::uint32_t> grey = sinora::mapValues(under.values, underWindow, ColourMap::Grey);
  QImage out(under.width, under.height, QImage::Format_RGB32);
  const double a = std::clamp(opacity, 0.0, 1.0);
  for (int y = 0; y < under.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    const int oy = std::min(over.height - 1, int(std::int64_t(y) * over.height / under.height));
    for (int x = 0; x < under.width; ++x) {
      const int ox = std::min(over.width - 1, int(std::int64_t(x) * over.width / under.width));
      const std::size_t o = std::size_t(oy) * over.width + ox;
      const QRgb g = grey[std::size_t(y) * under.width + x];
      // The lowest values fade in, so that the background's noise does not veil the CT.
      const double t = sinora::windowPosition(over.values[o], overWindow);
      if (!(t > 0)) {
        line[x] = g | 0xff000000u;
        continue;
      }
      const double alpha = a * std::min(1.0, t / kFadeIn);
      const QRgb c = top[o];
      auto mix = [&](int s, int u) { return int(std::lround(s * (1 - alpha) + u * alpha)); };
      line[x] = qRgb(mix(qRed(g), qRed(c)), mix(qGreen(g), qGreen(c)), mix(qBlue(g), qBlue(c)));
    }
  }
  return out;
}

// ---- PictureView

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  setFocusPolicy(Qt::ClickFocus);
  setArea(256);
}

int PictureView::barWidth() const { return barColumnWidth(fontMetrics(), unitText(values_)); }

QSize PictureView::sizeHint() const {
  return {area_ + barWidth(), area_ + fontMetrics().height() + 4};
}

// The view keeps its area (a window that must be smaller sets a smaller one with setArea).
QSize PictureView::minimumSizeHint() const { return sizeHint(); }

void PictureView::setArea(int side) {
  area_ = std::max(64, side);
  setMaximumSize(area_ + barWidth(), area_ + fontMetrics().height() + 4);
  updateGeometry();
  update();
}

QRect PictureView::pictureArea() const {
  return QRect(0, 0, std::max(1, width() - barWidth()), std::max(1, height() - fontMetrics().height() - 4));
}

QRect PictureView::barRect() const {
  const QRect a = pictureArea();
  const double s = shownScale();
  const int h = values_.empty() ? a.height() : std::min(a.height(), int(std::lround(values_.height * s)));
  return QRect(a.right() + 1 + kBarGap, 0, kBar, std::max(16, h));
}

double PictureView::shownScale() const {
  if (values_.empty()) return 1;
  if (zoom_ > 0) return zoom_;
  const QRect a = pictureArea();
  const double fit = std::min(double(a.width()) / values_.width, double(a.height()) / values_.height);
  // Whole screen pixels per picture pixel when there is room for two or more, so every pixel is
  // an equal block; else the picture fills the area.
  return fit >= 2 ? std::floor(fit) : fit;
}

QPointF PictureView::origin() const { return zoom_ > 0 ? pan_ : QPointF(0, 0); }

void PictureView::setValues(const PictureValues& v) {
  const bool unitChanged = v.unit != values_.unit;
  values_ = v;
  if (ownWindow_ || unitChanged) {
    if (linked_ && link_ && link_->hasWindow() && !unitChanged) window_ = link_->window();
    else window_ = defaultWindow(values_), ownWindow_ = true;
  }
  remap();
  if (unitChanged) {
    if (maximumWidth() < QWIDGETSIZE_MAX) setArea(area_);
    updateGeometry();
  }
}

void PictureView::setPicture(const sinora::Picture& picture, sinora::Palette palette) {
  if (palette == sinora::Palette::BlackWhite && map_ == ColourMap::Ribbon) map_ = ColourMap::Grey;
  else if (palette != sinora::Palette::BlackWhite && map_ == ColourMap::Grey) map_ = ColourMap::Ribbon;
  setValues(pictureValues(picture, ValueUnit::Counts));
}

void PictureView::clear() {
  values_ = PictureValues{};
  image_ = QImage();
  under_ = PictureValues{};
  fused_ = QImage();
  caption_.clear();
  sourceStudy_.reset();
  sourceRow_ = -1;
  update();
}

void PictureView::setColourMap(ColourMap map) {
  map_ = map;
  remap();
}

void PictureView::remap() {
  image_ = colours(values_, window_, map_);
  fused_ = fusedPicture(values_, window_, map_, under_, underWindow_, opacity_);
  update();
}

void PictureView::setUnderlay(const PictureValues& under, DisplayWindow window, const QString& unit) {
  under_ = under;
  underWindow_ = sinora::validWindow(window.low, window.high);
  underUnit_ = unit;
  remap();
}

void PictureView::clearUnderlay() {
  if (under_.empty()) return;
  under_ = PictureValues{};
  remap();
}

void PictureView::setOpacity(double opacity) {
  opacity_ = std::clamp(opacity, 0.0, 1.0);
  if (!under_.empty()) remap();
}

void PictureView::changeWindow(DisplayWindow w, bool fromUser) {
  window_ = sinora::validWindow(w.low, w.high);
  ownWindow_ = false;
  remap();
  emit windowChanged(window_);
  if (fromUser && linked_ && link_) link_->setWindow(window_, this);
}

void PictureView::setWindow(DisplayWindow w) { changeWindow(w, true); }

void PictureView::resetWindow() {
  ownWindow_ = true;
  window_ = defaultWindow(values_);
  remap();
  emit windowChanged(window_);
  if (linked_ && link_) link_->setWindow(window_, this);
}

void PictureView::setLink(WindowLink* link) {
  if (link_) disconnect(link_, nullptr, this, nullptr);
  link_ = link;
  if (!link_) return;
  connect(link_, &WindowLink::windowChanged, this, [this](DisplayWindow w, QObject* from) {
    if (from != this && linked_) changeWindow(w, false);
  });
}

void PictureView::setLinked(bool on) {
  linked_ = on;
  if (!on || !link_) return;
  if (link_->hasWindow()) changeWindow(link_->window(), false);
  else link_->setWindow(window_, this);
}

void PictureView::setZoom(double zoom) {
  const double before = shownScale();
  zoom_ = zoom > 0 ? std::clamp(zoom, 0.125, 64.0) : 0;
  if (zoom_ > 0 && before > 0) pan_ = pan_ * (zoom_ / before);
  if (zoom_ == 0) pan_ = {};
  update();
}

void PictureView::setPan(QPointF pan) {
  pan_ = pan;
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
  const double s = shownScale();
  const QPointF o = origin();
  return {int(std::floor((w.x() - o.x()) / s)), int(std::floor((w.y() - o.y()) / s))};
}

QPoint PictureView::toWidget(const QPointF& p) const {
  const double s = shownScale();
  const QPointF o = origin();
  return QPoint(int((p.x() + 0.5) * s + o.x()), int((p.y() + 0.5) * s + o.y()));
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect area = pictureArea();
  p.fillRect(area, Qt::black);
  if (image_.isNull()) return;
  const double s = shownScale();
  const QPointF o = origin();
  p.save();
  p.setClipRect(area);
  p.drawImage(QRectF(o.x(), o.y(), values_.width * s, values_.height * s), fused_.isNull() ? image_ : fused_);  // nearest neighbour
  p.setPen(QPen(Qt::white, 1, Qt::DashLine));
  QRect shown = region_;
  if (gesture_ == Gesture::Mark && drag_ == Drag::Region) shown = QRect(pressAt_, dragAt_).normalized();
  if (shown.isValid() && !shown.isEmpty())
    p.drawRect(QRect(toWidget(shown.topLeft()), toWidget(shown.bottomRight())));
  QPoint a = lineA_, b = lineB_;
  if (gesture_ == Gesture::Mark && drag_ == Drag::Line) a = pressAt_, b = dragAt_;
  if (a.x() >= 0 && b.x() >= 0) {
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(toWidget(a), toWidget(b));
  }
  if (cross_.x() >= 0) {
    p.setPen(QPen(QColor(255, 255, 0), 1));
    const QPoint c = toWidget(cross_);
    p.drawLine(area.left(), c.y(), area.right(), c.y());
    p.drawLine(c.x(), area.top(), c.x(), area.bottom());
  }
  p.restore();
  const QRect bar = barRect();
  p.setPen(palette().color(QPalette::WindowText));
  drawBar(p, bar.left(), bar.top(), bar.height(), window_, map_, unitText(values_));
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QRect(0, height() - fontMetrics().height() - 2, width(), fontMetrics().height()),
             Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(readout_, Qt::ElideRight, width()));
}

void PictureView::updateReadout(const QPoint& w) {
  const QPoint ij = toPicture(w);
  QString text;
  if (!values_.empty() && pictureArea().contains(w) && ij.x() >= 0 && ij.y() >= 0 && ij.x() < values_.width &&
      ij.y() < values_.height) {
    text = QStringLiteral("(%1, %2)").arg(ij.x()).arg(ij.y());
    if (values_.pixelMm > 0)
      text += QStringLiteral("  %1, %2 mm")
                  .arg((ij.x() + 0.5 - values_.width / 2.0) * values_.pixelMm, 0, 'f', 1)
                  .arg((ij.y() + 0.5 - values_.height / 2.0) * values_.pixelMm, 0, 'f', 1);
    text += QStringLiteral("  %1 %2").arg(QString::number(values_.at(ij.x(), ij.y()), 'g', 6), unitText(values_));
    if (!under_.empty()) {
      // The picture under it at the cursor itself (it may be finer).
      const double s = shownScale();
      const QPointF o = origin();
      const int ux = std::clamp(int(std::floor((w.x() - o.x()) / s * under_.width / values_.width)), 0, under_.width - 1);
      const int uy = std::clamp(int(std::floor((w.y() - o.y()) / s * under_.height / values_.height)), 0, under_.height - 1);
      text += QStringLiteral("  (%1 %2)").arg(QString::number(under_.at(ux, uy), 'g', 4), underUnit_);
    }
  }
  if (text != readout_) {
    readout_ = text;
    update();
  }
}

void PictureView::mousePressEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  pressWidget_ = at;
  pressWindow_ = window_;
  pressPan_ = pan_;
  if (e->button() == Qt::MiddleButton || (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ControlModifier))) {
    if (zoom_ == 0) zoom_ = shownScale();
    pressPan_ = pan_;
    gesture_ = Gesture::Pan;
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  const QRect bar = barRect().adjusted(-2, -4, 2, 4);
  if (bar.contains(at) && !values_.empty()) {
    gesture_ = Gesture::Bar;
    const double f = double(at.y() - bar.top()) / std::max(1, bar.height());
    barPart_ = f < 1.0 / 3 ? 1 : f > 2.0 / 3 ? -1 : 0;
    return;
  }
  if (e->modifiers() & Qt::ShiftModifier) {
    gesture_ = Gesture::WindowLevel;
    return;
  }
  if (!pictureArea().contains(at)) return;
  pressAt_ = dragAt_ = toPicture(at);
  gesture_ = drag_ == Drag::Point ? Gesture::None : Gesture::Mark;
  if (drag_ == Drag::Point) {
    gesture_ = Gesture::Mark;
    emit pointChosen(pressAt_);
  }
}

void PictureView::mouseMoveEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  updateReadout(at);
  const QPoint d = at - pressWidget_;
  const double width = pressWindow_.high - pressWindow_.low;
  switch (gesture_) {
    case Gesture::Pan:
      setPan(pressPan_ + QPointF(d));
      return;
    case Gesture::WindowLevel: {
      // Right widens, up raises: the whole window's width per 256 pixels.
      const double centre = (pressWindow_.low + pressWindow_.high) / 2 - d.y() * width / 256;
      const double w = std::max(width * 1e-6, width * std::pow(2.0, d.x() / 128.0));
      changeWindow({centre - w / 2, centre + w / 2}, true);
      return;
    }
    case Gesture::Bar: {
      const double step = -d.y() * width / std::max(1, barRect().height());
      DisplayWindow w = pressWindow_;
      if (barPart_ >= 0) w.high += step;
      if (barPart_ <= 0) w.low += step;
      if (w.high > w.low) changeWindow(w, true);
      return;
    }
    case Gesture::Mark:
      if (drag_ == Drag::Point) {
        const QPoint p = toPicture(at);
        if (p != pressAt_) emit pointChosen(pressAt_ = p);
        return;
      }
      dragAt_ = toPicture(at);
      update();
      return;
    case Gesture::None:
      return;
  }
}

void PictureView::mouseReleaseEvent(QMouseEvent* e) {
  const Gesture g = gesture_;
  gesture_ = Gesture::None;
  if (g != Gesture::Mark || e->button() != Qt::LeftButton || drag_ == Drag::Point) return;
  dragAt_ = toPicture(e->position().toPoint());
  if (drag_ == Drag::Region) {
    const QRect r = QRect(pressAt_, dragAt_).normalized().intersected(QRect(0, 0, values_.width, values_.height));
    region_ = r;
    if (!r.isEmpty()) emit regionChosen(r);
  } else {
    lineA_ = pressAt_;
    lineB_ = dragAt_;
    emit lineChosen(lineA_, lineB_);
  }
  update();
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (barRect().adjusted(-2, -4, 2, 4).contains(e->position().toPoint())) {
    resetWindow();
    return;
  }
  QWidget::mouseDoubleClickEvent(e);
}

void PictureView::wheelEvent(QWheelEvent* e) {
  if (values_.empty() || e->angleDelta().y() == 0) return;
  const double before = shownScale();
  const double after = std::clamp(e->angleDelta().y() > 0 ? before * 2 : before / 2, 0.125, 64.0);
  // The picture point under the cursor stays under it.
  const QPointF at = e->position();
  const QPointF o = origin();
  const QPointF p = (at - o) / before;
  zoom_ = after;
  pan_ = at - p * after;
  update();
  e->accept();
}

void PictureView::leaveEvent(QEvent*) {
  readout_.clear();
  update();
}

bool PictureView::savePng(const QString& path, int scale) const {
  if (image_.isNull()) return false;
  scale = std::clamp(scale, 1, 8);
  return sinora::writePngSafely(path, image_.scaled(image_.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation),
                                nullptr);
}

bool PictureView::saveCsv(const QString& path) const {
  QString error;
  return writeTextFile(path, valuesCsv(values_), &error);
}

PictureFigure PictureView::figure() const {
  PictureFigure f;
  f.image = fused_.isNull() ? image_ : fused_;
  f.caption = caption_;
  f.unit = unitText(values_);
  f.window = window_;
  f.map = map_;
  return f;
}

QString PictureView::figureName() const { return QStringLiteral("picture"); }

void PictureView::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  QAction* keep = menu.addAction(T("比較に追加"));
  keep->setEnabled(!values_.empty());
  menu.addSeparator();
  QMenu* zoom = menu.addMenu(T("拡大"));
  QAction* fit = zoom->addAction(T("全体を表示"));
  QAction* zooms[3] = {zoom->addAction(QStringLiteral("1x")), zoom->addAction(QStringLiteral("2x")),
                       zoom->addAction(QStringLiteral("4x"))};
  QMenu* maps = menu.addMenu(T("カラーマップ"));
  const std::pair<ColourMap, QString> mapNames[] = {{ColourMap::Ribbon, QStringLiteral("Ribbon")},
                                                    {ColourMap::Grey, T("グレー")},
                                                    {ColourMap::Viridis, QStringLiteral("Viridis")},
                                                    {ColourMap::InvertedGrey, T("反転グレー")}};
  auto* mapGroup = new QActionGroup(&menu);
  for (const auto& [m, name] : mapNames) {
    QAction* a = maps->addAction(name);
    a->setCheckable(true);
    a->setChecked(m == map_);
    a->setData(int(m));
    mapGroup->addAction(a);
  }
  QAction* link = menu.addAction(T("表示窓を連動"));
  link->setCheckable(true);
  link->setChecked(linked_);
  link->setEnabled(link_ != nullptr);
  QAction* reset = menu.addAction(T("表示窓を戻す"));
  menu.addSeparator();
  QAction* asFigure = menu.addAction(T("図として書き出す..."));
  QAction* asPng = menu.addAction(T("PNG で保存..."));
  QAction* asCsv = menu.addAction(T("値を CSV で保存..."));
  QAction* toClipboard = menu.addAction(T("クリップボードにコピー"));
  for (QAction* a : menu.actions())
    if (a != keep && a != link && !a->menu() && !a->isSeparator()) a->setEnabled(!values_.empty());
  QAction* chosen = menu.exec(e->globalPos());
  if (!chosen) return;
  if (chosen == keep) {
    ComparisonBoard::keepPicture(*this);
  } else if (chosen == fit) {
    setZoom(0);
  } else if (chosen == zooms[0] || chosen == zooms[1] || chosen == zooms[2]) {
    setZoom(chosen == zooms[0] ? 1 : chosen == zooms[1] ? 2 : 4);
  } else if (chosen->actionGroup() == mapGroup) {
    setColourMap(ColourMap(chosen->data().toInt()));
  } else if (chosen == link) {
    setLinked(chosen->isChecked());
  } else if (chosen == reset) {
    resetWindow();
  } else if (chosen == asFigure) {
    askAndExportFigure(this, figure());
  } else if (chosen == toClipboard) {
    QApplication::clipboard()->setImage(figureImage(figure(), 2));
  } else if (chosen == asPng || chosen == asCsv) {
    const bool image = chosen == asPng;
    const QString path = QFileDialog::getSaveFileName(this, chosen->text(), QString(),
                                                      image ? QStringLiteral("PNG (*.png)") : QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) return;
    if (!(image ? savePng(path) : saveCsv(path)))
      QMessageBox::warning(this, QStringLiteral("Sinora"), T("%1 に書けません（%2）。").arg(path, sinora::lastWriteError()));
  }
}

// ---- PlotView

PlotView::PlotView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setRenderHint(QPainter::Antialiasing);
  useLineLegend(chart);
}

QByteArray PlotView::csv() const {
  QByteArray out = "curve,x,y\n";
  for (QAbstractSeries* s : chart()->series())
    if (auto* line = qobject_cast<QXYSeries*>(s))
      for (const QPointF& p : line->points())
        out += line->name().toUtf8() + ',' + QByteArray::number(p.x(), 'g', 17) + ',' +
               QByteArray::number(p.y(), 'g', 17) + '\n';
  return out;
}

QSize PlotView::figureSize() const { return size().expandedTo(QSize(480, 320)); }

void PlotView::paintFigure(QPainter& p, bool) const {
  // The chart is laid out at the figure's size itself, so texts and lines stay sharp at any scale.
  auto* self = const_cast<PlotView*>(this);
  const QSize s = figureSize();
  const QRectF before = chart()->geometry();
  self->chart()->setGeometry(QRectF(QPointF(0, 0), QSizeF(s)));
  if (QGraphicsLayout* layout = self->chart()->layout()) layout->activate();
  p.fillRect(QRect(QPoint(0, 0), s), Qt::white);
  self->scene()->render(&p, QRectF(0, 0, s.width(), s.height()), QRectF(QPointF(0, 0), QSizeF(s)));
  self->chart()->setGeometry(before);
  if (QGraphicsLayout* layout = self->chart()->layout()) layout->activate();
}

bool PlotView::savePng(const QString& path, int scale) {
  FigureOptions o;
  o.scale = scale;
  QString error;
  return exportFigure(*this, path, o, &error);
}

bool PlotView::saveCsv(const QString& path) const {
  QString error;
  return writeTextFile(path, csv(), &error);
}

void PlotView::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  QAction* asFigure = menu.addAction(T("図として書き出す..."));
  QAction* asCsv = menu.addAction(T("値を CSV で保存..."));
  QAction* toClipboard = menu.addAction(T("クリップボードにコピー"));
  QAction* chosen = menu.exec(e->globalPos());
  if (chosen == asFigure) {
    askAndExportFigure(this, *this);
  } else if (chosen == toClipboard) {
    QApplication::clipboard()->setImage(figureImage(*this, 2));
  } else if (chosen == asCsv) {
    const QString path = QFileDialog::getSaveFileName(this, chosen->text(), QString(), QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty() && !saveCsv(path))
      QMessageBox::warning(this, QStringLiteral("Sinora"), T("%1 に書けません（%2）。").arg(path, sinora::lastWriteError()));
  }
}

QColor methodColour(const QString& method) {
  // Okabe and Ito's colours, which stay apart for colour-blind eyes too.
  static const QColor palette[] = {QColor(0, 114, 178),  QColor(213, 94, 0),   QColor(0, 158, 115),
                                   QColor(204, 121, 167), QColor(230, 159, 0), QColor(86, 180, 233),
                                   QColor(0, 0, 0),       QColor(240, 228, 66), QColor(128, 128, 128)};
  // MLEM and OSEM are one method's two forms; "FBP × π/V" is FBP.
  if (method.startsWith(QLatin1String("OSEM")) || method.startsWith(QLatin1String("MLEM"))) return palette[0];
  if (method.startsWith(QLatin1String("FBP"))) return palette[1];
  const std::size_t h = std::hash<std::string>{}(method.toStdString());
  return palette[3 + h % 6];
}

void styleSeries(QAbstractSeries* series, const QColor& colour, bool dashed, qreal width) {
  if (auto* s = qobject_cast<QXYSeries*>(series)) {
    QPen pen(colour, width, dashed ? Qt::DashLine : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    s->setPen(pen);
  }
}

void useLineLegend(QChart* chart) {
  // The legend draws each curve's own line, so dashed curves look dashed there too.
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
}

void setIterationTicks(QChart* chart, int last) {
  auto* ax = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
  if (!ax) return;
  last = std::max(2, last);
  const int step = std::max(1, int(std::ceil(double(last - 1) / 8)));
  ax->setRange(1, last);
  ax->setTickType(QValueAxis::TicksDynamic);
  ax->setTickAnchor(1);
  ax->setTickInterval(step);
  ax->setLabelFormat(QStringLiteral("%d"));
}

void setScrollingContent(QWidget* window, QWidget* content, QLayout* below) {
  auto* scroll = new QScrollArea;
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* outer = new QVBoxLayout(window);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll, 1);
  QSize wanted = content->sizeHint() + QSize(4, 4);
  if (below) {
    const QMargins m = content->layout() ? content->layout()->contentsMargins() : QMargins(9, 9, 9, 9);
    below->setContentsMargins(m.left(), 0, m.right(), m.bottom());
    outer->addLayout(below);
    wanted.rheight() += below->sizeHint().height();
    wanted.rwidth() = std::max(wanted.width(), below->sizeHint().width());
  }
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

QString studyCaption(const QString& documentTitle, const sinora::ProjectionStudy& study) {
  const sinora::PhantomInfo* phantom = sinora::phantomInfo(study);
  if (!phantom) return documentTitle;
  if (phantom->settings.noiseFree) return T("%1（ノイズなし）").arg(documentTitle);
  const double counts = phantom->settings.counts;
  const double decade = std::round(std::log10(counts));
  const QString level = std::fabs(counts - std::pow(10.0, decade)) <= 1e-9 * counts
                            ? QStringLiteral("10^%1").arg(int(decade))
                            : QLocale::c().toString(counts, 'g', 3);
  return T("%1（%2 カウント）").arg(documentTitle, level);
}


namespace {
// Asks its layout for every line its text wraps to at its width (never fewer than two, so that the
// pictures below stay put while a short caption grows): a fixed two-line height, or the height
// for a wider column, cut the first line of a three-line caption.
class CaptionLabel : public QLabel {
 public:
  CaptionLabel(const QString& text, int width) : QLabel(text), width_(width) {}
  QSize minimumSizeHint() const override { return withHeight(QLabel::minimumSizeHint()); }
  QSize sizeHint() const override { return withHeight(QLabel::sizeHint()); }
  // A grid asks at its column's width, which the picture's colour bar makes wider than the
  // caption may be: the text wraps at the caption's own width.
  int heightForWidth(int w) const override {
    return std::max(twoLines(), QLabel::heightForWidth(std::min(w, width_)));
  }

 private:
  int twoLines() const { return 2 * fontMetrics().lineSpacing() + contentsMargins().top() + contentsMargins().bottom(); }
  QSize withHeight(QSize s) const {
    s.setHeight(heightForWidth(width_));
    return s;
  }
  int width_;
};
}  // namespace

QLabel* pictureCaption(const QString& text, int width) {
  auto* l = new CaptionLabel(text, width);
  l->setWordWrap(true);
  l->setMaximumWidth(width);
  l->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  return l;
}
