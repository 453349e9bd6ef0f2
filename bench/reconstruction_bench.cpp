// Speed of the reconstructions on a phantom study, beside the processor's floor and other
// programs (bench/peers.py). The study is the Jaszczak phantom with Poisson noise, made once per
// geometry before any timing. Run:
//   build/bench/sinora-recon-bench
//   build/bench/sinora-recon-bench --write-study 128x120   (the study and our OSEM slice, for peers.py)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/big_pages.h"
#include "imaging/filter_analysis.h"
#include "imaging/iterative.h"
#include "imaging/phantom.h"
#include "imaging/recipe.h"
#include "imaging/slices.h"

using namespace sinora;

namespace {

// The window's and sinora-render's thread count.
constexpr int kDefaultThreads = 2;

const ProjectionStudy& phantom(int matrix, int views) {
  static std::map<std::pair<int, int>, StudyPtr> made;
  StudyPtr& s = made[{matrix, views}];
  if (!s) {
    PhantomSettings p;
    p.kind = PhantomKind::Jaszczak;
    p.matrix = matrix;
    p.views = views;
    p.pixelMm = 256.0 / matrix;
    p.counts = 1e7 * (matrix / 128.0) * (matrix / 128.0) * (views / 120.0);
    s = makePhantomStudy(p, kDefaultThreads).study;
    if (!s) {
      std::fprintf(stderr, "the phantom %dx%d could not be made\n", matrix, views);
      std::exit(1);
    }
  }
  return *s;
}

// The thorax (128 x 128 of 3 mm, 60 views, noise), for attenuation.
const ProjectionStudy& thorax() {
  static StudyPtr s;
  if (!s) {
    PhantomSettings p;
    p.kind = PhantomKind::Thorax;
    p.matrix = 128;
    p.pixelMm = 3;
    p.views = 60;
    p.muPerCm = 0.15;
    p.counts = 5e6;
    s = makePhantomStudy(p, kDefaultThreads).study;
    if (!s) {
      std::fprintf(stderr, "the thorax could not be made\n");
      std::exit(1);
    }
  }
  return *s;
}

// OSEM 10 x 4 of the heart's slice with the attenuated projector, the weights included: uniform
// mu inside the body's outline, or the phantom's own mu map.
void OsemSliceAttenuated(benchmark::State& s, bool fromMap) {
  const ProjectionStudy& study = thorax();
  Recipe r;
  r.method = RecipeMethod::Osem;
  r.subsets = 10;
  r.iterations = 4;
  r.attenuatedProjector = true;
  r.outline = OutlineSource::Phantom;
  if (fromMap) r.muMap = phantomMuMap(*phantomInfo(study));
  benchmark::DoNotOptimize(runRecipe(study, r, 64, kDefaultThreads, nullptr, false));
  for (auto _ : s) benchmark::DoNotOptimize(runRecipe(study, r, 64, kDefaultThreads, nullptr, false));
}

// OSEM 10 subsets x 4 iterations of the middle slice (no likelihood: the peers compute none).
void OsemSlice(benchmark::State& s, int threads) {
  const ProjectionStudy& study = phantom(128, 120);
  benchmark::DoNotOptimize(osem(study, 64, 10, 4, threads, nullptr, false));  // kept tables
  for (auto _ : s) benchmark::DoNotOptimize(osem(study, 64, 10, 4, threads, nullptr, false));
}

// warm: the volume's own tables made before the timing too (a volume after the study's first),
// so that a volume timed twice and one timed a hundred times compare alike.
void OsemVolume(benchmark::State& s, int matrix, int views, bool warm) {
  const ProjectionStudy& study = phantom(matrix, views);
  (void)study.binLists(true);  // kept with the study after its first reconstruction
  (void)study.binTable();
  if (warm) benchmark::DoNotOptimize(osemVolume(study, 10, 1, kDefaultThreads, nullptr));
  for (auto _ : s) benchmark::DoNotOptimize(osemVolume(study, 10, 4, kDefaultThreads, nullptr));
}

void FbpSlice(benchmark::State& s) {
  const ProjectionStudy& study = phantom(128, 120);
  benchmark::DoNotOptimize(filteredPicture(study, 64, ReconFilter::Ramp, 7));
  for (auto _ : s) benchmark::DoNotOptimize(filteredPicture(study, 64, ReconFilter::Ramp, 7));
}

void FbpVolume(benchmark::State& s, int matrix, int views) {
  const ProjectionStudy& study = phantom(matrix, views);
  (void)study.blockTable();  // kept with the study after its first slice or volume
  (void)study.binTable();
  for (auto _ : s) benchmark::DoNotOptimize(fbpVolume(study, ReconFilter::Ramp, kDefaultThreads, nullptr));
}

// What opening a study and looking at a slice costs: every table the slice needs is made for the
// new study (the study's counts are copied outside the timing).
void FirstSliceOfNewStudy(benchmark::State& s, int matrix, int views) {
  const ProjectionStudy& made = phantom(matrix, views);
  for (auto _ : s) {
    auto fresh = std::make_unique<ProjectionStudy>(made.geometry(), made.counts());
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(filteredPicture(*fresh, matrix / 2, ReconFilter::Ramp, 7));
    const auto t1 = std::chrono::steady_clock::now();
    s.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
}

// A move of the filter window's cut-off: the kernel for the new cut-off (built once, then kept),
// the windowed slice and the kernel's response for the plot.
void FilterWindowUpdate(benchmark::State& s) {
  const ProjectionStudy& study = phantom(128, 120);
  const std::vector<double> f = frequencies(129);
  double fc = 0.1;
  for (auto _ : s) {
    fc = fc >= 0.5 ? 0.1 : fc + 0.005;
    const std::vector<double> kernel = windowedKernel(FilterWindow::Hann, fc, 5, 128);
    benchmark::DoNotOptimize(windowedPicture(study, 64, kernel, 7));
    benchmark::DoNotOptimize(kernelResponse(kernel, f));
  }
}

// For bench/peers.py, on stdout: "views rows bins", the angles (degrees), then the counts
// (uint16, host order) and our OSEM 10 x 4 of the middle row (float64), nothing on disk.
int writeStudy(const char* what) {
  int matrix = 0, views = 0;
  if (std::sscanf(what, "%dx%d", &matrix, &views) != 2) return 2;
  const ProjectionStudy& s = phantom(matrix, views);
  std::printf("%d %d %d\n", s.views(), s.rows(), s.bins());
  for (int k = 0; k < s.views(); ++k) std::printf("%.17g\n", s.angleDegrees(k));
  std::fflush(stdout);
  std::fwrite(s.counts().data(), 2, s.counts().size(), stdout);
  const std::vector<double> slice = osem(s, s.rows() / 2, 10, 4, 1, nullptr, false).images.back();
  std::fwrite(slice.data(), 8, slice.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

BENCHMARK_CAPTURE(OsemSlice, 128x120/threads:1, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OsemSlice, 128x120, kDefaultThreads)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OsemVolume, 128x120, 128, 120, true)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(OsemVolume, 256x120, 256, 120, true)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(2);
BENCHMARK_CAPTURE(OsemVolume, 256x360, 256, 360, false)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);
BENCHMARK_CAPTURE(OsemSliceAttenuated, 128x60, false)->Name("OsemSliceUniformMu/128x60")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OsemSliceAttenuated, 128x60, true)->Name("OsemSliceMuMap/128x60")->Unit(benchmark::kMillisecond);
BENCHMARK(FbpSlice)->Name("FbpSlice/128x120")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FbpVolume, 128x120, 128, 120)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(FbpVolume, 256x360, 256, 360)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);
BENCHMARK_CAPTURE(FirstSliceOfNewStudy, 256x360, 256, 360)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(FilterWindowUpdate)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-study") == 0) return writeStudy(argv[2]);
  keepFreedMemory();  // as the program and sinora-render do
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
