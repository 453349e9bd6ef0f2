#include "windows/Figure.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QImage>
#include <QMessageBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/tr.h"
#include "windows/PictureView.h"

using sinora::T;

namespace {

constexpr int kGap = 12;

// 300 dpi: pixels for a width in millimetres.
int pixelsAt300Dpi(double mm) { return int(std::lround(mm / 25.4 * 300)); }

}  // namespace

QImage figureImage(const FigureSource& figure, double scale) {
  const QSize s = figure.figureSize();
  if (s.isEmpty() || !(scale > 0)) return {};
  QImage image(int(std::ceil(s.width() * scale)), int(std::ceil(s.height() * scale)), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(scale, scale);
  figure.paintFigure(p, false);
  return image;
}

QByteArray figureBytes(const FigureSource& figure, const FigureOptions& o) {
  const QSize s = figure.figureSize();
  if (s.isEmpty()) return {};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const int scale = std::clamp(o.scale, 1, 8);
  switch (o.format) {
    case FigureFormat::Png: {
      QImage image;
      if (o.widthMm > 0) {
        image = figureImage(figure, double(pixelsAt300Dpi(o.widthMm)) / s.width());
        image.setDotsPerMeterX(11811);  // 300 dpi
        image.setDotsPerMeterY(11811);
      } else {
        image = figureImage(figure, scale);
      }
      image.save(&buffer, "PNG");
      break;
    }
    case FigureFormat::Svg: {
      QSvgGenerator svg;
      svg.setOutputDevice(&buffer);
      svg.setSize(s * scale);
      svg.setViewBox(QRect(QPoint(0, 0), s * scale));
      svg.setTitle(figure.figureName());
      QPainter p(&svg);
      p.scale(scale, scale);
      figure.paintFigure(p, true);
      break;
    }
    case FigureFormat::Pdf: {
      // A page the figure's shape, 1 figure unit = 0.25 mm at scale 1 (a 128-pixel picture is
      // 32 mm wide, a slide's size), the figure drawn at 300 dpi.
      QPdfWriter pdf(&buffer);
      pdf.setResolution(300);
      pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
      const double mmPerUnit = 0.25 * scale;
      pdf.setPageSize(QPageSize(QSizeF(s.width() * mmPerUnit, s.height() * mmPerUnit), QPageSize::Millimeter));
      pdf.setCreator(QStringLiteral("Sinora"));
      pdf.setTitle(figure.figureName());
      QPainter p(&pdf);
      const double k = pdf.width() / double(s.width());
      p.scale(k, k);
      figure.paintFigure(p, true);
      break;
    }
  }
  buffer.close();
  return bytes;
}

bool exportFigure(const FigureSource& figure, const QString& path, const FigureOptions& o,
                  QString* error) {
  const QByteArray bytes = figureBytes(figure, o);
  if (bytes.isEmpty()) {
    if (error) *error = T("書き出すものがありません。");
    return false;
  }
  return writeTextFile(path, bytes, error);
}

void askAndExportFigure(QWidget* owner, const FigureSource& figure) {
  QDialog ask(owner);
  ask.setWindowTitle(T("図として書き出す"));
  auto* format = new QComboBox;
  format->addItems({QStringLiteral("PNG"), QStringLiteral("SVG"), QStringLiteral("PDF")});
  auto* byScale = new QRadioButton(T("倍率"));
  auto* byWidth = new QRadioButton(T("300 dpi で幅"));
  byScale->setChecked(true);
  auto* scale = new QSpinBox;
  scale->setRange(1, 8);
  scale->setValue(4);
  scale->setSuffix(QStringLiteral(" x"));
  auto* width = new QDoubleSpinBox;
  width->setRange(10, 1000);
  width->setValue(80);
  width->setSuffix(QStringLiteral(" mm"));
  auto* form = new QFormLayout(&ask);
  form->addRow(T("形式"), format);
  form->addRow(byScale, scale);
  form->addRow(byWidth, width);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
  auto sync = [&] { byWidth->setEnabled(format->currentIndex() == 0); if (!byWidth->isEnabled()) byScale->setChecked(true); };
  QObject::connect(format, &QComboBox::currentIndexChanged, &ask, sync);
  if (ask.exec() != QDialog::Accepted) return;
  FigureOptions o;
  o.format = FigureFormat(format->currentIndex());
  o.scale = scale->value();
  if (byWidth->isChecked() && o.format == FigureFormat::Png) o.widthMm = width->value();
  static const char* const ext[] = {"png", "svg", "pdf"};
  static const char* const filter[] = {"PNG (*.png)", "SVG (*.svg)", "PDF (*.pdf)"};
  const int f = format->currentIndex();
  const QString path = QFileDialog::getSaveFileName(owner, T("図として書き出す"),
                                                    figure.figureName() + QLatin1Char('.') + QLatin1String(ext[f]),
                                                    QLatin1String(filter[f]));
  if (path.isEmpty()) return;
  QString error;
  if (!exportFigure(figure, path, o, &error))
    QMessageBox::warning(owner, QStringLiteral("Sinora"), T("%1 に書けません（%2）。").arg(path, error));
}

void printFigure(const FigureSource& figure, QPrinter* printer) {
  const QSize s = figure.figureSize();
  QPainter p(printer);
  if (s.isEmpty() || !p.isActive()) return;
  const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
  const double k = std::min(page.width() / s.width(), page.height() / s.height());
  p.translate((page.width() - s.width() * k) / 2, 0);
  p.scale(k, k);
  figure.paintFigure(p, true);
}

void printFigureWithDialog(QWidget* owner, const FigureSource& figure, QPrinter* printer, bool preview) {
  if (preview) {
    QPrintPreviewDialog dialog(printer, owner);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, owner,
                     [&figure](QPrinter* pr) { printFigure(figure, pr); });
    dialog.exec();
  } else {
    QPrintDialog dialog(printer, owner);
    if (dialog.exec() == QDialog::Accepted) printFigure(figure, printer);
  }
}

FigureGrid::FigureGrid(std::vector<const FigureSource*> parts, int columns, QString title)
    : parts_(std::move(parts)), columns_(std::max(1, columns)), title_(std::move(title)) {}

namespace {
int titleHeight(const QString& title) { return title.isEmpty() ? 0 : 24; }
}  // namespace

QSize FigureGrid::figureSize() const {
  if (parts_.empty()) return {};
  std::vector<int> widths(std::size_t(columns_), 0), heights((parts_.size() + columns_ - 1) / columns_, 0);
  for (std::size_t n = 0; n < parts_.size(); ++n) {
    const QSize s = parts_[n]->figureSize();
    widths[n % columns_] = std::max(widths[n % columns_], s.width());
    heights[n / columns_] = std::max(heights[n / columns_], s.height());
  }
  int w = kGap, h = kGap + titleHeight(title_);
  for (int x : widths) w += x + kGap;
  for (int y : heights) h += y + kGap;
  return {w, h};
}

void FigureGrid::paintFigure(QPainter& p, bool vector) const {
  std::vector<int> widths(std::size_t(columns_), 0), heights((parts_.size() + columns_ - 1) / columns_, 0);
  for (std::size_t n = 0; n < parts_.size(); ++n) {
    const QSize s = parts_[n]->figureSize();
    widths[n % columns_] = std::max(widths[n % columns_], s.width());
    heights[n / columns_] = std::max(heights[n / columns_], s.height());
  }
  const QSize all = figureSize();
  p.fillRect(QRect(QPoint(0, 0), all), Qt::white);
  if (!title_.isEmpty()) {
    QFont f = p.font();
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(kGap, kGap / 2, all.width() - 2 * kGap, 24), Qt::AlignLeft | Qt::AlignVCenter, title_);
  }
  int y = kGap + titleHeight(title_);
  for (std::size_t row = 0; row < heights.size(); ++row) {
    int x = kGap;
    for (int c = 0; c < columns_; ++c) {
      const std::size_t n = row * columns_ + c;
      if (n >= parts_.size()) break;
      p.save();
      p.translate(x, y);
      parts_[n]->paintFigure(p, vector);
      p.restore();
      x += widths[std::size_t(c)] + kGap;
    }
    y += heights[row] + kGap;
  }
}

namespace {

// Which registered window was activated last, and which window before the main one.
struct Activations : QObject {
  std::map<QWidget*, std::function<std::unique_ptr<FigureSource>()>> figures;
  QPointer<QWidget> last, beforeLast;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::WindowActivate && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
      auto* w = static_cast<QWidget*>(o);
      if (w != last) {
        beforeLast = last;
        last = w;
      }
    }
    return false;
  }
};

Activations& activations() {
  static Activations* a = [] {
    auto* made = new Activations;
    qApp->installEventFilter(made);
    return made;
  }();
  return *a;
}

}  // namespace

void registerFigureWindow(QWidget* window, std::function<std::unique_ptr<FigureSource>()> figure) {
  Activations& a = activations();
  a.figures[window] = std::move(figure);
  QObject::connect(window, &QObject::destroyed, qApp, [window] { activations().figures.erase(window); });
  // Ctrl+P in the window itself prints its figure.
  auto* print = new QAction(window);
  print->setShortcut(QKeySequence::Print);
  print->setShortcutContext(Qt::WindowShortcut);
  window->addAction(print);
  QObject::connect(print, &QAction::triggered, window, [window] {
    if (auto f = activations().figures[window]()) {
      QPrinter printer;
      printFigureWithDialog(window, *f, &printer, false);
    }
  });
}

std::unique_ptr<FigureSource> figureForPrint(QWidget* mainWindow) {
  if (!qApp) return nullptr;
  Activations& a = activations();
  QWidget* active = QApplication::activeWindow();
  // The main window's menu was reached from a window with a figure: that window is meant.
  QWidget* meant = active;
  if (active == mainWindow || active == nullptr) meant = active == a.last ? a.beforeLast.data() : a.last.data();
  auto it = a.figures.find(meant);
  if (it == a.figures.end() || !meant->isVisible()) return nullptr;
  return it->second();
}

namespace {

// A window's pictures and plots, rows by their place on the screen.
class WidgetsFigure : public FigureSource {
 public:
  WidgetsFigure(std::vector<const FigureSource*> parts, std::vector<int> rowOf, QString title)
      : title_(std::move(title)) {
    int row = -1;
    for (std::size_t n = 0; n < parts.size(); ++n) {
      if (n == 0 || rowOf[n] != row) rows_.emplace_back(), row = rowOf[n];
      rows_.back().push_back(parts[n]);
    }
    for (auto& r : rows_) grids_.push_back(std::make_unique<FigureGrid>(r, int(r.size())));
    for (auto& g : grids_) all_.push_back(g.get());
    grid_ = std::make_unique<FigureGrid>(all_, 1, title_);
  }
  QSize figureSize() const override { return grid_->figureSize(); }
  void paintFigure(QPainter& p, bool vector) const override { grid_->paintFigure(p, vector); }
  QString figureName() const override { return QStringLiteral("window"); }

 private:
  QString title_;
  std::vector<std::vector<const FigureSource*>> rows_;
  std::vector<std::unique_ptr<FigureGrid>> grids_;
  std::vector<const FigureSource*> all_;
  std::unique_ptr<FigureGrid> grid_;
};

}  // namespace

std::unique_ptr<FigureSource> windowFigure(QWidget* window) {
  struct Found {
    QPoint at;
    const FigureSource* figure;
  };
  std::vector<Found> found;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window)) continue;
    const FigureSource* f = nullptr;
    if (auto* v = qobject_cast<PictureView*>(w)) f = v->values().empty() ? nullptr : v;
    else if (auto* pl = qobject_cast<PlotView*>(w)) f = pl;
    if (f) found.push_back({w->mapTo(window, QPoint(0, 0)), f});
  }
  if (found.empty()) return nullptr;
  // Rows: widgets whose tops are within 40 pixels of the row's first.
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.at.y() != b.at.y() ? a.at.y() < b.at.y() : a.at.x() < b.at.x();
  });
  std::vector<int> rowOf;
  int row = 0, top = found.front().at.y();
  for (const Found& f : found) {
    if (f.at.y() > top + 40) ++row, top = f.at.y();
    rowOf.push_back(row);
  }
  std::vector<std::size_t> order(found.size());
  for (std::size_t n = 0; n < order.size(); ++n) order[n] = n;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return rowOf[a] != rowOf[b] ? rowOf[a] < rowOf[b] : found[a].at.x() < found[b].at.x();
  });
  std::vector<const FigureSource*> parts;
  std::vector<int> rows;
  for (std::size_t n : order) parts.push_back(found[n].figure), rows.push_back(rowOf[n]);
  return std::make_unique<WidgetsFigure>(parts, rows, window->windowTitle());
}
