#include "windows/CtPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>

#include "doc/SinoraDoc.h"
#include "formats/ct.h"
#include "platform/tr.h"

using namespace sinora;

namespace {

// A soft-tissue window (level 40, width 400 HU) shows the organs under the SPECT.
constexpr DisplayWindow kCtWindow{-160, 240};

}  // namespace

CtPanel::CtPanel(CSinoraDoc* doc, StudyPtr study, QWidget* parent)
    : QGroupBox(T("CT / μ マップ"), parent), doc_(doc), study_(std::move(study)) {
  grid_ = formats::sliceGridOf(*study_);
  settings_.keV = formats::photopeakKeV(*study_);
  settings_.assumedMapKeV = settings_.keV;
  under_ = new QComboBox;
  under_->addItems({QStringLiteral("CT"), T("μ マップ"), T("なし")});
  opacity_ = new QSlider(Qt::Horizontal);
  opacity_->setRange(0, 100);
  opacity_->setValue(60);
  energy_ = new QDoubleSpinBox;
  energy_->setRange(30, 600);
  energy_->setDecimals(1);
  energy_->setSuffix(QStringLiteral(" keV"));
  energy_->setValue(settings_.keV);
  auto* shifts = new QHBoxLayout;
  for (int k = 0; k < 3; ++k) {
    shift_[k] = new QDoubleSpinBox;
    shift_[k]->setRange(-kMaxShiftMm, kMaxShiftMm);
    shift_[k]->setDecimals(1);
    shift_[k]->setSingleStep(2);
    shift_[k]->setPrefix(QString(QLatin1Char("xyz"[k])) + QStringLiteral(" "));
    shifts->addWidget(shift_[k]);
  }
  lung_ = new QCheckBox(T("肺を軟部組織とする"));
  bone_ = new QCheckBox(T("骨を軟部組織とする"));
  use_ = new QCheckBox(T("減弱補正にこの μ マップを使う"));
  status_ = new QLabel;
  status_->setWordWrap(true);
  status_->setObjectName(QStringLiteral("ctStatus"));
  auto* form = new QFormLayout(this);
  form->addRow(status_);
  form->addRow(T("下に重ねる"), under_);
  // The slider says its value: a class is told "at 60 %", and a slider alone does not show it.
  opacityValue_ = new QLabel;
  opacityValue_->setObjectName(QStringLiteral("opacityValue"));
  opacityValue_->setMinimumWidth(opacityValue_->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
  opacityValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto showOpacity = [this](int v) { opacityValue_->setText(QStringLiteral("%1 %").arg(v)); };
  showOpacity(opacity_->value());
  connect(opacity_, &QSlider::valueChanged, this, showOpacity);
  auto* opacityRow = new QHBoxLayout;
  opacityRow->addWidget(opacity_, 1);
  opacityRow->addWidget(opacityValue_);
  form->addRow(T("SPECT の不透明度"), opacityRow);
  form->addRow(T("光子エネルギー"), energy_);
  form->addRow(T("ずらし（mm）"), shifts);
  auto* tissue = new QHBoxLayout;
  tissue->addWidget(lung_);
  tissue->addWidget(bone_);
  form->addRow(tissue);
  form->addRow(use_);

  auto remakeOnChange = [this] { remake(); };
  connect(energy_, &QDoubleSpinBox::valueChanged, this, remakeOnChange);
  for (QDoubleSpinBox* s : shift_) connect(s, &QDoubleSpinBox::valueChanged, this, remakeOnChange);
  connect(lung_, &QCheckBox::toggled, this, remakeOnChange);
  connect(bone_, &QCheckBox::toggled, this, remakeOnChange);
  connect(under_, &QComboBox::currentIndexChanged, this, &CtPanel::changed);
  connect(opacity_, &QSlider::valueChanged, this, &CtPanel::changed);
  connect(use_, &QCheckBox::toggled, this, &CtPanel::changed);
  connect(doc_, &CSinoraDoc::attenuationChanged, this, &CtPanel::takeSource);
  takeSource();
}

void CtPanel::takeSource() {
  sourceError_.clear();
  source_ = doc_->attenuationFor(*study_, &sourceError_);
  remake();
}

void CtPanel::remake() {
  settings_.keV = energy_->value();
  for (int k = 0; k < 3; ++k) settings_.shiftMm[k] = shift_[k]->value();
  settings_.lungAsTissue = lung_->isChecked();
  settings_.boneAsTissue = bone_->isChecked();
  map_ = source_ ? makeMuMap(*source_, grid_, settings_) : MuMap{};
  // A given map's energy and tissues are changed through the HU its values stand for.
  for (QWidget* w : std::initializer_list<QWidget*>{under_, opacity_, opacityValue_, energy_, shift_[0], shift_[1], shift_[2], lung_, bone_, use_})
    w->setEnabled(source_ != nullptr);
  QStringList lines;
  if (!source_) {
    lines << (sourceError_.isEmpty() ? T("CT も μ マップも開かれていません（応用 > CT / μマップを開く）。") : sourceError_);
  } else {
    lines << QString::fromStdString(source_->name);
    for (const std::string& n : source_->notes) lines << TM(n);
    if (!map_.ok()) lines << TM(map_.refusal);
    for (const std::string& n : map_.notes) lines << TM(n);
  }
  status_->setText(lines.join(QLatin1Char('\n')));
  emit changed();
}

std::vector<float> CtPanel::muMapForRecipe() const {
  return use_->isChecked() && hasMap() ? map_.perCm : std::vector<float>{};
}

double CtPanel::opacity() const { return opacity_->value() / 100.0; }

DisplayWindow CtPanel::underlayWindow() const {
  if (under_->currentIndex() == 0 && source_ && source_->ct) return kCtWindow;
  return {0, huToMu(1500, source_ && source_->ct ? settings_.keV : 140.5)};
}

QString CtPanel::underlayUnit() const {
  return under_->currentIndex() == 0 && source_ && source_->ct ? QStringLiteral("HU") : QStringLiteral("cm^-1");
}

PictureValues CtPanel::underlay(int plane, int index) const {
  PictureValues v;
  if (!hasMap() || under_->currentIndex() == 2) return v;
  const bool mu = under_->currentIndex() == 1 || !source_->ct;
  // Twice as fine as the grid (or finer, for a small one) where the CT has the detail.
  const int factor = std::clamp(int(std::ceil(256.0 / grid_.bins)), 1, 4);
  const PlaneImage p = attenuationPlane(*source_, grid_, settings_, map_, plane, index, factor, mu);
  v.width = p.width;
  v.height = p.height;
  v.values = p.values;
  v.unit = mu ? ValueUnit::PerCm : ValueUnit::Plain;
  return v;
}

void CtPanel::applyTo(PictureView* view, int plane, int index) const {
  const PictureValues u = underlay(plane, index);
  if (u.empty()) {
    view->clearUnderlay();
    return;
  }
  view->setOpacity(opacity());
  view->setUnderlay(u, underlayWindow(), underlayUnit());
}
