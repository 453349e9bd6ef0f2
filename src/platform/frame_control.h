// The static black frame that shows a picture. It keeps what was last painted into it until
// something paints it again (covering the window loses nothing), and lets mouse clicks through to
// the window beneath, which decides what a click means.
#pragma once

#include <QImage>
#include <QWidget>

namespace sinora {

class FrameControl : public QWidget {
  Q_OBJECT
 public:
  explicit FrameControl(QWidget* parent = nullptr);

  // Paints `picture` with its top left at (0, 0) of the client area, over what was there.
  void paintPicture(const QImage& picture);
  // Fills the whole client area.
  void fill(const QColor& colour);
  // Direct drawing: the canvas is the client area; call update() after drawing.
  QImage& canvas() {
    fitCanvas();
    return canvas_;
  }
  const QImage& canvas() const { return canvas_; }
  // The pixel at (x, y) as shown: the frame's own black edge where nothing was painted over it.
  QRgb shownPixel(int x, int y) const;
  bool hasPicture() const { return painted_ > 0; }
  // How many pictures have been painted (for tests and counters).
  int paintCount() const { return painted_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fitCanvas();  // the canvas follows the control's size, keeping what it shows

  QImage canvas_;
  int painted_ = 0;
};

}  // namespace sinora
