#include "windows/ScatterPanel.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "imaging/phantom.h"
#include "imaging/scatter.h"
#include "platform/tr.h"
#include "windows/PictureView.h"

using namespace sinora;

namespace {

QString windowItem(const std::vector<EnergyWindow>& windows, int n) {
  return QStringLiteral("%1: %2").arg(n + 1).arg(QString::fromStdString(windowLabel(windows[std::size_t(n)])));
}

}  // namespace

ScatterControls::ScatterControls(const StudyPtr& study, QFormLayout* form, QObject* parent) : QObject(parent) {
  method_ = new QComboBox;
  method_->addItems({T("なし"), QStringLiteral("DEW"), QStringLiteral("TEW")});
  k_ = new QDoubleSpinBox;
  k_->setRange(0, 10);
  k_->setDecimals(2);
  k_->setSingleStep(0.05);
  k_->setValue(0.5);
  lower_ = new QComboBox;
  upper_ = new QComboBox;
  for (QComboBox* c : {lower_, upper_}) {
    // A long window name must not widen the form: the list shows it whole.
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(18);
  }
  smooth_ = new QDoubleSpinBox;
  smooth_->setRange(0, 100);
  smooth_->setSingleStep(0.5);
  smooth_->setDecimals(1);
  smooth_->setSpecialValueText(T("なし"));
  note_ = new QLabel;
  note_->setWordWrap(true);
  const auto& set = study->geometry().energyWindows;
  const int peak = study->geometry().energyWindow;
  windows_ = set && set->windows.size() >= 2 && std::size_t(peak) < set->windows.size();
  if (windows_) {
    const SideWindows found = findSideWindows(set->windows, peak);
    upper_->addItem(T("なし"), -2);
    for (int n = 0; n < int(set->windows.size()); ++n) {
      if (n == peak) continue;
      lower_->addItem(windowItem(set->windows, n), n);
      upper_->addItem(windowItem(set->windows, n), n);
    }
    lower_->setCurrentIndex(std::max(0, lower_->findData(found.lower)));
    upper_->setCurrentIndex(std::max(0, upper_->findData(found.upper >= 0 ? found.upper : -2)));
    for (int n = 0; n < lower_->count(); ++n) lower_->setItemData(n, lower_->itemText(n), Qt::ToolTipRole);
  } else {
    note_->setText(T("この検査にはエネルギーウィンドウが 1 つしかないため、散乱を推定できません。"));
  }
  auto* methodRow = new QHBoxLayout;
  methodRow->addWidget(method_);
  methodRow->addWidget(new QLabel(QStringLiteral("k")));
  methodRow->addWidget(k_);
  methodRow->addStretch(1);
  form->addRow(T("散乱補正"), methodRow);
  form->addRow(T("下側ウィンドウ"), lower_);
  form->addRow(T("上側ウィンドウ"), upper_);
  form->addRow(T("推定の平滑化 FWHM（画素）"), smooth_);
  form->addRow(note_);
  note_->setVisible(!windows_);
  enableRows();
  connect(method_, &QComboBox::currentIndexChanged, this, [this] {
    enableRows();
    emit changed();
  });
  for (QComboBox* c : {lower_, upper_}) connect(c, &QComboBox::currentIndexChanged, this, &ScatterControls::changed);
  for (QDoubleSpinBox* s : {k_, smooth_}) connect(s, &QDoubleSpinBox::valueChanged, this, &ScatterControls::changed);
}

void ScatterControls::enableRows() {
  const int m = method_->currentIndex();
  method_->setEnabled(windows_);
  lower_->setEnabled(windows_ && m != 0);
  upper_->setEnabled(windows_ && m == 2);  // DEW uses the lower window only
  k_->setEnabled(windows_ && m == 1);
  smooth_->setEnabled(windows_ && m != 0);
}

void ScatterControls::fill(Recipe& r) const {
  r.scatter = !windows_ ? ScatterMethod::None : ScatterMethod(method_->currentIndex());
  r.scatterLower = lower_->currentIndex() >= 0 ? lower_->currentData().toInt() : -1;
  r.scatterUpper = upper_->currentIndex() >= 0 ? upper_->currentData().toInt() : -1;
  r.dewK = k_->value();
  r.scatterSmoothFwhm = smooth_->value();
}

ScatterPanel::ScatterPanel(StudyPtr study, const QString& studyTitle, QWidget* parent)
    : QWidget(parent), study_(std::move(study)), title_(studyTitle) {
  view_ = new QSpinBox;
  view_->setRange(0, study_->views() - 1);
  const QString names[6] = {T("計測のサイノグラム（ビュー↓ ビン→）"), T("散乱の推定のサイノグラム"),
                            T("計測のプロジェクション"),             T("推定のプロジェクション"),
                            T("真の散乱のサイノグラム"),             T("推定の誤差（推定 − 真の散乱）")};
  auto* grid = new QGridLayout;
  auto* viewRow = new QHBoxLayout;
  viewRow->addWidget(new QLabel(T("プロジェクションのビュー")));
  viewRow->addWidget(view_);
  viewRow->addStretch(1);
  grid->addLayout(viewRow, 0, 0, 1, 2);
  for (int n = 0; n < 6; ++n) {
    pictures_[n] = new PictureView;
    captions_[n] = pictureCaption(names[n], 2 * kSize);
    grid->addWidget(captions_[n], 1 + 2 * (n / 2), n % 2);
    grid->addWidget(pictures_[n], 2 + 2 * (n / 2), n % 2);
  }
  summary_ = new QLabel;
  summary_->setObjectName(QStringLiteral("scatterSummary"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(summary_, 7, 0, 1, 2);
  grid->setRowStretch(8, 1);
  setLayout(grid);
  // Counts beside counts in one display window: the estimate shows its share of the measured.
  sinograms_ = new WindowLink(this);
  projections_ = new WindowLink(this);
  for (int n : {0, 1, 4}) pictures_[n]->setLink(sinograms_), pictures_[n]->setLinked(true);
  for (int n : {2, 3}) pictures_[n]->setLink(projections_), pictures_[n]->setLinked(true);
  const PhantomInfo* info = phantomInfo(*study_);
  const bool truth = info && std::size_t(study_->geometry().energyWindow) < info->scattered.size();
  for (int n : {4, 5}) pictures_[n]->setVisible(truth), captions_[n]->setVisible(truth);
  connect(view_, &QSpinBox::valueChanged, this, [this] {
    dirty_ = true;
    if (isVisible()) draw();
  });
}

void ScatterPanel::setRecipe(const Recipe& recipe, int row) {
  recipe_ = recipe;
  row_ = std::clamp(row, 0, study_->rows() - 1);
  dirty_ = true;
  if (isVisible()) draw();
}

void ScatterPanel::setColourMap(ColourMap map) {
  for (PictureView* p : pictures_) p->setColourMap(map);
}

void ScatterPanel::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (dirty_) draw();
}

void ScatterPanel::draw() {
  dirty_ = false;
  const ProjectionStudy& s = *study_;
  const int v = s.views(), r = s.rows(), b = s.bins(), row = row_, view = view_->value();
  const double mm = s.geometry().pixelSizeMm;
  auto sinogramOf = [&](auto value, ValueUnit unit) {
    PictureValues p;
    p.width = b;
    p.height = v;
    p.unit = unit;
    p.pixelMm = mm;
    p.values.resize(std::size_t(v) * b);
    for (int k = 0; k < v; ++k)
      for (int c = 0; c < b; ++c) p.values[std::size_t(k) * b + c] = value((std::size_t(k) * r + row) * b + c);
    return p;
  };
  auto projectionOf = [&](auto value) {
    PictureValues p;
    p.width = b;
    p.height = r;
    p.unit = ValueUnit::Counts;
    p.pixelMm = mm;
    p.values.resize(std::size_t(r) * b);
    for (std::size_t n = 0; n < p.values.size(); ++n) p.values[n] = value(std::size_t(view) * r * b + n);
    return p;
  };
  const auto& counts = s.counts();
  auto measured = [&](std::size_t n) { return double(counts[n]); };
  pictures_[0]->setValues(sinogramOf(measured, ValueUnit::Counts));
  pictures_[2]->setValues(projectionOf(measured));
  const QString rowText = T("%1 行目").arg(row), viewText = T("ビュー %1").arg(view);
  pictures_[0]->setCaption(title_ + T("、") + rowText + T("、") + captions_[0]->text());
  pictures_[2]->setCaption(title_ + T("、") + viewText + T("、") + captions_[2]->text());
  for (int n : {0, 1, 4, 5}) pictures_[n]->setLine({0, view}, {b - 1, view});
  for (int n : {2, 3}) pictures_[n]->setLine({0, row}, {b - 1, row});

  const std::shared_ptr<const ScatterEstimate> e = recipeScatter(s, recipe_);
  PictureValues none;
  none.width = b;
  none.height = v;
  none.values.assign(std::size_t(v) * b, 0.0);
  // One window for each linked group, from 0 to the highest of its pictures (the measured).
  sinograms_->setWindow(defaultWindow(pictures_[0]->values()), this);
  projections_->setWindow(defaultWindow(pictures_[2]->values()), this);
  if (!e || !e->ok()) {
    for (int n : {1, 3, 5}) pictures_[n]->clear();
    summary_->setText(!e ? T("散乱補正が「なし」のため、推定はありません。") : TM(e->refusal));
    return;
  }
  const std::vector<double>& est = e->values;
  auto estimate = [&](std::size_t n) { return est[n]; };
  pictures_[1]->setValues(sinogramOf(estimate, ValueUnit::Counts));
  pictures_[3]->setValues(projectionOf(estimate));
  QString what;
  for (const std::string& part : describeRecipe(recipe_, std::string(), row))
    if (part.rfind("散乱補正", 0) == 0) what = TM(part);
  pictures_[1]->setCaption(title_ + T("、") + rowText + T("、") + what + T("、") + captions_[1]->text());
  pictures_[3]->setCaption(title_ + T("、") + viewText + T("、") + what + T("、") + captions_[3]->text());

  // Totals of the row and of the whole study.
  double rowMeasured = 0, rowEstimate = 0, allMeasured = 0, allEstimate = 0;
  for (std::size_t n = 0; n < est.size(); ++n) {
    allMeasured += counts[n];
    allEstimate += est[n];
  }
  for (int k = 0; k < v; ++k)
    for (int c = 0; c < b; ++c) {
      const std::size_t n = (std::size_t(k) * r + row) * b + c;
      rowMeasured += counts[n];
      rowEstimate += est[n];
    }
  const auto& set = *s.geometry().energyWindows;
  auto windowName = [&](int n) { return n >= 0 ? windowItem(set.windows, n) : T("なし"); };
  auto percent = [](double a, double of) { return of > 0 ? QString::number(100 * a / of, 'f', 1) : T("—"); };
  auto whole = [](double x) { return QString::number(x, 'f', 0); };
  QString text = T("光電ピーク %1、下側 %2、上側 %3")
                     .arg(windowName(s.geometry().energyWindow), windowName(e->lower), windowName(e->upper));
  text += QLatin1Char('\n') + T("推定した散乱: %1 行目 %2 カウント（計測の %3 %）、全体 %4 カウント（計測の %5 %）")
                                  .arg(row)
                                  .arg(whole(rowEstimate), percent(rowEstimate, rowMeasured), whole(allEstimate),
                                       percent(allEstimate, allMeasured));
  const PhantomInfo* info = phantomInfo(s);
  const std::size_t w = std::size_t(s.geometry().energyWindow);
  if (info && w < info->scattered.size() && info->scattered[w].size() == est.size()) {
    const std::vector<float>& t = info->scattered[w];
    auto truth = [&](std::size_t n) { return double(t[n]); };
    auto error = [&](std::size_t n) { return est[n] - double(t[n]); };
    pictures_[4]->setValues(sinogramOf(truth, ValueUnit::Counts));
    PictureValues difference = sinogramOf(error, ValueUnit::Plain);  // plain: its window takes the negatives
    difference.unitName = unitText(ValueUnit::Counts);
    pictures_[5]->setValues(difference);
    pictures_[4]->setCaption(title_ + T("、") + rowText + T("、") + captions_[4]->text());
    pictures_[5]->setCaption(title_ + T("、") + rowText + T("、") + what + T("、") + captions_[5]->text());
    double rowTrue = 0, allTrue = 0;
    for (std::size_t n = 0; n < t.size(); ++n) allTrue += t[n];
    for (int k = 0; k < v; ++k)
      for (int c = 0; c < b; ++c) rowTrue += t[(std::size_t(k) * r + row) * b + c];
    auto signedPercent = [](double a, double of) {
      return of > 0 ? QString::asprintf("%+.1f", 100 * (a - of) / of) : T("—");
    };
    text += QLatin1Char('\n') + T("真の散乱: %1 行目 %2 カウント（推定の誤差 %3 %）、全体 %4 カウント（推定の誤差 %5 %）")
                                    .arg(row)
                                    .arg(whole(rowTrue), signedPercent(rowEstimate, rowTrue), whole(allTrue),
                                         signedPercent(allEstimate, allTrue));
  }
  summary_->setText(text);
}
