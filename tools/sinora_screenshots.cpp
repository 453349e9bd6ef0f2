// sinora-screenshots DIR: drives the windows through a lesson on the sample study and saves what
// they show as PNG files (used for the README; run with QT_QPA_PLATFORM=offscreen). --fit shoots
// the windows under 応用 on a real screen (xvfb-run at a given size and scale).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QDoubleSpinBox>
#include <QCheckBox>
#include <QLabel>
#include <QComboBox>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

#include <cstdio>
#include <cstring>

#include "thorax_screenshots.h"
#include "ct_screenshots.h"
#include "app/AboutDlg.h"
#include "app/command_line.h"
#include "app/language.h"
#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "platform/tr.h"
#include "platform/frame_control.h"
#include "res/resource.h"
#include "windows/ComparisonBoard.h"
#include "windows/Dialog1.h"
#include "windows/Figure.h"
#include "windows/Dialog2.h"
#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"
#include "windows/PhantomWindow.h"
#include "windows/OpenWayDialog.h"
#include "windows/RawOpenDialog.h"
#include "windows/ResolutionPanel.h"
#include "windows/ScatterPanel.h"

using namespace sinora::res;

namespace {

QString outDir;

// On a real display (xcb) the screen is grabbed where the window stands, so that whatever
// covers it shows; offscreen, the window paints itself into the picture.
void save(QWidget* w, const char* name) {
  QCoreApplication::processEvents();
  const QString path = outDir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
  QPixmap shot;
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    QTest::qWaitForWindowExposed(w);
    QTest::qWait(300);
    const QRect g = w->geometry();
    shot = w->screen()->grabWindow(0, g.x(), g.y(), g.width(), g.height());
  } else {
    shot = w->grab();
  }
  if (!shot.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

template <typename T>
T* control(sinora::TemplateDialog& d, int id) {
  return d.controls().get<T>(id);
}

// The reconstruction window as the lessons use it: smoothed with order 8 and `cutoff`, the
// slice at `row` picked with a click, Ramp and black-white, then shown.
void reconstructRow(CDialog1& d, const char* cutoff, int row) {
  control<QLineEdit>(d, IDC_BW_ORDER)->setText(QStringLiteral("8"));
  control<QLineEdit>(d, IDC_BW_CUTOFF)->setText(QString::fromLatin1(cutoff));
  control<QPushButton>(d, IDC_SMOOTHING)->click();
  auto* pf = d.frame(IDC_PREFILTER_IMAGE);
  QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(pf->x() + 60, pf->y() + row));
  control<QRadioButton>(d, IDC_RAMP)->setChecked(true);
  control<QRadioButton>(d, IDC_BLACKWHITE)->setChecked(true);
  control<QPushButton>(d, IDC_SHOW_RECON)->click();
}

// The whole screen (a real display), with `w` in front at its top left.
void saveScreen(QWidget* w, const QString& name) {
  w->move(w->screen()->availableGeometry().topLeft());
  w->show();
  w->raise();
  w->activateWindow();
  QTest::qWaitForWindowExposed(w);
  QTest::qWait(400);
  const QString path = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
  if (!w->screen()->grabWindow(0).save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// A study for the opening dialog: a phantom with the six energy windows of a Lu-177 camera and
// the notes an import of such a file makes.
sinora::StudyPtr openWayExample() {
  sinora::PhantomSettings s;
  s.views = 60;
  const sinora::StudyPtr made = sinora::makePhantomStudy(s, 2).study;
  sinora::StudyGeometry g = made->geometry();
  auto set = std::make_shared<sinora::EnergyWindowSet>(*g.energyWindows);
  set->windows = {{"Lu177_EM", 101.7, 124.3}, {"Lu177_EM", 187.2, 228.8}, {"sc4_SC", 229.63, 251.16},
                  {"sc3_SC", 166.89, 186.31}, {"sc2_SC", 124.32, 134.68}, {"96.0_SC", 91.2, 100.8}};
  set->counts.resize(6, set->counts[0]);
  g.energyWindows = set;
  g.format = "DICOM NM";
  g.notes = {"エネルギーウィンドウが 6 個あります。1 番目（Lu177_EM 101.7–124.3 keV）を開きました。",
             "患者の体位は足から仰臥位（FFS）です。DICOM の角度は患者を基準にしているので、そのまま読みました。"};
  return std::make_shared<const sinora::ProjectionStudy>(g, made->counts());
}

// --fit DIR PREFIX: the windows under 応用 on this screen, in Japanese then English, each shot
// with the main window behind it.
int fitShots(const QString& prefix) {
  CSinoraApp sinora(std::make_unique<QSettings>(outDir + QStringLiteral("/fit.ini"), QSettings::IniFormat));
  QString error;
  sinora.InitInstance(QString(), &error);
  for (const bool english : {false, true}) {
    sinora::setLanguage(english ? sinora::Language::English : sinora::Language::Japanese);
    const QString tag = prefix + (english ? QStringLiteral("-en") : QString());
    {
      IterativeWindow w(sinora.document(), sinora.mainFrame());
      w.iterationsBox()->setValue(5);
      w.reconstruct();
      w.setRegion(QRect(56, 56, 16, 16));
      w.rowBox()->setValue(70);  // the pictures stay on row 60 and say so
      saveScreen(&w, tag + QStringLiteral("-iterative"));
      w.rowBox()->setValue(60);
      w.volumeButton()->click();
      w.waitForVolume();
      w.setCrosshair(64, 70, 60);
      w.tabs()->setCurrentIndex(2);
      saveScreen(&w, tag + QStringLiteral("-planes"));
      w.askDiscard = [] { return true; };
    }
    {
      FilterAnalysisWindow w(sinora.document(), sinora.mainFrame());
      w.setSource(QPoint(80, 50));
      saveScreen(&w, tag + QStringLiteral("-filters-point"));
    }
    {
      PhantomWindow w(sinora.settings(), sinora.mainFrame());
      w.edit(QStringLiteral("views"))->setText(QStringLiteral("0"));
      saveScreen(&w, tag + QStringLiteral("-phantom"));
    }
    {
      // A phantom with scatter windows: the corrections' rows and tabs.
      sinora::PhantomSettings s;
      s.kind = sinora::PhantomKind::Jaszczak;
      s.matrix = 64;
      s.pixelMm = 4;
      s.views = 32;
      s.muPerCm = 0.15;
      s.scatter = true;
      s.realCollimator = true;
      sinora::collimatorPreset("lehr", s.collimator);
      CSinoraDoc phantom;
      phantom.setMadeStudy(sinora::makePhantomStudy(s, 2).study, QStringLiteral("Jaszczak"));
      IterativeWindow w(&phantom, sinora.mainFrame());
      w.rowBox()->setValue(32);
      w.iterationsBox()->setValue(2);
      w.scatterControls()->methodBox()->setCurrentIndex(2);
      w.resolutionControls()->onBox()->setChecked(true);
      w.reconstruct();
      w.tabs()->setCurrentIndex(3);
      saveScreen(&w, tag + QStringLiteral("-iterative-scatter"));
      w.tabs()->setCurrentIndex(4);
      saveScreen(&w, tag + QStringLiteral("-iterative-psf"));
      FilterAnalysisWindow f(&phantom, sinora.mainFrame());
      f.rowBox()->setValue(32);
      f.scatterControls()->methodBox()->setCurrentIndex(1);
      f.tabs()->setCurrentIndex(2);
      saveScreen(&f, tag + QStringLiteral("-filters-scatter"));
    }
    {
      OpenWayDialog w(openWayExample(), QStringLiteral("bed2_projections.dcm"), {}, sinora.mainFrame());
      saveScreen(&w, tag + QStringLiteral("-open-way"));
    }
  }
  sinora::setLanguage(sinora::Language::Japanese);
  return 0;
}


// --scatter DIR [GE_STUDY]: the scatter lesson as a student runs it, from the real windows. The
// Jaszczak-like phantom with scatter (Tc-99m in water, LEHR): the spheres' plane by OSEM without
// scatter correction, with DEW, TEW, and TEW with resolution recovery, each kept on the board;
// then the GE Lu-177 study's 208 keV window without and with TEW.
int scatterLesson(const QString& ge) {
  CSinoraApp sinora(std::make_unique<QSettings>(outDir + QStringLiteral("/scatter.ini"), QSettings::IniFormat));
  QString error;
  sinora.InitInstance(QString(), &error);
  sinora.mainFrame()->show();
  ComparisonBoard* board = ComparisonBoard::instance();
  board->clear();
  {
    PhantomWindow pw(sinora.settings(), sinora.mainFrame());
    sinora::PhantomSettings s;
    s.kind = sinora::PhantomKind::Jaszczak;
    s.views = 120;
    s.matrix = 128;
    s.pixelMm = 2;
    s.counts = 1e8;
    s.radiusMm = 220;
    s.muPerCm = 0.154;  // water at 140.5 keV
    s.scatter = true;
    s.realCollimator = true;
    sinora::collimatorPreset("lehr", s.collimator);
    pw.setSettings(s);
    pw.show();
    save(&pw, "scatter-phantom-lab");
    pw.makeButton()->click();
    pw.waitForMaking();
    if (!pw.study()) {
      std::fprintf(stderr, "phantom: %s\n", qPrintable(pw.message()->text()));
      return 1;
    }
    sinora.mainFrame()->usePhantom(pw.study());
  }
  {
    IterativeWindow it(sinora.document(), sinora.mainFrame());
    it.show();
    it.rowBox()->setValue(89);  // the spheres' plane, 50 mm above the centre
    it.iterationsBox()->setValue(4);
    it.attenuatedOsemBox()->setChecked(true);  // attenuation modelled in all four: only scatter differs
    it.changBox()->setCurrentIndex(1);
    const struct {
      int scatter;  // 0 none, 1 DEW, 2 TEW
      bool rr;
      const char* shot;
    } steps[] = {{0, false, "scatter-none"}, {1, false, nullptr}, {2, false, "scatter-tew"}, {2, true, "scatter-tew-rr"}};
    for (const auto& step : steps) {
      it.scatterControls()->methodBox()->setCurrentIndex(step.scatter);
      it.resolutionControls()->onBox()->setChecked(step.rr);
      it.tabs()->setCurrentIndex(0);
      it.reconstructButton()->click();
      it.waitForSlice();
      ComparisonBoard::keepPicture(*it.osemView());
      board->hide();  // the board comes forward with each picture; the window is shot alone
      if (step.shot) save(&it, step.shot);
    }
    ComparisonBoard::keepPicture(*it.truthView());
    board->hide();
    it.tabs()->setCurrentIndex(3);
    save(&it, "scatter-estimate");
    it.tabs()->setCurrentIndex(4);
    it.psfPanel()->distanceBox()->setValue(100);
    save(&it, "scatter-psf");
    FilterAnalysisWindow fw(sinora.document(), sinora.mainFrame());
    fw.show();
    fw.rowBox()->setValue(89);
    fw.windowBox()->setCurrentIndex(2);  // Hann
    fw.cutoffBox()->setValue(0.25);
    fw.scatterControls()->methodBox()->setCurrentIndex(2);
    fw.waitForSlices();
    save(&fw, "scatter-filters");
  }
  board->resize(1300, 700);
  board->show();
  save(board, "scatter-board");
  board->clear();
  board->hide();
  if (ge.isEmpty()) return 0;
  sinora.mainFrame()->setNoteReporter([](const QString&) {});  // the import's notes would wait for a click
  if (!sinora.mainFrame()->OpenDocumentFile(ge, &error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  // The 208 keV photopeak, chosen from the main window's menu.
  QMenu* applied = sinora.mainFrame()->appliedMenu();
  emit applied->aboutToShow();
  QMenu* windows = applied->findChild<QMenu*>(QStringLiteral("energyWindowMenu"));
  if (!windows || windows->actions().size() < 2) return 1;
  windows->actions().at(1)->trigger();
  save(sinora.mainFrame(), "ge-main-window");
  {
    IterativeWindow it(sinora.document(), sinora.mainFrame());
    it.show();
    it.rowBox()->setValue(49);  // the kidneys
    it.subsetsBox()->setCurrentIndex(it.subsetsBox()->findData(6));
    it.iterationsBox()->setValue(6);
    it.fwhmBox()->setValue(1.5);
    for (int method : {0, 2}) {
      it.scatterControls()->methodBox()->setCurrentIndex(method);
      it.tabs()->setCurrentIndex(0);
      it.reconstructButton()->click();
      it.waitForSlice();
      ComparisonBoard::keepPicture(*it.osemView());
      board->hide();
      if (method == 2) save(&it, "ge-tew");
    }
    it.tabs()->setCurrentIndex(3);
    save(&it, "ge-estimate");
  }
  board->resize(900, 520);
  board->show();
  save(board, "ge-board");
  return 0;
}

}  // namespace

const char kUsage[] =
    "usage: sinora-screenshots DIR [STUDY]\n"
    "       sinora-screenshots --fit DIR PREFIX\n"
    "       sinora-screenshots --thorax DIR PREFIX\n"
    "       sinora-screenshots --ct DIR PREFIX STUDY CT\n"
    "       sinora-screenshots --scatter DIR [GE_STUDY]\n"
    "Writes a PNG picture of every window of Sinora, in Japanese and in English, into DIR\n"
    "(made if missing), on the sample study or STUDY. --fit shoots the windows under 応用 on\n"
    "this screen, each in front of the main window, as PREFIX-*.png. --thorax shoots the thorax\n"
    "lesson (the lab, the iterative window with and without its mu map) as PREFIX-*.png. --ct\n"
    "shoots the iterative window with STUDY and its CT (a folder or file) fused, as PREFIX-*.png.\n"
    "--scatter runs the scatter lesson (a phantom with scatter, then GE_STUDY's second energy\n"
    "window) as scatter-*.png and ge-*.png.\n";

int main(int argc, char** argv) {
  // Options are read before any window exists: "--help" is never taken for a folder.
  const bool fit = argc == 4 && std::strcmp(argv[1], "--fit") == 0;
  const bool thorax = argc == 4 && std::strcmp(argv[1], "--thorax") == 0;
  const bool ct = argc == 6 && std::strcmp(argv[1], "--ct") == 0;
  const bool scatter = (argc == 3 || argc == 4) && std::strcmp(argv[1], "--scatter") == 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argv[i][0] == '-' && argv[i][1] != '\0' && !((fit || thorax || ct || scatter) && i == 1)) {
      std::fprintf(stderr, "sinora-screenshots: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (!fit && !thorax && !ct && !scatter && argc != 2 && argc != 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  QApplication app(argc, argv);
  sinora::installTranslations(app);
  if (thorax) {
    QDir().mkpath(QString::fromLocal8Bit(argv[2]));
    return thoraxShots(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  }
  if (ct) {
    QDir().mkpath(QString::fromLocal8Bit(argv[2]));
    return ctShots(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QFile::decodeName(argv[4]),
                   QFile::decodeName(argv[5]));
  }
  if (fit) {
    outDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(outDir);
    return fitShots(QString::fromLocal8Bit(argv[3]));
  }
  if (scatter) {
    outDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(outDir);
    return scatterLesson(argc == 4 ? QFile::decodeName(argv[3]) : QString());
  }
  const QString study = argc == 3 ? QFile::decodeName(argv[2]) : QString();
  outDir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(outDir);
  const QString settingsFile = outDir + QStringLiteral("/settings.ini");
  {
    CSinoraApp sinora(std::make_unique<QSettings>(settingsFile, QSettings::IniFormat));
    QString error;
    sinora.InitInstance(QString(), &error);
    save(sinora.mainFrame(), "main-window");
    CAboutDlg about(sinora.mainFrame());
    about.show();
    save(&about, "about");
    about.hide();

    CDialog1 d1(sinora.document());
    d1.show();
    save(&d1, "recon-1-open");
    for (int i = 0; i < 10; ++i) control<QPushButton>(d1, IDC_NEXT_ANGLE)->click();
    save(&d1, "recon-2-browse");
    control<QLineEdit>(d1, IDC_BW_ORDER)->setText(QStringLiteral("8"));
    control<QLineEdit>(d1, IDC_BW_CUTOFF)->setText(QStringLiteral("0.1"));
    control<QPushButton>(d1, IDC_SMOOTHING)->click();
    save(&d1, "recon-3-smooth");
    auto* f = d1.frame(IDC_PREFILTER_IMAGE);
    QTest::mouseClick(&d1, Qt::LeftButton, {}, QPoint(f->x() + 60, f->y() + 60));
    save(&d1, "recon-4-slice");
    control<QRadioButton>(d1, IDC_RAMP)->setChecked(true);
    control<QRadioButton>(d1, IDC_RIBBON)->setChecked(true);
    control<QPushButton>(d1, IDC_SHOW_RECON)->click();
    save(&d1, "recon-5-ribbon");
    control<QRadioButton>(d1, IDC_BLACKWHITE)->setChecked(true);
    control<QRadioButton>(d1, IDC_SHEPP_LOGAN)->setChecked(true);
    control<QPushButton>(d1, IDC_SHOW_RECON)->click();
    control<QPushButton>(d1, IDC_SMOOTHING)->click();
    save(&d1, "recon-6-grey");
    d1.hide();

    CDialog2 d2;
    d2.show();
    save(&d2, "ps-1-open");
    control<QLineEdit>(d2, IDC_BW_ORDER)->setText(QStringLiteral("2"));
    control<QLineEdit>(d2, IDC_BW_CUTOFF)->setText(QStringLiteral("0.25"));
    control<QPushButton>(d2, IDC_BKPROJECTION)->click();
    save(&d2, "ps-2-bk-empty");
    control<QLineEdit>(d2, IDC_DEGREES)->setText(QStringLiteral("5"));
    control<QPushButton>(d2, IDC_RAMP_BKPROJECTION)->click();
    save(&d2, "ps-3-ramp-5");
    control<QLineEdit>(d2, IDC_DEGREES)->setText(QStringLiteral("1"));
    control<QPushButton>(d2, IDC_RAMP_BW_BKPROJECTION)->click();
    save(&d2, "ps-4-bwramp-1");
    control<QPushButton>(d2, IDC_BKPROJECTION)->click();
    save(&d2, "ps-5-bk-1");
    d2.hide();

    {
      // The iterative window as a student uses it: OSEM 10 subsets, 40 iterations, a region on
      // the left deep grey matter, a profile across the ventricles, then every slice.
      IterativeWindow it(sinora.document());
      it.show();
      it.iterationsBox()->setValue(40);
      it.reconstructButton()->click();
      it.setRegion(QRect(70, 50, 10, 10));
      it.setProfile(QPoint(20, 60), QPoint(108, 60));
      for (int n : {1, 5, 40}) {
        it.iterationSlider()->setValue(n);
        save(&it, n == 1 ? "osem-1" : n == 5 ? "osem-5" : "osem-40");
      }
      it.volumeButton()->click();
      it.waitForVolume();
      it.setCrosshair(64, 60, 60);
      save(&it, "osem-planes");
    }

    {
      // The filter window: Hann at two cut-offs, then a point source's sinogram.
      FilterAnalysisWindow fw(sinora.document());
      fw.show();
      fw.setProfile(QPoint(10, 60), QPoint(118, 60));
      fw.cutoffBox()->setValue(0.4);
      save(&fw, "filters-hann-040");
      fw.cutoffBox()->setValue(0.15);
      save(&fw, "filters-hann-015");
      fw.setSource(QPoint(96, 40));
      save(&fw, "filters-point-source");
      if (!study.isEmpty()) {
        // (the STIR study is shown after it is opened below)
      }
    }

    {
      // The phantom lab's lesson: the Jaszczak-like phantom at three count levels, a
      // centre-of-rotation error, and attenuation without and with correction.
      auto makePhantom = [&](sinora::PhantomSettings s, const char* shot) {
        PhantomWindow pw(sinora.settings());
        pw.setSettings(s);
        pw.show();
        if (shot) save(&pw, shot);
        pw.makeButton()->click();
        pw.waitForMaking();
        if (!pw.study()) {
          std::fprintf(stderr, "phantom: %s\n", qPrintable(pw.message()->text()));
          return false;
        }
        sinora.mainFrame()->usePhantom(pw.study());
        return true;
      };
      auto reconstruct = [&](int row, const char* shot) {
        CDialog1 d(sinora.document());
        d.show();
        reconstructRow(d, "0.15", row);
        save(&d, shot);
      };
      {
        // What a student sees after typing nonsense: each message beside its box, 作成 grey.
        PhantomWindow pw(sinora.settings());
        pw.show();
        pw.edit(QStringLiteral("views"))->setText(QStringLiteral("0"));
        pw.edit(QStringLiteral("counts"))->setText(QStringLiteral("1e12"));
        pw.edit(QStringLiteral("mu"))->setText(QStringLiteral("-0.1"));
        pw.edit(QStringLiteral("pixel"))->setText(QStringLiteral("abc"));
        save(&pw, "phantom-window-errors");
      }
      sinora::PhantomSettings s;
      s.kind = sinora::PhantomKind::Jaszczak;
      s.views = 120;
      s.matrix = 128;
      s.pixelMm = 2.0;
      s.fwhmMm = 8;
      s.radiusMm = 200;
      const struct {
        double counts;
        const char* name;
      } levels[] = {{1e6, "phantom-jaszczak-1e6"}, {1e7, "phantom-jaszczak-1e7"}, {1e8, "phantom-jaszczak-1e8"}};
      ComparisonBoard* board = ComparisonBoard::instance();
      board->clear();
      for (const auto& l : levels) {
        s.counts = l.counts;
        if (!makePhantom(s, l.counts == 1e8 ? "phantom-window" : nullptr)) return 1;
        if (l.counts == 1e8) save(sinora.mainFrame(), "phantom-main");
        reconstruct(44, l.name);  // through the rods
        // The same row by OSEM, kept on the board: the three count levels side by side.
        IterativeWindow it(sinora.document());
        it.rowBox()->setValue(44);
        it.iterationsBox()->setValue(5);
        it.reconstructButton()->click();
        ComparisonBoard::keepPicture(*it.osemView());
        if (l.counts == 1e8) ComparisonBoard::keepPicture(*it.truthView());
      }
      // Each picture in its own display window: 10^6 counts are a hundredth of 10^8's.
      board->linkBox()->setChecked(false);
      board->resize(1180, 640);
      save(board, "board-jaszczak");
      // The board as a PDF figure for a lecture (docs/screenshots/board-figure.png is its page).
      FigureOptions pdf;
      pdf.format = FigureFormat::Pdf;
      QString error;
      if (!exportFigure(*board, outDir + QStringLiteral("/board-figure.pdf"), pdf, &error))
        std::fprintf(stderr, "board-figure.pdf: %s\n", qPrintable(error));
      board->linkBox()->setChecked(true);
      board->hide();
      // Three line sources, with the centre of rotation right and 2 pixels off.
      s.kind = sinora::PhantomKind::LineSources;
      s.counts = 1e7;
      if (!makePhantom(s, nullptr)) return 1;
      reconstruct(64, "phantom-lines");
      s.corPixels = 2;
      if (!makePhantom(s, nullptr)) return 1;
      reconstruct(64, "phantom-cor");
      s.corPixels = 0;
      s.kind = sinora::PhantomKind::Contrast;
      s.fwhmMm = 0;
      s.muPerCm = 0.15;
      s.counts = 1e8;
      if (!makePhantom(s, nullptr)) return 1;
      for (bool corrected : {false, true}) {
        IterativeWindow it(sinora.document());
        it.show();
        it.rowBox()->setValue(64);
        it.iterationsBox()->setValue(10);
        it.changBox()->setCurrentIndex(corrected ? 2 : 0);
        it.attenuatedOsemBox()->setChecked(corrected);
        it.reconstructButton()->click();
        it.setProfile(QPoint(10, 64), QPoint(118, 64));
        save(&it, corrected ? "phantom-attenuation-corrected" : "phantom-attenuation-none");
      }
      FilterAnalysisWindow fw(sinora.document());
      fw.show();
      fw.rowBox()->setValue(64);
      fw.cutoffBox()->setValue(0.2);
      save(&fw, "phantom-filters");
    }

    {
      // The same windows in English (the main window turns at once; the others as they open).
      sinora::setLanguage(sinora::Language::English);
      sinora.mainFrame()->OnFileNew();
      save(sinora.mainFrame(), "en-main-window");
      CAboutDlg about(sinora.mainFrame());
      about.show();
      save(&about, "en-about");
      CDialog1 d(sinora.document());
      d.show();
      reconstructRow(d, "0.25", 44);
      save(&d, "en-recon");
      d.hide();
      CDialog2 d2;
      d2.show();
      control<QLineEdit>(d2, IDC_BW_ORDER)->setText(QStringLiteral("2"));
      control<QLineEdit>(d2, IDC_BW_CUTOFF)->setText(QStringLiteral("0.25"));
      control<QLineEdit>(d2, IDC_DEGREES)->setText(QStringLiteral("1"));
      control<QPushButton>(d2, IDC_RAMP_BW_BKPROJECTION)->click();
      save(&d2, "en-ps");
      d2.hide();
      {
        IterativeWindow it(sinora.document());
        it.show();
        it.rowBox()->setValue(64);
        it.iterationsBox()->setValue(10);
        it.changBox()->setCurrentIndex(2);
        it.attenuatedOsemBox()->setChecked(true);
        it.reconstructButton()->click();
        it.setProfile(QPoint(10, 64), QPoint(118, 64));
        save(&it, "en-iterative");
      }
      {
        FilterAnalysisWindow fw(sinora.document());
        fw.show();
        fw.rowBox()->setValue(64);
        fw.cutoffBox()->setValue(0.2);
        save(&fw, "en-filters");
      }
      {
        PhantomWindow pw(sinora.settings());
        pw.show();
        pw.edit(QStringLiteral("views"))->setText(QStringLiteral("0"));
        save(&pw, "en-phantom");
      }
      {
        RawOpenDialog raw(sinora.settings());
        raw.show();
        save(&raw, "en-raw-open");
      }
      sinora::setLanguage(sinora::Language::Japanese);
    }

    RawOpenDialog raw(sinora.settings());
    raw.show();
    save(&raw, "raw-open");
    raw.hide();
    for (const bool english : {false, true}) {
      sinora::setLanguage(english ? sinora::Language::English : sinora::Language::Japanese);
      OpenWayDialog w(openWayExample(), QStringLiteral("bed2_projections.dcm"), {});
      w.show();
      save(&w, english ? "en-open-way" : "open-way");
    }
    sinora::setLanguage(sinora::Language::Japanese);

    // A real study from outside, when one is named: the main window's line and the window.
    if (!study.isEmpty()) {
      // Said on the terminal in English, as the tool's other words.
      sinora.mainFrame()->setNoteReporter(
          [](const QString& note) { std::fprintf(stderr, "%s\n", qPrintable(sinora::TE(note))); });
      QString error;
      if (!sinora.mainFrame()->OpenDocumentFile(study, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(sinora::TE(error)));
        return 1;
      }
      save(sinora.mainFrame(), "main-study");
      CDialog1 d(sinora.document());
      d.show();
      control<QLineEdit>(d, IDC_BW_ORDER)->setText(QStringLiteral("8"));
      control<QLineEdit>(d, IDC_BW_CUTOFF)->setText(QStringLiteral("0.15"));
      control<QPushButton>(d, IDC_SMOOTHING)->click();
      auto* pf = d.frame(IDC_PREFILTER_IMAGE);
      QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(pf->x() + 60, pf->y() + 32));
      control<QRadioButton>(d, IDC_RAMP)->setChecked(true);
      control<QRadioButton>(d, IDC_RIBBON)->setChecked(true);
      control<QPushButton>(d, IDC_SHOW_RECON)->click();
      save(&d, "recon-study");
      FilterAnalysisWindow fw(sinora.document());
      fw.show();
      fw.rowBox()->setValue(32);
      save(&fw, "filters-study");
    }
  }
  QFile::remove(settingsFile);
  return 0;
}
