// Opening a CT for attenuation: the GE Discovery study's 303-slice CT (JPEG-LS, 512 x 512) read
// and resampled into its SPECT's 128 x 128 x 128 slice grid. Skipped when the data are absent.
// Decoding JPEG-LS (CharLS inside DCMTK, 9 to 11 ms of CPU a slice here; the system's CharLS 2.4
// is no faster) is about 85 % of the time, so the program decodes only the slices the SPECT's
// grid can reach (shifts included; `decoded` counts them); /grid:0 decodes every slice, for
// comparison, and /threads:1 shows what the second core gives.
// Run: build/bench/sinora-ct-bench
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <string>

#include "formats/ct.h"
#include "formats/dicom.h"
#include "imaging/mu_map.h"

using namespace sinora;

namespace {

const std::string kData = SINORA_SHARED_DATA "/ge-lu177-spectct";

// range(0): 1 reads only the slices the grid reaches (as the program does), 0 every slice;
// range(1): threads.
void OpenCtSeries(benchmark::State& state) {
  struct stat st {};
  if (::stat((kData + "/CT").c_str(), &st) != 0) {
    state.SkipWithError("the GE SPECT/CT study is not in shared/data");
    return;
  }
  const StudyReadResult spect = formats::readDicom(kData + "/bed2_projections.dcm");
  if (!spect.study) {
    state.SkipWithError(spect.error.c_str());
    return;
  }
  const SliceGrid grid = formats::sliceGridOf(*spect.study);
  MuMapSettings settings;
  settings.keV = formats::photopeakKeV(*spect.study);
  for (auto _ : state) {
    const formats::AttenuationReadResult ct = formats::readCtSeries(kData + "/CT", int(state.range(1)), state.range(0) ? &grid : nullptr);
    if (!ct.source) {
      state.SkipWithError(ct.error.c_str());
      return;
    }
    const MuMap map = makeMuMap(*ct.source, grid, settings);
    benchmark::DoNotOptimize(map.perCm.data());
    state.counters["decoded"] = ct.source->ct->slices;
  }
}

}  // namespace

BENCHMARK(OpenCtSeries)->ArgNames({"grid", "threads"})->Args({1, 2})->Args({1, 1})->Args({0, 2})->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->MeasureProcessCPUTime()->UseRealTime();

BENCHMARK_MAIN();
