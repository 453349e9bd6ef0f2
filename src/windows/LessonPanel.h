// The lesson panel (応用 > "レッスン"): a modeless window beside the others with the lessons
// (built-in, opened by the teacher, or in the lessons folder of the settings), the current step
// rendered from its Markdown, Back / Next, and the step's question with a Check button. Actions
// run through the core (lessons/lesson_run.h); a study they make is handed to the main window
// and a window they name is asked for. The step reached is kept per lesson in the settings.
#pragma once

#include <QStringList>
#include <QWidget>

#include <memory>

#include "imaging/study.h"
#include "windows/LessonLibrary.h"

class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSettings;
class QTextBrowser;
class QVBoxLayout;

class LessonPanel : public QWidget {
  Q_OBJECT
 public:
  explicit LessonPanel(QSettings* settings, QWidget* parent = nullptr);
  ~LessonPanel() override;

  // Opens a lesson file and adds it to the list (remembered); false with a message shown in
  // the panel when it is refused (nothing else changes).
  bool openLessonFile(const QString& path);
  // Selects the row'th lesson of the list.
  void selectLesson(int row);
  void showStep(int step);

  // For tests and tools.
  QListWidget* lessonList() const { return list_; }
  QTextBrowser* stepView() const { return text_; }
  QPushButton* nextButton() const { return next_; }
  QPushButton* backButton() const { return back_; }
  QPushButton* checkButton() const { return check_; }
  QLineEdit* answerBox() const { return answer_; }
  QButtonGroup* choices() const { return choiceGroup_; }
  QLabel* feedback() const { return feedback_; }
  QLabel* errorLabel() const { return error_; }
  QLabel* stepLabel() const { return stepLabel_; }
  int currentStep() const { return step_; }
  const sinora::lessons::Lesson* lesson() const;
  sinora::lessons::LessonSession* session() const { return session_.get(); }
  const QList<QPushButton*>& windowButtons() const { return windowButtons_; }

 signals:
  // A step's action made or opened a study (`name` as the title shows it).
  void studyMade(sinora::StudyPtr study, const QString& name);
  // A step asks for one of the program's windows (lessons::windowNames()).
  void windowRequested(const QString& window);

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void reload();
  void retranslate();
  void checkAnswer();
  // Asks for a step's window; the iterative window is given the step's settings.
  void openWindow(const sinora::lessons::Action& a);
  void showError(const QString& message);
  QString progressKey() const;

  QSettings* settings_;
  QList<sinora::LessonSource> sources_;  // what the list shows, row for row
  QStringList files_;                    // lesson files the teacher opened
  int current_ = -1;
  int step_ = 0;
  std::unique_ptr<sinora::lessons::LessonSession> session_;

  QListWidget* list_;
  QPushButton* open_;
  QPushButton* folder_;
  QLabel* title_;
  QLabel* stepLabel_;
  QLabel* error_;
  QTextBrowser* text_;
  QHBoxLayout* windowRow_;
  QList<QPushButton*> windowButtons_;
  QWidget* questionBox_;
  QLabel* ask_;
  QLineEdit* answer_;
  QLabel* unit_;
  QWidget* choiceBox_;
  QVBoxLayout* choiceLayout_;
  QButtonGroup* choiceGroup_;
  QPushButton* check_;
  QLabel* feedback_;
  QPushButton* back_;
  QPushButton* next_;
};
