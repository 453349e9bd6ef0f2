// PhantomWindow: the phantom lab. The student picks an object and the acquisition (views, arc,
// start, direction, matrix, pixel size, counts or none, collimator (a FWHM, or a real one:
// LEHR / LEGP / MEGP or typed), centre-of-rotation offset, attenuation, the isotope with its
// photopeak and side windows and the detector's energy resolution, scatter on or off, seed); every setting is checked as it is typed, with its message beside
// it, and "作成" stays disabled until all are valid. "作成" makes the study in the background
// (the window stays live; Cancel stops it) and hands it on (studyMade) for the document; the lab
// stays open for the next one and offers to go back to the study it replaced. The settings are
// remembered under "Phantom"; "既定値に戻す" restores the defaults.
#pragma once

#include <QDialog>

#include <atomic>
#include <map>
#include <thread>

#include "imaging/phantom.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSettings;
class QTimer;

class PhantomWindow : public QDialog {
  Q_OBJECT
 public:
  PhantomWindow(QSettings* settings, QWidget* parent = nullptr);
  ~PhantomWindow() override;

  // The settings as typed; false when a box holds no number (its message says so).
  bool readSettings(sinora::PhantomSettings& out) const;
  void setSettings(const sinora::PhantomSettings& s);
  // The study made by the last "作成" (null before, or when it failed).
  sinora::StudyPtr study() const { return study_; }

  // The controls, for tests and tools.
  QComboBox* objectBox() const { return object_; }
  QLineEdit* edit(const QString& field) const;
  QLabel* problem(const QString& field) const;
  QComboBox* arcBox() const { return arc_; }
  QComboBox* matrixBox() const { return matrix_; }
  QComboBox* directionBox() const { return direction_; }
  QComboBox* blurBox() const { return blur_; }
  QCheckBox* noiseFreeBox() const { return noiseFree_; }
  QComboBox* isotopeBox() const { return isotope_; }
  QComboBox* collimatorBox() const { return collimator_; }
  QCheckBox* scatterBox() const { return scatter_; }
  QPushButton* makeButton() const { return make_; }
  QLabel* message() const { return message_; }
  QPushButton* defaultsButton() const { return defaults_; }
  QPushButton* backButton() const { return back_; }
  bool making() const { return worker_.joinable(); }
  // Blocks until a making under way has ended (tests).
  void waitForMaking();

 signals:
  void studyMade(sinora::StudyPtr study);
  void backRequested();

 public slots:
  void setCanGoBack(bool can);
  void restoreDefaults();
  void check();
  void makeStudy();
  void reject() override;

 private:
  void finishMaking();
  void showCollimator();
  bool readCollimator(sinora::PhantomSettings& s) const;  // false: typed numbers that are none
  void remember() const;

  QSettings* settings_;
  QComboBox *object_, *arc_, *direction_, *matrix_, *blur_;
  QCheckBox *noiseFree_, *scatter_;
  QComboBox *isotope_, *collimator_;
  QLineEdit* collimatorNumbers_;
  bool typedCollimator_ = false;  // the remembered collimator was typed (shown so again)
  std::map<QString, QLineEdit*> edits_;
  std::map<QString, QLabel*> problems_;
  QPushButton *make_, *cancel_, *defaults_, *back_;
  QLabel* message_;
  QProgressBar* progress_;
  QTimer* poll_;

  std::thread worker_;
  std::atomic<bool> stop_{false}, done_{false};
  std::atomic<int> viewsDone_{0};
  sinora::PhantomResult result_;
  sinora::StudyPtr study_;
};
