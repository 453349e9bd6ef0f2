// Scatter correction and resolution recovery as the windows offer them: the iterative and filter
// windows' "散乱補正" with its side windows, the estimate beside the measured data and the truth,
// "分解能補正" with its collimator and the PSF the projector assumes, the phantom lab's energy,
// scatter and collimator settings, and the main window's choice of energy window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "app/language.h"
#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "imaging/resolution.h"
#include "view/SinoraView.h"
#include "windows/ComparisonBoard.h"
#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"
#include "windows/PhantomWindow.h"
#include "windows/PictureView.h"
#include "windows/ResolutionPanel.h"
#include "windows/ScatterPanel.h"

using namespace sinora;

namespace {

// A small Tc-99m cylinder in water with scatter and a LEHR collimator, as the lab makes it.
PhantomSettings scatteringCylinder() {
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.views = 24;
  s.matrix = 64;
  s.pixelMm = 4;
  s.counts = 1e6;
  s.muPerCm = 0.15;
  s.scatter = true;
  s.realCollimator = true;
  collimatorPreset("lehr", s.collimator);
  return s;
}

StudyPtr scatteringStudy() {
  static const StudyPtr study = makePhantomStudy(scatteringCylinder(), 2).study;
  return study;
}

double largest(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return INFINITY;
  double worst = 0;
  for (std::size_t n = 0; n < a.size(); ++n) worst = std::max(worst, std::fabs(a[n] - b[n]));
  return worst;
}

TEST(ScatterWindows, TheIterativeWindowCorrectsByTheRecipeAndShowsTheEstimateBesideTheTruth) {
  const StudyPtr study = scatteringStudy();
  ASSERT_TRUE(study);
  CSinoraDoc doc;
  doc.setMadeStudy(study, QStringLiteral("一様円柱"));
  IterativeWindow w(&doc);
  ScatterControls* sc = w.scatterControls();
  QStringList methods;
  for (int n = 0; n < sc->methodBox()->count(); ++n) methods << sc->methodBox()->itemText(n);
  EXPECT_EQ(methods, QStringList({QStringLiteral("なし"), QStringLiteral("DEW"), QStringLiteral("TEW")}));
  // The side windows are found from the energies: the lab's lower and upper windows.
  EXPECT_EQ(sc->lowerBox()->currentData().toInt(), 1);
  EXPECT_EQ(sc->upperBox()->currentData().toInt(), 2);
  EXPECT_TRUE(sc->lowerBox()->currentText().startsWith(QStringLiteral("2: Tc99m_SCL"))) << sc->lowerBox()->currentText().toStdString();
  EXPECT_FALSE(sc->lowerBox()->isEnabled());  // "なし": nothing to choose yet
  // DEW takes k and the lower window; TEW both windows and no k.
  struct Case {
    int method;
    bool k, upper;
  };
  for (const Case& c : {Case{1, true, false}, Case{2, false, true}}) {
    sc->methodBox()->setCurrentIndex(c.method);
    EXPECT_EQ(sc->kBox()->isEnabled(), c.k) << c.method;
    EXPECT_EQ(sc->upperBox()->isEnabled(), c.upper) << c.method;
    EXPECT_TRUE(sc->lowerBox()->isEnabled());
  }
  const int row = 32;
  w.rowBox()->setValue(row);
  w.iterationsBox()->setValue(2);
  w.reconstruct();
  ASSERT_FALSE(w.result().images.empty()) << w.message()->text().toStdString();
  const Recipe& used = w.osemRecipe();
  EXPECT_EQ(used.scatter, ScatterMethod::Tew);
  EXPECT_EQ(used.scatterLower, 1);
  EXPECT_EQ(used.scatterUpper, 2);
  EXPECT_EQ(w.fbpRecipe().scatter, ScatterMethod::Tew);  // FBP subtracts the same estimate
  EXPECT_FALSE(used.resolutionRecovery);
  // What the window shows is what the recipe gives; without the correction it is more.
  EXPECT_LE(largest(w.shownOsem(), runRecipe(*study, used, row).values), 1e-12);
  Recipe plain = used;
  plain.scatter = ScatterMethod::None;
  const std::vector<double> uncorrected = runRecipe(*study, plain, row).values;
  const std::vector<double> shown = w.shownOsem();
  const double sumShown = std::accumulate(shown.begin(), shown.end(), 0.0);
  EXPECT_LT(sumShown, 0.95 * std::accumulate(uncorrected.begin(), uncorrected.end(), 0.0));
  EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("散乱補正 TEW"))) << w.osemCaption()->text().toStdString();

  // The estimate, the measured data and the truth, pixel by pixel.
  ScatterPanel* panel = w.scatterPanel();
  panel->viewBox()->setValue(5);
  panel->draw();
  const auto& set = *study->geometry().energyWindows;
  const int b = study->bins(), r = study->rows();
  const PhantomInfo* info = phantomInfo(*study);
  ASSERT_NE(info, nullptr);
  for (const auto& [k, c] : {std::pair{0, 32}, std::pair{5, 20}, std::pair{17, 40}}) {
    const std::size_t n = (std::size_t(k) * r + row) * b + c;
    const double tew = (double(set.counts[1][n]) / set.windows[1].width() + double(set.counts[2][n]) / set.windows[2].width()) *
                       set.windows[0].width() / 2;
    EXPECT_DOUBLE_EQ(panel->estimateSinogram()->values().at(c, k), tew) << k << ", " << c;
    EXPECT_EQ(panel->measuredSinogram()->values().at(c, k), study->count(k, row, c));
    EXPECT_DOUBLE_EQ(panel->trueSinogram()->values().at(c, k), double(info->scattered[0][n]));
    EXPECT_DOUBLE_EQ(panel->errorSinogram()->values().at(c, k), tew - double(info->scattered[0][n]));
  }
  // The projection of view 5, rows down.
  const std::size_t at = (std::size_t(5) * r + 10) * b + 30;
  EXPECT_EQ(panel->measuredProjection()->values().at(30, 10), study->count(5, 10, 30));
  EXPECT_DOUBLE_EQ(panel->estimateProjection()->values().at(30, 10),
                   (double(set.counts[1][at]) / set.windows[1].width() + double(set.counts[2][at]) / set.windows[2].width()) *
                       set.windows[0].width() / 2);
  EXPECT_FALSE(panel->trueSinogram()->isHidden());
  EXPECT_TRUE(panel->summary()->text().contains(QStringLiteral("真の散乱"))) << panel->summary()->text().toStdString();
  // DEW with k = 0.8 from the lower window alone.
  sc->methodBox()->setCurrentIndex(1);
  sc->kBox()->setValue(0.8);
  panel->draw();
  const std::size_t n0 = (std::size_t(0) * r + row) * b + 32;
  EXPECT_DOUBLE_EQ(panel->estimateSinogram()->values().at(32, 0),
                   0.8 * double(set.counts[1][n0]) * set.windows[0].width() / set.windows[1].width());
  sc->methodBox()->setCurrentIndex(0);
  panel->draw();
  EXPECT_TRUE(panel->estimateSinogram()->values().empty());
  EXPECT_EQ(panel->summary()->text(), QStringLiteral("散乱補正が「なし」のため、推定はありません。"));
}

TEST(ScatterWindows, AStudyOfOneWindowOffersNoScatterCorrection) {
  CSinoraDoc doc;  // the sample study
  IterativeWindow w(&doc);
  EXPECT_FALSE(w.scatterControls()->methodBox()->isEnabled());
  EXPECT_EQ(w.recipeFromControls(RecipeMethod::Osem).scatter, ScatterMethod::None);
  FilterAnalysisWindow f(&doc);
  EXPECT_FALSE(f.scatterControls()->methodBox()->isEnabled());
  f.scatterPanel()->draw();
  EXPECT_TRUE(f.scatterPanel()->trueSinogram()->isHidden());  // no truth outside the lab
}

TEST(ScatterWindows, ResolutionRecoveryTakesItsCollimatorAndRefusesNonsenseTyped) {
  const StudyPtr study = scatteringStudy();
  ASSERT_TRUE(study);
  CSinoraDoc doc;
  doc.setMadeStudy(study, QStringLiteral("一様円柱"));
  IterativeWindow w(&doc);
  ResolutionControls* rc = w.resolutionControls();
  EXPECT_EQ(rc->onBox()->text(), QStringLiteral("分解能補正"));
  EXPECT_EQ(rc->collimatorBox()->currentData().toString(), QStringLiteral("phantom"));
  EXPECT_EQ(rc->radiusBox()->text(), QStringLiteral("200"));  // the lab's radius of rotation
  w.rowBox()->setValue(32);
  w.iterationsBox()->setValue(2);
  ComparisonBoard* board = ComparisonBoard::instance();
  board->clear();
  // OSEM and OSEM-RR of the same data, side by side on the board.
  for (bool on : {false, true}) {
    rc->onBox()->setChecked(on);
    w.reconstruct();
    ASSERT_FALSE(w.result().images.empty()) << w.message()->text().toStdString();
    EXPECT_EQ(w.osemRecipe().resolutionRecovery, on);
    EXPECT_FALSE(w.fbpRecipe().resolutionRecovery);  // FBP has no projector to blur
    ComparisonBoard::keepPicture(*w.osemView());
  }
  board->hide();
  ASSERT_EQ(board->count(), 2);
  EXPECT_FALSE(board->kept(0).caption.contains(QStringLiteral("分解能補正")));
  EXPECT_TRUE(board->kept(1).caption.contains(QStringLiteral("分解能補正"))) << board->kept(1).caption.toStdString();
  EXPECT_GT(largest(board->kept(0).values.values, board->kept(1).values.values), 1e-6);
  const Collimator lab = phantomInfo(*study)->settings.effectiveCollimator();
  EXPECT_EQ(w.osemRecipe().collimator.slope, lab.slope);
  EXPECT_EQ(w.osemRecipe().radiusMm, 200);
  // A preset, then typed numbers; nonsense typed is refused and the pictures stay.
  rc->collimatorBox()->setCurrentIndex(rc->collimatorBox()->findData(QStringLiteral("megp")));
  Collimator megp;
  collimatorPreset("megp", megp);
  EXPECT_EQ(w.recipeFromControls(RecipeMethod::Osem).collimator.slope, megp.slope);
  EXPECT_TRUE(rc->numbersBox()->isReadOnly());
  rc->collimatorBox()->setCurrentIndex(rc->collimatorBox()->findData(QStringLiteral("typed")));
  EXPECT_FALSE(rc->numbersBox()->isReadOnly());
  rc->numbersBox()->setText(QStringLiteral("2, 1, 0.05"));
  const Recipe typed = w.recipeFromControls(RecipeMethod::Osem);
  EXPECT_EQ(typed.collimator.intrinsicMm, 2);
  EXPECT_EQ(typed.collimator.faceMm, 1);
  EXPECT_EQ(typed.collimator.slope, 0.05);
  const std::vector<double> before = w.shownOsem();
  for (const char* bad : {"2, 1", "a, b, c", "2, 1, 5", "nan, 1, 0.1"}) {
    rc->numbersBox()->setText(QString::fromLatin1(bad));
    w.reconstruct();
    EXPECT_TRUE(w.message()->text().startsWith(QStringLiteral("R_i, R_c0, k を"))) << bad;
    EXPECT_EQ(w.shownOsem(), before) << bad;
  }
  rc->numbersBox()->setText(QStringLiteral("2, 1, 0.05"));
  for (const char* bad : {"-5", "x", "2000"}) {
    rc->radiusBox()->setText(QString::fromLatin1(bad));
    w.reconstruct();
    EXPECT_TRUE(w.message()->text().startsWith(QStringLiteral("回転半径は"))) << bad;
    EXPECT_EQ(w.shownOsem(), before) << bad;
    EXPECT_FALSE(w.psfPanel()->widthLabel()->text().contains(QStringLiteral("投影子の FWHM"))) << bad;
  }
  // Left empty, the study's own radius.
  rc->radiusBox()->clear();
  EXPECT_EQ(w.recipeFromControls(RecipeMethod::Osem).radiusMm, 0);
}

TEST(ScatterWindows, ThePsfPanelShowsTheProjectorsBlurAtTheChosenDistance) {
  const StudyPtr study = scatteringStudy();
  ASSERT_TRUE(study);
  CSinoraDoc doc;
  doc.setMadeStudy(study, QStringLiteral("一様円柱"));
  IterativeWindow w(&doc);
  w.resolutionControls()->collimatorBox()->setCurrentIndex(w.resolutionControls()->collimatorBox()->findData(QStringLiteral("lehr")));
  PsfPanel* p = w.psfPanel();
  EXPECT_EQ(p->distanceBox()->value(), 200);  // starts at the centre of rotation
  Collimator lehr;
  collimatorPreset("lehr", lehr);
  for (double d : {100.0, 200.0, 300.0}) {
    p->distanceBox()->setValue(d);
    const ProjectorPsf psf = projectorPsf(64, 4, lehr, 200, d);
    const QString text = p->widthLabel()->text();
    EXPECT_TRUE(text.contains(QStringLiteral("投影子の FWHM %1 mm").arg(psf.fwhmMm, 0, 'f', 2))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("= %1 mm").arg(lehr.fwhmMm(psf.actualMm), 0, 'f', 2))) << text.toStdString();
    // The picture is the profile times itself, its peak in the middle.
    const PictureValues& v = p->psfView()->values();
    ASSERT_FALSE(v.empty());
    const int mid = v.width / 2;
    const double top = *std::max_element(psf.profile.begin(), psf.profile.end());
    EXPECT_DOUBLE_EQ(v.at(mid, mid), top * top);
    EXPECT_LT(v.at(mid + 2, mid), v.at(mid, mid));
  }
}

TEST(ScatterWindows, TheFilterWindowSubtractsTheEstimateFromBothSlices) {
  const StudyPtr study = scatteringStudy();
  ASSERT_TRUE(study);
  CSinoraDoc doc;
  doc.setMadeStudy(study, QStringLiteral("一様円柱"));
  FilterAnalysisWindow w(&doc);
  w.rowBox()->setValue(32);
  w.windowBox()->setCurrentIndex(int(FilterWindow::Hann));
  w.cutoffBox()->setValue(0.3);
  w.scatterControls()->methodBox()->setCurrentIndex(2);
  w.waitForSlices();
  Recipe hann;
  hann.filter = FilterWindow::Hann;
  hann.windowCutoff = 0.3;
  hann.windowOrder = w.orderBox()->value();
  hann.scatter = ScatterMethod::Tew;
  hann.scatterLower = 1;
  hann.scatterUpper = 2;
  const std::vector<double> want = runRecipe(*study, hann, 32).values;
  const PictureValues shown = w.windowedView()->values();
  ASSERT_EQ(shown.width, 64);
  double worst = 0;
  for (int i = 0; i < 64; ++i)
    for (int j = 0; j < 64; ++j) worst = std::max(worst, std::fabs(shown.at(i, j) - want[std::size_t(i) * 64 + j]));
  EXPECT_LE(worst, 1e-12);
  EXPECT_TRUE(w.windowedCaption()->text().contains(QStringLiteral("散乱補正 TEW"))) << w.windowedCaption()->text().toStdString();
  Recipe ramp = hann;
  ramp.filter = FilterWindow::Ramp;
  EXPECT_DOUBLE_EQ(w.rampView()->values().at(32, 32), runRecipe(*study, ramp, 32).values[32 * 64 + 32]);
}

class PhantomLabEnergy : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
  }
  QTemporaryDir dir;
  std::unique_ptr<QSettings> settings;
};

TEST_F(PhantomLabEnergy, TheNewSettingsAreReadCheckedAndRemembered) {
  PhantomWindow w(settings.get());
  PhantomSettings s;
  s.views = 16;
  s.matrix = 64;
  s.pixelMm = 4;
  s.counts = 1e5;
  w.setSettings(s);
  ASSERT_TRUE(w.makeButton()->isEnabled());
  EXPECT_TRUE(w.edit(QStringLiteral("fwhm"))->isEnabled());  // the FWHM setting by default
  w.isotopeBox()->setCurrentIndex(w.isotopeBox()->findData(QStringLiteral("lu177")));
  w.edit(QStringLiteral("peak"))->setText(QStringLiteral("15"));
  w.edit(QStringLiteral("lower"))->setText(QStringLiteral("10"));
  w.edit(QStringLiteral("upper"))->setText(QStringLiteral("8"));
  w.edit(QStringLiteral("eres"))->setText(QStringLiteral("10"));
  w.scatterBox()->setChecked(true);
  w.collimatorBox()->setCurrentIndex(w.collimatorBox()->findData(QStringLiteral("megp")));
  EXPECT_FALSE(w.edit(QStringLiteral("fwhm"))->isEnabled());  // a real collimator replaces it
  PhantomSettings read;
  ASSERT_TRUE(w.readSettings(read));
  EXPECT_EQ(read.isotope, "lu177");
  EXPECT_EQ(read.peakPercent, 15);
  EXPECT_EQ(read.lowerPercent, 10);
  EXPECT_EQ(read.upperPercent, 8);
  EXPECT_EQ(read.energyResolutionPercent, 10);
  EXPECT_TRUE(read.scatter);
  EXPECT_TRUE(read.realCollimator);
  Collimator megp;
  collimatorPreset("megp", megp);
  EXPECT_EQ(read.collimator.slope, megp.slope);
  // Each bad value is said beside its own row and keeps 作成 grey.
  const struct {
    const char* edit;
    const char* text;
    const char* problem;
  } cases[] = {{"peak", "60", "windows"}, {"lower", "0", "windows"}, {"upper", "x", "windows"},
               {"eres", "40", "resolution"}, {"eres", "nan", "resolution"}};
  for (const auto& c : cases) {
    QLineEdit* e = w.edit(QString::fromLatin1(c.edit));
    const QString keep = e->text();
    e->setText(QString::fromLatin1(c.text));
    EXPECT_FALSE(w.makeButton()->isEnabled()) << c.edit << " " << c.text;
    EXPECT_FALSE(w.problem(QString::fromLatin1(c.problem))->text().isEmpty()) << c.edit << " " << c.text;
    e->setText(keep);
    EXPECT_TRUE(w.makeButton()->isEnabled()) << c.edit;
  }
  w.collimatorBox()->setCurrentIndex(w.collimatorBox()->findData(QStringLiteral("typed")));
  auto* numbers = w.findChild<QLineEdit*>(QStringLiteral("collimator"));
  ASSERT_NE(numbers, nullptr);
  for (const char* bad : {"1, 2", "1, 2, 3", "x"}) {
    numbers->setText(QString::fromLatin1(bad));
    EXPECT_FALSE(w.makeButton()->isEnabled()) << bad;
    EXPECT_FALSE(w.problem(QStringLiteral("collimator"))->text().isEmpty()) << bad;
  }
  numbers->setText(QStringLiteral("3, 2, 0.05"));
  EXPECT_TRUE(w.makeButton()->isEnabled());
  // Made, then remembered: a new lab opens with the same settings, the typed collimator too.
  w.makeButton()->click();
  w.waitForMaking();
  ASSERT_TRUE(w.study()) << w.message()->text().toStdString();
  const PhantomInfo* info = phantomInfo(*w.study());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(windowLabel(info->windows[0]), windowLabel({"Lu177_EM", 208.4 * (1 - 0.075), 208.4 * (1 + 0.075)}));
  EXPECT_FALSE(info->scattered.empty());
  PhantomWindow again(settings.get());
  PhantomSettings back;
  ASSERT_TRUE(again.readSettings(back));
  EXPECT_EQ(back.isotope, "lu177");
  EXPECT_EQ(back.upperPercent, 8);
  EXPECT_TRUE(back.scatter);
  EXPECT_EQ(again.collimatorBox()->currentData().toString(), QStringLiteral("typed"));
  EXPECT_EQ(back.collimator.intrinsicMm, 3);
  EXPECT_EQ(back.collimator.slope, 0.05);
}

TEST(EnergyWindowMenu, TheMainWindowChangesTheShownWindowLater) {
  QTemporaryDir dir;
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QMenu* applied = app.mainFrame()->appliedMenu();
  auto* windows = applied->findChild<QMenu*>(QStringLiteral("energyWindowMenu"));
  ASSERT_NE(windows, nullptr);
  emit applied->aboutToShow();
  EXPECT_FALSE(windows->isEnabled());  // the sample study has one window
  const StudyPtr study = scatteringStudy();
  ASSERT_TRUE(study);
  app.mainFrame()->usePhantom(study);
  const QString title = app.document()->GetTitle();
  emit applied->aboutToShow();
  ASSERT_TRUE(windows->isEnabled());
  const QList<QAction*> items = windows->actions();
  ASSERT_EQ(items.size(), 3);
  const auto& set = *study->geometry().energyWindows;
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(items[n]->text(), QStringLiteral("&%1  %2").arg(n + 1).arg(QString::fromStdString(windowLabel(set.windows[std::size_t(n)]))));
    EXPECT_EQ(items[n]->isChecked(), n == 0);
  }
  items[1]->trigger();
  const StudyPtr chosen = app.document()->ProjectionStudy();
  EXPECT_EQ(chosen->geometry().energyWindow, 1);
  EXPECT_EQ(chosen->counts(), set.counts[1]);
  EXPECT_EQ(app.document()->GetTitle(), title);
  EXPECT_NE(phantomInfo(*chosen), nullptr);  // still the lab's study, with its truth
  const QString line = app.mainFrame()->view()->studyLine()->text();
  EXPECT_TRUE(line.endsWith(QStringLiteral(", ") + QString::fromStdString(windowLabel(set.windows[1])))) << line.toStdString();
  emit applied->aboutToShow();
  EXPECT_TRUE(windows->actions().at(1)->isChecked());
  EXPECT_FALSE(windows->actions().at(0)->isChecked());
  // And back, and in English.
  windows->actions().at(0)->trigger();
  EXPECT_EQ(app.document()->ProjectionStudy()->counts(), study->counts());
  ASSERT_TRUE(setLanguage(Language::English));
  EXPECT_EQ(windows->title(), QStringLiteral("&Energy window"));
  setLanguage(Language::Japanese);
  EXPECT_EQ(windows->title(), QStringLiteral("エネルギーウィンドウ(&E)"));
}

// The window's TEW with resolution recovery is the command line's.
TEST(ScatterWindows, TheWindowAndSinoraRenderAgreeOnTewWithResolutionRecovery) {
  PhantomSettings s = scatteringCylinder();
  const PhantomResult made = makePhantomStudy(s, 2);
  ASSERT_TRUE(made.study);
  CSinoraDoc doc;
  doc.setMadeStudy(made.study, QStringLiteral("一様円柱"));
  IterativeWindow w(&doc);
  w.rowBox()->setValue(32);
  w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findData(4));
  w.iterationsBox()->setValue(3);
  w.scatterControls()->methodBox()->setCurrentIndex(2);
  w.resolutionControls()->onBox()->setChecked(true);
  w.reconstruct();
  ASSERT_FALSE(w.result().images.empty()) << w.message()->text().toStdString();
  QTemporaryDir dir;
  QProcess p;
  p.start(QStringLiteral(SINORA_RENDER),
          {"--phantom", "cylinder", "--ph-matrix", "64", "--ph-pixel", "4", "--ph-views", "24", "--ph-counts", "1e6",
           "--ph-mu", "0.15", "--ph-scatter", "on", "--ph-collimator", "lehr", "--slice", "32", "--osem", "4:3",
           "--scatter", "tew", "--psf", "phantom", "--values", "--out", dir.path()});
  ASSERT_TRUE(p.waitForFinished(120000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  QFile f(dir.filePath(QStringLiteral("osem.csv")));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const std::vector<double> shown = w.shownOsem();
  double worst = 0;
  int j = 0;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.isEmpty()) continue;
    const QList<QByteArray> values = line.split(',');
    ASSERT_EQ(values.size(), 64);
    for (int i = 0; i < 64; ++i) worst = std::max(worst, std::fabs(values[i].toDouble() - shown[std::size_t(i) * 64 + j]));
    ++j;
  }
  EXPECT_EQ(j, 64);
  EXPECT_LE(worst, 1e-12);
}

}  // namespace
