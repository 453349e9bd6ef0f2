// The picture view of the windows beyond the described ones, its figures and the comparison board.
#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>

#include "doc/SinoraDoc.h"
#include "imaging/iterative.h"
#include "imaging/phantom.h"
#include "imaging/sample_study.h"
#include "windows/ComparisonBoard.h"
#include "windows/Figure.h"
#include "windows/IterativeWindow.h"
#include "windows/PictureView.h"

using namespace sinora;

namespace {

// A 128 x 128 picture of smooth values 0 .. 0.35 (as a low-count OSEM slice has).
PictureValues smallValues() {
  PictureValues v;
  v.width = v.height = 128;
  v.unit = ValueUnit::CountsPerPixel;
  v.pixelMm = 3.2;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) v.values.push_back(0.35 * (x + 128 * y) / (128.0 * 128 - 1));
  return v;
}

int distinctColours(const QImage& image) {
  QSet<QRgb> seen;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
  return int(seen.size());
}

TEST(PictureView, SmallFloatValuesAreShownAsTheyAreNotRoundedAway) {
  PictureView view;
  view.setValues(smallValues());
  // Over 0 .. maximum: every one of the Ribbon's 256 levels is reached, none rounded to black.
  EXPECT_EQ(view.window().low, 0);
  EXPECT_DOUBLE_EQ(view.window().high, 0.35);
  EXPECT_GT(distinctColours(view.shownImage()), 200);
  for (ColourMap map : {ColourMap::Grey, ColourMap::Viridis, ColourMap::InvertedGrey}) {
    view.setColourMap(map);
    EXPECT_GT(distinctColours(view.shownImage()), 200) << int(map);
  }
  // Viridis runs from its dark violet to its yellow; inverted grey from white to black.
  const QRgb bottom = colourAt(ColourMap::Viridis, 0);  // the map's (68, 1, 84), within the fit
  EXPECT_NEAR(qRed(bottom), 68, 4);
  EXPECT_NEAR(qGreen(bottom), 1, 4);
  EXPECT_NEAR(qBlue(bottom), 84, 4);
  const QRgb top = colourAt(ColourMap::Viridis, 1);
  EXPECT_GT(qRed(top), 240);
  EXPECT_GT(qGreen(top), 220);
  EXPECT_LT(qBlue(top), 50);
  EXPECT_EQ(colourAt(ColourMap::InvertedGrey, 0), 0xffffffffu);
  EXPECT_EQ(colourAt(ColourMap::InvertedGrey, 1), 0xff000000u);
}

TEST(PictureView, WindowLevelAndZoomChangeWhatIsShownNeverTheValues) {
  PictureView view;
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  const PictureValues v = smallValues();
  view.setValues(v);
  const QImage before = view.shownImage();
  // Shift+drag on the picture: right widens, up raises the level.
  QTest::mousePress(&view, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
  QMouseEvent move(QEvent::MouseMove, QPointF(40, 60), view.mapToGlobal(QPointF(40, 60)), Qt::NoButton,
                   Qt::LeftButton, Qt::ShiftModifier);
  QApplication::sendEvent(&view, &move);
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::ShiftModifier, QPoint(40, 60));
  EXPECT_LT(view.window().high - view.window().low, 0.35);  // narrower
  EXPECT_NE(view.shownImage(), before);
  EXPECT_EQ(view.values().values, v.values);
  EXPECT_TRUE(view.region().isEmpty());  // the drag set the window, not a region
  // A drag on the bar's top end moves only the top.
  view.resetWindow();
  const QRect bar = view.barRect();
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(bar.center().x(), bar.top() + 5));
  QMouseEvent up(QEvent::MouseMove, QPointF(bar.center().x(), bar.top() + 5 + bar.height() / 2),
                 view.mapToGlobal(QPointF(bar.center().x(), bar.top() + 5 + bar.height() / 2)), Qt::NoButton,
                 Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&view, &up);
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(bar.center().x(), bar.top() + 5 + bar.height() / 2));
  EXPECT_EQ(view.window().low, 0);
  EXPECT_NEAR(view.window().high, 0.35 / 2, 0.01);
  EXPECT_EQ(view.values().values, v.values);
  // Zoom: 4 screen pixels a picture pixel, the read-out still names the pixel under the cursor.
  const QImage fitted = view.grab().toImage();
  view.setZoom(4);
  EXPECT_EQ(view.shownScale(), 4);
  EXPECT_NE(view.grab().toImage(), fitted);
  EXPECT_EQ(view.toPicture(QPoint(4 * 10 + 1, 4 * 20 + 1)), QPoint(10, 20));
  QTest::mouseMove(&view, QPoint(4 * 10 + 1, 4 * 20 + 1));
  EXPECT_TRUE(view.readout().startsWith(QStringLiteral("(10, 20)"))) << view.readout().toStdString();
  EXPECT_TRUE(view.readout().contains(QString::number(v.at(10, 20), 'g', 6))) << view.readout().toStdString();
  EXPECT_TRUE(view.readout().contains(QStringLiteral("mm")));
  EXPECT_EQ(view.values().values, v.values);
  // Wheel and fit.
  view.setZoom(0);
  EXPECT_EQ(view.shownScale(), 2);  // 128 pixels in the 256 area
}

TEST(PictureView, TheColourBarsNumbersAreTheWindow) {
  for (const DisplayWindow w : {DisplayWindow{0, 0.35}, DisplayWindow{-12.5, 300}, DisplayWindow{1e-6, 2e-6}}) {
    const std::vector<double> t = barTicks(w);
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t.front(), w.low);
    EXPECT_EQ(t.back(), w.high);
    EXPECT_DOUBLE_EQ(t[2], (w.low + w.high) / 2);
  }
  // The bar drawn beside the picture: its top is the top colour, its bottom the bottom one.
  PictureView view;
  view.resize(view.sizeHint());
  view.setValues(smallValues());
  view.setWindow({0.1, 0.2});
  const QImage shown = view.grab().toImage();
  const QRect bar = view.barRect();
  auto near = [](QRgb got, double t) {  // the colour of t, give or take a row of the bar
    for (double d : {-2.0, -1.0, 0.0, 1.0, 2.0})
      if ((got | 0xff000000u) == colourAt(ColourMap::Ribbon, t + d / 255)) return true;
    return false;
  };
  EXPECT_TRUE(near(shown.pixel(bar.center().x(), bar.top() + 1), 1));
  EXPECT_TRUE(near(shown.pixel(bar.center().x(), bar.center().y()), 0.5));
  EXPECT_TRUE(near(shown.pixel(bar.center().x(), bar.bottom() - 1), 0));
  // A value below the window's low shows the bottom colour, above its high the top one.
  EXPECT_EQ(view.shownImage().pixel(0, 0) | 0xff000000u, colourAt(ColourMap::Ribbon, 0));
  EXPECT_EQ(view.shownImage().pixel(127, 127) | 0xff000000u, colourAt(ColourMap::Ribbon, 1));
}

TEST(PictureView, LinkedPicturesShareOneWindow) {
  WindowLink link;
  PictureView a, b, c;
  for (PictureView* v : {&a, &b, &c}) v->setLink(&link), v->setValues(smallValues());
  a.setLinked(true);
  b.setLinked(true);
  a.setWindow({0.05, 0.1});
  EXPECT_EQ(b.window().low, 0.05);
  EXPECT_EQ(b.window().high, 0.1);
  EXPECT_EQ(c.window().high, 0.35);  // not linked
  c.setLinked(true);  // joins with the group's window
  EXPECT_EQ(c.window().high, 0.1);
}

TEST(PictureView, CsvHoldsTheValuesWithSeventeenDigitsAndPngTheColours) {
  QTemporaryDir dir;
  PictureView view;
  PictureValues v = smallValues();
  v.values[5] = 1.0 / 3;
  view.setValues(v);
  const QString csv = dir.filePath(QStringLiteral("v.csv")), png = dir.filePath(QStringLiteral("v.png"));
  ASSERT_TRUE(view.saveCsv(csv));
  QFile f(csv);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().split('\n');
  ASSERT_EQ(lines.size(), 129);
  EXPECT_EQ(lines[0].split(',')[5], QByteArray("0.33333333333333331"));
  for (int x : {0, 77, 127}) EXPECT_EQ(lines[90].split(',')[x].toDouble(), v.at(x, 90)) << x;
  ASSERT_TRUE(view.savePng(png, 3));
  const QImage saved(png);
  ASSERT_EQ(saved.size(), QSize(384, 384));
  for (const QPoint p : {QPoint(0, 0), QPoint(70, 64), QPoint(127, 127)})
    for (int dy = 0; dy < 3; ++dy)
      for (int dx = 0; dx < 3; ++dx)
        EXPECT_EQ(saved.pixel(3 * p.x() + dx, 3 * p.y() + dy) | 0xff000000u, view.shownImage().pixel(p) | 0xff000000u);
}

TEST(PictureView, TheWindowsOsemCsvIsSinoraRendersAndNotWholeNumbers) {
  QTemporaryDir dir;
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  w.iterationsBox()->setValue(1);  // 10 subsets, row 60
  w.reconstructButton()->click();
  const QString mine = dir.filePath(QStringLiteral("window.csv"));
  ASSERT_TRUE(w.osemView()->saveCsv(mine));
  QProcess render;
  render.start(QStringLiteral(SINORA_RENDER), {QStringLiteral("--out"), dir.filePath(QStringLiteral("r")),
                                               QStringLiteral("--osem"), QStringLiteral("10:1"), QStringLiteral("--values")});
  ASSERT_TRUE(render.waitForFinished(120000));
  ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
  QFile a(mine), b(dir.filePath(QStringLiteral("r/osem.csv")));
  ASSERT_TRUE(a.open(QIODevice::ReadOnly));
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  const QList<QByteArray> la = a.readAll().split('\n'), lb = b.readAll().split('\n');
  ASSERT_EQ(la.size(), lb.size());
  int fractions = 0, compared = 0;
  double top = 0;
  for (int y = 0; y < la.size(); ++y) {
    const QList<QByteArray> ra = la[y].split(','), rb = lb[y].split(',');
    ASSERT_EQ(ra.size(), rb.size()) << y;
    for (int x = 0; x < ra.size() && !la[y].isEmpty(); ++x) {
      bool okA = false, okB = false;
      const double va = ra[x].toDouble(&okA), vb = rb[x].toDouble(&okB);
      ASSERT_TRUE(okA && okB) << x << ',' << y;
      ASSERT_NEAR(va, vb, 1e-12) << x << ',' << y;
      fractions += va != std::floor(va);
      top = std::max(top, va);
      ++compared;
    }
  }
  EXPECT_EQ(compared, 128 * 128);
  EXPECT_GT(fractions, 5000);
  EXPECT_LT(top, 10);  // one iteration of the sample: a few counts per pixel, once one white blob
}

// ---- figures

PictureFigure testFigure(const QString& caption) {
  PictureView view;
  view.setValues(smallValues());
  view.setCaption(caption);
  return view.figure();
}

// Lines the caption's text takes when wrapped at the caption's own width.
int wrappedLines(const QLabel* l) {
  const QRect r = l->fontMetrics().boundingRect(QRect(0, 0, l->contentsRect().width(), 100000),
                                                int(Qt::TextWordWrap | Qt::AlignLeft), l->text());
  return (r.height() + l->fontMetrics().lineSpacing() / 2) / l->fontMetrics().lineSpacing();
}

TEST(PictureCaption, KeepsEveryLineOfItsTextAboveThePicture) {
  // Captions as the windows write them, at the width of a 256-pixel picture; a caption that
  // grows after the window is shown (a reconstruction names its corrections) must still fit.
  const QString one = QStringLiteral("Projection");
  const QString three = QStringLiteral(
      "row 60, OSEM 10 subsets x 5 iterations, attenuation in the projector from the CT mu map, "
      "scatter TEW corrected, PSF LEHR, Gaussian post-filter FWHM 2 pixels");
  const QString four = three + QStringLiteral(", kept on the comparison board as picture 3 of the lesson");
  struct Case {
    QString first, later;
    int atLeastLines;
  } cases[] = {{three, three, 3}, {one, three, 3}, {one, four, 4}, {four, one, 1}};
  for (const Case& c : cases) {
    // Laid out as the windows lay out their pictures: two captions over two pictures in a grid,
    // on a tab, in the window's scrolling content, as tall as the screen allows.
    QWidget window;
    QLabel* caption = pictureCaption(c.first, 256);
    // A picture view is wider than its caption: its colour bar stands beside the picture.
    auto* picture = new QLabel;
    picture->setFixedSize(340, 256);
    auto* other = new QLabel;
    other->setFixedSize(340, 256);
    auto* grid = new QGridLayout;
    grid->addWidget(caption, 0, 0);
    grid->addWidget(pictureCaption(one, 256), 0, 1);
    grid->addWidget(picture, 1, 0);
    grid->addWidget(other, 1, 1);
    // Settings taller than the screen beside them: the window scrolls, its layout gets no more
    // height than it asks for.
    auto* settings = new QLabel;
    settings->setFixedSize(300, 1600);
    grid->addWidget(settings, 0, 2, 3, 1);
    grid->setRowStretch(2, 1);
    auto* page = new QWidget;
    page->setLayout(grid);
    auto* tabs = new QTabWidget;
    tabs->addTab(page, QStringLiteral("Pictures"));
    auto* content = new QWidget;
    (new QHBoxLayout(content))->addWidget(tabs);
    setScrollingContent(&window, content);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    caption->setText(c.later);
    QCoreApplication::processEvents();
    const int lines = wrappedLines(caption);
    EXPECT_GE(lines, c.atLeastLines) << c.later.toStdString();
    const QRect text = caption->fontMetrics().boundingRect(QRect(0, 0, caption->contentsRect().width(), 100000),
                                                           int(Qt::TextWordWrap | Qt::AlignLeft), caption->text());
    EXPECT_GE(caption->contentsRect().height(), text.height())
        << lines << " lines of " << caption->fontMetrics().lineSpacing() << " px: " << c.later.toStdString();
    EXPECT_LE(caption->geometry().bottom(), picture->geometry().top()) << "the caption runs into the picture";
    EXPECT_LE(caption->width(), 256);
    EXPECT_GE(caption->height(), 2 * caption->fontMetrics().lineSpacing()) << "room for two lines always";
  }
}

TEST(Figure, PngAtFourTimesIsFourTimesTheSizeWithEqualBlocks) {
  const PictureFigure f = testFigure(QStringLiteral("OSEM 10 x 2"));
  FigureOptions one, four;
  one.scale = 1;
  four.scale = 4;
  const QImage a = QImage::fromData(figureBytes(f, one), "PNG");
  const QImage b = QImage::fromData(figureBytes(f, four), "PNG");
  ASSERT_FALSE(a.isNull());
  EXPECT_EQ(b.size(), a.size() * 4);
  // Inside the picture (below the caption) each of its pixels is a 4 x 4 block of one colour,
  // the colour of the 1x figure's pixel.
  const int top = a.height() - 128 - 5;  // well inside the picture
  int blocks = 0;
  for (int y = top + 10; y < top + 100; y += 13)
    for (int x = 5; x < 120; x += 17) {
      const QRgb c = a.pixel(x, y);
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx) ASSERT_EQ(b.pixel(4 * x + dx, 4 * y + dy), c) << x << ',' << y;
      ++blocks;
    }
  EXPECT_GT(blocks, 40);
  // 300 dpi at 80 mm: 945 pixels wide.
  FigureOptions dpi;
  dpi.widthMm = 80;
  const QImage c = QImage::fromData(figureBytes(f, dpi), "PNG");
  EXPECT_EQ(c.width(), 945);
  EXPECT_EQ(c.dotsPerMeterX(), 11811);
}

TEST(Figure, SvgIsXmlAndHoldsTheCaption) {
  const QString caption = QStringLiteral("Jaszczak <10^6> & OSEM 10 x 2");
  FigureOptions o;
  o.format = FigureFormat::Svg;
  const QByteArray svg = figureBytes(testFigure(caption), o);
  QXmlStreamReader xml(svg);
  QString text;
  bool image = false, svgRoot = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("svg")) svgRoot = true;
    if (xml.isStartElement() && xml.name() == QLatin1String("image")) image = true;
    if (xml.isCharacters()) text += xml.text();
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_TRUE(svgRoot);
  EXPECT_TRUE(image);
  EXPECT_TRUE(text.simplified().contains(caption)) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("0.35")));  // the bar's top number
}

// A page with nothing on it, the size of `f`.
struct Blank : FigureSource {
  QSize size;
  QSize figureSize() const override { return size; }
  void paintFigure(QPainter&, bool) const override {}
  QString figureName() const override { return QStringLiteral("blank"); }
};

int pageCount(const QByteArray& pdf) {
  return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") + pdf.count("/Type /Page/") +
             pdf.count("/Type /Page>")) ;
}

TEST(Figure, PdfHasOnePageWithContent) {
  const PictureFigure f = testFigure(QStringLiteral("FBP Ramp"));
  FigureOptions o;
  o.format = FigureFormat::Pdf;
  const QByteArray pdf = figureBytes(f, o);
  Blank blank;
  blank.size = f.figureSize();
  const QByteArray empty = figureBytes(blank, o);
  ASSERT_TRUE(pdf.startsWith("%PDF-"));
  EXPECT_EQ(pageCount(pdf), 1);
  EXPECT_EQ(pageCount(empty), 1);
  // A blank page is a few hundred bytes; the picture and the bar's text make it far more.
  EXPECT_GT(pdf.size(), empty.size() + 4000) << pdf.size() << " vs " << empty.size();
  // Its text, when poppler's pdftotext is there to read it.
  const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (pdftotext.isEmpty()) return;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("f.pdf"));
  QString error;
  ASSERT_TRUE(exportFigure(f, path, o, &error)) << error.toStdString();
  QProcess p;
  p.start(pdftotext, {path, QStringLiteral("-")});
  ASSERT_TRUE(p.waitForFinished(20000));
  const QString text = QString::fromUtf8(p.readAllStandardOutput());
  EXPECT_TRUE(text.contains(QStringLiteral("FBP Ramp"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("0.35"))) << text.toStdString();
}

TEST(Figure, AWriteThatFailsSaysSoAndLeavesNothing) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("missing/f.png"));
  QString error;
  EXPECT_FALSE(exportFigure(testFigure(QString()), path, FigureOptions{}, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(path));
  Blank nothing;  // an empty picture: nothing to write
  EXPECT_FALSE(exportFigure(nothing, dir.filePath(QStringLiteral("n.png")), FigureOptions{}, &error));
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("n.png"))));
}

TEST(Figure, PrintingAWindowPutsItsPicturesOnThePage) {
  QTemporaryDir dir;
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.iterationsBox()->setValue(1);
  w.reconstructButton()->click();
  QApplication::setActiveWindow(&w);
  std::unique_ptr<FigureSource> f = figureForPrint(nullptr);
  ASSERT_NE(f, nullptr);
  const QSize size = f->figureSize();  // projection, FBP and OSEM at least, 128 pixels each
  EXPECT_GT(size.width() * size.height(), 3 * 128 * 128 * 2);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QString path = dir.filePath(QStringLiteral("print.pdf"));
  printer.setOutputFileName(path);
  printFigure(*f, &printer);
  QFile pdf(path);
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  const QByteArray bytes = pdf.readAll();
  EXPECT_EQ(pageCount(bytes), 1);
  EXPECT_GT(bytes.size(), 20000);
}

TEST(Figure, APlotExportsAtScaleAndAsSvgWithItsTitles) {
  auto* chart = new QChart;
  auto* ax = new QValueAxis;
  ax->setTitleText(QStringLiteral("iteration"));
  auto* ay = new QValueAxis;
  ay->setTitleText(QStringLiteral("counts/pixel"));
  chart->addAxis(ax, Qt::AlignBottom);
  chart->addAxis(ay, Qt::AlignLeft);
  for (const char* name : {"OSEM", "FBP"}) {
    auto* s = new QLineSeries;
    s->setName(QLatin1String(name));
    for (int n = 1; n <= 7; ++n) s->append(n, n * (name[0] == 'O' ? 1.0 : 0.5));
    chart->addSeries(s);
    s->attachAxis(ax);
    s->attachAxis(ay);
    styleSeries(s, methodColour(s->name()), name[0] == 'F');
  }
  setIterationTicks(chart, 7);
  PlotView plot(chart);
  plot.resize(500, 340);
  EXPECT_EQ(ax->labelFormat(), QStringLiteral("%d"));
  EXPECT_EQ(ax->tickInterval(), 1);
  EXPECT_EQ(methodColour(QStringLiteral("MLEM")), methodColour(QStringLiteral("OSEM")));
  EXPECT_EQ(methodColour(QStringLiteral("FBP × π/V")), methodColour(QStringLiteral("FBP")));
  EXPECT_NE(methodColour(QStringLiteral("FBP")), methodColour(QStringLiteral("OSEM")));
  EXPECT_EQ(chart->legend()->markerShape(), QLegend::MarkerShapeFromSeries);
  FigureOptions two;
  two.scale = 2;
  const QImage a = figureImage(plot, 1), b = QImage::fromData(figureBytes(plot, two), "PNG");
  EXPECT_EQ(b.size(), a.size() * 2);
  FigureOptions svg;
  svg.format = FigureFormat::Svg;
  const QByteArray text = figureBytes(plot, svg);
  EXPECT_TRUE(text.contains("counts/pixel"));
  EXPECT_TRUE(text.contains("iteration"));
}

// ---- the comparison board

TEST(ComparisonBoard, KeptPicturesOutliveTheirWindowAndAChangeOfStudy) {
  PhantomSettings s;
  s.kind = PhantomKind::Contrast;  // a hot sphere in a background: a contrast to recover
  s.matrix = 64;
  s.pixelMm = 4;
  s.views = 30;
  s.counts = 1e6;
  const PhantomResult made = makePhantomStudy(s, 2);
  ASSERT_TRUE(made.study) << made.error;
  CSinoraDoc doc;
  doc.setMadeStudy(made.study, QStringLiteral("Contrast"));
  ComparisonBoard* board = ComparisonBoard::instance();
  board->clear();
  QStringList captions;
  {
    IterativeWindow w(&doc);
    w.rowBox()->setValue(32);
    w.iterationsBox()->setValue(2);
    w.reconstructButton()->click();
    for (PictureView* v : {w.fbpView(), w.osemView(), w.truthView()}) {
      ComparisonBoard::keepPicture(*v);
      captions << v->caption();
    }
    EXPECT_TRUE(captions[1].contains(QStringLiteral("OSEM"))) << captions[1].toStdString();
    EXPECT_TRUE(captions[1].contains(QStringLiteral("32"))) << captions[1].toStdString();
    EXPECT_TRUE(captions[0].contains(QStringLiteral("FBP")) && captions[0].contains(QStringLiteral("Ramp")))
        << captions[0].toStdString();
  }  // the window is gone
  doc.setStudy(sampleStudy());
  ASSERT_EQ(board->count(), 3);
  EXPECT_TRUE(board->isVisible());
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(board->kept(n).caption, captions[n]);
    EXPECT_TRUE(board->captionLabel(n)->text().contains(captions[n]));
    EXPECT_FALSE(board->view(n)->values().empty());
  }
  // The two reconstructions are measured against the truth with the core's measures.
  EXPECT_TRUE(std::isfinite(board->kept(0).rmsePercent));
  EXPECT_TRUE(std::isfinite(board->kept(1).contrast));
  EXPECT_FALSE(std::isfinite(board->kept(2).rmsePercent));  // the truth itself
  // FBP and OSEM are in one unit and one display window, linked.
  EXPECT_TRUE(board->linkBox()->isChecked());
  EXPECT_EQ(board->view(0)->window().high, board->view(1)->window().high);
  board->view(0)->setWindow({0, 1});
  EXPECT_EQ(board->view(1)->window().high, 1);
  // The truth is another unit: its own window.
  EXPECT_EQ(board->view(2)->window().high, defaultWindow(board->kept(2).values).high);
  // A difference of a picture with itself is zero everywhere.
  ASSERT_TRUE(board->addDifference(1, 1));
  ASSERT_EQ(board->count(), 4);
  for (double v : board->kept(3).values.values) ASSERT_EQ(v, 0);
  EXPECT_FALSE(board->addDifference(0, 2));  // another unit
  EXPECT_EQ(board->count(), 4);
  // At least eight side by side.
  for (int n = 0; n < 5; ++n) ComparisonBoard::keepPicture(*board->view(1));
  EXPECT_EQ(board->count(), 9);
  board->clearButton()->click();
  EXPECT_EQ(board->count(), 0);
}

TEST(ComparisonBoard, TheWholeBoardIsOneFigure) {
  ComparisonBoard* board = ComparisonBoard::instance();
  board->clear();
  for (int n = 0; n < 4; ++n) {
    ComparisonBoard::Kept k;
    k.values = smallValues();
    k.caption = QStringLiteral("picture %1").arg(n);
    board->keep(k);
  }
  FigureOptions o;
  o.format = FigureFormat::Svg;
  const QByteArray svg = figureBytes(*board, o);
  for (int n = 0; n < 4; ++n) EXPECT_TRUE(svg.contains(QStringLiteral("picture %1").arg(n).toUtf8())) << n;
  const QImage png = figureImage(*board, 1);
  EXPECT_GT(png.width(), 4 * 200);
  board->clear();
}

}  // namespace
