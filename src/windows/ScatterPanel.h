// The scatter correction as the iterative and filter windows offer it. ScatterControls adds the
// recipe's settings to a window's form: "散乱補正" なし / DEW / TEW, the side windows (found from
// the energies, changeable), DEW's k and the estimate's smoothing. ScatterPanel shows the
// estimate those settings give for the chosen row, as a sinogram and a projection beside the
// measured ones, and for a phantom the true scatter and the estimate's error, with their totals.
#pragma once

#include <QObject>
#include <QWidget>

#include "imaging/colour_map.h"
#include "imaging/recipe.h"

class PictureView;
class WindowLink;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QSpinBox;

class ScatterControls : public QObject {
  Q_OBJECT
 public:
  // Adds its rows to `form`; the windows it lists are the study's.
  ScatterControls(const sinora::StudyPtr& study, QFormLayout* form, QObject* parent);
  // Sets the recipe's scatter fields from the controls.
  void fill(sinora::Recipe& recipe) const;
  QComboBox* methodBox() const { return method_; }
  QComboBox* lowerBox() const { return lower_; }
  QComboBox* upperBox() const { return upper_; }
  QDoubleSpinBox* kBox() const { return k_; }
  QDoubleSpinBox* smoothBox() const { return smooth_; }

 signals:
  void changed();

 private:
  void enableRows();
  QComboBox *method_, *lower_, *upper_;
  QDoubleSpinBox *k_, *smooth_;
  QLabel* note_;
  bool windows_ = false;  // the study has side windows to estimate from
};

class ScatterPanel : public QWidget {
  Q_OBJECT
 public:
  ScatterPanel(sinora::StudyPtr study, const QString& studyTitle, QWidget* parent = nullptr);
  // The settings and row to show; drawn now when the panel is visible, else when it is shown.
  void setRecipe(const sinora::Recipe& recipe, int row);
  void setColourMap(sinora::ColourMap map);

  QSpinBox* viewBox() const { return view_; }
  PictureView* measuredSinogram() const { return pictures_[0]; }
  PictureView* estimateSinogram() const { return pictures_[1]; }
  PictureView* measuredProjection() const { return pictures_[2]; }
  PictureView* estimateProjection() const { return pictures_[3]; }
  PictureView* trueSinogram() const { return pictures_[4]; }
  PictureView* errorSinogram() const { return pictures_[5]; }
  QLabel* summary() const { return summary_; }
  // Draws at once whether shown or not (tests, figures).
  void draw();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  sinora::StudyPtr study_;
  QString title_;
  sinora::Recipe recipe_;
  int row_ = 0;
  bool dirty_ = true;
  QSpinBox* view_;
  PictureView* pictures_[6];
  QLabel* captions_[6];
  QLabel* summary_;
  WindowLink *sinograms_, *projections_;
};
