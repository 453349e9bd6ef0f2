// CAboutDlg: the About box (dialog 100).
#pragma once

#include <QDialog>

#include "platform/dialog_template.h"

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  const sinora::DialogControls& controls() const { return controls_; }

 private:
  sinora::DialogControls controls_;
};
