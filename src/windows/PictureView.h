// PictureView: one picture of the windows beyond the described ones. It holds the values as
// doubles with their unit and shows them through a display window (by default the picture's
// range, from 0 for counts) and a colour map, with a colour bar, zoom and pan, and a read-out of
// the value under the cursor. The student drags a region or a line, or clicks a point, in the
// picture's own pixels; Shift+drag (or a drag on the bar) sets the display window, which never
// changes the values. Its context menu keeps a copy on the comparison board, exports a figure
// (PNG, SVG, PDF), saves the values as CSV, or copies the picture.
#pragma once

#include <QChartView>
#include <QImage>
#include <QPointer>

#include <functional>
#include <vector>
#include <QWidget>

#include "imaging/colour_map.h"
#include "imaging/recipe.h"
#include "imaging/slices.h"
#include "windows/Figure.h"

// What a picture's values are (the recipe's units).
using sinora::ValueUnit;
QString unitText(ValueUnit unit);
struct PictureValues;
QString unitText(const PictureValues& v);

struct PictureValues {
  int width = 0, height = 0;
  std::vector<double> values;  // values[y * width + x]
  ValueUnit unit = ValueUnit::Counts;
  double pixelMm = 0;  // 0: not known
  // Plain numbers that have a unit of their own (a point's share, a difference in counts) name it
  // here; the bar and read-out show it in place of the unit's.
  QString unitName;
  double at(int x, int y) const { return values[std::size_t(y) * width + x]; }
  bool empty() const { return width <= 0 || height <= 0; }
};

// A slice [i * B + j] with i across; an integer picture's values as they are.
PictureValues sliceValues(const std::vector<double>& slice, int b, ValueUnit unit, double pixelMm = 0);
PictureValues pictureValues(const sinora::Picture& picture, ValueUnit unit = ValueUnit::Counts,
                            double pixelMm = 0);
// The default display window of values: their range, from 0 unless they are plain numbers.
sinora::DisplayWindow defaultWindow(const PictureValues& v);
// The numbers of a colour bar for a window: five, low to high.
std::vector<double> barTicks(sinora::DisplayWindow w);
QString tickText(double v);
// Values as CSV: one line per picture row, 17 significant digits.
QByteArray valuesCsv(const PictureValues& v);

// Pictures that share one display window: a change on one reaches every other.
class WindowLink : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  void setWindow(sinora::DisplayWindow w, QObject* from);
  bool hasWindow() const { return has_; }
  sinora::DisplayWindow window() const { return window_; }
 signals:
  void windowChanged(sinora::DisplayWindow w, QObject* from);

 private:
  sinora::DisplayWindow window_;
  bool has_ = false;
};

// SPECT over CT: `under` in grey through its window, `over`'s colours (its window and map) laid
// over it at `opacity` (0..1); over values at or below the window's low end let the picture
// under them through, and the lowest 15 % of the window fade in. The result has the under picture's size, which covers the same extent as
// the over picture's (each over pixel is under.width / over.width under pixels across).
QImage fusedPicture(const PictureValues& over, sinora::DisplayWindow overWindow, sinora::ColourMap map,
                    const PictureValues& under, sinora::DisplayWindow underWindow, double opacity);

// A picture drawn as a figure: caption on top, the picture (pixels as blocks), its colour bar
// with numbers and unit beside it.
struct PictureFigure : FigureSource {
  QImage image;  // the colours at the picture's own size
  QString caption, unit;
  sinora::DisplayWindow window;
  sinora::ColourMap map = sinora::ColourMap::Ribbon;
  int minSide = 128;  // small pictures are drawn at a whole multiple to reach this
  int captionHeight = 0;  // at least this high (figures side by side keep their tops level)
  int captionTextHeight() const;
  QSize figureSize() const override;
  void paintFigure(QPainter& p, bool vector) const override;
  QString figureName() const override { return QStringLiteral("picture"); }
};

class PictureView : public QWidget, public FigureSource {
  Q_OBJECT
 public:
  enum class Drag { Region, Line, Point };
  explicit PictureView(QWidget* parent = nullptr);

  void setValues(const PictureValues& values);
  // An integer picture of the core (a projection, a sinogram): its values as counts.
  void setPicture(const sinora::Picture& picture, sinora::Palette palette);
  void clear();
  const PictureValues& values() const { return values_; }
  QImage shownImage() const { return image_; }  // the colours at the picture's own size
  void setColourMap(sinora::ColourMap map);
  sinora::ColourMap colourMap() const { return map_; }
  // The settings that made the picture; kept with it on the board and drawn on figures.
  void setCaption(const QString& caption) { caption_ = caption; }
  QString caption() const { return caption_; }
  // The study and row a slice was reconstructed from (for a phantom's truth on the board).
  void setSource(sinora::StudyPtr study, int row) { sourceStudy_ = std::move(study), sourceRow_ = row; }
  const sinora::StudyPtr& sourceStudy() const { return sourceStudy_; }
  int sourceRow() const { return sourceRow_; }

  // A picture under this one (a CT or mu map of the same extent at any size; `unit` for the
  // read-out), shown grey in `window`, with this one over it at the opacity (fusedPicture).
  void setUnderlay(const PictureValues& under, sinora::DisplayWindow window, const QString& unit);
  void clearUnderlay();
  bool hasUnderlay() const { return !under_.empty(); }
  const PictureValues& underlay() const { return under_; }
  void setOpacity(double opacity);
  double opacity() const { return opacity_; }
  QImage fusedImage() const { return fused_; }  // null without an underlay

  // Display window: set by hand (and to the link), or back to the picture's own.
  void setWindow(sinora::DisplayWindow w);
  void resetWindow();
  sinora::DisplayWindow window() const { return window_; }
  void setLink(WindowLink* link);   // the group a "link" joins; nullptr: none
  void setLinked(bool on);
  bool linked() const { return linked_; }

  // Zoom: 0 fits the picture to the view, else screen pixels per picture pixel.
  void setZoom(double zoom);
  double zoom() const { return zoom_; }
  double shownScale() const;  // screen pixels per picture pixel now
  void setPan(QPointF pan);
  QPointF pan() const { return pan_; }
  // Side of the square the picture is fitted in (256 unless set; the view neither grows nor
  // shrinks beyond it, and the picture zooms to fit it).
  void setArea(int side);

  void setDrag(Drag d) { drag_ = d; }
  void setRegion(const QRect& r);
  void setLine(const QPoint& a, const QPoint& b);
  void setCrosshair(const QPoint& p);  // (-1, -1): none
  QRect region() const { return region_; }
  // The picture pixel under a point of the widget (may lie outside the picture).
  QPoint toPicture(const QPoint& widgetPoint) const;
  QString readout() const { return readout_; }
  QRect barRect() const;

  // The picture's colours at its own size times `scale`, and its values with 17 digits.
  bool savePng(const QString& path, int scale = 1) const;
  bool saveCsv(const QString& path) const;
  PictureFigure figure() const;
  // A picture with caption, bar and window as this one shows it, for the board.
  QSize figureSize() const override { return figure().figureSize(); }
  void paintFigure(QPainter& p, bool vector) const override { figure().paintFigure(p, vector); }
  QString figureName() const override;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void regionChosen(const QRect& pictureRect);
  void lineChosen(const QPoint& a, const QPoint& b);
  void pointChosen(const QPoint& p);
  void windowChanged(sinora::DisplayWindow w);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void leaveEvent(QEvent*) override;
  void contextMenuEvent(QContextMenuEvent*) override;

 private:
  enum class Gesture { None, Mark, WindowLevel, Bar, Pan };
  QRect pictureArea() const;
  QPoint toWidget(const QPointF& picturePoint) const;
  QPointF origin() const;
  void remap();
  void changeWindow(sinora::DisplayWindow w, bool fromUser);
  void updateReadout(const QPoint& widgetPoint);
  int barWidth() const;

  PictureValues values_;
  QImage image_;
  PictureValues under_;
  sinora::DisplayWindow underWindow_;
  QString underUnit_;
  double opacity_ = 0.6;
  QImage fused_;
  QString caption_, readout_;
  sinora::StudyPtr sourceStudy_;
  int sourceRow_ = -1;
  sinora::ColourMap map_ = sinora::ColourMap::Ribbon;
  sinora::DisplayWindow window_;
  bool ownWindow_ = true;  // the picture's default window, not one set by hand
  QPointer<WindowLink> link_;
  bool linked_ = false;
  double zoom_ = 0;
  QPointF pan_;
  int area_ = 256;
  Drag drag_ = Drag::Region;
  Gesture gesture_ = Gesture::None;
  QPoint pressWidget_;
  sinora::DisplayWindow pressWindow_;
  int barPart_ = 0;  // -1 low end, 1 high end, 0 both
  QPointF pressPan_;
  QPoint pressAt_{-1, -1}, dragAt_{-1, -1};
  QRect region_;
  QPoint lineA_{-1, -1}, lineB_{-1, -1}, cross_{-1, -1};
};

// A plot whose context menu exports it as a figure (PNG, SVG, PDF), its curves as CSV (name, x,
// y per line), or copies it.
class PlotView : public QChartView, public FigureSource {
  Q_OBJECT
 public:
  explicit PlotView(QChart* chart, QWidget* parent = nullptr);
  QByteArray csv() const;
  bool savePng(const QString& path, int scale = 1);
  bool saveCsv(const QString& path) const;
  QSize figureSize() const override;
  void paintFigure(QPainter& p, bool vector) const override;
  QString figureName() const override { return QStringLiteral("plot"); }

 protected:
  void contextMenuEvent(QContextMenuEvent*) override;
};

// Plots of a window: a colour for each method (the same in every plot of the window), curves
// dashed or solid as asked, the legend showing the dashes, whole numbers on an iteration axis.
QColor methodColour(const QString& method);
void styleSeries(QAbstractSeries* series, const QColor& colour, bool dashed, qreal width = 2);
void useLineLegend(QChart* chart);
void setIterationTicks(QChart* chart, int last);  // 1..last, whole numbers only

// Puts a window's content in a scroll area filling it, and sizes the window to the content or to
// the screen, whichever is smaller: on a small or scaled screen it still fits and scrolls. `below`
// (the window's buttons and what they report) stays under the scroll area, always in sight.
void setScrollingContent(QWidget* window, QWidget* content, QLayout* below = nullptr);

// Values of a slice [i * B + j] along a line of picture pixels (x = i, y = j), one sample per
// pixel of its length: (distance, value).
std::vector<QPointF> profileAlong(const std::vector<double>& slice, int bins, QPoint a, QPoint b);

// Writes a file whole (through a temporary file); false with nothing changed on failure. Every
// file the windows save goes through here.
bool writeTextFile(const QString& path, const QByteArray& text, QString* error);

// The study's name for captions, fixed when a window opens (the window keeps its study when the
// document moves on): the document's title, and for a phantom its count level, which is what
// tells apart the pictures a class compares.
QString studyCaption(const QString& documentTitle, const sinora::ProjectionStudy& study);


// A picture's caption: wrapped at `width`, with room for two lines from the start and for as many
// as its text needs, so that a caption that grows later is never squeezed or cut.
class QLabel;
QLabel* pictureCaption(const QString& text, int width);
