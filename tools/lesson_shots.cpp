// sinora-lesson-shots DIR ID ja|en: takes a built-in lesson as a student would, in the real main
// window with the lesson panel beside it: each step shown, each question answered with the
// lesson's reference answer and checked, the windows it names opened; the screen is saved after
// every step as DIR/lesson-ID-LANG-N.png. Run under xvfb-run (or offscreen: the panel alone).
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <cstdio>

#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "app/command_line.h"
#include "app/language.h"
#include "platform/tr.h"
#include "res/resource.h"
#include "windows/Dialog1.h"
#include "windows/LessonPanel.h"

int main(int argc, char** argv) {
  if (argc != 4 || (std::string(argv[3]) != "ja" && std::string(argv[3]) != "en")) {
    std::fprintf(stderr, "usage: sinora-lesson-shots DIR LESSON-ID ja|en\n");
    return 2;
  }
  QApplication app(argc, argv);
  sinora::installTranslations(app);
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  QFile::remove(out + "/lesson-shots.ini");
  auto settings = std::make_unique<QSettings>(out + "/lesson-shots.ini", QSettings::IniFormat);
  const sinora::Language language = std::string(argv[3]) == "ja" ? sinora::Language::Japanese : sinora::Language::English;
  sinora::rememberLanguage(settings.get(), language);
  CSinoraApp sinora(std::move(settings));
  QString error;
  sinora.InitInstance(QString(), &error);
  sinora::setLanguage(language);
  CMainFrame* frame = sinora.mainFrame();
  const QRect screen = frame->screen()->availableGeometry();
  frame->move(screen.topLeft());
  frame->action(sinora::res::ID_LESSONS)->trigger();
  auto* panel = frame->findChild<LessonPanel*>();
  if (!panel) return 1;
  panel->resize(std::min(560, screen.width() / 2), screen.height() - 40);
  panel->move(screen.right() - panel->width(), screen.top());
  // The panel lists the built-in lessons of the language first, in the course's order.
  int row = -1, k = 0;
  for (const sinora::LessonSource& s : sinora::builtinLessons()) {
    if (!s.parsed.ok || s.parsed.lesson.lang != argv[3]) continue;
    if (s.parsed.lesson.id == argv[2]) row = k;
    ++k;
  }
  if (row < 0) {
    std::fprintf(stderr, "no built-in lesson %s in %s\n", argv[2], argv[3]);
    return 1;
  }
  panel->lessonList()->setCurrentRow(row);
  panel->selectLesson(row);
  panel->showStep(0);
  const auto* lesson = panel->lesson();
  std::unique_ptr<CDialog1> reconstruction;
  for (std::size_t k = 0; k < lesson->steps.size(); ++k) {
    panel->showStep(int(k));
    // The windows the step names, as the student opens them (the modal ones are not).
    for (QPushButton* b : panel->windowButtons()) {
      if (b->text().contains(sinora::T("基本"))) continue;
      if (!b->text().contains(sinora::T("画像表示"))) {
        b->click();
        continue;
      }
      // The reconstruction window is modal; here it stands open beside the panel instead.
      reconstruction = std::make_unique<CDialog1>(sinora.document());
      reconstruction->move(screen.left(), screen.top() + 300);
      reconstruction->show();
    }
    const auto& step = lesson->steps[k];
    if (step.hasQuestion) {
      if (step.question.kind == sinora::lessons::Question::Number) {
        panel->answerBox()->setText(QString::number(step.question.reference));
      } else if (QAbstractButton* b = panel->choices()->button(int(step.question.reference))) {
        b->setChecked(true);
      }
      panel->checkButton()->click();
    }
    panel->raise();
    QApplication::processEvents();
    QTest::qWait(QGuiApplication::platformName() == "xcb" ? 600 : 50);
    const QString path = out + QString("/lesson-%1-%2-%3.png").arg(argv[2], argv[3]).arg(k + 1);
    const QPixmap shot = QGuiApplication::platformName() == "xcb"
                             ? panel->screen()->grabWindow(0)
                             : panel->grab();
    if (!shot.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::printf("%s: %s\n", qPrintable(path), qPrintable(panel->feedback()->text()));
  }
  return 0;
}
