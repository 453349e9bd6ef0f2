// The windows under 応用 on a 1366 x 768 screen and on a 1920 x 1080 screen at scale 2, in both
// languages: each window lies inside the screen, needs no horizontal scroll bar, and every label,
// button and box shows its whole text. Each screen is its own process (a platform's screens are
// fixed when it starts): the driver runs this binary again with the screen and scale set.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/language.h"
#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"
#include "windows/OpenWayDialog.h"
#include "windows/PhantomWindow.h"
#include "windows/ResolutionPanel.h"
#include "windows/ScatterPanel.h"

using namespace sinora;

namespace {

// Every text that does not fit its control, as "class 'text' needs n px, has m".
QStringList cutTexts(QWidget* window) {
  QStringList out;
  auto check = [&](QWidget* w, const QString& text, int room) {
    const int need = w->fontMetrics().horizontalAdvance(text);
    if (!text.isEmpty() && need > room)
      out << QStringLiteral("%1 '%2' needs %3 px, has %4").arg(QString::fromLatin1(w->metaObject()->className()), text).arg(need).arg(room);
  };
  for (QLabel* l : window->findChildren<QLabel*>()) {
    if (!l->isVisibleTo(window)) continue;
    if (l->wordWrap()) {
      // A wrapped text needs the height of its lines at the width it was given.
      const int need = l->heightForWidth(l->width());
      if (!l->text().isEmpty() && l->textFormat() != Qt::RichText && need > l->height())
        out << QStringLiteral("wrapped label '%1' needs %2 px high, has %3").arg(l->text()).arg(need).arg(l->height());
      continue;
    }
    if (l->text().contains(QLatin1Char('\n'))) continue;
    check(l, l->text(), l->contentsRect().width());
  }
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
    if (!b->isVisibleTo(window) || b->text().isEmpty()) continue;
    // The indicator or bevel takes some of the width: the size the style asks for must be given.
    if (b->width() < b->sizeHint().width()) out << QStringLiteral("button '%1' is %2 px of %3").arg(b->text()).arg(b->width()).arg(b->sizeHint().width());
  }
  for (QAbstractSpinBox* s : window->findChildren<QAbstractSpinBox*>())
    if (s->isVisibleTo(window) && s->width() < s->sizeHint().width())
      out << QStringLiteral("spin box '%1' is %2 px of %3").arg(s->text()).arg(s->width()).arg(s->sizeHint().width());
  for (QComboBox* c : window->findChildren<QComboBox*>())
    if (c->isVisibleTo(window) && c->width() < c->minimumSizeHint().width())
      out << QStringLiteral("combo box '%1' is %2 px of %3").arg(c->currentText()).arg(c->width()).arg(c->minimumSizeHint().width());
  for (QLineEdit* e : window->findChildren<QLineEdit*>()) {
    if (!e->isVisibleTo(window) || qobject_cast<QAbstractSpinBox*>(e->parentWidget())) continue;
    check(e, e->text(), e->contentsRect().width() - 4);
  }
  return out;
}

void expectFits(QWidget* w, const char* name) {
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w)) << name;
  QCoreApplication::processEvents();
  const QRect screen = w->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(w->frameGeometry())) << name << ": " << w->frameGeometry().width() << " x "
                                                   << w->frameGeometry().height() << " on " << screen.width()
                                                   << " x " << screen.height();
  for (QScrollArea* a : w->findChildren<QScrollArea*>())
    EXPECT_FALSE(a->horizontalScrollBar()->isVisible())
        << name << ": a horizontal scroll bar, " << a->widget()->minimumSizeHint().width() << " px in "
        << a->viewport()->width();
  // The buttons that act on the window are in sight without scrolling: every push button lies
  // inside each of the widgets around it (a scroll area's viewport among them).
  for (QPushButton* b : w->findChildren<QPushButton*>()) {
    if (!b->isVisibleTo(w)) continue;
    const QRect r(b->mapTo(w, QPoint(0, 0)), b->size());
    QRect seen = w->rect();
    for (QWidget* p = b->parentWidget(); p && p != w; p = p->parentWidget()) seen &= QRect(p->mapTo(w, QPoint(0, 0)), p->size());
    EXPECT_TRUE(seen.contains(r)) << name << ": button '" << b->text().toStdString() << "' at " << r.y() << ".." << r.bottom()
                                  << " is out of sight (" << seen.y() << ".." << seen.bottom() << ")";
  }
  const QStringList cut = cutTexts(w);
  EXPECT_TRUE(cut.isEmpty()) << name << ": " << cut.join(QStringLiteral("; ")).toStdString();
}

// Run by FitScreens.EveryAppliedWindow in a process of its own screen.
TEST(FitScreens, DISABLED_OnThisScreen) {
  for (Language language : {Language::Japanese, Language::English}) {
    ASSERT_TRUE(setLanguage(language));
    CSinoraDoc doc;
    {
      IterativeWindow w(&doc);
      w.iterationsBox()->setValue(2);
      w.reconstruct();
      expectFits(&w, "iterative");
    }
    {
      PhantomSettings s;
      s.kind = PhantomKind::Contrast;
      s.matrix = 64;
      s.pixelMm = 4;
      s.views = 32;
      s.muPerCm = 0.15;
      CSinoraDoc phantom;
      phantom.setMadeStudy(makePhantomStudy(s, 2).study, QStringLiteral("x"));
      IterativeWindow w(&phantom);
      w.iterationsBox()->setValue(2);
      w.changBox()->setCurrentIndex(2);
      w.reconstruct();
      expectFits(&w, "iterative on a phantom");
    }
    {
      // A study with scatter windows: every correction's rows filled in, each tab shown.
      PhantomSettings s;
      s.kind = PhantomKind::Cylinder;
      s.matrix = 64;
      s.pixelMm = 4;
      s.views = 16;
      s.muPerCm = 0.15;
      s.scatter = true;
      s.realCollimator = true;
      collimatorPreset("lehr", s.collimator);
      CSinoraDoc phantom;
      phantom.setMadeStudy(makePhantomStudy(s, 2).study, QStringLiteral("x"));
      IterativeWindow w(&phantom);
      w.iterationsBox()->setValue(1);
      w.scatterControls()->methodBox()->setCurrentIndex(2);
      w.resolutionControls()->onBox()->setChecked(true);
      w.reconstruct();
      for (int tab : {0, 3, 4}) {
        w.tabs()->setCurrentIndex(tab);
        expectFits(&w, tab == 0 ? "iterative with scatter" : tab == 3 ? "iterative, scatter tab" : "iterative, PSF tab");
      }
      FilterAnalysisWindow f(&phantom);
      f.scatterControls()->methodBox()->setCurrentIndex(1);
      f.tabs()->setCurrentIndex(2);
      expectFits(&f, "filter, scatter tab");
    }
    {
      FilterAnalysisWindow w(&doc);
      expectFits(&w, "filter");
      w.setSource(QPoint(70, 50));
      expectFits(&w, "filter, point source");
    }
    {
      // The opening dialog on a study of six energy windows, as the GE camera writes them.
      PhantomSettings s;
      s.matrix = 64;
      s.views = 32;
      StudyGeometry g = makePhantomStudy(s, 2).study->geometry();
      auto set = std::make_shared<EnergyWindowSet>(*g.energyWindows);
      set->windows = {{"Lu177_EM", 101.7, 124.3}, {"Lu177_EM", 187.2, 228.8}, {"sc4_SC", 229.63, 251.16},
                      {"sc3_SC", 166.89, 186.31}, {"sc2_SC", 124.32, 134.68}, {"96.0_SC", 91.2, 100.8}};
      set->counts.resize(6, set->counts[0]);
      g.energyWindows = set;
      g.notes = {"開始角度は DICOM と同じく 0 度で検出器が患者の背側にあるものと読みました（STIR の書き方、!imaging modality := NM）。",
                 "エネルギーウィンドウが 6 個あります。1 番目（Lu177_EM 101.7–124.3 keV）を開きました。",
                 "患者の体位は足から仰臥位（FFS）です。DICOM の角度は患者を基準にしているので、そのまま読みました。"};
      const auto study = std::make_shared<const ProjectionStudy>(g, set->counts[0]);
      OpenWayDialog w(study, QStringLiteral("bed2_projections.dcm"), OpenWay{});
      expectFits(&w, "opening dialog");
    }
    {
      QTemporaryDir dir;
      QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
      PhantomWindow w(&settings);
      expectFits(&w, "phantom lab");
      w.edit(QStringLiteral("views"))->setText(QStringLiteral("0"));
      w.edit(QStringLiteral("mu"))->setText(QStringLiteral("x"));
      expectFits(&w, "phantom lab with messages");
    }
  }
  setLanguage(Language::Japanese);
}

TEST(FitScreens, EveryAppliedWindow) {
  QTemporaryDir dir;
  struct Screen {
    const char* name;
    int width, height;
    const char* scale;
  } screens[] = {{"1366 x 768", 1366, 768, "1"}, {"1920 x 1080 at scale 2", 1920, 1080, "2"}};
  for (const Screen& s : screens) {
    const QString config = dir.filePath(QStringLiteral("%1.json").arg(s.width));
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral(R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": %1, "height": %2, "logicalDpi": 96, "dpr": 1}]})")
                .arg(s.width)
                .arg(s.height)
                .toUtf8());
    f.close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(s.scale));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_also_run_disabled_tests"), QStringLiteral("--gtest_filter=FitScreens.DISABLED_OnThisScreen")});
    ASSERT_TRUE(p.waitForFinished(300000)) << s.name;
    const QByteArray out = p.readAll();
    EXPECT_EQ(p.exitCode(), 0) << s.name << "\n" << out.toStdString();
  }
}

}  // namespace
