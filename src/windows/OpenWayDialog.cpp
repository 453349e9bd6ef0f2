#include "windows/OpenWayDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>

#include "imaging/recipe.h"
#include "imaging/scatter.h"
#include "platform/tr.h"
#include "windows/PictureView.h"

using sinora::OpenWay;
using sinora::StudyPtr;
using sinora::T;

namespace {

constexpr int kPreviewSide = 176;  // pixels of the preview's square

// Every row of each view added into one (kept as weights beside whole counts): its
// reconstruction is the whole body seen from the feet, enough counts to show its outline and
// organs the right way round or not.
StudyPtr rowsAdded(const StudyPtr& s) {
  sinora::StudyGeometry g = s->geometry();
  g.rows = 1;
  g.energyWindows = nullptr;
  const int b = s->bins();
  auto sums = std::make_shared<std::vector<float>>(std::size_t(s->views()) * b, 0.0f);
  std::vector<double> row(static_cast<std::size_t>(b));
  for (int k = 0; k < s->views(); ++k)
    for (int r = 0; r < s->rows(); ++r) {
      sinora::exactRow(*s, k, r, row.data());
      for (int c = 0; c < b; ++c) (*sums)[std::size_t(k) * b + c] += float(row[std::size_t(c)]);
    }
  std::vector<std::uint16_t> whole(sums->size());
  for (std::size_t n = 0; n < whole.size(); ++n) whole[n] = std::uint16_t(std::min(65535.0f, (*sums)[n] + 0.5f));
  return std::make_shared<const sinora::ProjectionStudy>(std::move(g), std::move(whole), std::move(sums));
}

}  // namespace

OpenWayDialog::OpenWayDialog(StudyPtr study, const QString& fileName, const OpenWay& way, QWidget* parent)
    : QDialog(parent), study_(std::move(study)) {
  setWindowTitle(T("開き方"));
  auto* title = new QLabel(T("%1 の向きを確かめてください。断面が前を上に、患者の左を右にして見えるように、必要なら回すか回転方向を逆にします。").arg(fileName));
  title->setWordWrap(true);

  // The preview with the patient's sides around it.
  preview_ = new PictureView;
  preview_->setArea(kPreviewSide);
  preview_->setObjectName(QStringLiteral("openWayPreview"));
  auto* picture = new QGridLayout;
  picture->setVerticalSpacing(2);
  auto side = [&](const char* text, Qt::Alignment a, int row, int column) {
    auto* l = new QLabel(T(text));
    l->setAlignment(a);
    if (column == 1) {  // above or below the picture, centred on it rather than on its bar
      l->setFixedWidth(kPreviewSide);
      picture->addWidget(l, row, column, Qt::AlignLeft);
    } else {
      picture->addWidget(l, row, column);
    }
  };
  side(SINORA_TEXT("前 (A)"), Qt::AlignHCenter | Qt::AlignBottom, 0, 1);
  side(SINORA_TEXT("右 (R)"), Qt::AlignRight | Qt::AlignVCenter, 1, 0);
  picture->addWidget(preview_, 1, 1);
  side(SINORA_TEXT("左 (L)"), Qt::AlignLeft | Qt::AlignVCenter, 1, 2);
  side(SINORA_TEXT("後 (P)"), Qt::AlignHCenter | Qt::AlignTop, 2, 1);
  auto* what = new QLabel(T("全行の和の FBP（Hann 0.25）、足側から見る"));
  what->setAlignment(Qt::AlignHCenter);
  picture->addWidget(what, 3, 0, 1, 3);

  // The choices.
  auto* choices = new QVBoxLayout;
  choices->addWidget(new QLabel(T("開始角度に足す角度")));
  turns_ = new QButtonGroup(this);
  auto* turnRow = new QHBoxLayout;
  for (int t : {0, 90, 180, 270}) {
    auto* b = new QRadioButton(t == 0 ? T("そのまま") : T("%1 度").arg(t));
    turns_->addButton(b, t);
    turnRow->addWidget(b);
  }
  turnRow->addStretch();
  choices->addLayout(turnRow);
  mirror_ = new QCheckBox(T("回転方向を逆にする（断面が鏡像のとき）"));
  choices->addWidget(mirror_);
  const auto& set = study_->geometry().energyWindows;
  if (set && set->windows.size() > 1) {
    choices->addSpacing(6);
    choices->addWidget(new QLabel(T("光電ピークのエネルギーウィンドウ")));
    windows_ = new QListWidget;
    for (std::size_t w = 0; w < set->windows.size(); ++w)
      windows_->addItem(QStringLiteral("%1: %2").arg(w + 1).arg(QString::fromStdString(sinora::windowLabel(set->windows[w]))));
    const int rows = std::min<int>(int(set->windows.size()), 6);
    windows_->setFixedHeight(windows_->sizeHintForRow(0) * rows + 2 * windows_->frameWidth() + 2);
    choices->addWidget(windows_);
  }
  choices->addStretch();

  auto* middle = new QHBoxLayout;
  middle->addLayout(picture);
  middle->addSpacing(8);
  middle->addLayout(choices, 1);

  // What the reading took for granted, said here rather than after opening.
  auto* notes = new QPlainTextEdit;
  notes->setReadOnly(true);
  notes->setObjectName(QStringLiteral("openWayNotes"));
  QStringList lines;
  for (const std::string& n : study_->geometry().notes) lines << sinora::TM(n);
  notes->setPlainText(lines.join(QLatin1Char('\n')));
  notes->setFixedHeight(notes->fontMetrics().lineSpacing() * 4 + 12);
  notes->setVisible(!lines.isEmpty());

  auto* remember = new QLabel(T("選んだ開き方はこのファイルについて記憶され、次からは確かめずに使われます。変えるときは「応用」→「開き方...」を選ぶか、Shift を押しながら開いてください。"));
  remember->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(T("開く"));
  buttons->button(QDialogButtonBox::Cancel)->setText(T("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  // Never smaller than its contents (a first size kept to a part of a small screen would squeeze
  // the preview).
  layout->setSizeConstraint(QLayout::SetMinimumSize);
  layout->addWidget(title);
  layout->addLayout(middle);
  layout->addWidget(notes);
  layout->addWidget(remember);
  layout->addWidget(buttons);

  setWay(way);
  connect(turns_, &QButtonGroup::idClicked, this, &OpenWayDialog::updatePreview);
  connect(mirror_, &QCheckBox::toggled, this, &OpenWayDialog::updatePreview);
  if (windows_) connect(windows_, &QListWidget::currentRowChanged, this, &OpenWayDialog::updatePreview);
}

OpenWay OpenWayDialog::way() const {
  OpenWay w;
  w.turnDegrees = std::max(0, turns_->checkedId());
  w.mirror = mirror_->isChecked();
  w.energyWindow = windows_ && windows_->currentRow() >= 0 ? windows_->currentRow() : -1;
  return w;
}

void OpenWayDialog::setWay(const OpenWay& way) {
  int turn = 0;
  sinora::validTurn(way.turnDegrees, &turn);
  if (QAbstractButton* b = turns_->button(turn)) b->setChecked(true);
  mirror_->setChecked(way.mirror);
  if (windows_) {
    const int w = way.energyWindow >= 0 ? way.energyWindow : study_->geometry().energyWindow;
    windows_->setCurrentRow(std::clamp(w, 0, windows_->count() - 1));
  }
  updatePreview();
}

void OpenWayDialog::updatePreview() {
  StudyPtr s = sinora::openedWay(study_, way());
  if (!s) s = study_;
  shown_ = s;
  sinora::Recipe smooth;
  smooth.filter = sinora::FilterWindow::Hann;
  smooth.windowCutoff = 0.25;
  const StudyPtr body = rowsAdded(s);
  const sinora::RecipeSlice slice = sinora::runRecipe(*body, smooth, 0, 2, nullptr, false);
  if (!slice.ok()) {
    preview_->clear();
    return;
  }
  preview_->setValues(sliceValues(slice.values, s->bins(), slice.unit, s->geometry().pixelSizeMm));
  fitPreview();  // its colour bar now has its unit
}

void OpenWayDialog::fitPreview() {
  // The whole square, never squeezed by a dialog kept small on a small screen.
  preview_->setArea(kPreviewSide);
  preview_->setMinimumSize(preview_->maximumSize());
  if (layout()) layout()->activate();
}

void OpenWayDialog::showEvent(QShowEvent* event) {
  // The view's size counts its read-out line in the font it has once shown in the dialog.
  fitPreview();
  // The wrapped texts' lines at the width the dialog has: a first size kept to part of a small
  // screen would squeeze the rest.
  if (layout()->hasHeightForWidth()) {
    const int need = layout()->totalHeightForWidth(width());
    if (height() < need) resize(width(), need);
  }
  QDialog::showEvent(event);
}

namespace {

const char kGroup[] = "Open Ways";
constexpr int kKept = 200;  // files remembered; the least recently used is forgotten first

// The file as it stands: its canonical path, size and time of change.
struct FileStamp {
  QString path;
  qint64 size = -1, modified = 0;
};

FileStamp stampOf(const QByteArray& path) {
  const QFileInfo info(QFile::decodeName(path));
  FileStamp s;
  s.path = info.canonicalFilePath();
  if (s.path.isEmpty()) return s;
  s.size = info.size();
  s.modified = info.lastModified().toMSecsSinceEpoch();
  return s;
}

QString keyOf(const QString& canonical) {
  return QString::fromLatin1(QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex());
}

}  // namespace

std::optional<OpenWay> rememberedOpenWay(QSettings* settings, const QByteArray& path) {
  const FileStamp f = stampOf(path);
  if (!settings || f.path.isEmpty()) return std::nullopt;
  settings->beginGroup(QLatin1String(kGroup));
  settings->beginGroup(keyOf(f.path));
  std::optional<OpenWay> way;
  if (settings->value(QStringLiteral("Path")).toString() == f.path &&
      settings->value(QStringLiteral("Size")).toLongLong() == f.size &&
      settings->value(QStringLiteral("Modified")).toLongLong() == f.modified) {
    OpenWay w;
    w.turnDegrees = settings->value(QStringLiteral("Turn"), 0).toInt();
    w.mirror = settings->value(QStringLiteral("Mirror"), false).toBool();
    w.energyWindow = settings->value(QStringLiteral("EnergyWindow"), -1).toInt();
    if (sinora::validTurn(w.turnDegrees, &w.turnDegrees) && w.energyWindow >= -1) way = w;
  }
  settings->endGroup();
  settings->endGroup();
  return way;
}

void rememberOpenWay(QSettings* settings, const QByteArray& path, const OpenWay& way) {
  const FileStamp f = stampOf(path);
  if (!settings || f.path.isEmpty()) return;
  settings->beginGroup(QLatin1String(kGroup));
  settings->beginGroup(keyOf(f.path));
  settings->setValue(QStringLiteral("Path"), f.path);
  settings->setValue(QStringLiteral("Size"), f.size);
  settings->setValue(QStringLiteral("Modified"), f.modified);
  settings->setValue(QStringLiteral("Turn"), way.turnDegrees);
  settings->setValue(QStringLiteral("Mirror"), way.mirror);
  settings->setValue(QStringLiteral("EnergyWindow"), way.energyWindow);
  settings->setValue(QStringLiteral("Used"), QDateTime::currentMSecsSinceEpoch());
  settings->endGroup();
  // The least recently used beyond the limit are forgotten.
  QStringList files = settings->childGroups();
  if (files.size() > kKept) {
    auto used = [&](const QString& g) { return settings->value(g + QStringLiteral("/Used")).toLongLong(); };
    std::sort(files.begin(), files.end(), [&](const QString& a, const QString& b) { return used(a) > used(b); });
    for (qsizetype n = kKept; n < files.size(); ++n) settings->remove(files[n]);
  }
  settings->endGroup();
  settings->sync();
}

StudyPtr chooseOpenWay(QWidget* parent, QSettings* settings, const QByteArray& path, const StudyPtr& study,
                       OpenAsk ask, bool* asked) {
  if (asked) *asked = false;
  // The study file of today opens exactly as it always has.
  if (!study || study->geometry().format.empty()) return study;
  const std::optional<OpenWay> remembered = rememberedOpenWay(settings, path);
  if (remembered && ask != OpenAsk::Always) {
    if (StudyPtr s = sinora::openedWay(study, *remembered, sinora::rememberedWayNote(*study, *remembered)))
      return s;
    // A way the file no longer allows (a window it has lost) is asked again.
  }
  if (ask == OpenAsk::Never) return study;
  const int slash = path.lastIndexOf('/');
  OpenWayDialog dialog(study, QFile::decodeName(path.mid(slash + 1)), remembered.value_or(OpenWay{}), parent);
  if (asked) *asked = true;
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  const OpenWay way = dialog.way();
  rememberOpenWay(settings, path, way);
  const StudyPtr chosen = sinora::openedWay(study, way);
  return chosen ? chosen : study;
}
