// CDialog1: the reconstruction window (dialog 130). Browse the projections, smooth them, pick a
// slice on the smoothed projection and reconstruct it three ways. Each image routine reads the
// controls it needs, asks the imaging core for its image and paints it into its frame.
#pragma once

#include "imaging/display.h"
#include "imaging/filters.h"
#include "imaging/slices.h"
#include "platform/template_dialog.h"

class QLabel;
class QScrollBar;
class CSinoraDoc;

class CDialog1 : public sinora::TemplateDialog {
  Q_OBJECT
 public:
  // Scroll codes of the density bar.
  enum ScrollCode {
    SB_LINELEFT = 0,
    SB_LINERIGHT = 1,
    SB_PAGELEFT = 2,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_LEFT = 6,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
  };

  explicit CDialog1(CSinoraDoc* doc, QWidget* parent = nullptr);

  QLabel* m_title = nullptr;
  int densityOffset = 7;
  int angleIndex = 0;
  double bwCutoff = 1.0;
  double bwOrder = 1.0;
  int sliceLine = 60;

  void gazouhyouji(int a);
  void sumgazouhyouji(int a);
  void backprojection(int slice_line);
  void reconprojection(int slice_line);
  void sumreconprojection(int slice_line);

  QScrollBar* densityScrollBar() const { return scroll_; }

 public slots:
  void OnButton1();  // "→"
  void OnButton2();  // "←"
  void OnButton3();  // "スムージング"
  void OnButton4();  // "再構成画像表示"
  void OnHScroll(int code);
  void OnPaint();

 protected:
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnLButtonDown(const QPoint& point);
  void OnScrollAction(int action);
  sinora::Palette palette() const;
  sinora::ReconFilter filter() const;
  void paint(int frameId, const sinora::Picture& picture);
  int views() const;

  CSinoraDoc* doc_;
  QScrollBar* scroll_ = nullptr;
  bool firstShown_ = false;
};
