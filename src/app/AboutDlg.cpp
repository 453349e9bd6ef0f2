#include "app/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "res/dialogs.h"
#include "res/icons.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  controls_ = sinora::buildDialog(this, sinora::res::aboutBoxTemplate());
  if (auto* icon = controls_.get<QLabel>(sinora::res::IDR_MAINFRAME)) {
    icon->setPixmap(sinora::res::applicationIcon().pixmap(QSize(32, 32), devicePixelRatioF()));
    icon->resize(32, 32);
  }
  if (auto* ok = controls_.get<QPushButton>(sinora::res::IDOK)) {
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
  }
}
