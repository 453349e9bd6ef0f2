// The English interface: chosen, every text of the translated windows is English and fits its
// control; chosen back, every text is the Japanese one again, byte for byte.
#include <QAbstractButton>
#include <QAbstractSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QValueAxis>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/AboutDlg.h"
#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "app/command_line.h"
#include "app/language.h"
#include "doc/SinoraDoc.h"
#include "imaging/phantom.h"
#include "imaging/text.h"
#include "platform/dialog_template.h"
#include "platform/tr.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "view/SinoraView.h"
#include "windows/Dialog1.h"
#include "windows/Dialog2.h"
#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"
#include "windows/PhantomWindow.h"
#include "windows/RawOpenDialog.h"

using namespace sinora;
using namespace sinora::res;

namespace {

// Kana, kanji, CJK punctuation, full- and half-width forms: what no English text holds.
bool hasJapanese(const QString& s) {
  for (QChar c : s) {
    const char16_t u = c.unicode();
    if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xFF01 && u <= 0xFF9F)) return true;
  }
  return false;
}

// Every text a window shows through its widgets: captions, titles, tool tips, list items,
// the plots' titles, axes and curves, and the context menus' items.
QStringList textsOf(QWidget* w) {
  QStringList out{w->windowTitle()};
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (auto* b = qobject_cast<QAbstractButton*>(c)) out << b->text();
    if (auto* g = qobject_cast<QGroupBox*>(c)) out << g->title();
    if (auto* l = qobject_cast<QLabel*>(c)) out << l->text();
    if (auto* box = qobject_cast<QComboBox*>(c))
      for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    if (auto* s = qobject_cast<QAbstractSpinBox*>(c)) out << s->specialValueText();
    if (auto* s = qobject_cast<QSpinBox*>(c)) out << s->suffix();
    if (auto* v = qobject_cast<QChartView*>(c)) {
      out << v->chart()->title();
      for (QAbstractAxis* a : v->chart()->axes()) out << a->titleText();
      for (QAbstractSeries* s : v->chart()->series()) out << s->name();
    }
    for (QAction* a : c->actions()) out << a->text();
    out << c->toolTip();
  }
  return out;
}

// Every menu and action text of the main window, with its prompts.
QStringList menuTexts(CMainFrame* frame) {
  QStringList out;
  for (QAction* top : frame->menuBar()->actions()) {
    out << top->text() << top->statusTip();
    if (QMenu* m = top->menu())
      for (QAction* a : m->actions()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        out << a->text() << a->statusTip();
      }
  }
  for (QAction* a : frame->actions()) out << a->text() << a->statusTip() << a->toolTip();
  return out;
}

class Languages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    app = std::make_unique<CSinoraApp>(
        std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
    QString error;
    ASSERT_TRUE(app->InitInstance(QString(), &error, false));
  }
  void TearDown() override { setLanguage(Language::Japanese); }
  CMainFrame* frame() const { return app->mainFrame(); }
  QAction* languageAction(const char* name) const {
    for (QAction* a : frame()->languageMenu()->actions())
      if (a->text() == QString::fromUtf8(name)) return a;
    return nullptr;
  }
  QTemporaryDir dir;
  std::unique_ptr<CSinoraApp> app;
};

TEST_F(Languages, TheMainWindowTurnsEnglishAtOnceAndBackByteForByte) {
  ASSERT_EQ(currentLanguage(), Language::Japanese);
  const QStringList japaneseMenus = menuTexts(frame());
  const QStringList japaneseView = textsOf(frame()->view());
  const QString japaneseTitle = frame()->windowTitle();
  EXPECT_EQ(japaneseTitle, QStringLiteral("無題 - Sinora"));
  QAction* english = languageAction("English");
  QAction* japanese = languageAction("日本語");
  ASSERT_TRUE(english && japanese);
  EXPECT_TRUE(japanese->isChecked());

  english->trigger();
  EXPECT_EQ(currentLanguage(), Language::English);
  EXPECT_TRUE(english->isChecked());
  EXPECT_EQ(frame()->windowTitle(), QStringLiteral("Untitled - Sinora"));
  for (const QString& t : menuTexts(frame()))
    if (!t.startsWith(QStringLiteral("Language")) && t != QStringLiteral("日本語"))
      EXPECT_FALSE(hasJapanese(t)) << t.toStdString();
  for (const QString& t : textsOf(frame()->view())) EXPECT_FALSE(hasJapanese(t)) << t.toStdString();
  QWidget* form = frame()->view()->form();
  EXPECT_EQ(captionThatDoesNotFit(titleFormTemplate(), form->style(), form->font()), QString());
  EXPECT_EQ(frame()->menuBar()->actions().at(0)->text(), QStringLiteral("&File"));
  EXPECT_EQ(frame()->action(ID_ITERATIVE)->statusTip(), QStringLiteral("Reconstruct by MLEM/OSEM and compare with FBP"));
  EXPECT_TRUE(frame()->view()->studyLine()->text().contains(QStringLiteral("total counts")));
  EXPECT_EQ(app->settings()->value(QStringLiteral("Settings/Language")).toString(), QStringLiteral("en"));

  // Back and forth twice: nothing is left half translated.
  for (int round = 0; round < 2; ++round) {
    japanese->trigger();
    EXPECT_EQ(menuTexts(frame()), japaneseMenus);
    EXPECT_EQ(textsOf(frame()->view()), japaneseView);
    EXPECT_EQ(frame()->windowTitle(), japaneseTitle);
    english->trigger();
  }
  japanese->trigger();
  EXPECT_EQ(rememberedLanguage(app->settings()), Language::Japanese);
}

TEST_F(Languages, TheDescribedWindowsOpenInEnglishWithEveryCaptionInsideItsControl) {
  struct Window {
    const DialogTemplate& tmpl;
    std::function<std::unique_ptr<QDialog>()> make;
  };
  CSinoraDoc* doc = app->document();
  const Window windows[] = {
      {reconWindowTemplate(), [doc] { return std::make_unique<CDialog1>(doc); }},
      {pointSourceWindowTemplate(), [] { return std::make_unique<CDialog2>(); }},
      {aboutBoxTemplate(), [] { return std::make_unique<CAboutDlg>(); }},
  };
  for (const Window& w : windows) {
    std::unique_ptr<QDialog> ja = w.make();
    QList<QRect> places;
    for (QWidget* c : ja->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) places << c->geometry();
    const QStringList japaneseTexts = textsOf(ja.get());

    ASSERT_TRUE(setLanguage(Language::English));
    std::unique_ptr<QDialog> en = w.make();
    for (const QString& t : textsOf(en.get())) EXPECT_FALSE(hasJapanese(t)) << t.toStdString();
    // No control moves, and every caption fits the rectangle it had in Japanese.
    QList<QRect> english;
    for (QWidget* c : en->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) english << c->geometry();
    EXPECT_EQ(english, places);
    EXPECT_EQ(captionThatDoesNotFit(w.tmpl, en->style(), en->font()), QString())
        << "at " << en->font().pixelSize() << " px";
    EXPECT_EQ(en->size(), ja->size());

    ASSERT_TRUE(setLanguage(Language::Japanese));
    std::unique_ptr<QDialog> back = w.make();
    EXPECT_EQ(textsOf(back.get()), japaneseTexts);
    EXPECT_EQ(back->font(), ja->font());
  }
}

TEST_F(Languages, TheAppliedWindowsOpenInEnglishAndStayJapaneseOtherwise) {
  // A phantom study, so that the truth and its errors show too.
  PhantomWindow lab(app->settings());
  PhantomSettings s;
  s.kind = PhantomKind::Contrast;
  s.views = 32;
  s.matrix = 64;
  s.pixelMm = 4;
  s.counts = 1e6;
  lab.setSettings(s);
  lab.makeButton()->click();
  lab.waitForMaking();
  ASSERT_TRUE(lab.study());
  frame()->usePhantom(lab.study());
  CSinoraDoc* doc = app->document();
  const std::function<std::unique_ptr<QDialog>()> makers[] = {
      [doc] {
        auto w = std::make_unique<IterativeWindow>(doc);
        w->iterationsBox()->setValue(2);
        w->changBox()->setCurrentIndex(1);
        w->reconstructButton()->click();
        return std::unique_ptr<QDialog>(std::move(w));
      },
      [doc] { return std::unique_ptr<QDialog>(std::make_unique<FilterAnalysisWindow>(doc)); },
      [this] {
        auto w = std::make_unique<PhantomWindow>(app->settings());
        w->edit(QStringLiteral("views"))->setText(QStringLiteral("0"));  // a message shows
        w->edit(QStringLiteral("mu"))->setText(QStringLiteral("x"));
        return std::unique_ptr<QDialog>(std::move(w));
      },
      [this] { return std::unique_ptr<QDialog>(std::make_unique<RawOpenDialog>(app->settings())); },
  };
  for (const auto& make : makers) {
    const QStringList japanese = textsOf(make().get());
    bool anyJapanese = false;
    for (const QString& t : japanese) anyJapanese = anyJapanese || hasJapanese(t);
    EXPECT_TRUE(anyJapanese);
    ASSERT_TRUE(setLanguage(Language::English));
    for (const QString& t : textsOf(make().get())) EXPECT_FALSE(hasJapanese(t)) << t.toStdString();
    ASSERT_TRUE(setLanguage(Language::Japanese));
    EXPECT_EQ(textsOf(make().get()), japanese);
  }
  EXPECT_TRUE(frame()->windowTitle().startsWith(QStringLiteral("ファントム: ホットとコールドの円板")));
  setLanguage(Language::English);
  EXPECT_TRUE(frame()->windowTitle().startsWith(QStringLiteral("Phantom: Hot and cold discs")));
}

TEST(LanguageChoice, CoreMessagesAreTranslatedWithTheirNumbers) {
  ASSERT_TRUE(setLanguage(Language::English));
  PhantomSettings s;
  s.views = 0;
  s.muPerCm = -1;
  s.kind = PhantomKind::PointSource;
  s.pointMm[0] = 300;
  QStringList english;
  for (const SettingProblem& p : checkPhantom(s)) english << TM(p.message);
  EXPECT_EQ(english, (QStringList{"Views: 4 to 360.", "μ is 0 to 2 cm^-1.",
                                  "Outside the field (up to 126 mm from the centre)."}));
  // Readers' messages are found by their patterns, values and all, each value translated too.
  EXPECT_EQ(TM(fill("ヘッダのキー「%1」の値「%2」%3", {"type of data", "Static", "は断層収集（Tomographic）のプロジェクションデータではありません。"})),
            QStringLiteral("The value “Static” of the header key “type of data” is not projection data of a tomographic acquisition (Tomographic)."));
  EXPECT_EQ(TM(fill("データファイル %1: %2", {"a.img", fill("ファイルを開けません（%1）。", {"読み取りの権限がありません"})})),
            QStringLiteral("Data file a.img: The file cannot be opened (no permission to read)."));
  // A value that looks like a pattern's marker stays as it is.
  EXPECT_EQ(TM(fill("ヘッダにキー「%1」がありません。", {"%2"})), QStringLiteral("The header has no key “%2”."));
  // A message without an entry stays as written.
  EXPECT_EQ(TM("知らない 12 のメッセージ"), QStringLiteral("知らない 12 のメッセージ"));
  ASSERT_TRUE(setLanguage(Language::Japanese));
  EXPECT_EQ(TM(checkPhantom(s)[0].message), QStringLiteral("ビュー数は 4 から 360 です。"));
}

TEST_F(Languages, AFileThatDoesNotOpenIsExplainedInEnglish) {
  ASSERT_TRUE(setLanguage(Language::English));
  QString error;
  EXPECT_FALSE(frame()->OpenDocumentFile(dir.filePath(QStringLiteral("none.dat")), &error));
  EXPECT_EQ(error, QStringLiteral("Cannot open %1.\nThe file is not there.")
                       .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("none.dat")))));
  EXPECT_FALSE(frame()->OpenDocumentFile(dir.path(), &error));
  EXPECT_FALSE(hasJapanese(error)) << error.toStdString();
  ASSERT_TRUE(setLanguage(Language::Japanese));
  EXPECT_FALSE(frame()->OpenDocumentFile(dir.filePath(QStringLiteral("none.dat")), &error));
  EXPECT_TRUE(error.endsWith(QStringLiteral("を開けません。\nファイルが見つかりません。"))) << error.toStdString();
}

TEST(LanguageChoice, CommandLineAndSettings) {
  const char* en[] = {"sinora", "--lang", "en"};
  EXPECT_EQ(parseCommandLine(3, en).language, 2);
  const char* ja[] = {"sinora", "--lang=ja", "study.dat"};
  const CommandLine j = parseCommandLine(3, ja);
  EXPECT_EQ(j.language, 1);
  EXPECT_EQ(j.study, QByteArray("study.dat"));
  for (const char* bad : {"fr", ""}) {
    const char* argv[] = {"sinora", "--lang", bad};
    const CommandLine c = parseCommandLine(3, argv);
    EXPECT_TRUE(c.exitNow);
    EXPECT_EQ(c.exitStatus, 2);
  }
  const char* missing[] = {"sinora", "--lang"};
  EXPECT_EQ(parseCommandLine(2, missing).exitStatus, 2);
  // Japanese unless English was chosen, whatever the settings hold.
  QTemporaryDir dir;
  QSettings s(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
  EXPECT_EQ(rememberedLanguage(&s), Language::Japanese);
  s.setValue(QStringLiteral("Settings/Language"), QStringLiteral("klingon"));
  EXPECT_EQ(rememberedLanguage(&s), Language::Japanese);
  rememberLanguage(&s, Language::English);
  EXPECT_EQ(rememberedLanguage(&s), Language::English);
  // Qt's own texts follow: Japanese with Japanese, Qt's English with English.
  ASSERT_TRUE(setLanguage(Language::English));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
  EXPECT_EQ(QCoreApplication::translate("Sinora", "無題"), QStringLiteral("Untitled"));
  ASSERT_TRUE(setLanguage(Language::Japanese));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
  EXPECT_EQ(QCoreApplication::translate("Sinora", "無題"), QStringLiteral("無題"));
}

}  // namespace
