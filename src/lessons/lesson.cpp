#include "lessons/lesson.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "imaging/collimator.h"
#include "imaging/filter_analysis.h"
#include "imaging/mu_map.h"
#include "imaging/phantom.h"
#include "imaging/scatter.h"
#include "imaging/text.h"

namespace sinora::lessons {

const Field* Action::find(const std::string& key) const {
  for (const Field& f : fields)
    if (f.key == key) return &f;
  return nullptr;
}

const std::vector<MeasureInfo>& measurements() {
  static const std::vector<MeasureInfo> list = {
      {"fwhm", "R", false},        {"fwhm-mm", "R", false},  {"rmse", "R", true},
      {"iteration-rmse", "RN", true}, {"contrast", "R", true}, {"cupping", "R", true},
      {"noise", "R", false},       {"max", "R", false},      {"min", "R", false},
      {"mean", "R", false},        {"counts", "", false},    {"views", "", false},
      {"bins", "", false},         {"rows", "", false},      {"pixel-mm", "", false},
      {"arc", "", false},          {"angle", "N", false},    {"peak-bin", "NN", false},
      {"cor-offset", "N", false},  {"energy-windows", "", false}, {"window-low", "N", false},
      {"window-high", "N", false}, {"window-counts", "N", false},
      {"scatter-fraction", "N", true}, {"estimated-scatter-fraction", "R", false},
      {"sphere-contrast", "RN", true}, {"wall-ratio", "R", true}, {"heart-rmse", "R", true},
  };
  return list;
}

const std::vector<std::string>& windowNames() {
  static const std::vector<std::string> names = {"iterative", "filter", "phantom",
                                                 "reconstruction", "point-source", "comparison"};
  return names;
}

namespace {

std::string trim(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return s.substr(a, b - a);
}

bool validUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int n = 0;
    if (c < 0x80) n = 0;
    else if (c >= 0xC2 && c <= 0xDF) n = 1;
    else if ((c & 0xF0) == 0xE0) n = 2;
    else if (c >= 0xF0 && c <= 0xF4) n = 3;
    else return false;
    if (i + std::size_t(n) >= s.size() && n > 0) return false;
    for (int k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + std::size_t(k)]) >> 6) != 2) return false;
    i += std::size_t(n) + 1;
  }
  return true;
}

bool readReal(const std::string& text, double& out) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool readInt(const std::string& text, long lo, long hi, int& out) {
  double v = 0;
  if (!readReal(text, v) || v != std::floor(v) || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

bool readYes(const std::string& text, bool& out) {
  const std::string t = trim(text);
  if (t == "yes" || t == "on" || t == "true") return out = true, true;
  if (t == "no" || t == "off" || t == "false") return out = false, true;
  return false;
}

// "a, b, c": three numbers.
bool readTriple(const std::string& v, double out[3]) {
  std::size_t at = 0;
  for (int k = 0; k < 3; ++k) {
    const std::size_t comma = v.find(',', at);
    if ((k < 2) != (comma != std::string::npos)) return false;
    if (!readReal(v.substr(at, k < 2 ? comma - at : std::string::npos), out[k])) return false;
    at = comma + 1;
  }
  return true;
}

bool isName(const std::string& s) {
  if (s.empty() || s.size() > 40 || !std::islower(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) ||
          c == '-' || c == '_'))
      return false;
  return true;
}

// The expression reader: sums, products, comparisons, calls and numbers.
struct ExprReader {
  explicit ExprReader(const std::string& text) : s(text) {}
  const std::string& s;
  std::size_t at = 0;
  std::string error;
  int depth = 0;

  void space() {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\t')) ++at;
  }
  bool eat(char c) {
    space();
    if (at < s.size() && s[at] == c) return ++at, true;
    return false;
  }
  Expr fail(const std::string& why) {
    if (error.empty()) error = why;
    return Expr{};
  }
  Expr comparison() {
    Expr left = sum();
    space();
    if (at < s.size() && (s[at] == '<' || s[at] == '>')) {
      Expr e;
      e.kind = s[at] == '<' ? Expr::Less : Expr::Greater;
      ++at;
      e.operands = {left, sum()};
      return e;
    }
    return left;
  }
  Expr sum() {
    Expr left = product();
    for (;;) {
      space();
      if (!error.empty() || at >= s.size() || (s[at] != '+' && s[at] != '-')) return left;
      Expr e;
      e.kind = s[at] == '+' ? Expr::Add : Expr::Sub;
      ++at;
      e.operands = {left, product()};
      left = e;
    }
  }
  Expr product() {
    Expr left = unary();
    for (;;) {
      space();
      if (!error.empty() || at >= s.size() || (s[at] != '*' && s[at] != '/')) return left;
      Expr e;
      e.kind = s[at] == '*' ? Expr::Mul : Expr::Div;
      ++at;
      e.operands = {left, unary()};
      left = e;
    }
  }
  Expr unary() {
    if (++depth > 20) return fail("式の入れ子が深すぎます");
    Expr e = primary();
    --depth;
    return e;
  }
  Expr primary() {
    space();
    if (at >= s.size()) return fail("式が途中で終わっています");
    const char c = s[at];
    if (c == '-') {
      ++at;
      Expr e;
      e.kind = Expr::Neg;
      e.operands = {unary()};
      return e;
    }
    if (c == '(') {
      ++at;
      Expr e = comparison();
      if (!eat(')')) return fail("閉じ括弧がありません");
      return e;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      std::size_t end = at;
      while (end < s.size() && (std::isdigit(static_cast<unsigned char>(s[end])) || s[end] == '.' ||
                                s[end] == 'e' || s[end] == 'E'))
        ++end;
      Expr e;
      if (!readReal(s.substr(at, end - at), e.number)) return fail("数が読めません");
      at = end;
      return e;
    }
    if (!std::islower(static_cast<unsigned char>(c))) return fail(fill("読めない文字があります: %1", {std::string(1, c)}));
    std::size_t end = at;
    while (end < s.size() && (std::islower(static_cast<unsigned char>(s[end])) ||
                              std::isdigit(static_cast<unsigned char>(s[end])) ||
                              (s[end] == '-' && end + 1 < s.size() &&
                               std::islower(static_cast<unsigned char>(s[end + 1])))))
      ++end;
    Expr e;
    e.kind = Expr::Call;
    e.function = s.substr(at, end - at);
    at = end;
    if (eat('(')) {
      for (;;) {
        space();
        std::size_t a = at;
        while (at < s.size() && s[at] != ',' && s[at] != ')') ++at;
        const std::string arg = trim(s.substr(a, at - a));
        if (arg.empty()) return fail("測定の引数が空です");
        e.args.push_back(arg);
        if (eat(')')) break;
        if (!eat(',')) return fail("閉じ括弧がありません");
      }
    }
    return e;
  }
};

bool hasCall(const Expr& e) {
  if (e.kind == Expr::Call) return true;
  for (const Expr& o : e.operands)
    if (hasCall(o)) return true;
  return false;
}

// What the parse knows of the study an action leaves: its views and rows (0: unknown until run)
// and whether it is a phantom (whose truth RMSE and contrast need).
struct StudyShape {
  bool present = false, phantom = false;
  int views = 0, rows = 0;
  bool mu = false;  // a phantom acquired with attenuation (it has a mu map)
};

struct Failure {
  int line;
  std::string reason;
};

const std::set<std::string> kPhantomKeys = {"phantom", "views", "arc", "start", "matrix", "pixel",
                                            "counts", "noise-free", "fwhm", "radius", "cor", "mu",
                                            "point", "seed", "isotope", "direction", "scatter",
                                            "collimator", "windows", "energy-resolution", "spheres"};
// What the iterative window takes when a step opens it; a reconstruction takes more.
const std::set<std::string> kWindowKeys = {"window", "method", "filter", "cutoff", "order",
                                           "subsets", "iterations", "post-filter", "chang",
                                           "attenuated", "mu", "row", "prefilter", "scatter", "psf"};
const std::set<std::string> kReconKeys = {"reconstruct", "method", "filter", "cutoff", "order",
                                          "subsets", "iterations", "post-filter", "chang",
                                          "attenuated", "mu", "row", "prefilter", "scatter",
                                          "scatter-smooth", "dew-k", "psf", "mu-map", "mu-shift"};
const std::set<std::string> kQuestionKeys = {"ask", "answer", "measure", "tolerance", "reference",
                                             "wrong", "unit", "hint", "explain", "choice", "correct"};

class Parser {
 public:
  Parser(const std::function<bool(const std::string&)>& pictures) : pictureExists_(pictures) {}

  void parse(const std::string& text, Lesson& lesson) {
    if (text.size() > kMaxLessonBytes)
      throw Failure{0, fill("大きすぎます (%1 バイトまで)", {std::to_string(kMaxLessonBytes)})};
    if (text.find('\0') != std::string::npos) throw Failure{0, "テキストファイルではありません"};
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() > std::size_t(kMaxLineBytes))
        throw Failure{int(lines.size()) + 1, fill("行が長すぎます (%1 バイトまで)", {std::to_string(kMaxLineBytes)})};
      if (!validUtf8(line)) throw Failure{int(lines.size()) + 1, "UTF-8 ではない文字があります"};
      lines.push_back(line);
      start = end + 1;
    }
    if (lines.size() > 1 && lines.back().empty() && !text.empty() && text.back() == '\n') lines.pop_back();
    std::size_t n = 0;
    // Front matter: "---" first, "key: value" lines, "---".
    if (lines.empty() || trim(lines[0]) != "---")
      throw Failure{1, "最初の行は見出し部を始める --- でなければなりません"};
    for (n = 1; n < lines.size() && trim(lines[n]) != "---"; ++n) {
      const std::string t = trim(lines[n]);
      if (t.empty() || t[0] == '#') continue;
      Field f;
      if (!splitField(t, int(n) + 1, f)) throw Failure{int(n) + 1, "「名前: 値」の形ではありません"};
      if (f.key == "id") {
        if (!isName(f.value)) throw Failure{f.line, "id は英小文字・数字・- で書きます"};
        lesson.id = f.value;
      } else if (f.key == "lang") {
        if (f.value != "ja" && f.value != "en") throw Failure{f.line, "lang は ja か en です"};
        lesson.lang = f.value;
      } else if (f.key == "title") {
        lesson.title = f.value;
      } else if (f.key == "goal") {
        lesson.goals.push_back(f.value);
      } else if (f.key == "order") {
        if (!readInt(f.value, 0, 10000, lesson.order)) throw Failure{f.line, "order は 0 から 10000 の整数です"};
      } else {
        throw Failure{f.line, fill("見出し部に知らない項目があります: %1", {f.key})};
      }
    }
    if (n >= lines.size()) throw Failure{1, "見出し部を閉じる --- がありません"};
    if (lesson.id.empty() || lesson.lang.empty() || lesson.title.empty())
      throw Failure{int(n) + 1, "見出し部には id, lang, title が要ります"};
    ++n;
    Step* step = nullptr;
    std::string* text_ = &lesson.introduction;
    for (; n < lines.size(); ++n) {
      const std::string& line = lines[n];
      const int lineNo = int(n) + 1;
      const std::string t = trim(line);
      if (line.rfind("## ", 0) == 0) {
        if (int(lesson.steps.size()) >= kMaxSteps)
          throw Failure{lineNo, fill("手順が多すぎます (%1 まで)", {std::to_string(kMaxSteps)})};
        lesson.steps.emplace_back();
        step = &lesson.steps.back();
        step->title = trim(line.substr(3));
        step->line = lineNo;
        if (step->title.empty()) throw Failure{lineNo, "手順の見出しが空です"};
        text_ = &step->text;
        continue;
      }
      if (t.rfind("```", 0) == 0) {
        const std::string info = trim(t.substr(3));
        const std::size_t open = n;
        std::vector<std::pair<std::string, int>> body;
        for (++n; n < lines.size() && trim(lines[n]) != "```"; ++n) body.push_back({lines[n], int(n) + 1});
        if (n >= lines.size()) throw Failure{int(open) + 1, "``` の囲みが閉じていません"};
        if (info == "action" || info == "question") {
          if (!step) throw Failure{int(open) + 1, "操作と問題は手順 (## 見出し) の中に書きます"};
          std::vector<Field> fields;
          for (const auto& [l, no] : body) {
            const std::string b = trim(l);
            if (b.empty() || b[0] == '#') continue;
            Field f;
            if (!splitField(b, no, f)) throw Failure{no, "「名前: 値」の形ではありません"};
            fields.push_back(f);
          }
          if (fields.empty()) throw Failure{int(open) + 1, "空の囲みです"};
          if (info == "action") {
            if (int(step->actions.size()) >= kMaxActionsPerStep)
              throw Failure{int(open) + 1, "一つの手順の操作が多すぎます"};
            if (step->hasQuestion) throw Failure{int(open) + 1, "操作は問題より前に書きます"};
            step->actions.push_back(action(fields, int(open) + 1));
          } else {
            if (step->hasQuestion) throw Failure{int(open) + 1, "一つの手順に問題は一つです"};
            step->question = question(fields, int(open) + 1);
            step->hasQuestion = true;
          }
          continue;
        }
        // Any other fenced block is text (code, formulas) and passes through.
        *text_ += lines[open] + "\n";
        for (const auto& [l, no] : body) *text_ += l + "\n";
        *text_ += lines[n] + "\n";
        continue;
      }
      pictures(line, lineNo, step);
      *text_ += line + "\n";
    }
    if (lesson.steps.empty()) throw Failure{int(lines.size()), "手順 (## 見出し) が一つもありません"};
  }

 private:
  std::function<bool(const std::string&)> pictureExists_;
  StudyShape study_;
  std::map<std::string, StudyShape> recons_;

  static bool splitField(const std::string& t, int line, Field& f) {
    const std::size_t colon = t.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    f.key = trim(t.substr(0, colon));
    f.value = trim(t.substr(colon + 1));
    f.line = line;
    for (char c : f.key)
      if (!(std::islower(static_cast<unsigned char>(c)) || c == '-')) return false;
    return true;
  }

  void pictures(const std::string& line, int lineNo, Step* step) {
    for (std::size_t at = line.find("!["); at != std::string::npos; at = line.find("![", at + 2)) {
      const std::size_t close = line.find("](", at);
      if (close == std::string::npos) continue;
      const std::size_t end = line.find(')', close);
      if (end == std::string::npos) continue;
      std::string path = trim(line.substr(close + 2, end - close - 2));
      const std::size_t space = path.find(' ');  // a title after the path
      if (space != std::string::npos) path = path.substr(0, space);
      if (path.find("..") != std::string::npos || (!path.empty() && path[0] == '/') ||
          path.find("://") != std::string::npos)
        throw Failure{lineNo, fill("絵はレッスンのフォルダの中のファイルで示します: %1", {path})};
      if (pictureExists_ && !pictureExists_(path)) throw Failure{lineNo, fill("絵がありません: %1", {path})};
      if (step) step->pictures.push_back(path);
    }
  }

  static void known(const Field& f, const std::set<std::string>& keys) {
    if (!keys.count(f.key)) throw Failure{f.line, fill("この囲みに知らない項目があります: %1", {f.key})};
  }

  Action action(const std::vector<Field>& fields, int line) {
    Action a;
    a.fields = fields;
    a.line = line;
    const Field& first = fields[0];
    a.name = first.value;
    std::set<std::string> seen;
    for (const Field& f : fields)
      if (!seen.insert(f.key).second) throw Failure{f.line, fill("項目が二度あります: %1", {f.key})};
    if (first.key == "phantom") {
      a.kind = ActionKind::Phantom;
      PhantomSettings s;
      if (!phantomFromKey(a.name, s.kind)) throw Failure{first.line, fill("知らないファントムです: %1", {a.name})};
      std::map<std::string, int> lineOf;
      for (const Field& f : fields) {
        known(f, kPhantomKeys);
        lineOf[f.key] = f.line;
        if (f.key != "phantom" && !phantomField(f, s)) throw Failure{f.line, fill("値が読めません: %1", {f.key})};
      }
      const std::vector<SettingProblem> problems = checkPhantom(s);
      if (!problems.empty()) {
        int at = first.line;
        // The lab's names of its settings, where a lesson's key differs.
        const std::string field = problems[0].field == "resolution" ? "energy-resolution" : problems[0].field;
        for (const auto& [key, l] : lineOf)
          if (key == field) at = l;
        throw Failure{at, problems[0].message};
      }
      if (const Field* f = a.find("spheres"); f && s.kind != PhantomKind::Jaszczak)
        throw Failure{f->line, "spheres は jaszczak ファントムの球の放射能です"};
      study_ = {true, true, s.views, s.matrix, s.muPerCm > 0};
      return a;
    }
    if (first.key == "open") {
      a.kind = ActionKind::Open;
      for (const Field& f : fields)
        if (f.key != "open" && f.key != "energy-window")
          throw Failure{f.line, fill("この囲みに知らない項目があります: %1", {f.key})};
      if (a.name.empty()) throw Failure{first.line, "開く検査を書きます (sample か data:パス かファイル)"};
      if (a.name != "sample" && (a.name.find("..") != std::string::npos || a.name[0] == '/'))
        throw Failure{first.line, fill("検査はレッスンかデータのフォルダの中のファイルで示します: %1", {a.name})};
      if (a.name != "sample" && a.name.rfind("data:", 0) != 0 && pictureExists_ && !pictureExists_(a.name))
        throw Failure{first.line, fill("検査が見つかりません: %1", {a.name})};
      if (const Field* w = a.find("energy-window")) {
        int k = 0;
        if (!readInt(w->value, 1, 64, k)) throw Failure{w->line, "energy-window は 1 から 64 の整数です"};
      }
      study_ = {true, false, a.name == "sample" ? 60 : 0, a.name == "sample" ? 128 : 0};
      return a;
    }
    if (first.key == "reconstruct" || first.key == "window") {
      a.kind = first.key == "window" ? ActionKind::Window : ActionKind::Reconstruct;
      if (a.kind == ActionKind::Window) {
        bool ok = false;
        for (const std::string& w : windowNames()) ok = ok || w == a.name;
        if (!ok) throw Failure{first.line, fill("知らないウィンドウです: %1", {a.name})};
      } else if (!isName(a.name)) {
        throw Failure{first.line, "再構成の名前は英小文字・数字・- で書きます"};
      }
      if (!study_.present) throw Failure{first.line, "この前に検査を開くかファントムを作ってください"};
      for (const Field& f : fields) known(f, a.kind == ActionKind::Window ? kWindowKeys : kReconKeys);
      reconSettings(a);
      if (a.kind == ActionKind::Reconstruct) recons_[a.name] = study_;
      return a;
    }
    throw Failure{first.line, fill("知らない操作です: %1", {first.key})};
  }

  static bool phantomField(const Field& f, PhantomSettings& s) {
    const std::string& v = f.value;
    if (f.key == "views") return readInt(v, -100000, 100000, s.views);
    if (f.key == "matrix") return readInt(v, -100000, 100000, s.matrix);
    if (f.key == "arc") return readReal(v, s.arcDegrees);
    if (f.key == "start") return readReal(v, s.startDegrees);
    if (f.key == "pixel") return readReal(v, s.pixelMm);
    if (f.key == "counts") return readReal(v, s.counts);
    if (f.key == "fwhm") return readReal(v, s.fwhmMm);
    if (f.key == "radius") return readReal(v, s.radiusMm);
    if (f.key == "cor") return readReal(v, s.corPixels);
    if (f.key == "mu") return readReal(v, s.muPerCm);
    if (f.key == "noise-free") return readYes(v, s.noiseFree);
    if (f.key == "isotope") return s.isotope = v, true;
    if (f.key == "scatter") return readYes(v, s.scatter);
    if (f.key == "energy-resolution") return readReal(v, s.energyResolutionPercent);
    if (f.key == "collimator") {
      std::string error;
      return parseCollimator(v, s.collimator, error) && (s.realCollimator = true);
    }
    if (f.key == "windows") {
      double w[3];
      if (!readTriple(v, w)) return false;
      s.peakPercent = w[0], s.lowerPercent = w[1], s.upperPercent = w[2];
      return true;
    }
    if (f.key == "spheres") {
      double ratio = 0;
      return readReal(v, ratio) && ratio >= 0 && ratio <= 20;
    }
    if (f.key == "direction") {
      if (v == "cw") return s.clockwise = true, true;
      if (v == "cc") return s.clockwise = false, true;
      return false;
    }
    if (f.key == "seed") {
      int seed = 0;
      if (!readInt(v, 0, 2000000000, seed)) return false;
      s.seed = std::uint64_t(seed);
      return true;
    }
    if (f.key == "point") return readTriple(v, s.pointMm);
    return false;
  }

  void reconSettings(const Action& a) {
    std::string method = "fbp";
    if (const Field* f = a.find("method")) {
      method = f->value;
      if (method != "fbp" && method != "backprojection" && method != "osem" && method != "mlem")
        throw Failure{f->line, "method は fbp, backprojection, osem, mlem のどれかです"};
    }
    FilterWindow w = FilterWindow::Ramp;
    double cutoff = 0.5, order = 8;
    if (const Field* f = a.find("filter"))
      if (!windowFromName(f->value, &w)) throw Failure{f->line, fill("知らないフィルタです: %1", {f->value})};
    if (const Field* f = a.find("cutoff"))
      if (!readReal(f->value, cutoff)) throw Failure{f->line, fill("値が読めません: %1", {f->key})};
    if (const Field* f = a.find("order"))
      if (!readReal(f->value, order)) throw Failure{f->line, fill("値が読めません: %1", {f->key})};
    const std::string why = checkWindowSettings(w, cutoff, order);
    if (!why.empty()) throw Failure{(a.find("cutoff") ? a.find("cutoff") : a.find("filter") ? a.find("filter") : &a.fields[0])->line, why};
    int subsets = method == "mlem" ? 1 : 10, iterations = 10, row = 0;
    if (const Field* f = a.find("subsets")) {
      if (!readInt(f->value, 1, 1024, subsets)) throw Failure{f->line, "subsets は 1 以上の整数です"};
      if (study_.views > 0 && study_.views % subsets != 0)
        throw Failure{f->line, fill("サブセット数 %1 は投影数 %2 を割り切りません", {f->value, std::to_string(study_.views)})};
    }
    if (const Field* f = a.find("iterations"))
      if (!readInt(f->value, 1, 100, iterations)) throw Failure{f->line, "iterations は 1 から 100 の整数です"};
    if (const Field* f = a.find("row")) {
      if (!readInt(f->value, 0, 511, row)) throw Failure{f->line, "row は 0 から 511 の整数です"};
      if (study_.rows > 0 && row >= study_.rows)
        throw Failure{f->line, fill("行 %1 はこの検査にありません (0 から %2)", {f->value, std::to_string(study_.rows - 1)})};
    }
    double x = 0;
    if (const Field* f = a.find("post-filter"))
      if (!readReal(f->value, x) || x < 0 || x > 20) throw Failure{f->line, "post-filter は 0 から 20 ピクセルです"};
    if (const Field* f = a.find("mu"))
      if (!readReal(f->value, x) || x < 0 || x > 2) throw Failure{f->line, "mu は 0 から 2 (/cm) です"};
    if (const Field* f = a.find("chang"))
      if (f->value != "first" && f->value != "iterated" && f->value != "none")
        throw Failure{f->line, "chang は none, first, iterated のどれかです"};
    bool yes = false, attenuated = false;
    for (const char* key : {"attenuated", "prefilter"})
      if (const Field* f = a.find(key)) {
        if (!readYes(f->value, yes)) throw Failure{f->line, fill("値が読めません: %1", {f->key})};
        if (std::string(key) == "attenuated") attenuated = yes;
      }
    const bool iterative = method == "osem" || method == "mlem";
    if (const Field* f = a.find("scatter")) {
      ScatterMethod m;
      if (!scatterMethodFromKey(f->value, m)) throw Failure{f->line, "scatter は none, dew, tew のどれかです"};
      if (method == "backprojection" && m != ScatterMethod::None)
        throw Failure{f->line, "散乱補正は fbp, osem, mlem の再構成で使います"};
    }
    if (const Field* f = a.find("scatter-smooth"))
      if (!readReal(f->value, x) || x < 0 || x > 20) throw Failure{f->line, "scatter-smooth は 0 から 20 ピクセルです"};
    if (const Field* f = a.find("dew-k"))
      if (!readReal(f->value, x) || x <= 0 || x > 2) throw Failure{f->line, "dew-k は 0 より大きく 2 までです"};
    if (const Field* f = a.find("psf")) {
      if (!iterative) throw Failure{f->line, "分解能補正 (psf) は osem か mlem の再構成で使います"};
      Collimator c;
      std::string error;
      if (f->value == "phantom") {
        if (!study_.phantom) throw Failure{f->line, "psf: phantom はファントムの検査で使います"};
      } else if (!parseCollimator(f->value, c, error)) {
        throw Failure{f->line, "psf は phantom, lehr, legp, megp か R_I,R_C0,K です"};
      }
    }
    const Field* map = a.find("mu-map");
    if (map) {
      if (map->value != "phantom") throw Failure{map->line, "mu-map は phantom です (ファントムの μ マップ)"};
      if (!study_.phantom || !study_.mu) throw Failure{map->line, "mu-map: phantom は減弱のあるファントム (mu が 0 より大きい) で使います"};
      if (a.find("mu")) throw Failure{a.find("mu")->line, "mu と mu-map は一緒に使えません"};
      const bool corrects = iterative ? attenuated : a.find("chang") && a.find("chang")->value != "none";
      if (!corrects) throw Failure{map->line, "mu-map は減弱補正 (fbp なら chang、osem なら attenuated: yes) と使います"};
    }
    if (const Field* f = a.find("mu-shift")) {
      double shift[3];
      if (!readTriple(f->value, shift)) throw Failure{f->line, "mu-shift は x, y, z (mm) の三つの数です"};
      for (double d : shift)
        if (std::fabs(d) > kMaxShiftMm) throw Failure{f->line, "mu-shift は各軸 -50 から 50 mm です"};
      if (!map) throw Failure{f->line, "mu-shift は mu-map と使います"};
    }
  }

  void checkExpr(const Expr& e, int line) {
    if (e.kind != Expr::Call) {
      for (const Expr& o : e.operands) checkExpr(o, line);
      return;
    }
    const MeasureInfo* info = nullptr;
    for (const MeasureInfo& m : measurements())
      if (e.function == m.name) info = &m;
    if (!info) throw Failure{line, fill("知らない測定です: %1", {e.function})};
    const std::string args = info->args;
    if (e.args.size() != args.size())
      throw Failure{line, fill("測定 %1 の引数の数が違います", {e.function})};
    if (!study_.present) throw Failure{line, "この前に検査を開くかファントムを作ってください"};
    for (std::size_t k = 0; k < args.size(); ++k) {
      if (args[k] == 'N') {
        double v = 0;
        if (!readReal(e.args[k], v)) throw Failure{line, fill("測定 %1 の引数は数です", {e.function})};
        continue;
      }
      const auto r = recons_.find(e.args[k]);
      if (r == recons_.end())
        throw Failure{line, fill("この前に %1 という再構成がありません", {e.args[k]})};
      if (info->phantom && !r->second.phantom)
        throw Failure{line, fill("測定 %1 はファントムの真の分布が要ります", {e.function})};
    }
  }

  Expr measure(const std::string& text, int line) {
    if (text.size() > std::size_t(kMaxExpressionBytes)) throw Failure{line, "式が長すぎます"};
    std::string error;
    Expr e = parseExpression(text, error);
    if (!error.empty()) throw Failure{line, error};
    if (!hasCall(e)) throw Failure{line, "答えはプログラムの測定で決めます: 式に測定がありません"};
    checkExpr(e, line);
    return e;
  }

  Question question(const std::vector<Field>& fields, int line) {
    Question q;
    q.line = line;
    std::set<std::string> seen;
    const Field* kind = nullptr;
    for (const Field& f : fields) {
      known(f, kQuestionKeys);
      if (f.key != "choice" && !seen.insert(f.key).second) throw Failure{f.line, fill("項目が二度あります: %1", {f.key})};
      if (f.key == "answer") kind = &f;
    }
    auto get = [&](const char* key) -> const Field* {
      for (const Field& f : fields)
        if (f.key == key) return &f;
      return nullptr;
    };
    auto need = [&](const char* key) -> const Field& {
      const Field* f = get(key);
      if (!f || f->value.empty()) throw Failure{line, fill("問題に %1 がありません", {key})};
      return *f;
    };
    q.ask = need("ask").value;
    q.hint = need("hint").value;
    if (const Field* f = get("explain")) q.explain = f->value;
    if (const Field* f = get("unit")) q.unit = f->value;
    if (!kind) need("answer");
    if (kind->value == "number") {
      q.kind = Question::Number;
      const Field& m = need("measure");
      q.measure = m.value;
      q.expr = measure(m.value, m.line);
      const Field& t = need("tolerance");
      std::string tv = t.value;
      if (!tv.empty() && tv.back() == '%') q.relative = true, tv.pop_back();
      if (!readReal(tv, q.tolerance) || !(q.tolerance > 0)) throw Failure{t.line, "tolerance は 0 より大きい数 (または %) です"};
      const Field& r = need("reference");
      if (!readReal(r.value, q.reference)) throw Failure{r.line, "reference は数です"};
      if (const Field* w = get("wrong")) {
        if (!readReal(w->value, q.wrong)) throw Failure{w->line, "wrong は数です"};
        q.hasWrong = true;
      }
      if (get("choice") || get("correct")) throw Failure{(get("choice") ? get("choice") : get("correct"))->line, "数で答える問題に choice と correct は使えません"};
    } else if (kind->value == "choice") {
      q.kind = Question::Choice;
      for (const Field& f : fields) {
        if (f.key != "choice") continue;
        const std::size_t bar = f.value.rfind('|');
        if (bar == std::string::npos) throw Failure{f.line, "choice は「選択肢 | 測定」と書きます"};
        struct Choice c;
        c.label = trim(f.value.substr(0, bar));
        c.measure = trim(f.value.substr(bar + 1));
        c.line = f.line;
        if (c.label.empty()) throw Failure{f.line, "選択肢の文が空です"};
        c.expr = measure(c.measure, f.line);
        if (int(q.choices.size()) >= kMaxChoices) throw Failure{f.line, "選択肢が多すぎます"};
        q.choices.push_back(c);
      }
      if (q.choices.size() < 2) throw Failure{line, "選択肢は二つ以上要ります"};
      const Field& c = need("correct");
      if (c.value == "lowest") q.pick = Question::Lowest;
      else if (c.value == "highest") q.pick = Question::Highest;
      else if (c.value == "true") q.pick = Question::True;
      else throw Failure{c.line, "correct は lowest, highest, true のどれかです"};
      const Field& r = need("reference");
      int ref = 0;
      if (!readInt(r.value, 1, long(q.choices.size()), ref)) throw Failure{r.line, "reference は選択肢の番号 (1 から) です"};
      q.reference = ref;
      if (const Field* w = get("wrong")) {
        int wrong = 0;
        if (!readInt(w->value, 1, long(q.choices.size()), wrong) || wrong == ref)
          throw Failure{w->line, "wrong は正解ではない選択肢の番号です"};
        q.wrong = wrong;
        q.hasWrong = true;
      }
      for (const char* key : {"measure", "tolerance", "unit"})
        if (const Field* f = get(key)) throw Failure{f->line, fill("選ぶ問題に %1 は使えません", {key})};
    } else {
      throw Failure{kind->line, "answer は number か choice です"};
    }
    return q;
  }
};

}  // namespace

Expr parseExpression(const std::string& text, std::string& error) {
  ExprReader r(text);
  Expr e = r.comparison();
  r.space();
  if (r.error.empty() && r.at != text.size()) r.error = "式の終わりに余分な文字があります";
  error = r.error;
  return e;
}

ParseResult parseLesson(const std::string& text, const std::string& file,
                        const std::function<bool(const std::string&)>& pictureExists) {
  ParseResult r;
  r.lesson.file = file;
  try {
    Parser(pictureExists).parse(text, r.lesson);
    r.ok = true;
  } catch (const Failure& f) {
    r.line = f.line;
    r.reason = f.reason;
    r.message = f.line > 0 ? fill("%1 の %2 行目: %3", {file, std::to_string(f.line), f.reason})
                           : fill("%1: %2", {file, f.reason});
    r.lesson = Lesson{};
    r.lesson.file = file;
  }
  return r;
}

bool readAnswerNumber(const std::string& typed, double& out) {
  std::string s;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(typed[i]);
    // Full-width digits, point, minus and comma (U+FF10.., U+FF0E, U+FF0D, U+FF0C) and U+2212.
    if (c == 0xEF && i + 2 < typed.size() && static_cast<unsigned char>(typed[i + 1]) == 0xBC) {
      const unsigned char d = static_cast<unsigned char>(typed[i + 2]);
      if (d >= 0x90 && d <= 0x99) s += char('0' + (d - 0x90));
      else if (d == 0x8E) s += '.';
      else if (d == 0x8D) s += '-';
      else if (d == 0x8C) s += ',';
      else return false;
      i += 2;
    } else if (c == 0xE2 && i + 2 < typed.size() && static_cast<unsigned char>(typed[i + 1]) == 0x88 &&
               static_cast<unsigned char>(typed[i + 2]) == 0x92) {
      s += '-';
      i += 2;
    } else {
      s += char(c);
    }
  }
  s = trim(s);
  if (s.find(',') != std::string::npos && s.find('.') == std::string::npos) {
    if (s.find(',') != s.rfind(',')) return false;
    s[s.find(',')] = '.';
  }
  if (s.empty() || s.find_first_not_of("0123456789.-+eE") != std::string::npos) return false;
  return readReal(s, out);
}

}  // namespace sinora::lessons
