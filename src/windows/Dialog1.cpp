#include "windows/Dialog1.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include "doc/SinoraDoc.h"
#include "imaging/reconstruction.h"
#include "imaging/slices.h"
#include "platform/frame_control.h"
#include "platform/number.h"
#include "res/dialogs.h"
#include "res/resource.h"

using namespace sinora::res;

CDialog1::CDialog1(CSinoraDoc* doc, QWidget* parent)
    : TemplateDialog(reconWindowTemplate(), parent), doc_(doc) {
  m_title = controls().get<QLabel>(IDC_RECON_TITLE);
  colourTitleBand(IDC_RECON_TITLE);
  onClicked(IDC_NEXT_ANGLE, this, &CDialog1::OnButton1);
  onClicked(IDC_PREV_ANGLE, this, &CDialog1::OnButton2);
  onClicked(IDC_SMOOTHING, this, &CDialog1::OnButton3);
  onClicked(IDC_SHOW_RECON, this, &CDialog1::OnButton4);
  onClicked(IDOK, static_cast<QDialog*>(this), &QDialog::accept);
  onClicked(IDCANCEL, static_cast<QDialog*>(this), &QDialog::reject);

  // OnInitDialog: range 0..100, position 50.
  scroll_ = controls().get<QScrollBar>(IDC_DENSITY_SCROLL);
  scroll_->setRange(0, 100);
  scroll_->setValue(50);
  scroll_->setSingleStep(1);
  scroll_->setPageStep(10);
  scroll_->setInvertedControls(false);  // the Left key steps left
  scroll_->setTracking(false);  // a dragged thumb does not move the position until released
  connect(scroll_, &QScrollBar::actionTriggered, this, &CDialog1::OnScrollAction);
  connect(scroll_, &QScrollBar::sliderMoved, this, [this] { OnHScroll(SB_THUMBTRACK); });
  scroll_->installEventFilter(this);
}

// Qt's scroll-bar actions as the scroll codes of the density handler. The action has already
// moved the slider position; value() is still the bar's position before it.
void CDialog1::OnScrollAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: OnHScroll(SB_LINELEFT); break;
    case QAbstractSlider::SliderSingleStepAdd: OnHScroll(SB_LINERIGHT); break;
    case QAbstractSlider::SliderPageStepSub: OnHScroll(SB_PAGELEFT); break;
    case QAbstractSlider::SliderPageStepAdd: OnHScroll(SB_PAGERIGHT); break;
    case QAbstractSlider::SliderToMinimum: OnHScroll(SB_LEFT); break;
    case QAbstractSlider::SliderToMaximum: OnHScroll(SB_RIGHT); break;
    case QAbstractSlider::SliderMove: OnHScroll(SB_THUMBPOSITION); break;
    default: break;
  }
}

// The end of a click or key press on the bar is its own scroll message.
bool CDialog1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroll_ && event->type() == QEvent::KeyPress) {
    // Page Up steps left and Page Down right, as on a scroll-bar control (Qt has them reversed).
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      scroll_->triggerAction(key == Qt::Key_PageUp ? QAbstractSlider::SliderPageStepSub
                                                   : QAbstractSlider::SliderPageStepAdd);
      return true;
    }
  }
  if (watched == scroll_ && event->type() == QEvent::MouseButtonRelease) {
    static_cast<QObject*>(scroll_)->event(event);  // let the bar finish the click first
    OnHScroll(SB_ENDSCROLL);
    return true;
  }
  if (watched == scroll_ && event->type() == QEvent::KeyRelease) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!key->isAutoRepeat()) {
      switch (key->key()) {
        case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
        case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
          OnHScroll(SB_ENDSCROLL);
          break;
        default:
          break;
      }
    }
  }
  return TemplateDialog::eventFilter(watched, event);
}

void CDialog1::OnHScroll(int code) {
  int target = 0;
  for (int id : {IDC_DENSITY_PROJ, IDC_DENSITY_BP, IDC_DENSITY_FBP, IDC_DENSITY_PRE_FBP})
    if (isChecked(id)) {
      target = id;
      break;
    }
  if (target == 0) {
    // Nothing to adjust: the bar does not move by itself either.
    if (!scroll_->isSliderDown()) scroll_->setValue(scroll_->value());
    return;
  }
  densityOffset = scroll_->value();
  const int small = target == IDC_DENSITY_PROJ ? 2 : 4;
  const int large = target == IDC_DENSITY_PROJ ? 10 : 20;
  if (code == SB_LINELEFT) densityOffset -= small;
  if (code == SB_PAGELEFT) densityOffset -= large;
  if (densityOffset < 0) densityOffset = 0;
  if (code == SB_LINERIGHT) densityOffset += small;
  if (code == SB_PAGERIGHT) densityOffset += large;
  if (densityOffset > 255) densityOffset = 255;
  // While the thumb is dragged it stays under the mouse; it returns when released.
  if (!(code == SB_THUMBTRACK && scroll_->isSliderDown())) scroll_->setValue(densityOffset);
  switch (target) {
    case IDC_DENSITY_PROJ:
      gazouhyouji(angleIndex);
      sumgazouhyouji(angleIndex);
      break;
    case IDC_DENSITY_BP: backprojection(sliceLine); break;
    case IDC_DENSITY_FBP: reconprojection(sliceLine); break;
    case IDC_DENSITY_PRE_FBP: sumreconprojection(sliceLine); break;
  }
}

int CDialog1::views() const { return doc_->ProjectionStudy()->views(); }

void CDialog1::OnButton1() {
  angleIndex = (angleIndex + 1) % views();
  gazouhyouji(angleIndex);
  sumgazouhyouji(angleIndex);
}

void CDialog1::OnButton2() {
  angleIndex = (angleIndex + views() - 1) % views();
  gazouhyouji(angleIndex);
  sumgazouhyouji(angleIndex);
}

void CDialog1::OnButton3() {
  sumgazouhyouji(0);
  gazouhyouji(0);
}

void CDialog1::OnButton4() {
  backprojection(sliceLine);
  reconprojection(sliceLine);
  sumreconprojection(sliceLine);
}

void CDialog1::OnPaint() { gazouhyouji(0); }

void CDialog1::showEvent(QShowEvent* event) {
  TemplateDialog::showEvent(event);
  if (!firstShown_) {
    firstShown_ = true;
    OnPaint();  // the frames keep their pictures afterwards: no later repaint redraws them
  }
}

void CDialog1::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) OnLButtonDown(event->position().toPoint());
  TemplateDialog::mousePressEvent(event);
}

void CDialog1::OnLButtonDown(const QPoint& point) {
  sinora::FrameControl* f = frame(IDC_PREFILTER_IMAGE);
  const int y = point.y() - f->y();
  // The row under the cursor, in the study's own rows (the frame may show it zoomed or shrunk).
  const sinora::StudyPtr study = doc_->ProjectionStudy();
  const sinora::FrameFit fit = sinora::frameFit(study->bins(), study->rows());
  sliceLine = study->isClassic() || y < 0 ? y : y / fit.zoom * fit.shrink;
  if (y > 0 && y < 128) {
    // A one-pixel black line from x = 0 up to, not including, x = 120.
    QPainter p(&f->canvas());
    p.setPen(QPen(Qt::black, 0));
    p.drawLine(0, y, 119, y);
    p.end();
    f->update();
  }
}

sinora::Palette CDialog1::palette() const {
  if (isChecked(IDC_RIBBON)) return sinora::Palette::Ribbon;
  if (isChecked(IDC_BLACKWHITE)) return sinora::Palette::BlackWhite;
  return sinora::Palette::Neither;
}

sinora::ReconFilter CDialog1::filter() const {
  if (isChecked(IDC_RAMP)) return sinora::ReconFilter::Ramp;
  if (isChecked(IDC_SHEPP_LOGAN)) return sinora::ReconFilter::SheppLogan;
  return sinora::ReconFilter::None;
}

void CDialog1::paint(int frameId, const sinora::Picture& picture) {
  const sinora::RgbImage rgb = sinora::fitToFrame(picture, palette());
  frame(frameId)->paintPicture(sinora::toQImage(rgb.data(), sinora::kSize, sinora::kSize));
}

void CDialog1::gazouhyouji(int a) {
  const sinora::StudyPtr study = doc_->ProjectionStudy();
  paint(IDC_PROJ_IMAGE, sinora::projectionPicture(*study, a, densityOffset));
}

void CDialog1::sumgazouhyouji(int a) {
  const sinora::BwParameters bw =
      sinora::checkedBwParameters(sinora::readNumber(windowText(IDC_BW_ORDER).toStdString()),
                                  sinora::readNumber(windowText(IDC_BW_CUTOFF).toStdString()));
  bwOrder = bw.order;
  bwCutoff = bw.cutoff;
  const sinora::StudyPtr study = doc_->ProjectionStudy();
  paint(IDC_PREFILTER_IMAGE, sinora::smoothedPicture(*study, a, bw, densityOffset));
}

void CDialog1::backprojection(int slice_line) {
  const sinora::StudyPtr study = doc_->ProjectionStudy();
  paint(IDC_BP_IMAGE, sinora::backprojectionPicture(*study, slice_line, densityOffset));
}

void CDialog1::reconprojection(int slice_line) {
  const sinora::StudyPtr study = doc_->ProjectionStudy();
  paint(IDC_FBP_IMAGE, sinora::filteredPicture(*study, slice_line, filter(), densityOffset));
}

void CDialog1::sumreconprojection(int slice_line) {
  const sinora::StudyPtr study = doc_->ProjectionStudy();
  paint(IDC_PRE_FBP_IMAGE, sinora::prefilteredPicture(*study, slice_line, filter(),
                                                      {bwOrder, bwCutoff}, densityOffset));
}
