// OpenWayDialog: how a study from a file opens. A preview of the whole body's reconstruction (its
// rows added, so anterior up and the patient's left on the right can be judged) beside the choices: turn the start angle by 90, 180 or 270
// degrees, reverse the direction of rotation, and, for a file of several energy windows, the
// photopeak window (each one's name and keV range). The choice is remembered for the file (its
// canonical path, size and time of change) and applied without asking the next time; the
// 応用 command "開き方..." or Shift held while opening shows the dialog again. The study file of
// today is never asked about.
#pragma once

#include <QByteArray>
#include <QDialog>

#include <optional>

#include "imaging/open_way.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QListWidget;
class QSettings;
class PictureView;

class OpenWayDialog : public QDialog {
  Q_OBJECT
 public:
  // `study` as the file opened; `way` the choice to start from.
  OpenWayDialog(sinora::StudyPtr study, const QString& fileName, const sinora::OpenWay& way,
                QWidget* parent = nullptr);

  sinora::OpenWay way() const;
  void setWay(const sinora::OpenWay& way);
  // The study as the choice now opens it (what the preview shows).
  sinora::StudyPtr chosenStudy() const { return shown_; }
  PictureView* preview() const { return preview_; }
  QListWidget* windowList() const { return windows_; }  // null for a study of one window
  QCheckBox* mirrorBox() const { return mirror_; }
  QButtonGroup* turnGroup() const { return turns_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void updatePreview();
  void fitPreview();

  sinora::StudyPtr study_, shown_;
  QButtonGroup* turns_ = nullptr;
  QCheckBox* mirror_ = nullptr;
  QListWidget* windows_ = nullptr;
  PictureView* preview_ = nullptr;
};

// Whether opening asks: never (the remembered way, if any, is applied), when the file has no
// remembered way, or always (Shift held, or the 開き方 command).
enum class OpenAsk { Never, IfNew, Always };

// The way remembered for the file at `path` (absolute, the system's bytes), if it is the same file
// (size and time of change) as when the way was chosen.
std::optional<sinora::OpenWay> rememberedOpenWay(QSettings* settings, const QByteArray& path);
void rememberOpenWay(QSettings* settings, const QByteArray& path, const sinora::OpenWay& way);

// How a study read from `path` opens: the study file of today (and any study without a format)
// as it is; otherwise the remembered way, or the student's choice when `ask` says so. Null when
// the student cancels. `asked` tells whether the dialog was shown (it showed the import's notes).
sinora::StudyPtr chooseOpenWay(QWidget* parent, QSettings* settings, const QByteArray& path,
                               const sinora::StudyPtr& study, OpenAsk ask, bool* asked = nullptr);
