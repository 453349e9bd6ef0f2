#include "view/SinoraView.h"

#include "imaging/scatter.h"

#include <QEvent>

#include <QLabel>
#include <QLocale>

#include <cmath>
#include <QLayout>
#include <QMainWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "doc/SinoraDoc.h"
#include "platform/tr.h"
#include "imaging/sample_study.h"
#include "imaging/title_picture.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "windows/Dialog1.h"
#include "windows/Dialog2.h"
#include "windows/Figure.h"
#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"

namespace {

QPixmap titlePixmap() {
  static const std::vector<std::uint32_t> pixels = sinora::titlePicture(*sinora::sampleStudy());
  const QImage image(reinterpret_cast<const uchar*>(pixels.data()), sinora::kTitlePictureWidth,
                     sinora::kTitlePictureHeight, sinora::kTitlePictureWidth * 4,
                     QImage::Format_RGB32);
  return QPixmap::fromImage(image);
}

}  // namespace

CSinoraView::CSinoraView(CSinoraDoc* doc, QWidget* parent)
    : QScrollArea(parent), doc_(doc), form_(new QWidget) {
  controls_ = sinora::buildDialog(form_, sinora::res::titleFormTemplate());
  // One line on the loaded study, under the title panel.
  studyLine_ = new QLabel(form_);
  studyLine_->setObjectName(QStringLiteral("studyLine"));
  studyLine_->setGeometry(8, form_->height(), form_->width() - 16, 18);
  studyLine_->setAlignment(Qt::AlignCenter);
  form_->setFixedSize(form_->width(), form_->height() + 22);
  updateStudyLine();
  connect(doc_, &CSinoraDoc::titleChanged, this, &CSinoraView::updateStudyLine);
  form_->setMinimumSize(form_->size());
  if (auto* picture = controls_.get<QLabel>(sinora::res::IDB_TITLE_PICTURE)) {
    picture->setPixmap(titlePixmap());
    picture->resize(sinora::kTitlePictureWidth, sinora::kTitlePictureHeight);
  }
  setWidget(form_);
  setFrameShape(QFrame::StyledPanel);  // the form's thin border
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (auto* frame = qobject_cast<QMainWindow*>(parent)) {
    using namespace sinora::res;
    auto connectCommand = [&](int id, void (CSinoraView::*slot)()) {
      for (QAction* a : frame->actions())
        if (a->data().toInt() == id) connect(a, &QAction::triggered, this, slot);
    };
    connectCommand(ID_IMAGE_DISPLAY, &CSinoraView::OnImageDisplay);
    connectCommand(ID_BASIC, &CSinoraView::OnBasic);
    connectCommand(ID_ITERATIVE, &CSinoraView::OnIterative);
    connectCommand(ID_FILTER_ANALYSIS, &CSinoraView::OnFilterAnalysis);
    connectCommand(ID_FILE_PRINT, &CSinoraView::OnFilePrint);
    connectCommand(ID_FILE_PRINT_PREVIEW, &CSinoraView::OnFilePrintPreview);
  }
}

namespace {
QString withThousands(std::uint64_t n) {
  QString s = QString::number(n);
  for (int i = int(s.size()) - 3; i > 0; i -= 3) s.insert(i, QLatin1Char(','));
  return s;
}
}  // namespace

QString CSinoraView::studySummary(const sinora::ProjectionStudy& s) {
  const sinora::StudyGeometry& g = s.geometry();
  const QString format = g.format.empty() ? sinora::T("プロジェクションデータ")
                                          : sinora::T(g.format.c_str());
  double arc = 0;
  if (s.views() > 1) {
    const double step = std::fabs(s.angleDegrees(1) - s.angleDegrees(0));
    arc = std::min(360.0, std::round(std::min(step, 360 - step) * s.views() * 100) / 100);
  }
  const QString pixel = g.pixelSizeMm > 0 ? QStringLiteral("%1 mm").arg(g.pixelSizeMm)
                                          : sinora::T("画素サイズ不明");
  return sinora::T("%1: %2 ビュー / %3°, %4 x %5, %6, 総カウント %7")
      .arg(format)
      .arg(s.views())
      .arg(arc)
      .arg(s.bins())
      .arg(s.rows())
      .arg(pixel)
      .arg(withThousands(s.totalCounts()))
      // The energy window the study's counts are, as the file names it.
      + (sinora::currentEnergyWindow(s)
             ? QStringLiteral(", ") + QString::fromStdString(sinora::windowLabel(*sinora::currentEnergyWindow(s)))
             : QString());
}

void CSinoraView::updateStudyLine() {
  studyLine_->setText(studySummary(*doc_->ProjectionStudy()));
}

void CSinoraView::changeEvent(QEvent* event) {
  QScrollArea::changeEvent(event);
  if (event->type() != QEvent::LanguageChange) return;
  sinora::retranslateDialog(form_, sinora::res::titleFormTemplate(), controls_);
  updateStudyLine();
}

void CSinoraView::OnInitialUpdate() {
  auto* frame = qobject_cast<QMainWindow*>(window());
  if (!frame) return;
  frame->layout()->activate();
  // The view's own size, not its viewport's: scroll bars shown while the frame is too big or
  // too small must not count.
  const int edge = 2 * frameWidth();
  const QSize needed = frame->size() - size() + form_->size() + QSize(edge, edge);
  const QSize shrunk = frame->size().boundedTo(needed);
  if (shrunk != frame->size()) frame->resize(shrunk);
}

void CSinoraView::OnImageDisplay() {
  CDialog1 dialog(doc_);
  dialog.exec();
}

// The windows under 応用 are modeless: several stand open with the main window, each keeping its
// results until it is closed.
void CSinoraView::OnIterative() {
  auto* w = new IterativeWindow(doc_, window());
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->show();
}

void CSinoraView::OnFilterAnalysis() {
  auto* w = new FilterAnalysisWindow(doc_, window());
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->show();
}

void CSinoraView::OnBasic() {
  CDialog2 dialog;
  dialog.exec();
}

void CSinoraView::OnPrint(QPrinter* printer) {
  QPainter painter(printer);  // begins and ends one empty page
}

QPrinter* CSinoraView::printer() {
  if (!printer_) {
    ownPrinter_ = std::make_unique<QPrinter>();
    printer_ = ownPrinter_.get();
  }
  return printer_;
}

void CSinoraView::OnFilePrint() {
  // A window beyond the described ones (or the comparison board) prints its figure.
  if (const auto figure = figureForPrint(window())) {
    printFigureWithDialog(this, *figure, printer(), false);
    return;
  }
  QPrintDialog dialog(printer(), this);
  if (dialog.exec() == QDialog::Accepted) OnPrint(printer());
}

void CSinoraView::OnFilePrintPreview() {
  if (const auto figure = figureForPrint(window())) {
    printFigureWithDialog(this, *figure, printer(), true);
    return;
  }
  QPrintPreviewDialog preview(printer(), this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, &CSinoraView::OnPrint);
  preview.exec();
}
