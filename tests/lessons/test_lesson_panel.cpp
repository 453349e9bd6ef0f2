// The lesson panel, offscreen: the list, Back / Next, answers and their feedback, progress kept,
// a bad lesson file refused with the panel still usable, and the menu command that opens it.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>

#include <gtest/gtest.h>

#include "app/MainFrm.h"
#include "app/language.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "res/resource.h"
#include "windows/IterativeWindow.h"
#include "windows/ResolutionPanel.h"
#include "windows/ScatterPanel.h"
#include "windows/LessonPanel.h"

namespace {

class LessonPanelTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::unique_ptr<QSettings> settings =
      std::make_unique<QSettings>(dir.filePath("panel.ini"), QSettings::IniFormat);

  int rowOf(LessonPanel& p, const std::string& id) {
    for (int k = 0; k < p.lessonList()->count(); ++k) {
      p.selectLesson(k);
      if (p.lesson() && p.lesson()->id == id) return k;
    }
    return -1;
  }
  QString write(const QString& name, const QByteArray& text) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return f.fileName();
  }
};

}  // namespace

TEST_F(LessonPanelTest, ListsTheBuiltInLessonsOfTheLanguage) {
  LessonPanel p(settings.get());
  ASSERT_EQ(p.lessonList()->count(), 12);
  for (int k = 0; k < p.lessonList()->count(); ++k) {
    p.selectLesson(k);
    ASSERT_NE(p.lesson(), nullptr);
    EXPECT_EQ(p.lesson()->lang, "ja");
    const int steps = int(p.lesson()->steps.size());
    EXPECT_GE(steps, 5) << p.lesson()->id;
    EXPECT_LE(steps, 10) << p.lesson()->id;
    int questions = 0;
    for (const auto& s : p.lesson()->steps) questions += s.hasQuestion;
    EXPECT_GE(questions, 2) << p.lesson()->id;
  }
  // The course's order: projections first.
  p.selectLesson(0);
  EXPECT_EQ(p.lesson()->id, "projections");
}

TEST_F(LessonPanelTest, NextAndBackWalkTheStepsAndTheQuestionIsChecked) {
  LessonPanel p(settings.get());
  QSignalSpy made(&p, &LessonPanel::studyMade);
  QSignalSpy windows(&p, &LessonPanel::windowRequested);
  const int row = rowOf(p, "projections");
  ASSERT_GE(row, 0);
  p.lessonList()->setCurrentRow(row);
  p.selectLesson(row);
  EXPECT_EQ(p.currentStep(), 0);
  EXPECT_FALSE(p.backButton()->isEnabled());
  EXPECT_GE(made.count(), 1);  // the step's phantom became the program's study
  EXPECT_TRUE(p.stepView()->toPlainText().contains("点線源をひとつ置く"));
  EXPECT_TRUE(p.stepView()->toPlainText().contains("このレッスンの目標"));
  ASSERT_EQ(p.windowButtons().size(), 1);
  p.windowButtons()[0]->click();
  ASSERT_EQ(windows.count(), 1);
  EXPECT_EQ(windows[0][0].toString(), "reconstruction");

  QTest::mouseClick(p.nextButton(), Qt::LeftButton);
  EXPECT_EQ(p.currentStep(), 1);
  EXPECT_TRUE(p.backButton()->isEnabled());
  EXPECT_TRUE(p.answerBox()->isVisibleTo(&p));
  EXPECT_TRUE(p.stepLabel()->text().contains("2"));
  // Wrong: the hint. Unreadable: asked for a number. Right: the measured value.
  p.answerBox()->setText("70");
  QTest::mouseClick(p.checkButton(), Qt::LeftButton);
  EXPECT_TRUE(p.feedback()->text().contains("違います")) << p.feedback()->text().toStdString();
  EXPECT_TRUE(p.feedback()->text().contains("ずらして")) << p.feedback()->text().toStdString();
  p.answerBox()->setText("たくさん");
  QTest::mouseClick(p.checkButton(), Qt::LeftButton);
  EXPECT_TRUE(p.feedback()->text().contains("数で入力")) << p.feedback()->text().toStdString();
  p.answerBox()->setText("８４");
  QTest::keyClick(p.answerBox(), Qt::Key_Return);
  EXPECT_TRUE(p.feedback()->text().contains("正解")) << p.feedback()->text().toStdString();
  EXPECT_TRUE(p.feedback()->text().contains("84"));

  QTest::mouseClick(p.backButton(), Qt::LeftButton);
  EXPECT_EQ(p.currentStep(), 0);
  EXPECT_TRUE(p.feedback()->text().isEmpty());
  // The last step: Next is disabled.
  p.showStep(1000);
  EXPECT_EQ(p.currentStep(), int(p.lesson()->steps.size()) - 1);
  EXPECT_FALSE(p.nextButton()->isEnabled());
}

TEST_F(LessonPanelTest, AChoiceIsPickedAndChecked) {
  LessonPanel p(settings.get());
  const int row = rowOf(p, "backprojection");
  ASSERT_GE(row, 0);
  p.selectLesson(row);
  int step = -1;
  for (std::size_t k = 0; k < p.lesson()->steps.size(); ++k)
    if (p.lesson()->steps[k].hasQuestion && p.lesson()->steps[k].question.kind == sinora::lessons::Question::Choice)
      step = int(k);
  ASSERT_GE(step, 0);
  p.showStep(step);
  EXPECT_FALSE(p.answerBox()->isVisibleTo(&p));
  ASSERT_EQ(p.choices()->buttons().size(), 2);
  QTest::mouseClick(p.checkButton(), Qt::LeftButton);
  EXPECT_TRUE(p.feedback()->text().contains("選択肢を一つ")) << p.feedback()->text().toStdString();
  p.choices()->button(1)->setChecked(true);
  QTest::mouseClick(p.checkButton(), Qt::LeftButton);
  EXPECT_TRUE(p.feedback()->text().contains("違います"));
  p.choices()->button(2)->setChecked(true);
  QTest::mouseClick(p.checkButton(), Qt::LeftButton);
  EXPECT_TRUE(p.feedback()->text().contains("正解"));
}

TEST_F(LessonPanelTest, TheStepReachedIsRememberedPerLesson) {
  {
    LessonPanel p(settings.get());
    p.selectLesson(rowOf(p, "attenuation"));
    p.showStep(3);
    p.selectLesson(rowOf(p, "projections"));
    p.showStep(2);
  }
  LessonPanel again(settings.get());
  again.selectLesson(rowOf(again, "attenuation"));
  EXPECT_EQ(again.currentStep(), 3);
  again.selectLesson(rowOf(again, "projections"));
  EXPECT_EQ(again.currentStep(), 2);
}

TEST_F(LessonPanelTest, ABadFileIsRefusedAndTheLessonGoesOn) {
  LessonPanel p(settings.get());
  const int row = rowOf(p, "projections");
  p.lessonList()->setCurrentRow(row);
  p.selectLesson(row);
  p.showStep(1);
  p.answerBox()->setText("84");
  const int count = p.lessonList()->count();
  const QString bad = write("bad.en.md", "---\nid: bad\nlang: en\ntitle: Bad\n---\n## S\n```action\nphantom: dragon\n```\n");
  EXPECT_FALSE(p.openLessonFile(bad));
  EXPECT_TRUE(p.errorLabel()->isVisibleTo(&p));
  EXPECT_TRUE(p.errorLabel()->text().contains("bad.en.md")) << p.errorLabel()->text().toStdString();
  EXPECT_TRUE(p.errorLabel()->text().contains("8")) << p.errorLabel()->text().toStdString();
  EXPECT_TRUE(p.errorLabel()->text().contains("dragon"));
  EXPECT_EQ(p.lessonList()->count(), count);
  EXPECT_EQ(p.lesson()->id, "projections");
  EXPECT_EQ(p.currentStep(), 1);
  EXPECT_EQ(p.answerBox()->text(), "84");
  // A folder, and a missing file.
  EXPECT_FALSE(p.openLessonFile(dir.path()));
  EXPECT_FALSE(p.openLessonFile(dir.filePath("nothing.md")));
  EXPECT_EQ(p.lessonList()->count(), count);

  // A good file joins the list, is shown, and is remembered for the next panel.
  const QString good = write("mine.en.md",
                             "---\nid: mine\nlang: en\ntitle: Mine\n---\n## Only\n```action\nopen: sample\n```\n"
                             "```question\nask: Views?\nanswer: number\nmeasure: views\ntolerance: 0.5\n"
                             "reference: 60\nhint: Count them.\n```\n");
  ASSERT_TRUE(p.openLessonFile(good));
  EXPECT_EQ(p.lessonList()->count(), count + 1);
  EXPECT_EQ(p.lesson()->id, "mine");
  p.answerBox()->setText("60");
  QTest::mouseClick(p.checkButton(), Qt::LeftButton);
  EXPECT_TRUE(p.feedback()->text().contains("正解"));
  LessonPanel again(settings.get());
  EXPECT_EQ(again.lessonList()->count(), count + 1);
}

TEST_F(LessonPanelTest, ChangingTheLanguageKeepsTheLesson) {
  LessonPanel p(settings.get());
  p.selectLesson(rowOf(p, "attenuation"));
  ASSERT_TRUE(sinora::setLanguage(sinora::Language::English));
  QApplication::processEvents();
  ASSERT_NE(p.lesson(), nullptr);
  EXPECT_EQ(p.lesson()->id, "attenuation");
  EXPECT_EQ(p.lesson()->lang, "en");
  EXPECT_EQ(p.nextButton()->text(), "Next >");
  EXPECT_EQ(p.lessonList()->count(), 12);
  sinora::setLanguage(sinora::Language::Japanese);
  QApplication::processEvents();
  EXPECT_EQ(p.lesson()->lang, "ja");
  EXPECT_EQ(p.nextButton()->text(), "次へ >");
}

TEST_F(LessonPanelTest, TheMenuOpensOnePanelThatSetsTheStudy) {
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath("app.ini"), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QAction* item = app.mainFrame()->action(sinora::res::ID_LESSONS);
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(app.mainFrame()->appliedMenu()->actions().contains(item));
  EXPECT_EQ(item->text(), "レッスン(&L)...");
  const sinora::StudyPtr before = app.document()->ProjectionStudy();
  item->trigger();
  item->trigger();
  const auto panels = app.mainFrame()->findChildren<LessonPanel*>();
  ASSERT_EQ(panels.size(), 1);
  EXPECT_TRUE(panels[0]->isVisible());
  EXPECT_FALSE(panels[0]->isModal());
  // The first lesson's first step made a phantom: it is the program's study now, and the one
  // before can be brought back.
  EXPECT_NE(app.document()->ProjectionStudy(), before);
  EXPECT_TRUE(app.document()->canRestorePrevious());
  panels[0]->close();
}

TEST_F(LessonPanelTest, AStepOpensTheIterativeWindowWithItsSettings) {
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath("app.ini"), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  app.mainFrame()->action(sinora::res::ID_LESSONS)->trigger();
  LessonPanel* panel = app.mainFrame()->findChild<LessonPanel*>();
  ASSERT_NE(panel, nullptr);
  const QString file = write("window.en.md",
                             "---\nid: w\nlang: en\ntitle: W\n---\n## S\n```action\nphantom: cylinder\nviews: 60\n"
                             "matrix: 64\npixel: 4\ncounts: 1e5\n```\n```action\nwindow: iterative\nrow: 20\n"
                             "method: mlem\niterations: 3\nchang: first\nattenuated: yes\nmu: 0.12\n```\n");
  ASSERT_TRUE(panel->openLessonFile(file));
  ASSERT_EQ(panel->windowButtons().size(), 1);
  panel->windowButtons()[0]->click();
  IterativeWindow* w = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* it = qobject_cast<IterativeWindow*>(t); it && it->isVisible()) w = it;
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(app.document()->ProjectionStudy()->bins(), 64);  // the lesson's phantom
  EXPECT_EQ(w->rowBox()->value(), 20);
  EXPECT_EQ(w->methodBox()->currentIndex(), 0);  // MLEM
  EXPECT_EQ(w->iterationsBox()->value(), 3);
  EXPECT_EQ(w->changBox()->currentIndex(), 1);
  EXPECT_TRUE(w->attenuatedOsemBox()->isChecked());
  EXPECT_DOUBLE_EQ(w->muBox()->value(), 0.12);
  w->waitForSlice();
  EXPECT_FALSE(w->shownFbp().empty());  // reconstructed at once
  w->close();
  panel->close();
}

// The scatter correction and resolution recovery a step names are set in the window too.
TEST_F(LessonPanelTest, AStepOpensTheIterativeWindowWithScatterAndResolutionRecovery) {
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath("app.ini"), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  app.mainFrame()->action(sinora::res::ID_LESSONS)->trigger();
  LessonPanel* panel = app.mainFrame()->findChild<LessonPanel*>();
  ASSERT_NE(panel, nullptr);
  const QString file = write("scatter.en.md",
                             "---\nid: s\nlang: en\ntitle: S\n---\n## S\n```action\nphantom: cylinder\nviews: 24\n"
                             "matrix: 64\npixel: 4\ncounts: 1e5\nmu: 0.15\nscatter: yes\ncollimator: legp\n```\n"
                             "```action\nwindow: iterative\nmethod: osem\nsubsets: 4\niterations: 2\nscatter: tew\npsf: phantom\n```\n"
                             "```action\nwindow: iterative\nmethod: osem\nsubsets: 4\niterations: 2\nscatter: dew\npsf: 3, 1, 0.04\n```\n");
  ASSERT_TRUE(panel->openLessonFile(file));
  ASSERT_EQ(panel->windowButtons().size(), 2);
  struct Case {
    int button, scatter;
    const char* collimator;
  } cases[] = {{0, 2, "phantom"}, {1, 1, "typed"}};
  for (const Case& c : cases) {
    QList<IterativeWindow*> before;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* it = qobject_cast<IterativeWindow*>(t)) before.append(it);
    panel->windowButtons()[c.button]->click();
    IterativeWindow* w = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* it = qobject_cast<IterativeWindow*>(t); it && it->isVisible() && !before.contains(it)) w = it;
    ASSERT_NE(w, nullptr) << c.button;
    EXPECT_EQ(w->scatterControls()->methodBox()->currentIndex(), c.scatter) << c.button;
    EXPECT_TRUE(w->resolutionControls()->onBox()->isChecked()) << c.button;
    EXPECT_EQ(w->resolutionControls()->collimatorBox()->currentData().toString(), c.collimator) << c.button;
    if (c.button == 1) EXPECT_EQ(w->resolutionControls()->numbersBox()->text(), "3, 1, 0.04");
    w->waitForSlice();
    w->close();
  }
  panel->close();
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

TEST_F(LessonPanelTest, EveryLessonsNameShowsWholeInTheList) {
  // The list wraps long names; each row must take the lines its name needs at the list's width,
  // in either language, opened from the menu as a student opens it, and narrower.
  for (sinora::Language language : {sinora::Language::Japanese, sinora::Language::English}) {
    ASSERT_TRUE(sinora::setLanguage(language));
    CSinoraApp app(std::make_unique<QSettings>(dir.filePath("names.ini"), QSettings::IniFormat));
    QString error;
    ASSERT_TRUE(app.InitInstance(QString(), &error, false));
    app.mainFrame()->action(sinora::res::ID_LESSONS)->trigger();
    auto* p = app.mainFrame()->findChild<LessonPanel*>();
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(p));
    for (int width : {0, 520}) {
      if (width) p->resize(width, 600);
      QCoreApplication::processEvents();
      QListWidget* list = p->lessonList();
      for (int k = 0; k < list->count(); ++k) {
        QListWidgetItem* item = list->item(k);
        const QRect row = list->visualItemRect(item);
        // The name is painted across the list's whole width, less the item's margins.
        const QRect text = list->fontMetrics().boundingRect(QRect(0, 0, list->viewport()->width() - 6, 100000),
                                                            int(Qt::TextWordWrap), item->text());
        // Lines are painted whole: a row a pixel short of three lines shows two and an ellipsis.
        const int line = list->fontMetrics().lineSpacing();
        const int lines = (text.height() + line / 2) / line;
        EXPECT_GE(row.height(), lines * line) << width << " px, row " << row.width() << " x " << row.height() << " in "
                                               << list->viewport()->width() << ": " << item->text().toStdString();
      }
    }
    p->close();
  }
  sinora::setLanguage(sinora::Language::Japanese);
}
