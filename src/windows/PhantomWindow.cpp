#include "windows/PhantomWindow.h"
#include "windows/PictureView.h"

#include "platform/tr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

using sinora::PhantomKind;
using sinora::T;
using sinora::PhantomSettings;

namespace {

const char kGroup[] = "Phantom";

// The boxes that take numbers, with the setting they fill and its key in the settings.
struct Field {
  const char* name;     // also the problem's field (the point's three share "point")
  const char* label;
  const char* problem;
  bool whole;
};
constexpr Field kFields[] = {
    {"views", SINORA_TEXT("ビュー数 (4-360)"), "views", true},
    {"start", SINORA_TEXT("開始角度 (度)"), "start", false},
    {"pixel", SINORA_TEXT("画素サイズ (mm)"), "pixel", false},
    {"counts", SINORA_TEXT("総計数 (10^3-10^9)"), "counts", false},
    {"fwhm", SINORA_TEXT("コリメータ FWHM (mm, 回転中心で)"), "fwhm", false},
    {"radius", SINORA_TEXT("回転半径 (mm)"), "radius", false},
    {"cor", SINORA_TEXT("回転中心のずれ (画素)"), "cor", false},
    {"mu", SINORA_TEXT("減弱係数 μ (cm^-1, 水の Tc-99m は 0.15)"), "mu", false},
    {"peak", SINORA_TEXT("光電ピークのウィンドウ幅 (%, 2-50)"), "windows", false},
    {"lower", SINORA_TEXT("下側ウィンドウの幅 (%, 1-30)"), "windows", false},
    {"upper", SINORA_TEXT("上側ウィンドウの幅 (%, 1-30)"), "windows", false},
    {"eres", SINORA_TEXT("エネルギー分解能 (% FWHM, 140 keV で)"), "resolution", false},
    {"pointX", SINORA_TEXT("点線源 x (mm, 右へ)"), "point", false},
    {"pointY", SINORA_TEXT("点線源 y (mm, 背側へ)"), "point", false},
    {"pointZ", SINORA_TEXT("点線源 z (mm, 尾側へ)"), "point", false},
    {"seed", SINORA_TEXT("乱数の種"), "seed", true},
};

// A number typed in a box: the whole text must be one (C locale, so "1e7" and "0.15" always
// read the same); "nan" and "inf" read as such, for the checks to refuse.
bool parseReal(const QString& text, double& out) {
  bool ok = false;
  out = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("nan")) out = std::nan(""), ok = true;
    else if (t == QLatin1String("inf") || t == QLatin1String("+inf")) out = INFINITY, ok = true;
    else if (t == QLatin1String("-inf")) out = -INFINITY, ok = true;
  }
  return ok;
}

QString number(double v) { return QLocale::c().toString(v, 'g', 12); }

}  // namespace

PhantomWindow::PhantomWindow(QSettings* settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle(T("ファントム実験"));
  auto* form = new QFormLayout;
  auto withProblem = [&](QWidget* control, const QString& field) {
    auto* row = new QHBoxLayout;
    row->addWidget(control);
    auto* p = new QLabel;
    p->setObjectName(QStringLiteral("problem_") + field);
    p->setStyleSheet(QStringLiteral("color: #b00000"));
    // A fixed width, wrapped: a message never widens the window.
    p->setWordWrap(true);
    p->setFixedWidth(p->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 34);
    problems_[field] = p;
    row->addWidget(p, 1);
    return row;
  };
  object_ = new QComboBox;
  for (int k = 0; k < sinora::kPhantomKinds; ++k)
    object_->addItem(T(sinora::phantomName(PhantomKind(k)).c_str()), k);
  form->addRow(T("物体"), object_);
  arc_ = new QComboBox;
  arc_->addItem(T("360 度"), 360.0);
  arc_->addItem(T("180 度"), 180.0);
  direction_ = new QComboBox;
  direction_->addItem(T("CW (角度が増える)"), true);
  direction_->addItem(T("CC (角度が減る)"), false);
  matrix_ = new QComboBox;
  for (int m : {64, 128, 256}) matrix_->addItem(QStringLiteral("%1 x %1").arg(m), m);
  noiseFree_ = new QCheckBox(T("ノイズなし"));
  blur_ = new QComboBox;
  blur_->addItem(T("検出器からの距離に比例"), true);
  blur_->addItem(T("一定"), false);
  isotope_ = new QComboBox;
  for (const sinora::Isotope& i : sinora::isotopes())
    isotope_->addItem(QStringLiteral("%1 (%2 keV)").arg(QString::fromLatin1(i.name)).arg(i.energyKeV), QString::fromLatin1(i.key));
  scatter_ = new QCheckBox(T("散乱を入れる"));
  collimator_ = new QComboBox;
  collimator_->addItem(T("FWHM で指定（下の 2 行）"), QStringLiteral("fwhm"));
  for (const std::string& key : sinora::collimatorPresetKeys())
    collimator_->addItem(QString::fromStdString(key).toUpper(), QString::fromStdString(key));
  collimator_->addItem(T("入力"), QStringLiteral("typed"));
  collimatorNumbers_ = new QLineEdit;
  collimatorNumbers_->setObjectName(QStringLiteral("collimator"));
  collimatorNumbers_->setFixedWidth(170);
  connect(collimatorNumbers_, &QLineEdit::textChanged, this, &PhantomWindow::check);
  auto addEdit = [&](const Field& f) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(f.name));
    e->setFixedWidth(110);
    edits_[QString::fromLatin1(f.name)] = e;
    connect(e, &QLineEdit::textChanged, this, &PhantomWindow::check);
    return e;
  };
  for (const Field& f : kFields) {
    const QString name = QString::fromLatin1(f.name);
    QLineEdit* e = addEdit(f);
    QWidget* control = e;
    if (name == QLatin1String("counts")) {
      auto* box = new QWidget;
      auto* h = new QHBoxLayout(box);
      h->setContentsMargins(0, 0, 0, 0);
      h->addWidget(e);
      h->addWidget(noiseFree_);
      control = box;
    }
    if (name == QLatin1String("pointX") || name == QLatin1String("pointY") || name == QLatin1String("peak") ||
        name == QLatin1String("lower")) {
      if (name == QLatin1String("peak")) form->addRow(T("核種"), isotope_);
      form->addRow(T(f.label), control);
      continue;
    }
    if (name == QLatin1String("pointZ")) {
      form->addRow(T(f.label), withProblem(control, QStringLiteral("point")));
      continue;
    }
    form->addRow(T(f.label), withProblem(control, QString::fromLatin1(f.problem)));
    if (name == QLatin1String("views")) {
      form->addRow(T("収集角度"), withProblem(arc_, QStringLiteral("arc")));
    } else if (name == QLatin1String("start")) {
      form->addRow(T("回転方向"), direction_);
      form->addRow(T("マトリクス (ビン x 行)"), withProblem(matrix_, QStringLiteral("matrix")));
    } else if (name == QLatin1String("fwhm")) {
      form->addRow(T("ぼけの広がり方"), blur_);
    } else if (name == QLatin1String("counts")) {
      form->addRow(T("コリメータ"), collimator_);
      form->addRow(T("R_i, R_c0 (mm), k"), withProblem(collimatorNumbers_, QStringLiteral("collimator")));
    } else if (name == QLatin1String("eres")) {
      form->addRow(QString(), scatter_);
    }
  }
  message_ = new QLabel;
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  // Two lines kept for it whether or not it says anything, so the window keeps its size.
  message_->setFixedHeight(message_->fontMetrics().lineSpacing() * 2 + 4);
  progress_ = new QProgressBar;
  progress_->setVisible(false);
  make_ = new QPushButton(T("作成"));
  cancel_ = new QPushButton(T("キャンセル"));
  defaults_ = new QPushButton(T("既定値に戻す"));
  back_ = new QPushButton(T("前の検査に戻す"));
  back_->setEnabled(false);
  // Return in a box starts nothing: making a study can take seconds.
  for (QPushButton* b : {make_, cancel_, defaults_, back_}) b->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(defaults_);
  buttons->addWidget(back_);
  buttons->addWidget(progress_, 1);
  buttons->addStretch();
  buttons->addWidget(make_);
  buttons->addWidget(cancel_);
  auto* content = new QWidget;
  auto* all = new QVBoxLayout(content);
  all->addLayout(form);
  // The settings scroll on a small or scaled screen; what makes the study and says how it went
  // stays in sight under them.
  auto* below = new QVBoxLayout;
  below->addWidget(message_);
  below->addLayout(buttons);
  setScrollingContent(this, content, below);
  connect(make_, &QPushButton::clicked, this, &PhantomWindow::makeStudy);
  connect(cancel_, &QPushButton::clicked, this, &PhantomWindow::reject);
  connect(defaults_, &QPushButton::clicked, this, &PhantomWindow::restoreDefaults);
  connect(back_, &QPushButton::clicked, this, [this] {
    emit backRequested();
    message_->setText(T("前の検査に戻しました。"));
  });
  for (QComboBox* c : {object_, arc_, direction_, matrix_, blur_, isotope_})
    connect(c, &QComboBox::currentIndexChanged, this, &PhantomWindow::check);
  connect(collimator_, &QComboBox::currentIndexChanged, this, [this] {
    showCollimator();
    check();
  });
  connect(noiseFree_, &QCheckBox::toggled, this, &PhantomWindow::check);
  connect(scatter_, &QCheckBox::toggled, this, &PhantomWindow::check);
  poll_ = new QTimer(this);
  poll_->setInterval(30);
  connect(poll_, &QTimer::timeout, this, [this] {
    progress_->setValue(viewsDone_);
    if (done_) finishMaking();
  });

  // The last settings, or the defaults.
  PhantomSettings s;
  settings_->beginGroup(QLatin1String(kGroup));
  sinora::phantomFromKey(settings_->value(QStringLiteral("Object"), QString::fromStdString(sinora::phantomKey(s.kind)))
                             .toString()
                             .toStdString(),
                         s.kind);
  s.views = settings_->value(QStringLiteral("Views"), s.views).toInt();
  s.arcDegrees = settings_->value(QStringLiteral("Arc"), s.arcDegrees).toDouble();
  s.startDegrees = settings_->value(QStringLiteral("Start"), s.startDegrees).toDouble();
  s.clockwise = settings_->value(QStringLiteral("Clockwise"), s.clockwise).toBool();
  s.matrix = settings_->value(QStringLiteral("Matrix"), s.matrix).toInt();
  s.pixelMm = settings_->value(QStringLiteral("PixelSize"), s.pixelMm).toDouble();
  s.counts = settings_->value(QStringLiteral("Counts"), s.counts).toDouble();
  s.noiseFree = settings_->value(QStringLiteral("NoiseFree"), s.noiseFree).toBool();
  s.fwhmMm = settings_->value(QStringLiteral("Fwhm"), s.fwhmMm).toDouble();
  s.blurGrows = settings_->value(QStringLiteral("BlurGrows"), s.blurGrows).toBool();
  s.radiusMm = settings_->value(QStringLiteral("Radius"), s.radiusMm).toDouble();
  s.corPixels = settings_->value(QStringLiteral("Cor"), s.corPixels).toDouble();
  s.muPerCm = settings_->value(QStringLiteral("Mu"), s.muPerCm).toDouble();
  s.pointMm[0] = settings_->value(QStringLiteral("PointX"), 0.0).toDouble();
  s.pointMm[1] = settings_->value(QStringLiteral("PointY"), 0.0).toDouble();
  s.pointMm[2] = settings_->value(QStringLiteral("PointZ"), 0.0).toDouble();
  s.seed = settings_->value(QStringLiteral("Seed"), qulonglong(s.seed)).toULongLong();
  s.isotope = settings_->value(QStringLiteral("Isotope"), QString::fromStdString(s.isotope)).toString().toStdString();
  s.peakPercent = settings_->value(QStringLiteral("PeakPercent"), s.peakPercent).toDouble();
  s.lowerPercent = settings_->value(QStringLiteral("LowerPercent"), s.lowerPercent).toDouble();
  s.upperPercent = settings_->value(QStringLiteral("UpperPercent"), s.upperPercent).toDouble();
  s.energyResolutionPercent = settings_->value(QStringLiteral("EnergyResolution"), s.energyResolutionPercent).toDouble();
  s.scatter = settings_->value(QStringLiteral("Scatter"), s.scatter).toBool();
  {
    // A preset's key, "typed" with its numbers, or the FWHM setting.
    const QString key = settings_->value(QStringLiteral("Collimator"), QStringLiteral("fwhm")).toString();
    std::string error;
    sinora::Collimator c;
    if (key != QLatin1String("fwhm") &&
        sinora::parseCollimator(key == QLatin1String("typed")
                                    ? settings_->value(QStringLiteral("CollimatorNumbers")).toString().toStdString()
                                    : key.toStdString(),
                                c, error)) {
      s.realCollimator = true;
      s.collimator = c;
    }
    typedCollimator_ = key == QLatin1String("typed");
  }
  settings_->endGroup();
  setSettings(s);
  check();
}

PhantomWindow::~PhantomWindow() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

QLineEdit* PhantomWindow::edit(const QString& field) const {
  const auto it = edits_.find(field);
  return it == edits_.end() ? nullptr : it->second;
}

QLabel* PhantomWindow::problem(const QString& field) const {
  const auto it = problems_.find(field);
  return it == problems_.end() ? nullptr : it->second;
}

void PhantomWindow::setSettings(const PhantomSettings& s) {
  const QSignalBlocker block(this);
  object_->setCurrentIndex(std::max(0, object_->findData(int(s.kind))));
  arc_->setCurrentIndex(s.arcDegrees == 180 ? 1 : 0);
  direction_->setCurrentIndex(s.clockwise ? 0 : 1);
  matrix_->setCurrentIndex(std::max(0, matrix_->findData(s.matrix)));
  noiseFree_->setChecked(s.noiseFree);
  blur_->setCurrentIndex(s.blurGrows ? 0 : 1);
  edit(QStringLiteral("views"))->setText(QString::number(s.views));
  edit(QStringLiteral("start"))->setText(number(s.startDegrees));
  edit(QStringLiteral("pixel"))->setText(number(s.pixelMm));
  edit(QStringLiteral("counts"))->setText(number(s.counts));
  edit(QStringLiteral("fwhm"))->setText(number(s.fwhmMm));
  edit(QStringLiteral("radius"))->setText(number(s.radiusMm));
  edit(QStringLiteral("cor"))->setText(number(s.corPixels));
  edit(QStringLiteral("mu"))->setText(number(s.muPerCm));
  edit(QStringLiteral("pointX"))->setText(number(s.pointMm[0]));
  edit(QStringLiteral("pointY"))->setText(number(s.pointMm[1]));
  edit(QStringLiteral("pointZ"))->setText(number(s.pointMm[2]));
  edit(QStringLiteral("seed"))->setText(QString::number(qulonglong(s.seed)));
  isotope_->setCurrentIndex(std::max(0, isotope_->findData(QString::fromStdString(s.isotope))));
  edit(QStringLiteral("peak"))->setText(number(s.peakPercent));
  edit(QStringLiteral("lower"))->setText(number(s.lowerPercent));
  edit(QStringLiteral("upper"))->setText(number(s.upperPercent));
  edit(QStringLiteral("eres"))->setText(number(s.energyResolutionPercent));
  scatter_->setChecked(s.scatter);
  // A real collimator shows as its preset when its numbers are one, else as typed.
  int pick = 0;
  if (s.realCollimator) {
    pick = collimator_->findData(QStringLiteral("typed"));
    for (const std::string& key : sinora::collimatorPresetKeys()) {
      sinora::Collimator c;
      sinora::collimatorPreset(key, c);
      if (!typedCollimator_ && c.intrinsicMm == s.collimator.intrinsicMm && c.faceMm == s.collimator.faceMm &&
          c.slope == s.collimator.slope)
        pick = collimator_->findData(QString::fromStdString(key));
    }
  }
  typedCollimator_ = false;
  collimator_->setCurrentIndex(pick);
  collimatorNumbers_->setText(QStringLiteral("%1, %2, %3")
                                  .arg(number(s.collimator.intrinsicMm), number(s.collimator.faceMm),
                                       number(s.collimator.slope)));
  showCollimator();
  check();
}

void PhantomWindow::showCollimator() {
  // A preset's numbers are shown as they are; typed ones start from the last shown.
  const QString key = collimator_->currentData().toString();
  const bool typed = key == QLatin1String("typed"), fwhm = key == QLatin1String("fwhm");
  collimatorNumbers_->setEnabled(!fwhm);
  collimatorNumbers_->setReadOnly(!typed);
  sinora::Collimator c;
  if (!fwhm && !typed && sinora::collimatorPreset(key.toStdString(), c)) {
    const QSignalBlocker block(collimatorNumbers_);
    collimatorNumbers_->setText(QStringLiteral("%1, %2, %3").arg(number(c.intrinsicMm), number(c.faceMm), number(c.slope)));
  }
  edit(QStringLiteral("fwhm"))->setEnabled(fwhm);
  blur_->setEnabled(fwhm);
}

bool PhantomWindow::readCollimator(sinora::PhantomSettings& s) const {
  const QString key = collimator_->currentData().toString();
  s.realCollimator = key != QLatin1String("fwhm");
  if (!s.realCollimator) return true;
  QString text = key == QLatin1String("typed") ? collimatorNumbers_->text() : key;
  text.remove(QLatin1Char(' '));
  std::string error;
  return sinora::parseCollimator(text.toStdString(), s.collimator, error);
}

bool PhantomWindow::readSettings(PhantomSettings& s) const {
  bool all = true;
  s.kind = PhantomKind(object_->currentData().toInt());
  s.arcDegrees = arc_->currentData().toDouble();
  s.clockwise = direction_->currentData().toBool();
  s.matrix = matrix_->currentData().toInt();
  s.noiseFree = noiseFree_->isChecked();
  s.blurGrows = blur_->currentData().toBool();
  auto real = [&](const char* field, double& v) {
    if (!parseReal(edit(QString::fromLatin1(field))->text(), v)) all = false;
  };
  double views = 0, seed = 0;
  real("views", views);
  real("start", s.startDegrees);
  real("pixel", s.pixelMm);
  real("counts", s.counts);
  real("fwhm", s.fwhmMm);
  real("radius", s.radiusMm);
  real("cor", s.corPixels);
  real("mu", s.muPerCm);
  real("pointX", s.pointMm[0]);
  real("pointY", s.pointMm[1]);
  real("pointZ", s.pointMm[2]);
  real("peak", s.peakPercent);
  real("lower", s.lowerPercent);
  real("upper", s.upperPercent);
  real("eres", s.energyResolutionPercent);
  real("seed", seed);
  s.isotope = isotope_->currentData().toString().toStdString();
  s.scatter = scatter_->isChecked();
  if (!readCollimator(s)) all = false;
  // Whole numbers only; anything else is left for the checks to refuse.
  s.views = std::isfinite(views) && views == std::floor(views) && std::fabs(views) < 1e6 ? int(views) : 0;
  if (!(std::isfinite(seed) && seed >= 0 && seed == std::floor(seed) && seed < 1.8e19)) all = false;
  else s.seed = std::uint64_t(seed);
  return all;
}

void PhantomWindow::check() {
  for (auto& [field, label] : problems_) label->clear();
  PhantomSettings s;
  bool valid = readSettings(s);
  // Boxes that hold no number, each said beside its own row.
  for (const Field& f : kFields) {
    double v;
    const bool point = QLatin1String(f.problem) == QLatin1String("point");
    if (point && s.kind != PhantomKind::PointSource) continue;
    const QString text = edit(QString::fromLatin1(f.name))->text();
    QLabel* p = problem(QString::fromLatin1(f.problem));
    if (!parseReal(text, v)) p->setText(T("数を入れてください。"));
    else if (f.whole && (v != std::floor(v) || !std::isfinite(v)))
      p->setText(T("整数を入れてください。"));
    else if (QLatin1String(f.name) == QLatin1String("seed") && (v < 0 || v >= 1.8e19))
      p->setText(T("0 以上の整数です。"));
    else continue;
    valid = false;
  }
  {
    sinora::PhantomSettings c;
    if (!readCollimator(c)) {
      problem(QStringLiteral("collimator"))
          ->setText(T("R_i, R_c0, k を「3.5, 1.48, 0.0447」のように入力してください（R_i と R_c0 は 0 から 50 mm、k は 0 から 1）。"));
      valid = false;
    }
  }
  for (const sinora::SettingProblem& pr : sinora::checkPhantom(s)) {
    QLabel* p = problem(QString::fromStdString(pr.field));
    if (p && p->text().isEmpty()) p->setText(sinora::TM(pr.message));
    valid = false;
  }
  const bool point = s.kind == PhantomKind::PointSource;
  for (const char* f : {"pointX", "pointY", "pointZ"}) edit(QString::fromLatin1(f))->setEnabled(point);
  edit(QStringLiteral("radius"))->setEnabled(s.blurGrows || s.realCollimator);
  make_->setEnabled(valid && !making());
}

void PhantomWindow::makeStudy() {
  PhantomSettings s;
  if (making() || !readSettings(s) || !sinora::checkPhantom(s).empty()) return;
  remember();
  message_->setText(T("作成中..."));
  progress_->setRange(0, s.views);
  progress_->setValue(0);
  progress_->setVisible(true);
  make_->setEnabled(false);
  stop_ = false;
  done_ = false;
  viewsDone_ = 0;
  worker_ = std::thread([this, s] {
    result_ = sinora::makePhantomStudy(s, 2, &stop_, &viewsDone_);
    done_ = true;
  });
  poll_->start();
}

void PhantomWindow::waitForMaking() {
  if (worker_.joinable()) worker_.join();
  if (done_) finishMaking();
}

void PhantomWindow::finishMaking() {
  poll_->stop();
  if (worker_.joinable()) worker_.join();
  done_ = false;
  progress_->setVisible(false);
  if (stop_) return;  // cancelled: the window is closing
  if (!result_.study) {
    message_->setText(sinora::TM(result_.error));
    check();
    return;
  }
  study_ = result_.study;
  message_->setText(T("作成しました。現在の検査になりました。"));
  check();
  emit studyMade(study_);
}

void PhantomWindow::setCanGoBack(bool can) { back_->setEnabled(can); }

void PhantomWindow::restoreDefaults() {
  setSettings(PhantomSettings{});
  check();
}

void PhantomWindow::reject() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  poll_->stop();
  done_ = false;
  QDialog::reject();
}

void PhantomWindow::remember() const {
  PhantomSettings s;
  readSettings(s);
  settings_->beginGroup(QLatin1String(kGroup));
  settings_->setValue(QStringLiteral("Object"), QString::fromStdString(sinora::phantomKey(s.kind)));
  settings_->setValue(QStringLiteral("Views"), s.views);
  settings_->setValue(QStringLiteral("Arc"), s.arcDegrees);
  settings_->setValue(QStringLiteral("Start"), s.startDegrees);
  settings_->setValue(QStringLiteral("Clockwise"), s.clockwise);
  settings_->setValue(QStringLiteral("Matrix"), s.matrix);
  settings_->setValue(QStringLiteral("PixelSize"), s.pixelMm);
  settings_->setValue(QStringLiteral("Counts"), s.counts);
  settings_->setValue(QStringLiteral("NoiseFree"), s.noiseFree);
  settings_->setValue(QStringLiteral("Fwhm"), s.fwhmMm);
  settings_->setValue(QStringLiteral("BlurGrows"), s.blurGrows);
  settings_->setValue(QStringLiteral("Radius"), s.radiusMm);
  settings_->setValue(QStringLiteral("Cor"), s.corPixels);
  settings_->setValue(QStringLiteral("Mu"), s.muPerCm);
  settings_->setValue(QStringLiteral("PointX"), s.pointMm[0]);
  settings_->setValue(QStringLiteral("PointY"), s.pointMm[1]);
  settings_->setValue(QStringLiteral("PointZ"), s.pointMm[2]);
  settings_->setValue(QStringLiteral("Seed"), qulonglong(s.seed));
  settings_->setValue(QStringLiteral("Isotope"), QString::fromStdString(s.isotope));
  settings_->setValue(QStringLiteral("PeakPercent"), s.peakPercent);
  settings_->setValue(QStringLiteral("LowerPercent"), s.lowerPercent);
  settings_->setValue(QStringLiteral("UpperPercent"), s.upperPercent);
  settings_->setValue(QStringLiteral("EnergyResolution"), s.energyResolutionPercent);
  settings_->setValue(QStringLiteral("Scatter"), s.scatter);
  const QString key = collimator_->currentData().toString();
  settings_->setValue(QStringLiteral("Collimator"), key);
  settings_->setValue(QStringLiteral("CollimatorNumbers"),
                      QStringLiteral("%1,%2,%3").arg(number(s.collimator.intrinsicMm), number(s.collimator.faceMm),
                                                     number(s.collimator.slope)));
  settings_->endGroup();
  settings_->sync();
}
