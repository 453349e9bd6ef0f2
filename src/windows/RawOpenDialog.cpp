#include "windows/RawOpenDialog.h"

#include "platform/tr.h"

#include <QComboBox>
#include <algorithm>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

using sinora::formats::NumberFormat;
using sinora::T;
using sinora::formats::RawLayout;

namespace {
const char kGroup[] = "Raw Layout";
}

RawOpenDialog::RawOpenDialog(QSettings* settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle(T("生ﾃﾞｰﾀを開く"));
  auto* form = new QFormLayout;
  path_ = new QLineEdit;
  auto* browseButton = new QPushButton(T("参照..."));
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(path_, 1);
  pathRow->addWidget(browseButton);
  form->addRow(T("ファイル"), pathRow);
  auto spin = [](int lo, int hi) {
    auto* s = new QSpinBox;
    s->setRange(lo, hi);
    return s;
  };
  header_ = spin(0, 2147483647);
  views_ = spin(1, sinora::kMaxViews);
  rows_ = spin(1, sinora::kMaxRowsOrBins);
  bins_ = spin(1, sinora::kMaxRowsOrBins);
  form->addRow(T("ヘッダ（バイト）"), header_);
  form->addRow(T("ビュー数"), views_);
  form->addRow(T("行数（体軸方向）"), rows_);
  form->addRow(T("ビン数"), bins_);
  bytes_ = new QComboBox;
  for (int b : {1, 2, 4, 8}) bytes_->addItem(QString::number(b), b);
  form->addRow(T("1 カウントのバイト数"), bytes_);
  format_ = new QComboBox;
  format_->addItem(T("符号なし整数"), int(NumberFormat::Unsigned));
  format_->addItem(T("符号付き整数"), int(NumberFormat::Signed));
  format_->addItem(T("浮動小数点数"), int(NumberFormat::Float));
  form->addRow(T("数の形式"), format_);
  order_ = new QComboBox;
  order_->addItem(T("ビッグエンディアン"), true);
  order_->addItem(T("リトルエンディアン"), false);
  form->addRow(T("バイト順"), order_);
  auto real = [](double lo, double hi, int decimals) {
    auto* s = new QDoubleSpinBox;
    s->setRange(lo, hi);
    s->setDecimals(decimals);
    return s;
  };
  arc_ = real(0.01, 360, 2);
  start_ = real(-360, 360, 2);
  pixel_ = real(0, 100, 3);
  pixel_->setSpecialValueText(T("不明"));
  form->addRow(T("回転範囲（度）"), arc_);
  form->addRow(T("開始角度（度）"), start_);
  direction_ = new QComboBox;
  direction_->addItem(T("CW（角度が増える）"), true);
  direction_->addItem(T("CC（角度が減る）"), false);
  form->addRow(T("回転方向"), direction_);
  form->addRow(T("画素サイズ（mm）"), pixel_);
  sizeNote_ = new QLabel;
  sizeNote_->setObjectName(QStringLiteral("sizeNote"));
  form->addRow(sizeNote_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  form->addRow(buttons);
  QDialog::setLayout(form);
  connect(buttons, &QDialogButtonBox::accepted, this, &RawOpenDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browseButton, &QPushButton::clicked, this, &RawOpenDialog::browse);
  for (QSpinBox* s : {header_, views_, rows_, bins_})
    connect(s, &QSpinBox::valueChanged, this, &RawOpenDialog::updateSizeNote);
  connect(bytes_, &QComboBox::currentIndexChanged, this, &RawOpenDialog::updateSizeNote);
  connect(path_, &QLineEdit::textChanged, this, &RawOpenDialog::updateSizeNote);

  // The last layout used, or the study file's.
  RawLayout l;
  settings_->beginGroup(QLatin1String(kGroup));
  l.headerBytes = settings_->value(QStringLiteral("HeaderBytes"), 0).toULongLong();
  l.views = settings_->value(QStringLiteral("Views"), l.views).toInt();
  l.rows = settings_->value(QStringLiteral("Rows"), l.rows).toInt();
  l.bins = settings_->value(QStringLiteral("Bins"), l.bins).toInt();
  l.bytesPerCount = settings_->value(QStringLiteral("BytesPerCount"), l.bytesPerCount).toInt();
  l.format = NumberFormat(std::clamp(settings_->value(QStringLiteral("Format"), 0).toInt(), 0, 2));
  l.bigEndian = settings_->value(QStringLiteral("BigEndian"), true).toBool();
  l.arcDegrees = settings_->value(QStringLiteral("Arc"), 360.0).toDouble();
  l.startDegrees = settings_->value(QStringLiteral("Start"), 0.0).toDouble();
  l.clockwise = settings_->value(QStringLiteral("Clockwise"), true).toBool();
  l.pixelSizeMm = settings_->value(QStringLiteral("PixelSize"), 0.0).toDouble();
  const QString last = settings_->value(QStringLiteral("File")).toString();
  settings_->endGroup();
  setRawLayout(l);
  path_->setText(last);
  updateSizeNote();
}

void RawOpenDialog::setRawLayout(const RawLayout& l) {
  header_->setValue(int(std::min<std::uint64_t>(l.headerBytes, 2147483647)));
  views_->setValue(l.views);
  rows_->setValue(l.rows);
  bins_->setValue(l.bins);
  bytes_->setCurrentIndex(std::max(0, bytes_->findData(l.bytesPerCount)));
  format_->setCurrentIndex(std::max(0, format_->findData(int(l.format))));
  order_->setCurrentIndex(l.bigEndian ? 0 : 1);
  arc_->setValue(l.arcDegrees);
  start_->setValue(l.startDegrees);
  direction_->setCurrentIndex(l.clockwise ? 0 : 1);
  pixel_->setValue(l.pixelSizeMm);
}

RawLayout RawOpenDialog::rawLayout() const {
  RawLayout l;
  l.headerBytes = std::uint64_t(header_->value());
  l.views = views_->value();
  l.rows = rows_->value();
  l.bins = bins_->value();
  l.bytesPerCount = bytes_->currentData().toInt();
  l.format = NumberFormat(format_->currentData().toInt());
  l.bigEndian = order_->currentData().toBool();
  l.arcDegrees = arc_->value();
  l.startDegrees = start_->value();
  l.clockwise = direction_->currentData().toBool();
  l.pixelSizeMm = pixel_->value();
  return l;
}

QByteArray RawOpenDialog::path() const { return QFile::encodeName(path_->text()); }
void RawOpenDialog::setPath(const QString& path) { path_->setText(path); }

void RawOpenDialog::updateSizeNote() {
  const RawLayout l = rawLayout();
  const qint64 need = qint64(l.headerBytes) + qint64(l.views) * l.rows * l.bins * l.bytesPerCount;
  const QFileInfo info(path_->text());
  QString note = T("必要な大きさ: %1 バイト").arg(need);
  if (info.isFile()) note += T("（ファイルは %1 バイト）").arg(info.size());
  sizeNote_->setText(note);
}

void RawOpenDialog::browse() {
  const QString p = QFileDialog::getOpenFileName(this, T("生ﾃﾞｰﾀを開く"), path_->text());
  if (!p.isEmpty()) path_->setText(p);
}

void RawOpenDialog::remember() const {
  const RawLayout l = rawLayout();
  settings_->beginGroup(QLatin1String(kGroup));
  settings_->setValue(QStringLiteral("HeaderBytes"), qulonglong(l.headerBytes));
  settings_->setValue(QStringLiteral("Views"), l.views);
  settings_->setValue(QStringLiteral("Rows"), l.rows);
  settings_->setValue(QStringLiteral("Bins"), l.bins);
  settings_->setValue(QStringLiteral("BytesPerCount"), l.bytesPerCount);
  settings_->setValue(QStringLiteral("Format"), int(l.format));
  settings_->setValue(QStringLiteral("BigEndian"), l.bigEndian);
  settings_->setValue(QStringLiteral("Arc"), l.arcDegrees);
  settings_->setValue(QStringLiteral("Start"), l.startDegrees);
  settings_->setValue(QStringLiteral("Clockwise"), l.clockwise);
  settings_->setValue(QStringLiteral("PixelSize"), l.pixelSizeMm);
  settings_->setValue(QStringLiteral("File"), path_->text());
  settings_->endGroup();
  settings_->sync();
}

void RawOpenDialog::accept() {
  const QString why = sinora::TM(sinora::formats::checkLayout(rawLayout()));
  if (path_->text().isEmpty() || !why.isEmpty()) {
    QMessageBox::warning(this, windowTitle(),
                         path_->text().isEmpty() ? T("ファイルを指定してください。") : why);
    return;
  }
  remember();
  QDialog::accept();
}
