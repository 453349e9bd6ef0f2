// The shell and the reconstruction window with a study of another geometry (the public STIR
// simulation: 120 views of 64 rows x 128 bins).
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include <gtest/gtest.h>

#include "app/MainFrm.h"
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
