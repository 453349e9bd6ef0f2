#include "windows/FilterWindow.h"

#include <QButtonGroup>
#include <QChart>
#include <QCoreApplication>
#include <QEventLoop>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QSpinBox>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "doc/SinoraDoc.h"
#include "platform/number.h"
#include "imaging/phantom.h"
#include "platform/tr.h"
#include "imaging/psf.h"
#include "imaging/recipe.h"
#include "windows/PictureView.h"
#include "windows/ScatterPanel.h"

using namespace sinora;

namespace {

constexpr int kFrequencies = 129;  // 0 to 0.5 cycles/pixel in steps of 1/256

PlotView* makePlot(const QString& title, const QString& x, const QString& y) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignRight);
  auto* ax = new QValueAxis;
  ax->setTitleText(x);
  auto* ay = new QValueAxis;
  ay->setTitleText(y);
  chart->addAxis(ax, Qt::AlignBottom);
  chart->addAxis(ay, Qt::AlignLeft);
  auto* view = new PlotView(chart);
  view->setMinimumSize(560, 330);
  return view;
}

}  // namespace

FilterAnalysisWindow::FilterAnalysisWindow(CSinoraDoc* doc, QWidget* parent)
    : QDialog(parent), doc_(doc), study_(doc->ProjectionStudy()) {
  studyTitle_ = studyCaption(doc->GetTitle(), *study_);
  setWindowTitle(T("フィルタ解析"));
  const int b = study_->bins();
  sourceAt_ = QPoint(b / 2 + b / 5, b / 2 - b / 8);  // off centre, so its sine shows

  row_ = new QSpinBox;
  row_->setRange(0, study_->rows() - 1);
  row_->setValue(sliceRowOf(60, study_->rows()));
  studySource_ = new QRadioButton(T("スタディ"));
  pointSource_ = new QRadioButton(T("点線源"));
  studySource_->setChecked(true);
  auto* sources = new QButtonGroup(this);
  sources->addButton(studySource_);
  sources->addButton(pointSource_);
  window_ = new QComboBox;
  for (const char* name : {"Ramp", "Shepp-Logan", "Hann", "Hamming", "Parzen", "Cosine", "Butterworth"})
    window_->addItem(QString::fromLatin1(name));
  window_->setCurrentIndex(int(FilterWindow::Hann));
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setRange(1, 100);  // cut-off = value / 200 cycles/pixel
  slider_->setValue(80);
  cutoff_ = new QDoubleSpinBox;
  cutoff_->setDecimals(3);
  cutoff_->setRange(-1, 1);  // checked by the window itself, so that bad values get a message
  cutoff_->setSingleStep(0.005);
  cutoff_->setValue(0.4);
  order_ = new QDoubleSpinBox;
  order_->setRange(-100, 1000);
  order_->setValue(5);
  bwOrder_ = new QLineEdit(QStringLiteral("8"));
  bwCutoff_ = new QLineEdit(QStringLiteral("0.15"));
  // Room for a whole number such as 0.125 whatever the screen (".15" was all that showed).
  for (QLineEdit* e : {bwOrder_, bwCutoff_})
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0.0000")) + 16);
  pixelMm_ = new QLineEdit;
  if (study_->geometry().pixelSizeMm > 0) pixelMm_->setText(QString::number(study_->geometry().pixelSizeMm));
  units_ = new QComboBox;
  units_->addItems({T("サイクル/画素"), T("サイクル/cm")});
  message_ = new QLabel;
  message_->setStyleSheet(QStringLiteral("color: #b00000"));
  message_->setWordWrap(true);
  note_ = new QLabel(T("換算: このプログラムの次数 n は、2n を「次数」とするメーカーの「パワー」n にあたる。カットオフは振幅が 1/2 になる周波数（0.707 の点で表すメーカーもある）。サイクル/画素 = サイクル/cm × 画素サイズ（cm）。ナイキストに対する割合 = サイクル/画素 ÷ 0.5。"));
  note_->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(T("スライス（行）"), row_);
  auto* sourceRow = new QHBoxLayout;
  sourceRow->addWidget(studySource_);
  sourceRow->addWidget(pointSource_);
  form->addRow(T("サイノグラム"), sourceRow);
  form->addRow(T("再構成フィルタ"), window_);
  form->addRow(T("カットオフ"), slider_);
  form->addRow(T("カットオフ（サイクル/画素）"), cutoff_);
  form->addRow(T("次数（Butterworth）"), order_);
  auto* bwRow = new QHBoxLayout;
  bwRow->addWidget(new QLabel(QStringLiteral("Order")));
  bwRow->addWidget(bwOrder_);
  bwRow->addWidget(new QLabel(QStringLiteral("Cutoff")));
  bwRow->addWidget(bwCutoff_);
  form->addRow(T("BW 前処理"), bwRow);
  auto* bwMessage = new QLabel;  // beside the boxes: what was typed that is not a number
  bwMessage->setObjectName(QStringLiteral("bwMessage"));
  bwMessage->setStyleSheet(QStringLiteral("color: #b00000"));
  bwMessage->setWordWrap(true);
  form->addRow(bwMessage);
  scatter_ = new ScatterControls(study_, form, this);
  form->addRow(T("画素サイズ（mm）"), pixelMm_);
  form->addRow(T("周波数の単位"), units_);
  form->addRow(message_);

  projection_ = new PictureView;
  projection_->setDrag(PictureView::Drag::Point);
  sinogram_ = new PictureView;
  sinogram_->setDrag(PictureView::Drag::Point);
  source_ = new PictureView;
  source_->setDrag(PictureView::Drag::Point);
  windowed_ = new PictureView;
  ramp_ = new PictureView;
  for (PictureView* v : {windowed_, ramp_}) v->setDrag(PictureView::Drag::Line);
  auto caption = [](const QString& text) { return pictureCaption(text, 2 * kSize); };
  windowedCaption_ = caption(T("窓付きフィルタの FBP"));
  rampCaption_ = caption(T("Ramp の FBP"));
  // Two pictures a row, so that the window fits a small or scaled screen.
  auto* pictures = new QGridLayout;
  pictures->addWidget(caption(T("プロジェクション（クリックで行）")), 0, 0);
  pictures->addWidget(projection_, 1, 0);
  pictures->addWidget(caption(T("サイノグラム（ビュー↓ ビン→）")), 0, 1);
  pictures->addWidget(sinogram_, 1, 1);
  pictures->addWidget(windowedCaption_, 2, 0);
  pictures->addWidget(windowed_, 3, 0);
  pictures->addWidget(rampCaption_, 2, 1);
  pictures->addWidget(ramp_, 3, 1);
  psfWidths_ = new QLabel;
  psfWidths_->setObjectName(QStringLiteral("psfWidths"));
  psfWidths_->setWordWrap(true);
  pictures->addWidget(psfWidths_, 4, 0, 1, 2);
  pictures->addWidget(caption(T("点線源の位置（クリック）")), 5, 0);
  pictures->addWidget(source_, 6, 0);
  // A phantom's truth, and how far each FBP is from it: the cut-off's trade-off in one number.
  truth_ = new PictureView;
  auto* truthCaption = caption(T("真の分布"));
  pictures->addWidget(truthCaption, 5, 1);
  pictures->addWidget(truth_, 6, 1);
  truthError_ = new QLabel;
  truthError_->setObjectName(QStringLiteral("truthError"));
  truthError_->setWordWrap(true);
  pictures->addWidget(truthError_, 7, 0, 1, 2);
  pictures->setRowStretch(8, 1);
  const bool phantom = phantomInfo(*study_) != nullptr;
  for (QWidget* w : {static_cast<QWidget*>(truthCaption), static_cast<QWidget*>(truth_), static_cast<QWidget*>(truthError_)})
    w->setVisible(phantom);
  responses_ = makePlot(T("周波数応答"), T("周波数（サイクル/画素）"), T("応答"));
  profile_ = makePlot(T("プロファイル"), T("距離（画素）"), T("カウント/画素"));
  profile_->setMinimumSize(420, 330);
  auto* plots = new QVBoxLayout;
  plots->addWidget(responses_, 3);
  plots->addWidget(profile_, 2);
  plots->addWidget(note_);

  tabs_ = new QTabWidget;
  auto page = [](QLayout* layout) {
    auto* w = new QWidget;
    w->setLayout(layout);
    return w;
  };
  tabs_->addTab(page(pictures), T("画像"));
  tabs_->addTab(page(plots), T("グラフ"));
  scatterPanel_ = new ScatterPanel(study_, studyTitle_);
  tabs_->addTab(scatterPanel_, T("散乱"));
  auto* content = new QWidget;
  auto* top = new QBoxLayout(QBoxLayout::LeftToRight, content);
  top->addLayout(form);
  top->addWidget(tabs_, 1);
  // On a narrow screen (1366 x 768 at scale 2) the settings go above the pictures: the window
  // then scrolls down, never across.
  if (screen() && content->sizeHint().width() > screen()->availableGeometry().width() - 40)
    top->setDirection(QBoxLayout::TopToBottom);
  setScrollingContent(this, content);

  // The slider and the box are one setting; dragging updates while it moves.
  connect(slider_, &QSlider::valueChanged, this, [this](int v) {
    if (updating_) return;
    cutoff_->setValue(v / 200.0);
  });
  connect(cutoff_, &QDoubleSpinBox::valueChanged, this, [this](double fc) {
    updating_ = true;
    if (fc > 0 && fc <= 0.5) slider_->setValue(std::clamp(int(std::lround(fc * 200)), 1, 100));
    updating_ = false;
    refresh();
  });
  connect(order_, &QDoubleSpinBox::valueChanged, this, &FilterAnalysisWindow::refresh);
  connect(window_, &QComboBox::currentIndexChanged, this, &FilterAnalysisWindow::refresh);
  connect(row_, &QSpinBox::valueChanged, this, &FilterAnalysisWindow::refresh);
  connect(studySource_, &QRadioButton::toggled, this, &FilterAnalysisWindow::refresh);
  connect(units_, &QComboBox::currentIndexChanged, this, &FilterAnalysisWindow::drawPlot);
  connect(scatter_, &ScatterControls::changed, this, &FilterAnalysisWindow::refresh);
  for (QLineEdit* e : {bwOrder_, bwCutoff_, pixelMm_})
    connect(e, &QLineEdit::editingFinished, this, &FilterAnalysisWindow::refresh);
  connect(projection_, &PictureView::pointChosen, this, [this](QPoint p) {
    if (p.y() >= 0 && p.y() < study_->rows()) row_->setValue(p.y());
  });
  connect(source_, &PictureView::pointChosen, this, &FilterAnalysisWindow::setSource);
  for (PictureView* v : {windowed_, ramp_}) connect(v, &PictureView::lineChosen, this, &FilterAnalysisWindow::setProfile);

  projection_->setPicture(projectionPicture(*study_, 0, 7), Palette::Ribbon);
  projection_->setCaption(T("%1: プロジェクション 0").arg(studyTitle_));
  auto* link = new WindowLink(this);
  for (PictureView* v : {windowed_, ramp_}) v->setLink(link);
  registerFigureWindow(this, [this] { return windowFigure(this); });
  refresh();
}

QChart* FilterAnalysisWindow::responseChart() const { return responses_->chart(); }
QChart* FilterAnalysisWindow::profileChart() const { return profile_->chart(); }

void FilterAnalysisWindow::setSource(const QPoint& ij) {
  const int b = study_->bins();
  sourceAt_ = QPoint(std::clamp(ij.x(), 0, b - 1), std::clamp(ij.y(), 0, b - 1));
  pointSource_->setChecked(true);
  refresh();
}

void FilterAnalysisWindow::refresh() {
  const int b = study_->bins(), row = row_->value();
  const FilterWindow w = FilterWindow(window_->currentIndex());
  const double fc = cutoff_->value(), order = order_->value();
  projection_->setLine({0, row}, {b - 1, row});
  // The sinogram: the study's row, or the point source's sine.
  Picture blank;
  blank.width = blank.height = b;
  blank.values.assign(std::size_t(b) * b, 0);
  source_->setPicture(blank, Palette::Ribbon);
  source_->setCrosshair(sourceAt_);
  // The sinogram's counts as they are (views down, bins across).
  PictureValues sinogram;
  sinogram.width = b;
  sinogram.height = study_->views();
  if (pointSource_->isChecked()) {
    sinogram.values = pointSinogram(*study_, sourceAt_.x(), sourceAt_.y());
    sinogram_->setCaption(T("%1: 点線源 (%2, %3) のサイノグラム").arg(studyTitle_).arg(sourceAt_.x()).arg(sourceAt_.y()));
  } else {
    for (int k = 0; k < study_->views(); ++k)
      for (int c = 0; c < b; ++c) sinogram.values.push_back(study_->count(k, row, c));
    sinogram_->setCaption(T("%1、%2 行目: サイノグラム").arg(studyTitle_).arg(row));
  }
  sinogram_->setValues(sinogram);
  Recipe corrections;
  scatter_->fill(corrections);
  scatterPanel_->setRecipe(corrections, row);
  // A refused setting is said next to the boxes; the last pictures stay.
  std::string why = checkWindowSettings(w, fc, order);
  if (why.empty() && !pointSource_->isChecked()) why = checkRecipe(*study_, corrections);
  message_->setText(TM(why));
  if (!why.empty()) return;
  SliceJob job;
  job.point = pointSource_->isChecked();
  job.at = sourceAt_;
  job.row = row;
  job.window = w;
  job.cutoff = fc;
  job.order = order;
  job.windowName = window_->currentText();
  job.corrections = corrections;
  const std::vector<double> kernel = windowedKernel(w, fc, order, b);
  job.kernel = kernel;
  // A large study's two FBPs would hold the window: they are made in the background, the
  // latest settings winning, and shown when ready.
  if (double(study_->views()) * b * b <= kQuickFbp) {
    showSlices(job, computeSlices(*study_, job));
  } else {
    pending_ = job;
    hasPending_ = true;
    windowedCaption_->setText(T("計算中..."));
    if (!sliceWorker_.joinable()) startSlices();
  }

  // The curves, over 0..0.5 cycles/pixel.
  const std::vector<double> f = frequencies(kFrequencies);
  auto curve = [&](const std::vector<double>& y) {
    std::vector<QPointF> c;
    for (std::size_t i = 0; i < f.size(); ++i) c.emplace_back(f[i], y[i]);
    return c;
  };
  std::vector<double> idealR(f.size()), idealS(f.size()), nominal(f.size());
  const double bwOrder = readNumber(bwOrder_->text().toStdString()),
               bwCutoff = readNumber(bwCutoff_->text().toStdString());
  // NaN or infinity would draw no curve at all: said beside the boxes, drawn as 1 and 1.
  const bool bwFinite = std::isfinite(bwOrder) && std::isfinite(bwCutoff);
  if (auto* bwMessage = findChild<QLabel*>(QStringLiteral("bwMessage")))
    bwMessage->setText(bwFinite ? QString()
                                : T("BW 前処理の Order と Cutoff は有限の数で入力してください（%1, %2）。Order 1、Cutoff 1 として描いています。")
                                      .arg(bwOrder_->text(), bwCutoff_->text()));
  const BwParameters bw = bwFinite ? checkedBwParameters(bwOrder, bwCutoff) : BwParameters{1.0, 1.0};
  for (std::size_t i = 0; i < f.size(); ++i) {
    idealR[i] = idealRamp(f[i]);
    idealS[i] = idealSheppLogan(f[i]);
    nominal[i] = 1 / (1 + std::pow(f[i] / bw.cutoff, bw.order));
  }
  // The program's own kernels do not change: their responses are made once.
  if (rampDft_.empty()) {
    rampDft_ = kernelResponse(reconKernelFor(ReconFilter::Ramp, b), f);
    sheppDft_ = kernelResponse(reconKernelFor(ReconFilter::SheppLogan, b), f);
  }
  const std::vector<double>& rampDft = rampDft_;
  const std::vector<double>& sheppDft = sheppDft_;
  const auto ninetap = ninetapResponse(butterworthKernelFor(bw.order, bw.cutoff, b), f);
  std::vector<double> product(f.size());
  for (std::size_t i = 0; i < f.size(); ++i) product[i] = ninetap[i] * rampDft[i];
  const auto chosen = kernelResponse(kernel, f);
  curves_ = {{T("Ramp（255 タップの DFT）"), curve(rampDft)},
             {QStringLiteral("|f|"), curve(idealR)},
             {T("Shepp-Logan（DFT）"), curve(sheppDft)},
             {QStringLiteral("|f| sinc f"), curve(idealS)},
             {T("BW 公称 1/(1+(f/fc)^n)"), curve(nominal)},
             {T("BW 9 タップ"), curve(ninetap)},
             {T("BW 9 タップ × Ramp"), curve(product)},
             {window_->currentText() + T("（選択、DFT）"), curve(chosen)}};
  // The rows' power spectrum, on a log axis of its own; made again only when the sinogram
  // changes, so that moving the cut-off stays quick.
  const QString key = pointSource_->isChecked()
                          ? QStringLiteral("point %1 %2").arg(sourceAt_.x()).arg(sourceAt_.y())
                          : QStringLiteral("row %1").arg(row);
  if (key != powerKey_) {
    std::vector<double> y(std::size_t(study_->views()) * b);
    if (pointSource_->isChecked()) {
      y = pointSinogram(*study_, sourceAt_.x(), sourceAt_.y());
    } else {
      for (int k = 0; k < study_->views(); ++k)
        for (int c = 0; c < b; ++c) y[std::size_t(k) * b + c] = study_->count(k, row, c);
    }
    const std::vector<double> power = rowPowerSpectrum(y, study_->views(), b);
    power_.clear();
    for (std::size_t k = 0; k < power.size(); ++k)
      if (power[k] > 0) power_.emplace_back(double(k) / b, power[k]);
    powerKey_ = key;
  }
  curves_.push_back({T("パワースペクトル（右軸）"), power_});
  drawPlot();
  if (lineA_.x() >= 0) setProfile(lineA_, lineB_);
}

FilterAnalysisWindow::SliceResult FilterAnalysisWindow::computeSlices(const ProjectionStudy& study, const SliceJob& job) {
  SliceResult r;
  const int b = study.bins();
  if (job.point) {
    // The point itself reconstructed by each filter: its spread is the filter's PSF.
    const std::vector<double> y = pointSinogram(study, job.at.x(), job.at.y());
    r.windowed = fbpOfSinogram(study, y, job.kernel);
    r.ramp = fbpOfSinogram(study, y, reconKernelFor(ReconFilter::Ramp, b));
    for (auto* f : {&r.windowed, &r.ramp})
      for (double& v : *f) v *= fbpToCounts(study);  // counts per pixel, as the study's slices
  } else {
    // Both slices by the one recipe, in counts per pixel as they are.
    Recipe windowed = job.corrections, plain = job.corrections;
    windowed.filter = job.window;
    windowed.windowCutoff = job.cutoff;
    windowed.windowOrder = job.order;
    r.windowed = runRecipe(study, windowed, job.row, 1).values;
    r.ramp = runRecipe(study, plain, job.row, 1).values;
  }
  return r;
}

void FilterAnalysisWindow::startSlices() {
  const SliceJob job = pending_;
  hasPending_ = false;
  const StudyPtr study = study_;
  sliceWorker_ = std::thread([this, study, job] {
    SliceResult r = computeSlices(*study, job);
    QMetaObject::invokeMethod(
        this,
        [this, job, r = std::move(r)]() mutable {
          if (sliceWorker_.joinable()) sliceWorker_.join();
          if (hasPending_) {
            startSlices();  // settings moved on meanwhile: only the latest is shown
          } else {
            showSlices(job, std::move(r));
          }
        },
        Qt::QueuedConnection);
  });
}

void FilterAnalysisWindow::waitForSlices() {
  while (sliceWorker_.joinable() || hasPending_) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

FilterAnalysisWindow::~FilterAnalysisWindow() {
  hasPending_ = false;
  if (sliceWorker_.joinable()) sliceWorker_.join();
}

void FilterAnalysisWindow::showSlices(const SliceJob& job, SliceResult r) {
  const int b = study_->bins(), row = job.row;
  const double mm = study_->geometry().pixelSizeMm;
  windowedSlice_ = std::move(r.windowed);
  rampSlice_ = std::move(r.ramp);
  windowed_->setValues(sliceValues(windowedSlice_, b, ValueUnit::CountsPerPixel, mm));
  ramp_->setValues(sliceValues(rampSlice_, b, ValueUnit::CountsPerPixel, mm));
  Recipe shown;  // what the two pictures are, for their captions
  shown.filter = job.window;
  shown.windowCutoff = job.cutoff;
  shown.windowOrder = job.order;
  QString what = TM(describeRecipe(shown, std::string(), -1)[1]);
  QString rampWhat = TM("FBP（Ramp）");
  if (!job.point)
    for (const std::string& part : describeRecipe(job.corrections, std::string(), -1))
      if (part.rfind("散乱補正", 0) == 0) what += T("、") + TM(part), rampWhat += T("、") + TM(part);
  if (job.point) {
    const QString at = T("点線源 (%1, %2)").arg(job.at.x()).arg(job.at.y());
    windowedCaption_->setText(at + T("、") + what);
    rampCaption_->setText(at + T("、") + TM("FBP（Ramp）"));
    const Fwhm fw = fwhmThrough(windowedSlice_, b, job.at.x(), job.at.y());
    const Fwhm fr = fwhmThrough(rampSlice_, b, job.at.x(), job.at.y());
    auto width = [](const Fwhm& f) {
      auto one = [](double v) { return std::isfinite(v) ? QString::number(v, 'f', 2) : T("—"); };
      return T("横 %1 × 縦 %2 画素").arg(one(f.across), one(f.down));
    };
    psfWidths_->setText(T("点を通る FWHM: %1 %2、Ramp %3").arg(job.windowName, width(fw), width(fr)));
  } else {
    const QString at = TM(describeRecipe(shown, std::string(), row)[0]);
    windowedCaption_->setText(at + T("、") + what);
    rampCaption_->setText(at + T("、") + rampWhat);
    psfWidths_->clear();
  }
  // The pictures carry what made them: study, row or point, filter.
  windowed_->setCaption(studyTitle_ + T("、") + windowedCaption_->text());
  ramp_->setCaption(studyTitle_ + T("、") + rampCaption_->text());
  windowed_->setSource(job.point ? StudyPtr() : study_, row);
  ramp_->setSource(job.point ? StudyPtr() : study_, row);
  if (const PhantomInfo* info = phantomInfo(*study_)) {
    const std::vector<float>& t = info->truth[std::size_t(sliceRowOf(row, study_->rows()))];
    truth_->setValues(sliceValues(std::vector<double>(t.begin(), t.end()), b, ValueUnit::ActivityPerMm3, mm));
    truth_->setCaption(T("%1、%2 行目: 真の分布").arg(studyTitle_).arg(row));
    auto percent = [](double v) { return std::isfinite(v) ? QString::number(v, 'f', 1) : T("—"); };
    truthError_->setText(T("真値との誤差（尺度を合わせた RMSE）: 窓付きフィルタの FBP %1 %、Ramp の FBP %2 %")
                             .arg(percent(truthRmsePercent(windowedSlice_, t, b)), percent(truthRmsePercent(rampSlice_, t, b))));
  }
  if (lineA_.x() >= 0) setProfile(lineA_, lineB_);
}

void FilterAnalysisWindow::drawPlot() {
  QChart* c = responses_->chart();
  const double mmNow = readNumber(pixelMm_->text().toStdString());
  const bool perCmNow = units_->currentIndex() == 1 && mmNow > 0 && std::isfinite(mmNow);
  const double scaleNow = perCmNow ? 10 / mmNow : 1;
  // While only the values change (the slider moves), the curves are refilled in place.
  const QList<QAbstractSeries*> existing = c->series();
  if (existing.size() == int(curves_.size()) && scaleNow == plotScale_) {
    bool same = true;
    for (int n = 0; n < existing.size(); ++n) same &= existing[n]->name() == curves_[std::size_t(n)].first;
    if (same) {
      double lo = INFINITY, hi = 0;
      for (int n = 0; n < existing.size(); ++n) {
        QList<QPointF> points;
        const bool power = curves_[std::size_t(n)].first.startsWith(T("パワー"));
        for (const QPointF& p : curves_[std::size_t(n)].second) {
          points.append({p.x() * scaleNow, p.y()});
          if (power) lo = std::min(lo, p.y()), hi = std::max(hi, p.y());
        }
        static_cast<QLineSeries*>(existing[n])->replace(points);
      }
      // The power spectrum's axis follows its sinogram (a point source's is another scale).
      for (QAbstractAxis* a : c->axes(Qt::Vertical))
        if (auto* log = qobject_cast<QLogValueAxis*>(a); log && lo <= hi) log->setRange(lo / 2, hi * 2);
      return;
    }
  }
  plotScale_ = scaleNow;
  c->removeAllSeries();
  for (QAbstractAxis* a : c->axes()) {
    c->removeAxis(a);
    delete a;
  }
  // cycles/cm = cycles/pixel / pixel size in cm, when a pixel size is known or typed.
  const double mm = readNumber(pixelMm_->text().toStdString());
  const bool perCm = units_->currentIndex() == 1 && mm > 0 && std::isfinite(mm);
  const double scale = perCm ? 10 / mm : 1;
  auto* ax = new QValueAxis;
  ax->setTitleText(perCm ? T("周波数（サイクル/cm）") : T("周波数（サイクル/画素）"));
  ax->setRange(0, 0.5 * scale);
  auto* ay = new QValueAxis;
  ay->setTitleText(T("応答"));
  auto* logAxis = new QLogValueAxis;
  logAxis->setTitleText(T("パワー"));
  logAxis->setLabelFormat(QStringLiteral("%.0e"));
  c->addAxis(ax, Qt::AlignBottom);
  c->addAxis(ay, Qt::AlignLeft);
  c->addAxis(logAxis, Qt::AlignRight);
  double top = 0.6, lo = INFINITY, hi = 0;
  // Nine distinct colours (Okabe and Ito's eight and grey); the ideal curves dashed.
  const QColor colours[] = {QColor(0, 114, 178), QColor(86, 180, 233), QColor(213, 94, 0), QColor(230, 159, 0),
                            QColor(0, 158, 115), QColor(204, 121, 167), QColor(0, 0, 0), QColor(200, 30, 30),
                            QColor(150, 150, 150)};
  int n = 0;
  for (const auto& [name, points] : curves_) {
    auto* s = new QLineSeries;
    s->setName(name);
    const bool ideal = n == 1 || n == 3 || n == 4;
    styleSeries(s, colours[std::min(n, 8)], ideal, n == 7 ? 3 : 2);
    ++n;
    const bool power = name.startsWith(T("パワー"));
    for (const QPointF& pt : points) {
      s->append(pt.x() * scale, pt.y());
      if (power) lo = std::min(lo, pt.y()), hi = std::max(hi, pt.y());
      else top = std::max(top, pt.y());
    }
    c->addSeries(s);
    s->attachAxis(ax);
    s->attachAxis(power ? static_cast<QAbstractAxis*>(logAxis) : ay);
  }
  ay->setRange(-0.05, std::min(top, 1.1) + 0.05);
  if (lo <= hi) logAxis->setRange(lo / 2, hi * 2);  // a flat spectrum (a point) too
}

void FilterAnalysisWindow::setProfile(const QPoint& a, const QPoint& b) {
  lineA_ = a;
  lineB_ = b;
  windowed_->setLine(a, b);
  ramp_->setLine(a, b);
  const int n = study_->bins();
  QChart* c = profile_->chart();
  c->removeAllSeries();
  auto* ax = qobject_cast<QValueAxis*>(c->axes(Qt::Horizontal).value(0));
  auto* ay = qobject_cast<QValueAxis*>(c->axes(Qt::Vertical).value(0));
  double x1 = 1, y0 = 0, y1 = 1;
  for (const auto& [name, slice] : {std::pair{window_->currentText(), windowedSlice_},
                                    std::pair{QStringLiteral("Ramp"), rampSlice_}}) {
    auto* s = new QLineSeries;
    s->setName(name);
    // The colours of these two filters in the response plot.
    styleSeries(s, name == QLatin1String("Ramp") ? QColor(0, 114, 178) : QColor(200, 30, 30), false);
    for (const QPointF& p : profileAlong(slice, n, a, b)) {
      s->append(p);
      x1 = std::max(x1, p.x());
      y0 = std::min(y0, p.y());
      y1 = std::max(y1, p.y());
    }
    c->addSeries(s);
    s->attachAxis(ax);
    s->attachAxis(ay);
  }
  ax->setRange(0, x1);
  ay->setRange(y0, y1);
}
