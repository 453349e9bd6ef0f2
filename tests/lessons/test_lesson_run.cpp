// Lessons run through the core: answers are judged against what the program measures, within the
// lesson's tolerance, and --check's judgement of a whole lesson.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "lessons/lesson.h"
#include "lessons/lesson_run.h"

using namespace sinora::lessons;

namespace {

// A small noise-free point 20 mm (10 pixels of 2 mm) right of the centre.
const std::string kPoint = R"(---
id: run
lang: en
title: Run
---
## Point
```action
phantom: point
point: 20, 0, 0
views: 60
matrix: 64
pixel: 2
counts: 1e6
noise-free: yes
COR
```
```action
reconstruct: ramp
```
```action
reconstruct: hann
filter: hann
cutoff: 0.2
```
)";

Lesson parsed(const std::string& text) {
  const ParseResult r = parseLesson(text, "run.md");
  EXPECT_TRUE(r.ok) << r.message;
  return r.lesson;
}

std::string point(const std::string& cor, const std::string& question) {
  std::string t = kPoint;
  t.replace(t.find("COR"), 3, cor.empty() ? "seed: 1" : "cor: " + cor);
  return t + question;
}

std::string numberQuestion(const std::string& measure, const std::string& tolerance, const std::string& reference) {
  return "```question\nask: a\nanswer: number\nmeasure: " + measure + "\ntolerance: " + tolerance +
         "\nreference: " + reference + "\nhint: h\n```\n";
}

double measured(LessonSession& s, const std::string& expr) {
  std::string error;
  const Expr e = parseExpression(expr, error);
  EXPECT_TRUE(error.empty()) << error;
  const double v = s.measure(e, error);
  EXPECT_TRUE(error.empty()) << expr << ": " << error;
  return v;
}

}  // namespace

TEST(LessonRun, ThePointFallsWhereItWasPut) {
  LessonSession s(parsed(point("", "")), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  ASSERT_TRUE(s.study());
  EXPECT_EQ(measured(s, "peak-bin(0, 32)"), 32 + 10);
  EXPECT_EQ(measured(s, "peak-bin(15, 32)"), 32);
  EXPECT_EQ(measured(s, "peak-bin(30, 32)"), 32 - 10);
  EXPECT_EQ(measured(s, "views"), 60);
  EXPECT_DOUBLE_EQ(measured(s, "arc"), 360);
  EXPECT_NEAR(measured(s, "angle(1) - angle(0)"), 6, 1e-9);
  // A wider window widens the point.
  EXPECT_GT(measured(s, "fwhm(hann)"), 1.5 * measured(s, "fwhm(ramp)"));
  EXPECT_NEAR(measured(s, "fwhm-mm(ramp)"), 2 * measured(s, "fwhm(ramp)"), 1e-9);
}

TEST(LessonRun, TheCentreOfRotationIsMeasuredFromOpposedViews) {
  for (const char* cor : {"0", "2", "-1.5"}) {
    LessonSession s(parsed(point(cor, "")), {});
    std::string error;
    ASSERT_TRUE(s.runThrough(0, error)) << error;
    EXPECT_NEAR(measured(s, "cor-offset(32)"), std::atof(cor), 0.05) << cor;
  }
}

TEST(LessonRun, ANumberIsRightWithinTheToleranceOnly) {
  LessonSession s(parsed(point("", numberQuestion("fwhm(hann)", "0.5", "1"))), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  const Question& q = s.lesson().steps[0].question;
  const double m = measured(s, "fwhm(hann)");
  auto verdict = [&](double typed) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", typed);
    return s.check(q, buf).result;
  };
  EXPECT_EQ(verdict(m), Verdict::Right);
  EXPECT_EQ(verdict(m + 0.49), Verdict::Right);
  EXPECT_EQ(verdict(m - 0.49), Verdict::Right);
  EXPECT_EQ(verdict(m + 0.51), Verdict::Wrong);
  EXPECT_EQ(verdict(m - 0.51), Verdict::Wrong);
  EXPECT_EQ(s.check(q, "wide").result, Verdict::Unreadable);
  EXPECT_EQ(s.check(q, "").result, Verdict::Unreadable);
  EXPECT_DOUBLE_EQ(s.check(q, "1").measured, m);
}

TEST(LessonRun, ARelativeToleranceIsAShareOfTheMeasuredValue) {
  LessonSession s(parsed(point("", numberQuestion("counts", "10%", "1e6"))), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  const Question& q = s.lesson().steps[0].question;
  const double m = measured(s, "counts");
  EXPECT_EQ(s.check(q, std::to_string(m * 1.09)).result, Verdict::Right);
  EXPECT_EQ(s.check(q, std::to_string(m * 0.91)).result, Verdict::Right);
  EXPECT_EQ(s.check(q, std::to_string(m * 1.11)).result, Verdict::Wrong);
}

TEST(LessonRun, AChoiceIsJudgedByTheMeasurements) {
  const std::string lowest =
      "```question\nask: a\nanswer: choice\nchoice: Hann | fwhm(hann)\nchoice: Ramp | fwhm(ramp)\n"
      "correct: lowest\nreference: 2\nhint: h\n```\n";
  LessonSession s(parsed(point("", lowest)), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  const Question& q = s.lesson().steps[0].question;
  EXPECT_EQ(s.check(q, "2").result, Verdict::Right);
  EXPECT_EQ(s.check(q, "1").result, Verdict::Wrong);
  EXPECT_EQ(s.check(q, "3").result, Verdict::Unreadable);
  EXPECT_EQ(s.check(q, "0").result, Verdict::Unreadable);
  // "true": exactly one choice must hold.
  const std::string both =
      "```question\nask: a\nanswer: choice\nchoice: A | fwhm(hann) > 0\nchoice: B | fwhm(ramp) > 0\n"
      "correct: true\nreference: 1\nhint: h\n```\n";
  LessonSession t(parsed(point("", both)), {});
  ASSERT_TRUE(t.runThrough(0, error)) << error;
  EXPECT_EQ(t.check(t.lesson().steps[0].question, "1").result, Verdict::Unmeasurable);
}

TEST(LessonRun, CheckFailsNamingTheStep) {
  // The reference is refused.
  CheckResult r = checkLesson(parsed(point("", numberQuestion("peak-bin(0, 32)", "1", "50"))), {});
  EXPECT_FALSE(r.ok);
  ASSERT_FALSE(r.log.empty());
  EXPECT_NE(r.log[0].find("step 1 \"Point\""), std::string::npos) << r.log[0];
  EXPECT_NE(r.log[0].find("reference answer 50 is refused"), std::string::npos) << r.log[0];
  // A wrong answer accepted: the tolerance takes in everything it offers.
  const std::string loose = "```question\nask: a\nanswer: number\nmeasure: peak-bin(0, 32)\ntolerance: 100\n"
                            "reference: 42\nwrong: 50\nhint: h\n```\n";
  r = checkLesson(parsed(point("", loose)), {});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.log[0].find("wrong answer 50 is accepted"), std::string::npos) << r.log[0];
  // And a sound one passes.
  r = checkLesson(parsed(point("", numberQuestion("peak-bin(0, 32)", "1", "42"))), {});
  EXPECT_TRUE(r.ok) << r.log[0];
}

TEST(LessonRun, AFailedActionKeepsWhatWasThere) {
  const std::string text = point("", "") +
                           "## Next\n```action\nopen: sample\nenergy-window: 3\n```\n";
  LessonSession s(parsed(text), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  const sinora::StudyPtr before = s.study();
  EXPECT_FALSE(s.runThrough(1, error));
  EXPECT_NE(error.find("エネルギーウィンドウ 3"), std::string::npos) << error;
  EXPECT_EQ(s.study(), before);
  EXPECT_EQ(measured(s, "peak-bin(0, 32)"), 42);
}

TEST(LessonRun, ALessonOnTheSharedDataIsSkippedWithoutIt) {
  const Lesson l = parsed("---\nid: d\nlang: en\ntitle: D\n---\n## S\n```action\nopen: data:nothing/here.dcm\n```\n");
  EXPECT_TRUE(needsData(l));
  const CheckResult r = checkLesson(l, {});
  EXPECT_TRUE(r.skipped);
  ASSERT_FALSE(r.log.empty());
  EXPECT_NE(r.log[0].find("data folder"), std::string::npos);
  // With a folder that lacks the file, the action fails with the reader's reason.
  RunContext c;
  c.dataFolder = "/nonexistent-folder";
  const CheckResult f = checkLesson(l, c);
  EXPECT_FALSE(f.ok);
}

// A teacher writes a lesson from docs/lessons.md alone: its example must load and pass.
TEST(LessonRun, TheDocumentsExampleLoadsAndChecks) {
  std::ifstream in(std::string(SINORA_DOCS) + "/lessons.md");
  ASSERT_TRUE(in) << "docs/lessons.md";
  std::stringstream all;
  all << in.rdbuf();
  const std::string doc = all.str();
  const std::string open = "````markdown\n", close = "\n````";
  const std::size_t a = doc.find(open);
  ASSERT_NE(a, std::string::npos);
  const std::size_t b = doc.find(close, a + open.size());
  ASSERT_NE(b, std::string::npos);
  const std::string example = doc.substr(a + open.size(), b - a - open.size() + 1);
  const ParseResult p = parseLesson(example, "example.en.md");
  ASSERT_TRUE(p.ok) << p.message;
  EXPECT_GE(p.lesson.steps.size(), 3u);
  int questions = 0;
  for (const Step& s : p.lesson.steps) questions += s.hasQuestion;
  EXPECT_GE(questions, 2);
  const CheckResult r = checkLesson(p.lesson, {});
  for (const std::string& line : r.log) SCOPED_TRACE(line);
  EXPECT_TRUE(r.ok);
  EXPECT_FALSE(r.skipped);
}
