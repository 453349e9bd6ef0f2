#include "windows/ComparisonBoard.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "imaging/phantom.h"
#include "platform/tr.h"

using sinora::T;

namespace {

constexpr int kColumns = 4;
constexpr int kArea = 200;

QPointer<ComparisonBoard>& board() {
  static QPointer<ComparisonBoard> b;
  return b;
}

// A slice [i * B + j] back from a picture of B x B.
std::vector<double> sliceOf(const PictureValues& v) {
  std::vector<double> s(std::size_t(v.width) * v.height);
  for (int x = 0; x < v.width; ++x)
    for (int y = 0; y < v.height; ++y) s[std::size_t(x) * v.height + y] = v.at(x, y);
  return s;
}

QString number(double v, int digits) { return std::isfinite(v) ? QString::number(v, 'f', digits) : T("—"); }

}  // namespace

ComparisonBoard* ComparisonBoard::instance() {
  if (!board()) {
    board() = new ComparisonBoard;
    // Lives until the program ends.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, board().data(), &QObject::deleteLater);
  }
  return board();
}

ComparisonBoard* ComparisonBoard::existing() { return board(); }

void ComparisonBoard::keepPicture(const PictureView& view) {
  Kept k;
  k.values = view.values();
  k.caption = view.caption();
  k.map = view.colourMap();
  k.study = view.sourceStudy();
  k.row = view.sourceRow();
  ComparisonBoard* b = instance();
  b->keep(std::move(k));
  b->show();
  b->raise();
}

ComparisonBoard::ComparisonBoard(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(T("比較ボード"));
  setAttribute(Qt::WA_QuitOnClose, false);
  windowLinks_ = new QObject(this);
  link_ = new QCheckBox(T("表示窓を連動"));
  link_->setChecked(true);
  first_ = new QComboBox;
  second_ = new QComboBox;
  difference_ = new QPushButton(T("差を追加"));
  clear_ = new QPushButton(T("すべて消す"));
  export_ = new QPushButton(T("図として書き出す..."));
  empty_ = new QLabel(T("画像の右クリックメニューの「比較に追加」で、ここに並べられます。"));
  empty_->setWordWrap(true);
  auto* bar = new QHBoxLayout;
  bar->addWidget(link_);
  bar->addSpacing(12);
  bar->addWidget(first_);
  bar->addWidget(new QLabel(QStringLiteral("−")));
  bar->addWidget(second_);
  bar->addWidget(difference_);
  bar->addStretch(1);
  bar->addWidget(export_);
  bar->addWidget(clear_);
  cells_ = new QWidget;
  grid_ = new QGridLayout(cells_);
  grid_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* scroll = scroll_ = new QScrollArea;
  scroll->setWidget(cells_);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* column = new QVBoxLayout(this);
  column->addLayout(bar);
  column->addWidget(empty_);
  column->addWidget(scroll, 1);
  connect(link_, &QCheckBox::toggled, this, [this] { linkAll(); });
  connect(clear_, &QPushButton::clicked, this, &ComparisonBoard::clear);
  connect(difference_, &QPushButton::clicked, this, [this] { addDifference(first_->currentIndex(), second_->currentIndex()); });
  connect(export_, &QPushButton::clicked, this, [this] { askAndExportFigure(this, *this); });
  registerFigureWindow(this, [this]() -> std::unique_ptr<FigureSource> {
    struct Board : FigureSource {
      const ComparisonBoard* b;
      QSize figureSize() const override { return b->figureSize(); }
      void paintFigure(QPainter& p, bool v) const override { b->paintFigure(p, v); }
      QString figureName() const override { return b->figureName(); }
    };
    auto f = std::make_unique<Board>();
    f->b = this;
    return f;
  });
  const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, 1366, 768);
  resize(std::min(room.width() - 40, 1320), std::min(room.height() - 80, 700));
  rebuild();
}

void ComparisonBoard::keep(Kept k) {
  // A phantom's slice: how far it is from the truth, with the core's own measures.
  const sinora::PhantomInfo* info = k.study ? sinora::phantomInfo(*k.study) : nullptr;
  if (info && k.row >= 0 && k.row < int(info->truth.size()) && k.values.width == k.values.height &&
      k.values.unit == ValueUnit::CountsPerPixel && std::size_t(k.values.width) * k.values.width == info->truth[std::size_t(k.row)].size()) {
    const std::vector<double> slice = sliceOf(k.values);
    k.rmsePercent = sinora::truthRmsePercent(slice, info->truth[std::size_t(k.row)], k.values.width);
    k.contrast = sinora::recoveredContrast(slice, *info, k.row, sinora::featureMask(*info, k.row));
  }
  kept_.push_back(std::move(k));
  rebuild();
}

bool ComparisonBoard::addDifference(int a, int b) {
  if (a < 0 || b < 0 || a >= count() || b >= count()) return false;
  const PictureValues& x = kept_[std::size_t(a)].values;
  const PictureValues& y = kept_[std::size_t(b)].values;
  if (x.width != y.width || x.height != y.height || x.unit != y.unit) return false;
  Kept d;
  d.values = x;
  for (std::size_t n = 0; n < d.values.values.size(); ++n) d.values.values[n] = x.values[n] - y.values[n];
  d.caption = T("差: [%1] − [%2]").arg(a + 1).arg(b + 1);
  d.map = kept_[std::size_t(a)].map;
  d.difference = true;  // its own range (around 0), not the others' window
  kept_.push_back(std::move(d));
  rebuild();
  return true;
}

void ComparisonBoard::remove(int n) {
  if (n < 0 || n >= count()) return;
  kept_.erase(kept_.begin() + n);
  rebuild();
}

void ComparisonBoard::clear() {
  kept_.clear();
  rebuild();
}

void ComparisonBoard::rebuild() {
  while (QLayoutItem* item = grid_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  views_.clear();
  captions_.clear();
  cellWidgets_.clear();
  delete windowLinks_;
  windowLinks_ = new QObject(this);
  first_->clear();
  second_->clear();
  for (int n = 0; n < count(); ++n) {
    const Kept& k = kept_[std::size_t(n)];
    auto* cell = new QWidget;
    auto* column = new QVBoxLayout(cell);
    column->setContentsMargins(2, 2, 2, 2);
    auto* head = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("[%1] ").arg(n + 1) + k.caption);
    caption->setWordWrap(true);
    caption->setFixedWidth(kArea + 40);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* remove = new QToolButton;
    remove->setText(QStringLiteral("×"));
    remove->setToolTip(T("この画像を消す"));
    connect(remove, &QToolButton::clicked, this, [this, n] { this->remove(n); });
    head->addWidget(caption, 1);
    head->addWidget(remove, 0, Qt::AlignTop);
    auto* view = new PictureView;
    view->setArea(kArea);
    view->setColourMap(k.map);
    view->setValues(k.values);
    view->setCaption(k.caption);
    column->addLayout(head);
    column->addWidget(view);
    if (std::isfinite(k.rmsePercent) || std::isfinite(k.contrast)) {
      auto* truth = new QLabel(T("真値との RMSE %1 %、回復コントラスト %2").arg(number(k.rmsePercent, 1), number(k.contrast, 2)));
      truth->setObjectName(QStringLiteral("truth"));
      column->addWidget(truth);
    }
    column->addStretch(1);
    cellWidgets_.push_back(cell);
    views_.push_back(view);
    captions_.push_back(caption);
    first_->addItem(QStringLiteral("[%1]").arg(n + 1));
    second_->addItem(QStringLiteral("[%1]").arg(n + 1));
  }
  placeCells();
  if (count() > 1) second_->setCurrentIndex(1);
  difference_->setEnabled(count() > 1);
  empty_->setVisible(count() == 0);
  linkAll();
}

void ComparisonBoard::placeCells() {
  // As many columns as the board's width holds (at most kColumns), so that it never scrolls
  // sideways.
  int cellWidth = 1;
  for (QWidget* c : cellWidgets_) cellWidth = std::max(cellWidth, c->sizeHint().width() + grid_->horizontalSpacing());
  const int room = scroll_->viewport()->width() - 8;
  const int columns = std::clamp(room / cellWidth, 1, kColumns);
  if (columns == columns_ && grid_->count() == int(cellWidgets_.size())) return;
  columns_ = columns;
  for (QWidget* c : cellWidgets_) grid_->removeWidget(c);
  for (int c = 0; c <= kColumns; ++c) grid_->setColumnStretch(c, c == columns ? 1 : 0);
  for (std::size_t n = 0; n < cellWidgets_.size(); ++n)
    grid_->addWidget(cellWidgets_[n], int(n) / columns, int(n) % columns, Qt::AlignLeft | Qt::AlignTop);
}

void ComparisonBoard::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  placeCells();
}

void ComparisonBoard::linkAll() {
  for (QObject* old : windowLinks_->children()) old->deleteLater();
  if (!link_->isChecked()) {
    for (PictureView* v : views_) v->setLinked(false), v->resetWindow();
    return;
  }
  // One window for the linked pictures of each unit (counts per pixel with counts per pixel, a
  // truth with a truth): from the lowest low to the highest high. Differences keep their own.
  for (const ValueUnit unit : {ValueUnit::Counts, ValueUnit::CountsPerPixel, ValueUnit::ActivityPerMm3,
                               ValueUnit::PerCm, ValueUnit::Plain}) {
    std::vector<PictureView*> linked;
    for (std::size_t n = 0; n < views_.size(); ++n)
      if (!kept_[n].difference && kept_[n].values.unit == unit) linked.push_back(views_[n]);
    if (linked.empty()) continue;
    sinora::DisplayWindow all = defaultWindow(linked.front()->values());
    for (PictureView* v : linked) {
      const sinora::DisplayWindow w = defaultWindow(v->values());
      all.low = std::min(all.low, w.low);
      all.high = std::max(all.high, w.high);
    }
    auto* link = new WindowLink(windowLinks_);
    for (PictureView* v : linked) v->setLink(link);
    link->setWindow(all, this);
    for (PictureView* v : linked) v->setLinked(true);
  }
}

std::vector<PictureFigure> ComparisonBoard::figures() const {
  std::vector<PictureFigure> figures;
  for (std::size_t n = 0; n < views_.size(); ++n) {
    PictureFigure f = views_[n]->figure();
    f.minSide = kArea;
    f.caption = QStringLiteral("[%1] ").arg(n + 1) + kept_[n].caption;
    if (std::isfinite(kept_[n].rmsePercent) || std::isfinite(kept_[n].contrast))
      f.caption += QLatin1Char('\n') + T("真値との RMSE %1 %、回復コントラスト %2")
                                           .arg(number(kept_[n].rmsePercent, 1), number(kept_[n].contrast, 2));
    figures.push_back(f);
  }
  int tallest = 0;
  for (const PictureFigure& f : figures) tallest = std::max(tallest, f.captionTextHeight());
  for (PictureFigure& f : figures) f.captionHeight = tallest;
  return figures;
}

QSize ComparisonBoard::figureSize() const {
  const std::vector<PictureFigure> f = figures();
  std::vector<const FigureSource*> parts;
  for (const auto& x : f) parts.push_back(&x);
  return FigureGrid(parts, std::clamp(int(parts.size()), 1, kColumns), windowTitle()).figureSize();
}

void ComparisonBoard::paintFigure(QPainter& p, bool vector) const {
  const std::vector<PictureFigure> f = figures();
  std::vector<const FigureSource*> parts;
  for (const auto& x : f) parts.push_back(&x);
  FigureGrid(parts, std::clamp(int(parts.size()), 1, kColumns), windowTitle()).paintFigure(p, vector);
}
