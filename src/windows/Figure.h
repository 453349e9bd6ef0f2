// Figures for a lecture: anything that can draw itself (a picture with its colour bar and
// caption, a plot, the comparison board, a whole window's pictures and plots) is written as PNG
// at a chosen scale or 300 dpi at a chosen width, as SVG or as PDF, or printed. Pictures are
// scaled nearest-neighbour, so pixels stay pixels.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPrinter;
class QWidget;

// Something drawn as a figure: figureSize() units at scale 1, painted in those units.
class FigureSource {
 public:
  virtual ~FigureSource() = default;
  virtual QSize figureSize() const = 0;
  // `vector`: the painter is an SVG or PDF writer (pictures are drawn pre-scaled as blocks, so
  // a viewer's smoothing cannot blur them).
  virtual void paintFigure(QPainter& p, bool vector) const = 0;
  virtual QString figureName() const = 0;
};

enum class FigureFormat { Png, Svg, Pdf };

struct FigureOptions {
  FigureFormat format = FigureFormat::Png;
  int scale = 2;         // 1..8: PNG and SVG size in figure units times this
  double widthMm = 0;    // above 0 (PNG): 300 dpi at this width instead of `scale`
};

// The figure's bytes in the format; empty when it has nothing to draw.
QByteArray figureBytes(const FigureSource& figure, const FigureOptions& options);
// As a PNG image (for tests and the clipboard).
QImage figureImage(const FigureSource& figure, double scale);
bool exportFigure(const FigureSource& figure, const QString& path, const FigureOptions& options,
                  QString* error);
// Asks for the format, scale and file, writes it, and says a failure in a message box.
void askAndExportFigure(QWidget* owner, const FigureSource& figure);
// One page: the figure fitted inside the printer's page.
void printFigure(const FigureSource& figure, QPrinter* printer);

// Several figures side by side, `columns` to a row, with a title line over them.
class FigureGrid : public FigureSource {
 public:
  FigureGrid(std::vector<const FigureSource*> parts, int columns, QString title = QString());
  QSize figureSize() const override;
  void paintFigure(QPainter& p, bool vector) const override;
  QString figureName() const override { return QStringLiteral("figure"); }

 private:
  std::vector<const FigureSource*> parts_;
  int columns_;
  QString title_;
};

// A window whose figure File > Print prints while it (or, through the main window's menu, it
// last) is active. `figure` makes the figure when asked. Ctrl+P in the window prints it too.
void registerFigureWindow(QWidget* window, std::function<std::unique_ptr<FigureSource>()> figure);
// The figure of the window Print stands for now, or nullptr (the main window prints its panel).
std::unique_ptr<FigureSource> figureForPrint(QWidget* mainWindow);
// Prints (with the dialog) or previews a window's figure on `printer`.
void printFigureWithDialog(QWidget* owner, const FigureSource& figure, QPrinter* printer, bool preview);
// The visible pictures and plots of a window, in reading order, as one figure.
std::unique_ptr<FigureSource> windowFigure(QWidget* window);
