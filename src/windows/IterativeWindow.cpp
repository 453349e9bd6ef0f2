#include "windows/IterativeWindow.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEventLoop>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "platform/number.h"
#include "platform/tr.h"
#include "windows/PictureView.h"

using namespace sinora;

namespace {

PlotView* makeChart(const QString& title, const QString& x, const QString& y) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto* ax = new QValueAxis;
  ax->setTitleText(x);
  auto* ay = new QValueAxis;
  ay->setTitleText(y);
  chart->addAxis(ax, Qt::AlignBottom);
  chart->addAxis(ay, Qt::AlignLeft);
  auto* view = new PlotView(chart);
  view->setMinimumSize(380, 250);
  return view;
}

// Replaces the chart's curves; each is a name and its points. Axes fit the points.
void plot(QChart* chart, const std::vector<std::pair<QString, std::vector<QPointF>>>& curves) {
  chart->removeAllSeries();
  auto* ax = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
  auto* ay = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  for (const auto& [name, points] : curves) {
    auto* s = new QLineSeries;
    s->setName(name);
    for (const QPointF& p : points) {
      if (!std::isfinite(p.y())) continue;
      s->append(p);
      x0 = std::min(x0, p.x());
      x1 = std::max(x1, p.x());
      y0 = std::min(y0, p.y());
      y1 = std::max(y1, p.y());
    }
    chart->addSeries(s);
    s->attachAxis(ax);
    s->attachAxis(ay);
  }
  if (x0 <= x1) {
    ax->setRange(x0, x1 > x0 ? x1 : x0 + 1);
    const double pad = y1 > y0 ? (y1 - y0) * 0.05 : 1;
    ay->setRange(y0 - pad, y1 + pad);
  }
}

// Mean and standard deviation / mean of a slice [i * B + j] over a region of picture pixels
// (x = i, y = j).
std::pair<double, double> regionStats(const std::vector<double>& f, int b, const QRect& r) {
  double sum = 0, sq = 0;
  int n = 0;
  for (int x = r.left(); x <= r.right(); ++x)
    for (int y = r.top(); y <= r.bottom(); ++y) {
      if (x < 0 || y < 0 || x >= b || y >= b) continue;
      const double v = f[std::size_t(x) * b + y];
      sum += v;
      sq += v * v;
      ++n;
    }
  if (n == 0) return {NAN, NAN};
  const double mean = sum / n;
  const double var = std::max(0.0, sq / n - mean * mean);
  return {mean, mean != 0 ? std::sqrt(var) / mean : NAN};
}

}  // namespace

IterativeWindow::IterativeWindow(CSinoraDoc* doc, QWidget* parent)
    : QDialog(parent), doc_(doc), study_(doc->ProjectionStudy()) {
  setWindowTitle(T("逐次近似再構成"));
  const int views = study_->views(), rows = study_->rows();

  // Settings.
  row_ = new QSpinBox;
  row_->setRange(0, rows - 1);
  row_->setValue(sliceRowOf(60, rows));  // the reconstruction window's first slice
  method_ = new QComboBox;
  method_->addItems({QStringLiteral("MLEM"), QStringLiteral("OSEM")});
  method_->setCurrentIndex(1);
  subsets_ = new QComboBox;
  iterations_ = new QSpinBox;
  iterations_->setRange(1, 100);
  iterations_->setValue(10);
  fwhm_ = new QDoubleSpinBox;
  fwhm_->setRange(0, 20);
  fwhm_->setSingleStep(0.5);
  fwhm_->setSpecialValueText(T("なし"));
  fwhmMm_ = new QLabel;
  ribbon_ = new QRadioButton(QStringLiteral("Ribbon"));
  grey_ = new QRadioButton(QStringLiteral("Black-White"));
  ribbon_->setChecked(true);
  ramp_ = new QRadioButton(QStringLiteral("Ramp"));
  shepp_ = new QRadioButton(QStringLiteral("Shepp-Logan"));
  ramp_->setChecked(true);
  auto* colours = new QButtonGroup(this);
  colours->addButton(ribbon_);
  colours->addButton(grey_);
  auto* filters = new QButtonGroup(this);
  filters->addButton(ramp_);
  filters->addButton(shepp_);
  prefilter_ = new QCheckBox(T("BW 前処理"));
  order_ = new QLineEdit(QStringLiteral("8"));
  cutoff_ = new QLineEdit(QStringLiteral("0.15"));
  run_ = new QPushButton(T("再構成"));
  run_->setDefault(true);
  volume_ = new QPushButton(T("全スライス"));
  cancel_ = new QPushButton(T("キャンセル"));
  cancel_->setEnabled(false);
  progress_ = new QProgressBar;
  progress_->setRange(0, 2 * rows);
  progress_->setValue(0);
  message_ = new QLabel;
  message_->setWordWrap(true);
  dragMode_ = new QComboBox;
  dragMode_->addItems({T("領域"), T("プロファイル")});
  const PhantomInfo* phantom = phantomInfo(*study_);
  chang_ = new QComboBox;
  chang_->addItems({T("なし"), T("Chang 1次"), T("Chang 1次 + 反復1回")});
  attenuatedOsem_ = new QCheckBox(T("OSEM の投影に減弱を入れる"));
  mu_ = new QDoubleSpinBox;
  mu_->setRange(0, 2);
  mu_->setDecimals(3);
  mu_->setSingleStep(0.01);
  mu_->setValue(phantom && phantom->settings.muPerCm > 0 ? phantom->settings.muPerCm : 0.15);
  outline_ = new QComboBox;
  outline_->addItem(T("ファントムの輪郭"));
  outline_->addItem(T("FBP のしきい値"));
  const bool ownOutline = phantom && phantom->object.outline >= 0;
  if (!ownOutline) {
    outline_->setItemData(0, 0, Qt::UserRole - 1);  // not selectable without a phantom's outline
    outline_->setCurrentIndex(1);
  }
  threshold_ = new QSpinBox;
  threshold_->setRange(1, 99);
  threshold_->setValue(20);
  threshold_->setSuffix(QStringLiteral(" %"));

  auto* form = new QFormLayout;
  form->addRow(T("スライス（行）"), row_);
  form->addRow(T("方法"), method_);
  form->addRow(T("サブセット数"), subsets_);
  form->addRow(T("反復回数"), iterations_);
  auto* fwhmRow = new QHBoxLayout;
  fwhmRow->addWidget(fwhm_);
  fwhmRow->addWidget(fwhmMm_);
  form->addRow(T("ガウス後処理 FWHM（画素）"), fwhmRow);
  auto* colourRow = new QHBoxLayout;
  colourRow->addWidget(ribbon_);
  colourRow->addWidget(grey_);
  form->addRow(QStringLiteral("Color"), colourRow);
  auto* fbpRow = new QHBoxLayout;
  fbpRow->addWidget(ramp_);
  fbpRow->addWidget(shepp_);
  form->addRow(T("FBP フィルタ"), fbpRow);
  auto* bwRow = new QHBoxLayout;
  bwRow->addWidget(prefilter_);
  bwRow->addWidget(new QLabel(QStringLiteral("Order")));
  bwRow->addWidget(order_);
  bwRow->addWidget(new QLabel(QStringLiteral("Cutoff")));
  bwRow->addWidget(cutoff_);
  form->addRow(bwRow);
  form->addRow(T("FBP の減弱補正"), chang_);
  form->addRow(attenuatedOsem_);
  form->addRow(T("μ（cm^-1）"), mu_);
  auto* outlineRow = new QHBoxLayout;
  outlineRow->addWidget(outline_);
  outlineRow->addWidget(threshold_);
  form->addRow(T("減弱の輪郭"), outlineRow);
  form->addRow(T("ドラッグ"), dragMode_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(run_);
  buttons->addWidget(volume_);
  buttons->addWidget(cancel_);
  form->addRow(buttons);
  form->addRow(progress_);
  form->addRow(message_);

  // Pictures.
  projection_ = new PictureView;
  projection_->setDrag(PictureView::Drag::Point);
  fbp_ = new PictureView;
  osemView_ = new PictureView;
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setRange(1, 1);
  iterationLabel_ = new QLabel;
  auto* pictures = new QGridLayout;
  pictures->addWidget(new QLabel(T("プロジェクション（クリックで行を選ぶ）")), 0, 0);
  pictures->addWidget(new QLabel(QStringLiteral("FBP")), 0, 1);
  pictures->addWidget(new QLabel(QStringLiteral("MLEM / OSEM")), 0, 2);
  pictures->addWidget(projection_, 1, 0);
  pictures->addWidget(fbp_, 1, 1);
  pictures->addWidget(osemView_, 1, 2);
  truth_ = new PictureView;
  errors_ = new QLabel;
  errors_->setObjectName(QStringLiteral("errors"));
  errors_->setWordWrap(true);
  auto* truthCaption = new QLabel(T("真の分布"));
  pictures->addWidget(truthCaption, 0, 3);
  pictures->addWidget(truth_, 1, 3);
  pictures->addWidget(errors_, 3, 0, 1, 4);
  for (QWidget* w : {static_cast<QWidget*>(truthCaption), static_cast<QWidget*>(truth_), static_cast<QWidget*>(errors_)})
    w->setVisible(phantom != nullptr);
  auto* sliderRow = new QHBoxLayout;
  sliderRow->addWidget(new QLabel(T("反復")));
  sliderRow->addWidget(slider_, 1);
  sliderRow->addWidget(iterationLabel_);
  pictures->addLayout(sliderRow, 2, 2);

  likelihood_ = makeChart(T("対数尤度"), T("反復"), QStringLiteral("log L"));
  region_ = makeChart(T("領域の平均（実線）と SD/平均（破線）"), T("反復"),
                      T("平均（カウント/画素）"));
  profile_ = makeChart(T("プロファイル"), T("距離（画素）"),
                       T("カウント/画素"));
  auto* charts = new QHBoxLayout;
  charts->addWidget(likelihood_);
  charts->addWidget(region_);
  charts->addWidget(profile_);

  planeSource_ = new QComboBox;
  planeSource_->addItems({QStringLiteral("OSEM"), QStringLiteral("FBP")});
  auto* planes = new QHBoxLayout;
  const QString names[3] = {T("横断"), T("冠状断"), T("矢状断")};
  for (int p = 0; p < 3; ++p) {
    planes_[p] = new PictureView;
    planes_[p]->setDrag(PictureView::Drag::Point);
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel(names[p]));
    column->addWidget(planes_[p]);
    planes->addLayout(column);
  }
  auto* planeBox = new QGroupBox(T("全スライス"));
  auto* planeColumn = new QVBoxLayout;
  auto* sourceRow = new QHBoxLayout;
  sourceRow->addWidget(new QLabel(T("表示")));
  sourceRow->addWidget(planeSource_);
  sourceRow->addStretch(1);
  planeColumn->addLayout(sourceRow);
  planeColumn->addLayout(planes);
  planeBox->setLayout(planeColumn);

  auto* right = new QVBoxLayout;
  right->addLayout(pictures);
  right->addLayout(charts);
  right->addWidget(planeBox);
  auto* content = new QWidget;
  auto* top = new QHBoxLayout(content);
  top->addLayout(form);
  top->addLayout(right, 1);
  setScrollingContent(this, content);

  connect(method_, &QComboBox::currentIndexChanged, this, &IterativeWindow::updateSubsets);
  connect(run_, &QPushButton::clicked, this, &IterativeWindow::reconstruct);
  connect(slider_, &QSlider::valueChanged, this, &IterativeWindow::showIteration);
  connect(fwhm_, &QDoubleSpinBox::valueChanged, this, [this] {
    const double mm = study_->geometry().pixelSizeMm;
    fwhmMm_->setText(mm > 0 ? QStringLiteral("= %1 mm").arg(fwhm_->value() * mm, 0, 'f', 1) : QString());
    showIteration(slider_->value());
    drawPlanes();
  });
  for (QRadioButton* r : {ribbon_, grey_})
    connect(r, &QRadioButton::toggled, this, [this] {
      showIteration(slider_->value());
      showProjection();
      drawPlanes();
    });
  connect(projection_, &PictureView::pointChosen, this, &IterativeWindow::pickRow);
  connect(row_, &QSpinBox::valueChanged, this, [this] { projection_->setLine({0, row_->value()}, {study_->bins() - 1, row_->value()}); });
  connect(dragMode_, &QComboBox::currentIndexChanged, this, [this](int i) {
    const auto d = i == 0 ? PictureView::Drag::Region : PictureView::Drag::Line;
    fbp_->setDrag(d);
    osemView_->setDrag(d);
  });
  for (PictureView* v : {fbp_, osemView_}) {
    connect(v, &PictureView::regionChosen, this, &IterativeWindow::setRegion);
    connect(v, &PictureView::lineChosen, this, &IterativeWindow::setProfile);
  }
  connect(volume_, &QPushButton::clicked, this, &IterativeWindow::startVolume);
  connect(planeSource_, &QComboBox::currentIndexChanged, this, &IterativeWindow::drawPlanes);
  connect(cancel_, &QPushButton::clicked, this, &IterativeWindow::cancelVolume);
  connect(planes_[0], &PictureView::pointChosen, this,
          [this](QPoint p) { setCrosshair(p.x(), p.y(), cross_[2]); });
  connect(planes_[1], &PictureView::pointChosen, this,
          [this](QPoint p) { setCrosshair(p.x(), cross_[1], p.y()); });
  connect(planes_[2], &PictureView::pointChosen, this,
          [this](QPoint p) { setCrosshair(cross_[0], p.x(), p.y()); });

  updateSubsets();
  showProjection();
  projection_->setLine({0, row_->value()}, {study_->bins() - 1, row_->value()});
  (void)views;
}

IterativeWindow::~IterativeWindow() {
  stopVolume_ = true;
  if (worker_.joinable()) worker_.join();
}

QChart* IterativeWindow::likelihoodChart() const { return likelihood_->chart(); }
QChart* IterativeWindow::regionChart() const { return region_->chart(); }
QChart* IterativeWindow::profileChart() const { return profile_->chart(); }

void IterativeWindow::updateSubsets() {
  const int views = study_->views();
  const QString keep = subsets_->currentText();
  subsets_->clear();
  // Subsets divide the views evenly: each is every M-th view.
  for (int m = 1; m <= views; ++m)
    if (views % m == 0) subsets_->addItem(QString::number(m), m);
  const bool mlem = method_->currentIndex() == 0;
  if (mlem) {
    subsets_->setCurrentIndex(0);
  } else {
    int pick = subsets_->findText(keep);
    if (pick <= 0) pick = subsets_->findData(10);
    if (pick < 0) pick = std::min(1, subsets_->count() - 1);
    subsets_->setCurrentIndex(pick);
  }
  subsets_->setEnabled(!mlem);
}

Palette IterativeWindow::palette() const {
  return grey_->isChecked() ? Palette::BlackWhite : Palette::Ribbon;
}

void IterativeWindow::showProjection() {
  projection_->setPicture(projectionPicture(*study_, 0, 7), palette());
}

void IterativeWindow::pickRow(const QPoint& p) {
  if (p.y() >= 0 && p.y() < study_->rows()) row_->setValue(p.y());
}

// A slice as the windows show one: rounded, negatives to 0, maximum from 1, divisor = maximum +
// 7 - 10 as a filtered slice at the reconstruction window's first density offset.
Picture IterativeWindow::picture(const std::vector<double>& f, int b) const {
  Picture out;
  out.width = out.height = b;
  out.values.resize(std::size_t(b) * b);
  std::int32_t max = 1;
  for (int x = 0; x < b; ++x)
    for (int y = 0; y < b; ++y) {
      const std::int32_t v = std::max(0, toImageValue(f[std::size_t(x) * b + y]));
      out.values[std::size_t(y) * b + x] = v;
      max = std::max(max, v);
    }
  out.divisor = std::int64_t(max) + 7 - 10;
  return out;
}

void IterativeWindow::reconstruct() {
  const int v = study_->views();
  const int m = subsets_->currentData().toInt();
  if (m < 1 || v % m != 0) {
    message_->setText(T("サブセット数 %1 はビュー数 %2 を割り切れません。").arg(m).arg(v));
    return;
  }
  const int row = row_->value();
  // FBP of the same slice, with or without the pre-filter, as in the reconstruction window.
  const ReconFilter filter = shepp_->isChecked() ? ReconFilter::SheppLogan : ReconFilter::Ramp;
  const BwParameters bw = checkedBwParameters(readNumber(order_->text().toStdString()),
                                              readNumber(cutoff_->text().toStdString()));
  const Picture fbp = prefilter_->isChecked() ? prefilteredPicture(*study_, row, filter, bw, 7)
                                              : filteredPicture(*study_, row, filter, 7);
  const int b = study_->bins();
  // The program's FBP sums its views without the factor pi / V of the inverse Radon transform;
  // with it, its values are in OSEM's units (counts per pixel) and the plots can compare them.
  const double toCounts = 3.14159265358979323846 / study_->views();
  std::vector<double> slice(std::size_t(b) * b, 0.0);
  for (int x = 0; x < b; ++x)
    for (int y = 0; y < b; ++y) slice[std::size_t(x) * b + y] = fbp.at(x, y) * toCounts;
  // Attenuation, when asked for: all or nothing, so a refusal leaves the pictures as they were.
  const bool correctFbp = chang_->currentIndex() > 0, correctOsem = attenuatedOsem_->isChecked();
  Outline outline;
  double mu = 0;
  ViewWeights weights;
  if (correctFbp || correctOsem) {
    QString why;
    if (!attenuationModel(row, slice, outline, mu, why)) {
      message_->setText(why);
      return;
    }
    if (correctOsem) weights = attenuationWeights(*study_, outline, mu);
  }
  resultRow_ = row;
  result_ = osem(*study_, resultRow_, m, iterations_->value(), 2, nullptr, true,
                 correctOsem ? &weights : nullptr);
  if (correctFbp) {
    fbpSlice_ = changCorrected(*study_, row, slice, filter, outline, mu, chang_->currentIndex() - 1);
    fbp_->setPicture(picture(fbpSlice_, b), palette());
  } else {
    fbpSlice_ = std::move(slice);
    fbp_->setPicture(fbp, palette());
  }
  if (const PhantomInfo* info = phantomInfo(*study_)) {
    // Activities are per mm^3: shown over the slice's own range.
    const std::vector<float>& t = info->truth[std::size_t(row)];
    const double top = std::max(1e-300, double(*std::max_element(t.begin(), t.end())));
    std::vector<double> shown(t.size());
    for (std::size_t n = 0; n < t.size(); ++n) shown[n] = t[n] * 1000 / top;
    truth_->setPicture(picture(shown, b), palette());
  }
  std::vector<QPointF> l;
  for (std::size_t n = 0; n < result_.likelihood.size(); ++n) l.emplace_back(double(n + 1), result_.likelihood[n]);
  plot(likelihood_->chart(), {{QStringLiteral("log L"), l}});
  slider_->blockSignals(true);
  slider_->setRange(1, int(result_.images.size()));
  slider_->setValue(int(result_.images.size()));
  slider_->blockSignals(false);
  QString corrections;
  if (correctFbp) corrections += T("、FBP は %1").arg(chang_->currentText());
  if (correctOsem) corrections += T("、OSEM は減弱込み");
  if (correctFbp || correctOsem)
    corrections += T("（μ = %1 cm^-1、%2）").arg(mu_->value()).arg(outline_->currentText());
  message_->setText(T("%1 行目: %2、サブセット %3 × 反復 %4")
                        .arg(resultRow_)
                        .arg(m == 1 ? QStringLiteral("MLEM") : QStringLiteral("OSEM"))
                        .arg(m)
                        .arg(iterations_->value()) +
                    corrections);
  showIteration(slider_->value());
  if (regionRect_.isValid()) setRegion(regionRect_);
}

bool IterativeWindow::attenuationModel(int row, const std::vector<double>& fbp, Outline& outline,
                                       double& mu, QString& why) const {
  const double pixel = study_->geometry().pixelSizeMm;
  if (!(pixel > 0)) {
    why = T("画素サイズが分からないため、μ（cm^-1）を画素あたりにできず、減弱を補正できません。");
    return false;
  }
  // The attenuated projector keeps one weight a pixel a view.
  if (attenuatedOsem_->isChecked() &&
      double(study_->views()) * study_->bins() * study_->bins() > 16.0 * 1024 * 1024) {
    why = T("この検査（%1 ビュー × %2 x %2）は減弱込みの OSEM には大きすぎます。")
              .arg(study_->views())
              .arg(study_->bins());
    return false;
  }
  mu = muPerPixel(mu_->value(), pixel);
  outline = outline_->currentIndex() == 0 ? phantomOutline(*study_, row)
                                          : thresholdOutline(fbp, study_->bins(), threshold_->value() / 100.0);
  if (!outline.present) {
    why = outline_->currentIndex() == 0 ? T("%1 行目はファントムの輪郭の外です。").arg(row)
                                        : T("%1 行目の FBP にしきい値を超える画素がありません。").arg(row);
    return false;
  }
  return true;
}

void IterativeWindow::showErrors() {
  const PhantomInfo* info = phantomInfo(*study_);
  if (!info || result_.images.empty()) return;
  const int b = study_->bins();
  const std::vector<float>& t = info->truth[std::size_t(resultRow_)];
  const std::vector<double> os = shownOsem();
  std::vector<bool> region;
  QString where;
  if (regionRect_.isValid()) {
    region.assign(std::size_t(b) * b, false);
    for (int x = std::max(0, regionRect_.left()); x <= std::min(b - 1, regionRect_.right()); ++x)
      for (int y = std::max(0, regionRect_.top()); y <= std::min(b - 1, regionRect_.bottom()); ++y)
        region[std::size_t(x) * b + y] = true;
    where = T("選んだ領域");
  } else {
    region = featureMask(*info, resultRow_);
    where = T("物体の特徴部");
  }
  auto text = [](double v, int digits) { return std::isfinite(v) ? QString::number(v, 'f', digits) : T("—"); };
  errors_->setText(T("真値との誤差（尺度を合わせた RMSE）: FBP %1 %、OSEM %2 %\n回復コントラスト（%3 / 背景）: FBP %4、OSEM %5")
                       .arg(text(truthRmsePercent(fbpSlice_, t, b), 1), text(truthRmsePercent(os, t, b), 1), where,
                            text(recoveredContrast(fbpSlice_, *info, resultRow_, region), 2),
                            text(recoveredContrast(os, *info, resultRow_, region), 2)));
}

std::vector<double> IterativeWindow::shownOsem() const {
  if (result_.images.empty()) return {};
  const int it = std::clamp(slider_->value(), 1, int(result_.images.size()));
  return gaussianFilter(result_.images[std::size_t(it - 1)], study_->bins(), fwhm_->value());
}

void IterativeWindow::showIteration(int iteration) {
  if (result_.images.empty()) return;
  iterationLabel_->setText(QString::number(iteration));
  osemView_->setPicture(picture(shownOsem(), study_->bins()), palette());
  fbp_->setPicture(fbp_->picture(), palette());
  if (truth_->isVisibleTo(this)) truth_->setPicture(truth_->picture(), palette());
  showErrors();
  if (lineA_.x() >= 0) setProfile(lineA_, lineB_);
}

void IterativeWindow::setRegion(const QRect& r) {
  regionRect_ = r;
  fbp_->setRegion(r);
  osemView_->setRegion(r);
  if (result_.images.empty()) return;
  showErrors();
  const int b = study_->bins();
  std::vector<QPointF> mean, noise;
  for (std::size_t n = 0; n < result_.images.size(); ++n) {
    const auto [m, cv] = regionStats(gaussianFilter(result_.images[n], b, fwhm_->value()), b, r);
    mean.emplace_back(double(n + 1), m);
    noise.emplace_back(double(n + 1), cv);
  }
  const auto [fm, fcv] = regionStats(fbpSlice_, b, r);
  const double last = double(result_.images.size());
  // FBP does not iterate: its values are flat lines. Means on the left axis, noise (SD / mean,
  // per cent) on the right.
  QChart* c = region_->chart();
  plot(c, {{QStringLiteral("OSEM"), mean}, {QStringLiteral("FBP"), {{1, fm}, {last, fm}}}});
  QValueAxis* right = nullptr;
  for (QAbstractAxis* a : c->axes(Qt::Vertical))
    if (c->axes(Qt::Vertical).indexOf(a) > 0) right = qobject_cast<QValueAxis*>(a);
  if (!right) {
    right = new QValueAxis;
    right->setTitleText(T("SD/平均 (%)"));
    c->addAxis(right, Qt::AlignRight);
  }
  double lo = INFINITY, hi = -INFINITY;
  // Each method's noise in its mean's colour, dashed.
  const QList<QAbstractSeries*> means = c->series();
  auto colourOf = [&](int n) {
    auto* line = n < means.size() ? qobject_cast<QLineSeries*>(means[n]) : nullptr;
    return line ? line->color() : QColor(Qt::black);
  };
  int which = 0;
  auto noiseSeries = [&](const QString& name, const std::vector<QPointF>& points) {
    auto* s = new QLineSeries;
    s->setName(name);
    s->setPen(QPen(colourOf(which++), 2, Qt::DashLine));
    for (const QPointF& p : points)
      if (std::isfinite(p.y())) {
        s->append(p.x(), p.y() * 100);
        lo = std::min(lo, p.y() * 100);
        hi = std::max(hi, p.y() * 100);
      }
    c->addSeries(s);
    s->attachAxis(c->axes(Qt::Horizontal).value(0));
    s->attachAxis(right);
  };
  noiseSeries(QStringLiteral("OSEM SD%"), noise);
  noiseSeries(QStringLiteral("FBP SD%"), {{1, fcv}, {last, fcv}});
  if (lo <= hi) right->setRange(lo - 1, hi + 1);
}

void IterativeWindow::setProfile(const QPoint& a, const QPoint& b) {
  lineA_ = a;
  lineB_ = b;
  fbp_->setLine(a, b);
  osemView_->setLine(a, b);
  if (result_.images.empty()) return;
  const int n = study_->bins();
  plot(profile_->chart(), {{T("FBP × π/V"), profileAlong(fbpSlice_, n, a, b)},
                           {QStringLiteral("OSEM"), profileAlong(shownOsem(), n, a, b)}});
}

void IterativeWindow::startVolume() {
  if (worker_.joinable()) return;
  const int v = study_->views(), m = subsets_->currentData().toInt();
  if (m < 1 || v % m != 0) return;
  // Refused before it starts when it would hold more than the limit.
  if (const std::uint64_t need = volumeMemoryBytes(*study_); need > kVolumeMemoryLimit) {
    message_->setText(T("全スライスには約 %1 MB のメモリーが要り、上限の %2 MB を超えるため再構成しません。")
                          .arg((need + (1u << 20) - 1) >> 20)
                          .arg(kVolumeMemoryLimit >> 20));
    return;
  }
  volumeDone_ = volumeStopped_ = false;
  stopVolume_ = false;
  rowsDone_ = 0;
  progress_->setValue(0);
  volume_->setEnabled(false);
  run_->setEnabled(false);
  cancel_->setEnabled(true);
  message_->setText(T("全スライスを再構成しています..."));
  // The current settings: filter, pre-filter, subsets and iterations.
  const ReconFilter filter = shepp_->isChecked() ? ReconFilter::SheppLogan : ReconFilter::Ramp;
  const bool prefilter = prefilter_->isChecked();
  const BwParameters bw = checkedBwParameters(readNumber(order_->text().toStdString()),
                                              readNumber(cutoff_->text().toStdString()));
  const int iterations = iterations_->value();
  const StudyPtr study = study_;
  worker_ = std::thread([this, study, filter, prefilter, bw, m, iterations] {
    auto step = [this](int) {
      const int done = ++rowsDone_;
      QMetaObject::invokeMethod(this, [this, done] { progress_->setValue(done); }, Qt::QueuedConnection);
      return !stopVolume_.load();
    };
    auto fbp = fbpVolume(*study, filter, 2, step, prefilter ? &bw : nullptr);
    auto os = stopVolume_ ? decltype(fbp){} : osemVolume(*study, m, iterations, 2, step, &stopVolume_);
    const bool complete = !stopVolume_;
    QMetaObject::invokeMethod(
        this,
        [this, complete, f = std::move(fbp), o = std::move(os)]() mutable {
          fbpVolume_ = std::move(f);
          osemVolume_ = std::move(o);
          volumeFinished(complete);
        },
        Qt::QueuedConnection);
  });
}

void IterativeWindow::cancelVolume() { stopVolume_ = true; }

void IterativeWindow::volumeFinished(bool complete) {
  if (worker_.joinable()) worker_.join();
  volume_->setEnabled(true);
  run_->setEnabled(true);
  cancel_->setEnabled(false);
  volumeDone_ = complete;
  volumeStopped_ = !complete;
  if (!complete) {
    osemVolume_.clear();
    fbpVolume_.clear();
    progress_->setValue(0);
    message_->setText(T("全スライスの再構成を中止しました。"));
    return;
  }
  message_->setText(T("全スライス: %1 行").arg(study_->rows()));
  const int b = study_->bins();
  setCrosshair(b / 2, b / 2, row_->value());
}

void IterativeWindow::waitForVolume() {
  while (worker_.joinable() && !volumeDone_ && !volumeStopped_) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void IterativeWindow::setCrosshair(int i, int j, int row) {
  const int b = study_->bins(), r = study_->rows();
  cross_[0] = std::clamp(i, 0, b - 1);
  cross_[1] = std::clamp(j, 0, b - 1);
  cross_[2] = std::clamp(row, 0, r - 1);
  drawPlanes();
}

void IterativeWindow::drawPlanes() {
  if (!volumeDone_ || osemVolume_.empty()) return;
  const int b = study_->bins(), rows = study_->rows();
  // OSEM with the post-filter of the slice (each transverse slice filtered), or FBP as it is.
  const bool fbp = planeSource_->currentIndex() == 1;
  // Slice by slice (each filtered on its own), so that no copy of the volume is made.
  const std::vector<std::vector<double>>& volume = fbp ? fbpVolume_ : osemVolume_;
  const bool filtered = !fbp && fwhm_->value() > 0;
  Picture t, c, sg;
  t.width = t.height = b;
  c.width = sg.width = b;
  c.height = sg.height = rows;
  t.values.assign(std::size_t(b) * b, 0);
  c.values.assign(std::size_t(b) * rows, 0);
  sg.values.assign(std::size_t(b) * rows, 0);
  double top = 1;  // one display scale for the whole volume
  std::vector<double> one;
  for (int row = 0; row < rows; ++row) {
    const std::vector<double>* s = &volume[std::size_t(row)];
    if (s->empty()) continue;
    if (filtered) {
      one = gaussianFilter(*s, b, fwhm_->value());
      s = &one;
    }
    for (double v : *s) top = std::max(top, v);
    auto value = [&](int i, int j) { return std::max(0, toImageValue((*s)[std::size_t(i) * b + j])); };
    if (row == cross_[2])
      for (int y = 0; y < b; ++y)
        for (int x = 0; x < b; ++x) t.values[std::size_t(y) * b + x] = value(x, y);
    // Coronal: i across, rows down at the crosshair's j; sagittal: j across, rows down at its i.
    for (int x = 0; x < b; ++x) {
      c.values[std::size_t(row) * b + x] = value(x, cross_[1]);
      sg.values[std::size_t(row) * b + x] = value(cross_[0], x);
    }
  }
  t.divisor = c.divisor = sg.divisor = std::max<std::int32_t>(1, toImageValue(top)) + 7 - 10;
  planes_[0]->setPicture(t, palette());
  planes_[1]->setPicture(c, palette());
  planes_[2]->setPicture(sg, palette());
  planes_[0]->setCrosshair({cross_[0], cross_[1]});
  planes_[1]->setCrosshair({cross_[0], cross_[2]});
  planes_[2]->setCrosshair({cross_[1], cross_[2]});
}
