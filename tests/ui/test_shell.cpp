#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QApplication>
#include <QScrollBar>
#include <QWindow>

#include <cstdio>

#include <gtest/gtest.h>

#include "app/AboutDlg.h"
#include "app/command_line.h"
#include "app/MainFrm.h"
#include "app/RecentFileList.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "imaging/sample_study.h"
#include "imaging/title_picture.h"
#include "res/resource.h"
#include "view/SinoraView.h"
#include "windows/Dialog1.h"

using namespace sinora::res;

namespace {

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    start();
  }
  void start() {
    app = std::make_unique<CSinoraApp>(std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat));
    QString error;
    ASSERT_TRUE(app->InitInstance(QString(), &error, false)) << error.toStdString();
    frame()->setErrorReporter([this](const QString& m) { reported << m; });
  }
  QString settingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
  CMainFrame* frame() const { return app->mainFrame(); }
  // A study file whose every count is `value`.
  QString studyFile(const QString& name, std::uint16_t value, qint64 extra = 0) {
    std::vector<std::uint16_t> counts(sinora::kStudyCounts, value);
    const auto bytes = sinora::studyFileBytes(sinora::ProjectionStudy(counts));
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    f.write(QByteArray(extra, '\x7f'));
    return path;
  }
  QString writeFile(const QString& name, const QByteArray& data) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(data);
    return f.fileName();
  }

  QTemporaryDir dir;
  std::unique_ptr<CSinoraApp> app;
  QStringList reported;
};

QStringList texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions)
    if (a->isVisible()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

TEST_F(Shell, MenuBar) {
  EXPECT_EQ(texts(frame()->menuBar()->actions()),
            (QStringList{"ﾌｧｲﾙ(&F)", "画像表示", "基本", "応用(&A)", "ﾍﾙﾌﾟ(&H)"}));
  EXPECT_EQ(texts(frame()->fileMenu()->actions()),
            (QStringList{"開く(&O)...\tCtrl+O", "-", "印刷(&P)...\tCtrl+P", "印刷ﾌﾟﾚﾋﾞｭｰ(&V)",
                         "ﾌﾟﾘﾝﾀの設定(&R)...", "-", "最近使ったﾌｧｲﾙ", "-", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}));
  QMenu* applied = frame()->menuBar()->actions().at(3)->menu();
  ASSERT_NE(applied, nullptr);
  EXPECT_TRUE(texts(applied->actions()).contains(QStringLiteral("生ﾃﾞｰﾀを開く(&R)...")));
  EXPECT_EQ(frame()->action(ID_OPEN_RAW)->statusTip(), QStringLiteral("ﾚｲｱｳﾄを指定して生ﾃﾞｰﾀを開く"));
  QMenu* help = frame()->menuBar()->actions().at(4)->menu();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(texts(help->actions()), (QStringList{"Sinora のﾊﾞｰｼﾞｮﾝ情報(&A)...", "Language / 言語"}));
  EXPECT_EQ(frame()->menuBar()->actions().at(1)->menu(), nullptr);  // commands, not pop-ups
  EXPECT_EQ(frame()->menuBar()->actions().at(1)->data().toInt(), ID_IMAGE_DISPLAY);
  EXPECT_EQ(frame()->menuBar()->actions().at(2)->data().toInt(), ID_BASIC);
  EXPECT_FALSE(frame()->fileMenu()->actions().at(6)->isEnabled());  // the grey place-holder
}

TEST_F(Shell, ToolBarOrderAndStates) {
  QList<int> ids;
  QList<bool> enabled;
  for (QAction* a : frame()->toolBar()->actions()) {
    ids << (a->isSeparator() ? 0 : a->data().toInt());
    if (!a->isSeparator()) enabled << a->isEnabled();
  }
  EXPECT_EQ(ids, (QList<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY,
                             ID_EDIT_PASTE, 0, ID_FILE_PRINT, 0, ID_APP_ABOUT}));
  EXPECT_EQ(enabled, (QList<bool>{true, true, false, false, false, false, true, true}));
  EXPECT_EQ(frame()->toolBar()->iconSize(), QSize(16, 15));
  for (QAction* a : frame()->toolBar()->actions())
    if (!a->isSeparator()) EXPECT_FALSE(a->icon().isNull()) << a->data().toInt();
}

TEST_F(Shell, Accelerators) {
  const struct {
    QKeySequence key;
    int id;
    bool enabled;
  } cases[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW, true},
      {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN, true},
      {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE, false},
      {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT, true},
      {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO, false},
      {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT, false},
      {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY, false},
      {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE, false},
      {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO, false},
      {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT, false},
      {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY, false},
      {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE, false},
      {QKeySequence(Qt::Key_F6), ID_NEXT_PANE, false},
      {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE, false},
  };
  for (const auto& c : cases) {
    QAction* a = frame()->action(c.id);
    ASSERT_NE(a, nullptr) << c.id;
    EXPECT_TRUE(a->shortcuts().contains(c.key)) << c.key.toString().toStdString();
    EXPECT_EQ(a->isEnabled(), c.enabled) << c.id;
  }
}

TEST_F(Shell, PromptsAndStatusBar) {
  EXPECT_EQ(frame()->action(ID_FILE_OPEN)->statusTip(), QStringLiteral("既存のﾌｧｲﾙを開く"));
  EXPECT_EQ(frame()->action(ID_FILE_OPEN)->toolTip(), QStringLiteral("開く"));
  EXPECT_EQ(frame()->action(ID_APP_ABOUT)->toolTip(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  EXPECT_EQ(frame()->action(ID_FILE_NEW)->statusTip(), QStringLiteral("新規にﾌｧｲﾙを作成"));
  EXPECT_EQ(frame()->messagePane()->text(), QStringLiteral("ﾚﾃﾞｨ"));
  QStringList indicators;
  for (int id : {ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL})
    indicators << frame()->findChild<QLabel*>(QStringLiteral("indicator_%1").arg(id))->text();
  EXPECT_EQ(indicators, (QStringList{"ｶﾅ", "CAP", "NUM", "SCRL"}));
}

TEST_F(Shell, TitleAfterNewOpenAndFailedOpen) {
  EXPECT_EQ(frame()->windowTitle(), QStringLiteral("無題 - Sinora"));
  const QString good = studyFile(QStringLiteral("head.dat"), 7);
  ASSERT_TRUE(frame()->OpenDocumentFile(good));
  EXPECT_EQ(frame()->windowTitle(), QStringLiteral("head.dat - Sinora"));
  const sinora::StudyPtr loaded = app->document()->ProjectionStudy();
  EXPECT_EQ(loaded->count(5, 5, 5), 7);

  const QString shortFile = writeFile(QStringLiteral("short.dat"), QByteArray(5000, 'x'));
  EXPECT_FALSE(frame()->OpenDocumentFile(shortFile));
  ASSERT_EQ(reported.size(), 1);
  EXPECT_TRUE(reported[0].contains(QStringLiteral("short.dat")));
  EXPECT_TRUE(reported[0].contains(QStringLiteral("5,000 バイト")));
  EXPECT_EQ(frame()->windowTitle(), QStringLiteral("head.dat - Sinora"));
  EXPECT_EQ(app->document()->ProjectionStudy(), loaded);
  EXPECT_EQ(frame()->recentFiles().files().size(), 1);

  QTest::keySequence(frame(), QKeySequence(Qt::CTRL | Qt::Key_N));
  frame()->action(ID_FILE_NEW)->trigger();
  EXPECT_EQ(frame()->windowTitle(), QStringLiteral("無題 - Sinora"));
  EXPECT_EQ(app->document()->ProjectionStudy(), loaded);  // New keeps the study
}

TEST_F(Shell, EveryKindOfBadFileChangesNothing) {
  const QString good = studyFile(QStringLiteral("good.dat"), 3);
  ASSERT_TRUE(frame()->OpenDocumentFile(good));
  const sinora::StudyPtr before = app->document()->ProjectionStudy();
  const QStringList bad = {dir.filePath(QStringLiteral("missing.dat")), dir.path(),
                           writeFile(QStringLiteral("empty.dat"), {}),
                           writeFile(QStringLiteral("one-short.dat"),
                                     QByteArray(int(sinora::kStudyFileBytes - 1), '\0'))};
  for (const QString& path : bad) {
    EXPECT_FALSE(frame()->OpenDocumentFile(path)) << path.toStdString();
    EXPECT_EQ(app->document()->ProjectionStudy(), before);
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("good.dat - Sinora"));
    EXPECT_EQ(frame()->recentFiles().files(), QStringList{QFileInfo(good).absoluteFilePath()});
  }
  EXPECT_EQ(reported.size(), bad.size());
  EXPECT_TRUE(QFile::exists(good));
  EXPECT_EQ(QFileInfo(good).size(), qint64(sinora::kStudyFileBytes));  // never written
}

TEST_F(Shell, RecentFilesKeepFourAndSurviveARestart) {
  QStringList opened;
  for (int i = 1; i <= 5; ++i) {
    opened << studyFile(QStringLiteral("s%1.dat").arg(i), std::uint16_t(i), i == 3 ? 100 : 0);
    ASSERT_TRUE(frame()->OpenDocumentFile(opened.last()));
  }
  const QStringList want = {opened[4], opened[3], opened[2], opened[1]};
  EXPECT_EQ(frame()->recentFiles().files(), want);
  const QList<QAction*> entries = frame()->recentFileActions();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_TRUE(entries[0]->text().startsWith(QStringLiteral("&1 ")));
  EXPECT_EQ(entries[0]->statusTip(), QStringLiteral("指定のﾌｧｲﾙを開く"));
  EXPECT_FALSE(texts(frame()->fileMenu()->actions()).contains(QStringLiteral("最近使ったﾌｧｲﾙ")));

  entries[2]->trigger();  // opens s3.dat, which moves to the top
  EXPECT_EQ(frame()->windowTitle(), QStringLiteral("s3.dat - Sinora"));
  EXPECT_EQ(app->document()->ProjectionStudy()->count(0, 0, 0), 3);

  app.reset();
  start();
  EXPECT_EQ(frame()->recentFiles().files(),
            (QStringList{opened[2], opened[4], opened[3], opened[1]}));
  EXPECT_EQ(frame()->recentFileActions().size(), 4);
}

TEST_F(Shell, CommandLineStudy) {
  const QString good = studyFile(QStringLiteral("cli.dat"), 9);
  CSinoraApp withFile(std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(withFile.InitInstance(good, &error, false));
  EXPECT_EQ(withFile.mainFrame()->windowTitle(), QStringLiteral("cli.dat - Sinora"));
  EXPECT_EQ(withFile.document()->ProjectionStudy()->count(1, 2, 3), 9);

  CSinoraApp missing(std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat));
  EXPECT_FALSE(missing.InitInstance(dir.filePath(QStringLiteral("nothing.dat")), &error, false));
  EXPECT_TRUE(error.contains(QStringLiteral("nothing.dat")));
  EXPECT_TRUE(error.contains(QStringLiteral("ファイルが見つかりません")));
}

TEST_F(Shell, StartsOnTheSampleStudy) {
  EXPECT_EQ(app->document()->ProjectionStudy(), sinora::sampleStudy());
  EXPECT_EQ(app->document()->GetTitle(), QStringLiteral("無題"));
}

TEST_F(Shell, AboutBox) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), QStringLiteral("Sinoraのﾊﾞｰｼﾞｮﾝ情報"));
  QStringList labels;
  for (QWidget* w : about.controls().inOrder)
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) labels << l->text();
  EXPECT_TRUE(labels.contains(QStringLiteral("Sinora Version 1.0")));
  auto* ok = about.controls().get<QPushButton>(IDOK);
  ASSERT_NE(ok, nullptr);
  about.show();
  ok->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(Shell, TitlePanel) {
  CSinoraView* view = frame()->view();
  QStringList labels;
  for (QWidget* w : view->controls().inOrder)
    if (auto* l = qobject_cast<QLabel*>(w)) labels << l->text();
  EXPECT_TRUE(labels.contains(QStringLiteral("SPECT再構成用教育ソフト")));
  EXPECT_TRUE(labels.contains(QStringLiteral("Ver1（2005.04.05）")));
  auto* picture = view->controls().get<QLabel>(IDB_TITLE_PICTURE);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->pixmap().size(), QSize(70, 85));
  const QImage img = picture->pixmap().toImage();
  const auto want = sinora::titlePicture(*sinora::sampleStudy());
  EXPECT_EQ(img.pixel(35, 42) | 0xff000000u, want[42 * 70 + 35]);
}

TEST_F(Shell, FrameShrinksAroundTheFormButNeverGrows) {
  frame()->show();
  frame()->resize(900, 700);
  frame()->view()->OnInitialUpdate();
  const QSize fitted = frame()->size();
  EXPECT_LT(fitted.width(), 900);
  EXPECT_LT(fitted.height(), 700);
  EXPECT_GE(frame()->view()->viewport()->width(), frame()->view()->form()->width());
  frame()->resize(300, 200);
  frame()->view()->OnInitialUpdate();
  EXPECT_EQ(frame()->size(), QSize(300, 200));
}

TEST_F(Shell, PrintingGivesABlankPage) {
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
  printer.setOutputFileName(pdf);
  CSinoraView::OnPrint(&printer);
  QFile f(pdf);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray content = f.readAll();
  EXPECT_TRUE(content.startsWith("%PDF"));
  EXPECT_EQ(content.count("/Type /Page\n") + content.count("/Type /Page\r") + content.count("/Type /Page "), 1);
}

TEST_F(Shell, MenuCommandsOpenFreshModalWindows) {
  frame()->show();
  struct Seen {
    QString type;
    bool modal = false;
    int angle = -1;
  };
  QList<Seen> seen;
  auto closeWhenOpen = [&] {
    QTimer::singleShot(0, [&] {
      QWidget* w = QApplication::activeModalWidget();
      ASSERT_NE(w, nullptr);
      Seen s{QString::fromLatin1(w->metaObject()->className()), w->isModal()};
      if (auto* d1 = qobject_cast<CDialog1*>(w)) {
        s.angle = d1->angleIndex;
        d1->OnButton1();  // change its state before closing
      }
      seen << s;
      static_cast<QDialog*>(w)->reject();
    });
  };
  closeWhenOpen();
  frame()->action(ID_IMAGE_DISPLAY)->trigger();
  closeWhenOpen();
  frame()->action(ID_IMAGE_DISPLAY)->trigger();
  closeWhenOpen();
  frame()->action(ID_BASIC)->trigger();
  ASSERT_EQ(seen.size(), 3);
  EXPECT_EQ(seen[0].type, QStringLiteral("CDialog1"));
  EXPECT_EQ(seen[1].angle, 0);  // the second opening starts afresh
  EXPECT_EQ(seen[2].type, QStringLiteral("CDialog2"));
  for (const Seen& s : seen) EXPECT_TRUE(s.modal);
}

TEST(RecentFileList, DuplicatesMoveToTheTop) {
  QTemporaryDir dir;
  QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
  CRecentFileList list(&settings);
  for (const char* p : {"/a", "/b", "/a", "/c", "/d", "/e"}) list.add(QString::fromLatin1(p));
  EXPECT_EQ(list.files(), (QStringList{"/e", "/d", "/c", "/a"}));
  EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString(), QStringLiteral("/e"));
}

}  // namespace

namespace {

TEST_F(Shell, ARecentEntryThatNoLongerOpensLeavesTheList) {
  const QString a = studyFile(QStringLiteral("a.dat"), 1);
  const QString b = studyFile(QStringLiteral("b.dat"), 2);
  ASSERT_TRUE(frame()->OpenDocumentFile(a));
  ASSERT_TRUE(frame()->OpenDocumentFile(b));
  ASSERT_TRUE(QFile::remove(a));
  const QList<QAction*> entries = frame()->recentFileActions();
  ASSERT_EQ(entries.size(), 2);
  entries[1]->trigger();  // a.dat, gone
  ASSERT_EQ(reported.size(), 1);
  EXPECT_EQ(frame()->recentFiles().files(), QStringList{b});
  EXPECT_EQ(frame()->recentFileActions().size(), 1);
  EXPECT_EQ(frame()->windowTitle(), QStringLiteral("b.dat - Sinora"));
  app.reset();  // and from the settings
  start();
  EXPECT_EQ(frame()->recentFiles().files(), QStringList{b});
}

TEST_F(Shell, StartUpShrinksTheFrameExactlyAroundTheTitlePanel) {
  CSinoraApp shown(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s2.ini")),
                                               QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(shown.InitInstance(QString(), &error, true));
  CSinoraView* view = shown.mainFrame()->view();
  QCoreApplication::processEvents();
  EXPECT_EQ(view->viewport()->size(), view->form()->size());
  EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(view->verticalScrollBar()->isVisible());
  // From a frame far too big as well.
  shown.mainFrame()->resize(900, 700);
  view->OnInitialUpdate();
  QCoreApplication::processEvents();
  EXPECT_EQ(view->viewport()->size(), view->form()->size());
}

TEST_F(Shell, PrintAndPreviewUseThePrinterThatSetUpChose) {
  ASSERT_NE(frame()->printer(), nullptr);
  EXPECT_EQ(frame()->view()->printer(), frame()->printer());
}

TEST_F(Shell, TitleKeepsBracketedStarOfAFileName) {
  frame()->show();
  const QString path = studyFile(QStringLiteral("a[*]b.dat"), 4);
  ASSERT_TRUE(frame()->OpenDocumentFile(path));
  ASSERT_NE(frame()->windowHandle(), nullptr);
  EXPECT_EQ(frame()->windowHandle()->title(), QStringLiteral("a[*]b.dat - Sinora"));
}

TEST_F(Shell, LongRecentPathsAreShortenedInTheMiddle) {
  QString deep = dir.path();
  for (int i = 0; i < 8; ++i) deep += QStringLiteral("/a-rather-long-folder-name-%1").arg(i);
  ASSERT_TRUE(QDir().mkpath(deep));
  const QString path = deep + QStringLiteral("/end-of-the-path.dat");
  {
    std::vector<std::uint16_t> counts(sinora::kStudyCounts, 5);
    const auto bytes = sinora::studyFileBytes(sinora::ProjectionStudy(counts));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
  }
  ASSERT_TRUE(frame()->OpenDocumentFile(path));
  const QList<QAction*> entries = frame()->recentFileActions();
  ASSERT_EQ(entries.size(), 1);
  const QString text = entries[0]->text();
  EXPECT_TRUE(text.contains(QChar(0x2026))) << text.toStdString();
  EXPECT_TRUE(text.endsWith(QStringLiteral("end-of-the-path.dat"))) << text.toStdString();
  EXPECT_TRUE(text.startsWith(QStringLiteral("&1 ") + dir.path().left(4)));
  EXPECT_LE(frame()->fileMenu()->fontMetrics().horizontalAdvance(text.mid(3)),
            CMainFrame::kRecentMenuWidth);
  EXPECT_TRUE(entries[0]->statusTip().contains(path));
}

TEST_F(Shell, QtsOwnDialogsSpeakJapanese) {
  sinora::installTranslations(*qApp);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
  EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("印刷"));
  // And the open-failure message is Japanese throughout.
  EXPECT_FALSE(frame()->OpenDocumentFile(dir.filePath(QStringLiteral("none.dat"))));
  ASSERT_EQ(reported.size(), 1);
  for (QChar c : reported[0])
    EXPECT_FALSE(c.isLetter() && c.unicode() < 0x80 && !dir.path().contains(c) &&
                 !QStringLiteral("none.dat").contains(c))
        << reported[0].toStdString();
}

// A name that is not UTF-8 (Shift-JIS "シ" here) is kept as bytes from start to open().
TEST_F(Shell, AFileNameThatIsNotUtf8OpensAndStaysInTheRecentList) {
  const QByteArray name = QFile::encodeName(dir.path()) + "/sjis-\x83\x56.dat";
  {
    std::vector<std::uint16_t> counts(sinora::kStudyCounts, 6);
    const auto bytes = sinora::studyFileBytes(sinora::ProjectionStudy(counts));
    FILE* f = std::fopen(name.constData(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  const char* argv[] = {"sinora", name.constData()};
  const sinora::CommandLine cmd = sinora::parseCommandLine(2, argv);
  ASSERT_FALSE(cmd.exitNow);
  EXPECT_EQ(cmd.study, name);
  CSinoraApp fromCommandLine(std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(fromCommandLine.InitInstance(cmd.study, &error, false)) << error.toStdString();
  EXPECT_EQ(fromCommandLine.document()->ProjectionStudy()->count(1, 2, 3), 6);
  EXPECT_EQ(fromCommandLine.document()->GetPathName(), name);
  EXPECT_TRUE(fromCommandLine.document()->GetTitle().startsWith(QStringLiteral("sjis-")));
  ASSERT_EQ(fromCommandLine.mainFrame()->recentFiles().nativeFiles().size(), 1);
  EXPECT_EQ(fromCommandLine.mainFrame()->recentFiles().nativeFiles()[0], name);
  // After a restart the entry still opens the same file.
  app.reset();
  start();
  ASSERT_EQ(frame()->recentFileActions().size(), 1);
  frame()->recentFileActions()[0]->trigger();
  EXPECT_TRUE(reported.isEmpty()) << reported.value(0).toStdString();
  EXPECT_EQ(app->document()->GetPathName(), name);
  std::remove(name.constData());  // Qt could not remove what it cannot name
}

TEST(CommandLine, OptionsAndExitStatuses) {
  const struct {
    std::vector<const char*> args;
    bool exitNow;
    int status;
    const char* output;
  } cases[] = {
      {{"sinora"}, false, 0, ""},
      {{"sinora", "s.dat"}, false, 0, ""},
      {{"sinora", "--help"}, true, 0, "Usage: sinora"},
      {{"sinora", "-h"}, true, 0, "Usage: sinora"},
      {{"sinora", "--version"}, true, 0, "Sinora 1.0.0.1"},
      {{"sinora", "--bogus"}, true, 2, "unknown option --bogus"},
      {{"sinora", "a.dat", "b.dat"}, true, 2, "only one study"},
      {{"sinora", ""}, true, 2, "empty"},
      {{"sinora", "-platform"}, true, 2, "needs a value"},
      {{"sinora", "-platform", "offscreen", "s.dat"}, false, 0, ""},
      {{"sinora", "--", "--odd-name.dat"}, false, 0, ""},
  };
  for (const auto& c : cases) {
    const sinora::CommandLine cmd = sinora::parseCommandLine(int(c.args.size()), c.args.data());
    const std::string joined = QStringList([&] {
                                 QStringList l;
                                 for (const char* a : c.args) l << QString::fromUtf8(a);
                                 return l;
                               }())
                                   .join(' ')
                                   .toStdString();
    EXPECT_EQ(cmd.exitNow, c.exitNow) << joined;
    EXPECT_EQ(cmd.exitStatus, c.status) << joined;
    EXPECT_TRUE(cmd.output.contains(c.output)) << joined << ": " << cmd.output.toStdString();
  }
  const char* named[] = {"sinora", "--", "--odd-name.dat"};
  EXPECT_EQ(sinora::parseCommandLine(3, named).study, QByteArray("--odd-name.dat"));
}

}  // namespace
