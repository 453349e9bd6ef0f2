// The CT reader and the mu maps made from it. The series are written by an outside writer
// (pydicom, tests/formats/write_test_ct.py; DCMTK's tools compress copies) from a known object in
// patient coordinates, so each value and place can be checked where the object puts it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "formats/ct.h"
#include "formats/dicom.h"
#include "formats/export.h"
#include "imaging/mu_map.h"
#include "imaging/recipe.h"
#include "imaging/scatter.h"
#include "peak.h"
#include "written_once.h"

using namespace sinora;
using namespace sinora::formats;
namespace fs = std::filesystem;

namespace {

const char kFrame[] = "1.2.826.0.1.3680043.2.1125.77.1";

class Ct : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = sinora::testing::writtenOnce("ct", {SINORA_CT_WRITER, "/usr/bin/dcmcjpls", "/usr/bin/dcmcrle"},
                                        [](const fs::path& d) {
      const std::string cmd = std::string("/usr/bin/python3 '") + SINORA_CT_WRITER + "' '" + d.string() + "' > /dev/null";
      if (std::system(cmd.c_str()) != 0) return false;
      // Compressed copies of the good series, by DCMTK's own tools.
      for (const char* tool : {"dcmcjpls", "dcmcrle"}) {
        fs::create_directories(d / tool);
        for (const auto& e : fs::directory_iterator(d / "ct")) {
          const std::string c = std::string(tool) + " '" + e.path().string() + "' '" +
                                (d / tool / e.path().filename()).string() + "' 2> /dev/null";
          if (std::system(c.c_str()) != 0) return false;
        }
      }
      return true;
    });
    written_ = !dir_.empty();
    scratch_ = fs::temp_directory_path() / ("sinora-ct-" + std::to_string(::getpid()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
  }
  static void TearDownTestSuite() { fs::remove_all(scratch_); }
  void SetUp() override { ASSERT_TRUE(written_) << "the test writer (python3-pydicom) or DCMTK's dcmcjpls or dcmcrle failed"; }
  static std::string path(const std::string& name) { return (dir_ / name).string(); }
  // A 40 x 40 grid of 4 mm pixels centred on the patient's axis, rows 3 mm apart towards the
  // feet from z = 27, in the series' Frame of Reference.
  static SliceGrid grid(int rows = 24) {
    SliceGrid g;
    g.bins = 40;
    g.rows = rows;
    g.pixelMm = 4;
    g.origin[0] = g.origin[1] = -80;
    g.origin[2] = 27;
    g.rowStep[2] = -3;
    g.frameOfReferenceUid = kFrame;
    return g;
  }
  // The map's value at the grid pixel nearest a point (x, y, z in mm).
  static float at(const std::vector<float>& m, const SliceGrid& g, double x, double y, double z) {
    const int i = int(std::lround((x - g.origin[0]) / g.pixelMm)), j = int(std::lround((y - g.origin[1]) / g.pixelMm));
    const int r = int(std::lround((z - g.origin[2]) / g.rowStep[2]));
    return m[std::size_t(r) * g.bins * g.bins + std::size_t(i) * g.bins + j];
  }
  static fs::path dir_, scratch_;  // the shared written series; this process's own files
  static bool written_;
};
fs::path Ct::dir_, Ct::scratch_;
bool Ct::written_ = false;

// Each way of storing the same series reads to the same HU where the object puts them.
TEST_F(Ct, EveryEncodingReadsTheObjectWhereItLies) {
  const struct {
    const char* what;
    std::string path;
  } cases[] = {
      {"folder", path("ct")},
      {"one file of it", path("ct/IM0007.dcm")},
      {"signed, slope 0.5", path("signed")},
      {"JPEG-LS", path("dcmcjpls")},
      {"RLE", path("dcmcrle")},
      {"folder with another series and a text file", path("mixed")},
  };
  const struct {
    double x, y, z, hu;
  } points[] = {{40, -5, 0, 1000}, {10, -5, 0, 0}, {-25, -5, 0, -800}, {-70, 60, 0, -1000}, {10, -35, 12, 500},
                {10, -35, -18, 0}};
  for (const auto& c : cases) {
    const AttenuationReadResult r = readCtSeries(c.path);
    ASSERT_TRUE(r.source) << c.what << ": " << r.error;
    const CtVolume& ct = *r.source->ct;
    EXPECT_EQ(ct.slices, 20) << c.what;
    EXPECT_EQ(ct.columns, 80) << c.what;
    EXPECT_NEAR(ct.sliceMm, 3, 1e-9) << c.what;
    EXPECT_NEAR(ct.origin[2], -30, 1e-9) << c.what;  // sorted by position, not by name
    EXPECT_EQ(ct.frameOfReferenceUid, kFrame) << c.what;
    EXPECT_EQ(r.files.size(), 20u) << c.what;
    for (const auto& p : points) EXPECT_NEAR(ct.sample(p.x, p.y, p.z), p.hu, 1e-3) << c.what << " at " << p.x << "," << p.y << "," << p.z;
  }
  const AttenuationReadResult mixed = readCtSeries(path("mixed"));
  ASSERT_TRUE(mixed.source);
  bool said = false;
  for (const std::string& n : mixed.source->notes) said = said || n.find("シリーズが 2 個") != std::string::npos;
  EXPECT_TRUE(said) << "the choice of series is told";
}

TEST_F(Ct, LargeSlicesAreKeptInAveragedBlocksAtTheirPlace) {
  const AttenuationReadResult r = readCtSeries(path("big"));
  ASSERT_TRUE(r.source) << r.error;
  const CtVolume& ct = *r.source->ct;
  EXPECT_EQ(ct.columns, 173);  // 520 / 3
  EXPECT_NEAR(ct.columnMm, 3, 1e-9);
  EXPECT_NEAR(ct.origin[0], -258.5, 1e-9);  // the middle of the first block
  EXPECT_NEAR(ct.sample(40, -5, 0), 1000, 1e-3);
  EXPECT_NEAR(ct.sample(60, -5, 0), 0, 1e-3);
  EXPECT_NEAR(ct.sample(-25, -5, 0), -800, 1e-3);
  EXPECT_NEAR(ct.sample(200, 0, 0), -1000, 1e-3);
}

TEST_F(Ct, FaultySeriesAreRefusedNamingTheFileAndTheReason) {
  const struct {
    std::string path, words[2];
  } cases[] = {
      {path("tilt"), {".dcm: ", "ガントリが 15 度傾いています"}},
      {path("tilted"), {"IM0000.dcm と IM0001.dcm", "ガントリの傾き"}},
      {path("uneven"), {"間隔がそろっていません", "の間は 6 mm、ほかは 3 mm"}},
      {path("single"), {"IM0000.dcm", "1 枚しかありません"}},
      {path("sizes"), {"IMfault.dcm: スライスの大きさ 64 x 64", "80 x 80"}},
      {path("orientation"), {"IMfault.dcm", "Image Orientation (Patient)"}},
      {path("nm/nm.dcm"), {"nm.dcm", "CT の画像ではありません（モダリティ NM）"}},
      {path("nm"), {"CT のスライスがありません", "CT 以外 1 個"}},
      {path("mixed/README.txt"), {"README.txt", "DICOM ファイルではありません"}},
      {path("no such folder"), {"見つかりません", ""}},
  };
  for (const auto& c : cases) {
    const AttenuationReadResult r = readCtSeries(c.path);
    EXPECT_FALSE(r.source) << c.path;
    for (const std::string& w : c.words) EXPECT_NE(r.error.find(w), std::string::npos) << c.path << ": " << r.error;
  }
  // By content: a text file is neither a CT nor a mu map.
  const AttenuationReadResult text = readAttenuation(path("mixed/README.txt"), grid());
  EXPECT_NE(text.error.find("DICOM の CT でも Interfile の μ マップでもありません"), std::string::npos) << text.error;
}

TEST(HuToMu, BilinearFromWaterAndCorticalBone) {
  // 140.5 keV: air, water and +1000 HU within 2 %.
  EXPECT_EQ(huToMu(-1000, 140.5), 0);
  EXPECT_EQ(huToMu(-3000, 140.5), 0);
  EXPECT_NEAR(huToMu(0, 140.5), 0.154, 0.02 * 0.154);
  EXPECT_NEAR(huToMu(1000, 140.5), 0.26, 0.02 * 0.26);
  EXPECT_NEAR(huToMu(-500, 140.5), huToMu(0, 140.5) / 2, 1e-12);
  // The table of docs/physics.md: water and 1000 HU at the isotopes' energies.
  const struct {
    double keV, water, bone1000;
  } table[] = {{140.5, 0.1536, 0.2597}, {159.0, 0.1477, 0.2451}, {208.4, 0.1350, 0.2194}, {113.0, 0.1643, 0.2910}};
  for (const auto& t : table) {
    EXPECT_NEAR(huToMu(0, t.keV), t.water, 0.0005) << t.keV;
    EXPECT_NEAR(huToMu(1000, t.keV), t.bone1000, 0.0005) << t.keV;
    EXPECT_NEAR(huToMu(0, t.keV), waterMu(t.keV), 1e-12) << t.keV;
  }
  // Continuous at 0 HU, and rising everywhere above air.
  EXPECT_NEAR(huToMu(-1e-9, 140.5), huToMu(1e-9, 140.5), 1e-9);
  for (double h = -999; h < 2000; h += 37) EXPECT_LT(huToMu(h, 140.5), huToMu(h + 37, 140.5)) << h;
  // Cortical bone's own HU at the CT's effective energy (80 keV) is about 1330.
  EXPECT_NEAR(boneHu(), 1330, 5);
  EXPECT_NEAR(huToMu(boneHu(), 140.5), corticalBoneMu(140.5), 1e-12);
}

TEST_F(Ct, TheMapLiesWhereTheObjectIsAndTheMistakesMoveOrChangeIt) {
  const AttenuationReadResult r = readCtSeries(path("ct"));
  ASSERT_TRUE(r.source) << r.error;
  const SliceGrid g = grid();
  MuMapSettings s;
  const MuMap m = makeMuMap(*r.source, g, s);
  ASSERT_TRUE(m.ok()) << m.refusal;
  EXPECT_TRUE(m.registered);
  EXPECT_EQ(m.rowsCovered, 20);  // z = 27 down to -30 at 3 mm (the CT ends at -31.5)
  const double water = huToMu(0, 140.5);
  EXPECT_NEAR(at(m.perCm, g, 40, -4, 0), huToMu(1000, 140.5), 1e-5);   // bone
  EXPECT_NEAR(at(m.perCm, g, 12, 8, 0), water, 1e-5);                  // water
  EXPECT_NEAR(at(m.perCm, g, -24, -4, 0), huToMu(-800, 140.5), 1e-5);  // lung
  EXPECT_EQ(at(m.perCm, g, -72, 60, 0), 0.0f);                         // air
  EXPECT_NEAR(at(m.hu, g, 8, -36, 12), 500, 1e-3);                     // the ball, at its z only
  EXPECT_NEAR(at(m.hu, g, 8, -36, -18), 0, 1e-3);
  EXPECT_EQ(at(m.hu, g, 12, 8, -42), -1000);  // a row beyond the CT is air

  // Shifts move the map by whole pixels and rows exactly.
  MuMapSettings moved = s;
  moved.shiftMm[0] = 8;
  moved.shiftMm[2] = -6;
  const MuMap sh = makeMuMap(*r.source, g, moved);
  ASSERT_TRUE(sh.ok());
  for (int row = 4; row < 14; ++row)
    for (int i = 2; i < 40; ++i)
      for (int j = 0; j < 40; ++j)
        ASSERT_EQ(sh.hu[std::size_t(row + 2) * 1600 + i * 40 + j], m.hu[std::size_t(row) * 1600 + (i - 2) * 40 + j])
            << row << " " << i << " " << j;
  // Another energy, lung or bone as soft tissue.
  MuMapSettings wrong = s;
  wrong.keV = 208.4;
  EXPECT_NEAR(at(makeMuMap(*r.source, g, wrong).perCm, g, 12, 8, 0), waterMu(208.4), 1e-5);
  MuMapSettings lung = s;
  lung.lungAsTissue = true;
  const MuMap l = makeMuMap(*r.source, g, lung);
  EXPECT_NEAR(at(l.perCm, g, -24, -4, 0), water, 1e-5);
  EXPECT_EQ(at(l.perCm, g, -72, 60, 0), 0.0f) << "air outside the body stays air";
  EXPECT_NEAR(at(l.perCm, g, 40, -4, 0), huToMu(1000, 140.5), 1e-5);
  MuMapSettings bone = s;
  bone.boneAsTissue = true;
  const MuMap b = makeMuMap(*r.source, g, bone);
  EXPECT_NEAR(at(b.perCm, g, 40, -4, 0), water, 1e-5);
  EXPECT_NEAR(at(b.perCm, g, -24, -4, 0), huToMu(-800, 140.5), 1e-5);
}

TEST_F(Ct, ACoronalSeriesMakesTheSameMapAsTheAxialOne) {
  const AttenuationReadResult axial = readCtSeries(path("ct")), coronal = readCtSeries(path("coronal"));
  ASSERT_TRUE(axial.source) << axial.error;
  ASSERT_TRUE(coronal.source) << coronal.error;
  const SliceGrid g = grid();
  const MuMap a = makeMuMap(*axial.source, g, {}), c = makeMuMap(*coronal.source, g, {});
  // Where both reach (the coronal series spans y -60 to 37.5, z 40 down to -38): the same
  // object within the interpolation of two samplings.
  double diff = 0;
  int n = 0;
  for (int row = 1; row < 18; ++row)
    for (int i = 0; i < 40; ++i)
      for (int j = 6; j < 28; ++j) {
        diff += std::fabs(a.perCm[std::size_t(row) * 1600 + i * 40 + j] - c.perCm[std::size_t(row) * 1600 + i * 40 + j]);
        ++n;
      }
  EXPECT_LT(diff / n, 0.004) << "mean difference of mu, cm^-1";
  EXPECT_NEAR(at(c.perCm, g, 40, -4, 0), huToMu(1000, 140.5), 1e-5);
  EXPECT_NEAR(at(c.hu, g, 8, -36, 12), 500, 1e-3);
}

TEST_F(Ct, AnotherFrameOfReferenceIsCentredAndOffsetByHand) {
  const AttenuationReadResult r = readCtSeries(path("other-frame"));
  ASSERT_TRUE(r.source) << r.error;
  const SliceGrid g = grid();
  MuMapSettings s;
  const MuMap m = makeMuMap(*r.source, g, s);
  ASSERT_TRUE(m.ok());
  EXPECT_FALSE(m.registered);
  ASSERT_FALSE(m.notes.empty());
  EXPECT_NE(m.notes[0].find("Frame of Reference UID が違う"), std::string::npos) << m.notes[0];
  // The CT's middle (0, 0, -1.5) on the grid's (the axis, pixel 20, and the middle row 11.5,
  // z = -7.5): the rod at x = 40 lies 10 pixels right of the axis, 6 mm further towards the feet.
  double mid[3];
  g.point(20, 20, 11.5, mid);
  EXPECT_NEAR(at(m.perCm, g, mid[0] + 40, mid[1] - 4, 0), huToMu(1000, 140.5), 1e-5);
  EXPECT_NEAR(at(m.hu, g, mid[0] + 8, mid[1] - 36, 12 - 6), 500, 1e-3);
  // The student's offset moves it.
  s.shiftMm[0] = -40;
  EXPECT_NEAR(at(makeMuMap(*r.source, g, s).perCm, g, mid[0], mid[1] - 4, 0), huToMu(1000, 140.5), 1e-5);
}

TEST_F(Ct, AGridReadsOnlyTheSlicesItCanReach) {
  SliceGrid near = grid(4);  // z = 27 down to 18
  const AttenuationReadResult part = readCtSeries(path("ct"), 2, &near);
  const AttenuationReadResult whole = readCtSeries(path("ct"));
  ASSERT_TRUE(part.source && whole.source);
  EXPECT_EQ(part.source->ct->slices + part.source->ct->slicesLeftOut, 20);
  EXPECT_EQ(part.source->ct->slicesLeftOut, 0) << "a shift of 50 mm reaches every slice of 57 mm";
  // A smaller margin would leave slices out: a grid far up the body.
  SliceGrid far = grid(4);
  far.origin[2] = 160;
  const AttenuationReadResult few = readCtSeries(path("ct"), 2, &far);
  ASSERT_TRUE(few.source);
  EXPECT_GT(few.source->ct->slicesLeftOut, 0);
  EXPECT_TRUE(sourceCovers(*few.source, far));
  EXPECT_FALSE(sourceCovers(*few.source, grid()));
  EXPECT_TRUE(sourceCovers(*whole.source, grid()));
  // Where both reach, the maps are the same.
  const MuMap a = makeMuMap(*part.source, near, {}), b = makeMuMap(*whole.source, near, {});
  EXPECT_EQ(a.perCm, b.perCm);
}

class MuMapFile : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("sinora-mumap-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  // A 4 x 4 x 2 map of floats: value (i + 4 j + 16 r) / 100.
  std::string write(const std::string& keys, bool bigEndian = false) {
    std::ofstream d(dir / "m.v", std::ios::binary);
    for (int k = 0; k < 32; ++k) {
      float f = float(k) / 100;
      unsigned char b[4];
      std::memcpy(b, &f, 4);
      if (bigEndian) std::swap(b[0], b[3]), std::swap(b[1], b[2]);
      d.write(reinterpret_cast<const char*>(b), 4);
    }
    const std::string h = (dir / "m.hv").string();
    std::ofstream(h) << "!INTERFILE :=\n!name of data file := m.v\n!number format := short float\n"
                        "!number of bytes per pixel := 4\n!matrix size [1] := 4\n!matrix size [2] := 4\n"
                     << keys << "!END OF INTERFILE :=\n";
    return h;
  }
  fs::path dir;
};

TEST_F(MuMapFile, UnitsAreReadOrAssumedAndSaid) {
  const struct {
    std::string keys;
    bool bigEndian;
    double scale;
    const char* note;
  } cases[] = {
      {"!matrix size [3] := 2\nimagedata byte order := LITTLEENDIAN\n", false, 1, "cm^-1 と見なしました"},
      {"number of slices := 2\nimagedata byte order := BIGENDIAN\nunits := cm^-1\n", true, 1, "cm^-1 と読みました"},
      {"total number of images := 2\nimagedata byte order := LITTLEENDIAN\nunits := 1/pixel\n"
       "scaling factor (mm/pixel) [1] := 5\n", false, 2, "1 画素あたり"},
      {"!matrix size [3] := 2\nimagedata byte order := LITTLEENDIAN\nunits := 1/mm\n", false, 10, "mm^-1"},
  };
  for (const auto& c : cases) {
    const AttenuationReadResult r = readInterfileMuMap(write(c.keys, c.bigEndian), 4, 2, 4.0);
    ASSERT_TRUE(r.source) << c.keys << r.error;
    const GivenMuMap& m = *r.source->map;
    // File (i, j, r) is map [r][i * 4 + j].
    EXPECT_NEAR(m.perCm[16 + 1 * 4 + 2], (1 + 4 * 2 + 16) / 100.0 * c.scale, 1e-6) << c.keys;
    ASSERT_FALSE(r.source->notes.empty());
    EXPECT_NE(r.source->notes[0].find(c.note), std::string::npos) << r.source->notes[0];
    // As a map of a grid of that size, it is the map itself.
    SliceGrid g;
    g.bins = 4;
    g.rows = 2;
    const MuMap made = makeMuMap(*r.source, g, {});
    ASSERT_TRUE(made.ok());
    EXPECT_EQ(made.perCm, m.perCm);
  }
}

TEST_F(MuMapFile, WrongSizesAndMissingDataAreRefused) {
  const std::string h = write("!matrix size [3] := 2\nimagedata byte order := LITTLEENDIAN\n");
  const struct {
    int bins, rows;
    const char* words;
  } cases[] = {{128, 128, "4 x 4 x 2 が、今の収集の再構成 128 x 128 x 128 と合いません"}, {4, 3, "4 x 4 x 3"}};
  for (const auto& c : cases) {
    const AttenuationReadResult r = readInterfileMuMap(h, c.bins, c.rows, 4);
    EXPECT_FALSE(r.source);
    EXPECT_NE(r.error.find(c.words), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("m.hv"), std::string::npos) << r.error;
  }
  fs::resize_file(dir / "m.v", 100);
  const AttenuationReadResult shortData = readInterfileMuMap(h, 4, 2, 4);
  EXPECT_NE(shortData.error.find("100 バイト"), std::string::npos) << shortData.error;
  const AttenuationReadResult noSlices = readInterfileMuMap(write("imagedata byte order := LITTLEENDIAN\n"), 4, 2, 4);
  EXPECT_NE(noSlices.error.find("スライス数"), std::string::npos) << noSlices.error;
  const AttenuationReadResult perPixel = readInterfileMuMap(write("!matrix size [3] := 2\nunits := per pixel\n"), 4, 2, 0);
  EXPECT_NE(perPixel.error.find("画素の大きさが分かりません"), std::string::npos) << perPixel.error;
  for (const char* energy : {"energy window lower level [1] := lots\nenergy window upper level [1] := 150\n",
                             "energy window lower level := 150\nenergy window upper level := 130\n",
                             "energy window lower level [1] := 130\n"}) {
    const AttenuationReadResult badEnergy = readInterfileMuMap(write(std::string("!matrix size [3] := 2\n") + energy), 4, 2, 4);
    EXPECT_FALSE(badEnergy.source) << energy;
    EXPECT_NE(badEnergy.error.find("energy window"), std::string::npos) << badEnergy.error;
    EXPECT_NE(badEnergy.error.find("m.hv"), std::string::npos) << badEnergy.error;
  }
}

// A mu map file made from the CT (at the energy `keV`, its header saying so or not) takes each
// of the lesson's mistakes as the CT itself does: its values stand for the HU they came from.
TEST_F(Ct, AMuMapFileTakesTheLessonsMistakesAsItsCtDoes) {
  const AttenuationReadResult ct = readCtSeries(path("ct"));
  ASSERT_TRUE(ct.source) << ct.error;
  const SliceGrid g = grid();
  const int b = g.bins, rows = g.rows;
  auto writeMap = [&](double keV, bool saysEnergy) {
    MuMapSettings at;
    at.keV = keV;
    const MuMap made = makeMuMap(*ct.source, g, at);
    const fs::path data = dir_ / "map.v", header = dir_ / (saysEnergy ? "said.hv" : "unsaid.hv");
    std::ofstream d(data, std::ios::binary);
    // The file runs across (i) fastest, then down (j), then the rows.
    for (int r = 0; r < rows; ++r)
      for (int j = 0; j < b; ++j)
        for (int i = 0; i < b; ++i) d.write(reinterpret_cast<const char*>(&made.perCm[std::size_t(r) * b * b + i * b + j]), 4);
    std::ofstream h(header);
    h << "!INTERFILE :=\n!name of data file := map.v\n!number format := short float\n!number of bytes per pixel := 4\n"
      << "!matrix size [1] := " << b << "\n!matrix size [2] := " << b << "\n!matrix size [3] := " << rows
      << "\nimagedata byte order := LITTLEENDIAN\n";
    if (saysEnergy) h << "energy window lower level [1] := " << keV - 10 << "\nenergy window upper level [1] := " << keV + 10 << "\n";
    h << "!END OF INTERFILE :=\n";
    h.close();
    d.close();
    const AttenuationReadResult r = readInterfileMuMap(header.string(), b, rows, g.pixelMm);
    EXPECT_TRUE(r.source) << r.error;
    return r.source;
  };
  auto largest = [](const std::vector<float>& a, const std::vector<float>& c) {
    double worst = a.size() == c.size() ? 0 : INFINITY;
    for (std::size_t p = 0; p < a.size() && p < c.size(); ++p) worst = std::max(worst, double(std::fabs(a[p] - c[p])));
    return worst;
  };
  MuMapSettings plain;
  MuMapSettings energy = plain;
  energy.keV = 208.4;
  MuMapSettings lung = plain;
  lung.lungAsTissue = true;
  MuMapSettings bone = plain;
  bone.boneAsTissue = true;
  MuMapSettings all = plain;
  all.keV = 113;
  all.lungAsTissue = all.boneAsTissue = true;
  const struct {
    double mapKeV;       // the energy the file's values are for
    bool saysEnergy;     // in its header
    double assumedKeV;   // what the study would assume without it
    const char* note;
  } files[] = {
      {140.5, true, 208.4, "140.5 keV のものです（ヘッダ"},
      {140.5, false, 140.5, "収集の光子エネルギー 140.5 keV のものと見なしました"},
      {208.4, true, 140.5, "208.4 keV のものです（ヘッダ"},
      {208.4, false, 208.4, "収集の光子エネルギー 208.4 keV のものと見なしました"},
  };
  for (const auto& f : files) {
    const std::shared_ptr<const AttenuationSource> given = writeMap(f.mapKeV, f.saysEnergy);
    ASSERT_TRUE(given);
    EXPECT_EQ(given->map->keV, f.saysEnergy ? f.mapKeV : 0.0);
    for (MuMapSettings s : {plain, energy, lung, bone, all}) {
      const MuMap fromCt = makeMuMap(*ct.source, g, s);
      s.assumedMapKeV = f.assumedKeV;
      const MuMap fromFile = makeMuMap(*given, g, s);
      ASSERT_TRUE(fromFile.ok()) << fromFile.refusal;
      const std::string what = std::to_string(f.mapKeV) + (f.saysEnergy ? " said" : " assumed") + ", asked " + std::to_string(s.keV) +
                               (s.lungAsTissue ? " lung" : "") + (s.boneAsTissue ? " bone" : "");
      EXPECT_LT(largest(fromFile.perCm, fromCt.perCm), 2e-6) << what;
      ASSERT_FALSE(fromFile.notes.empty()) << what;
      EXPECT_NE(fromFile.notes[0].find(f.note), std::string::npos) << fromFile.notes[0];
      const bool converted = std::fabs(s.keV - f.mapKeV) > 1e-9;
      EXPECT_EQ(fromFile.notes.size(), converted ? 2u : 1u) << what;
      // At its own energy and with no switch, the map is used as it is.
      if (!converted && !s.lungAsTissue && !s.boneAsTissue) EXPECT_EQ(fromFile.perCm, given->map->perCm) << what;
    }
  }
  // The switches and the energy do change the map, where the object has lung, bone and water.
  const auto file = writeMap(140.5, false);
  ASSERT_TRUE(file);
  MuMapSettings s;
  s.assumedMapKeV = 140.5;
  const MuMap asIs = makeMuMap(*file, g, s);
  s.lungAsTissue = true;
  EXPECT_NEAR(at(makeMuMap(*file, g, s).perCm, g, -24, -4, 0), waterMu(140.5), 1e-5);
  EXPECT_NEAR(at(asIs.perCm, g, -24, -4, 0), huToMu(-800, 140.5), 1e-5);
  s.lungAsTissue = false;
  s.keV = 208.4;
  const MuMap higher = makeMuMap(*file, g, s);
  EXPECT_NEAR(at(higher.perCm, g, 40, -4, 0), huToMu(1000, 208.4), 1e-5);
  EXPECT_NEAR(at(higher.perCm, g, 12, 8, 0), waterMu(208.4), 1e-5);
  EXPECT_EQ(at(higher.perCm, g, -72, 60, 0), 0.0f);
  EXPECT_NE(higher.notes.back().find("140.5 keV から 208.4 keV に換算しました"), std::string::npos) << higher.notes.back();
}

TEST(MuMap, HuFromMuUndoesTheBilinearLine) {
  for (double keV : {113.0, 140.5, 208.4})
    for (double hu : {-1000.0, -999.0, -800.0, -200.0, 0.0, 1.0, 200.0, 1000.0, 1330.0, 2500.0}) {
      const std::vector<float> back = huFromMu({float(huToMu(hu, keV))}, keV);
      EXPECT_NEAR(back[0], hu, 1e-3 * std::max(1.0, std::fabs(hu))) << keV << " keV, " << hu << " HU";
    }
  EXPECT_EQ(huFromMu({-0.1f, 0.0f, NAN}, 140.5), (std::vector<float>{-1000, -1000, -1000}));
}

// A folder with a hostile file (a DICOM preamble and then a terabyte of nothing) beside a
// series: read in bounded time and memory, the hostile file passed over.
TEST_F(Ct, AHostileFileInTheFolderCostsNothing) {
  const fs::path folder = scratch_ / "hostile";
  fs::create_directories(folder);
  for (const auto& e : fs::directory_iterator(dir_ / "ct")) fs::copy_file(e.path(), folder / e.path().filename());
  {
    std::ofstream f(folder / "huge.dcm", std::ios::binary);
    f << std::string(128, '\0') << "DICM";
  }
  ASSERT_EQ(::truncate((folder / "huge.dcm").c_str(), off_t(1) << 40), 0);
  const auto r = sinora::testing::inChild([&] {
    const AttenuationReadResult read = readCtSeries(folder.string());
    return read.source && read.source->ct->slices == 20;
  }, 20);
  EXPECT_TRUE(r.exited);
  EXPECT_TRUE(r.succeeded);
  EXPECT_LT(r.peakGrowth, 100 * sinora::testing::kMiB);
  fs::remove_all(folder);
}

// One slice alone, as the fuzzer reads it; a pixel data element claiming 4 GiB in a file of a
// few kilobytes is refused without holding what it claims.
TEST_F(Ct, OneSliceReadsAloneAndAHostileLengthCostsNothing) {
  CtSliceHeader h;
  std::vector<float> hu;
  ASSERT_EQ(readCtSlice(path("ct/IM0003.dcm"), &h, &hu), "");
  ASSERT_EQ(hu.size(), 6400u);
  // Pixel (c, r) at (-79 + 2c, -79 + 2r): the rod's centre (40, -5) is near (59.5, 37).
  EXPECT_EQ(hu[std::size_t(37) * 80 + 59], 1000);
  EXPECT_EQ(hu[0], -1000);
  std::string bytes;
  {
    std::ifstream in(path("ct/IM0003.dcm"), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string tag("\xe0\x7f\x10\x00OW\0\0", 8);
  const std::size_t at = bytes.rfind(tag);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at + 8, 4, std::string("\0\0\0\xf0", 4));
  const std::string hostile = (scratch_ / "hostile.dcm").string();
  std::ofstream(hostile, std::ios::binary) << bytes;
  const auto r = sinora::testing::inChild([&] {
    CtSliceHeader hh;
    std::vector<float> v;
    return readCtSlice(hostile, &hh, &v).empty();
  }, 10);
  EXPECT_TRUE(r.exited);
  EXPECT_FALSE(r.succeeded);
  EXPECT_LT(r.peakGrowth, 100 * sinora::testing::kMiB);
  CtSliceHeader hh;
  std::vector<float> v;
  EXPECT_NE(readCtSlice(hostile, &hh, &v), "");
}

// The real SPECT/CT: the CT placed by patient coordinates in the SPECT's grid, its body
// outline against the outline of the SPECT reconstructed without attenuation correction. The
// front of the body (the back lies on the couch, the arms beside it) is compared column by
// column across its middle, in every row the CT reaches: the shift that best aligns the two
// outlines is within 2 pixels along each axis, and so is their median distance.
TEST(GeSpectCt, TheBodyOutlinesOfTheCtAndTheSpectAgreeWithin2Pixels) {
  const std::string data = SINORA_SHARED_DATA "/ge-lu177-spectct";
  if (!fs::exists(data + "/CT") || !fs::exists(data + "/bed2_projections.dcm"))
    GTEST_SKIP() << "the GE SPECT/CT study is not in " << data;
  const StudyReadResult spect = readDicom(data + "/bed2_projections.dcm");
  ASSERT_TRUE(spect.study) << spect.error;
  const SliceGrid g = sliceGridOf(*spect.study);
  const AttenuationReadResult ct = readCtSeries(data + "/CT", 2, &g);
  ASSERT_TRUE(ct.source) << ct.error;
  Recipe r;  // OSEM without attenuation correction, smoothed so that the outline is not noise
  r.method = RecipeMethod::Osem;
  r.subsets = 10;
  r.iterations = 4;
  r.postFilterFwhm = 3;
  const RecipeVolume volume = runRecipeVolume(*spect.study, r, 2, nullptr);
  ASSERT_TRUE(volume.ok()) << volume.refusal;
  const int b = g.bins;
  // The front edge (first j) of the CT's body (above -300 HU) and of the SPECT above 40 % of its
  // median inside that body (five rows averaged), for the middle 60 % of the body's columns.
  auto frontEdges = [&](const MuMap& m, std::vector<int>& ctEdge, std::vector<int>& spectEdge) {
    ctEdge.assign(std::size_t(m.rowsCovered) * b, -1);
    spectEdge = ctEdge;
    for (int row = 2; row + 2 < m.rowsCovered; ++row) {
      const float* hu = m.hu.data() + std::size_t(row) * b * b;
      std::vector<double> mean(std::size_t(b) * b, 0.0), inside;
      for (int d = -2; d <= 2; ++d) {
        const std::vector<double> one = postFiltered(r, volume.slices[std::size_t(row + d)], b);
        for (std::size_t p = 0; p < mean.size(); ++p) mean[p] += one[p] / 5;
      }
      int lo = b, hi = -1;
      double ci = 0;
      for (int i = 0; i < b; ++i)
        for (int j = 0; j < b; ++j)
          if (hu[i * b + j] > -300) inside.push_back(mean[std::size_t(i) * b + j]), ci += i, lo = std::min(lo, i), hi = std::max(hi, i);
      if (inside.size() < 100) continue;
      std::nth_element(inside.begin(), inside.begin() + long(inside.size() / 2), inside.end());
      const double level = 0.4 * inside[inside.size() / 2];
      const int mid = int(ci / double(inside.size())), half = int(0.3 * (hi - lo));
      for (int i = std::max(0, mid - half); i <= std::min(b - 1, mid + half); ++i) {
        for (int j = 0; j < b; ++j)
          if (hu[i * b + j] > -300) {
            ctEdge[std::size_t(row) * b + i] = j;
            break;
          }
        for (int j = 0; j < b; ++j)
          if (mean[std::size_t(i) * b + j] > level) {
            spectEdge[std::size_t(row) * b + i] = j;
            break;
          }
      }
    }
  };
  // The shift (x and rows) of the CT's edges that best fits the SPECT's (least mean distance
  // about the median offset in y), with that offset and the median distance there.
  struct Fit {
    int dx = 0, dz = 0;
    double dy = 0, mean = 1e9, distance = 0;
  };
  auto fit = [&](const std::vector<int>& ce, const std::vector<int>& se, int rows) {
    Fit best;
    for (int dx = -6; dx <= 6; ++dx)
      for (int dz = -6; dz <= 6; ++dz) {
        std::vector<double> d;
        for (int row = 0; row < rows; ++row)
          for (int i = 0; i < b; ++i) {
            const int rr = row - dz, ii = i - dx;
            if (rr < 0 || rr >= rows || ii < 0 || ii >= b) continue;
            const int s = se[std::size_t(row) * b + i], c = ce[std::size_t(rr) * b + ii];
            if (s >= 0 && c >= 0) d.push_back(s - c);
          }
        if (d.size() < 500) continue;
        std::sort(d.begin(), d.end());
        const double dy = d[d.size() / 2];
        double mean = 0;
        for (double& v : d) v = std::fabs(v - dy), mean += v / double(d.size());
        std::sort(d.begin(), d.end());
        if (mean < best.mean) best = {dx, dz, dy, mean, d[d.size() / 2]};
      }
    return best;
  };
  std::vector<int> ce, se;
  const MuMap placed = makeMuMap(*ct.source, g, {});
  ASSERT_TRUE(placed.registered);
  ASSERT_GT(placed.rowsCovered, 100);
  frontEdges(placed, ce, se);
  const Fit f = fit(ce, se, placed.rowsCovered);
  std::printf("GE SPECT/CT outlines: best shift x %d, rows %d, front edge offset %.1f px, median distance %.1f px (mean %.2f)\n",
              f.dx, f.dz, f.dy, f.distance, f.mean);
  EXPECT_LE(std::abs(f.dx), 2);
  EXPECT_LE(std::abs(f.dz), 2);
  EXPECT_LE(std::fabs(f.dy), 2);
  EXPECT_LE(f.distance, 2);
  // The check sees a misregistration: the CT moved 4 pixels to the patient's left is found.
  MuMapSettings moved;
  moved.shiftMm[0] = 4 * g.pixelMm;
  frontEdges(makeMuMap(*ct.source, g, moved), ce, se);
  const Fit m = fit(ce, se, placed.rowsCovered);
  EXPECT_GE(m.dx - f.dx, -5);
  EXPECT_LE(m.dx - f.dx, -3) << "the CT moved by +4 pixels needs about -4 to align";
}

}  // namespace

namespace {

// The real SPECT/CT reconstructed with its CT's attenuation: OSEM with the map gives back more
// at the body's middle, under 15 cm of tissue, than at its front, under a few.
TEST(GeSpectCt, CtBasedAttenuationCorrectionGivesBackMostInTheMiddle) {
  const std::string data = SINORA_SHARED_DATA "/ge-lu177-spectct";
  if (!fs::exists(data + "/CT") || !fs::exists(data + "/bed2_projections.dcm"))
    GTEST_SKIP() << "the GE SPECT/CT study is not in " << data;
  const StudyReadResult spect = readDicom(data + "/bed2_projections.dcm");
  ASSERT_TRUE(spect.study) << spect.error;
  const SliceGrid g = sliceGridOf(*spect.study);
  const AttenuationReadResult ct = readCtSeries(data + "/CT", 2, &g);
  ASSERT_TRUE(ct.source) << ct.error;
  MuMapSettings s;
  s.keV = photopeakKeV(*spect.study);
  EXPECT_NEAR(s.keV, 113, 0.1) << "window 1, Lu-177's 113 keV line";
  const MuMap map = makeMuMap(*ct.source, g, s);
  Recipe plain;
  plain.method = RecipeMethod::Osem;
  plain.subsets = 10;
  plain.iterations = 4;
  Recipe corrected = plain;
  corrected.attenuatedProjector = true;
  corrected.muMap = map.perCm;
  const int row = 52, b = g.bins;  // the kidneys' row
  const RecipeSlice n = runRecipe(*spect.study, plain, row), a = runRecipe(*spect.study, corrected, row);
  ASSERT_TRUE(n.ok() && a.ok()) << n.refusal << a.refusal;
  // Means over the body's middle (8 x 8 pixels about its centre) and over its front (the 3
  // pixels inside its anterior edge, across the same columns).
  const float* hu = map.hu.data() + std::size_t(row) * b * b;
  double ci = 0, cj = 0;
  int count = 0, front = b;
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      if (hu[i * b + j] > -300) ci += i, cj += j, ++count;
  const int mi = int(ci / count), mj = int(cj / count);
  for (int j = 0; j < b; ++j)
    if (hu[mi * b + j] > -300) {
      front = j;
      break;
    }
  auto mean = [&](const std::vector<double>& f, int j0, int j1) {
    double sum = 0;
    for (int i = mi - 4; i < mi + 4; ++i)
      for (int j = j0; j < j1; ++j) sum += f[std::size_t(i) * b + j];
    return sum / (8.0 * (j1 - j0));
  };
  double totalN = 0, totalA = 0;
  for (std::size_t p = 0; p < n.values.size(); ++p) totalN += n.values[p], totalA += a.values[p];
  const double middle = mean(a.values, mj - 4, mj + 4) / mean(n.values, mj - 4, mj + 4);
  const double edge = mean(a.values, front, front + 3) / mean(n.values, front, front + 3);
  std::printf("GE row %d with the CT's attenuation: %.2f x the counts, %.2f x in the middle, %.2f x at the front\n", row,
              totalA / totalN, middle, edge);
  EXPECT_GT(totalA / totalN, 3);
  EXPECT_LT(totalA / totalN, 15);
  EXPECT_GT(middle, 1.5 * edge);
}

}  // namespace
