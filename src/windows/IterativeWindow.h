// IterativeWindow: the chosen slice reconstructed by MLEM or OSEM beside filtered
// backprojection. Every iteration is kept so the slider answers at once; plots show the
// log-likelihood, the mean and noise (standard deviation / mean) of a region dragged on a
// picture, and a profile along a dragged line. "全スライス" reconstructs every row in the
// background (Cancel stops it) and then shows transverse, coronal and sagittal planes with one
// crosshair. Attenuation can be corrected: Chang's correction of the FBP (first order, or with
// one step of its iteration) and an attenuated projector in OSEM, with uniform mu inside the
// phantom's own outline or an ellipse fitted to a threshold of the FBP slice. For a phantom the
// true slice is shown beside them with each one's error and recovered contrast.
#pragma once

#include <QDialog>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "imaging/attenuation.h"
#include "imaging/iterative.h"
#include "imaging/slices.h"
#include "windows/PictureView.h"

class CSinoraDoc;
class PlotView;
class QButtonGroup;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

class IterativeWindow : public QDialog {
  Q_OBJECT
 public:
  explicit IterativeWindow(CSinoraDoc* doc, QWidget* parent = nullptr);
  ~IterativeWindow() override;

  // The controls, for tests and tools.
  QSpinBox* rowBox() const { return row_; }
  QComboBox* methodBox() const { return method_; }
  QComboBox* subsetsBox() const { return subsets_; }
  QSpinBox* iterationsBox() const { return iterations_; }
  QDoubleSpinBox* fwhmBox() const { return fwhm_; }
  QSlider* iterationSlider() const { return slider_; }
  QPushButton* reconstructButton() const { return run_; }
  QPushButton* volumeButton() const { return volume_; }
  QPushButton* cancelButton() const { return cancel_; }
  QProgressBar* progress() const { return progress_; }
  QLabel* message() const { return message_; }
  PictureView* projectionView() const { return projection_; }
  PictureView* fbpView() const { return fbp_; }
  PictureView* osemView() const { return osemView_; }
  PictureView* planeView(int plane) const { return planes_[plane]; }  // 0 transverse, 1 coronal, 2 sagittal
  QComboBox* planeSourceBox() const { return planeSource_; }
  QChart* likelihoodChart() const;
  QChart* regionChart() const;
  QChart* profileChart() const;
  PlotView* regionPlot() const { return region_; }
  QComboBox* changBox() const { return chang_; }
  QCheckBox* attenuatedOsemBox() const { return attenuatedOsem_; }
  QDoubleSpinBox* muBox() const { return mu_; }
  QComboBox* outlineBox() const { return outline_; }
  QSpinBox* thresholdBox() const { return threshold_; }
  PictureView* truthView() const { return truth_; }
  QLabel* errorsLabel() const { return errors_; }
  // The FBP slice shown now in counts per pixel (corrected when asked), [i * B + j].
  const std::vector<double>& shownFbp() const { return fbpSlice_; }

  // The OSEM image shown now (after the slider's iteration, post-filtered), [i * B + j].
  std::vector<double> shownOsem() const;
  const sinora::OsemResult& result() const { return result_; }
  bool volumeReady() const { return volumeDone_; }
  bool volumeRunning() const { return worker_.joinable() && !volumeDone_ && !volumeStopped_; }
  // Blocks until the background work has ended (tests).
  void waitForVolume();
  QPoint crosshair() const { return QPoint(cross_[0], cross_[1]); }
  int crosshairRow() const { return cross_[2]; }

 public slots:
  void reconstruct();
  void showIteration(int iteration);
  void setRegion(const QRect& region);
  void setProfile(const QPoint& a, const QPoint& b);
  void startVolume();
  void cancelVolume();
  void setCrosshair(int i, int j, int row);

 private:
  void pickRow(const QPoint& picturePoint);
  void showProjection();
  void updateSubsets();
  void volumeFinished(bool complete);
  sinora::Palette palette() const;
  PictureValues picture(const std::vector<double>& slice, int b) const;
  QString settingsCaption(bool iterative) const;
  void drawPlanes();
  void showErrors();
  // The outline attenuation is modelled in for the row, and mu per pixel; false with `why`.
  bool attenuationModel(int row, const std::vector<double>& fbp, sinora::Outline& outline,
                        double& mu, QString& why) const;

  CSinoraDoc* doc_;
  sinora::StudyPtr study_;
  QSpinBox* row_;
  QComboBox *method_, *subsets_;
  QSpinBox* iterations_;
  QDoubleSpinBox* fwhm_;
  QLabel* fwhmMm_;
  QRadioButton *ribbon_, *grey_, *ramp_, *shepp_;
  QCheckBox* prefilter_;
  QLineEdit *order_, *cutoff_;
  QPushButton *run_, *volume_, *cancel_;
  QSlider* slider_;
  QLabel *iterationLabel_, *message_;
  QProgressBar* progress_;
  PictureView *projection_, *fbp_, *osemView_;
  PictureView* planes_[3];
  PlotView *likelihood_, *region_, *profile_;
  QComboBox* dragMode_;
  QComboBox* planeSource_;  // OSEM or FBP in the three planes
  QComboBox *chang_, *outline_;
  QCheckBox* attenuatedOsem_;
  QDoubleSpinBox* mu_;
  QSpinBox* threshold_;
  PictureView* truth_;
  QLabel* errors_;

  sinora::OsemResult result_;
  std::vector<double> fbpSlice_;
  int resultRow_ = 0;
  // The settings of the last reconstruction, for the pictures' captions.
  int resultSubsets_ = 1;
  QString resultFilter_, resultFbpCorrection_;
  bool resultOsemAttenuated_ = false;
  double resultMu_ = 0;
  QRect regionRect_;
  QPoint lineA_{-1, -1}, lineB_{-1, -1};

  std::thread worker_;
  std::atomic<bool> stopVolume_{false};
  std::atomic<int> rowsDone_{0};
  bool volumeDone_ = false, volumeStopped_ = false;
  std::vector<std::vector<double>> fbpVolume_, osemVolume_;
  int cross_[3] = {0, 0, 0};
  WindowLink* planesLink_ = nullptr;
  QString planesKey_;
  int volumeGeneration_ = 0;
};
