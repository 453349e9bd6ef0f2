// One recipe: the iterative window and sinora-render reconstruct the same values from the same
// settings, and the window's captions follow what made each picture.
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QChart>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QCheckBox>

#include <gtest/gtest.h>

#include <cmath>

#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "windows/PictureView.h"
#include "windows/IterativeWindow.h"

using namespace sinora;

namespace {

// Rows of numbers, as sinora-render writes a picture's values (screen rows j, columns i).
std::vector<std::vector<double>> readCsv(const QString& path) {
  QFile f(path);
  std::vector<std::vector<double>> out;
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.isEmpty()) continue;
    out.emplace_back();
    for (const QByteArray& v : line.split(',')) out.back().push_back(v.toDouble());
  }
  return out;
}

int render(const QStringList& args, QString* err) {
  QProcess p;
  p.start(QStringLiteral(SINORA_RENDER), args);
  p.waitForFinished(120000);
  *err = QString::fromLocal8Bit(p.readAllStandardError());
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The largest difference between a slice [i * B + j] and a CSV of screen rows.
double largestDifference(const std::vector<double>& slice, const std::vector<std::vector<double>>& csv, int b) {
  if (csv.size() != std::size_t(b)) return INFINITY;
  double worst = 0;
  for (int j = 0; j < b; ++j) {
    if (csv[std::size_t(j)].size() != std::size_t(b)) return INFINITY;
    for (int i = 0; i < b; ++i) worst = std::max(worst, std::fabs(slice[std::size_t(i) * b + j] - csv[std::size_t(j)][std::size_t(i)]));
  }
  return worst;
}

TEST(OneRecipe, TheWindowAndSinoraRenderFindTheSameValues) {
  QTemporaryDir dir;
  struct Case {
    const char* name;
    int subsets, iterations;
  } cases[] = {{"OSEM 10 x 1", 10, 1}, {"MLEM 3", 1, 3}};
  for (const Case& c : cases) {
    CSinoraDoc doc;  // the sample study
    IterativeWindow w(&doc);
    w.rowBox()->setValue(60);
    w.methodBox()->setCurrentIndex(c.subsets == 1 ? 0 : 1);
    w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findData(c.subsets));
    w.iterationsBox()->setValue(c.iterations);
    w.reconstruct();
    ASSERT_FALSE(w.result().images.empty()) << c.name;
    const QString out = dir.filePath(QString::fromLatin1(c.name).remove(' '));
    QString err;
    ASSERT_EQ(render({QStringLiteral("--osem"), QStringLiteral("%1:%2").arg(c.subsets).arg(c.iterations),
                      QStringLiteral("--slice"), QStringLiteral("60"), QStringLiteral("--values"),
                      QStringLiteral("--out"), out},
                     &err),
              0)
        << err.toStdString();
    const auto csv = readCsv(out + QStringLiteral("/osem.csv"));
    EXPECT_LE(largestDifference(w.shownOsem(), csv, 128), 1e-12) << c.name;
    // Values as they are, not whole counts.
    bool fraction = false;
    for (const auto& row : csv)
      for (double v : row) fraction = fraction || v != std::floor(v);
    EXPECT_TRUE(fraction) << c.name;
    const QString method = QString::fromLatin1(c.subsets == 1 ? "MLEM" : "OSEM");
    EXPECT_TRUE(w.osemCaption()->text().contains(method)) << w.osemCaption()->text().toStdString();
    EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("60 行目")));
  }
}

TEST(OneRecipe, CorrectedReconstructionsAgreeOnAPhantom) {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.matrix = 64;
  s.pixelMm = 4;
  s.views = 32;
  s.counts = 1e6;
  s.muPerCm = 0.15;
  const PhantomResult made = makePhantomStudy(s, 2);
  ASSERT_TRUE(made.study);
  CSinoraDoc doc;
  doc.setMadeStudy(made.study, QStringLiteral("一様円柱"));
  IterativeWindow w(&doc);
  w.rowBox()->setValue(32);
  w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findData(8));
  w.iterationsBox()->setValue(4);
  w.changBox()->setCurrentIndex(2);
  w.attenuatedOsemBox()->setChecked(true);
  w.reconstruct();
  ASSERT_FALSE(w.result().images.empty()) << w.message()->text().toStdString();
  QTemporaryDir dir;
  QString err;
  ASSERT_EQ(render({"--phantom", "cylinder", "--ph-matrix", "64", "--ph-pixel", "4", "--ph-views", "32",
                    "--ph-counts", "1e6", "--ph-mu", "0.15", "--slice", "32", "--chang", "iterated", "--osem",
                    "8:4", "--osem-attenuated", "--values", "--out", dir.path()},
                   &err),
            0)
      << err.toStdString();
  EXPECT_LE(largestDifference(w.shownOsem(), readCsv(dir.filePath(QStringLiteral("osem.csv"))), 64), 1e-12);
  EXPECT_LE(largestDifference(w.shownFbp(), readCsv(dir.filePath(QStringLiteral("chang-fbp.csv"))), 64), 1e-12);
  EXPECT_TRUE(w.fbpCaption()->text().contains(QStringLiteral("Chang 1次 + 反復1回")));
  EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("減弱込みの投影")));
}

// Kept pictures of one phantom at several count levels must be told apart, and a window that
// keeps its study must not take the next study's name when the document moves on.
TEST(OneRecipe, CaptionsNameThePhantomsCountsAndKeepTheirStudy) {
  struct Case {
    double counts;
    bool noiseFree;
    const char* expected;
  };
  for (const Case& c : {Case{1e6, false, "（10^6 カウント）"}, Case{2.5e7, false, "（2.5e+07 カウント）"},
                        Case{1e7, true, "（ノイズなし）"}}) {
    PhantomSettings s;
    s.kind = PhantomKind::Cylinder;
    s.matrix = 64;
    s.pixelMm = 4;
    s.views = 16;
    s.counts = c.counts;
    s.noiseFree = c.noiseFree;
    const PhantomResult made = makePhantomStudy(s, 2);
    ASSERT_TRUE(made.study);
    CSinoraDoc doc;
    doc.setMadeStudy(made.study, QStringLiteral("一様円柱"));
    IterativeWindow w(&doc);
    w.rowBox()->setValue(32);
    w.iterationsBox()->setValue(1);
    w.reconstruct();
    ASSERT_FALSE(w.result().images.empty()) << w.message()->text().toStdString();
    doc.setMadeStudy(made.study, QStringLiteral("別の検査"));
    w.reconstruct();
    const QString caption = w.osemView()->caption();
    EXPECT_TRUE(caption.contains(QString::fromUtf8(c.expected))) << caption.toStdString();
    EXPECT_TRUE(caption.contains(QStringLiteral("一様円柱"))) << caption.toStdString();
    EXPECT_FALSE(caption.contains(QStringLiteral("別の検査"))) << caption.toStdString();
  }
  // A study that is no phantom keeps the document's title alone.
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  w.reconstruct();
  EXPECT_FALSE(w.osemView()->caption().contains(QStringLiteral("カウント）")));
}

TEST(OneRecipe, CaptionsAndLegendsFollowWhatMadeThePictures) {
  CSinoraDoc doc;
  IterativeWindow w(&doc);
  w.rowBox()->setValue(44);
  w.methodBox()->setCurrentIndex(0);  // MLEM
  w.iterationsBox()->setValue(3);
  w.reconstruct();
  w.setRegion(QRect(50, 50, 10, 10));
  QStringList names;
  for (QAbstractSeries* s : w.regionChart()->series()) names << s->name();
  EXPECT_TRUE(names.contains(QStringLiteral("MLEM"))) << names.join(',').toStdString();
  EXPECT_FALSE(names.contains(QStringLiteral("OSEM")));
  // The row box moves on: the pictures still say row 44 and a hint says so.
  w.rowBox()->setValue(60);
  EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("44 行目")));
  EXPECT_TRUE(w.fbpCaption()->text().contains(QStringLiteral("44 行目")));
  EXPECT_FALSE(w.rowHint()->isHidden());
  EXPECT_TRUE(w.rowHint()->text().contains(QStringLiteral("60")));
  // The method box moves to OSEM: the captions still say MLEM until the next run.
  w.methodBox()->setCurrentIndex(1);
  EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("MLEM 3 回")));
  w.reconstruct();
  EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("OSEM")));
  EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("60 行目")));
  EXPECT_TRUE(w.rowHint()->isHidden());
}

}  // namespace

namespace {

TEST(OneRecipe, ALongSliceRunsInTheBackgroundAndCancelKeepsThePictures) {
  // 360 views of 256 bins: MLEM 100 would hold the window for seconds.
  StudyGeometry g;
  g.views = 360;
  g.rows = 2;
  g.bins = 256;
  std::vector<std::uint16_t> counts(std::size_t(360) * 2 * 256, 0);
  for (std::size_t n = 0; n < counts.size(); ++n) counts[n] = std::uint16_t(n % 256 > 64 && n % 256 < 192 ? 50 : 0);
  CSinoraDoc doc;
  doc.setStudy(std::make_shared<const ProjectionStudy>(g, counts));
  IterativeWindow w(&doc);
  w.rowBox()->setValue(1);
  w.methodBox()->setCurrentIndex(0);
  w.iterationsBox()->setValue(1);
  w.reconstruct();  // quick: done at once
  ASSERT_FALSE(w.sliceRunning());
  ASSERT_EQ(w.result().images.size(), 1u);
  const std::vector<double> before = w.shownOsem();
  w.iterationsBox()->setValue(100);
  w.reconstruct();
  EXPECT_TRUE(w.sliceRunning());  // the call returned with the work under way
  EXPECT_TRUE(w.cancelButton()->isEnabled());
  EXPECT_FALSE(w.reconstructButton()->isEnabled());
  w.cancelButton()->click();
  w.waitForSlice();
  EXPECT_TRUE(w.message()->text().contains(QStringLiteral("中止")));
  EXPECT_EQ(w.shownOsem(), before);  // the pictures as they were
  EXPECT_EQ(w.osemRecipe().iterations, 1);
  EXPECT_TRUE(w.reconstructButton()->isEnabled());
  // Run to the end in the background: the result is the recipe's.
  w.iterationsBox()->setValue(12);
  w.reconstruct();
  EXPECT_TRUE(w.sliceRunning());
  w.waitForSlice();
  ASSERT_EQ(w.result().images.size(), 12u);
  Recipe r = w.osemRecipe();
  EXPECT_EQ(w.shownOsem(), runRecipe(*doc.ProjectionStudy(), r, 1).values);
}

}  // namespace
