// The opening dialog: asked the first time a file opens, its choice remembered for that file and
// applied without asking, asked again with Shift or "開き方...", never for the study file of
// today; cancelling leaves everything as it was.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "app/MainFrm.h"
#include "app/RecentFileList.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "imaging/sample_study.h"
#include "res/resource.h"
#include "windows/OpenWayDialog.h"
#include "windows/PictureView.h"

using namespace sinora;
using namespace sinora::res;

namespace {

constexpr int kViews = 32, kRows = 2, kBins = 32;

// An Interfile study of a point at (8, -4) pixels from the centre, the header plain Interfile
// 3.3; a second window (a point at (-8, 0)) when asked.
struct Files {
  QTemporaryDir dir;
  QString header(bool twoWindows) {
    auto data = [&](const QString& name, int di, int dj) {
      QByteArray bytes(kViews * kRows * kBins * 2, '\0');
      for (int k = 0; k < kViews; ++k) {
        const double t = -k * 360.0 / kViews * 3.14159265358979323846 / 180;  // CCW from 0: falling
        const int bin = int(std::lround(dj * std::sin(t) + di * std::cos(t))) + kBins / 2;
        for (int r = 0; r < kRows; ++r) bytes[((k * kRows + r) * kBins + bin) * 2] = char(200);
      }
      QFile f(dir.filePath(name));
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(bytes);
    };
    data(QStringLiteral("a.s"), 8, -4);
    QByteArray h = "!INTERFILE :=\n!imaging modality := nucmed\nname of data file := a.s\n"
                   "!type of data := Tomographic\nimagedata byte order := LITTLEENDIAN\n"
                   "!number format := unsigned integer\n!number of bytes per pixel := 2\n"
                   "!matrix size [1] := 32\n!matrix size [2] := 2\n!number of projections := 32\n"
                   "!extent of rotation := 360\n!direction of rotation := CCW\nstart angle := 0\n";
    if (twoWindows) {
      data(QStringLiteral("b.s"), -8, 0);
      h += "number of energy windows := 2\nenergy window [1] := peak\nenergy window lower level [1] := 126\n"
           "energy window upper level [1] := 154\nenergy window [2] := low\n"
           "energy window lower level [2] := 100\nenergy window upper level [2] := 120\n"
           "name of data file [2] := b.s\n";
    }
    const QString path = dir.filePath(twoWindows ? QStringLiteral("two.hs") : QStringLiteral("one.hs"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(h + "!END OF INTERFILE :=\n");
    return path;
  }
};

// Runs `act` on the opening dialog once it is shown (modal, inside the call that opens); counts it.
struct DialogWatch {
  int seen = 0;
  std::function<void(OpenWayDialog*)> act;
  QTimer timer;
  explicit DialogWatch(std::function<void(OpenWayDialog*)> a) : act(std::move(a)) {
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (auto* d = qobject_cast<OpenWayDialog*>(QApplication::activeModalWidget())) {
        ++seen;
        act(d);
      }
    });
    timer.start();
  }
};

struct App {
  QTemporaryDir dir;
  std::unique_ptr<CSinoraApp> app;
  QStringList notes, errors;
  App() {
    app = std::make_unique<CSinoraApp>(
        std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
    QString error;
    EXPECT_TRUE(app->InitInstance(QString(), &error, false));
    frame()->setNoteReporter([this](const QString& m) { notes << m; });
    frame()->setErrorReporter([this](const QString& m) { errors << m; });
  }
  CMainFrame* frame() { return app->mainFrame(); }
  StudyPtr study() { return app->document()->ProjectionStudy(); }
};

// Where the first row's FBP is brightest, from the centre (i across, j down).
std::pair<int, int> brightest(const ProjectionStudy& s) {
  const Picture p = filteredPicture(s, 0, ReconFilter::Ramp, 10);
  int best = 0;
  for (int n = 1; n < p.width * p.height; ++n)
    if (p.values[std::size_t(n)] > p.values[std::size_t(best)]) best = n;
  return {best % p.width - kBins / 2, best / p.width - kBins / 2};
}

TEST(OpenWay, AskedOnceRememberedAndAskedAgainOnRequest) {
  Files files;
  const QString path = files.header(true);
  App a;
  ASSERT_FALSE(a.frame()->action(ID_OPEN_WAY)->isEnabled());  // the sample study has no file
  {
    DialogWatch watch([](OpenWayDialog* d) {
      ASSERT_TRUE(d->windowList());
      EXPECT_EQ(d->windowList()->count(), 2);
      EXPECT_EQ(d->windowList()->item(1)->text(), QStringLiteral("2: low 100.0-120.0 keV"));
      // The notes of the import are in the dialog, not in a box after it.
      EXPECT_TRUE(d->findChild<QPlainTextEdit*>()->toPlainText().contains(QStringLiteral("開始角度")));
      d->turnGroup()->button(90)->click();
      d->windowList()->setCurrentRow(1);
      // The preview shows what will open: the second window's point turned a quarter.
      EXPECT_EQ(brightest(*d->chosenStudy()), std::make_pair(0, -8));
      EXPECT_EQ(d->preview()->values().width, kBins);
      d->accept();
    });
    ASSERT_TRUE(a.frame()->OpenDocumentFile(path, nullptr, OpenAsk::IfNew));
    EXPECT_EQ(watch.seen, 1);
  }
  EXPECT_EQ(a.study()->geometry().energyWindow, 1);
  EXPECT_EQ(brightest(*a.study()), std::make_pair(0, -8));
  EXPECT_TRUE(a.notes.isEmpty());  // said in the dialog
  EXPECT_TRUE(a.frame()->action(ID_OPEN_WAY)->isEnabled());

  // Again: not asked, the same way, and the note says so.
  a.app->document()->OnNewDocument();
  {
    DialogWatch watch([](OpenWayDialog* d) { d->reject(); });
    ASSERT_TRUE(a.frame()->OpenDocumentFile(path, nullptr, OpenAsk::IfNew));
    EXPECT_EQ(watch.seen, 0);
  }
  EXPECT_EQ(a.study()->geometry().energyWindow, 1);
  EXPECT_EQ(brightest(*a.study()), std::make_pair(0, -8));
  ASSERT_EQ(a.notes.size(), 1);
  EXPECT_TRUE(a.notes[0].contains(QStringLiteral("前回選んだ開き方（90 度回す、エネルギーウィンドウ 2（low 100.0-120.0 keV））")))
      << a.notes[0].toStdString();

  // "開き方...": asked with the remembered way chosen; cancelled, nothing changes.
  const StudyPtr before = a.study();
  const QString title = a.frame()->windowTitle();
  {
    DialogWatch watch([](OpenWayDialog* d) {
      EXPECT_EQ(d->turnGroup()->checkedId(), 90);
      EXPECT_EQ(d->windowList()->currentRow(), 1);
      d->reject();
    });
    a.frame()->action(ID_OPEN_WAY)->trigger();
    EXPECT_EQ(watch.seen, 1);
  }
  EXPECT_EQ(a.study(), before);
  EXPECT_EQ(a.frame()->windowTitle(), title);
  EXPECT_TRUE(a.errors.isEmpty()) << a.errors.join(QLatin1Char('\n')).toStdString();

  // Asked again, mirrored and on the first window this time: remembered so.
  {
    DialogWatch watch([](OpenWayDialog* d) {
      d->turnGroup()->button(0)->click();
      d->mirrorBox()->setChecked(true);
      d->windowList()->setCurrentRow(0);
      d->accept();
    });
    ASSERT_TRUE(a.frame()->OpenDocumentFile(path, nullptr, OpenAsk::Always));
    EXPECT_EQ(watch.seen, 1);
  }
  // Mirrored about the first view's bin axis (across the screen): (8, -4) to (8, 4).
  EXPECT_EQ(brightest(*a.study()), std::make_pair(8, 4));
  const std::optional<OpenWay> kept = rememberedOpenWay(a.app->settings(), QFile::encodeName(path));
  ASSERT_TRUE(kept);
  EXPECT_EQ(*kept, (OpenWay{0, true, 0}));
}

// A window chosen later from the main window's menu is the file's window from then on, the turn
// chosen when it opened kept; a file opened without asking gets a way of its own.
TEST(OpenWay, TheEnergyWindowMenusChoiceIsRememberedForTheFile) {
  Files files;
  const QString path = files.header(true);
  App a;
  {
    DialogWatch watch([](OpenWayDialog* d) {
      d->turnGroup()->button(90)->click();
      d->windowList()->setCurrentRow(0);
      d->accept();
    });
    ASSERT_TRUE(a.frame()->OpenDocumentFile(path, nullptr, OpenAsk::IfNew));
    EXPECT_EQ(watch.seen, 1);
  }
  EXPECT_EQ(a.study()->geometry().energyWindow, 0);
  QMenu* applied = a.frame()->appliedMenu();
  auto* windows = applied->findChild<QMenu*>(QStringLiteral("energyWindowMenu"));
  ASSERT_NE(windows, nullptr);
  emit applied->aboutToShow();
  ASSERT_EQ(windows->actions().size(), 2);
  windows->actions().at(1)->trigger();
  EXPECT_EQ(a.study()->geometry().energyWindow, 1);
  std::optional<OpenWay> kept = rememberedOpenWay(a.app->settings(), QFile::encodeName(path));
  ASSERT_TRUE(kept);
  EXPECT_EQ(*kept, (OpenWay{90, false, 1}));

  // Opened again: not asked, on the second window, still turned (its point at (0, -8)).
  a.app->document()->OnNewDocument();
  {
    DialogWatch watch([](OpenWayDialog* d) { d->reject(); });
    ASSERT_TRUE(a.frame()->OpenDocumentFile(path, nullptr, OpenAsk::IfNew));
    EXPECT_EQ(watch.seen, 0);
  }
  EXPECT_EQ(a.study()->geometry().energyWindow, 1);
  EXPECT_EQ(brightest(*a.study()), std::make_pair(0, -8));

  // Once the study no longer has the file's name (新規作成), a choice is the study's alone.
  a.app->document()->OnNewDocument();
  emit applied->aboutToShow();
  windows->actions().at(0)->trigger();
  EXPECT_EQ(a.study()->geometry().energyWindow, 0);
  kept = rememberedOpenWay(a.app->settings(), QFile::encodeName(path));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->energyWindow, 1);

  // A copy opened without asking (as programs open) has no way yet: the menu makes one.
  const QString copy = files.dir.filePath(QStringLiteral("copy.hs"));
  ASSERT_TRUE(QFile::copy(path, copy));
  ASSERT_TRUE(a.frame()->OpenDocumentFile(copy));
  EXPECT_FALSE(rememberedOpenWay(a.app->settings(), QFile::encodeName(copy)));
  EXPECT_EQ(a.study()->geometry().energyWindow, 0);
  emit applied->aboutToShow();
  windows->actions().at(1)->trigger();
  kept = rememberedOpenWay(a.app->settings(), QFile::encodeName(copy));
  ASSERT_TRUE(kept);
  EXPECT_EQ(*kept, (OpenWay{0, false, 1}));
  EXPECT_TRUE(a.errors.isEmpty()) << a.errors.join(QLatin1Char('\n')).toStdString();
}

TEST(OpenWay, AChangedFileIsAskedAgainAndTheStudyFileOfTodayNever) {
  Files files;
  const QString path = files.header(false);
  App a;
  {
    DialogWatch watch([](OpenWayDialog* d) {
      EXPECT_FALSE(d->windowList());  // one window: nothing to choose
      d->turnGroup()->button(180)->click();
      d->accept();
    });
    ASSERT_TRUE(a.frame()->OpenDocumentFile(path, nullptr, OpenAsk::IfNew));
    EXPECT_EQ(watch.seen, 1);
  }
  EXPECT_EQ(brightest(*a.study()), std::make_pair(-8, 4));
  // The header changes (a comment more): another file, asked again.
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("; edited\n");
  }
  {
    DialogWatch watch([](OpenWayDialog* d) { d->accept(); });
    ASSERT_TRUE(a.frame()->OpenDocumentFile(path, nullptr, OpenAsk::IfNew));
    EXPECT_EQ(watch.seen, 1);
  }
  EXPECT_EQ(brightest(*a.study()), std::make_pair(8, -4));

  // The study file of today opens as it always has: no dialog, even with Shift, nothing kept.
  const QString legacy = files.dir.filePath(QStringLiteral("study.dat"));
  {
    QFile f(legacy);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(int(kStudyFileBytes), '\1'));
  }
  DialogWatch watch([](OpenWayDialog* d) { d->reject(); });
  ASSERT_TRUE(a.frame()->OpenDocumentFile(legacy, nullptr, OpenAsk::Always));
  EXPECT_EQ(watch.seen, 0);
  EXPECT_TRUE(a.study()->isClassic());
  EXPECT_FALSE(a.frame()->action(ID_OPEN_WAY)->isEnabled());
  EXPECT_FALSE(rememberedOpenWay(a.app->settings(), QFile::encodeName(legacy)));
}

TEST(OpenWay, ACancelledRecentFileStaysInTheListAndTheStudyAsItWas) {
  Files files;
  const QString path = files.header(false);
  App a;
  ASSERT_TRUE(a.frame()->OpenDocumentFile(path));  // programs open without asking
  EXPECT_FALSE(rememberedOpenWay(a.app->settings(), QFile::encodeName(path)));
  a.app->document()->OnNewDocument();
  const StudyPtr before = a.study();
  DialogWatch watch([](OpenWayDialog* d) { d->reject(); });
  a.frame()->OnOpenRecentFile(QFile::encodeName(path));
  EXPECT_EQ(watch.seen, 1);
  EXPECT_EQ(a.study(), before);
  EXPECT_EQ(a.frame()->recentFiles().nativeFiles().size(), 1);
  EXPECT_TRUE(a.errors.isEmpty());
}

}  // namespace
