// IterativeWindow: the chosen slice reconstructed by MLEM or OSEM beside filtered
// backprojection. Every iteration is kept so the slider answers at once; plots show the
// log-likelihood, the mean and noise (standard deviation / mean) of a region dragged on a
// picture, and a profile along a dragged line. "全スライス" reconstructs every row in the
// background (Cancel stops it) and then shows transverse, coronal and sagittal planes with one
// crosshair. Attenuation can be corrected: Chang's correction of the FBP (first order, or with
// one step of its iteration) and an attenuated projector in OSEM, with uniform mu inside the
// phantom's own outline or an ellipse fitted to a threshold of the FBP slice. For a phantom the
// true slice is shown beside them with each one's error and recovered contrast. Scatter is
// corrected from the study's energy windows (TEW or DEW: subtracted for FBP, an additive term
// in OSEM), its estimate shown beside the measured data; OSEM can model the collimator's blur
// (resolution recovery), with the PSF it assumes shown at a chosen distance.
#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "imaging/attenuation.h"
#include "imaging/iterative.h"
#include "imaging/recipe.h"
#include "imaging/slices.h"
#include "windows/PictureView.h"

class CSinoraDoc;
class CtPanel;
class PlotView;
class PsfPanel;
class ResolutionControls;
class ScatterControls;
class ScatterPanel;
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
class QTabWidget;

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
  QPushButton* exportButton() const { return export_; }
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
  QTabWidget* tabs() const { return tabs_; }
  QLabel* errorsLabel() const { return errors_; }
  CtPanel* ctPanel() const { return ct_; }
  ScatterControls* scatterControls() const { return scatter_; }
  ScatterPanel* scatterPanel() const { return scatterPanel_; }
  ResolutionControls* resolutionControls() const { return resolution_; }
  PsfPanel* psfPanel() const { return psfPanel_; }
  // The FBP slice shown now in counts per pixel (corrected when asked), [i * B + j].
  const std::vector<double>& shownFbp() const { return fbpSlice_; }

  // The OSEM image shown now (after the slider's iteration, post-filtered), [i * B + j].
  std::vector<double> shownOsem() const;
  const sinora::OsemResult& result() const { return result_; }
  bool volumeReady() const { return volumeDone_; }
  bool volumeRunning() const { return worker_.joinable() && !sliceRunning_ && !volumeDone_ && !volumeStopped_; }
  // Blocks until the background work has ended (tests).
  void waitForVolume();
  // A slice too long to wait for (its estimated work above kQuickWork) is reconstructed in the
  // background; Cancel stops it and the pictures stay as they were.
  static constexpr double kQuickWork = 2e8;
  bool sliceRunning() const { return sliceRunning_; }
  void waitForSlice();
  QPoint crosshair() const { return QPoint(cross_[0], cross_[1]); }
  int crosshairRow() const { return cross_[2]; }
  // What made the pictures shown now: the slice's two recipes and row, the volume's two.
  const sinora::Recipe& fbpRecipe() const { return fbpRecipe_; }
  const sinora::Recipe& osemRecipe() const { return osemRecipe_; }
  int resultRow() const { return resultRow_; }
  QLabel* fbpCaption() const { return fbpCaption_; }
  QLabel* osemCaption() const { return osemCaption_; }
  QLabel* planesCaption() const { return planesCaption_; }
  QLabel* rowHint() const { return rowHint_; }
  // The settings of the controls as a recipe.
  sinora::Recipe recipeFromControls(sinora::RecipeMethod method) const;
  // Asked before a finished volume is thrown away (Esc, closing); true discards. A message box
  // unless replaced (tests).
  std::function<bool()> askDiscard;
  bool holdsUnsavedResult() const { return unsaved_; }
  // "書き出し...": the volume shown in the planes when there is one, else the shown slice
  // (OSEM, else FBP). The name comes from a file dialog unless replaced (tests).
  std::function<QString()> askExportName;
  void exportShown();

  void reject() override;

 public slots:
  void reconstruct();
  void showIteration(int iteration);
  void setRegion(const QRect& region);
  void setProfile(const QPoint& a, const QPoint& b);
  void startVolume();
  void cancelVolume();
  void setCrosshair(int i, int j, int row);

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool mayDiscard();
  QString describe(const sinora::Recipe& r, int row) const;
  void finishSlice(const sinora::Recipe& fbpRecipe, const sinora::Recipe& osemRecipe, int row,
                   sinora::RecipeSlice fbp, sinora::RecipeSlice os);
  void updateRowHint();
  void sliceFinished(const sinora::Recipe& fbpRecipe, const sinora::Recipe& osemRecipe, int row,
                     sinora::RecipeSlice fbp, sinora::RecipeSlice os, bool complete);
  void clearPlanes(const QString& why);
  void pickRow(const QPoint& picturePoint);
  void showProjection();
  void updateSubsets();
  void volumeFinished(bool complete);
  sinora::Palette palette() const;
  PictureValues picture(const std::vector<double>& slice, int b) const;
  QString viewCaption(const sinora::Recipe& recipe, int row) const;
  void drawPlanes();
  void showErrors();
  void showUnderlays();
  void correctionsChanged();

  CSinoraDoc* doc_;
  QString studyTitle_;  // for captions, as it was when the window opened
  sinora::StudyPtr study_;
  QSpinBox* row_;
  QComboBox *method_, *subsets_;
  QSpinBox* iterations_;
  QDoubleSpinBox* fwhm_;
  QLabel* fwhmMm_;
  QRadioButton *ribbon_, *grey_, *ramp_, *shepp_;
  QCheckBox* prefilter_;
  QLineEdit *order_, *cutoff_;
  QPushButton *run_, *volume_, *cancel_, *export_;
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
  CtPanel* ct_;
  QTabWidget* tabs_;
  ScatterControls* scatter_;
  ScatterPanel* scatterPanel_;
  ResolutionControls* resolution_;
  PsfPanel* psfPanel_;
  QLabel *fbpCaption_, *osemCaption_, *truthCaption_, *planesCaption_, *rowHint_;
  sinora::Recipe fbpRecipe_, osemRecipe_, volumeFbpRecipe_, volumeOsemRecipe_;
  bool unsaved_ = false;
  bool sliceRunning_ = false;

  sinora::OsemResult result_;
  std::vector<double> fbpSlice_;
  int resultRow_ = 0;
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
