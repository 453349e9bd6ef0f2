// The lesson reader: what a teacher may write, and every way a file is refused with its line.
#include <gtest/gtest.h>

#include <string>

#include "lessons/lesson.h"

using namespace sinora::lessons;

namespace {

const char* kHeader = "---\nid: t\nlang: en\ntitle: T\n---\n";

std::string lesson(const std::string& body) { return std::string(kHeader) + body; }

const char* kGood = R"(---
id: good
lang: ja
title: Good
goal: one
goal: two
order: 5
---

Intro.

## First

Text with ![a picture](pic.png).

```action
phantom: point
point: 20, 0, 0
views: 60
counts: 1e6
noise-free: yes
```

```action
reconstruct: ramp
filter: ramp
row: 64
```

```question
ask: How wide?
answer: number
measure: fwhm(ramp) * 2
tolerance: 10%
reference: 2.1
unit: pixels
hint: Look.
```

## Second

```text
kept as text
```

```question
ask: Which?
answer: choice
choice: Ramp | fwhm(ramp)
choice: Twice | 2 * fwhm(ramp)
correct: lowest
reference: 1
wrong: 2
hint: h
```
)";

}  // namespace

TEST(LessonParse, AGoodLessonReadsWhole) {
  std::string asked;
  const ParseResult r = parseLesson(kGood, "good.md", [&](const std::string& p) { asked = p; return true; });
  ASSERT_TRUE(r.ok) << r.message;
  const Lesson& l = r.lesson;
  EXPECT_EQ(l.id, "good");
  EXPECT_EQ(l.lang, "ja");
  EXPECT_EQ(l.order, 5);
  EXPECT_EQ(l.goals.size(), 2u);
  EXPECT_NE(l.introduction.find("Intro."), std::string::npos);
  ASSERT_EQ(l.steps.size(), 2u);
  EXPECT_EQ(l.steps[0].title, "First");
  EXPECT_EQ(l.steps[0].line, 12);
  EXPECT_EQ(asked, "pic.png");
  ASSERT_EQ(l.steps[0].actions.size(), 2u);
  EXPECT_EQ(l.steps[0].actions[0].kind, ActionKind::Phantom);
  EXPECT_EQ(l.steps[0].actions[1].name, "ramp");
  const Question& q = l.steps[0].question;
  EXPECT_EQ(q.kind, Question::Number);
  EXPECT_TRUE(q.relative);
  EXPECT_DOUBLE_EQ(q.tolerance, 10);
  EXPECT_DOUBLE_EQ(q.reference, 2.1);
  EXPECT_EQ(q.expr.kind, Expr::Mul);
  // Other fenced blocks stay in the text; action and question blocks do not.
  EXPECT_NE(l.steps[1].text.find("kept as text"), std::string::npos);
  EXPECT_EQ(l.steps[0].text.find("phantom:"), std::string::npos);
  EXPECT_EQ(l.steps[1].question.choices.size(), 2u);
  EXPECT_TRUE(l.steps[1].question.hasWrong);
}

struct Bad {
  const char* name;
  std::string text;
  int line;
  const char* reason;  // a part of the reason
};

class LessonRefused : public ::testing::TestWithParam<Bad> {};

TEST_P(LessonRefused, NamesTheFileAndLine) {
  const Bad& b = GetParam();
  const ParseResult r = parseLesson(b.text, "bad.md", [](const std::string& p) { return p != "missing.png" && p != "nothere.hs"; });
  ASSERT_FALSE(r.ok) << b.name;
  EXPECT_EQ(r.line, b.line) << b.name << ": " << r.message;
  EXPECT_NE(r.reason.find(b.reason), std::string::npos) << b.name << ": " << r.reason;
  EXPECT_EQ(r.message.rfind("bad.md", 0), 0u) << r.message;
  if (b.line > 0) EXPECT_NE(r.message.find(std::to_string(b.line) + " 行目"), std::string::npos) << r.message;
  EXPECT_TRUE(r.lesson.steps.empty());
}

const std::string kPhantom = "## S\n```action\nphantom: point\ncounts: 1e6\n```\n";

INSTANTIATE_TEST_SUITE_P(
    Table, LessonRefused,
    ::testing::Values(
        Bad{"empty", "", 1, "---"},
        Bad{"no header end", "---\nid: a\n", 1, "---"},
        Bad{"unknown header key", "---\nid: a\nlang: en\ntitle: T\ncolour: red\n---\n## S\n", 5, "colour"},
        Bad{"bad language", "---\nid: a\nlang: fr\ntitle: T\n---\n## S\n", 3, "lang"},
        Bad{"missing title", "---\nid: a\nlang: en\n---\n## S\n", 4, "title"},
        Bad{"no steps", lesson("just text\n"), 6, "##"},
        Bad{"empty step title", lesson("## \n"), 6, "見出し"},
        Bad{"unclosed fence", lesson("## S\n```action\nphantom: point\n"), 7, "```"},
        Bad{"action before any step", lesson("```action\nopen: sample\n```\n## S\n"), 6, "##"},
        Bad{"unknown action", lesson("## S\n```action\nexplode: now\n```\n"), 8, "explode"},
        Bad{"unknown phantom", lesson("## S\n```action\nphantom: dragon\n```\n"), 8, "dragon"},
        Bad{"unknown phantom key", lesson("## S\n```action\nphantom: point\nsparkle: 3\n```\n"), 9, "sparkle"},
        Bad{"impossible views", lesson("## S\n```action\nphantom: point\ncounts: 1e6\nviews: 2\n```\n"), 10, ""},
        Bad{"impossible matrix", lesson("## S\n```action\nphantom: cylinder\nmatrix: 100\n```\n"), 9, ""},
        Bad{"unreadable number", lesson("## S\n```action\nphantom: point\nviews: many\n```\n"), 9, "views"},
        Bad{"unknown window", lesson(kPhantom + "```action\nwindow: kitchen\n```\n"), 12, "kitchen"},
        Bad{"unknown filter", lesson(kPhantom + "```action\nreconstruct: r\nfilter: magic\n```\n"), 13, "magic"},
        Bad{"bad cut-off", lesson(kPhantom + "```action\nreconstruct: r\nfilter: hann\ncutoff: 0.9\n```\n"), 14, ""},
        Bad{"subsets not dividing", lesson(kPhantom + "```action\nreconstruct: r\nmethod: osem\nsubsets: 7\n```\n"), 14, "7"},
        Bad{"row outside", lesson(kPhantom + "```action\nreconstruct: r\nrow: 300\n```\n"), 13, "300"},
        Bad{"reconstruct before a study", lesson("## S\n```action\nreconstruct: r\n```\n"), 8, "ファントム"},
        Bad{"unknown measurement", lesson(kPhantom + "```action\nreconstruct: r\n```\n```question\nask: a\nanswer: number\nmeasure: sharpness(r)\ntolerance: 1\nreference: 1\nhint: h\n```\n"), 17, "sharpness"},
        Bad{"undefined reconstruction", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: fwhm(nothing)\ntolerance: 1\nreference: 1\nhint: h\n```\n"), 14, "nothing"},
        Bad{"only a typed number", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: 2 + 3\ntolerance: 1\nreference: 5\nhint: h\n```\n"), 14, "測定"},
        Bad{"truth of a real study", lesson("## S\n```action\nopen: sample\n```\n```action\nreconstruct: r\n```\n```question\nask: a\nanswer: number\nmeasure: rmse(r)\ntolerance: 1\nreference: 1\nhint: h\n```\n"), 16, "真の分布"},
        Bad{"no tolerance", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: counts\nreference: 1\nhint: h\n```\n"), 11, "tolerance"},
        Bad{"zero tolerance", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: counts\ntolerance: 0\nreference: 1\nhint: h\n```\n"), 15, "tolerance"},
        Bad{"no hint", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: counts\ntolerance: 1\nreference: 1\n```\n"), 11, "hint"},
        Bad{"one choice", lesson(kPhantom + "```question\nask: a\nanswer: choice\nchoice: A | counts\ncorrect: lowest\nreference: 1\nhint: h\n```\n"), 11, "二つ"},
        Bad{"choice reference outside", lesson(kPhantom + "```question\nask: a\nanswer: choice\nchoice: A | counts\nchoice: B | views\ncorrect: lowest\nreference: 3\nhint: h\n```\n"), 17, "reference"},
        Bad{"two questions", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: counts\ntolerance: 1\nreference: 1\nhint: h\n```\n```question\nask: b\n```\n"), 19, "一つ"},
        Bad{"bad expression", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: counts * (views\ntolerance: 1\nreference: 1\nhint: h\n```\n"), 14, "括弧"},
        Bad{"wrong argument count", lesson(kPhantom + "```question\nask: a\nanswer: number\nmeasure: peak-bin(1)\ntolerance: 1\nreference: 1\nhint: h\n```\n"), 14, "peak-bin"},
        Bad{"missing study", lesson("## S\n```action\nopen: nothere.hs\n```\n"), 8, "nothere.hs"},
        Bad{"missing picture", lesson("## S\n![x](missing.png)\n"), 7, "missing.png"},
        Bad{"picture outside the folder", lesson("## S\n![x](../../etc/passwd)\n"), 7, "passwd"},
        Bad{"study outside the folder", lesson("## S\n```action\nopen: /etc/passwd\n```\n"), 8, "passwd"},
        Bad{"not UTF-8", lesson("## S\nbad \xff byte\n"), 7, "UTF-8"},
        Bad{"binary", std::string("---\0", 4), 0, "テキスト"},
        Bad{"huge", std::string(kMaxLessonBytes + 1, 'a'), 0, "大きすぎ"},
        Bad{"long line", lesson("## S\n" + std::string(kMaxLineBytes + 1, 'x') + "\n"), 7, "長すぎ"}),
    [](const ::testing::TestParamInfo<Bad>& info) {
      std::string n = info.param.name;
      for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return n;
    });

// The keys for scatter, the collimator, resolution recovery and mu maps: what each refuses.
const std::string kWater = "## S\n```action\nphantom: jaszczak\nmatrix: 64\npixel: 4\nviews: 32\nmu: 0.15\nscatter: yes\n```\n";
std::string recon(const std::string& keys) { return lesson(kWater + "```action\nreconstruct: r\n" + keys + "```\n"); }
std::string phantomWith(const std::string& kind, const std::string& key) {
  return lesson("## S\n```action\nphantom: " + kind + "\n" + key + "\n```\n");
}

INSTANTIATE_TEST_SUITE_P(
    Physics, LessonRefused,
    ::testing::Values(
        Bad{"scatter not yes or no", phantomWith("jaszczak", "scatter: maybe"), 9, "scatter"},
        Bad{"unknown collimator", phantomWith("jaszczak", "collimator: hexr"), 9, "collimator"},
        Bad{"two windows", phantomWith("jaszczak", "windows: 20, 7"), 9, "windows"},
        Bad{"photopeak window too wide", phantomWith("jaszczak", "windows: 80, 7, 7"), 9, ""},
        Bad{"energy resolution out of range", phantomWith("jaszczak", "energy-resolution: 50"), 9, ""},
        Bad{"spheres of a cylinder", phantomWith("cylinder", "spheres: 4"), 9, "spheres"},
        Bad{"negative spheres", phantomWith("jaszczak", "spheres: -1"), 9, "spheres"},
        Bad{"unknown scatter method", recon("scatter: triple\n"), 17, "scatter"},
        Bad{"scatter of a backprojection", recon("method: backprojection\nscatter: tew\n"), 18, "散乱補正"},
        Bad{"dew k of zero", recon("scatter: dew\ndew-k: 0\n"), 18, "dew-k"},
        Bad{"psf with fbp", recon("psf: lehr\n"), 17, "psf"},
        Bad{"unknown psf", recon("method: osem\npsf: wide\n"), 18, "psf"},
        Bad{"mu map not the phantom's", recon("method: osem\nattenuated: yes\nmu-map: ct\n"), 19, "mu-map"},
        Bad{"mu map without correction", recon("method: osem\nmu-map: phantom\n"), 18, "mu-map"},
        Bad{"mu map and mu", recon("chang: first\nmu: 0.12\nmu-map: phantom\n"), 18, "mu-map"},
        Bad{"mu map of a phantom without attenuation",
            lesson("## S\n```action\nphantom: thorax\nmatrix: 64\npixel: 6\n```\n```action\nreconstruct: r\nchang: first\nmu-map: phantom\n```\n"), 15, "mu-map"},
        Bad{"mu shift of two numbers", recon("chang: first\nmu-map: phantom\nmu-shift: 10, 0\n"), 19, "mu-shift"},
        Bad{"mu shift too far", recon("chang: first\nmu-map: phantom\nmu-shift: 0, 0, 60\n"), 19, "50"},
        Bad{"mu shift without a map", recon("chang: first\nmu-shift: 10, 0, 0\n"), 18, "mu-map"},
        Bad{"a mu map in a window action", lesson(kWater + "```action\nwindow: iterative\nmu-map: phantom\n```\n"), 17, "mu-map"},
        Bad{"unknown scatter in a window action", lesson(kWater + "```action\nwindow: iterative\nscatter: all\n```\n"), 17, "scatter"},
        Bad{"sphere contrast without its sphere", lesson(kWater + "```action\nreconstruct: r\n```\n```question\nask: a\nanswer: number\nmeasure: sphere-contrast(r)\ntolerance: 1\nreference: 1\nhint: h\n```\n"), 21, "sphere-contrast"},
        Bad{"heart of a real study", lesson("## S\n```action\nopen: sample\n```\n```action\nreconstruct: r\n```\n```question\nask: a\nanswer: number\nmeasure: heart-rmse(r)\ntolerance: 1\nreference: 1\nhint: h\n```\n"), 16, "真の分布"}),
    [](const ::testing::TestParamInfo<Bad>& info) {
      std::string n = info.param.name;
      for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return n;
    });

TEST(LessonParse, ThePhysicsKeysReadWhole) {
  const ParseResult r = parseLesson(lesson(R"(## S
```action
phantom: thorax
matrix: 64
pixel: 6
views: 30
mu: 0.15
scatter: yes
collimator: 3.5, 1.5, 0.045
windows: 15, 5, 5
energy-resolution: 10
```
```action
reconstruct: a
method: osem
subsets: 5
attenuated: yes
mu-map: phantom
mu-shift: -10, 2.5, 0
scatter: tew
scatter-smooth: 2
psf: phantom
```
```action
reconstruct: b
chang: first
mu-map: phantom
scatter: dew
dew-k: 0.6
```
```question
ask: a
answer: choice
choice: A | heart-rmse(a) + wall-ratio(a) + estimated-scatter-fraction(a)
choice: B | scatter-fraction(1) + estimated-scatter-fraction(b)
correct: lowest
reference: 1
hint: h
```
)"), "good.md");
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(r.lesson.steps[0].actions.size(), 3u);
  EXPECT_EQ(r.lesson.steps[0].actions[1].find("mu-shift")->value, "-10, 2.5, 0");
  EXPECT_EQ(r.lesson.steps[0].question.choices.size(), 2u);
  const ParseResult spheres = parseLesson(phantomWith("jaszczak", "spheres: 4"), "s.md");
  EXPECT_TRUE(spheres.ok) << spheres.message;
}

TEST(LessonParse, TooManyStepsAreRefusedAtTheFirstOneOver) {
  std::string body;
  for (int k = 0; k <= kMaxSteps; ++k) body += "## S" + std::to_string(k) + "\n";
  const ParseResult r = parseLesson(lesson(body), "many.md");
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.line, 6 + kMaxSteps);
}

TEST(LessonParse, WindowsLineEndingsRead) {
  std::string text = kGood;
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const ParseResult r = parseLesson(crlf, "crlf.md", [](const std::string&) { return true; });
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.lesson.steps[0].line, 12);
}

TEST(LessonParse, ExpressionsFollowPrecedence) {
  std::string error;
  const Expr e = parseExpression("1 + 2 * 3 - -4 / 2", error);
  ASSERT_TRUE(error.empty()) << error;
  // ((1 + (2 * 3)) - ((-4) / 2))
  ASSERT_EQ(e.kind, Expr::Sub);
  EXPECT_EQ(e.operands[0].kind, Expr::Add);
  EXPECT_EQ(e.operands[0].operands[1].kind, Expr::Mul);
  EXPECT_EQ(e.operands[1].kind, Expr::Div);
  EXPECT_EQ(e.operands[1].operands[0].kind, Expr::Neg);
  const Expr c = parseExpression("fwhm-mm(a) < peak-bin(0, 64)", error);
  ASSERT_TRUE(error.empty()) << error;
  ASSERT_EQ(c.kind, Expr::Less);
  EXPECT_EQ(c.operands[0].function, "fwhm-mm");
  EXPECT_EQ(c.operands[1].args, (std::vector<std::string>{"0", "64"}));
  const std::string deep(200, '(');
  for (const std::string& bad : {std::string(), std::string("("), std::string("fwhm("), std::string("1 +"),
                                 std::string("2 3"), std::string("fwhm()"), std::string("a $ b"), deep}) {
    parseExpression(bad, error);
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(LessonParse, StudentsNumbersReadAsTyped) {
  const struct {
    const char* typed;
    bool ok;
    double value;
  } cases[] = {{"84", true, 84},           {" 0.65 ", true, 0.65},  {"0,65", true, 0.65},
               {"８４", true, 84},          {"１．５", true, 1.5},    {"−2", true, -2},
               {"1e3", true, 1000},         {"", false, 0},          {"abc", false, 0},
               {"1,000,000", false, 0},     {"nan", false, 0},       {"inf", false, 0},
               {"12 pixels", false, 0}};
  for (const auto& c : cases) {
    double v = -99;
    EXPECT_EQ(readAnswerNumber(c.typed, v), c.ok) << c.typed;
    if (c.ok) EXPECT_DOUBLE_EQ(v, c.value) << c.typed;
  }
}
