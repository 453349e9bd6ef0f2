// The iterative-reconstruction window driven as a student drives it.
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QTabWidget>
#include <QPointer>

#include <gtest/gtest.h>

#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "imaging/iterative.h"
#include "imaging/sample_study.h"
#include "res/resource.h"
#include "windows/IterativeWindow.h"
#include "windows/PictureView.h"

using namespace sinora;
using namespace sinora::res;

namespace {

// What the window's OSEM picture must show for an image [i * B + j].
RgbImage expected(const std::vector<double>& f, int b) {
  Picture p;
  p.width = p.height = b;
  p.values.resize(std::size_t(b) * b);
  std::int32_t max = 1;
  for (int x = 0; x < b; ++x)
    for (int y = 0; y < b; ++y) {
      const std::int32_t v = std::max(0, toImageValue(f[std::size_t(x) * b + y]));
      p.values[std::size_t(y) * b + x] = v;
      max = std::max(max, v);
    }
  p.divisor = max - 3;
  return fitToFrame(p, Palette::Ribbon);
}

bool showsImage(const PictureView* v, const RgbImage& want) {
  const QImage shown = v->shownImage();
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x)
      if ((shown.pixel(x, y) | 0xff000000u) != want[std::size_t(y) * 128 + x]) return false;
  return true;
}

TEST(IterativeWindow, OpensFromTheAppliedMenuFreshAndModeless) {
  QTemporaryDir dir;
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QMenu* applied = app.mainFrame()->appliedMenu();
  ASSERT_NE(applied, nullptr);
  ASSERT_FALSE(applied->actions().isEmpty());
  QAction* first = applied->actions().first();
  EXPECT_EQ(first->text(), QStringLiteral("逐次近似再構成(&O)..."));
  EXPECT_EQ(first->statusTip(), QStringLiteral("MLEM/OSEM で再構成し、FBP と比べる"));
  // Modeless: the menu returns at once with the window open beside the main window; two may
  // stand open together, and a new one starts afresh.
  QList<int> iterationsSeen;
  QList<QPointer<IterativeWindow>> opened;
  for (int n = 0; n < 2; ++n) {
    first->trigger();
    IterativeWindow* w = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* i = qobject_cast<IterativeWindow*>(t); i && i->isVisible() && !opened.contains(i)) w = i;
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    opened << w;
    iterationsSeen << int(w->result().images.size());
    w->iterationsBox()->setValue(2);
    w->reconstructButton()->click();  // state that must not reach the next window
  }
  EXPECT_EQ(iterationsSeen, (QList<int>{0, 0}));
  EXPECT_TRUE(opened[0]->isVisible());  // the first kept its result while the second opened
  EXPECT_EQ(opened[0]->result().images.size(), 2u);
  for (auto& w : opened) w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(opened[0].isNull());  // closed windows are freed
}

TEST(IterativeWindow, StartsAtTheReconstructionWindowsRowWithSubsetsThatDivide) {
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  EXPECT_EQ(w.rowBox()->value(), 60);
  QStringList subsets;
  for (int n = 0; n < w.subsetsBox()->count(); ++n) subsets << w.subsetsBox()->itemText(n);
  EXPECT_EQ(subsets, (QStringList{"1", "2", "3", "4", "5", "6", "10", "12", "15", "20", "30", "60"}));
  EXPECT_EQ(w.subsetsBox()->currentText(), QStringLiteral("10"));
  w.methodBox()->setCurrentIndex(0);  // MLEM: one subset
  EXPECT_EQ(w.subsetsBox()->currentText(), QStringLiteral("1"));
  EXPECT_FALSE(w.subsetsBox()->isEnabled());
  // A study of 7 views (a prime): only 1 and 7.
  StudyGeometry g;
  g.views = 7;
  g.rows = 4;
  g.bins = 16;
  CSinoraDoc small;
  small.setStudy(std::make_shared<const ProjectionStudy>(g, std::vector<std::uint16_t>(7 * 4 * 16, 3)));
  IterativeWindow w7(&small);
  ASSERT_EQ(w7.subsetsBox()->count(), 2);
  EXPECT_EQ(w7.subsetsBox()->itemText(1), QStringLiteral("7"));
  EXPECT_EQ(w7.rowBox()->value(), 0);  // row 60 is beyond its 4 rows: row 0, as there
  w7.reconstructButton()->click();
  EXPECT_EQ(w7.result().images.size(), 10u);
}

TEST(IterativeWindow, EveryIterationIsKeptAndTheSliderShowsIt) {
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.iterationsBox()->setValue(6);
  w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findText(QStringLiteral("5")));
  QTest::mouseClick(w.reconstructButton(), Qt::LeftButton);
  ASSERT_EQ(w.result().images.size(), 6u);
  const OsemResult want = osem(*sampleStudy(), 60, 5, 6);
  for (int it : {6, 1, 3}) {
    w.iterationSlider()->setValue(it);
    EXPECT_EQ(w.shownOsem(), want.images[std::size_t(it - 1)]) << it;
    EXPECT_TRUE(showsImage(w.osemView(), expected(want.images[std::size_t(it - 1)], 128))) << it;
  }
  // The post-filter changes what is shown, not what is kept.
  w.fwhmBox()->setValue(3);
  EXPECT_EQ(w.shownOsem(), gaussianFilter(want.images[2], 128, 3));
  EXPECT_EQ(w.result().images[2], want.images[2]);
  // The likelihood plot has one point per iteration.
  const QList<QAbstractSeries*> series = w.likelihoodChart()->series();
  ASSERT_EQ(series.size(), 1);
  EXPECT_EQ(qobject_cast<QLineSeries*>(series[0])->count(), 6);
  EXPECT_DOUBLE_EQ(qobject_cast<QLineSeries*>(series[0])->at(5).y(), want.likelihood[5]);
}

TEST(IterativeWindow, AClickOnTheProjectionPicksTheRowAndDragsMakeThePlots) {
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::mouseClick(w.projectionView(), Qt::LeftButton, {}, QPoint(100, 2 * 45 + 1));
  EXPECT_EQ(w.rowBox()->value(), 45);
  w.iterationsBox()->setValue(3);
  w.reconstructButton()->click();
  // A region dragged on the OSEM picture: means and noise for every iteration, FBP as lines.
  QTest::mousePress(w.osemView(), Qt::LeftButton, {}, QPoint(2 * 60, 2 * 60));
  QTest::mouseMove(w.osemView(), QPoint(2 * 70, 2 * 66));
  QTest::mouseRelease(w.osemView(), Qt::LeftButton, {}, QPoint(2 * 70, 2 * 66));
  EXPECT_EQ(w.osemView()->region(), QRect(QPoint(60, 60), QPoint(70, 66)));
  const QList<QAbstractSeries*> r = w.regionChart()->series();
  ASSERT_EQ(r.size(), 4);
  EXPECT_EQ(qobject_cast<QLineSeries*>(r[0])->count(), 3);  // OSEM mean
  EXPECT_EQ(qobject_cast<QLineSeries*>(r[1])->count(), 2);  // the FBP line
  double mean = 0;
  const std::vector<double> f = w.result().images[0];
  for (int x = 60; x <= 70; ++x)
    for (int y = 60; y <= 66; ++y) mean += f[std::size_t(x) * 128 + y];
  EXPECT_NEAR(qobject_cast<QLineSeries*>(r[0])->at(0).y(), mean / (11 * 7), 1e-9);
  // A line: both methods on one profile.
  w.setProfile(QPoint(10, 64), QPoint(118, 64));
  const QList<QAbstractSeries*> p = w.profileChart()->series();
  ASSERT_EQ(p.size(), 2);
  EXPECT_EQ(qobject_cast<QLineSeries*>(p[1])->count(), 109);
}

TEST(IterativeWindow, EverySliceThenThreePlanesWithOneCrosshair) {
  // A small study, so that the whole volume is quick: 12 views of 8 rows x 32 bins.
  StudyGeometry g;
  g.views = 12;
  g.rows = 8;
  g.bins = 32;
  std::vector<std::uint16_t> counts(std::size_t(12) * 8 * 32, 0);
  for (int k = 0; k < 12; ++k)
    for (int r = 0; r < 8; ++r)
      for (int c = 8; c < 24; ++c) counts[(std::size_t(k) * 8 + r) * 32 + c] = std::uint16_t(10 + r);
  CSinoraDoc doc;
  doc.setStudy(std::make_shared<const ProjectionStudy>(g, counts));
  IterativeWindow w(&doc);
  w.show();
  w.iterationsBox()->setValue(2);
  w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findText(QStringLiteral("3")));
  QTest::mouseClick(w.volumeButton(), Qt::LeftButton);
  EXPECT_TRUE(w.cancelButton()->isEnabled());
  w.waitForVolume();
  ASSERT_TRUE(w.volumeReady());
  EXPECT_EQ(w.progress()->value(), 16);  // FBP and OSEM of 8 rows
  EXPECT_FALSE(w.cancelButton()->isEnabled());
  EXPECT_EQ(w.planeView(1)->picture().height, 8);  // coronal: the rows down
  EXPECT_EQ(w.planeView(0)->picture().width, 32);
  // The transverse slice is the row's OSEM image.
  const OsemResult row5 = osem(*doc.ProjectionStudy(), 5, 3, 2);
  w.setCrosshair(10, 20, 5);
  EXPECT_EQ(w.planeView(0)->picture().at(7, 9), std::max(0, toImageValue(row5.images.back()[7 * 32 + 9])));
  // The FBP volume in the same planes, made with the window's filter.
  w.planeSourceBox()->setCurrentIndex(1);
  const auto fbp = fbpVolume(*doc.ProjectionStudy(), ReconFilter::Ramp, 1, nullptr);
  EXPECT_EQ(w.planeView(0)->picture().at(7, 9), std::max(0, toImageValue(fbp[5][7 * 32 + 9])));
  w.planeSourceBox()->setCurrentIndex(0);
  // A click on the coronal plane moves i and the row, keeping j.
  QTest::mouseClick(w.planeView(1), Qt::LeftButton, {}, QPoint(2 * 4 * 3 + 1, 2 * 4 * 2 + 1));
  EXPECT_EQ(w.crosshair(), QPoint(3, 20));
  EXPECT_EQ(w.crosshairRow(), 2);
}

TEST(IterativeWindow, RefusesAVolumePastTheMemoryLimitBeforeStarting) {
  // 4 views of 512 x 512: a 2 MB study whose two volumes of doubles would take 2 GiB.
  StudyGeometry g;
  g.views = 4;
  g.rows = 512;
  g.bins = 512;
  CSinoraDoc doc;
  doc.setStudy(std::make_shared<const ProjectionStudy>(g, std::vector<std::uint16_t>(std::size_t(4) * 512 * 512, 3)));
  IterativeWindow w(&doc);
  w.show();
  w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findText(QStringLiteral("1")));
  ASSERT_GT(volumeMemoryBytes(*doc.ProjectionStudy()), kVolumeMemoryLimit);
  QTest::mouseClick(w.volumeButton(), Qt::LeftButton);
  EXPECT_FALSE(w.cancelButton()->isEnabled());  // nothing started
  EXPECT_TRUE(w.volumeButton()->isEnabled());
  EXPECT_FALSE(w.volumeReady());
  EXPECT_EQ(w.progress()->value(), 0);
  const QString text = w.message()->text();
  EXPECT_TRUE(text.contains(QStringLiteral("1024 MB"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::number((volumeMemoryBytes(*doc.ProjectionStudy()) + (1u << 20) - 1) >> 20)))
      << text.toStdString();
}

TEST(IterativeWindow, PlanesFollowClicksDragsTheWheelAndTheRowBoxAndAskBeforeTheyAreLost) {
  StudyGeometry g;
  g.views = 12;
  g.rows = 8;
  g.bins = 32;
  std::vector<std::uint16_t> counts(std::size_t(12) * 8 * 32, 0);
  for (int k = 0; k < 12; ++k)
    for (int r = 0; r < 8; ++r)
      for (int c = 8 + r; c < 24; ++c) counts[(std::size_t(k) * 8 + r) * 32 + c] = std::uint16_t(10 + r + c);
  CSinoraDoc doc;
  doc.setStudy(std::make_shared<const ProjectionStudy>(g, counts));
  IterativeWindow w(&doc);
  w.show();
  w.methodBox()->setCurrentIndex(0);  // MLEM
  w.iterationsBox()->setValue(2);
  w.volumeButton()->click();
  w.waitForVolume();
  ASSERT_TRUE(w.volumeReady());
  EXPECT_EQ(w.planeSourceBox()->itemText(0), QStringLiteral("MLEM"));
  EXPECT_TRUE(w.planesCaption()->text().contains(QStringLiteral("MLEM 2 回")));
  w.tabs()->setCurrentIndex(2);
  // Pixels of a 32 x 32 plane are 8 screen pixels (zoom 4, drawn twice).
  auto at = [](int x, int y) { return QPoint(8 * x + 3, 8 * y + 3); };
  struct Click {
    int plane;
    QPoint pixel;
    int i, j, row;
  } clicks[] = {
      {0, {12, 17}, 12, 17, -1},  // transverse: i and j, the row kept
      {1, {5, 3}, 5, 17, 3},      // coronal: i and the row, j kept
      {2, {9, 6}, 5, 9, 6},       // sagittal: j and the row, i kept
  };
  for (const Click& c : clicks) {
    const int row = c.row < 0 ? w.crosshairRow() : c.row;
    QTest::mouseClick(w.planeView(c.plane), Qt::LeftButton, {}, at(c.pixel.x(), c.pixel.y()));
    EXPECT_EQ(w.crosshair(), QPoint(c.i, c.j)) << c.plane;
    EXPECT_EQ(w.crosshairRow(), row) << c.plane;
    EXPECT_EQ(w.rowBox()->value(), row) << c.plane;  // the row box follows
  }
  // The coronal plane is cut at the crosshair's j: it changes with a click on the transverse.
  const std::vector<std::int32_t> coronal = w.planeView(1)->picture().values;
  QTest::mousePress(w.planeView(0), Qt::LeftButton, {}, at(4, 4));
  QTest::mouseMove(w.planeView(0), at(20, 25));
  QTest::mouseRelease(w.planeView(0), Qt::LeftButton, {}, at(20, 25));
  EXPECT_EQ(w.crosshair(), QPoint(20, 25));  // a drag carries the crosshair along
  EXPECT_NE(w.planeView(1)->picture().values, coronal);
  // The wheel steps through slices; the row box moves the crosshair.
  QWheelEvent down(QPointF(at(5, 5)), QPointF(w.planeView(0)->mapToGlobal(at(5, 5))), {}, {0, -120},
                   Qt::NoButton, {}, Qt::NoScrollPhase, false);
  const int before = w.crosshairRow();
  QApplication::sendEvent(w.planeView(0), &down);
  EXPECT_EQ(w.crosshairRow(), before + 1);
  QApplication::sendEvent(w.planeView(1), &down);
  EXPECT_EQ(w.crosshair(), QPoint(20, 26));
  w.rowBox()->setValue(2);
  EXPECT_EQ(w.crosshairRow(), 2);

  // A finished volume is not thrown away without a word: Esc asks, and No keeps it.
  int asked = 0;
  bool answer = false;
  w.askDiscard = [&] { ++asked; return answer; };
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.volumeReady());
  EXPECT_FALSE(w.close());
  EXPECT_EQ(asked, 2);
  answer = true;
  EXPECT_TRUE(w.close());
  EXPECT_EQ(asked, 3);
  EXPECT_FALSE(w.isVisible());
}

TEST(IterativeWindow, CancelStopsTheVolumeAndKeepsTheWindowUsable) {
  CSinoraDoc doc;  // 128 rows of the sample: long enough to cancel
  IterativeWindow w(&doc);
  w.show();
  w.iterationsBox()->setValue(20);
  w.volumeButton()->click();
  QTest::qWait(30);
  w.cancelButton()->click();
  w.waitForVolume();
  EXPECT_FALSE(w.volumeReady());
  EXPECT_TRUE(w.message()->text().contains(QStringLiteral("中止")));
  EXPECT_TRUE(w.planesCaption()->text().contains(QStringLiteral("中止")));  // cleared, and says why
  for (int p = 0; p < 3; ++p)
    for (std::int32_t v : w.planeView(p)->picture().values) ASSERT_EQ(v, 0) << p;
  EXPECT_TRUE(w.volumeButton()->isEnabled());
  EXPECT_TRUE(w.reconstructButton()->isEnabled());
  w.iterationsBox()->setValue(1);
  w.reconstructButton()->click();
  EXPECT_EQ(w.result().images.size(), 1u);
}

}  // namespace

namespace {

TEST(IterativeWindow, PicturesAndPlotsSaveAsPngAndCsv) {
  QTemporaryDir dir;
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  w.show();
  w.iterationsBox()->setValue(2);
  w.reconstructButton()->click();
  w.setRegion(QRect(60, 60, 5, 5));
  const QString png = dir.filePath(QStringLiteral("osem.png")), csv = dir.filePath(QStringLiteral("osem.csv"));
  ASSERT_TRUE(w.osemView()->savePng(png));
  const QImage saved(png);
  ASSERT_EQ(saved.size(), QSize(128, 128));
  EXPECT_EQ(saved.pixel(64, 64) | 0xff000000u, w.osemView()->shownImage().pixel(64, 64) | 0xff000000u);
  ASSERT_TRUE(w.osemView()->saveCsv(csv));
  QFile f(csv);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().split('\n');
  EXPECT_EQ(lines.size(), 129);  // 128 rows and the final newline
  EXPECT_EQ(lines[64].split(',').size(), 128);
  EXPECT_EQ(lines[64].split(',')[70].toInt(), w.osemView()->picture().at(70, 64));
  const QByteArray plot = w.regionPlot()->csv();
  EXPECT_TRUE(plot.startsWith("curve,x,y\n"));
  EXPECT_EQ(plot.count("\nOSEM,"), 2);  // one mean per iteration
  ASSERT_TRUE(w.regionPlot()->savePng(dir.filePath(QStringLiteral("plot.png"))));
  EXPECT_FALSE(QImage(dir.filePath(QStringLiteral("plot.png"))).isNull());
  // A folder that cannot be written changes nothing and says so.
  EXPECT_FALSE(w.osemView()->saveCsv(dir.filePath(QStringLiteral("missing/osem.csv"))));
}

}  // namespace

#include <fstream>
#include <sstream>

#include <QDir>
#include <QFile>

#include "formats/export.h"
#include "formats/formats.h"

namespace {

std::string fileBytes(const QString& path) {
  std::ifstream f(QFile::encodeName(path).constData(), std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// "書き出し..." writes the shown slice, then the volume of the planes, in the format its name
// asks for, and never over the open study's file.
TEST(IterativeWindow, ExportsTheShownSliceOrVolumeButNeverOverTheStudy) {
  StudyGeometry g;
  g.views = 12;
  g.rows = 8;
  g.bins = 32;
  g.angles.clear();
  std::vector<std::uint16_t> counts(std::size_t(12) * 8 * 32, 0);
  for (int k = 0; k < 12; ++k)
    for (int r = 0; r < 8; ++r)
      for (int c = 8; c < 24; ++c) counts[(std::size_t(k) * 8 + r) * 32 + c] = std::uint16_t(10 + r);
  const ProjectionStudy made(g, counts);
  QTemporaryDir dir;
  const QString study = dir.filePath(QStringLiteral("s.dcm"));
  const formats::ExportResult written = formats::dicomProjections(made, "s");
  ASSERT_EQ(written.files.size(), 1u) << written.error;
  { std::ofstream(QFile::encodeName(study).constData(), std::ios::binary) << written.files[0].bytes; }
  CSinoraDoc doc;
  QString error;
  ASSERT_TRUE(doc.OnOpenDocument(study, &error)) << error.toStdString();
  IterativeWindow w(&doc);
  w.show();
  QString name;
  w.askExportName = [&] { return name; };
  name = dir.filePath(QStringLiteral("early.nii"));
  QTest::mouseClick(w.exportButton(), Qt::LeftButton);
  EXPECT_FALSE(QFile::exists(name));  // nothing reconstructed yet
  EXPECT_FALSE(w.message()->text().isEmpty());

  w.rowBox()->setValue(5);
  w.iterationsBox()->setValue(2);
  w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findText(QStringLiteral("3")));
  QTest::mouseClick(w.reconstructButton(), Qt::LeftButton);
  name = dir.filePath(QStringLiteral("slice.hv"));
  QTest::mouseClick(w.exportButton(), Qt::LeftButton);
  const std::string slice = fileBytes(dir.filePath(QStringLiteral("slice.v")));
  ASSERT_EQ(slice.size(), 32u * 32 * 4) << w.message()->text().toStdString();
  const std::vector<double> shown = w.shownOsem();
  const float* v = reinterpret_cast<const float*>(slice.data());
  EXPECT_EQ(v[9 * 32 + 7], float(shown[7 * 32 + 9]));  // [1] across, [2] down
  EXPECT_NE(fileBytes(dir.filePath(QStringLiteral("slice.hv"))).find("OSEM 3 subsets x 2 iterations"), std::string::npos);

  QTest::mouseClick(w.volumeButton(), Qt::LeftButton);
  w.waitForVolume();
  ASSERT_TRUE(w.volumeReady());
  name = dir.filePath(QStringLiteral("volume.dcm"));
  QTest::mouseClick(w.exportButton(), Qt::LeftButton);
  const StudyReadResult notProjections = formats::readAnyStudy(QFile::encodeName(name).toStdString());
  EXPECT_NE(notProjections.error.find("再構成済み"), std::string::npos) << notProjections.error;  // written, and RECON

  // Over the open study, or in a format it does not write: refused, nothing changed.
  const std::string before = fileBytes(study);
  name = study;
  QTest::mouseClick(w.exportButton(), Qt::LeftButton);
  EXPECT_EQ(fileBytes(study), before);
  EXPECT_TRUE(w.message()->text().contains(QStringLiteral("s.dcm"))) << w.message()->text().toStdString();
  name = dir.filePath(QStringLiteral("volume.txt"));
  QTest::mouseClick(w.exportButton(), Qt::LeftButton);
  EXPECT_FALSE(QFile::exists(name));
  const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
  for (const QString& f : left) EXPECT_FALSE(f.startsWith(QLatin1Char('.'))) << f.toStdString();  // no temporaries
}

}  // namespace
