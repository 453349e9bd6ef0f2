// What any file may cost: a refused file is refused under 300 MB and 5 s whatever its header
// claims (offsets of a terabyte, counts past the end), and a valid study costs its own counts and
// 300 MB more at most. The large files are sparse: made with ftruncate, they take no disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "formats/formats.h"
#include "formats/interfile.h"
#include "formats/raw.h"
#include "peak.h"

using namespace sinora;
using namespace sinora::formats;
using sinora::testing::inChild;
using sinora::testing::kMiB;
namespace fs = std::filesystem;

namespace {

class Bounds : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("sinora-bounds-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  // A file of `size` bytes that begins with `bytes` and is a hole after them.
  std::string sparse(const std::string& name, std::uint64_t size, const std::string& bytes = "") {
    const std::string p = (dir / name).string();
    std::ofstream(p, std::ios::binary) << bytes;
    EXPECT_EQ(::truncate(p.c_str(), off_t(size)), 0) << p;
    return p;
  }
  std::string header(const std::string& keys, const std::string& data = "d.s") {
    const std::string p = (dir / "h.hs").string();
    std::ofstream(p) << "!INTERFILE :=\n!imaging modality := nucmed\nname of data file := " << data
                     << "\n!type of data := Tomographic\n" << keys << "!END OF INTERFILE :=\n";
    return p;
  }
  fs::path dir;
};

const char kSmall[] =
    "!number format := unsigned integer\n!number of bytes per pixel := 2\n"
    "!matrix size [1] := 4\n!matrix size [2] := 4\n!number of projections := 2\n";

TEST_F(Bounds, HugeOffsetsAndClaimsAreRefusedOrSkippedWithoutHoldingThem) {
  const std::uint64_t tib = std::uint64_t(1) << 40, gib = std::uint64_t(1) << 30;
  const struct {
    const char* what;
    std::string keys;
    std::uint64_t dataSize;  // bytes of the (sparse) data file
    bool opens;
  } cases[] = {
      // 64 bytes of counts after a terabyte, in a file one byte short of them, then whole.
      {"offset 1 TiB, short", std::string(kSmall) + "data offset in bytes := 1099511627776\n", tib + 63, false},
      {"offset 1 TiB", std::string(kSmall) + "data offset in bytes := 1099511627776\n", tib + 64, true},
      {"starting block 2^29", std::string(kSmall) + "data starting block := 536870912\n", tib + 64, true},
      {"offset 3 GiB", std::string(kSmall) + "data offset in bytes := 3221225472\n", 3 * gib + 64, true},
      // The largest study the header may claim, in a file of a few bytes.
      {"largest claim, tiny file",
       "!number format := long float\n!number of bytes per pixel := 8\n!matrix size [1] := 512\n"
       "!matrix size [2] := 512\n!number of projections := 1024\n", 16, false},
  };
  for (const auto& c : cases) {
    const std::string h = header(c.keys);
    sparse("d.s", c.dataSize);
    std::string error;
    const auto r = inChild([&] {
      const StudyReadResult read = readAnyStudy(h);
      error = read.error;
      return read.study && read.study->views() == 2 && read.study->bins() == 4;
    }, 5);
    EXPECT_TRUE(r.exited) << c.what;
    EXPECT_EQ(r.succeeded, c.opens) << c.what;
    EXPECT_LT(r.peakGrowth, 300 * kMiB) << c.what;
    fs::remove(dir / "d.s");
  }
}

TEST_F(Bounds, RawHeaderBytesAreSkippedNotRead) {
  // 999,999,999,999 header bytes before 60 views of 128 x 128: the file is one count short,
  // then whole.
  const std::uint64_t header = 999999999999ull, data = 2ull * 60 * 128 * 128;
  RawLayout l;
  l.headerBytes = header;
  for (const std::uint64_t size : {header + data - 2, header + data}) {
    const std::string p = sparse("raw.dat", size);
    const auto r = inChild([&] { return bool(readRaw(p, l).study); }, 5);
    EXPECT_TRUE(r.exited) << size;
    EXPECT_EQ(r.succeeded, size == header + data);
    EXPECT_LT(r.peakGrowth, 300 * kMiB) << size;
  }
  // The reason names both sizes.
  const std::string p = sparse("raw.dat", 10);
  EXPECT_NE(readRaw(p, l).error.find(std::to_string(header + data)), std::string::npos);
}

TEST_F(Bounds, TheLargestValidStudyCostsItsCountsAndLittleMore) {
  // 1024 views of 512 x 512 four-byte floats: 1 GiB of file, 512 MiB of counts.
  const std::string h = header(
      "imagedata byte order := LITTLEENDIAN\n!number format := short float\n"
      "!number of bytes per pixel := 4\n!matrix size [1] := 512\n!matrix size [2] := 512\n"
      "!number of projections := 1024\n");
  const std::uint64_t counts = 1024ull * 512 * 512;
  sparse("d.s", counts * 4);
  const auto r = inChild([&] {
    const StudyReadResult read = readAnyStudy(h);
    return read.study && read.study->views() == 1024 && read.study->counts().size() == counts;
  }, 120);
  EXPECT_TRUE(r.exited);
  EXPECT_TRUE(r.succeeded);
  EXPECT_LE(r.peakGrowth, counts * 2 + 300 * kMiB) << r.peakGrowth / kMiB << " MiB";
  std::printf("opening 1024 x 512 x 512 floats: peak grew by %llu MiB (counts: %llu MiB)\n",
              static_cast<unsigned long long>(r.peakGrowth / kMiB), static_cast<unsigned long long>(counts * 2 / kMiB));
}

TEST_F(Bounds, HeadersThatAreNotHeadersAreNamedForWhatTheyAre) {
  // A header of more than 1 MiB is said to be too long, not to miss a key.
  std::string big(std::size_t(kMaxHeaderBytes) + 10, ' ');
  big.replace(0, 14, "!INTERFILE :=\n");
  const std::string p = (dir / "big.hs").string();
  std::ofstream(p, std::ios::binary) << big;
  const std::string tooBig = readAnyStudy(p).error;
  EXPECT_NE(tooBig.find("ヘッダが大きすぎます"), std::string::npos) << tooBig;
  EXPECT_EQ(tooBig.find("ありません"), std::string::npos) << tooBig;

  const struct {
    std::string keys, data, reason;
  } cases[] = {
      // A NUL in the data file's name: said whole, with the character named.
      {kSmall, std::string("d\0.s", 4), "「name of data file」の値に制御文字（0x00）"},
      {kSmall, "d\x01.s", "（0x01）"},
      // An absurd start angle would put every view at one angle.
      {std::string(kSmall) + "start angle := 1e308\n", "d.s", "「start angle」の値「1e308」"},
      {std::string(kSmall) + "start angle := -361\n", "d.s", "「start angle」の値「-361」"},
  };
  sparse("d.s", 64);
  for (const auto& c : cases) {
    const StudyReadResult r = readAnyStudy(header(c.keys, c.data));
    EXPECT_FALSE(r.study) << c.reason;
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
  }
  // A start angle within a turn either way still opens.
  const StudyReadResult fine = readAnyStudy(header(std::string(kSmall) + "start angle := -270\n"));
  ASSERT_TRUE(fine.study) << fine.error;
  EXPECT_DOUBLE_EQ(fine.study->angleDegrees(0), 270);
}

}  // namespace
