// RawOpenDialog: the layout of a raw file of counts (a lab's own format): the file, header
// bytes, views, rows, bins, bytes per count, number format, byte order, arc, start angle,
// direction and pixel size. The last layout is remembered in the settings under "Raw Layout".
#pragma once

#include <QDialog>

#include "formats/raw.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSettings;
class QSpinBox;

class RawOpenDialog : public QDialog {
  Q_OBJECT
 public:
  RawOpenDialog(QSettings* settings, QWidget* parent = nullptr);

  sinora::formats::RawLayout rawLayout() const;
  void setRawLayout(const sinora::formats::RawLayout& layout);
  QByteArray path() const;  // the file, as the system's bytes
  void setPath(const QString& path);
  // Saves the layout and the file in the settings (done when accepted).
  void remember() const;

  QLineEdit* pathEdit() const { return path_; }
  QLabel* sizeNote() const { return sizeNote_; }

 public slots:
  void accept() override;
  void updateSizeNote();

 private:
  void browse();
  QSettings* settings_;
  QLineEdit* path_;
  QSpinBox *header_, *views_, *rows_, *bins_;
  QComboBox *bytes_, *format_, *order_, *direction_;
  QDoubleSpinBox *arc_, *start_, *pixel_;
  QLabel* sizeNote_;
};
