// DICOM NM and the orientation of imported studies. The acquisitions are made and written by an
// outside writer (pydicom, DCMTK's compression tools) from a known asymmetric object: a hot spot
// at the patient's left front and a cold spot at the right back, in a warm disc.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <filesystem>
#include <string>

#include "formats/dicom.h"
#include "formats/formats.h"
#include "imaging/slices.h"
#include "peak.h"
#include "written_once.h"

using namespace sinora;
using namespace sinora::formats;
namespace fs = std::filesystem;

namespace {

const std::string kGe = std::string(SINORA_SHARED_DATA) + "/ge-lu177-spectct/bed2_projections.dcm";

class Written : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // With the GE study (when the shared data is here), its conversion by STIR's converter too.
    dir_ = sinora::testing::writtenOnce("dicom", {SINORA_TEST_WRITER, kGe, "/usr/bin/dcmcrle", "/usr/bin/dcmcjpls", "/usr/bin/dcmcjpeg"},
                                        [](const fs::path& d) {
      const std::string cmd = std::string("/usr/bin/python3 '") + SINORA_TEST_WRITER + "' '" +
                              d.string() + "' '" + kGe + "' > /dev/null";
      if (std::system(cmd.c_str()) != 0) return false;
      // Compressed copies, made by DCMTK's own tools (a test counts them).
      for (const char* tool : {"dcmcrle", "dcmcjpls", "dcmcjpeg --encode-lossless-sv1"}) {
        const std::string name = std::string(tool).substr(0, std::string(tool).find(' '));
        const std::string c = std::string(tool) + " '" + (d / "dicom-CC-0.dcm").string() + "' '" +
                              (d / (name + ".dcm")).string() + "' 2> /dev/null";
        (void)std::system(c.c_str());
      }
      return true;
    });
    written_ = !dir_.empty();
    compressed_ = 0;
    for (const char* name : {"dcmcrle.dcm", "dcmcjpls.dcm", "dcmcjpeg.dcm"}) compressed_ += written_ && fs::exists(dir_ / name);
    scratch_ = fs::temp_directory_path() / ("sinora-dicom-" + std::to_string(::getpid()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
  }
  static void TearDownTestSuite() { fs::remove_all(scratch_); }
  void SetUp() override { ASSERT_TRUE(written_) << "the test writer (python3-pydicom) failed"; }
  static std::string file(const std::string& name) { return (dir_ / name).string(); }
  static fs::path dir_, scratch_;  // the shared written files; this process's own
  static bool written_;
  static int compressed_;
};
fs::path Written::dir_, Written::scratch_;
bool Written::written_ = false;
int Written::compressed_ = 0;

// Mean of a 5 x 5 block of the slice about (x, y).
double around(const Picture& p, int x, int y) {
  double s = 0;
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) s += p.at(x + dx, y + dy);
  return s / 25;
}

// Anterior up, the patient's left on the right: the hot spot (left front) at the top right, the
// cold one (right back) at the bottom left. 30 mm of 4 mm pixels from the centre 16 is 7.5.
::testing::AssertionResult readsAsARadiologistReads(const Picture& p) {
  const double topRight = around(p, 23, 8), bottomLeft = around(p, 8, 23);
  const double topLeft = around(p, 8, 8), bottomRight = around(p, 23, 23);
  if (topRight > 2 * topLeft && topRight > 2 * bottomRight && bottomLeft < 0.5 * topLeft &&
      bottomLeft < 0.5 * bottomRight)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "top left " << topLeft << ", top right " << topRight
                                       << ", bottom left " << bottomLeft << ", bottom right "
                                       << bottomRight;
}

// Type of Detector Motion CONTINUOUS: a frame's angle is the middle of its step, the same study
// as step-and-shoot frames starting half a step on; the import says so.
TEST_F(Written, ContinuousRotationTakesEachFramesMiddleAngle) {
  const StudyReadResult c = readAnyStudy(file("dicom-CW-continuous.dcm"));
  const StudyReadResult s = readAnyStudy(file("dicom-CW-midframes.dcm"));
  ASSERT_TRUE(c.study) << c.error;
  ASSERT_TRUE(s.study) << s.error;
  ASSERT_EQ(c.study->views(), s.study->views());
  for (int k = 0; k < c.study->views(); ++k)
    EXPECT_NEAR(std::remainder(c.study->angleDegrees(k) - s.study->angleDegrees(k), 360.0), 0, 1e-9) << k;
  EXPECT_TRUE(c.study->counts() == s.study->counts());
  EXPECT_NEAR(c.study->angleDegrees(0), 180 + 360.0 / 128, 1e-9);  // 180 - (0 - step / 2)
  bool said = false;
  for (const std::string& n : c.study->geometry().notes) said = said || n.find("連続回転") != std::string::npos;
  EXPECT_TRUE(said);
}

TEST_F(Written, EveryVariantShowsTheSameSliceTheRightWayRound) {
  const char* variants[] = {"dicom-CC-0.dcm",     "dicom-CW-0.dcm",      "dicom-CC-180.dcm",
                            "dicom-CW-180.dcm",   "interfile-CCW-0.hs",  "interfile-CW-0.hs",
                            "interfile-CCW-180.hs", "interfile-CW-180.hs", "dicom-two-heads.dcm",
                            // STIR's converter keeps DICOM's angle, SIMIND adds 180 degrees.
                            "stir-CC-0.hs", "stir-CW-0.hs", "stir-CC-180.hs", "stir-CW-180.hs",
                            "simind-CC-0.h00", "simind-CW-0.h00", "simind-CC-180.h00", "simind-CW-180.h00",
                            // Prone and feet first; a second head placed by its orientation.
                            "dicom-HFP.dcm", "dicom-FFS.dcm", "dicom-FFP.dcm", "dicom-FFS-codes.dcm",
                            "dicom-head2-oriented.dcm"};
  Picture first;
  for (const char* v : variants) {
    const StudyReadResult r = readAnyStudy(file(v));
    ASSERT_TRUE(r.study) << v << ": " << r.error;
    EXPECT_EQ(r.study->views(), 64) << v;
    EXPECT_EQ(r.study->bins(), 32) << v;
    EXPECT_EQ(r.study->rows(), 3) << v;
    EXPECT_DOUBLE_EQ(r.study->geometry().pixelSizeMm, 4.0) << v;
    const Picture slice = filteredPicture(*r.study, 1, ReconFilter::Ramp, 10);
    EXPECT_TRUE(readsAsARadiologistReads(slice)) << v;
    if (first.values.empty()) {
      first = slice;
      continue;
    }
    // The same views in another order: the same slice, up to the order of the sums.
    std::int32_t worst = 0, top = 1;
    for (std::size_t p = 0; p < slice.values.size(); ++p) {
      worst = std::max(worst, std::abs(slice.values[p] - first.values[p]));
      top = std::max(top, first.values[p]);
    }
    EXPECT_LE(worst, top / 100) << v;
  }
}

bool saysSomething(const ProjectionStudy& s, const std::string& part) {
  for (const std::string& n : s.geometry().notes)
    if (n.find(part) != std::string::npos) return true;
  return false;
}

// Slices of two studies agree to a thousandth of the brighter's top.
::testing::AssertionResult sameSlice(const Picture& a, const Picture& b) {
  if (a.values.size() != b.values.size()) return ::testing::AssertionFailure() << "sizes differ";
  std::int32_t worst = 0, top = 1;
  std::size_t at = 0;
  for (std::size_t p = 0; p < a.values.size(); ++p) {
    top = std::max({top, a.values[p], b.values[p]});
    if (std::abs(a.values[p] - b.values[p]) > worst) worst = std::abs(a.values[p] - b.values[p]), at = p;
  }
  if (worst <= top / 1000) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "differ by " << worst << " of " << top << " at pixel " << at;
}

// STIR's converter copies DICOM's Start Angle and writes CC as CCW: the Interfile it writes opens
// as the very study it came from, and the import says which convention it took and why.
TEST_F(Written, AStirConversionOpensAsTheDicomItCameFrom) {
  for (const char* variant : {"CC-0", "CW-0", "CC-180", "CW-180"}) {
    const StudyReadResult dicom = readAnyStudy(file(std::string("dicom-") + variant + ".dcm"));
    const StudyReadResult stir = readAnyStudy(file(std::string("stir-") + variant + ".hs"));
    ASSERT_TRUE(dicom.study && stir.study) << variant << ": " << stir.error;
    ASSERT_EQ(dicom.study->views(), stir.study->views());
    for (int k = 0; k < dicom.study->views(); ++k)
      ASSERT_NEAR(std::remainder(dicom.study->angleDegrees(k) - stir.study->angleDegrees(k), 360.0), 0, 1e-9)
          << variant << " view " << k;
    EXPECT_EQ(dicom.study->counts(), stir.study->counts()) << variant;
    EXPECT_TRUE(saysSomething(*stir.study, "imaging modality := NM")) << variant;
    EXPECT_TRUE(sameSlice(filteredPicture(*dicom.study, 1, ReconFilter::Ramp, 10),
                          filteredPicture(*stir.study, 1, ReconFilter::Ramp, 10))) << variant;
  }
  const StudyReadResult simind = readAnyStudy(file("simind-CW-0.h00"));
  ASSERT_TRUE(simind.study) << simind.error;
  EXPECT_TRUE(saysSomething(*simind.study, "originating system := simind"));
}

// The GE study and its conversion by STIR's converter show the same slice; read by Interfile
// 3.3's convention instead, the converted study would come out turned by 180 degrees.
TEST_F(Written, TheGeStudyConvertedByStirShowsTheSameSlice) {
  if (!fs::exists(file("stir-ge.hs"))) GTEST_SKIP() << "no shared data at " << kGe;
  const StudyReadResult dicom = readAnyStudy(kGe);
  const StudyReadResult stir = readAnyStudy(file("stir-ge.hs"));
  ASSERT_TRUE(dicom.study && stir.study) << stir.error;
  ASSERT_EQ(stir.study->views(), 60);
  EXPECT_EQ(dicom.study->counts(), stir.study->counts());
  const int row = 64;
  const Picture fromDicom = filteredPicture(*dicom.study, row, ReconFilter::Ramp, 10);
  EXPECT_TRUE(sameSlice(fromDicom, filteredPicture(*stir.study, row, ReconFilter::Ramp, 10)));
  // The same header without STIR's marks is Interfile 3.3: another slice.
  std::ifstream in(file("stir-ge.hs"));
  std::string header((std::istreambuf_iterator<char>(in)), {});
  header.replace(header.find("NM"), 2, "nucmed");
  // Beside its data file, under this process's own name (the written folder is shared).
  const std::string as33Name = file("stir-ge-as-33-" + std::to_string(::getpid()) + ".hs");
  std::ofstream(as33Name) << header;
  const StudyReadResult as33 = readAnyStudy(as33Name);
  fs::remove(as33Name);
  ASSERT_TRUE(as33.study) << as33.error;
  EXPECT_NEAR(std::remainder(as33.study->angleDegrees(0) - stir.study->angleDegrees(0), 360.0), 180, 1e-9);
  EXPECT_FALSE(sameSlice(fromDicom, filteredPicture(*as33.study, row, ReconFilter::Ramp, 10)));
}

// What the detector's orientation changed, and how the patient lay, is said at opening.
TEST_F(Written, OrientationAndPositionAreSaid) {
  const struct {
    const char* name;
    std::vector<std::string> said, unsaid;
  } cases[] = {
      {"dicom-FFS.dcm", {"列の向きが逆", "足から仰臥位（FFS）"}, {}},
      {"dicom-FFP.dcm", {"列の向きが逆", "FFP"}, {}},
      {"dicom-HFP.dcm", {"頭から伏臥位（HFP）"}, {"列の向きが逆"}},
      {"dicom-FFS-codes.dcm", {"足から仰臥位（FFS）"}, {"列の向きが逆"}},
      {"dicom-head2-oriented.dcm", {"検出器 2 は開始角度がない", "180 度"}, {"列の向きが逆"}},
      {"dicom-CC-0.dcm", {}, {"体位", "Image Orientation"}},
  };
  for (const auto& c : cases) {
    const StudyReadResult r = readAnyStudy(file(c.name));
    ASSERT_TRUE(r.study) << c.name << ": " << r.error;
    for (const std::string& s : c.said) EXPECT_TRUE(saysSomething(*r.study, s)) << c.name << ": " << s;
    for (const std::string& s : c.unsaid) EXPECT_FALSE(saysSomething(*r.study, s)) << c.name << ": " << s;
  }
}

TEST_F(Written, TwoHeadsMergeAndOnlyTheFirstEnergyWindowCounts) {
  const StudyReadResult r = readAnyStudy(file("dicom-two-heads.dcm"));
  ASSERT_TRUE(r.study) << r.error;
  const ProjectionStudy& s = *r.study;
  ASSERT_EQ(s.views(), 64);
  for (int k = 1; k < 64; ++k)  // one rotation in angle order
    EXPECT_NEAR(std::fmod(s.angleDegrees(k) - s.angleDegrees(k - 1) + 360, 360), 5.625, 1e-9) << k;
  for (int k = 0; k < 64; ++k) EXPECT_NE(s.count(k, 0, 0), 7);  // no scatter-window frame
  const auto& notes = s.geometry().notes;
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0].find("エネルギーウィンドウが 2 個"), std::string::npos) << notes[0];
  EXPECT_NE(notes[0].find("Tc99m"), std::string::npos);
  // Both windows are kept, in the same views: the scatter window's frames are all 7.
  const auto& set = s.geometry().energyWindows;
  ASSERT_TRUE(set);
  ASSERT_EQ(set->windows.size(), 2u);
  EXPECT_EQ(set->windows[1].name, "scatter");
  EXPECT_EQ(set->windows[1].lowerKeV, 100);
  for (std::uint16_t v : set->counts[1]) ASSERT_EQ(v, 7);
  EXPECT_EQ(set->counts[0], s.counts());
}

TEST_F(Written, CompressedFilesOpen) {
  ASSERT_EQ(compressed_, 3) << "DCMTK's dcmcrle, dcmcjpls and dcmcjpeg are needed";
  const StudyReadResult plain = readAnyStudy(file("dicom-CC-0.dcm"));
  ASSERT_TRUE(plain.study);
  for (const char* name : {"dcmcrle.dcm", "dcmcjpls.dcm", "dcmcjpeg.dcm"}) {
    const StudyReadResult r = readAnyStudy(file(name));
    ASSERT_TRUE(r.study) << name << ": " << r.error;
    EXPECT_EQ(r.study->counts(), plain.study->counts()) << name;  // lossless
  }
  // The decoders are given back at exit; reading after that registers them anew.
  releaseDicomCodecs();
  const StudyReadResult again = readAnyStudy(file("dcmcjpls.dcm"));
  ASSERT_TRUE(again.study) << again.error;
  EXPECT_EQ(again.study->counts(), plain.study->counts());
}

TEST_F(Written, WhatIsNotProjectionDataIsRefusedWithItsReason) {
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"dicom-ct.dcm", "モダリティ CT"},
      {"dicom-recon.dcm", "RECON TOMO"},
      {"dicom-fan.dcm", "ファンビーム"},
      {"dicom-nopixels.dcm", "画素データがありません"},
  };
  for (const auto& c : cases) {
    const StudyReadResult r = readAnyStudy(file(c.name));
    EXPECT_FALSE(r.study) << c.name;
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << c.name << ": " << r.error;
  }
  // Cut short: DCMTK cannot read it, or the frames are missing.
  std::string bytes;
  {
    std::ifstream in(file("dicom-CC-0.dcm"), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (std::size_t keep : {bytes.size() - 1000, std::size_t(140), std::size_t(600)}) {
    const StudyReadResult r =
        readDicomBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), keep);
    EXPECT_FALSE(r.study) << keep;
    EXPECT_FALSE(r.error.empty());
  }
}

TEST_F(Written, AMissingAngularStepComesFromTheScanArcOrIsRefusedByName) {
  const StudyReadResult plain = readAnyStudy(file("dicom-CC-0.dcm"));
  const StudyReadResult derived = readAnyStudy(file("dicom-no-step.dcm"));
  ASSERT_TRUE(plain.study && derived.study) << derived.error;
  for (int k = 0; k < plain.study->views(); ++k)
    ASSERT_DOUBLE_EQ(derived.study->angleDegrees(k), plain.study->angleDegrees(k)) << k;
  bool said = false;
  for (const std::string& note : derived.study->geometry().notes) said |= note.find("Scan Arc 360") != std::string::npos;
  EXPECT_TRUE(said);
  const StudyReadResult zero = readAnyStudy(file("dicom-zero-step.dcm"));
  EXPECT_FALSE(zero.study);
  EXPECT_NE(zero.error.find("Angular Step (0018,1144)"), std::string::npos) << zero.error;
}

TEST_F(Written, FramesPastTheLimitAreRefusedUnreadAndTheLargestStudyCostsItsCounts) {
  using sinora::testing::inChild;
  using sinora::testing::kMiB;
  // 2048 frames of 512 x 512 (1 GiB of pixels, a hole in the file): refused before a pixel.
  std::string error;
  const auto refused = inChild([&] { return bool(readAnyStudy(file("dicom-2048-frames.dcm")).study); }, 5);
  EXPECT_TRUE(refused.exited);
  EXPECT_FALSE(refused.succeeded);
  EXPECT_LT(refused.peakGrowth, 300 * kMiB) << refused.peakGrowth / kMiB << " MiB";
  EXPECT_NE(readAnyStudy(file("dicom-2048-frames.dcm")).error.find("2048"), std::string::npos);
  // 1024 frames: 512 MiB of counts, read frame by frame.
  const std::uint64_t counts = 1024ull * 512 * 512;
  const auto opened = inChild([&] {
    const StudyReadResult r = readAnyStudy(file("dicom-1024-frames.dcm"));
    return r.study && r.study->counts().size() == counts;
  }, 120);
  EXPECT_TRUE(opened.exited);
  EXPECT_TRUE(opened.succeeded);
  EXPECT_LE(opened.peakGrowth, counts * 2 + 300 * kMiB) << opened.peakGrowth / kMiB << " MiB";
  std::printf("DICOM: 2048 frames refused, peak grew by %llu MiB; 1024 frames opened, by %llu MiB\n",
              static_cast<unsigned long long>(refused.peakGrowth / kMiB),
              static_cast<unsigned long long>(opened.peakGrowth / kMiB));
}

TEST_F(Written, WhatDcmtkCannotReadIsSaidInOurWordsFirst) {
  std::string bytes;
  {
    std::ifstream in(file("dicom-CC-0.dcm"), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  // Cut inside an element: our reason, then DCMTK's own words after "DCMTK:".
  const std::string cut = (scratch_ / "cut.dcm").string();
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, 600);
  const std::string why = readAnyStudy(cut).error;
  EXPECT_EQ(why.rfind("DICOM ファイルとして読めません: ", 0), 0u) << why;
  const std::size_t dcmtk = why.find("（DCMTK: ");
  ASSERT_NE(dcmtk, std::string::npos) << why;
  // Between our opening and DCMTK's words the reason is ours alone: no English in it.
  const std::size_t reason = std::string("DICOM ファイルとして読めません: ").size();
  ASSERT_GT(dcmtk, reason) << why;
  for (std::size_t i = reason; i < dcmtk; ++i) EXPECT_FALSE(std::isalpha(static_cast<unsigned char>(why[i]))) << why;
}

TEST(DicomNmInterpretation, FramesAnglesAndVectors) {
  DicomNm nm;
  nm.modality = "NM";
  nm.imageType = "TOMO EMISSION";
  nm.rows = 1;
  nm.columns = 2;
  nm.frames = 4;
  nm.hasPixelData = true;
  nm.pixels = {1, 2, 3, 4, 5, 6, -7, 8};
  nm.rotations.push_back({90, 10, true, 4});  // CW from 90: 90, 80, 70, 60
  StudyReadResult r = interpretDicomNm(nm);
  ASSERT_TRUE(r.study) << r.error;
  EXPECT_DOUBLE_EQ(r.study->angleDegrees(0), 90);   // 180 - 90
  EXPECT_DOUBLE_EQ(r.study->angleDegrees(3), 120);  // 180 - 60
  EXPECT_EQ(r.study->count(3, 0, 0), 0);            // -7
  ASSERT_EQ(r.study->geometry().notes.size(), 1u);  // the negative value
  nm.continuous = true;  // each frame at the middle of its step: 85, 75, ...
  r = interpretDicomNm(nm);
  ASSERT_TRUE(r.study);
  EXPECT_DOUBLE_EQ(r.study->angleDegrees(0), 95);
  EXPECT_DOUBLE_EQ(r.study->angleDegrees(3), 125);
  EXPECT_EQ(r.study->geometry().notes.size(), 2u);  // and the import says so
  nm.continuous = false;
  nm.angularViewVector = {4, 3, 2, 1};              // frames stored last view first
  r = interpretDicomNm(nm);
  ASSERT_TRUE(r.study);
  EXPECT_EQ(r.study->count(0, 0, 1), 8);  // the frame of view 1 first
  nm.pixels.resize(7);
  EXPECT_FALSE(interpretDicomNm(nm).study);
  nm.pixels.resize(8);
  nm.bitsAllocated = 32;
  EXPECT_NE(interpretDicomNm(nm).error.find("ビット数 32"), std::string::npos);
  nm.bitsAllocated = 16;
  nm.columns = 513;
  EXPECT_FALSE(interpretDicomNm(nm).study);
  nm.columns = 2;
  // A step that is NaN or 0 comes from the scan arc, or the rotation is refused by name.
  for (double step : {std::nan(""), 0.0}) {
    nm.angularViewVector.clear();
    nm.rotations = {{90, step, true, 4, 40}};
    r = interpretDicomNm(nm);
    ASSERT_TRUE(r.study) << r.error;
    EXPECT_DOUBLE_EQ(r.study->angleDegrees(3), 120);  // 40 degrees over 4 frames: 10 each
    nm.rotations = {{90, step, true, 4, 0}};
    EXPECT_NE(interpretDicomNm(nm).error.find("Angular Step"), std::string::npos);
  }
}

// A detector's orientation: the angle whose columns run along its row; a stated angle it
// contradicts keeps its own, a head without one takes the orientation's.
TEST(DicomNmInterpretation, DetectorOrientationPlacesAndTurnsHeads) {
  const double rowAt90[6] = {0, 1, 0, 0, 0, -1};  // b(90) = (0, 1)
  EXPECT_NEAR(columnsAngle(rowAt90), 90, 1e-12);
  const double along[6] = {0, 0, 1, 1, 0, 0};
  EXPECT_TRUE(std::isnan(columnsAngle(along)));
  DicomNm nm;
  nm.modality = "NM";
  nm.imageType = "TOMO";
  nm.rows = 1;
  nm.columns = 2;
  nm.frames = 2;
  nm.hasPixelData = true;
  nm.pixels = {1, 2, 3, 4};
  nm.detectorVector = {1, 2};
  nm.rotations.push_back({0, 10, false, 1});
  const struct {
    bool secondHasStart;
    double secondStart;
    double orientationAngle;  // of head 2
    double expected;          // head 2's program angle: 180 minus its DICOM angle
    const char* said;
  } cases[] = {
      {false, 0, 90, 90, "検出器 2 は開始角度がない"},
      {true, 90, 92, 90, nullptr},
      {true, 90, 270, 270, "列の向きが逆"},
      {true, 90, 0, 90, "合わないので使いませんでした"},
  };
  for (const auto& c : cases) {
    nm.detectors.assign(2, DicomNm::Detector{});
    nm.detectors[1].hasStartAngle = c.secondHasStart;
    nm.detectors[1].startAngle = c.secondStart;
    nm.detectors[1].hasOrientation = true;
    const double a = c.orientationAngle * 3.14159265358979323846 / 180;
    const double o[6] = {-std::cos(a), std::sin(a), 0, 0, 0, -1};
    std::copy(o, o + 6, nm.detectors[1].orientation);
    const StudyReadResult r = interpretDicomNm(nm);
    ASSERT_TRUE(r.study) << r.error;
    double head2 = NAN;
    for (int k = 0; k < 2; ++k)
      if (r.study->count(k, 0, 0) == 3) head2 = r.study->angleDegrees(k);
    EXPECT_NEAR(std::remainder(head2 - (180 - c.expected), 360.0), 0, 1e-9) << c.orientationAngle;
    if (c.said) EXPECT_TRUE(saysSomething(*r.study, c.said)) << c.said;
    else EXPECT_FALSE(saysSomething(*r.study, "Image Orientation")) << c.orientationAngle;
  }
}

}  // namespace

// A fuzzer's file: RLE fragments whose runs do not add up to their frame made DCMTK's decoder
// read and write outside its buffers. It is refused, naming the fragment, before DCMTK decodes.
TEST(DicomRle, FragmentsWhoseRunsDoNotFillTheirFrameAreRefused) {
  const std::string path = std::string(SINORA_SOURCE_ROOT) + "/fuzz/regressions/dicom-rle-decoder-segv";
  const StudyReadResult r = readAnyStudy(path);
  EXPECT_FALSE(r.study);
  EXPECT_NE(r.error.find("RLE"), std::string::npos) << r.error;
}
