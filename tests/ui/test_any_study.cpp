// The shell and the reconstruction window with a study of another geometry (the public STIR
// simulation: 120 views of 64 rows x 128 bins).
#include <QFileInfo>
#include <cmath>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include <gtest/gtest.h>

#include <unistd.h>

#include "app/MainFrm.h"
#include "app/RecentFileList.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "imaging/slices.h"
#include "res/resource.h"
#include "view/SinoraView.h"
#include "window_util.h"
#include "windows/Dialog1.h"

using namespace sinora;
using namespace sinora::res;

namespace {

const std::string kStir = std::string(SINORA_SHARED_DATA) + "/stir-spectub/input.hs";

TEST(AnyStudy, OpensWithItsNotesOnceAndItsLineUnderTheTitle) {
  if (!std::filesystem::exists(kStir)) GTEST_SKIP() << "no shared data";
  QTemporaryDir dir;
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QStringList notes, errors;
  app.mainFrame()->setNoteReporter([&](const QString& m) { notes << m; });
  app.mainFrame()->setErrorReporter([&](const QString& m) { errors << m; });
  const QString classicLine = app.mainFrame()->view()->studyLine()->text();
  EXPECT_TRUE(classicLine.startsWith(QStringLiteral("プロジェクションデータ: 60 ビュー / 360°, 128 x 128, 画素サイズ不明")))
      << classicLine.toStdString();
  ASSERT_TRUE(app.mainFrame()->OpenDocumentFile(QString::fromStdString(kStir)));
  EXPECT_TRUE(errors.isEmpty());
  ASSERT_EQ(notes.size(), 1);
  EXPECT_TRUE(notes[0].contains(QStringLiteral("丸めました")));
  const QString line = app.mainFrame()->view()->studyLine()->text();
  EXPECT_TRUE(line.startsWith(QStringLiteral("Interfile 3.3: 120 ビュー / 360°, 128 x 64, 3.32 mm, 総カウント ")))
      << line.toStdString();
  EXPECT_EQ(app.mainFrame()->windowTitle(), QStringLiteral("input.hs - Sinora"));
}

TEST(AnyStudy, TheStudyLineNamesTheEnergyWindow) {
  const std::string ge = std::string(SINORA_SHARED_DATA) + "/ge-lu177-spectct/bed2_projections.dcm";
  if (!std::filesystem::exists(ge)) GTEST_SKIP() << "no shared data";
  QTemporaryDir dir;
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QStringList notes;
  app.mainFrame()->setNoteReporter([&](const QString& m) { notes << m; });
  ASSERT_TRUE(app.mainFrame()->OpenDocumentFile(QString::fromStdString(ge)));
  const QString line = app.mainFrame()->view()->studyLine()->text();
  EXPECT_TRUE(line.endsWith(QStringLiteral(", Lu177_EM 101.7-124.3 keV"))) << line.toStdString();
  ASSERT_FALSE(notes.isEmpty());
  EXPECT_TRUE(notes[0].contains(QStringLiteral("エネルギーウィンドウが 6 個"))) << notes[0].toStdString();
}

TEST(AnyStudy, TheReconstructionWindowRunsRoundItsViewsAndRows) {
  if (!std::filesystem::exists(kStir)) GTEST_SKIP() << "no shared data";
  CSinoraDoc doc;
  QString error;
  ASSERT_TRUE(doc.OnOpenDocument(QString::fromStdString(kStir), &error)) << error.toStdString();
  const ProjectionStudy& s = *doc.ProjectionStudy();
  CDialog1 d(&doc);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  uitest::press(d, IDC_PREV_ANGLE);
  EXPECT_EQ(d.angleIndex, 119);
  EXPECT_TRUE(uitest::shows(d.frame(IDC_PROJ_IMAGE),
                            fitToFrame(projectionPicture(s, 119, d.densityOffset), Palette::Neither)));
  uitest::press(d, IDC_NEXT_ANGLE);
  EXPECT_EQ(d.angleIndex, 0);
  FrameControl* f = d.frame(IDC_PREFILTER_IMAGE);
  QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(f->x() + 30, f->y() + 40));
  EXPECT_EQ(d.sliceLine, 40);
  uitest::check(d, IDC_RAMP);
  uitest::check(d, IDC_RIBBON);
  uitest::press(d, IDC_SHOW_RECON);
  EXPECT_TRUE(uitest::shows(d.frame(IDC_FBP_IMAGE),
                            fitToFrame(filteredPicture(s, 40, ReconFilter::Ramp, d.densityOffset),
                                       Palette::Ribbon)));
  // A row beyond the study's 64 rows takes row 0, as a slice outside 0..127 does today.
  QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(f->x() + 30, f->y() + 100));
  EXPECT_EQ(d.sliceLine, 100);
  uitest::press(d, IDC_SHOW_RECON);
  EXPECT_TRUE(uitest::shows(d.frame(IDC_BP_IMAGE),
                            fitToFrame(backprojectionPicture(s, 0, d.densityOffset), Palette::Ribbon)));
}

}  // namespace

#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QSpinBox>
#include <QUrl>

#include "imaging/sample_study.h"
#include "windows/RawOpenDialog.h"

namespace {

TEST(RawLayout, TheDialogRemembersItsLayoutAndTheFrameOpensWithIt) {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("s.ini"));
  // A lab file: 16 header bytes, 3 views of 2 rows x 4 bins, little-endian signed 16-bit.
  QByteArray bytes(16, 'h');
  for (int i = 0; i < 24; ++i) {
    const qint16 v = qint16(i == 5 ? -3 : i * 10);
    bytes.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
  }
  const QString path = dir.filePath(QStringLiteral("lab.raw"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  sinora::formats::RawLayout l;
  l.headerBytes = 16;
  l.views = 3;
  l.rows = 2;
  l.bins = 4;
  l.bytesPerCount = 2;
  l.format = sinora::formats::NumberFormat::Signed;
  l.bigEndian = false;
  l.arcDegrees = 180;
  l.clockwise = false;
  {
    QSettings settings(ini, QSettings::IniFormat);
    RawOpenDialog d(&settings);
    d.setRawLayout(l);
    d.setPath(path);
    EXPECT_TRUE(d.sizeNote()->text().contains(QStringLiteral("64 バイト"))) << d.sizeNote()->text().toStdString();
    d.remember();
  }
  QSettings settings(ini, QSettings::IniFormat);
  RawOpenDialog again(&settings);  // a fresh dialog shows what was used last
  const sinora::formats::RawLayout back = again.rawLayout();
  EXPECT_EQ(back.headerBytes, 16u);
  EXPECT_EQ(back.views, 3);
  EXPECT_EQ(back.format, sinora::formats::NumberFormat::Signed);
  EXPECT_FALSE(back.bigEndian);
  EXPECT_DOUBLE_EQ(back.arcDegrees, 180);
  EXPECT_FALSE(back.clockwise);
  EXPECT_EQ(again.pathEdit()->text(), path);

  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("app.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QStringList notes;
  app.mainFrame()->setNoteReporter([&](const QString& m) { notes << m; });
  ASSERT_TRUE(app.mainFrame()->OpenRawFile(again.path(), back, &error)) << error.toStdString();
  const ProjectionStudy& s = *app.document()->ProjectionStudy();
  EXPECT_EQ(s.views(), 3);
  EXPECT_EQ(s.count(0, 1, 1), 0);  // -3
  EXPECT_EQ(s.count(0, 1, 0), 40);
  EXPECT_EQ(s.count(2, 1, 3), 230);
  EXPECT_DOUBLE_EQ(s.angleDegrees(1), 300);  // 180 degrees in 3 views, falling
  EXPECT_EQ(notes.size(), 1);
  EXPECT_TRUE(app.mainFrame()->recentFiles().files().isEmpty());
  // A layout the file is too short for changes nothing.
  sinora::formats::RawLayout big = back;
  big.views = 4;
  EXPECT_FALSE(app.mainFrame()->OpenRawFile(again.path(), big, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("短すぎます"))) << error.toStdString();
  EXPECT_EQ(app.document()->ProjectionStudy()->views(), 3);
}

TEST(DragAndDrop, AStudyDroppedOnTheWindowOpens) {
  QTemporaryDir dir;
  const auto bytes = studyFileBytes(*sampleStudy());
  const QString path = dir.filePath(QStringLiteral("dropped.dat"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
  }
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  CMainFrame* frame = app.mainFrame();
  EXPECT_TRUE(frame->acceptDrops());
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QCoreApplication::sendEvent(frame, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QCoreApplication::sendEvent(frame, &drop);
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("dropped.dat - Sinora"));
  EXPECT_EQ(frame->recentFiles().files().size(), 1);
  // Something that is not a file is not taken.
  QMimeData text;
  text.setText(QStringLiteral("hello"));
  QDragEnterEvent other(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
  QCoreApplication::sendEvent(frame, &other);
  EXPECT_FALSE(other.isAccepted());
}

}  // namespace

namespace {

// Files that are refused leave the study, the title and the recent list as they were, and the
// message names the file in Japanese.
TEST(AnyStudy, EveryRefusedFormatChangesNothing) {
  QTemporaryDir dir;
  const std::string out = dir.filePath(QStringLiteral("written")).toStdString();
  ASSERT_EQ(std::system(("/usr/bin/python3 '" + std::string(SINORA_TEST_WRITER) + "' '" + out +
                         "' > /dev/null").c_str()),
            0);
  auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
  };
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QStringList reported;
  app.mainFrame()->setErrorReporter([&](const QString& m) { reported << m; });
  app.mainFrame()->setNoteReporter([](const QString&) {});
  const QString good = QString::fromStdString(out) + QStringLiteral("/dicom-CC-0.dcm");
  ASSERT_TRUE(app.mainFrame()->OpenDocumentFile(good));
  const StudyPtr before = app.document()->ProjectionStudy();
  const QString title = app.mainFrame()->windowTitle();
  const QStringList recent = app.mainFrame()->recentFiles().files();
  QByteArray garbage(200, '\x55');
  garbage.replace(128, 4, "DICM");
  const QStringList bad = {
      QString::fromStdString(out) + QStringLiteral("/dicom-ct.dcm"),
      QString::fromStdString(out) + QStringLiteral("/dicom-recon.dcm"),
      QString::fromStdString(out) + QStringLiteral("/dicom-fan.dcm"),
      QString::fromStdString(out) + QStringLiteral("/dicom-nopixels.dcm"),
      QString::fromStdString(out) + QStringLiteral("/dicom-zero-step.dcm"),
      QString::fromStdString(out) + QStringLiteral("/dicom-2048-frames.dcm"),
      write(QStringLiteral("garbage.dcm"), garbage),
      write(QStringLiteral("nodata.hs"), "!INTERFILE :=\n!type of data := Tomographic\n"
                                         "name of data file := gone.s\n!matrix size [1] := 4\n"
                                         "!matrix size [2] := 4\n!number of projections := 4\n"),
      write(QStringLiteral("nokey.hs"), "!INTERFILE :=\n!type of data := Tomographic\n"
                                        "name of data file := gone.s\n"),
  };
  for (const QString& path : bad) {
    reported.clear();
    EXPECT_FALSE(app.mainFrame()->OpenDocumentFile(path)) << path.toStdString();
    ASSERT_EQ(reported.size(), 1) << path.toStdString();
    EXPECT_TRUE(reported[0].contains(QFileInfo(path).fileName())) << reported[0].toStdString();
    EXPECT_TRUE(reported[0].contains(QStringLiteral("を開けません。"))) << reported[0].toStdString();
    EXPECT_EQ(app.document()->ProjectionStudy(), before);
    EXPECT_EQ(app.mainFrame()->windowTitle(), title);
    EXPECT_EQ(app.mainFrame()->recentFiles().files(), recent);
  }
  // Counts a terabyte into a (sparse) data file: skipped, not held; the study opens.
  write(QStringLiteral("far.hs"), "!INTERFILE :=\n!type of data := Tomographic\nname of data file := far.s\n"
                                  "!number of bytes per pixel := 1\n!matrix size [1] := 4\n"
                                  "!matrix size [2] := 4\n!number of projections := 2\n"
                                  "data offset in bytes := 1099511627776\n");
  ASSERT_EQ(::truncate(QFile::encodeName(write(QStringLiteral("far.s"), "")).constData(), off_t(1) << 40 | 32), 0);
  reported.clear();
  EXPECT_TRUE(app.mainFrame()->OpenDocumentFile(dir.filePath(QStringLiteral("far.hs")))) << reported.join(' ').toStdString();
  EXPECT_EQ(app.document()->ProjectionStudy()->views(), 2);
}

}  // namespace

#include <QPushButton>
#include <QSpinBox>

#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"
#include "windows/PictureView.h"

namespace {

// The smallest studies a reader can give (and odd sizes): every window opens and computes.
TEST(AnyStudy, TinyAndOddStudiesCrashNoWindow) {
  const struct {
    int views, rows, bins;
  } sizes[] = {{1, 1, 1}, {2, 1, 3}, {7, 3, 9}, {5, 2, 130}};
  for (const auto& z : sizes) {
    StudyGeometry g;
    g.views = z.views;
    g.rows = z.rows;
    g.bins = z.bins;
    std::vector<std::uint16_t> counts(std::size_t(z.views) * z.rows * z.bins);
    for (std::size_t n = 0; n < counts.size(); ++n) counts[n] = std::uint16_t(n * 37 % 101);
    CSinoraDoc doc;
    doc.setStudy(std::make_shared<const ProjectionStudy>(g, counts));
    {
      CDialog1 d(&doc);
      d.show();
      uitest::press(d, IDC_PREV_ANGLE);
      EXPECT_EQ(d.angleIndex, z.views - 1);
      uitest::press(d, IDC_SMOOTHING);
      uitest::press(d, IDC_SHOW_RECON);
    }
    {
      IterativeWindow w(&doc);
      w.show();
      w.iterationsBox()->setValue(2);
      w.reconstructButton()->click();
      EXPECT_EQ(w.result().images.size(), 2u) << z.bins;
      for (double v : w.shownOsem()) ASSERT_TRUE(std::isfinite(v));
      w.volumeButton()->click();
      w.waitForVolume();
      EXPECT_TRUE(w.volumeReady()) << z.bins;
      w.setCrosshair(0, 0, 0);
    }
    {
      FilterAnalysisWindow f(&doc);
      f.show();
      f.setSource(QPoint(0, 0));
      f.setProfile(QPoint(0, 0), QPoint(z.bins - 1, z.bins - 1));
      EXPECT_TRUE(f.message()->text().isEmpty());
    }
  }
}

}  // namespace
