// A dialog built from a template, with the keyboard of a classic dialog: Enter clicks the focused
// push button, otherwise the default button, otherwise closes the dialog as OK; Escape cancels.
#pragma once

#include <QAbstractButton>
#include <QDialog>

#include <cstdint>

#include "platform/dialog_template.h"

class QImage;

namespace sinora {

class FrameControl;

class TemplateDialog : public QDialog {
  Q_OBJECT
 public:
  TemplateDialog(const DialogTemplate& tmpl, QWidget* parent = nullptr);

  const DialogControls& controls() const { return controls_; }
  QWidget* GetDlgItem(int id) const { return controls_.byId.value(id); }
  FrameControl* frame(int id) const;
  bool isChecked(int id) const;
  QString windowText(int id) const;  // an edit box's text
  // Colours a static text white on RGB(0, 100, 190), as the windows' title bands.
  void colourTitleBand(int id);
  // Runs receiver->slot() when push button `id` is clicked.
  template <typename Receiver, typename Slot>
  void onClicked(int id, Receiver* receiver, Slot slot) {
    if (auto* b = controls_.get<QAbstractButton>(id))
      connect(b, &QAbstractButton::clicked, receiver, slot);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  DialogControls controls_;
};

// A 128 x 128 RGB picture of the imaging core as a QImage sharing no memory with it.
QImage toQImage(const std::uint32_t* pixels, int width, int height);

}  // namespace sinora
