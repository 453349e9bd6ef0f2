// FilterAnalysisWindow: the mathematics of the filters. The sinogram of the chosen row (or of a
// point source the student places), the frequency responses of every filter the program uses
// (computed from the kernels it applies, beside the ideal curves), the rows' power spectrum, and
// the slice reconstructed with a windowed ramp filter at a chosen cut-off beside plain Ramp FBP,
// both with the scatter correction chosen (its estimate shown beside the measured data).
#pragma once

#include <QDialog>

#include <thread>
#include <vector>

#include "imaging/filter_analysis.h"
#include "imaging/recipe.h"

class CSinoraDoc;
class PictureView;
class PlotView;
class ScatterControls;
class ScatterPanel;
class QChart;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;

class FilterAnalysisWindow : public QDialog {
  Q_OBJECT
 public:
  explicit FilterAnalysisWindow(CSinoraDoc* doc, QWidget* parent = nullptr);
  ~FilterAnalysisWindow() override;
  // Studies whose FBP of a row costs more than this (views x B x B) are reconstructed in the
  // background; waitForSlices blocks until the latest settings are shown (tests).
  static constexpr double kQuickFbp = 2e7;
  bool slicesPending() const { return sliceWorker_.joinable() || hasPending_; }
  void waitForSlices();

  QSpinBox* rowBox() const { return row_; }
  QRadioButton* pointSourceButton() const { return pointSource_; }
  QRadioButton* studySourceButton() const { return studySource_; }
  QComboBox* windowBox() const { return window_; }
  QSlider* cutoffSlider() const { return slider_; }
  QDoubleSpinBox* cutoffBox() const { return cutoff_; }
  QDoubleSpinBox* orderBox() const { return order_; }
  QLineEdit* pixelSizeBox() const { return pixelMm_; }
  QLabel* message() const { return message_; }
  PictureView* sinogramView() const { return sinogram_; }
  PictureView* sourceView() const { return source_; }
  PictureView* windowedView() const { return windowed_; }
  PictureView* rampView() const { return ramp_; }
  PictureView* projectionView() const { return projection_; }
  PictureView* truthView() const { return truth_; }
  QLabel* truthErrorLabel() const { return truthError_; }
  QLabel* psfLabel() const { return psfWidths_; }
  QLabel* windowedCaption() const { return windowedCaption_; }
  QTabWidget* tabs() const { return tabs_; }
  ScatterControls* scatterControls() const { return scatter_; }
  ScatterPanel* scatterPanel() const { return scatterPanel_; }
  QChart* responseChart() const;
  QChart* profileChart() const;
  PlotView* responsePlot() const { return responses_; }
  QPoint sourcePosition() const { return sourceAt_; }
  // What the plot draws, by curve name (frequency in cycles/pixel, value).
  std::vector<std::pair<QString, std::vector<QPointF>>> curves() const { return curves_; }

 public slots:
  void refresh();  // sinogram, slices and plot from the settings
  void setSource(const QPoint& ij);
  void setProfile(const QPoint& a, const QPoint& b);

 private:
  struct SliceJob {
    bool point = false;
    QPoint at;
    int row = 0;
    sinora::FilterWindow window = sinora::FilterWindow::Hann;
    double cutoff = 0, order = 0;
    QString windowName;
    std::vector<double> kernel;
    sinora::Recipe corrections;  // the scatter correction both slices share
  };
  struct SliceResult {
    std::vector<double> windowed, ramp;  // counts per pixel, [i * B + j]
  };
  static SliceResult computeSlices(const sinora::ProjectionStudy& study, const SliceJob& job);
  void showSlices(const SliceJob& job, SliceResult r);
  void startSlices();
  void drawPlot();
  CSinoraDoc* doc_;
  QString studyTitle_;  // for captions, as it was when the window opened
  sinora::StudyPtr study_;
  QSpinBox* row_;
  QRadioButton *studySource_, *pointSource_;
  QComboBox *window_, *units_;
  QSlider* slider_;
  QDoubleSpinBox *cutoff_, *order_;
  QLineEdit *bwOrder_, *bwCutoff_, *pixelMm_;
  QLabel *message_, *note_;
  PictureView* truth_;   // a phantom's true slice (hidden for other studies)
  QLabel* truthError_;   // both FBPs' distance from it
  QLabel *windowedCaption_, *rampCaption_, *psfWidths_;
  QTabWidget* tabs_;
  ScatterControls* scatter_;
  ScatterPanel* scatterPanel_;
  PictureView *projection_, *sinogram_, *source_, *windowed_, *ramp_;
  PlotView *responses_, *profile_;
  QPoint sourceAt_;
  QPoint lineA_{-1, -1}, lineB_{-1, -1};
  std::vector<std::pair<QString, std::vector<QPointF>>> curves_;
  std::vector<double> windowedSlice_, rampSlice_;
  bool updating_ = false;
  QString powerKey_;
  std::vector<double> rampDft_, sheppDft_;
  double plotScale_ = -1;
  std::vector<QPointF> power_;
  std::thread sliceWorker_;
  SliceJob pending_;
  bool hasPending_ = false;
};
