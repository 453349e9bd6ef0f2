// Resolution recovery as the iterative window offers it. ResolutionControls adds the recipe's
// settings to the window's form: "分解能補正" on or off, the collimator (the phantom's, a preset
// LEHR / LEGP / MEGP, or typed as R_i, R_c0, k) and the detector's distance from the centre of
// rotation (the study's when it records one). PsfPanel shows the blur the projector gives a
// point at a chosen distance from the collimator face, and the system FWHM against distance.
#pragma once

#include <QObject>
#include <QWidget>

#include "imaging/collimator.h"
#include "imaging/recipe.h"

class PictureView;
class PlotView;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QLineEdit;

class ResolutionControls : public QObject {
  Q_OBJECT
 public:
  ResolutionControls(const sinora::StudyPtr& study, QFormLayout* form, QObject* parent);
  // Sets the recipe's resolution fields (recovery only for MLEM/OSEM); returns what is wrong
  // with the typed numbers when recovery is on, else empty (the recipe is then unchanged).
  QString fill(sinora::Recipe& recipe) const;
  // The collimator and radius (mm) as the controls give them now; false with `why` when a
  // typed number is not one. A radius of 0 means the study's own.
  bool current(sinora::Collimator& collimator, double& radiusMm, QString* why) const;

  QCheckBox* onBox() const { return on_; }
  QComboBox* collimatorBox() const { return collimator_; }
  QLineEdit* numbersBox() const { return numbers_; }
  QLineEdit* radiusBox() const { return radius_; }

 signals:
  void changed();

 private:
  void showPreset();
  sinora::StudyPtr study_;
  QCheckBox* on_;
  QComboBox* collimator_;
  QLineEdit *numbers_, *radius_;
};

class PsfPanel : public QWidget {
  Q_OBJECT
 public:
  explicit PsfPanel(sinora::StudyPtr study, QWidget* parent = nullptr);
  // The collimator and the detector's distance from the centre of rotation (mm; 0: unknown);
  // `problem` is said instead of a picture when not empty.
  void setCollimator(const sinora::Collimator& collimator, double radiusMm, const QString& problem);

  QDoubleSpinBox* distanceBox() const { return distance_; }
  PictureView* psfView() const { return psf_; }
  QLabel* widthLabel() const { return width_; }
  PlotView* plot() const { return plot_; }

 private:
  void draw();
  sinora::StudyPtr study_;
  sinora::Collimator collimator_;
  double radiusMm_ = 0;
  QString problem_;
  bool distanceSet_ = false;  // by the student; else it follows the centre of rotation
  QDoubleSpinBox* distance_;
  PictureView* psf_;
  QLabel *width_, *note_;
  PlotView* plot_;
};
