#include "lessons/lesson_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <numeric>

#include "formats/formats.h"
#include "imaging/attenuation.h"
#include "imaging/collimator.h"
#include "imaging/geometry.h"
#include "imaging/phantom.h"
#include "imaging/psf.h"
#include "imaging/recipe.h"
#include "imaging/sample_study.h"
#include "imaging/scatter.h"
#include "imaging/slices.h"
#include "imaging/text.h"

namespace sinora::lessons {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool isDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

bool yes(const Action& a, const char* key) {
  const Field* f = a.find(key);
  return f && (f->value == "yes" || f->value == "on" || f->value == "true");
}

std::string format(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4g", v);
  return buf;
}

// The pixels of a slice whose centre is inside the reconstruction circle.
template <typename F>
void eachInside(int bins, F f) {
  for (int i = 0; i < bins; ++i)
    for (int j = 0; j < bins; ++j)
      if (insideCircle(i, j, bins)) f(i, j, std::size_t(i) * bins + j);
}

// The phantom's mu map moved by (x, y, z) mm along its pixels i, j and its rows, linearly
// between pixels, 0 where it comes from outside: a CT lying off the SPECT. Across the screen the
// phantom lab's own shift does it.
std::vector<float> shiftedMuMap(const PhantomInfo& info, const double shiftMm[3]) {
  std::vector<float> map = phantomMuMap(info, shiftMm[0]);
  const int b = info.settings.matrix, rows = int(info.mu.size());
  const double pixel = info.settings.pixelMm;
  // Moves along one axis: element n of a line of `count` takes what lay `by` elements before.
  auto move = [&](double mm, std::size_t stride, int count, std::size_t lines,
                  const std::function<std::size_t(std::size_t)>& start) {
    const double by = mm / pixel;
    if (by == 0 || !std::isfinite(by)) return;
    const int whole = int(std::floor(by));
    const double part = by - whole;
    std::vector<double> line(static_cast<std::size_t>(count));
    for (std::size_t l = 0; l < lines; ++l) {
      float* p = map.data() + start(l);
      for (int n = 0; n < count; ++n) line[std::size_t(n)] = p[std::size_t(n) * stride];
      auto at = [&](int n) { return n >= 0 && n < count ? line[std::size_t(n)] : 0.0; };
      for (int n = 0; n < count; ++n) p[std::size_t(n) * stride] = float((1 - part) * at(n - whole) + part * at(n - whole - 1));
    }
  };
  const std::size_t plane = std::size_t(b) * b;
  if (map.size() != plane * std::size_t(rows)) return map;
  // Down the screen (y): along j within each row and i.
  move(shiftMm[1], 1, b, std::size_t(rows) * b, [&](std::size_t l) { return l * std::size_t(b); });
  // Down the rows (z): along the rows at each pixel.
  move(shiftMm[2], plane, rows, plane, [&](std::size_t l) { return l; });
  return map;
}

}  // namespace

std::string findDataFolder(const std::vector<std::string>& candidates) {
  if (const char* env = std::getenv("SINORA_DATA"); env && *env) return isDirectory(env) ? env : "";
  for (const std::string& c : candidates)
    if (isDirectory(c)) return c;
  return "";
}

bool needsData(const Lesson& lesson) {
  for (const Step& s : lesson.steps)
    for (const Action& a : s.actions)
      if (a.kind == ActionKind::Open && a.name.rfind("data:", 0) == 0) return true;
  return false;
}

LessonSession::LessonSession(Lesson lesson, RunContext context)
    : lesson_(std::move(lesson)), context_(std::move(context)) {}

bool LessonSession::runThrough(int step, std::string& error) {
  step = std::min(step, int(lesson_.steps.size()) - 1);
  for (; ran_ <= step; ++ran_)
    for (const Action& a : lesson_.steps[std::size_t(ran_)].actions)
      if (!run(a, error)) {
        error = fill("%1 行目の操作: %2", {std::to_string(a.line), error});
        ++ran_;  // a failed step is not run again by itself
        return false;
      }
  return true;
}

bool LessonSession::run(const Action& a, std::string& error) {
  if (a.kind == ActionKind::Window) return true;  // the interface opens it; nothing to compute
  if (a.kind == ActionKind::Phantom) {
    PhantomSettings s;
    phantomFromKey(a.name, s.kind);
    for (const Field& f : a.fields) {
      const std::string& v = f.value;
      if (f.key == "views") s.views = int(number(v));
      else if (f.key == "matrix") s.matrix = int(number(v));
      else if (f.key == "arc") s.arcDegrees = number(v);
      else if (f.key == "start") s.startDegrees = number(v);
      else if (f.key == "pixel") s.pixelMm = number(v);
      else if (f.key == "counts") s.counts = number(v);
      else if (f.key == "fwhm") s.fwhmMm = number(v);
      else if (f.key == "radius") s.radiusMm = number(v);
      else if (f.key == "cor") s.corPixels = number(v);
      else if (f.key == "mu") s.muPerCm = number(v);
      else if (f.key == "noise-free") s.noiseFree = v == "yes" || v == "on" || v == "true";
      else if (f.key == "isotope") s.isotope = v;
      else if (f.key == "direction") s.clockwise = v == "cw";
      else if (f.key == "seed") s.seed = std::uint64_t(number(v));
      else if (f.key == "point")
        std::sscanf(v.c_str(), "%lf , %lf , %lf", &s.pointMm[0], &s.pointMm[1], &s.pointMm[2]);
      else if (f.key == "scatter") s.scatter = v == "yes" || v == "on" || v == "true";
      else if (f.key == "energy-resolution") s.energyResolutionPercent = number(v);
      else if (f.key == "windows")
        std::sscanf(v.c_str(), "%lf , %lf , %lf", &s.peakPercent, &s.lowerPercent, &s.upperPercent);
      else if (f.key == "collimator") {
        std::string why;  // the reader refused what this cannot read
        if (!parseCollimator(v, s.collimator, why)) return error = fill("値が読めません: %1", {f.key}), false;
        s.realCollimator = true;
      }
    }
    PhantomObject object = phantomObject(s.kind);
    if (s.kind == PhantomKind::PointSource) {  // as makePhantomStudy places it
      object.parts[0].cx = s.pointMm[0];
      object.parts[0].cy = s.pointMm[1];
      object.parts[0].cz = s.pointMm[2];
    }
    if (const Field* f = a.find("spheres"))  // the Jaszczak's spheres: this many times the background
      for (PhantomPart& p : object.parts)
        if (p.shape == PhantomPart::Ellipsoid) p.activity = number(f->value) - object.background;
    PhantomResult r = makePhantomStudyOf(object, phantomName(s.kind), s, context_.threads);
    if (!r.study) return error = r.error, false;
    study_ = r.study;
    ++version_;
    return true;
  }
  if (a.kind == ActionKind::Open) {
    StudyPtr study;
    if (a.name == "sample") {
      study = sampleStudy();
    } else {
      std::string path;
      if (a.name.rfind("data:", 0) == 0) {
        if (context_.dataFolder.empty()) return error = "データのフォルダが見つかりません", false;
        path = context_.dataFolder + "/" + a.name.substr(5);
      } else {
        if (context_.lessonFolder.empty()) return error = fill("検査が見つかりません: %1", {a.name}), false;
        path = context_.lessonFolder + "/" + a.name;
      }
      StudyReadResult r = formats::readAnyStudy(path);
      if (!r.study) return error = r.error, false;
      study = r.study;
    }
    if (const Field* w = a.find("energy-window")) {
      StudyPtr windowed = withEnergyWindow(*study, int(number(w->value)) - 1);
      if (!windowed) return error = fill("この検査にエネルギーウィンドウ %1 はありません", {w->value}), false;
      study = windowed;
    }
    study_ = study;
    ++version_;
    return true;
  }
  // A reconstruction of one row through the recipe (plain backprojection: a unit kernel).
  if (!study_) return error = "この前に検査を開くかファントムを作ってください", false;
  Recon r;
  r.study = study_;
  r.row = study_->rows() / 2;
  if (const Field* f = a.find("row")) r.row = int(number(f->value));
  if (r.row >= study_->rows()) return error = fill("行 %1 はこの検査にありません", {std::to_string(r.row)}), false;
  const Field* methodField = a.find("method");
  const std::string method = methodField ? methodField->value : "fbp";
  const int b = study_->bins();
  if (method == "backprojection") {
    std::vector<double> unit(std::size_t(2 * b - 1), 0.0);
    unit[std::size_t(b - 1)] = 1;
    r.values = fbpSlice(*study_, r.row, unit);
  } else {
    Recipe recipe;
    recipe.method = method == "fbp" ? RecipeMethod::Fbp : RecipeMethod::Osem;
    if (const Field* f = a.find("filter")) windowFromName(f->value, &recipe.filter);
    if (const Field* f = a.find("cutoff")) recipe.windowCutoff = number(f->value);
    if (const Field* f = a.find("order")) recipe.windowOrder = number(f->value);
    recipe.prefilter = yes(a, "prefilter");
    recipe.subsets = method == "mlem" ? 1 : 10;
    if (const Field* f = a.find("subsets")) recipe.subsets = int(number(f->value));
    if (const Field* f = a.find("iterations")) recipe.iterations = int(number(f->value));
    if (const Field* f = a.find("post-filter")) recipe.postFilterFwhm = number(f->value);
    if (const Field* f = a.find("chang"))
      recipe.chang = f->value == "first" ? ChangCorrection::FirstOrder
                     : f->value == "iterated" ? ChangCorrection::Iterated : ChangCorrection::None;
    recipe.attenuatedProjector = yes(a, "attenuated");
    if (const Field* f = a.find("mu")) recipe.muPerCm = number(f->value);
    const PhantomInfo* info = phantomInfo(*study_);
    if (a.find("mu-map")) {
      if (!info || info->mu.empty()) return error = "このファントムは μ マップを持ちません (減弱なし)", false;
      double shift[3] = {0, 0, 0};
      if (const Field* f = a.find("mu-shift"))
        std::sscanf(f->value.c_str(), "%lf , %lf , %lf", &shift[0], &shift[1], &shift[2]);
      recipe.muMap = shiftedMuMap(*info, shift);
    }
    if (const Field* f = a.find("scatter")) scatterMethodFromKey(f->value, recipe.scatter);
    if (const Field* f = a.find("scatter-smooth")) recipe.scatterSmoothFwhm = number(f->value);
    if (const Field* f = a.find("dew-k")) recipe.dewK = number(f->value);
    if (const Field* f = a.find("psf")) {
      recipe.resolutionRecovery = true;
      if (f->value == "phantom") {
        if (!info) return error = "psf: phantom はファントムの検査で使います", false;
        recipe.collimator = info->settings.effectiveCollimator();
      } else {
        std::string why;
        if (!parseCollimator(f->value, recipe.collimator, why)) return error = fill("値が読めません: %1", {f->key}), false;
      }
    }
    const std::string why = checkRecipe(*study_, recipe);
    if (!why.empty()) return error = why, false;
    RecipeSlice slice = runRecipe(*study_, recipe, r.row, context_.threads, nullptr, false);
    if (!slice.ok()) return error = slice.refusal, false;
    r.values = std::move(slice.values);
    r.iterations = std::move(slice.iterations);
    recipe.muMap.clear();  // measurements need the scatter settings, not the map
    r.recipe = std::move(recipe);
  }
  recons_[a.name] = std::move(r);
  return true;
}

const LessonSession::Recon* LessonSession::recon(const std::string& name, std::string& error) const {
  const auto it = recons_.find(name);
  if (it == recons_.end()) {
    error = fill("再構成 %1 はまだありません", {name});
    return nullptr;
  }
  return &it->second;
}

double LessonSession::measure(const Expr& e, std::string& error) const {
  error.clear();
  switch (e.kind) {
    case Expr::Number: return e.number;
    case Expr::Call: return call(e, error);
    case Expr::Neg: return -measure(e.operands[0], error);
    default: break;
  }
  const double a = measure(e.operands[0], error);
  if (!error.empty()) return kNaN;
  const double b = measure(e.operands[1], error);
  if (!error.empty()) return kNaN;
  switch (e.kind) {
    case Expr::Add: return a + b;
    case Expr::Sub: return a - b;
    case Expr::Mul: return a * b;
    case Expr::Div:
      if (b == 0) return error = "0 で割る測定です", kNaN;
      return a / b;
    case Expr::Less: return a < b ? 1 : 0;
    case Expr::Greater: return a > b ? 1 : 0;
    default: return kNaN;
  }
}

double LessonSession::call(const Expr& e, std::string& error) const {
  const std::string& f = e.function;
  if (!study_) return error = "この前に検査を開くかファントムを作ってください", kNaN;
  const ProjectionStudy& s = *study_;
  // A view, row or window number; anything that is not a whole number in range becomes -1.
  auto arg = [&](std::size_t k) {
    const double v = e.args.size() > k ? number(e.args[k]) : -1.0;
    return v == std::floor(v) && v >= 0 && v <= 1e6 ? v : -1.0;
  };
  if (f == "counts") return double(s.totalCounts());
  if (f == "views") return s.views();
  if (f == "bins") return s.bins();
  if (f == "rows") return s.rows();
  if (f == "pixel-mm") {
    if (s.geometry().pixelSizeMm <= 0) return error = "この検査はピクセルの大きさを持ちません", kNaN;
    return s.geometry().pixelSizeMm;
  }
  if (f == "arc") {
    if (s.views() < 2) return 0;
    double step = std::fabs(s.angleDegrees(1) - s.angleDegrees(0));
    if (step > 180) step = 360 - step;
    return step * s.views();
  }
  const int views = s.views(), bins = s.bins();
  if (f == "angle") {
    const int k = int(arg(0));
    if (k < 0 || k >= views) return error = fill("投影 %1 はこの検査にありません", {e.args[0]}), kNaN;
    return s.angleDegrees(k);
  }
  if (f == "peak-bin") {
    const int k = int(arg(0)), row = int(arg(1));
    if (k < 0 || k >= views) return error = fill("投影 %1 はこの検査にありません", {e.args[0]}), kNaN;
    if (row < 0 || row >= s.rows()) return error = fill("行 %1 はこの検査にありません", {e.args[1]}), kNaN;
    int best = 0;
    for (int c = 1; c < bins; ++c)
      if (s.count(k, row, c) > s.count(k, row, best)) best = c;
    return best;
  }
  if (f == "cor-offset") {
    // Opposed views see the object mirrored: their centroids average to the centre of rotation.
    const int row = int(arg(0));
    if (row < 0 || row >= s.rows()) return error = fill("行 %1 はこの検査にありません", {e.args[0]}), kNaN;
    if (views % 2 != 0 || std::fabs(call(Expr{Expr::Call, 0, "arc", {}, {}}, error) - 360) > 1)
      return error = "中心のずれは 360 度収集の偶数の投影で測ります", kNaN;
    double sum = 0;
    int pairs = 0;
    for (int k = 0; k < views / 2; ++k) {
      double c[2] = {0, 0};
      bool ok = true;
      for (int h = 0; h < 2; ++h) {
        double w = 0, m = 0;
        for (int b = 0; b < bins; ++b) {
          w += s.count(k + h * views / 2, row, b);
          m += s.count(k + h * views / 2, row, b) * double(b);
        }
        ok = ok && w > 0;
        c[h] = w > 0 ? m / w : 0;
      }
      if (ok) sum += (c[0] + c[1]) / 2, ++pairs;
    }
    if (pairs == 0) return error = fill("行 %1 に計数がありません", {e.args[0]}), kNaN;
    return sum / pairs - bins / 2.0;
  }
  const auto& set = s.geometry().energyWindows;
  if (f == "energy-windows") return set ? double(set->windows.size()) : 1.0;
  if (f == "window-low" || f == "window-high" || f == "window-counts") {
    const int w = int(arg(0)) - 1;
    if (!set || w < 0 || std::size_t(w) >= set->windows.size())
      return error = fill("この検査にエネルギーウィンドウ %1 はありません", {e.args[0]}), kNaN;
    if (f == "window-low") return set->windows[std::size_t(w)].lowerKeV;
    if (f == "window-high") return set->windows[std::size_t(w)].upperKeV;
    double total = 0;
    for (std::uint16_t c : set->counts[std::size_t(w)]) total += c;
    return total;
  }
  if (f == "scatter-fraction") {
    // The scattered photons' share of a window's counts (expected counts, not the noisy ones).
    const PhantomInfo* info = phantomInfo(s);
    const int w = int(arg(0)) - 1;
    if (!info || info->scattered.empty()) return error = "この検査は散乱を含めたファントムではありません", kNaN;
    if (w < 0 || std::size_t(w) >= info->scattered.size())
      return error = fill("この検査にエネルギーウィンドウ %1 はありません", {e.args[0]}), kNaN;
    const double scattered = std::accumulate(info->scattered[std::size_t(w)].begin(), info->scattered[std::size_t(w)].end(), 0.0);
    const double primary = std::accumulate(info->primary[std::size_t(w)].begin(), info->primary[std::size_t(w)].end(), 0.0);
    if (!(scattered + primary > 0)) return error = fill("ウィンドウ %1 に計数がありません", {e.args[0]}), kNaN;
    return scattered / (scattered + primary);
  }
  // The rest measure a reconstruction.
  const Recon* r = recon(e.args.empty() ? std::string() : e.args[0], error);
  if (!r) return kNaN;
  const int b = r->study->bins();
  const std::vector<double>& v = r->values;
  const PhantomInfo* info = phantomInfo(*r->study);
  if (f == "fwhm" || f == "fwhm-mm") {
    std::size_t best = 0;
    bool any = false;
    eachInside(b, [&](int, int, std::size_t p) {
      if (!any || v[p] > v[best]) best = p, any = true;
    });
    const Fwhm w = fwhmThrough(v, b, int(best / std::size_t(b)), int(best % std::size_t(b)));
    if (!std::isfinite(w.across)) return error = "半値幅が測れません (半分まで下がりません)", kNaN;
    if (f == "fwhm") return w.across;
    const double mm = r->study->geometry().pixelSizeMm;
    if (mm <= 0) return error = "この検査はピクセルの大きさを持ちません", kNaN;
    return w.across * mm;
  }
  if (f == "max" || f == "min" || f == "mean") {
    double hi = -HUGE_VAL, lo = HUGE_VAL, sum = 0;
    int n = 0;
    eachInside(b, [&](int, int, std::size_t p) {
      hi = std::max(hi, v[p]);
      lo = std::min(lo, v[p]);
      sum += v[p];
      ++n;
    });
    return f == "max" ? hi : f == "min" ? lo : sum / std::max(n, 1);
  }
  if (f == "noise") {
    // The coefficient of variation (per cent) in a disc of radius B / 8 about the centre.
    const double c = b / 2.0, radius = b / 8.0;
    double sum = 0, sum2 = 0;
    int n = 0;
    eachInside(b, [&](int i, int j, std::size_t p) {
      const double x = i + 0.5 - c, y = j + 0.5 - c;
      if (x * x + y * y > radius * radius) return;
      sum += v[p], sum2 += v[p] * v[p], ++n;
    });
    const double mean = sum / std::max(n, 1);
    if (n < 2 || !(mean > 0)) return error = "中心の平均が 0 以下で雑音が測れません", kNaN;
    return 100 * std::sqrt(std::max(0.0, sum2 / n - mean * mean)) / mean;
  }
  if (f == "estimated-scatter-fraction") {
    // What the reconstruction's scatter estimate takes from the whole photopeak window.
    if (r->recipe.scatter == ScatterMethod::None) return error = fill("再構成 %1 は散乱を補正していません", {e.args[0]}), kNaN;
    const std::shared_ptr<const ScatterEstimate> est = recipeScatter(*r->study, r->recipe);
    if (!est || !est->ok()) return error = est ? est->refusal : "散乱の推定がありません", kNaN;
    const double total = double(r->study->totalCounts());
    if (!(total > 0)) return error = "この検査に計数がありません", kNaN;
    return std::accumulate(est->values.begin(), est->values.end(), 0.0) / total;
  }
  if (!info) return error = fill("測定 %1 はファントムの真の分布が要ります", {f}), kNaN;
  const std::size_t row = std::size_t(r->row);
  // Pixels of R's row whose centre lies inside `part` grown by `grow` mm, and not in `without`.
  auto region = [&](PhantomPart part, double grow, const PhantomPart* without) {
    part.ax += grow, part.ay += grow, part.az += grow;
    const double c = b / 2, p = info->settings.pixelMm, z = (r->row - c) * p;
    std::vector<bool> in(std::size_t(b) * b);
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j)
        in[std::size_t(i) * b + j] = insidePart(part, (i - c) * p, (j - c) * p, z) &&
                                     !(without && insidePart(*without, (i - c) * p, (j - c) * p, z));
    return in;
  };
  if (f == "sphere-contrast") {
    // The Jaszczak's spheres, 1 the smallest to 6 the largest.
    std::vector<const PhantomPart*> spheres;
    if (info->settings.kind == PhantomKind::Jaszczak)
      for (const PhantomPart& p : info->object.parts)
        if (p.shape == PhantomPart::Ellipsoid) spheres.push_back(&p);
    if (spheres.empty()) return error = "このファントムに球はありません", kNaN;
    std::stable_sort(spheres.begin(), spheres.end(), [](const PhantomPart* x, const PhantomPart* y) { return x->ax < y->ax; });
    const int n = int(arg(1));
    if (n < 1 || std::size_t(n) > spheres.size())
      return error = fill("球 %1 はありません (1 から %2)", {e.args[1], std::to_string(spheres.size())}), kNaN;
    const double c = recoveredContrast(v, *info, r->row, region(*spheres[std::size_t(n - 1)], 0, nullptr));
    if (!std::isfinite(c)) return error = fill("球 %1 はこの行にありません", {e.args[1]}), kNaN;
    return c;
  }
  if (f == "wall-ratio" || f == "heart-rmse") {
    // The thorax's myocardium (its feature) and the cavity inside it.
    const PhantomPart* wall = info->settings.kind == PhantomKind::Thorax && info->object.feature >= 0
                                  ? &info->object.parts[std::size_t(info->object.feature)] : nullptr;
    const PhantomPart* cavity = nullptr;
    if (wall)
      for (const PhantomPart& p : info->object.parts)
        if (&p != wall && p.activity < 0 && p.cx == wall->cx && p.cy == wall->cy && p.cz == wall->cz) cavity = &p;
    if (!wall || !cavity) return error = "このファントムに心筋はありません", kNaN;
    const std::vector<float>& t = info->truth[row];
    if (f == "wall-ratio") {
      // The inferior quarter of the wall (towards the back) over the anterior one.
      const std::vector<bool> in = region(*wall, 0, cavity);
      const double c = b / 2, p = info->settings.pixelMm;
      double inferior = 0, anterior = 0;
      int ni = 0, na = 0;
      for (int i = 0; i < b; ++i)
        for (int j = 0; j < b; ++j) {
          const std::size_t at = std::size_t(i) * b + j;
          if (!in[at]) continue;
          const double degrees = std::atan2((j - c) * p - wall->cy, (i - c) * p - wall->cx) * 180 / 3.14159265358979;
          if (degrees > 45 && degrees < 135) inferior += v[at], ++ni;
          if (degrees < -45 && degrees > -135) anterior += v[at], ++na;
        }
      if (ni == 0 || na == 0 || !(anterior > 0)) return error = "この行に心筋の壁がありません", kNaN;
      return (inferior / ni) / (anterior / na);
    }
    // The RMSE in the ring 25 mm round the myocardium (where the lungs lie beside it) against the
    // truth scaled by least squares over the slice, per cent of the scaled truth's mean there.
    const std::vector<bool> in = region(*wall, 25, cavity);
    double rt = 0, tt = 0;
    eachInside(b, [&](int, int, std::size_t p) { rt += v[p] * t[p], tt += double(t[p]) * t[p]; });
    if (!(tt > 0)) return error = "真の分布と比べられません", kNaN;
    const double scale = rt / tt;
    double sq = 0, sum = 0;
    int n = 0;
    for (std::size_t p = 0; p < in.size(); ++p)
      if (in[p]) sq += std::pow(v[p] - scale * t[p], 2), sum += scale * t[p], ++n;
    if (n == 0 || !(sum > 0)) return error = "この行に心筋の壁がありません", kNaN;
    return 100 * std::sqrt(sq / n) / (sum / n);
  }
  if (f == "rmse" || f == "iteration-rmse") {
    const std::vector<double>* slice = &v;
    if (f == "iteration-rmse") {
      const int k = int(arg(1));
      if (k < 1 || std::size_t(k) > r->iterations.size())
        return error = fill("再構成 %1 に %2 回目の反復はありません", {e.args[0], e.args[1]}), kNaN;
      slice = &r->iterations[std::size_t(k - 1)];
    }
    const double rmse = truthRmsePercent(*slice, info->truth[row], b);
    if (!std::isfinite(rmse)) return error = "真の分布と比べられません", kNaN;
    return rmse;
  }
  if (f == "contrast") {
    const double c = recoveredContrast(v, *info, r->row, featureMask(*info, r->row));
    if (!std::isfinite(c)) return error = "このファントムのコントラストは測れません", kNaN;
    return c;
  }
  if (f == "cupping") {
    // The mean near the centre of the outline over the mean in a ring just inside its edge.
    const Outline o = phantomOutline(*r->study, r->row);
    if (!o.present) return error = "このファントムは減弱する輪郭を持ちません", kNaN;
    const double c = b / 2.0;
    double centre = 0, edge = 0;
    int nc = 0, ne = 0;
    eachInside(b, [&](int i, int j, std::size_t p) {
      const double x = i - c - o.cx, y = j - c - o.cy;
      const double t = std::sqrt(x * x / (o.a * o.a) + y * y / (o.b * o.b));
      if (t < 0.25) centre += v[p], ++nc;
      else if (t > 0.65 && t < 0.85) edge += v[p], ++ne;
    });
    if (nc == 0 || ne == 0 || !(edge > 0)) return error = "輪郭の中が小さすぎて測れません", kNaN;
    return (centre / nc) / (edge / ne);
  }
  return error = fill("知らない測定です: %1", {f}), kNaN;
}

Verdict LessonSession::check(const Question& q, const std::string& answer) const {
  Verdict v;
  if (q.kind == Question::Number) {
    v.measured = measure(q.expr, v.reason);
    if (!v.reason.empty() || !std::isfinite(v.measured)) {
      if (v.reason.empty()) v.reason = "測定の値が数になりません";
      v.result = Verdict::Unmeasurable;
      return v;
    }
    double typed = 0;
    if (!readAnswerNumber(answer, typed)) return v.result = Verdict::Unreadable, v;
    const double tol = q.relative ? std::fabs(v.measured) * q.tolerance / 100 : q.tolerance;
    v.result = std::fabs(typed - v.measured) <= tol * (1 + 1e-12) ? Verdict::Right : Verdict::Wrong;
    return v;
  }
  std::vector<double> values;
  for (const Choice& c : q.choices) {
    values.push_back(measure(c.expr, v.reason));
    if (!v.reason.empty() || !std::isfinite(values.back())) {
      if (v.reason.empty()) v.reason = "測定の値が数になりません";
      v.result = Verdict::Unmeasurable;
      return v;
    }
  }
  v.values = values;
  if (q.pick == Question::True) {
    int trues = 0;
    for (std::size_t k = 0; k < values.size(); ++k)
      if (values[k] != 0) ++trues, v.rightChoice = int(k);
    if (trues != 1) {
      v.reason = fill("成り立つ選択肢が一つではありません (%1 個)", {std::to_string(trues)});
      v.result = Verdict::Unmeasurable;
      return v;
    }
  } else {
    const auto it = q.pick == Question::Lowest ? std::min_element(values.begin(), values.end())
                                               : std::max_element(values.begin(), values.end());
    v.rightChoice = int(it - values.begin());
  }
  double typed = 0;
  if (!readAnswerNumber(answer, typed) || typed != std::floor(typed) || typed < 1 ||
      typed > double(q.choices.size()))
    return v.result = Verdict::Unreadable, v;
  v.measured = values[std::size_t(v.rightChoice)];
  v.result = int(typed) - 1 == v.rightChoice ? Verdict::Right : Verdict::Wrong;
  return v;
}

CheckResult checkLesson(const Lesson& lesson, const RunContext& context) {
  CheckResult out;
  if (needsData(lesson) && context.dataFolder.empty()) {
    out.skipped = true;
    out.log.push_back("skipped: the lesson opens a study of the data folder, and no data folder was found "
                      "(set SINORA_DATA)");
    return out;
  }
  LessonSession session(lesson, context);
  for (std::size_t k = 0; k < lesson.steps.size(); ++k) {
    const Step& step = lesson.steps[k];
    const std::string name = "step " + std::to_string(k + 1) + " \"" + step.title + "\" (line " +
                             std::to_string(step.line) + ")";
    std::string error;
    if (!session.runThrough(int(k), error)) {
      out.ok = false;
      out.log.push_back(name + ": FAILED: an action failed: " + error);
      continue;
    }
    if (!step.hasQuestion) {
      out.log.push_back(name + ": ok");
      continue;
    }
    const Question& q = step.question;
    std::string right, wrong;
    if (q.kind == Question::Number) {
      right = format(q.reference);
      double w = q.wrong;
      if (!q.hasWrong) {
        // Far outside the tolerance on the side away from the reference's error.
        std::string e;
        const double m = session.measure(q.expr, e);
        const double tol = q.relative ? std::fabs(m) * q.tolerance / 100 : q.tolerance;
        w = m + 3 * tol + 0.5 * std::fabs(m) + 1;
      }
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10g", w);
      wrong = buf;
      std::snprintf(buf, sizeof buf, "%.10g", q.reference);
      right = buf;
    } else {
      right = std::to_string(int(q.reference));
      int w = int(q.wrong);
      if (!q.hasWrong) w = int(q.reference) == 1 ? 2 : 1;
      wrong = std::to_string(w);
    }
    const Verdict a = session.check(q, right);
    const Verdict b = session.check(q, wrong);
    std::string measured = q.kind == Question::Number ? "measured " + format(a.measured)
                                                      : "measured right choice " + std::to_string(a.rightChoice + 1);
    if (q.kind == Question::Choice && !a.values.empty()) {
      measured += ":";
      for (std::size_t c = 0; c < a.values.size(); ++c)
        measured += " " + std::to_string(c + 1) + "=" + format(a.values[c]);
    }
    if (a.result == Verdict::Unmeasurable) {
      out.ok = false;
      out.log.push_back(name + ": FAILED: the question cannot be measured: " + a.reason);
    } else if (a.result != Verdict::Right) {
      out.ok = false;
      out.log.push_back(name + ": FAILED: the reference answer " + right + " is refused (" + measured + ")");
    } else if (b.result != Verdict::Wrong) {
      out.ok = false;
      out.log.push_back(name + ": FAILED: the wrong answer " + wrong + " is accepted (" + measured + ")");
    } else {
      out.log.push_back(name + ": ok (" + measured + ", reference " + right + ", wrong " + wrong + " refused)");
    }
  }
  return out;
}

}  // namespace sinora::lessons
