#include "platform/template_dialog.h"

#include <QAbstractButton>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include "platform/frame_control.h"

namespace sinora {

TemplateDialog::TemplateDialog(const DialogTemplate& tmpl, QWidget* parent) : QDialog(parent) {
  controls_ = buildDialog(this, tmpl);
}

void TemplateDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // An empty caption stays empty: the window system would put the application's name there.
  if (windowTitle().isEmpty() && windowHandle()) windowHandle()->setTitle(QStringLiteral(" "));
}

FrameControl* TemplateDialog::frame(int id) const { return controls_.get<FrameControl>(id); }

bool TemplateDialog::isChecked(int id) const {
  auto* b = controls_.get<QAbstractButton>(id);
  return b && b->isChecked();
}

QString TemplateDialog::windowText(int id) const {
  auto* e = controls_.get<QLineEdit>(id);
  return e ? e->text() : QString();
}

void TemplateDialog::colourTitleBand(int id) {
  auto* label = controls_.get<QLabel>(id);
  if (!label) return;
  QPalette pal = label->palette();
  pal.setColor(QPalette::Window, QColor(0, 100, 190));
  pal.setColor(QPalette::WindowText, QColor(255, 255, 255));
  label->setPalette(pal);
  label->setAutoFillBackground(true);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
      focused->click();
      return;
    }
    for (QWidget* w : controls_.inOrder)
      if (auto* b = qobject_cast<QPushButton*>(w); b && b->isDefault()) {
        b->click();
        return;
      }
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

QImage toQImage(const std::uint32_t* pixels, int width, int height) {
  return QImage(reinterpret_cast<const uchar*>(pixels), width, height, width * 4,
                QImage::Format_RGB32)
      .copy();
}

}  // namespace sinora
