// A guided lesson as a teacher writes it (docs/lessons.md): a Markdown file with a front-matter
// header (id, lang, title, goals) and steps, each a "## " heading with its text, optional
// ```action blocks that set the program up and an optional ```question block checked against
// what the program measures. parseLesson reads and checks one; nothing here computes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sinora::lessons {

constexpr std::size_t kMaxLessonBytes = 256 * 1024;
constexpr int kMaxSteps = 40;
constexpr int kMaxLineBytes = 4000;
constexpr int kMaxActionsPerStep = 12;
constexpr int kMaxChoices = 8;
constexpr int kMaxExpressionBytes = 300;

// One "key: value" line of a block, with its line number in the file (1-based).
struct Field {
  std::string key, value;
  int line = 0;
};

enum class ActionKind { Phantom, Open, Reconstruct, Window };

struct Action {
  ActionKind kind = ActionKind::Phantom;
  std::string name;  // the phantom's key, the study, the reconstruction's name or the window's
  std::vector<Field> fields;  // every line, the first included
  int line = 0;
  const Field* find(const std::string& key) const;
};

// A measurement as written ("fwhm(hann) - fwhm(ramp)"), parsed into a small tree.
struct Expr {
  enum Kind { Number, Call, Neg, Add, Sub, Mul, Div, Less, Greater } kind = Number;
  double number = 0;
  std::string function;            // Call
  std::vector<std::string> args;   // Call: reconstruction names or numbers, as written
  std::vector<Expr> operands;      // the others
};

struct Choice {
  std::string label;
  std::string measure;  // as written
  Expr expr;
  int line = 0;
};

struct Question {
  enum Kind { Number, Choice } kind = Number;
  std::string ask;
  std::string measure;  // Number: as written
  Expr expr;
  double tolerance = 0;
  bool relative = false;  // the tolerance in per cent of the measured value
  double reference = 0;   // Number: the answer the teacher expects; Choice: 1-based
  bool hasWrong = false;
  double wrong = 0;       // an answer that must be refused (made up when not given)
  std::string unit, hint, explain;
  std::vector<struct Choice> choices;
  enum Pick { Lowest, Highest, True } pick = Lowest;
  int line = 0;
};

struct Step {
  std::string title;
  std::string text;      // Markdown, actions and question taken out
  std::vector<Action> actions;
  bool hasQuestion = false;
  Question question;
  std::vector<std::string> pictures;  // as written in ![...](...)
  int line = 0;
};

struct Lesson {
  std::string id, lang, title;
  int order = 100;
  std::vector<std::string> goals;
  std::string introduction;  // Markdown before the first step
  std::vector<Step> steps;
  std::string file;          // where it was read from (for messages)
};

struct ParseResult {
  bool ok = false;
  Lesson lesson;
  int line = 0;          // where the problem is (0: the whole file)
  std::string reason;    // Japanese, one pattern of the core (text.h)
  std::string message;   // "FILE:LINE: reason" as shown
};

// Reads a lesson. `pictureExists`, when given, is asked about every picture and study file the
// lesson names (relative to the lesson's folder); a missing one is refused.
ParseResult parseLesson(const std::string& text, const std::string& file,
                        const std::function<bool(const std::string&)>& pictureExists = nullptr);

// A measurement expression; empty `error` on success (Japanese otherwise).
Expr parseExpression(const std::string& text, std::string& error);

// The measurements a lesson may name, with the arguments each takes: "R" a reconstruction's
// name, "N" a number; `phantom`: needs the truth of a phantom study.
struct MeasureInfo {
  const char* name;
  const char* args;
  bool phantom;
};
const std::vector<MeasureInfo>& measurements();

// The windows an action may open ("iterative", "filter", "phantom", "reconstruction",
// "point-source", "comparison").
const std::vector<std::string>& windowNames();

// Reads a number a student typed: spaces around it, full-width digits and a decimal comma are
// taken; false for anything else.
bool readAnswerNumber(const std::string& text, double& out);

}  // namespace sinora::lessons
