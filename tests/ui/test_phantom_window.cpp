// The phantom lab, driven as a student drives it, and what the other windows make of its study.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/MainFrm.h"
#include "app/RecentFileList.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "imaging/recipe.h"
#include "imaging/sample_study.h"
#include "res/resource.h"
#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"
#include "windows/PhantomWindow.h"
#include "windows/PictureView.h"

using namespace sinora;
using namespace sinora::res;

namespace {

// A small, quick acquisition in the window's boxes.
void setSmall(PhantomWindow& w, PhantomKind kind) {
  PhantomSettings s;
  s.kind = kind;
  s.views = 32;
  s.matrix = 64;
  s.pixelMm = 4;
  s.counts = 1e6;
  w.setSettings(s);
}

class PhantomLab : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    settings = std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
  }
  QTemporaryDir dir;
  std::unique_ptr<QSettings> settings;
};

TEST_F(PhantomLab, EveryBadSettingIsSaidBesideItAndKeepsMakeDisabled) {
  PhantomWindow w(settings.get());
  setSmall(w, PhantomKind::PointSource);
  ASSERT_TRUE(w.makeButton()->isEnabled());
  const struct {
    const char* edit;
    const char* text;
    const char* problem;
  } cases[] = {
      {"views", "0", "views"},       {"views", "abc", "views"},   {"views", "12.5", "views"},
      {"views", "361", "views"},     {"counts", "0", "counts"},   {"counts", "1e12", "counts"},
      {"counts", "nan", "counts"},   {"mu", "-0.1", "mu"},        {"pixel", "0", "pixel"},
      {"pixel", "", "pixel"},        {"fwhm", "nan", "fwhm"},     {"start", "inf", "start"},
      {"pointX", "500", "point"},    {"pointZ", "x", "point"},    {"cor", "1e9", "cor"},
      {"radius", "10", "radius"},    {"seed", "-1", "seed"},      {"seed", "0.5", "seed"},
  };
  for (const auto& c : cases) {
    QLineEdit* e = w.edit(QString::fromLatin1(c.edit));
    ASSERT_NE(e, nullptr) << c.edit;
    const QString before = e->text();
    e->setText(QString::fromLatin1(c.text));
    EXPECT_FALSE(w.makeButton()->isEnabled()) << c.edit << " = " << c.text;
    QLabel* p = w.problem(QString::fromLatin1(c.problem));
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->text().isEmpty()) << c.edit << " = " << c.text;
    // Only that row complains.
    for (const char* other : {"views", "counts", "mu", "pixel", "fwhm", "start", "point", "cor", "radius", "seed"})
      if (QLatin1String(other) != QLatin1String(c.problem))
        EXPECT_TRUE(w.problem(QString::fromLatin1(other))->text().isEmpty()) << c.edit << " vs " << other;
    w.makeButton()->click();  // refused while disabled, and nothing is made
    EXPECT_FALSE(w.making());
    e->setText(before);
    EXPECT_TRUE(w.makeButton()->isEnabled()) << c.edit;
    EXPECT_TRUE(p->text().isEmpty());
  }
  // The point's place matters only for a point source.
  w.edit(QStringLiteral("pointX"))->setText(QStringLiteral("500"));
  w.objectBox()->setCurrentIndex(w.objectBox()->findData(int(PhantomKind::Cylinder)));
  EXPECT_TRUE(w.makeButton()->isEnabled());
  EXPECT_FALSE(w.edit(QStringLiteral("pointX"))->isEnabled());
}

TEST_F(PhantomLab, MakingAStudyTitlesItAndRemembersTheSettings) {
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("app.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QMenu* applied = app.mainFrame()->appliedMenu();
  QStringList texts;
  for (QAction* a : applied->actions()) texts << a->text();
  EXPECT_EQ(texts.indexOf(QStringLiteral("ファントム実験(&P)...")), texts.indexOf(QStringLiteral("フィルタ解析(&F)...")) + 1);
  QAction* item = app.mainFrame()->action(ID_PHANTOM);
  EXPECT_EQ(item->statusTip(), QStringLiteral("既知の物体の収集を作り、現在の検査にする"));
  const int recentBefore = int(app.mainFrame()->recentFileActions().size());
  const StudyPtr before = app.document()->ProjectionStudy();
  item->trigger();  // modeless: returns with the lab open
  PhantomWindow* w = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* p = qobject_cast<PhantomWindow*>(t); p && p->isVisible()) w = p;
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->isModal());
  EXPECT_FALSE(w->backButton()->isEnabled());
  setSmall(*w, PhantomKind::Contrast);
  w->edit(QStringLiteral("mu"))->setText(QStringLiteral("0.15"));
  w->edit(QStringLiteral("seed"))->setText(QStringLiteral("7"));
  w->makeButton()->click();
  w->waitForMaking();  // hands the study on and stays open
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->backButton()->isEnabled());
  const StudyPtr made = app.document()->ProjectionStudy();
  ASSERT_NE(made, sampleStudy());
  const PhantomInfo* info = phantomInfo(*made);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->settings.seed, 7u);
  EXPECT_EQ(made->views(), 32);
  EXPECT_EQ(app.document()->GetTitle(), QStringLiteral("ファントム: ホットとコールドの円板"));
  EXPECT_TRUE(app.document()->GetPathName().isEmpty());
  EXPECT_EQ(int(app.mainFrame()->recentFileActions().size()), recentBefore);
  EXPECT_TRUE(app.mainFrame()->windowTitle().startsWith(QStringLiteral("ファントム: ")));
  // The same settings come back in a new window, and give the same study.
  PhantomWindow again(app.settings());
  PhantomSettings s;
  ASSERT_TRUE(again.readSettings(s));
  EXPECT_EQ(s.kind, PhantomKind::Contrast);
  EXPECT_EQ(s.muPerCm, 0.15);
  EXPECT_EQ(s.matrix, 64);
  again.makeButton()->click();
  again.waitForMaking();
  ASSERT_TRUE(again.study());
  EXPECT_EQ(again.study()->counts(), made->counts());
  // One step back to the study the lab replaced, title and all; then nothing more to go back to.
  w->backButton()->click();
  EXPECT_EQ(app.document()->ProjectionStudy(), before);
  EXPECT_FALSE(app.mainFrame()->windowTitle().startsWith(QStringLiteral("ファントム: ")));
  EXPECT_FALSE(w->backButton()->isEnabled());
  w->close();
}

TEST_F(PhantomLab, KeepsItsSizeRestoresDefaultsAndReturnStartsNothing) {
  PhantomWindow w(settings.get());
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const QSize size = w.size();
  // Messages beside the boxes and below them: the window keeps its size.
  for (const char* field : {"views", "counts", "mu", "pixel", "seed"})
    w.edit(QString::fromLatin1(field))->setText(QStringLiteral("nonsense that is not a number at all"));
  w.edit(QStringLiteral("views"))->setText(QStringLiteral("0"));
  QCoreApplication::processEvents();
  EXPECT_FALSE(w.problem(QStringLiteral("views"))->text().isEmpty());
  EXPECT_FALSE(w.makeButton()->isEnabled());
  EXPECT_EQ(w.size(), size);
  // Defaults: every box as a fresh lab with no settings has it, and 作成 is possible again.
  w.restoreDefaults();
  PhantomSettings s;
  ASSERT_TRUE(w.readSettings(s));
  const PhantomSettings d;
  EXPECT_EQ(s.views, d.views);
  EXPECT_EQ(s.muPerCm, d.muPerCm);
  EXPECT_EQ(s.counts, d.counts);
  EXPECT_EQ(s.kind, d.kind);
  EXPECT_TRUE(w.makeButton()->isEnabled());
  w.edit(QStringLiteral("views"))->setText(QStringLiteral("16"));
  w.defaultsButton()->click();
  EXPECT_EQ(w.edit(QStringLiteral("views"))->text(), QString::number(d.views));
  // Return in a box does not start making a study.
  w.edit(QStringLiteral("views"))->setFocus();
  QTest::keyClick(w.edit(QStringLiteral("views")), Qt::Key_Return);
  EXPECT_FALSE(w.making());
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.size(), size);
}

TEST_F(PhantomLab, AFailedOrCancelledMakingLeavesTheStudyAsItWas) {
  CSinoraDoc doc;
  const StudyPtr before = doc.ProjectionStudy();
  {
    PhantomWindow w(settings.get());
    setSmall(w, PhantomKind::PointSource);
    w.edit(QStringLiteral("views"))->setText(QStringLiteral("4"));
    w.edit(QStringLiteral("counts"))->setText(QStringLiteral("1e7"));  // over 65535 in one bin
    ASSERT_TRUE(w.makeButton()->isEnabled());
    w.makeButton()->click();
    w.waitForMaking();
    EXPECT_FALSE(w.study());
    EXPECT_TRUE(w.message()->text().contains(QStringLiteral("65535")));
    EXPECT_EQ(w.result(), 0);  // still open
    EXPECT_TRUE(w.makeButton()->isEnabled());
  }
  {
    PhantomWindow w(settings.get());
    PhantomSettings big;
    big.matrix = 256;
    big.pixelMm = 1;
    big.views = 360;
    big.fwhmMm = 10;
    w.setSettings(big);
    w.makeButton()->click();
    EXPECT_TRUE(w.making());
    EXPECT_FALSE(w.makeButton()->isEnabled());
    w.reject();  // Cancel while it runs: stops and closes
    EXPECT_FALSE(w.making());
    EXPECT_FALSE(w.study());
  }
  EXPECT_EQ(doc.ProjectionStudy(), before);
}

TEST_F(PhantomLab, TheIterativeWindowShowsTheTruthAndCorrectsAttenuation) {
  PhantomWindow lab(settings.get());
  setSmall(lab, PhantomKind::Cylinder);
  lab.edit(QStringLiteral("views"))->setText(QStringLiteral("64"));
  lab.edit(QStringLiteral("counts"))->setText(QStringLiteral("1e8"));
  lab.edit(QStringLiteral("mu"))->setText(QStringLiteral("0.15"));
  lab.noiseFreeBox()->setChecked(true);
  lab.makeButton()->click();
  lab.waitForMaking();
  ASSERT_TRUE(lab.study());
  CSinoraDoc doc;
  doc.setMadeStudy(lab.study(), QStringLiteral("一様円柱"));
  IterativeWindow w(&doc);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_TRUE(w.truthView()->isVisible());
  EXPECT_DOUBLE_EQ(w.muBox()->value(), 0.15);  // the phantom's own
  EXPECT_EQ(w.outlineBox()->currentIndex(), 0);
  w.rowBox()->setValue(32);
  w.subsetsBox()->setCurrentIndex(w.subsetsBox()->findText(QStringLiteral("8")));
  w.iterationsBox()->setValue(6);
  // Centre against a ring near the edge.
  auto flatness = [](const std::vector<double>& f) {
    double c = 0, e = 0;
    int nc = 0, ne = 0;
    for (int i = 0; i < 64; ++i)
      for (int j = 0; j < 64; ++j) {
        const double r = std::hypot(i - 32, j - 32);
        if (r < 8) c += f[std::size_t(i) * 64 + j], ++nc;
        else if (r >= 14 && r < 20) e += f[std::size_t(i) * 64 + j], ++ne;
      }
    return (c / nc) / (e / ne);
  };
  w.reconstructButton()->click();
  EXPECT_LT(flatness(w.shownFbp()), 0.8);
  EXPECT_LT(flatness(w.shownOsem()), 0.8);
  EXPECT_TRUE(w.errorsLabel()->text().contains(QStringLiteral("RMSE")));
  w.changBox()->setCurrentIndex(2);
  w.attenuatedOsemBox()->setChecked(true);
  w.reconstructButton()->click();
  EXPECT_NEAR(flatness(w.shownFbp()), 1, 0.05);
  EXPECT_NEAR(flatness(w.shownOsem()), 1, 0.05);
  EXPECT_TRUE(w.message()->text().contains(QStringLiteral("減弱込み")));
  // From a threshold of the FBP the outline is found too.
  w.outlineBox()->setCurrentIndex(1);
  w.reconstructButton()->click();
  EXPECT_NEAR(flatness(w.shownOsem()), 1, 0.06);
  // A row outside the cylinder has no outline: said, and the pictures stay.
  const std::vector<double> kept = w.shownOsem();
  w.outlineBox()->setCurrentIndex(0);
  w.rowBox()->setValue(1);
  w.reconstructButton()->click();
  EXPECT_TRUE(w.message()->text().contains(QStringLiteral("輪郭の外")));
  EXPECT_EQ(w.shownOsem(), kept);
}

TEST_F(PhantomLab, TheThoraxBringsItsMuMapToTheIterativeWindow) {
  PhantomWindow lab(settings.get());
  setSmall(lab, PhantomKind::Cylinder);
  const int thorax = lab.objectBox()->findData(int(PhantomKind::Thorax));
  ASSERT_GE(thorax, 0);
  lab.objectBox()->setCurrentIndex(thorax);
  // 64 x 4 mm is too small a field for it: said beside the pixel size.
  EXPECT_TRUE(lab.problem(QStringLiteral("pixel"))->text().contains(QStringLiteral("340 mm")));
  EXPECT_FALSE(lab.makeButton()->isEnabled());
  lab.edit(QStringLiteral("pixel"))->setText(QStringLiteral("6"));
  lab.edit(QStringLiteral("radius"))->setText(QStringLiteral("200"));
  lab.edit(QStringLiteral("mu"))->setText(QStringLiteral("0.15"));
  EXPECT_TRUE(lab.problem(QStringLiteral("pixel"))->text().isEmpty());
  ASSERT_TRUE(lab.makeButton()->isEnabled());
  lab.makeButton()->click();
  lab.waitForMaking();
  ASSERT_TRUE(lab.study());
  const PhantomInfo* info = phantomInfo(*lab.study());
  ASSERT_EQ(info->mu.size(), 64u);
  CSinoraDoc doc;
  doc.setMadeStudy(lab.study(), QStringLiteral("胸部"));
  IterativeWindow w(&doc);
  auto selectable = [&](int item) {
    return w.outlineBox()->itemData(item, Qt::UserRole - 1).isNull();
  };
  EXPECT_TRUE(selectable(2));
  EXPECT_TRUE(selectable(3));
  w.outlineBox()->setCurrentIndex(2);
  EXPECT_FALSE(w.muBox()->isEnabled());  // the map has its own
  w.rowBox()->setValue(32);
  w.iterationsBox()->setValue(2);
  w.changBox()->setCurrentIndex(1);
  w.attenuatedOsemBox()->setChecked(true);
  w.reconstructButton()->click();
  w.waitForSlice();
  EXPECT_EQ(w.osemRecipe().muMap, phantomMuMap(*info));
  EXPECT_EQ(w.fbpRecipe().muMap, phantomMuMap(*info));
  EXPECT_TRUE(w.osemCaption()->text().contains(QStringLiteral("μ マップ"))) << w.osemCaption()->text().toStdString();
  EXPECT_EQ(w.shownOsem(), runRecipe(*lab.study(), w.osemRecipe(), 32, 2, nullptr, false).values);
  EXPECT_EQ(w.shownFbp(), runRecipe(*lab.study(), w.fbpRecipe(), 32).values);
  // The same map 1 cm off: another picture.
  w.outlineBox()->setCurrentIndex(3);
  EXPECT_FALSE(w.muBox()->isEnabled());
  const std::vector<double> aligned = w.shownOsem();
  w.reconstructButton()->click();
  w.waitForSlice();
  EXPECT_EQ(w.osemRecipe().muMap, phantomMuMap(*info, 10));
  EXPECT_NE(w.shownOsem(), aligned);
  // Back to an outline: mu is typed again and the map is not used.
  w.outlineBox()->setCurrentIndex(0);
  EXPECT_TRUE(w.muBox()->isEnabled());
  EXPECT_TRUE(w.recipeFromControls(RecipeMethod::Osem).muMap.empty());
  // A study without a mu map does not offer one.
  CSinoraDoc sample;
  IterativeWindow plain(&sample);
  for (int item : {2, 3}) EXPECT_FALSE(plain.outlineBox()->itemData(item, Qt::UserRole - 1).isNull()) << item;
}

TEST_F(PhantomLab, WithoutAPixelSizeAttenuationIsRefused) {
  CSinoraDoc doc;  // the sample study does not know its pixel size
  IterativeWindow w(&doc);
  EXPECT_FALSE(w.truthView()->isVisibleTo(&w));
  EXPECT_EQ(w.outlineBox()->currentIndex(), 1);  // no phantom outline to offer
  w.iterationsBox()->setValue(1);
  w.changBox()->setCurrentIndex(1);
  w.reconstructButton()->click();
  EXPECT_TRUE(w.result().images.empty());
  EXPECT_TRUE(w.message()->text().contains(QStringLiteral("画素サイズ")));
  w.changBox()->setCurrentIndex(0);
  w.reconstructButton()->click();
  EXPECT_EQ(w.result().images.size(), 1u);
}

TEST_F(PhantomLab, TheFilterWindowWeighsEachCutOffAgainstTheTruth) {
  PhantomWindow lab(settings.get());
  setSmall(lab, PhantomKind::Contrast);
  lab.edit(QStringLiteral("views"))->setText(QStringLiteral("64"));
  lab.edit(QStringLiteral("counts"))->setText(QStringLiteral("3e5"));  // noisy
  lab.makeButton()->click();
  lab.waitForMaking();
  ASSERT_TRUE(lab.study());
  CSinoraDoc doc;
  doc.setMadeStudy(lab.study(), QStringLiteral("ホットとコールドの円板"));
  FilterAnalysisWindow w(&doc);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_TRUE(w.truthView()->isVisible());
  w.rowBox()->setValue(32);
  auto errors = [&] {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("FBP ([0-9.]+) %.*FBP ([0-9.]+) %")).match(w.truthErrorLabel()->text());
    EXPECT_TRUE(m.hasMatch()) << w.truthErrorLabel()->text().toStdString();
    return std::pair{m.captured(1).toDouble(), m.captured(2).toDouble()};
  };
  w.windowBox()->setCurrentIndex(int(FilterWindow::Hann));
  w.cutoffBox()->setValue(0.2);
  const auto [smooth, ramp] = errors();
  EXPECT_LT(smooth, 0.8 * ramp);  // on noisy data a low cut-off comes closer to the truth
  w.cutoffBox()->setValue(0.5);
  EXPECT_GT(errors().first, smooth);
  // Without a phantom there is nothing to compare with.
  CSinoraDoc plain;
  FilterAnalysisWindow other(&plain);
  EXPECT_FALSE(other.truthView()->isVisibleTo(&other));
}

}  // namespace
