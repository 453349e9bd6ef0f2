#include "windows/IterativeWindow.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
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
#include <QTabWidget>
#include <QCloseEvent>
#include <QMessageBox>
#include <QWheelEvent>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "imaging/resolution.h"
#include "platform/number.h"
#include "platform/tr.h"
#include "windows/CtPanel.h"
#include "windows/ExportResult.h"
#include "windows/PictureView.h"
#include "windows/ResolutionPanel.h"
#include "windows/ScatterPanel.h"

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
    styleSeries(s, methodColour(name), false);
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
  studyTitle_ = studyCaption(doc->GetTitle(), *study_);
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
  for (QLineEdit* e : {order_, cutoff_})
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0.0000")) + 16);
  run_ = new QPushButton(T("再構成"));
  volume_ = new QPushButton(T("全スライス"));
  cancel_ = new QPushButton(T("キャンセル"));
  export_ = new QPushButton(T("書き出し..."));
  export_->setAutoDefault(false);
  // Return in a box starts nothing: 全スライス and a large study's 再構成 take seconds.
  for (QPushButton* b : {run_, volume_, cancel_}) b->setAutoDefault(false);
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
  // Instead of mu inside an outline: the phantom's own map, and the same map 1 cm off as a CT
  // taken apart from the SPECT would be.
  outline_->addItem(T("ファントムの μ マップ"));
  outline_->addItem(T("ファントムの μ マップ（右へ 1 cm ずれた）"));
  if (!phantom || phantom->mu.empty())
    for (int item : {2, 3}) outline_->setItemData(item, 0, Qt::UserRole - 1);
  // As wide as the outlines' names: the longer choices show whole in the list, and the window
  // keeps the width that lets its settings stand beside the pictures.
  outline_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  outline_->setMinimumContentsLength(14);
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
  ct_ = new CtPanel(doc_, study_);
  form->addRow(ct_);
  scatter_ = new ScatterControls(study_, form, this);
  resolution_ = new ResolutionControls(study_, form, this);
  form->addRow(T("ドラッグ"), dragMode_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(run_);
  buttons->addWidget(volume_);
  buttons->addWidget(cancel_);
  buttons->addWidget(export_);
  // Under the scrolling settings and pictures, always in sight: the settings column is taller
  // than a 768-pixel screen.
  auto* below = new QVBoxLayout;
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addLayout(buttons);
  buttonRow->addWidget(progress_, 1);
  below->addLayout(buttonRow);
  below->addWidget(message_);

  // Pictures two by two, each under the caption of the settings that made it.
  projection_ = new PictureView;
  projection_->setDrag(PictureView::Drag::Point);
  fbp_ = new PictureView;
  osemView_ = new PictureView;
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setRange(1, 1);
  iterationLabel_ = new QLabel;
  auto caption = [](const QString& text) { return pictureCaption(text, 2 * kSize); };
  fbpCaption_ = caption(QStringLiteral("FBP"));
  osemCaption_ = caption(QStringLiteral("MLEM / OSEM"));
  truthCaption_ = caption(T("真の分布"));
  rowHint_ = new QLabel;
  rowHint_->setWordWrap(true);
  rowHint_->setObjectName(QStringLiteral("rowHint"));
  auto* pictures = new QGridLayout;
  pictures->addWidget(rowHint_, 0, 0, 1, 2);
  pictures->addWidget(caption(T("プロジェクション（クリックで行を選ぶ）")), 1, 0);
  pictures->addWidget(fbpCaption_, 1, 1);
  pictures->addWidget(projection_, 2, 0);
  pictures->addWidget(fbp_, 2, 1);
  pictures->addWidget(osemCaption_, 3, 0);
  pictures->addWidget(osemView_, 4, 0);
  truth_ = new PictureView;
  errors_ = new QLabel;
  errors_->setObjectName(QStringLiteral("errors"));
  errors_->setWordWrap(true);
  pictures->addWidget(truthCaption_, 3, 1);
  pictures->addWidget(truth_, 4, 1);
  auto* sliderRow = new QHBoxLayout;
  sliderRow->addWidget(new QLabel(T("反復")));
  sliderRow->addWidget(slider_, 1);
  sliderRow->addWidget(iterationLabel_);
  pictures->addLayout(sliderRow, 5, 0);
  pictures->addWidget(errors_, 6, 0, 1, 2);
  pictures->setRowStretch(7, 1);
  for (QWidget* w : {static_cast<QWidget*>(truthCaption_), static_cast<QWidget*>(truth_), static_cast<QWidget*>(errors_)})
    w->setVisible(phantom != nullptr);
  rowHint_->hide();

  likelihood_ = makeChart(T("対数尤度"), T("反復"), QStringLiteral("log L"));
  region_ = makeChart(T("領域の平均（実線）と SD/平均（破線）"), T("反復"), T("カウント/画素"));
  profile_ = makeChart(T("プロファイル"), T("距離（画素）"),
                       T("カウント/画素"));
  auto* charts = new QVBoxLayout;
  charts->addWidget(likelihood_);
  charts->addWidget(region_);
  charts->addWidget(profile_);
  charts->addStretch(1);

  planeSource_ = new QComboBox;
  planeSource_->addItems({QStringLiteral("OSEM"), QStringLiteral("FBP")});
  planesCaption_ = new QLabel(T("全スライスはまだありません。"));
  planesCaption_->setWordWrap(true);
  planesCaption_->setMaximumWidth(4 * kSize);
  auto* planes = new QGridLayout;
  const QString names[3] = {T("横断"), T("冠状断"), T("矢状断")};
  for (int p = 0; p < 3; ++p) {
    planes_[p] = new PictureView;
    planes_[p]->setDrag(PictureView::Drag::Point);
    planes_[p]->installEventFilter(this);  // the wheel steps through slices
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel(names[p]));
    column->addWidget(planes_[p]);
    planes->addLayout(column, p / 2, p % 2);
  }
  auto* planeColumn = new QVBoxLayout;
  auto* sourceRow = new QHBoxLayout;
  sourceRow->addWidget(new QLabel(T("表示")));
  sourceRow->addWidget(planeSource_);
  sourceRow->addStretch(1);
  planeColumn->addLayout(sourceRow);
  planeColumn->addWidget(planesCaption_);
  planeColumn->addLayout(planes);
  planeColumn->addStretch(1);

  // Tabs keep the window narrow enough for 1366 x 768 and for a scaled screen.
  tabs_ = new QTabWidget;
  auto page = [](QLayout* layout) {
    auto* w = new QWidget;
    w->setLayout(layout);
    return w;
  };
  tabs_->addTab(page(pictures), T("画像"));
  tabs_->addTab(page(charts), T("グラフ"));
  tabs_->addTab(page(planeColumn), T("全スライス"));
  scatterPanel_ = new ScatterPanel(study_, studyTitle_);
  tabs_->addTab(scatterPanel_, T("散乱"));
  psfPanel_ = new PsfPanel(study_);
  tabs_->addTab(psfPanel_, T("分解能"));

  auto* content = new QWidget;
  auto* top = new QBoxLayout(QBoxLayout::LeftToRight, content);
  top->addLayout(form);
  top->addWidget(tabs_, 1);
  // On a narrow screen (1366 x 768 at scale 2) the settings go above the pictures: the window
  // then scrolls down, never across.
  if (screen() && content->sizeHint().width() > screen()->availableGeometry().width() - 40)
    top->setDirection(QBoxLayout::TopToBottom);
  setScrollingContent(this, content, below);

  connect(method_, &QComboBox::currentIndexChanged, this, &IterativeWindow::updateSubsets);
  connect(run_, &QPushButton::clicked, this, &IterativeWindow::reconstruct);
  connect(slider_, &QSlider::valueChanged, this, &IterativeWindow::showIteration);
  connect(fwhm_, &QDoubleSpinBox::valueChanged, this, [this] {
    // The post-filter applies to what is shown at once, so the captions take it too.
    osemRecipe_.postFilterFwhm = volumeOsemRecipe_.postFilterFwhm = fwhm_->value();
    const double mm = study_->geometry().pixelSizeMm;
    fwhmMm_->setText(mm > 0 ? QStringLiteral("= %1 mm").arg(fwhm_->value() * mm, 0, 'f', 1) : QString());
    showIteration(slider_->value());
    drawPlanes();
  });
  for (QRadioButton* r : {ribbon_, grey_})
    connect(r, &QRadioButton::toggled, this, [this] {
      const ColourMap map = grey_->isChecked() ? ColourMap::Grey : ColourMap::Ribbon;
      for (PictureView* v : {projection_, fbp_, osemView_, truth_, planes_[0], planes_[1], planes_[2]})
        v->setColourMap(map);
      scatterPanel_->setColourMap(map);
    });
  // FBP and OSEM in the same unit: "link" gives them one display window.
  auto* link = new WindowLink(this);
  for (PictureView* v : {fbp_, osemView_}) v->setLink(link);
  // The three planes always share one window: the whole volume's, until the student sets one.
  planesLink_ = new WindowLink(this);
  for (PictureView* v : planes_) v->setLink(planesLink_), v->setLinked(true);
  connect(projection_, &PictureView::pointChosen, this, &IterativeWindow::pickRow);
  connect(row_, &QSpinBox::valueChanged, this, [this] {
    projection_->setLine({0, row_->value()}, {study_->bins() - 1, row_->value()});
    if (volumeDone_) setCrosshair(cross_[0], cross_[1], row_->value());
    updateRowHint();
  });
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
  connect(scatter_, &ScatterControls::changed, this, &IterativeWindow::correctionsChanged);
  connect(resolution_, &ResolutionControls::changed, this, &IterativeWindow::correctionsChanged);
  connect(row_, &QSpinBox::valueChanged, this,
          [this] { scatterPanel_->setRecipe(recipeFromControls(RecipeMethod::Osem), row_->value()); });
  connect(export_, &QPushButton::clicked, this, &IterativeWindow::exportShown);
  connect(planeSource_, &QComboBox::currentIndexChanged, this, &IterativeWindow::drawPlanes);
  connect(cancel_, &QPushButton::clicked, this, &IterativeWindow::cancelVolume);
  connect(method_, &QComboBox::currentIndexChanged, this, &IterativeWindow::updateRowHint);
  // The map carries its own mu and extent.
  connect(outline_, &QComboBox::currentIndexChanged, this, [this](int i) {
    mu_->setEnabled(i < 2);
    threshold_->setEnabled(i < 2);
  });
  connect(planes_[0], &PictureView::pointChosen, this,
          [this](QPoint p) { setCrosshair(p.x(), p.y(), cross_[2]); });
  connect(planes_[1], &PictureView::pointChosen, this,
          [this](QPoint p) { setCrosshair(p.x(), cross_[1], p.y()); });
  connect(planes_[2], &PictureView::pointChosen, this,
          [this](QPoint p) { setCrosshair(cross_[0], p.x(), p.y()); });

  connect(ct_, &CtPanel::changed, this, &IterativeWindow::showUnderlays);
  registerFigureWindow(this, [this] { return windowFigure(this); });
  updateSubsets();
  correctionsChanged();
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
  projection_->setCaption(T("%1: プロジェクション 0").arg(studyTitle_));
}

void IterativeWindow::pickRow(const QPoint& p) {
  if (p.y() >= 0 && p.y() < study_->rows()) row_->setValue(p.y());
}

// A slice [i * B + j] in counts per pixel as it is, with the study's pixel size.
PictureValues IterativeWindow::picture(const std::vector<double>& f, int b) const {
  return sliceValues(f, b, ValueUnit::CountsPerPixel, study_->geometry().pixelSizeMm);
}

// A picture's caption: the study and the recipe that made it.
QString IterativeWindow::viewCaption(const Recipe& r, int row) const {
  return studyTitle_ + T("、") + describe(r, row);
}

Recipe IterativeWindow::recipeFromControls(RecipeMethod method) const {
  Recipe r;
  r.method = method;
  r.filter = shepp_->isChecked() ? FilterWindow::SheppLogan : FilterWindow::Ramp;
  r.prefilter = prefilter_->isChecked();
  r.bw = checkedBwParameters(readNumber(order_->text().toStdString()),
                             readNumber(cutoff_->text().toStdString()));
  r.subsets = subsets_->currentData().toInt();
  r.iterations = iterations_->value();
  r.postFilterFwhm = fwhm_->value();
  r.chang = ChangCorrection(chang_->currentIndex());
  r.attenuatedProjector = attenuatedOsem_->isChecked();
  r.muPerCm = mu_->value();
  r.outline = outline_->currentIndex() == 1 ? OutlineSource::Threshold : OutlineSource::Phantom;
  if (const PhantomInfo* phantom = phantomInfo(*study_); phantom && outline_->currentIndex() >= 2)
    r.muMap = phantomMuMap(*phantom, outline_->currentIndex() == 3 ? 10 : 0);
  r.threshold = threshold_->value() / 100.0;
  // The CT's map, when the student asks for it, is the attenuation a correction models; else the
  // phantom's map chosen above, or the uniform outline.
  if (r.correctsAttenuation()) {
    if (std::vector<float> ct = ct_->muMapForRecipe(); !ct.empty()) r.muMap = std::move(ct);
  } else {
    r.muMap.clear();
  }
  scatter_->fill(r);
  resolution_->fill(r);
  return r;
}

// The scatter estimate and the projector's PSF follow the settings as they change.
void IterativeWindow::correctionsChanged() {
  scatterPanel_->setRecipe(recipeFromControls(RecipeMethod::Osem), row_->value());
  sinora::Collimator c;
  double radius = 0;
  QString why;
  if (resolution_->current(c, radius, &why) && !(radius > 0)) {
    const std::vector<double> radii = studyRadii(*study_, 0);
    radius = radii.empty() ? 0 : radii[0];  // the first view's, for the picture
  }
  psfPanel_->setCollimator(c, radius, why);
}

QString IterativeWindow::describe(const Recipe& r, int row) const {
  QStringList parts;
  for (const std::string& p : describeRecipe(r, std::string(), row)) parts << TM(p);
  return parts.join(T("、"));
}

void IterativeWindow::reconstruct() {
  const Recipe fbpRecipe = recipeFromControls(RecipeMethod::Fbp);
  Recipe osemRecipe;
  osemRecipe.method = RecipeMethod::Osem;
  // All or nothing: a refusal leaves the pictures as they were.
  if (const QString why = resolution_->fill(osemRecipe); !why.isEmpty()) {
    message_->setText(why);
    return;
  }
  osemRecipe = recipeFromControls(RecipeMethod::Osem);
  for (const Recipe* r : {&fbpRecipe, static_cast<const Recipe*>(&osemRecipe)})
    if (const std::string why = checkRecipe(*study_, *r); !why.empty()) {
      message_->setText(TM(why));
      return;
    }
  const int row = row_->value();
  if (worker_.joinable()) return;
  // Each iteration projects and backprojects every view once (and once more for the
  // likelihood): past about 0.3 s of that the work goes to a worker and the window stays live.
  const double work = double(study_->views()) * study_->bins() * study_->bins() * osemRecipe.iterations * 3;
  if (work <= kQuickWork) {
    RecipeSlice fbp = runRecipe(*study_, fbpRecipe, row);
    RecipeSlice os = fbp.ok() ? runRecipe(*study_, osemRecipe, row) : RecipeSlice{};
    sliceFinished(fbpRecipe, osemRecipe, row, std::move(fbp), std::move(os), true);
    return;
  }
  stopVolume_ = false;
  sliceRunning_ = true;
  progress_->setRange(0, 0);  // busy: an iteration's share is not known ahead
  volume_->setEnabled(false);
  run_->setEnabled(false);
  cancel_->setEnabled(true);
  message_->setText(T("%1 行目を再構成しています...").arg(row));
  const StudyPtr study = study_;
  worker_ = std::thread([this, study, fbpRecipe, osemRecipe, row] {
    RecipeSlice fbp = runRecipe(*study, fbpRecipe, row);
    RecipeSlice os = fbp.ok() ? runRecipe(*study, osemRecipe, row, 2, &stopVolume_) : RecipeSlice{};
    const bool complete = !stopVolume_;
    QMetaObject::invokeMethod(
        this,
        [this, fbpRecipe, osemRecipe, row, complete, f = std::move(fbp), o = std::move(os)]() mutable {
          if (worker_.joinable()) worker_.join();
          sliceRunning_ = false;
          progress_->setRange(0, 2 * study_->rows());
          progress_->setValue(0);
          volume_->setEnabled(true);
          run_->setEnabled(true);
          cancel_->setEnabled(false);
          sliceFinished(fbpRecipe, osemRecipe, row, std::move(f), std::move(o), complete);
        },
        Qt::QueuedConnection);
  });
}

void IterativeWindow::sliceFinished(const Recipe& fbpRecipe, const Recipe& osemRecipe, int row,
                                    RecipeSlice fbp, RecipeSlice os, bool complete) {
  if (!complete) {
    message_->setText(T("%1 行目の再構成を中止しました。画像は前のままです。").arg(row));
    return;
  }
  for (const RecipeSlice* r : {&fbp, &os})
    if (!r->ok()) {
      message_->setText(TM(r->refusal));
      return;
    }
  finishSlice(fbpRecipe, osemRecipe, row, std::move(fbp), std::move(os));
}

void IterativeWindow::waitForSlice() {
  while (sliceRunning_) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void IterativeWindow::finishSlice(const Recipe& fbpRecipe, const Recipe& osemRecipe, int row,
                                  RecipeSlice fbp, RecipeSlice os) {
  const int b = study_->bins();
  fbpRecipe_ = fbpRecipe;
  osemRecipe_ = osemRecipe;
  resultRow_ = row;
  result_.images = std::move(os.iterations);
  result_.likelihood = std::move(os.likelihood);
  fbpSlice_ = std::move(fbp.values);
  fbp_->setValues(picture(fbpSlice_, b));
  fbp_->setCaption(viewCaption(fbpRecipe_, row));
  fbp_->setSource(study_, row);
  if (const PhantomInfo* info = phantomInfo(*study_)) {
    // The true activities per mm^3, as they are.
    const std::vector<float>& t = info->truth[std::size_t(row)];
    PictureValues truth = sliceValues(std::vector<double>(t.begin(), t.end()), b, ValueUnit::ActivityPerMm3,
                                      study_->geometry().pixelSizeMm);
    truth_->setValues(truth);
    truthCaption_->setText(T("真の分布") + T("、") + TM(describeRecipe(fbpRecipe, std::string(), row)[0]));
    truth_->setCaption(studyTitle_ + T("、") + truthCaption_->text());
  }
  std::vector<QPointF> l;
  for (std::size_t n = 0; n < result_.likelihood.size(); ++n) l.emplace_back(double(n + 1), result_.likelihood[n]);
  plot(likelihood_->chart(), {{QStringLiteral("log L"), l}});
  setIterationTicks(likelihood_->chart(), int(result_.likelihood.size()));
  slider_->blockSignals(true);
  slider_->setRange(1, std::max(1, int(result_.images.size())));
  slider_->setValue(int(result_.images.size()));
  slider_->blockSignals(false);
  fbpCaption_->setText(describe(fbpRecipe_, resultRow_));
  message_->setText(describe(osemRecipe_, resultRow_));
  unsaved_ = true;
  showIteration(slider_->value());
  if (regionRect_.isValid()) setRegion(regionRect_);
  updateRowHint();
  showUnderlays();
}

// The CT or mu map under the slice and the planes, where they show.
void IterativeWindow::showUnderlays() {
  for (PictureView* v : {fbp_, osemView_})
    if (v->values().empty()) v->clearUnderlay();
    else ct_->applyTo(v, 0, resultRow_);
  if (!volumeDone_ || osemVolume_.empty()) {
    for (PictureView* p : planes_) p->clearUnderlay();
    return;
  }
  ct_->applyTo(planes_[0], 0, cross_[2]);
  ct_->applyTo(planes_[1], 1, cross_[1]);
  ct_->applyTo(planes_[2], 2, cross_[0]);
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
  return postFiltered(osemRecipe_, result_.images[std::size_t(it - 1)], study_->bins());
}

void IterativeWindow::showIteration(int iteration) {
  if (result_.images.empty()) return;
  iterationLabel_->setText(QString::number(iteration));
  osemView_->setValues(picture(shownOsem(), study_->bins()));
  Recipe shown = osemRecipe_;  // the picture is this many iterations of it
  shown.iterations = std::clamp(iteration, 1, int(result_.images.size()));
  osemCaption_->setText(describe(shown, resultRow_));
  osemView_->setCaption(viewCaption(shown, resultRow_));
  osemView_->setSource(study_, resultRow_);
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
    const auto [m, cv] = regionStats(postFiltered(osemRecipe_, result_.images[n], b), b, r);
    mean.emplace_back(double(n + 1), m);
    noise.emplace_back(double(n + 1), cv);
  }
  const auto [fm, fcv] = regionStats(fbpSlice_, b, r);
  const double last = double(result_.images.size());
  // FBP does not iterate: its values are flat lines. Means on the left axis, noise (SD / mean,
  // per cent) on the right.
  QChart* c = region_->chart();
  const QString method = QString::fromStdString(methodName(osemRecipe_));
  plot(c, {{method, mean}, {QStringLiteral("FBP"), {{1, fm}, {last, fm}}}});
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
    styleSeries(s, colourOf(which++), true);
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
  noiseSeries(method + QStringLiteral(" SD%"), noise);
  noiseSeries(QStringLiteral("FBP SD%"), {{1, fcv}, {last, fcv}});
  if (lo <= hi) right->setRange(lo - 1, hi + 1);
  setIterationTicks(c, int(result_.images.size()));
}

void IterativeWindow::setProfile(const QPoint& a, const QPoint& b) {
  lineA_ = a;
  lineB_ = b;
  fbp_->setLine(a, b);
  osemView_->setLine(a, b);
  if (result_.images.empty()) return;
  const int n = study_->bins();
  plot(profile_->chart(), {{T("FBP × π/V"), profileAlong(fbpSlice_, n, a, b)},
                           {QString::fromStdString(methodName(osemRecipe_)), profileAlong(shownOsem(), n, a, b)}});
}

void IterativeWindow::startVolume() {
  if (worker_.joinable()) return;
  const Recipe fbpRecipe = recipeFromControls(RecipeMethod::Fbp);
  Recipe osemRecipe;
  osemRecipe.method = RecipeMethod::Osem;
  if (const QString why = resolution_->fill(osemRecipe); !why.isEmpty()) {
    message_->setText(why);
    return;
  }
  osemRecipe = recipeFromControls(RecipeMethod::Osem);
  for (const Recipe* r : {&fbpRecipe, static_cast<const Recipe*>(&osemRecipe)})
    if (const std::string why = checkRecipe(*study_, *r); !why.empty()) {
      message_->setText(TM(why));
      return;
    }
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
  clearPlanes(T("全スライスを再構成しています..."));
  message_->setText(T("全スライスを再構成しています..."));
  const StudyPtr study = study_;
  worker_ = std::thread([this, study, fbpRecipe, osemRecipe] {
    auto step = [this](int) {
      const int done = ++rowsDone_;
      QMetaObject::invokeMethod(this, [this, done] { progress_->setValue(done); }, Qt::QueuedConnection);
      return !stopVolume_.load();
    };
    RecipeVolume fbp = runRecipeVolume(*study, fbpRecipe, 2, step, &stopVolume_);
    RecipeVolume os;
    if (!stopVolume_) os = runRecipeVolume(*study, osemRecipe, 2, step, &stopVolume_);
    const bool complete = !stopVolume_ && fbp.complete && os.complete;
    QMetaObject::invokeMethod(
        this,
        [this, complete, fbpRecipe, osemRecipe, f = std::move(fbp.slices), o = std::move(os.slices)]() mutable {
          fbpVolume_ = std::move(f);
          osemVolume_ = std::move(o);
          volumeFbpRecipe_ = fbpRecipe;
          volumeOsemRecipe_ = osemRecipe;
          volumeFinished(complete);
        },
        Qt::QueuedConnection);
  });
}

void IterativeWindow::cancelVolume() { stopVolume_ = true; }  // the slice's worker too

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
    clearPlanes(T("全スライスの再構成を中止しました。"));
    return;
  }
  unsaved_ = true;
  {
    const QSignalBlocker block(planeSource_);
    planeSource_->setItemText(0, QString::fromStdString(methodName(volumeOsemRecipe_)));
  }
  message_->setText(T("全スライス: %1 行").arg(study_->rows()));
  ++volumeGeneration_;
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
  if (volumeDone_ && row_->value() != cross_[2]) {
    // The row box follows the crosshair (and the crosshair the box).
    const QSignalBlocker block(row_);
    row_->setValue(cross_[2]);
    projection_->setLine({0, cross_[2]}, {b - 1, cross_[2]});
    updateRowHint();
  }
  drawPlanes();
}

void IterativeWindow::clearPlanes(const QString& why) {
  Picture none;
  none.width = none.height = study_->bins();
  none.values.assign(std::size_t(none.width) * none.height, 0);
  for (PictureView* p : planes_) {
    p->setPicture(none, palette());
    p->setCrosshair({-1, -1});
    p->clearUnderlay();
  }
  planesCaption_->setText(why);
}

void IterativeWindow::updateRowHint() {
  const bool stale = !result_.images.empty() && row_->value() != resultRow_;
  rowHint_->setVisible(stale);
  if (stale)
    rowHint_->setText(T("画像は %1 行目です。%2 行目は「再構成」で作ります。").arg(resultRow_).arg(row_->value()));
}

bool IterativeWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Wheel && volumeDone_) {
    for (int p = 0; p < 3; ++p) {
      if (watched != planes_[p]) continue;
      const int delta = static_cast<QWheelEvent*>(e)->angleDelta().y();
      if (delta == 0) return true;
      const int step = delta > 0 ? -1 : 1;  // up: towards the first slice
      // Each plane steps along the axis it cuts: rows, j, i.
      if (p == 0) setCrosshair(cross_[0], cross_[1], cross_[2] + step);
      if (p == 1) setCrosshair(cross_[0], cross_[1] + step, cross_[2]);
      if (p == 2) setCrosshair(cross_[0] + step, cross_[1], cross_[2]);
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

bool IterativeWindow::mayDiscard() {
  if (!unsaved_ || !volumeDone_) return true;
  const bool yes = askDiscard ? askDiscard()
                              : QMessageBox::question(this, windowTitle(),
                                                      T("全スライスの結果を捨てて閉じますか？")) == QMessageBox::Yes;
  if (yes) unsaved_ = false;
  return yes;
}

void IterativeWindow::reject() {
  if (mayDiscard()) QDialog::reject();
}

void IterativeWindow::closeEvent(QCloseEvent* e) {
  if (mayDiscard()) {
    QDialog::closeEvent(e);
  } else {
    e->ignore();
  }
}

void IterativeWindow::drawPlanes() {
  if (!volumeDone_ || osemVolume_.empty()) return;
  const int b = study_->bins(), rows = study_->rows();
  // OSEM with the post-filter of the slice (each transverse slice filtered), or FBP as it is.
  const bool fbp = planeSource_->currentIndex() == 1;
  const Recipe& recipe = fbp ? volumeFbpRecipe_ : volumeOsemRecipe_;
  // Slice by slice (each post-filtered on its own), so that no copy of the volume is made.
  const std::vector<std::vector<double>>& volume = fbp ? fbpVolume_ : osemVolume_;
  const double mm = study_->geometry().pixelSizeMm;
  PictureValues t, c, sg;
  t.width = t.height = b;
  c.width = sg.width = b;
  c.height = sg.height = rows;
  t.values.assign(std::size_t(b) * b, 0);
  c.values.assign(std::size_t(b) * rows, 0);
  sg.values.assign(std::size_t(b) * rows, 0);
  for (PictureValues* v : {&t, &c, &sg}) v->unit = ValueUnit::CountsPerPixel, v->pixelMm = mm;
  double top = 0;  // the whole volume's maximum, for one display window
  for (int row = 0; row < rows; ++row) {
    if (volume[std::size_t(row)].empty()) continue;
    const std::vector<double> one = postFiltered(recipe, volume[std::size_t(row)], b);
    for (double v : one)
      if (v > top) top = v;
    auto value = [&](int i, int j) { return one[std::size_t(i) * b + j]; };
    if (row == cross_[2])
      for (int y = 0; y < b; ++y)
        for (int x = 0; x < b; ++x) t.values[std::size_t(y) * b + x] = value(x, y);
    // Coronal: i across, rows down at the crosshair's j; sagittal: j across, rows down at its i.
    for (int x = 0; x < b; ++x) {
      c.values[std::size_t(row) * b + x] = value(x, cross_[1]);
      sg.values[std::size_t(row) * b + x] = value(cross_[0], x);
    }
  }
  // One display window for the whole volume, set again when another volume is shown.
  const QString key = QStringLiteral("%1 %2 %3").arg(fbp).arg(recipe.postFilterFwhm).arg(volumeGeneration_);
  if (key != planesKey_) {
    planesKey_ = key;
    planesLink_->setWindow(valueWindow(std::vector<double>{top}, true), this);
  }
  planes_[0]->setValues(t);
  planes_[1]->setValues(c);
  planes_[2]->setValues(sg);
  const QString names[3] = {T("横断 %1 行目").arg(cross_[2]), T("冠状断 j = %1").arg(cross_[1]), T("矢状断 i = %1").arg(cross_[0])};
  for (int p = 0; p < 3; ++p) planes_[p]->setCaption(viewCaption(recipe, -1) + T("、") + names[p]);
  planes_[0]->setCrosshair({cross_[0], cross_[1]});
  planes_[1]->setCrosshair({cross_[0], cross_[2]});
  planes_[2]->setCrosshair({cross_[1], cross_[2]});
  planesCaption_->setText(describe(recipe, -1) + T("、") +
                          T("横断 %1 行目、冠状断 j = %2、矢状断 i = %3").arg(cross_[2]).arg(cross_[1]).arg(cross_[0]));
  showUnderlays();
}

void IterativeWindow::exportShown() {
  formats::VolumeData v;
  v.bins = study_->bins();
  auto named = [](const Recipe& r) {
    return methodName(r) + (r.method == RecipeMethod::Osem
                                ? " " + std::to_string(r.subsets) + " subsets x " + std::to_string(r.iterations) + " iterations"
                                : std::string());
  };
  if (volumeDone_ && !osemVolume_.empty()) {  // the volume as the planes show it
    const bool fbp = planeSource_->currentIndex() == 1;
    const Recipe& recipe = fbp ? volumeFbpRecipe_ : volumeOsemRecipe_;
    for (const auto& s : fbp ? fbpVolume_ : osemVolume_)
      v.slices.push_back(s.empty() ? std::vector<double>(std::size_t(v.bins) * v.bins, 0.0)
                                   : postFiltered(recipe, s, v.bins));
    v.method = named(recipe);
  } else if (!result_.images.empty()) {
    v.slices.push_back(shownOsem());
    v.firstRow = resultRow_;
    v.method = named(osemRecipe_);
  } else if (!fbpSlice_.empty()) {
    v.slices.push_back(fbpSlice_);
    v.firstRow = resultRow_;
    v.method = named(fbpRecipe_);
  } else {
    message_->setText(T("再構成してから書き出してください。"));
    return;
  }
  const QString path = askExportName ? askExportName()
                                     : QFileDialog::getSaveFileName(this, T("書き出し..."), QString(), exportFilters());
  if (path.isEmpty()) return;
  const QString why = exportVolume(*study_, v, path, doc_->GetPathName());
  message_->setText(why.isEmpty() ? T("%1 に書き出しました。").arg(path) : why);
}
