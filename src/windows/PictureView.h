// PictureView: a picture of the imaging core shown at twice its frame size (128 x 128 fitted,
// drawn 256 x 256 without smoothing), on which the student drags a region or a line, or clicks a
// point. Positions are reported in the picture's own pixels. Its context menu saves the picture
// as PNG, its values as CSV, or copies it to the clipboard.
#pragma once

#include <QChartView>
#include <QImage>

#include <functional>
#include <vector>
#include <QWidget>

#include "imaging/slices.h"

class PictureView : public QWidget {
  Q_OBJECT
 public:
  enum class Drag { Region, Line, Point };
  explicit PictureView(QWidget* parent = nullptr);

  void setPicture(const sinora::Picture& picture, sinora::Palette palette);
  const sinora::Picture& picture() const { return picture_; }
  QImage shownImage() const { return image_; }  // 128 x 128 as the frame shows it
  void setDrag(Drag d) { drag_ = d; }
  void setRegion(const QRect& r);
  void setLine(const QPoint& a, const QPoint& b);
  void setCrosshair(const QPoint& p);  // (-1, -1): none
  QRect region() const { return region_; }
  // The picture pixel under a point of the widget (may lie outside the picture).
  QPoint toPicture(const QPoint& widgetPoint) const;

  bool savePng(const QString& path) const;
  bool saveCsv(const QString& path) const;

 signals:
  void regionChosen(const QRect& pictureRect);
  void lineChosen(const QPoint& a, const QPoint& b);
  void pointChosen(const QPoint& p);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void contextMenuEvent(QContextMenuEvent*) override;

 private:
  QPoint toWidget(const QPointF& picturePoint) const;
  sinora::Picture picture_;
  QImage image_;
  Drag drag_ = Drag::Region;
  QPoint pressAt_{-1, -1}, dragAt_{-1, -1};
  QRect region_;
  QPoint lineA_{-1, -1}, lineB_{-1, -1}, cross_{-1, -1};
  bool dragging_ = false;
};

// A plot whose context menu saves it as PNG, its curves as CSV (name, x, y per line), or copies it.
class PlotView : public QChartView {
  Q_OBJECT
 public:
  explicit PlotView(QChart* chart, QWidget* parent = nullptr);
  QByteArray csv() const;
  bool savePng(const QString& path);
  bool saveCsv(const QString& path) const;

 protected:
  void contextMenuEvent(QContextMenuEvent*) override;
};

// The context menu of a picture or a plot: save as PNG, values as CSV (through Qt's file dialog;
// a failure is said in a message box), or copy to the clipboard.
void offerSaveMenu(QWidget* owner, const QPoint& globalPos, const std::function<bool(const QString&)>& png,
                   const std::function<bool(const QString&)>& csv, const std::function<void()>& copy);

// Puts a window's content in a scroll area filling it, and sizes the window to the content or to
// the screen, whichever is smaller: on a small or scaled screen it still fits and scrolls.
void setScrollingContent(QWidget* window, QWidget* content);

// Values of a slice [i * B + j] along a line of picture pixels (x = i, y = j), one sample per
// pixel of its length: (distance, value).
std::vector<QPointF> profileAlong(const std::vector<double>& slice, int bins, QPoint a, QPoint b);

// Writes text to a file whole (through a temporary file); false with nothing changed on failure.
bool writeTextFile(const QString& path, const QByteArray& text, QString* error);
