// Readers of real studies: Interfile headers and raw counts, bad input of every kind, and the
// public STIR simulation from outside.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "formats/export.h"
#include "formats/formats.h"
#include "formats/interfile.h"
#include "imaging/sample_study.h"
#include "imaging/slices.h"

using namespace sinora;
using namespace sinora::formats;
namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("sinora-formats-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  static std::string floats(const std::vector<float>& v) {
    std::string s(v.size() * 4, '\0');
    std::memcpy(s.data(), v.data(), s.size());  // little-endian machine
    return s;
  }
  // A header for 4 views of 2 rows x 3 bins of little-endian floats.
  static std::string header(const std::string& extra = "", const std::string& data = "d.s") {
    return "!INTERFILE :=\n!imaging modality := nucmed\nname of data file := " + data +
           "\n!type of data := Tomographic\nimagedata byte order := LITTLEENDIAN\n"
           "!number format := short float\n!number of bytes per pixel := 4\n"
           "!matrix size [1] := 3\n!matrix size [2] := 2\n!number of projections := 4\n"
           "!extent of rotation := 360\nstart angle := 0\n!direction of rotation := CCW\n"
           "scaling factor (mm/pixel) [1] := 4.5\n" + extra + "!END OF INTERFILE :=\n";
  }
  fs::path dir;
};

TEST(InterfileKeys, AreCaseBlindWithOptionalBangAndComments) {
  const auto keys = parseInterfileKeys(
      "!INTERFILE :=\r\n  !Matrix   Size[1] := 64 ; bins\nNUMBER OF PROJECTIONS:=120\n"
      ";name of data file := nothing\nstart angle := 180\n!matrix size [1] := 99\n");
  EXPECT_EQ(keys.at("matrix size [1]"), "64");  // the first of a repeated key
  EXPECT_EQ(keys.at("number of projections"), "120");
  EXPECT_EQ(keys.at("start angle"), "180");
  EXPECT_EQ(keys.count("name of data file"), 0u);
  const char* yes[] = {"!INTERFILE :=", "  !interfile:=", "\xEF\xBB\xBF!Interfile"};
  for (const char* t : yes) EXPECT_TRUE(looksLikeInterfile(reinterpret_cast<const std::uint8_t*>(t), std::strlen(t))) << t;
  const char* no[] = {"INTERFILE", "!INTERFIL", ""};
  for (const char* t : no) EXPECT_FALSE(looksLikeInterfile(reinterpret_cast<const std::uint8_t*>(t), std::strlen(t))) << t;
}

// Which writer's start angle a header has, from its own keys; the first match decides.
TEST(InterfileKeys, TheStartAnglesConventionComesFromTheHeadersEvidence) {
  const struct {
    const char* keys;
    InterfileAngles angles;
    const char* evidence;
  } cases[] = {
      {"!imaging modality := nucmed\n!version of keys := 3.3\n", InterfileAngles::Interfile33, ""},
      {"!version of keys := STIR4.0\n", InterfileAngles::Dicom, "!version of keys := STIR4.0"},
      {"!version of keys := stir6.0\n", InterfileAngles::Dicom, "!version of keys := stir6.0"},
      {"!imaging modality := NM\n", InterfileAngles::Dicom, "!imaging modality := NM"},
      {"orbit := non-circular\nradii := {150,151}\n", InterfileAngles::Dicom, "radii := ..."},
      {"!originating system := SIMIND\n", InterfileAngles::Interfile33, "originating system := SIMIND"},
      {"conversion program := simind\n", InterfileAngles::Interfile33, "conversion program := simind"},
      {"originating system := Sinora\n", InterfileAngles::Interfile33, "originating system := Sinora"},
      // SIMIND named outweighs what else the header says.
      {"!imaging modality := NM\nprogram author := SIMIND team\n", InterfileAngles::Interfile33,
       "program author := SIMIND team"},
      // A camera's name is no evidence.
      {"originating system := Cubresa SPARK\n", InterfileAngles::Interfile33, ""},
  };
  for (const auto& c : cases) {
    const InterfileAngleConvention got = interfileAngleConvention(parseInterfileKeys(c.keys));
    EXPECT_EQ(got.angles, c.angles) << c.keys;
    EXPECT_EQ(got.evidence, c.evidence) << c.keys;
    const std::string note = interfileAngleNote(got);
    EXPECT_NE(note.find(c.angles == InterfileAngles::Dicom ? "背側" : "腹側"), std::string::npos) << note;
    if (*c.evidence) EXPECT_NE(note.find(c.evidence), std::string::npos) << note;
  }
  // The same header by STIR's convention is DICOM's: 180 degrees from Interfile 3.3's.
  std::string error;
  InterfileHeader stir, plain;
  const std::string base = "!INTERFILE :=\n!type of data := Tomographic\nname of data file := d.s\n"
                           "!matrix size [1] := 4\n!matrix size [2] := 4\n!number of projections := 4\n"
                           "start angle := 30\n!direction of rotation := CCW\n";
  ASSERT_TRUE(interpretInterfile(parseInterfileKeys(base + "!version of keys := STIR5.0\n"), &stir, &error)) << error;
  ASSERT_TRUE(interpretInterfile(parseInterfileKeys(base), &plain, &error)) << error;
  EXPECT_DOUBLE_EQ(stir.layout.startDegrees, 150);   // 180 - 30
  EXPECT_DOUBLE_EQ(plain.layout.startDegrees, -30);  // -(30)
  EXPECT_EQ(stir.layout.clockwise, plain.layout.clockwise);
}

TEST(InterfileKeys, BadHeadersNameTheKey) {
  const struct {
    std::string change;  // a line added before the others (the first of a key counts)
    const char* key;
  } cases[] = {
      {"!type of data := Static\n", "type of data"},
      {"!imaging modality := PET\n", "imaging modality"},
      {"!number format := bit\n", "number format"},
      {"!number of bytes per pixel := 3\n", "number of bytes per pixel"},
      {"!number format := long float\n", "number of bytes per pixel"},
      {"!matrix size [1] := 0\n", "matrix size [1]"},
      {"!matrix size [1] := 513\n", "matrix size [1]"},
      {"!matrix size [2] := -4\n", "matrix size [2]"},
      {"!number of projections := 1025\n", "number of projections"},
      {"!number of projections := 12.5\n", "number of projections"},
      {"!number of projections := nan\n", "number of projections"},
      {"!extent of rotation := 1e400\n", "extent of rotation"},
      {"!direction of rotation := sideways\n", "direction of rotation"},
      {"imagedata byte order := MIDDLEENDIAN\n", "imagedata byte order"},
      {"data offset in bytes [1] := -1\n", "data offset in bytes"},
  };
  for (const auto& c : cases) {
    std::string text = "!INTERFILE :=\n" + c.change + Files::header().substr(14);
    InterfileHeader h;
    std::string error;
    EXPECT_FALSE(interpretInterfile(parseInterfileKeys(text), &h, &error)) << c.change;
    EXPECT_NE(error.find(c.key), std::string::npos) << c.change << ": " << error;
  }
  for (const char* key : {"matrix size [1]", "number of projections", "name of data file", "type of data"}) {
    std::string text = Files::header();
    const std::size_t at = text.find(std::string(key) + " :=");
    ASSERT_NE(at, std::string::npos) << key;
    text.erase(at, text.find('\n', at) - at);
    InterfileHeader h;
    std::string error;
    EXPECT_FALSE(interpretInterfile(parseInterfileKeys(text), &h, &error)) << key;
    EXPECT_NE(error.find(key), std::string::npos) << error;
  }
}

// What other producers write for the modality is nuclear medicine; a reconstructed volume is
// refused as such, even without the keys of projection data.
TEST(InterfileKeys, ModalitiesOfOtherProducersAndReconstructedVolumes) {
  for (const char* modality : {"nucmed", "NM", "nm", "SPECT", "spect"}) {
    std::string text = "!INTERFILE :=\n!imaging modality := " + std::string(modality) + "\n" +
                       Files::header().substr(std::strlen("!INTERFILE :=\n!imaging modality := nucmed\n"));
    InterfileHeader h;
    std::string error;
    EXPECT_TRUE(interpretInterfile(parseInterfileKeys(text), &h, &error)) << modality << ": " << error;
  }
  InterfileHeader h;
  std::string error;
  EXPECT_FALSE(interpretInterfile(parseInterfileKeys("!INTERFILE :=\n!imaging modality := nucmed\n"
                                                     "!process status := Reconstructed\n"),
                                  &h, &error));
  EXPECT_NE(error.find("再構成済み"), std::string::npos) << error;
  EXPECT_EQ(error.find("ありません。ヘッダ"), std::string::npos);
  EXPECT_EQ(error.find("キー「type of data」"), std::string::npos) << error;  // not a missing key
}

TEST_F(Files, InterfileFloatsBecomeWholeCountsAndTheImportSaysSo) {
  std::vector<float> v(24);
  for (int i = 0; i < 24; ++i) v[std::size_t(i)] = float(i) + 0.25f;
  v[0] = std::numeric_limits<float>::quiet_NaN();
  v[1] = -7;
  v[2] = std::numeric_limits<float>::infinity();
  v[3] = 2.5f;  // half up
  v[4] = 70000;
  v[5] = 6;     // already whole
  write("d.s", floats(v));
  const StudyReadResult r = readAnyStudy(write("h.hs", header()));
  ASSERT_TRUE(r.study) << r.error;
  const ProjectionStudy& s = *r.study;
  EXPECT_EQ(s.views(), 4);
  EXPECT_EQ(s.rows(), 2);
  EXPECT_EQ(s.bins(), 3);
  EXPECT_FALSE(s.isClassic());
  EXPECT_DOUBLE_EQ(s.geometry().pixelSizeMm, 4.5);
  EXPECT_EQ(s.count(0, 0, 0), 0);
  EXPECT_EQ(s.count(0, 0, 1), 0);
  EXPECT_EQ(s.count(0, 0, 2), 65535);
  EXPECT_EQ(s.count(0, 1, 0), 3);
  EXPECT_EQ(s.count(0, 1, 1), 65535);
  EXPECT_EQ(s.count(0, 1, 2), 6);
  EXPECT_EQ(s.count(3, 1, 2), 23);  // 23.25
  // Beside them, the values as read for the recipe's reconstructions: what is not a number keeps
  // its whole count, negatives are 0, the rest as it was, 70000 and 23.25 too.
  ASSERT_TRUE(s.exactCounts());
  const std::vector<float> expected = {0, 0, 65535, 2.5f, 70000, 6};
  for (std::size_t n = 0; n < expected.size(); ++n) EXPECT_EQ((*s.exactCounts())[n], expected[n]) << n;
  EXPECT_EQ((*s.exactCounts())[23], 23.25f);
  // Exported as Interfile, the weights leave as floats and come back the same.
  const ExportResult out = interfileProjections(s, "p");
  ASSERT_TRUE(out.error.empty()) << out.error;
  for (const ExportFile& f : out.files) write(f.name, f.bytes);
  const StudyReadResult back = readAnyStudy((dir / "p.hs").string());
  ASSERT_TRUE(back.study) << back.error;
  ASSERT_TRUE(back.study->exactCounts());
  EXPECT_EQ(*back.study->exactCounts(), *s.exactCounts());
  EXPECT_EQ(back.study->counts(), s.counts());
  // CCW from Interfile's 0: the program's 0, falling by 90 a view.
  EXPECT_DOUBLE_EQ(s.angleDegrees(0), 0);
  EXPECT_DOUBLE_EQ(s.angleDegrees(1), 270);
  EXPECT_DOUBLE_EQ(s.angleDegrees(3), 90);
  // The start angle's convention, then the rounding.
  ASSERT_EQ(s.geometry().notes.size(), 2u);
  EXPECT_NE(s.geometry().notes[0].find("Interfile 3.3"), std::string::npos) << s.geometry().notes[0];
  EXPECT_NE(s.geometry().notes[1].find("23 個"), std::string::npos) << s.geometry().notes[1];
  EXPECT_NE(s.geometry().notes[1].find("NaN"), std::string::npos);
}

TEST_F(Files, WholeIntegerDataNeedsNoNote) {
  std::string bytes;
  for (int i = 0; i < 24; ++i) bytes += char(i), bytes += char(1);  // little-endian 256 + i
  write("d.s", bytes);
  const StudyReadResult r = readAnyStudy(write(
      "h.hs", "!INTERFILE :=\n!number format := unsigned integer\n!number of bytes per pixel := 2\n" +
                  header().substr(14)));
  ASSERT_TRUE(r.study) << r.error;
  EXPECT_EQ(r.study->count(1, 0, 0), 256 + 6);
  EXPECT_FALSE(r.study->exactCounts());  // whole counts need no copy
  // Only the start angle's convention is said.
  ASSERT_EQ(r.study->geometry().notes.size(), 1u);
  EXPECT_NE(r.study->geometry().notes[0].find("開始角度"), std::string::npos);
}

TEST_F(Files, BadStudiesAreRefusedWithAReason) {
  write("d.s", floats(std::vector<float>(24, 1.0f)));
  write("short.s", floats(std::vector<float>(23, 1.0f)));
  const struct {
    std::string name, text;
    const char* reason;
  } cases[] = {
      {"short.hs", header("", "short.s"), "matrix size"},
      {"nodata.hs", header("", "none.s"), "none.s"},
      {"self.hs", header("", "self.hs"), "ヘッダ自身"},
      {"folder.hs", header("", "."), "フォルダ"},
      {"offset.hs", header("data offset in bytes [1] := 8\n"), "matrix size"},
  };
  for (const auto& c : cases) {
    const StudyReadResult r = readAnyStudy(write(c.name, c.text));
    EXPECT_FALSE(r.study) << c.name;
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << c.name << ": " << r.error;
  }
  // The study file of today is still recognised and still refused when short.
  const StudyReadResult legacy = readAnyStudy(write("old.dat", std::string(100, '\0')));
  EXPECT_FALSE(legacy.study);
  EXPECT_NE(legacy.error.find("1,969,152"), std::string::npos);
  const auto bytes = studyFileBytes(*sampleStudy());
  const StudyReadResult good = readAnyStudy(write("good.dat", std::string(bytes.begin(), bytes.end())));
  ASSERT_TRUE(good.study);
  EXPECT_TRUE(good.study->isClassic());
  EXPECT_EQ(good.study->counts(), sampleStudy()->counts());
}

TEST(RawLayout, SignedBigEndianAndEveryWidth) {
  const std::uint8_t be16[] = {0xFF, 0xFE, 0x01, 0x02};  // -2, 258
  RawLayout l;
  l.bytesPerCount = 2;
  l.format = NumberFormat::Signed;
  std::vector<std::string> notes;
  auto c = decodeCounts(be16, 2, l, &notes);
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[1], 258);
  EXPECT_EQ(notes.size(), 1u);
  const std::uint8_t le32[] = {0x10, 0x00, 0x01, 0x00};  // 65552 unsigned: clamped
  l.bytesPerCount = 4;
  l.format = NumberFormat::Unsigned;
  l.bigEndian = false;
  c = decodeCounts(le32, 1, l, nullptr);
  EXPECT_EQ(c[0], 65535);
  const double d = 41.5;
  std::uint8_t le64[8];
  std::memcpy(le64, &d, 8);
  l.bytesPerCount = 8;
  l.format = NumberFormat::Float;
  c = decodeCounts(le64, 1, l, nullptr);
  EXPECT_EQ(c[0], 42);
  l.bytesPerCount = 2;
  EXPECT_FALSE(checkLayout(l).empty());  // a two-byte float
  l.bytesPerCount = 4;
  l.views = 0;
  EXPECT_FALSE(checkLayout(l).empty());
}

// The public SimSET simulation: a cylinder with hot and cold inserts.
TEST(StirSimulation, OpensAndShowsTheCylinder) {
  const std::string header = std::string(SINORA_SHARED_DATA) + "/stir-spectub/input.hs";
  if (!fs::exists(header)) GTEST_SKIP() << "no shared data at " << header;
  const StudyReadResult r = readAnyStudy(header);
  ASSERT_TRUE(r.study) << r.error;
  const ProjectionStudy& s = *r.study;
  EXPECT_EQ(s.views(), 120);
  EXPECT_EQ(s.rows(), 64);
  EXPECT_EQ(s.bins(), 128);
  EXPECT_DOUBLE_EQ(s.geometry().pixelSizeMm, 3.32);
  ASSERT_EQ(s.geometry().notes.size(), 2u);  // the start angle's convention; weighted counts were rounded
  EXPECT_NE(s.geometry().notes[1].find("丸めました"), std::string::npos);
  EXPECT_NEAR(double(s.totalCounts()), 2.5e7, 0.3e7);
  const Picture slice = filteredPicture(s, 32, ReconFilter::Ramp, 7);
  ASSERT_EQ(slice.width, 128);
  // Inside the cylinder (radius about 30 bins about the centre) far above the outside.
  double inside = 0, outside = 0;
  int nIn = 0, nOut = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      const double r2 = (x - 64.0) * (x - 64.0) + (y - 64.0) * (y - 64.0);
      if (r2 < 15 * 15) inside += slice.at(x, y), ++nIn;
      if (r2 > 50 * 50) outside += slice.at(x, y), ++nOut;
    }
  EXPECT_GT(inside / nIn, 5 * (outside / nOut + 1)) << inside / nIn << " vs " << outside / nOut;
}

TEST(StirSimulation, PinholeHeaderOpensWithoutHarm) {
  const std::string header = std::string(SINORA_SHARED_DATA) + "/stir-pinhole/input.hs";
  if (!fs::exists(header)) GTEST_SKIP() << "no shared data";
  const StudyReadResult r = readAnyStudy(header);
  ASSERT_TRUE(r.study) << r.error;
  EXPECT_EQ(r.study->views(), 91);
  EXPECT_EQ(r.study->bins(), 104);
  // 270 degrees counter-clockwise in 3-degree steps: the angle falls by 3 a view.
  EXPECT_NEAR(std::fmod(r.study->angleDegrees(0) - r.study->angleDegrees(1) + 360, 360), 3.0, 1e-9);
}

}  // namespace
