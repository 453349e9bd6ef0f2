#include "windows/ResolutionPanel.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "imaging/phantom.h"
#include "imaging/resolution.h"
#include "platform/tr.h"
#include "windows/PictureView.h"

using namespace sinora;

namespace {

QString numbersText(const Collimator& c) {
  return QStringLiteral("%1, %2, %3").arg(c.intrinsicMm).arg(c.faceMm).arg(c.slope);
}

}  // namespace

ResolutionControls::ResolutionControls(const StudyPtr& study, QFormLayout* form, QObject* parent)
    : QObject(parent), study_(study) {
  // The words of the captions, as a label: capitalised where the language has capitals.
  QString label = T("分解能補正");
  label[0] = label[0].toUpper();
  on_ = new QCheckBox(label);
  collimator_ = new QComboBox;
  const PhantomInfo* info = phantomInfo(*study);
  if (info) collimator_->addItem(T("ファントムのコリメータ"), QStringLiteral("phantom"));
  for (const std::string& key : collimatorPresetKeys())
    collimator_->addItem(QString::fromStdString(key).toUpper(), QString::fromStdString(key));
  collimator_->addItem(T("入力"), QStringLiteral("typed"));
  numbers_ = new QLineEdit;
  numbers_->setMinimumWidth(numbers_->fontMetrics().horizontalAdvance(QStringLiteral("0.000, 0.000, 0.0000")) + 16);
  radius_ = new QLineEdit;
  radius_->setMinimumWidth(radius_->fontMetrics().horizontalAdvance(QStringLiteral("000.00")) + 16);
  // The detector's distance: the phantom's, else what the file records (one a view: left to it).
  const std::vector<double> radii = studyRadii(*study, 0);
  if (info) {
    radius_->setText(QString::number(info->settings.radiusMm));
  } else if (radii.size() == 1 && radii[0] > 0) {
    radius_->setText(QString::number(radii[0]));
  } else if (radii.size() > 1 && *std::min_element(radii.begin(), radii.end()) == *std::max_element(radii.begin(), radii.end()) &&
             radii[0] > 0) {
    radius_->setText(QString::number(radii[0]));  // a circular orbit recorded view by view
  } else if (radii.size() > 1) {
    const auto [lo, hi] = std::minmax_element(radii.begin(), radii.end());
    radius_->setPlaceholderText(T("検査の値（ビューごと %1-%2）").arg(*lo, 0, 'f', 0).arg(*hi, 0, 'f', 0));
  } else {
    radius_->setPlaceholderText(T("検査に記録なし"));
  }
  auto* top = new QHBoxLayout;
  top->addWidget(on_);
  top->addWidget(collimator_);
  top->addStretch(1);
  form->addRow(top);
  form->addRow(T("R_i, R_c0 (mm), k"), numbers_);
  form->addRow(T("回転半径（mm）"), radius_);
  showPreset();
  connect(on_, &QCheckBox::toggled, this, &ResolutionControls::changed);
  connect(collimator_, &QComboBox::currentIndexChanged, this, [this] {
    showPreset();
    emit changed();
  });
  for (QLineEdit* e : {numbers_, radius_}) connect(e, &QLineEdit::textChanged, this, &ResolutionControls::changed);
}

void ResolutionControls::showPreset() {
  // A preset's numbers are shown as they are; typed ones start from the last shown.
  const QString key = collimator_->currentData().toString();
  numbers_->setReadOnly(key != QLatin1String("typed"));
  Collimator c;
  if (key == QLatin1String("phantom")) {
    c = phantomInfo(*study_)->settings.effectiveCollimator();
  } else if (key != QLatin1String("typed") && collimatorPreset(key.toStdString(), c)) {
  } else {
    return;
  }
  const QSignalBlocker block(numbers_);
  numbers_->setText(numbersText(c));
}

bool ResolutionControls::current(Collimator& collimator, double& radiusMm, QString* why) const {
  const QString key = collimator_->currentData().toString();
  Collimator c;
  if (key == QLatin1String("phantom")) {
    c = phantomInfo(*study_)->settings.effectiveCollimator();
  } else if (key != QLatin1String("typed")) {
    collimatorPreset(key.toStdString(), c);
  } else {
    QString text = numbers_->text();
    text.remove(QLatin1Char(' '));
    std::string error;
    if (!parseCollimator(text.toStdString(), c, error)) {
      if (why)
        *why = T("R_i, R_c0, k を「3.5, 1.48, 0.0447」のように入力してください（R_i と R_c0 は 0 から 50 mm、k は 0 から 1）。");
      return false;
    }
  }
  double radius = 0;
  const QString typed = radius_->text().trimmed();
  if (!typed.isEmpty()) {
    bool ok = false;
    radius = typed.toDouble(&ok);
    if (!ok || !(radius > 0 && radius <= 1000)) {
      if (why) *why = T("回転半径は 0 より大きく 1000 mm までの数で入力してください（空欄は検査の値）。");
      return false;
    }
  }
  collimator = c;
  radiusMm = radius;
  return true;
}

QString ResolutionControls::fill(Recipe& r) const {
  r.resolutionRecovery = false;
  if (!on_->isChecked() || r.method != RecipeMethod::Osem) return {};
  Collimator c;
  double radius = 0;
  QString why;
  if (!current(c, radius, &why)) return why;
  r.resolutionRecovery = true;
  r.collimator = c;
  r.radiusMm = radius;
  return {};
}

PsfPanel::PsfPanel(StudyPtr study, QWidget* parent) : QWidget(parent), study_(std::move(study)) {
  distance_ = new QDoubleSpinBox;
  distance_->setRange(0, 2000);
  distance_->setDecimals(0);
  distance_->setSingleStep(10);
  distance_->setSuffix(QStringLiteral(" mm"));
  psf_ = new PictureView;
  width_ = new QLabel;
  width_->setObjectName(QStringLiteral("psfWidth"));
  width_->setWordWrap(true);
  note_ = new QLabel(T("1 スライスの再構成ではビン方向（面内）だけ、全スライスでは行方向にも同じぼけを投影に入れます。"));
  note_->setWordWrap(true);
  auto* chart = new QChart;
  chart->setTitle(T("系の FWHM と距離"));
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto* ax = new QValueAxis;
  ax->setTitleText(T("コリメータ面からの距離（mm）"));
  auto* ay = new QValueAxis;
  ay->setTitleText(T("FWHM（mm）"));
  chart->addAxis(ax, Qt::AlignBottom);
  chart->addAxis(ay, Qt::AlignLeft);
  plot_ = new PlotView(chart);
  plot_->setMinimumSize(380, 260);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(T("コリメータ面からの距離")));
  row->addWidget(distance_);
  row->addStretch(1);
  auto* all = new QVBoxLayout(this);
  all->addLayout(row);
  all->addWidget(pictureCaption(T("投影子が点に与えるぼけ（ビン→ 行↓）"), 2 * kSize));
  all->addWidget(psf_);
  all->addWidget(width_);
  all->addWidget(plot_);
  all->addWidget(note_);
  all->addStretch(1);
  connect(distance_, &QDoubleSpinBox::valueChanged, this, [this] {
    distanceSet_ = true;
    draw();
  });
}

void PsfPanel::setCollimator(const Collimator& c, double radiusMm, const QString& problem) {
  collimator_ = c;
  radiusMm_ = radiusMm;
  problem_ = problem;
  if (!distanceSet_ && radiusMm > 0) {
    const QSignalBlocker block(distance_);
    distance_->setValue(radiusMm);  // the centre of rotation
  }
  draw();
}

void PsfPanel::draw() {
  const double mm = study_->geometry().pixelSizeMm;
  QString why = problem_;
  if (why.isEmpty() && !(mm > 0)) why = T("画素サイズが分からないため、分解能補正ができません。");
  if (why.isEmpty() && !(radiusMm_ > 0))
    why = T("分解能補正には回転半径（0 より大きく 1000 mm まで）が要ります。検査に記録がなければ入力してください。");
  QChart* chart = plot_->chart();
  chart->removeAllSeries();
  if (!why.isEmpty()) {
    psf_->clear();
    width_->setText(why);
    return;
  }
  const int b = study_->bins(), c = b / 2;
  const double farthest = radiusMm_ + c * mm;  // the far edge of the field
  const ProjectorPsf p = projectorPsf(b, mm, collimator_, radiusMm_, distance_->value());
  // A fixed crop for this collimator, so that moving the distance compares like with like.
  const int half = std::clamp(int(std::ceil(1.5 * collimator_.fwhmMm(farthest) / mm)) + 2, 4, c - 1);
  const int peak = int(std::max_element(p.profile.begin(), p.profile.end()) - p.profile.begin());
  PictureValues v;
  v.width = v.height = 2 * half + 1;
  v.unit = ValueUnit::Plain;
  v.unitName = T("点の割合/画素");  // the profile sums to 1
  v.pixelMm = mm;
  v.values.assign(std::size_t(v.width) * v.height, 0.0);
  auto at = [&](int n) { return n >= 0 && n < b ? p.profile[std::size_t(n)] : 0.0; };
  for (int y = -half; y <= half; ++y)
    for (int x = -half; x <= half; ++x)
      v.values[std::size_t(y + half) * v.width + std::size_t(x + half)] =
          at(peak + x) * at(peak + y) < 1e-12 ? 0.0 : at(peak + x) * at(peak + y);  // no 1e-19 tails on the bar
  psf_->setValues(v);
  const double formula = collimator_.fwhmMm(p.actualMm);
  psf_->setCaption(T("投影子の点広がり、距離 %1 mm、R_i %2、R_c0 %3 mm、k %4")
                       .arg(p.actualMm, 0, 'f', 0)
                       .arg(collimator_.intrinsicMm)
                       .arg(collimator_.faceMm)
                       .arg(collimator_.slope));
  width_->setText(T("距離 %1 mm（回転中心から検出器側へ %2 mm）: 投影子の FWHM %3 mm（%4 画素）、式 √(R_i² + (R_c0 + k d)²) = %5 mm")
                      .arg(p.actualMm, 0, 'f', 1)
                      .arg(radiusMm_ - p.actualMm, 0, 'f', 1)
                      .arg(p.fwhmMm, 0, 'f', 2)
                      .arg(p.fwhmMm / mm, 0, 'f', 2)
                      .arg(formula, 0, 'f', 2));
  // The formula against distance, the projector's own widths across the field, and the chosen.
  auto* curve = new QLineSeries;
  curve->setName(T("式"));
  const double lo = std::max(0.0, radiusMm_ - c * mm);
  for (int n = 0; n <= 50; ++n) {
    const double d = farthest * n / 50;
    curve->append(d, collimator_.fwhmMm(d));
  }
  auto* measured = new QLineSeries;
  measured->setName(T("投影子"));
  for (int n = 0; n <= 12; ++n) {
    const ProjectorPsf q = projectorPsf(b, mm, collimator_, radiusMm_, lo + (farthest - lo) * n / 12);
    if (std::isfinite(q.fwhmMm)) measured->append(q.actualMm, q.fwhmMm);
  }
  auto* chosen = new QScatterSeries;
  chosen->setName(T("選んだ距離"));
  chosen->setMarkerSize(10);
  if (std::isfinite(p.fwhmMm)) chosen->append(p.actualMm, p.fwhmMm);
  styleSeries(curve, QColor(0, 114, 178), true);
  styleSeries(measured, QColor(213, 94, 0), false);
  chosen->setColor(QColor(213, 94, 0));
  auto* ax = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
  auto* ay = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
  double top = 1;
  for (QLineSeries* s : {curve, measured})
    for (const QPointF& q : s->points()) top = std::max(top, q.y());
  for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{curve, measured, chosen}) {
    chart->addSeries(s);
    s->attachAxis(ax);
    s->attachAxis(ay);
  }
  ax->setRange(0, farthest);
  ay->setRange(0, top * 1.1);
  ax->applyNiceNumbers();
  ay->applyNiceNumbers();
}
