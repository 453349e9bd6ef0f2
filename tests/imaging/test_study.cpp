#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "imaging/sample_study.h"
#include "imaging/study.h"

using namespace sinora;
namespace fs = std::filesystem;

namespace {

class StudyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sinora-study-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return p.string();
  }
  static std::vector<std::uint8_t> blank(std::size_t size = kStudyFileBytes, std::uint8_t header = 0) {
    std::vector<std::uint8_t> b(size, 0);
    std::fill(b.begin(), b.begin() + kStudyHeaderBytes, header);
    return b;
  }
  fs::path dir_;
};

TEST_F(StudyFile, ByteOrderAndPositions) {
  auto b = blank();
  b[3072] = 0x01, b[3073] = 0x02;      // projection 0, row 0, column 0
  b[35840] = 0xFF, b[35841] = 0xFF;    // projection 1, row 0, column 0
  b[3328] = 0x00, b[3329] = 0x07;      // projection 0, row 1, column 0
  b[kStudyFileBytes - 2] = 0x12, b[kStudyFileBytes - 1] = 0x34;  // projection 59, row 127, column 127
  const StudyReadResult r = readStudyFile(write("s.dat", b));
  ASSERT_TRUE(r.study) << r.error;
  EXPECT_EQ(r.study->count(0, 0, 0), 258);
  EXPECT_EQ(r.study->count(1, 0, 0), 65535);
  EXPECT_EQ(r.study->count(0, 1, 0), 7);
  EXPECT_EQ(r.study->count(59, 127, 127), 0x1234);
  EXPECT_EQ(r.study->maximum(), 65535);
}

TEST_F(StudyFile, HeaderContentAndTrailingBytesAreIgnored) {
  auto zeros = blank(kStudyFileBytes, 0x00);
  auto ones = blank(kStudyFileBytes + 5000, 0xFF);
  for (std::size_t i = kStudyHeaderBytes; i < kStudyFileBytes; ++i)
    zeros[i] = ones[i] = static_cast<std::uint8_t>(i * 31);
  std::fill(ones.begin() + kStudyFileBytes, ones.end(), 0xAB);
  const StudyReadResult a = readStudyFile(write("a.dat", zeros));
  const StudyReadResult b = readStudyFile(write("b.dat", ones));
  ASSERT_TRUE(a.study && b.study);
  EXPECT_EQ(a.study->counts(), b.study->counts());
}

TEST_F(StudyFile, AllZeroStudyHasMaximumTen) {
  const StudyReadResult r = readStudyFile(write("z.dat", blank()));
  ASSERT_TRUE(r.study);
  EXPECT_EQ(r.study->maximum(), 10);
}


TEST_F(StudyFile, FailuresSayWhy) {
  const std::string missing = (dir_ / "missing.dat").string();
  EXPECT_NE(readStudyFile(missing).error.find("ファイルが見つかりません"), std::string::npos);
  EXPECT_FALSE(readStudyFile(missing).study);

  const StudyReadResult folder = readStudyFile(dir_.string());
  EXPECT_FALSE(folder.study);
  EXPECT_NE(folder.error.find("フォルダです"), std::string::npos);

  const StudyReadResult empty = readStudyFile(write("empty.dat", {}));
  EXPECT_FALSE(empty.study);
  EXPECT_NE(empty.error.find("空です"), std::string::npos);

  const StudyReadResult shortFile = readStudyFile(write("short.dat", blank(kStudyFileBytes - 1)));
  EXPECT_FALSE(shortFile.study);
  EXPECT_NE(shortFile.error.find("1,969,151 バイト"), std::string::npos) << shortFile.error;
  EXPECT_NE(shortFile.error.find("1,969,152"), std::string::npos) << shortFile.error;

  const std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const StudyReadResult pipe = readStudyFile(fifo);  // must not block on the pipe
  EXPECT_FALSE(pipe.study);
  EXPECT_NE(pipe.error.find("通常のファイルではありません"), std::string::npos);

  // A socket cannot even be opened: it is refused as a pipe is, not as an unreadable file.
  const std::string sock = (dir_ / "sock").string();
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(sock.size(), sizeof addr.sun_path);
  std::memcpy(addr.sun_path, sock.c_str(), sock.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  const StudyReadResult socketRead = readStudyFile(sock);
  ::close(fd);
  EXPECT_FALSE(socketRead.study);
  EXPECT_NE(socketRead.error.find("通常のファイルではありません"), std::string::npos)
      << socketRead.error;

  EXPECT_FALSE(readStudyFile("").study);
}

TEST_F(StudyFile, UnreadableFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const std::string p = write("locked.dat", blank());
  ::chmod(p.c_str(), 0);
  const StudyReadResult r = readStudyFile(p);
  EXPECT_FALSE(r.study);
  EXPECT_NE(r.error.find("開けません"), std::string::npos);
}

TEST(SampleStudy, DeterministicAndInRange) {
  const std::vector<std::uint16_t> a = sampleStudyCounts();
  const std::vector<std::uint16_t> b = sampleStudyCounts();
  EXPECT_EQ(a, b);
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a over the counts
  for (std::uint16_t v : a) {
    hash = (hash ^ (v & 0xff)) * 1099511628211ull;
    hash = (hash ^ (v >> 8)) * 1099511628211ull;
  }
  EXPECT_EQ(hash, 8400220725534855215ull) << "checksum of the sample study changed";
  const StudyPtr s = sampleStudy();
  EXPECT_EQ(s->counts(), a);
  EXPECT_GE(s->maximum(), 150);
  EXPECT_LE(s->maximum(), 400);
  // Outside the head the detector sees nothing.
  EXPECT_EQ(s->count(0, 60, 0), 0);
  EXPECT_EQ(s->count(30, 2, 64), 0);
}

TEST(SampleStudy, NoiseIsPoissonLike) {
  const std::vector<std::uint16_t> noisy = sampleStudyCounts(true);
  const std::vector<std::uint16_t> ideal = sampleStudyCounts(false);
  double sumDiff = 0, sumSq = 0, sumMean = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < noisy.size(); ++i)
    if (ideal[i] > 20) {
      const double d = double(noisy[i]) - ideal[i];
      sumDiff += d, sumSq += d * d, sumMean += ideal[i], ++n;
    }
  ASSERT_GT(n, 100000u);
  EXPECT_NEAR(sumDiff / n, 0, 0.1);               // unbiased
  EXPECT_NEAR(sumSq / sumMean, 1.0, 0.05);        // variance equals the mean
}

TEST(SampleStudy, FileBytesReadBackAsTheSameStudy) {
  const std::vector<std::uint8_t> bytes = studyFileBytes(*sampleStudy());
  ASSERT_EQ(bytes.size(), kStudyFileBytes);
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + kStudyHeaderBytes, [](auto b) { return b == 0; }));
  const StudyPtr back = decodeStudy(bytes.data(), bytes.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->counts(), sampleStudy()->counts());
}

}  // namespace
