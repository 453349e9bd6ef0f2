// Runs a lesson's actions through the program's core (the phantom lab, the readers, the one
// recipe) and checks answers against what the core then measures. A session keeps the study the
// actions left and every reconstruction they named; the windows show the same study.
// Measurements: docs/lessons.md lists them (pixels, per cent, counts and keV as the program's).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "imaging/recipe.h"
#include "imaging/study.h"
#include "lessons/lesson.h"

namespace sinora::lessons {

struct RunContext {
  std::string lessonFolder;  // relative studies and pictures; empty for built-in lessons
  std::string dataFolder;    // where "data:" studies are; empty: not found
  int threads = 2;
};

// The folder of shared data: $SINORA_DATA when set, else the first of `candidates` that exists;
// empty when none does.
std::string findDataFolder(const std::vector<std::string>& candidates);

// Whether a lesson opens a study of the data folder.
bool needsData(const Lesson& lesson);

struct Verdict {
  enum Result { Right, Wrong, Unreadable, Unmeasurable } result = Unmeasurable;
  double measured = 0;  // Number: the program's value
  int rightChoice = -1;  // Choice: 0-based
  std::vector<double> values;  // Choice: each choice's measurement
  std::string reason;   // Unmeasurable: why (Japanese, core pattern)
};

class LessonSession {
 public:
  LessonSession(Lesson lesson, RunContext context);

  const Lesson& lesson() const { return lesson_; }
  // Runs the actions of every step up to and including `step` not yet run, in order. False,
  // with `error` (Japanese), when one fails; the study and reconstructions made before stay.
  bool runThrough(int step, std::string& error);
  int stepsRun() const { return ran_; }
  // The study the actions left (null before any), and a number that changes with it.
  StudyPtr study() const { return study_; }
  int studyVersion() const { return version_; }

  // A measurement's value now; NaN with `error` when it cannot be measured.
  double measure(const Expr& e, std::string& error) const;
  // The student's answer: a number as typed, or a choice's 1-based number.
  Verdict check(const Question& q, const std::string& answer) const;

 private:
  struct Recon {
    StudyPtr study;
    int row = 0;
    std::vector<double> values;
    std::vector<std::vector<double>> iterations;
    Recipe recipe;  // as it ran (without its mu map); plain backprojection: the default
  };
  bool run(const Action& a, std::string& error);
  double call(const Expr& e, std::string& error) const;
  const Recon* recon(const std::string& name, std::string& error) const;

  Lesson lesson_;
  RunContext context_;
  int ran_ = 0;
  StudyPtr study_;
  int version_ = 0;
  std::map<std::string, Recon> recons_;
};

// Every step run headless; each question answered with the lesson's reference answer (which
// must be accepted) and a wrong one (which must be refused). One line a step in `log`.
struct CheckResult {
  bool ok = true;
  bool skipped = false;  // a data study is absent: nothing checked
  std::vector<std::string> log;  // English
};
CheckResult checkLesson(const Lesson& lesson, const RunContext& context);

}  // namespace sinora::lessons
