#include "view/SinoraView.h"

#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "doc/SinoraDoc.h"
#include "imaging/sample_study.h"
#include "imaging/title_picture.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "windows/Dialog1.h"
#include "windows/Dialog2.h"

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
    connectCommand(ID_FILE_PRINT, &CSinoraView::OnFilePrint);
    connectCommand(ID_FILE_PRINT_PREVIEW, &CSinoraView::OnFilePrintPreview);
  }
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
  QPrintDialog dialog(printer(), this);
  if (dialog.exec() == QDialog::Accepted) OnPrint(printer());
}

void CSinoraView::OnFilePrintPreview() {
  QPrintPreviewDialog preview(printer(), this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, &CSinoraView::OnPrint);
  preview.exec();
}
