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

namespace {

// A noise-free water Jaszczak with scatter and LEHR, its spheres cold or 4 : 1 hot, reconstructed
// in the spheres' slice (z = 50 mm: row 45 of 4 mm pixels) by attenuated OSEM.
std::string jaszczak(const std::string& spheres, const std::string& recons) {
  return "---\nid: j\nlang: en\ntitle: J\n---\n## S\n```action\nphantom: jaszczak\nviews: 32\nmatrix: 64\n"
         "pixel: 4\ncounts: 2e7\nnoise-free: yes\nmu: 0.154\nscatter: yes\ncollimator: lehr\nradius: 220\n" +
         spheres + "```\n" + recons;
}
std::string osem(const std::string& name, const std::string& keys) {
  return "```action\nreconstruct: " + name + "\nmethod: osem\nsubsets: 4\nattenuated: yes\nmu: 0.154\nrow: 45\n" + keys + "```\n";
}

double unmeasurable(LessonSession& s, const std::string& expr) {
  std::string error;
  const Expr e = parseExpression(expr, error);
  const double v = s.measure(e, error);
  EXPECT_FALSE(error.empty()) << expr << " gave " << v;
  return v;
}

}  // namespace

// The scatter fraction is the lab's truth; the estimate is TEW's; scatter fills the cold spheres
// and TEW takes it out; the spheres are numbered by size.
TEST(LessonRun, ScatterIsMeasuredAgainstTheLabsTruth) {
  LessonSession s(parsed(jaszczak("", osem("none", "") + osem("tew", "scatter: tew\n") + osem("dew", "scatter: dew\n"))), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  const double sf = measured(s, "scatter-fraction(1)");
  EXPECT_GT(sf, 0.15);  // about a fifth for 99mTc in 20 % (docs/physics.md)
  EXPECT_LT(sf, 0.35);
  EXPECT_GT(measured(s, "scatter-fraction(2)"), 0.85);  // the lower window is almost all scatter
  EXPECT_LT(measured(s, "scatter-fraction(3)"), 0.2);
  EXPECT_NEAR(measured(s, "estimated-scatter-fraction(tew)") / sf, 1, 0.25);
  // DEW with k = 0.5 from a lower window of 7 %: less than the lower window's share of the peak.
  EXPECT_GT(measured(s, "estimated-scatter-fraction(dew)"), 0);
  unmeasurable(s, "estimated-scatter-fraction(none)");
  unmeasurable(s, "scatter-fraction(4)");
  // The largest sphere is the phantom's feature; smaller spheres lose more to the blur.
  EXPECT_DOUBLE_EQ(measured(s, "sphere-contrast(none, 6)"), measured(s, "contrast(none)"));
  EXPECT_LT(measured(s, "sphere-contrast(none, 1)"), measured(s, "sphere-contrast(none, 6)"));
  const double before = measured(s, "contrast(none)"), after = measured(s, "contrast(tew)");
  EXPECT_GT(after, before + 0.05);
  EXPECT_LT(after, 1);
  unmeasurable(s, "sphere-contrast(none, 7)");
  unmeasurable(s, "wall-ratio(none)");  // no heart in a Jaszczak
}

TEST(LessonRun, ScatterNeedsAPhantomAcquiredWithIt) {
  LessonSession s(parsed(point("", "```action\nreconstruct: t\nscatter: tew\n```\n")), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  unmeasurable(s, "scatter-fraction(1)");
  // A point in air scatters nothing: TEW finds (almost) nothing.
  EXPECT_LT(measured(s, "estimated-scatter-fraction(t)"), 0.05);
  unmeasurable(s, "sphere-contrast(t, 1)");
}

TEST(LessonRun, HotSpheresComeBackWithResolutionRecovery) {
  // 60 views, 10 subsets x 40 iterations: resolution recovery needs its iterations.
  std::string text = jaszczak("spheres: 4\n", osem("tew", "iterations: 40\nscatter: tew\n") +
                                                 osem("rr", "iterations: 40\nscatter: tew\npsf: phantom\n") +
                                                 osem("rr-lehr", "iterations: 40\nscatter: tew\npsf: lehr\n"));
  text.replace(text.find("views: 32"), 9, "views: 60");
  for (std::size_t at; (at = text.find("subsets: 4\n")) != std::string::npos;) text.replace(at, 11, "subsets: 10\n");
  LessonSession s(parsed(text), {});
  std::string error;
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  const double tew = measured(s, "sphere-contrast(tew, 2)"), rr = measured(s, "sphere-contrast(rr, 2)");
  EXPECT_GT(tew, 0.2);  // hot: the contrast is positive (a share of the truth's 4 : 1)
  EXPECT_GT(rr, 1.2 * tew);
  // The phantom was acquired with LEHR: "phantom" and "lehr" are the same collimator.
  EXPECT_DOUBLE_EQ(measured(s, "sphere-contrast(rr, 2)"), measured(s, "sphere-contrast(rr-lehr, 2)"));
}

// The thorax: the inferior wall low without correction, high with uniform Chang, level with the
// map; the ring round the heart has less error with the map, more when the map is moved.
TEST(LessonRun, TheThoraxWallsAndTheErrorNextToTheLungs) {
  const std::string t = R"(---
id: t
lang: en
title: T
---
## S
```action
phantom: thorax
views: 60
matrix: 128
pixel: 3
counts: 2e7
noise-free: yes
MU
```
)";
  auto thorax = [&](const std::string& mu, const std::string& recons) {
    std::string text = t;
    text.replace(text.find("MU"), 2, mu);
    return parsed(text + recons);
  };
  const std::string osemKeys = "method: osem\nsubsets: 10\n";
  LessonSession clear(thorax("mu: 0", "```action\nreconstruct: o\n" + osemKeys + "row: 68\n```\n"), {});
  std::string error;
  ASSERT_TRUE(clear.runThrough(0, error)) << error;
  EXPECT_NEAR(measured(clear, "wall-ratio(o)"), 1, 0.05);  // without attenuation the walls are level
  unmeasurable(clear, "scatter-fraction(1)");
  LessonSession s(thorax("mu: 0.15", "```action\nreconstruct: plain\nrow: 68\n```\n"
                                     "```action\nreconstruct: chang\nchang: first\nmu: 0.15\nrow: 68\n```\n"
                                     "```action\nreconstruct: map\n" + osemKeys + "attenuated: yes\nmu-map: phantom\nrow: 68\n```\n"
                                     "```action\nreconstruct: chang-mid\nchang: first\nmu: 0.15\n```\n"
                                     "```action\nreconstruct: map-mid\n" + osemKeys + "attenuated: yes\nmu-map: phantom\n```\n"
                                     "```action\nreconstruct: none-shift\n" + osemKeys + "attenuated: yes\nmu-map: phantom\nmu-shift: 0, 0, 0\n```\n"
                                     "```action\nreconstruct: x\n" + osemKeys + "attenuated: yes\nmu-map: phantom\nmu-shift: 10, 0, 0\n```\n"
                                     "```action\nreconstruct: y\n" + osemKeys + "attenuated: yes\nmu-map: phantom\nmu-shift: 0, 10, 0\n```\n"
                                     "```action\nreconstruct: z\n" + osemKeys + "attenuated: yes\nmu-map: phantom\nmu-shift: 0, 0, 10\n```\n"
                                     "```action\nreconstruct: z68\n" + osemKeys + "attenuated: yes\nmu-map: phantom\nmu-shift: 0, 0, 10\nrow: 68\n```\n"),
                  {});
  ASSERT_TRUE(s.runThrough(0, error)) << error;
  EXPECT_LT(measured(s, "wall-ratio(plain)"), 0.9);
  EXPECT_GT(measured(s, "wall-ratio(chang)"), 1.1);
  EXPECT_NEAR(measured(s, "wall-ratio(map)"), 1, 0.05);
  const double map = measured(s, "heart-rmse(map-mid)");
  EXPECT_LT(map, 0.8 * measured(s, "heart-rmse(chang-mid)"));
  EXPECT_DOUBLE_EQ(measured(s, "heart-rmse(none-shift)"), map);
  // A map moved across the screen or down it is worse, across most (the lungs lie beside the
  // heart). The rows about the heart's centre are alike (the lungs run on above it), so a map
  // moved down the rows changes nothing there, but does at the lungs' bases beside the inferior wall.
  EXPECT_GT(measured(s, "heart-rmse(y)"), map + 1);
  EXPECT_GT(measured(s, "heart-rmse(x)"), map + 4);
  EXPECT_DOUBLE_EQ(measured(s, "heart-rmse(z)"), map);
  EXPECT_GT(std::fabs(measured(s, "wall-ratio(z68)") - measured(s, "wall-ratio(map)")), 0.02);
  unmeasurable(s, "sphere-contrast(map, 1)");
}
