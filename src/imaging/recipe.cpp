#include "imaging/recipe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

#include "imaging/attenuation_map.h"
#include "imaging/phantom.h"
#include "imaging/resolution.h"
#include "imaging/slices.h"
#include "imaging/text.h"

namespace sinora {

namespace {

std::string number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", v);
  return buffer;
}

bool ownKernel(FilterWindow f) { return f == FilterWindow::Ramp || f == FilterWindow::SheppLogan; }

std::vector<double> kernelOf(const Recipe& r, int bins) {
  if (r.filter == FilterWindow::Ramp) return reconKernelFor(ReconFilter::Ramp, bins);
  if (r.filter == FilterWindow::SheppLogan) return reconKernelFor(ReconFilter::SheppLogan, bins);
  return windowedKernel(r.filter, r.windowCutoff, r.windowOrder, bins);
}

std::vector<double> fbpCounts(const ProjectionStudy& study, const Recipe& r, int row) {
  std::vector<double> f = fbpSlice(study, row, kernelOf(r, study.bins()), r.prefilter ? &r.bw : nullptr);
  const double toCounts = fbpToCounts(study);
  for (double& v : f) v *= toCounts;
  return f;
}

// The row's slice; without `mustModel` a row with no outline is reconstructed uncorrected (a
// volume's rows beyond the object).
// The collimator's blur as the projector models it.
PsfSetup psfOf(const ProjectionStudy& study, const Recipe& r) {
  PsfSetup p;
  p.collimator = r.collimator;
  p.radiusMm = r.radiusMm > 0 ? std::vector<double>{r.radiusMm} : studyRadii(study, 0);
  return p;
}

// The latest scatter estimate of a study and the study with it subtracted (for FBP), kept with
// the study: moving a window's cut-off or iteration does not estimate it again.
struct ScatterSlot {
  mutable std::mutex mutex;
  mutable std::string key;
  mutable std::shared_ptr<const ScatterEstimate> estimate;
  mutable StudyPtr subtracted;
};

const ScatterSlot& scatterSlot(const ProjectionStudy& study) {
  return *static_cast<const ScatterSlot*>(
      study.derived("scatter-slot", [] { return std::static_pointer_cast<const void>(std::make_shared<ScatterSlot>()); })
          .get());
}

std::string scatterKey(const Recipe& r) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%d %d %d %a %a", int(r.scatter), r.scatterLower, r.scatterUpper, r.dewK,
                r.scatterSmoothFwhm);
  return buffer;
}

// The study's estimate for the recipe, computed when the settings differ from the last ones.
std::shared_ptr<const ScatterEstimate> slotEstimate(const ScatterSlot& slot, const ProjectionStudy& study,
                                                    const Recipe& r) {
  const std::string key = scatterKey(r);
  if (slot.key != key || !slot.estimate) {
    slot.estimate = std::make_shared<const ScatterEstimate>(
        estimateScatter(study, r.scatter, r.scatterLower, r.scatterUpper, r.dewK, r.scatterSmoothFwhm));
    slot.subtracted.reset();
    slot.key = key;
  }
  return slot.estimate;
}

// The study with the recipe's estimate subtracted (clamped at 0).
StudyPtr subtractedStudy(const ProjectionStudy& study, const Recipe& r) {
  const ScatterSlot& slot = scatterSlot(study);
  std::lock_guard<std::mutex> lock(slot.mutex);
  const std::shared_ptr<const ScatterEstimate> e = slotEstimate(slot, study, r);
  if (!slot.subtracted) slot.subtracted = scatterSubtracted(study, e->values);
  return slot.subtracted;
}

// The rows of the estimate (V x R x B) for one row: V x B.
std::vector<double> rowOf(const ProjectionStudy& study, const std::vector<double>& estimate, int row) {
  if (estimate.empty()) return {};
  const int b = study.bins();
  std::vector<double> out(std::size_t(study.views()) * b);
  for (int k = 0; k < study.views(); ++k)
    std::copy_n(estimate.begin() + std::ptrdiff_t((std::size_t(k) * study.rows() + row) * b), b,
                out.begin() + std::ptrdiff_t(std::size_t(k) * b));
  return out;
}

RecipeSlice runRow(const ProjectionStudy& study, const Recipe& r, int row, int threads,
                   const std::atomic<bool>* cancel, bool withLikelihood, bool mustModel,
                   const std::vector<double>& scatter = {}) {
  RecipeSlice out;
  const int b = study.bins();
  const bool fbpMethod = r.method == RecipeMethod::Fbp;
  bool correct = r.correctsAttenuation();
  const bool fromMap = correct && !r.muMap.empty();
  std::vector<double> fbp, mu;
  if (fbpMethod || (correct && !fromMap && r.outline != OutlineSource::Phantom)) fbp = fbpCounts(study, r, row);
  if (fromMap) {
    mu = muMapSlice(r.muMap, study.rows(), b, row, study.geometry().pixelSizeMm);
    out.fromMuMap = true;
    // A row without matter needs no correction.
    correct = std::any_of(mu.begin(), mu.end(), [](double m) { return m > 0; });
  } else if (correct) {
    out.muPerPixel = muPerPixel(r.muPerCm, study.geometry().pixelSizeMm);
    if (r.outline != OutlineSource::Threshold) out.outline = phantomOutline(study, row);
    if (!out.outline.present && r.outline != OutlineSource::Phantom)
      out.outline = thresholdOutline(fbp, b, r.threshold);
    if (!out.outline.present) {
      if (mustModel) {
        out.refusal = r.outline == OutlineSource::Phantom
                          ? fill("%1 行目はファントムの輪郭の外です。", {std::to_string(row)})
                          : fill("%1 行目の FBP にしきい値を超える画素がありません。", {std::to_string(row)});
        return out;
      }
      correct = false;
    }
  }
  if (fbpMethod && fromMap) {
    const ReconFilter filter = r.filter == FilterWindow::SheppLogan ? ReconFilter::SheppLogan : ReconFilter::Ramp;
    out.values = correct ? muMapChangCorrected(study, row, fbp, filter, mu, r.chang == ChangCorrection::Iterated ? 1 : 0)
                         : std::move(fbp);
    return out;
  }
  if (fbpMethod) {
    out.values = correct ? changCorrected(study, row, fbp, r.filter == FilterWindow::SheppLogan
                                                               ? ReconFilter::SheppLogan
                                                               : ReconFilter::Ramp,
                                          out.outline, out.muPerPixel,
                                          r.chang == ChangCorrection::Iterated ? 1 : 0)
                         : std::move(fbp);
    return out;
  }
  ViewWeights weights;
  if (correct) weights = fromMap ? muMapWeights(study, mu) : attenuationWeights(study, out.outline, out.muPerPixel);
  OsemResult o;
  if (r.resolutionRecovery || !scatter.empty()) {
    const PsfSetup psf = psfOf(study, r);
    o = osemPsf(study, row, r.resolutionRecovery ? &psf : nullptr, rowOf(study, scatter, row), r.subsets,
                r.iterations, threads, cancel, withLikelihood, correct ? &weights : nullptr);
  } else {
    o = osem(study, row, r.subsets, r.iterations, threads, cancel, withLikelihood, correct ? &weights : nullptr);
  }
  out.iterations = std::move(o.images);
  out.likelihood = std::move(o.likelihood);
  if (!out.iterations.empty()) out.values = postFiltered(r, out.iterations.back(), b);
  return out;
}

}  // namespace

std::shared_ptr<const ScatterEstimate> recipeScatter(const ProjectionStudy& study, const Recipe& r) {
  if (r.scatter == ScatterMethod::None) return nullptr;
  const ScatterSlot& slot = scatterSlot(study);
  std::lock_guard<std::mutex> lock(slot.mutex);
  return slotEstimate(slot, study, r);
}

double fbpToCounts(const ProjectionStudy& study) {
  // The program's FBP sums its views without the factor pi / V of the inverse Radon transform.
  return 3.14159265358979323846 / study.views();
}

std::string checkRecipe(const ProjectionStudy& study, const Recipe& r) {
  if (!r.muMap.empty()) {
    if (r.muMap.size() != std::size_t(study.rows()) * study.bins() * study.bins())
      return fill("μ マップの大きさ（%1 値）がこの検査（%2 行 × %3 x %3 画素）と合いません。",
                  {std::to_string(r.muMap.size()), std::to_string(study.rows()), std::to_string(study.bins())});
    for (float m : r.muMap)
      if (!(m >= 0 && m <= 10)) return "μ マップの値は 0 から 10 cm^-1 までです。";
  }
  if (r.scatter != ScatterMethod::None) {
    const std::shared_ptr<const ScatterEstimate> e = recipeScatter(study, r);
    if (!e->ok()) return e->refusal;
  }
  if (r.resolutionRecovery) {
    if (r.method != RecipeMethod::Osem) return "分解能補正は MLEM/OSEM にだけ使えます。";
    if (!(study.geometry().pixelSizeMm > 0)) return "画素サイズが分からないため、分解能補正ができません。";
    const Collimator& c = r.collimator;
    if (!(c.intrinsicMm >= 0 && c.intrinsicMm <= 50 && c.faceMm >= 0 && c.faceMm <= 50 && c.slope >= 0 && c.slope <= 1))
      return "コリメータは R_i と R_c0 が 0 から 50 mm、k が 0 から 1 です。";
    const std::vector<double> radii = psfOf(study, r).radiusMm;
    for (double radius : radii)
      if (!(radius > 0 && radius <= 1000))
        return "分解能補正には回転半径（0 より大きく 1000 mm まで）が要ります。検査に記録がなければ入力してください。";
  }
  if (r.method == RecipeMethod::Fbp) {
    if (!ownKernel(r.filter)) {
      const std::string why = checkWindowSettings(r.filter, r.windowCutoff, r.windowOrder);
      if (!why.empty()) return why;
      if (r.chang != ChangCorrection::None) return "Chang の補正は Ramp か Shepp-Logan の FBP にだけ使えます。";
    }
  } else {
    if (r.subsets < 1 || study.views() % r.subsets != 0)
      return fill("サブセット数 %1 はビュー数 %2 を割り切れません。",
                  {std::to_string(r.subsets), std::to_string(study.views())});
    if (r.iterations < 1 || r.iterations > 100) return "反復回数は 1 から 100 までです。";
    if (!(r.postFilterFwhm >= 0 && r.postFilterFwhm <= 100)) return "後処理の FWHM は 0 から 100 画素までです。";
  }
  if (r.correctsAttenuation()) {
    if (!(study.geometry().pixelSizeMm > 0))
      return "画素サイズが分からないため、μ（cm^-1）を画素あたりにできず、減弱を補正できません。";
    if (!(r.muPerCm >= 0 && r.muPerCm <= 10)) return "μ は 0 から 10 cm^-1 までです。";
    // The attenuated projector keeps one weight a pixel a view.
    if (r.method == RecipeMethod::Osem &&
        double(study.views()) * study.bins() * study.bins() > 16.0 * 1024 * 1024)
      return fill("この検査（%1 ビュー × %2 x %2）は減弱込みの OSEM には大きすぎます。",
                  {std::to_string(study.views()), std::to_string(study.bins())});
  }
  return {};
}

RecipeSlice runRecipe(const ProjectionStudy& study, const Recipe& r, int row, int threads,
                      const std::atomic<bool>* cancel, bool withLikelihood) {
  RecipeSlice out;
  out.refusal = checkRecipe(study, r);
  if (!out.ok()) return out;
  row = std::clamp(row, 0, study.rows() - 1);
  if (r.scatter != ScatterMethod::None) {
    if (r.method == RecipeMethod::Fbp)
      return runRow(*subtractedStudy(study, r), r, row, std::max(1, threads), cancel, withLikelihood, true);
    const std::shared_ptr<const ScatterEstimate> e = recipeScatter(study, r);
    return runRow(study, r, row, std::max(1, threads), cancel, withLikelihood, true, e->values);
  }
  return runRow(study, r, row, std::max(1, threads), cancel, withLikelihood, true);
}

std::uint64_t recipeVolumeMemoryBytes(const ProjectionStudy& study, const Recipe& r, int threads) {
  std::uint64_t need = volumeMemoryBytes(study, threads);
  const bool scatter = r.scatter != ScatterMethod::None;
  if (scatter) need += std::uint64_t(study.views()) * study.rows() * study.bins() * 8;  // the estimate
  if (!r.correctsAttenuation() && r.method == RecipeMethod::Osem && (r.resolutionRecovery || scatter)) {
    const PsfSetup psf = psfOf(study, r);
    need += psfVolumeMemoryBytes(study, r.resolutionRecovery ? &psf : nullptr, r.subsets, scatter, threads);
  }
  return need;
}

RecipeVolume runRecipeVolume(const ProjectionStudy& given, const Recipe& r, int threads,
                             const std::function<bool(int)>& step, const std::atomic<bool>* cancel) {
  RecipeVolume out;
  out.refusal = checkRecipe(given, r);
  if (!out.ok()) return out;
  std::shared_ptr<const ScatterEstimate> estimate;
  StudyPtr subtracted;
  if (r.scatter != ScatterMethod::None) {
    if (r.method == RecipeMethod::Fbp) subtracted = subtractedStudy(given, r);
    else estimate = recipeScatter(given, r);
  }
  static const std::vector<double> kNone;
  const std::vector<double>& scatter = estimate ? estimate->values : kNone;
  const ProjectionStudy& study = subtracted ? *subtracted : given;
  threads = std::max(1, threads);
  const int rows = study.rows();
  bool stopped = false;
  auto counted = [&](int done) {
    const bool go = !step || step(done);
    if (!go) stopped = true;
    return go;
  };
  if (!r.correctsAttenuation() && r.method == RecipeMethod::Osem && (r.resolutionRecovery || !scatter.empty())) {
    // Every row at once (the blur crosses rows); progress in rows, by iterations.
    const PsfSetup psf = psfOf(study, r);
    out.slices = osemPsfVolume(study, r.resolutionRecovery ? &psf : nullptr, scatter, r.subsets, r.iterations,
                               threads, [&](int it) { return counted(it * rows / r.iterations); }, cancel);
  } else if (!r.correctsAttenuation() && r.method == RecipeMethod::Osem) {
    out.slices = osemVolume(study, r.subsets, r.iterations, threads, counted, cancel);
  } else if (!r.correctsAttenuation() && ownKernel(r.filter)) {
    const BwParameters* bw = r.prefilter ? &r.bw : nullptr;
    out.slices = fbpVolume(study, r.filter == FilterWindow::SheppLogan ? ReconFilter::SheppLogan : ReconFilter::Ramp,
                           threads, counted, bw);
    const double toCounts = fbpToCounts(study);
    for (auto& s : out.slices)
      for (double& v : s) v *= toCounts;
  } else {
    // Row by row with the corrections, `threads` rows at a time.
    out.slices.assign(std::size_t(rows), {});
    std::atomic<int> next{0}, done{0};
    std::atomic<bool> stop{false};
    std::mutex report;
    auto work = [&] {
      for (int row = next++; row < rows && !stop && !(cancel && *cancel); row = next++) {
        RecipeSlice s = runRow(study, r, row, 1, cancel, false, false, scatter);
        out.slices[std::size_t(row)] = s.iterations.empty() ? std::move(s.values) : std::move(s.iterations.back());
        std::lock_guard<std::mutex> lock(report);
        if (!counted(++done)) stop = true;
      }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
  }
  out.complete = !stopped && !(cancel && *cancel);
  for (const auto& s : out.slices)
    if (s.empty()) out.complete = false;
  return out;
}

std::vector<double> postFiltered(const Recipe& r, const std::vector<double>& slice, int bins) {
  if (r.method == RecipeMethod::Fbp || !(r.postFilterFwhm > 0)) return slice;
  return gaussianFilter(slice, bins, r.postFilterFwhm);
}

std::string methodName(const Recipe& r) {
  if (r.method == RecipeMethod::Fbp) return "FBP";
  return r.subsets == 1 ? "MLEM" : "OSEM";
}

std::vector<std::string> describeRecipe(const Recipe& r, const std::string& study, int row) {
  std::vector<std::string> parts;
  if (!study.empty()) parts.push_back(study);
  parts.push_back(row >= 0 ? fill("%1 行目", {std::to_string(row)}) : std::string("全スライス"));
  const bool fbp = r.method == RecipeMethod::Fbp;
  if (fbp) {
    static const char* const names[] = {"Ramp", "Shepp-Logan", "Hann", "Hamming", "Parzen", "Cosine", "Butterworth"};
    const std::string name = names[int(r.filter)];
    if (ownKernel(r.filter))
      parts.push_back(fill("FBP（%1）", {name}));
    else if (r.filter == FilterWindow::Butterworth)
      parts.push_back(fill("FBP（%1 窓、カットオフ %2、次数 %3）", {name, number(r.windowCutoff), number(r.windowOrder)}));
    else
      parts.push_back(fill("FBP（%1 窓、カットオフ %2）", {name, number(r.windowCutoff)}));
    if (r.prefilter)
      parts.push_back(fill("BW 前処理（次数 %1、カットオフ %2）", {number(r.bw.order), number(r.bw.cutoff)}));
  } else if (r.subsets == 1) {
    parts.push_back(fill("MLEM %1 回", {std::to_string(r.iterations)}));
  } else {
    parts.push_back(fill("OSEM %1 サブセット × %2 回", {std::to_string(r.subsets), std::to_string(r.iterations)}));
  }
  if (r.correctsAttenuation()) {
    if (fbp)
      parts.push_back(r.chang == ChangCorrection::Iterated ? "Chang 1次 + 反復1回" : "Chang 1次");
    else
      parts.push_back("減弱込みの投影");
    const std::string threshold = number(r.threshold * 100);
    if (!r.muMap.empty()) {
      parts.push_back("μ マップ");
    } else {
      parts.push_back(fill("μ = %1 cm^-1", {number(r.muPerCm)}));
      parts.push_back(r.outline == OutlineSource::Phantom     ? std::string("ファントムの輪郭")
                      : r.outline == OutlineSource::Threshold ? fill("FBP のしきい値 %1 % の輪郭", {threshold})
                                                              : fill("ファントムの輪郭（なければ FBP の %1 %）", {threshold}));
    }
  } else {
    parts.push_back("減弱補正なし");
  }
  if (r.scatter == ScatterMethod::Tew) parts.push_back("散乱補正 TEW");
  else if (r.scatter == ScatterMethod::Dew) parts.push_back(fill("散乱補正 DEW（k = %1）", {number(r.dewK)}));
  if (!fbp && r.resolutionRecovery) parts.push_back("分解能補正");
  if (!fbp) {
    if (r.postFilterFwhm > 0)
      parts.push_back(fill("ガウス後処理 FWHM %1 画素", {number(r.postFilterFwhm)}));
    else
      parts.push_back("後処理なし");
  }
  return parts;
}

std::string joinDescription(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "、") + p;
  return out;
}

}  // namespace sinora
