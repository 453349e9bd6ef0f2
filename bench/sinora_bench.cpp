// Speed of every image, fast beside the literal transcription, and of the window's handlers end
// to end (controls read, images computed, frame pictures updated). Run:
//   QT_QPA_PLATFORM=offscreen build/bench/sinora-bench
#include <QApplication>
#include <QRadioButton>

#include <benchmark/benchmark.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <filesystem>
#include <fstream>
#include <stdlib.h>

#include "formats/formats.h"
#include "imaging/big_pages.h"
#include "imaging/filter_analysis.h"
#include "imaging/iterative.h"
#include "imaging/phantom.h"
#include "imaging/resolution.h"
#include "imaging/scatter.h"
#include "imaging/slices.h"

#include "doc/SinoraDoc.h"
#include "imaging/point_source.h"
#include "imaging/reconstruction.h"
#include "imaging/sample_study.h"
#include "literal.h"
#include "res/resource.h"
#include "windows/Dialog1.h"
#include "windows/Dialog2.h"
#include "windows/FilterWindow.h"

#include <QDoubleSpinBox>

using namespace sinora;

namespace {

const ProjectionStudy& study() { return *sampleStudy(); }
const BwParameters kBw{8, 0.1};

void Projection_fast(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(render(projectionImage(study(), 10, 7), Palette::Ribbon));
}
void Projection_literal(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(literal::paint(literal::projection(study(), 10, 7), Palette::Ribbon));
}
void Smoothed_fast(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(render(smoothedProjection(study(), 10, kBw, 7), Palette::Ribbon));
}
void Smoothed_literal(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(literal::paint(literal::smoothed(study(), 10, 8, 0.1, 7), Palette::Ribbon));
}
void Backprojection_fast(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(render(backprojectionImage(study(), 60, 7), Palette::Ribbon));
}
void Backprojection_literal(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(literal::paint(literal::backprojection(study(), 60, 7), Palette::Ribbon));
}
void FilteredBackprojection_fast(benchmark::State& s) {
  for (auto _ : s)
    benchmark::DoNotOptimize(render(filteredBackprojection(study(), 60, ReconFilter::Ramp, 7), Palette::Ribbon));
}
void FilteredBackprojection_literal(benchmark::State& s) {
  for (auto _ : s)
    benchmark::DoNotOptimize(literal::paint(literal::reconprojection(study(), 60, 1, 7), Palette::Ribbon));
}
void PrefilteredBackprojection_fast(benchmark::State& s) {
  for (auto _ : s)
    benchmark::DoNotOptimize(
        render(prefilteredBackprojection(study(), 60, ReconFilter::Ramp, kBw, 7), Palette::Ribbon));
}
void PrefilteredBackprojection_literal(benchmark::State& s) {
  for (auto _ : s)
    benchmark::DoNotOptimize(
        literal::paint(literal::sumreconprojection(study(), 60, 1, 8, 0.1, 7), Palette::Ribbon));
}
void PointSourceBackprojection_fast(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(render(pointSourceBackprojection(1), Palette::Ribbon));
}
void PointSourceBackprojection_literal(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(literal::paint(literal::gazou(1), Palette::Ribbon));
}
void PointSourceRamp_fast(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(render(pointSourceRamp(1), Palette::Ribbon));
}
void PointSourceRamp_literal(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(literal::paint(literal::rampgazou(1), Palette::Ribbon));
}
void PointSourceBwRamp_fast(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(render(pointSourceBwRamp(1, 2, 0.25), Palette::Ribbon));
}
void PointSourceBwRamp_literal(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(literal::paint(literal::sumrampgazou(1, 2, 0.25), Palette::Ribbon));
}

void ShowReconstructions_fast(benchmark::State& s) {
  for (auto _ : s) {
    benchmark::DoNotOptimize(render(backprojectionImage(study(), 60, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(render(filteredBackprojection(study(), 60, ReconFilter::Ramp, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(
        render(prefilteredBackprojection(study(), 60, ReconFilter::Ramp, kBw, 7), Palette::Ribbon));
  }
}
void ShowReconstructions_literal(benchmark::State& s) {
  for (auto _ : s) {
    benchmark::DoNotOptimize(literal::paint(literal::backprojection(study(), 60, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(literal::paint(literal::reconprojection(study(), 60, 1, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(
        literal::paint(literal::sumreconprojection(study(), 60, 1, 8, 0.1, 7), Palette::Ribbon));
  }
}
// A 120-view study of 128 x 128 (the sample's views, each taken twice, 3 degrees apart): the
// three slices of the reconstruction window through the code for any geometry.
const ProjectionStudy& study120() {
  static const ProjectionStudy s = [] {
    StudyGeometry g;
    g.views = 120;
    std::vector<std::uint16_t> counts;
    for (int k = 0; k < 120; ++k) {
      const std::uint16_t* p = study().projection(k / 2);
      counts.insert(counts.end(), p, p + kPixels);
      g.angles.push_back(k * 3.0);
    }
    return ProjectionStudy(g, std::move(counts));
  }();
  return s;
}
void ShowReconstructions120(benchmark::State& s) {
  (void)study120().binTable();  // built once per study, when it is first shown
  for (auto _ : s) {
    benchmark::DoNotOptimize(fitToFrame(backprojectionPicture(study120(), 60, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(fitToFrame(filteredPicture(study120(), 60, ReconFilter::Ramp, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(
        fitToFrame(prefilteredPicture(study120(), 60, ReconFilter::Ramp, kBw, 7), Palette::Ribbon));
  }
}
// 120 views of 128 x 128 as a camera would send them: Interfile (16-bit) and DICOM NM
// (multi-frame, 16-bit), written once into a temporary folder.
// Removed when the benchmarks end (nothing is left in /tmp).
std::string& madeFolder() {
  static std::string dir;
  return dir;
}
std::string benchFolder() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/sinora-bench-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    madeFolder() = made ? made : "";
    return madeFolder();
  }();
  return dir;
}
std::vector<std::uint16_t> counts120() {
  std::vector<std::uint16_t> c;
  for (int k = 0; k < 120; ++k) {
    const std::uint16_t* p = study().projection(k / 2);
    c.insert(c.end(), p, p + kPixels);
  }
  return c;
}
const std::string& interfile120() {
  static const std::string header = [] {
    const std::string dir = benchFolder();
    const std::vector<std::uint16_t> c = counts120();
    std::ofstream(dir + "/s.s", std::ios::binary)
        .write(reinterpret_cast<const char*>(c.data()), std::streamsize(c.size() * 2));
    std::ofstream(dir + "/s.hs") << "!INTERFILE :=\n!imaging modality := nucmed\n"
                                    "name of data file := s.s\n!type of data := Tomographic\n"
                                    "imagedata byte order := LITTLEENDIAN\n"
                                    "!number format := unsigned integer\n"
                                    "!number of bytes per pixel := 2\n!matrix size [1] := 128\n"
                                    "!matrix size [2] := 128\n!number of projections := 120\n";
    return dir + "/s.hs";
  }();
  return header;
}
const std::string& dicom120() {
  static const std::string path = [] {
    const std::string p = benchFolder() + "/s.dcm";
    DcmFileFormat file;
    DcmDataset* ds = file.getDataset();
    ds->putAndInsertString(DCM_SOPClassUID, UID_NuclearMedicineImageStorage);
    ds->putAndInsertString(DCM_Modality, "NM");
    ds->putAndInsertString(DCM_ImageType, "ORIGINAL\\PRIMARY\\TOMO\\EMISSION");
    ds->putAndInsertUint16(DCM_Rows, 128);
    ds->putAndInsertUint16(DCM_Columns, 128);
    ds->putAndInsertString(DCM_NumberOfFrames, "120");
    ds->putAndInsertUint16(DCM_BitsAllocated, 16);
    ds->putAndInsertUint16(DCM_BitsStored, 16);
    ds->putAndInsertUint16(DCM_HighBit, 15);
    ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
    ds->putAndInsertUint16(DCM_SamplesPerPixel, 1);
    ds->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    const std::vector<std::uint16_t> c = counts120();
    ds->putAndInsertUint16Array(DCM_PixelData, c.data(), c.size());
    file.saveFile(p.c_str(), EXS_LittleEndianExplicit);
    return p;
  }();
  return path;
}
void OpenStudy_Interfile(benchmark::State& s) {
  if (!formats::readAnyStudy(interfile120()).study) s.SkipWithError("the study does not open");
  for (auto _ : s) benchmark::DoNotOptimize(formats::readAnyStudy(interfile120()));
}
void OpenStudy_Dicom(benchmark::State& s) {
  if (!formats::readAnyStudy(dicom120()).study) s.SkipWithError("the study does not open");
  for (auto _ : s) benchmark::DoNotOptimize(formats::readAnyStudy(dicom120()));
}

// OSEM 10 subsets x 4 iterations of slice 60, on 1 or 2 threads; and every slice of the study.
void OsemSlice(benchmark::State& s) {
  // Arg 0: threads; arg 1: with the likelihood of each iteration (as the window shows it).
  for (auto _ : s)
    benchmark::DoNotOptimize(osem(study(), 60, 10, 4, int(s.range(0)), nullptr, s.range(1) != 0));
}
// One projection and one backprojection of all 60 views of a 128 x 128 slice.
void Project60(benchmark::State& s) {
  const std::vector<double> f = startingImage(128);
  std::vector<double> out;
  for (auto _ : s) {
    forwardProject(study(), f, {}, out);
    benchmark::DoNotOptimize(out.data());
  }
}
void Backproject60(benchmark::State& s) {
  const std::vector<double> y = sinogramOf(study(), 60);
  std::vector<double> out;
  for (auto _ : s) {
    backProject(study(), y, {}, out);
    benchmark::DoNotOptimize(out.data());
  }
}
void OsemVolume(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(osemVolume(study(), 10, 4, 2, nullptr));
}
void FbpVolume(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(fbpVolume(study(), ReconFilter::Ramp, 2, nullptr));
}

// A 120-view 128 x 128 x 128 acquisition of the Jaszczak-like phantom on 2 threads. Arg 0: 1 with
// Poisson noise (10^7 counts) and a collimator blur growing with depth (8 mm FWHM at the centre,
// 200 mm radius) and attenuation (0.15 / cm); 0 noise-free, no blur, no attenuation.
void PhantomAcquisition(benchmark::State& s) {
  PhantomSettings p;
  p.kind = PhantomKind::Jaszczak;
  p.views = 120;
  p.matrix = 128;
  p.pixelMm = 2.0;
  p.noiseFree = s.range(0) == 0;
  p.fwhmMm = s.range(0) ? 8 : 0;
  p.muPerCm = s.range(0) ? 0.15 : 0;
  for (auto _ : s) benchmark::DoNotOptimize(makePhantomStudy(p, 2));
}

// The same acquisition (Tc-99m, noise, attenuation 0.15 / cm) with scatter in the three windows
// and the LEHR collimator at a 200 mm radius.
void PhantomScatterAcquisition(benchmark::State& s) {
  PhantomSettings p;
  p.kind = PhantomKind::Jaszczak;
  p.views = 120;
  p.matrix = 128;
  p.pixelMm = 2.0;
  p.muPerCm = 0.15;
  p.scatter = true;
  p.realCollimator = true;
  collimatorPreset("lehr", p.collimator);
  for (auto _ : s) benchmark::DoNotOptimize(makePhantomStudy(p, 2));
}

// A 120-view 128^3 Jaszczak-like study with scatter and the LEHR collimator, made once.
const ProjectionStudy& study128x120() {
  static const StudyPtr kStudy = [] {
    PhantomSettings p;
    p.views = 120;
    p.muPerCm = 0.15;
    p.scatter = true;
    p.realCollimator = true;
    collimatorPreset("lehr", p.collimator);
    return makePhantomStudy(p, 2).study;
  }();
  return *kStudy;
}

// OSEM 10 subsets x 4 iterations of every row, without and with 3-D resolution recovery.
void OsemVolume128x120(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(osemVolume(study128x120(), 10, 4, 2, nullptr));
}
void OsemVolumeRR128x120(benchmark::State& s) {
  PsfSetup psf;
  collimatorPreset("lehr", psf.collimator);
  psf.radiusMm = studyRadii(study128x120(), 200);
  for (auto _ : s) benchmark::DoNotOptimize(osemPsfVolume(study128x120(), &psf, {}, 10, 4, 2));
}

// The TEW estimate of every projection of the study from its side windows.
void ScatterTEW(benchmark::State& s) {
  const EnergyWindowSet& set = *study128x120().geometry().energyWindows;
  std::vector<double> out(set.counts[0].size());
  for (auto _ : s) {
    tewEstimate(set.counts[1].data(), set.counts[2].data(), out.size(), set.windows[1].width(),
                set.windows[2].width(), set.windows[0].width(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
}

// What a move of the cut-off slider costs: the kernel for the new cut-off, the windowed slice of
// the 60-view study and the plot's responses.
void FilterWindowUpdate(benchmark::State& s) {
  const std::vector<double> f = frequencies(129);
  double fc = 0.1;
  for (auto _ : s) {
    fc = fc >= 0.5 ? 0.1 : fc + 0.005;
    const std::vector<double> kernel = windowedKernel(FilterWindow::Hann, fc, 5, 128);
    benchmark::DoNotOptimize(fitToFrame(windowedPicture(study(), 60, kernel, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(kernelResponse(kernel, f));
  }
}

void BrowseStep_fast(benchmark::State& s) {
  for (auto _ : s) {
    benchmark::DoNotOptimize(render(projectionImage(study(), 10, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(render(smoothedProjection(study(), 10, kBw, 7), Palette::Ribbon));
  }
}
void BrowseStep_literal(benchmark::State& s) {
  for (auto _ : s) {
    benchmark::DoNotOptimize(literal::paint(literal::projection(study(), 10, 7), Palette::Ribbon));
    benchmark::DoNotOptimize(literal::paint(literal::smoothed(study(), 10, 8, 0.1, 7), Palette::Ribbon));
  }
}

// Making the built-in sample study (done once, at start-up).
void SampleStudy(benchmark::State& s) {
  for (auto _ : s) benchmark::DoNotOptimize(sampleStudyCounts());
}

// The reconstruction window's handlers, as a click runs them.
struct Window {
  CSinoraDoc doc;
  CDialog1 dialog{&doc};
  Window() {
    dialog.show();
    dialog.controls().get<QRadioButton>(res::IDC_RAMP)->setChecked(true);
  }
};

// The filter window's own handler for a move of the cut-off box (kernel, slice, every curve).
void Handler_FilterCutoff(benchmark::State& s) {
  CSinoraDoc doc;
  FilterAnalysisWindow w(&doc);
  w.show();
  double fc = 0.1;
  for (auto _ : s) {
    fc = fc >= 0.5 ? 0.1 : fc + 0.005;
    w.cutoffBox()->setValue(fc);
  }
}
BENCHMARK(Handler_FilterCutoff)->Unit(benchmark::kMillisecond);

void Handler_ShowReconstructions(benchmark::State& s) {
  Window w;
  for (auto _ : s) w.dialog.OnButton4();
}
void Handler_DensityStep(benchmark::State& s) {
  Window w;
  w.dialog.controls().get<QRadioButton>(res::IDC_DENSITY_PRE_FBP)->setChecked(true);
  for (auto _ : s) {
    w.dialog.OnHScroll(CDialog1::SB_LINERIGHT);
    w.dialog.OnHScroll(CDialog1::SB_ENDSCROLL);
  }
}
void Handler_Browse(benchmark::State& s) {
  Window w;
  for (auto _ : s) w.dialog.OnButton1();
}
void Handler_PointSourceButton3(benchmark::State& s) {
  CDialog2 dialog;
  dialog.show();
  for (auto _ : s) dialog.OnButton3();
}

}  // namespace

BENCHMARK(ShowReconstructions120)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenStudy_Interfile)->Name("OpenStudy/Interfile")->Unit(benchmark::kMillisecond);
BENCHMARK(OpenStudy_Dicom)->Name("OpenStudy/Dicom")->Unit(benchmark::kMillisecond);
BENCHMARK(OsemSlice)->Args({1, 0})->Args({1, 1})->Args({2, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(FilterWindowUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(Project60);
BENCHMARK(Backproject60);
BENCHMARK(PhantomAcquisition)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(OsemVolume)->Unit(benchmark::kMillisecond);
BENCHMARK(OsemVolume128x120)->Name("OsemVolume/128x120")->Unit(benchmark::kMillisecond);
BENCHMARK(OsemVolumeRR128x120)->Name("OsemVolumeRR/128x120")->Unit(benchmark::kMillisecond);
BENCHMARK(ScatterTEW)->Unit(benchmark::kMillisecond);
BENCHMARK(PhantomScatterAcquisition)->Unit(benchmark::kMillisecond);
BENCHMARK(FbpVolume)->Unit(benchmark::kMillisecond);
BENCHMARK(Projection_fast);
BENCHMARK(Projection_literal);
BENCHMARK(Smoothed_fast);
BENCHMARK(Smoothed_literal);
BENCHMARK(Backprojection_fast);
BENCHMARK(Backprojection_literal);
BENCHMARK(FilteredBackprojection_fast);
BENCHMARK(FilteredBackprojection_literal);
BENCHMARK(PrefilteredBackprojection_fast);
BENCHMARK(PrefilteredBackprojection_literal);
BENCHMARK(PointSourceBackprojection_fast);
BENCHMARK(PointSourceBackprojection_literal);
BENCHMARK(PointSourceRamp_fast);
BENCHMARK(PointSourceRamp_literal);
BENCHMARK(PointSourceBwRamp_fast);
BENCHMARK(PointSourceBwRamp_literal);
BENCHMARK(ShowReconstructions_fast)->Name("ShowReconstructions/fast");
BENCHMARK(ShowReconstructions_literal)->Name("ShowReconstructions/literal");
BENCHMARK(BrowseStep_fast)->Name("BrowseStep/fast");
BENCHMARK(BrowseStep_literal)->Name("BrowseStep/literal");
BENCHMARK(SampleStudy)->Unit(benchmark::kMillisecond);
BENCHMARK(Handler_ShowReconstructions)->Unit(benchmark::kMillisecond);
BENCHMARK(Handler_DensityStep)->Unit(benchmark::kMillisecond);
BENCHMARK(Handler_Browse)->Unit(benchmark::kMillisecond);
BENCHMARK(Handler_PointSourceButton3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  sinora::keepFreedMemory();  // as the program does
  QApplication app(argc, argv);
  sampleStudy();  // made once, before timing
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (!madeFolder().empty()) std::filesystem::remove_all(madeFolder());
  benchmark::Shutdown();
  return 0;
}
