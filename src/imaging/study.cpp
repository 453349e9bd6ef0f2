#include "imaging/study.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace sinora {

ProjectionStudy::ProjectionStudy(std::vector<std::uint16_t> counts) : counts_(std::move(counts)) {
  counts_.resize(kStudyCounts, 0);
  std::uint16_t m = 0;
  for (std::uint16_t v : counts_) m = std::max(m, v);
  maximum_ = std::max<std::int32_t>(10, m);
}

StudyPtr decodeStudy(const std::uint8_t* bytes, std::uint64_t size) {
  if (size < kStudyFileBytes) return nullptr;
  std::vector<std::uint16_t> counts(kStudyCounts);
  const std::uint8_t* p = bytes + kStudyHeaderBytes;
  for (std::size_t n = 0; n < kStudyCounts; ++n) {
    counts[n] = static_cast<std::uint16_t>((p[2 * n] << 8) | p[2 * n + 1]);
  }
  return std::make_shared<const ProjectionStudy>(std::move(counts));
}

static std::string withCommas(std::uint64_t n) {
  std::string s = std::to_string(n);
  for (int i = int(s.size()) - 3; i > 0; i -= 3) s.insert(std::size_t(i), ",");
  return s;
}

StudyReadResult readStudyFile(const std::string& path) {
  StudyReadResult result;
  struct stat st {};
  if (path.empty()) {
    result.error = "No file name was given.";
    return result;
  }
  if (::stat(path.c_str(), &st) != 0) {
    result.error = errno == ENOENT ? "The file does not exist."
                                   : std::string("The file cannot be read: ") + std::strerror(errno) + ".";
    return result;
  }
  if (S_ISDIR(st.st_mode)) {
    result.error = "This is a folder, not a study file.";
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.error = "This is not a regular file.";
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = std::string("The file cannot be opened: ") + std::strerror(errno) + ".";
    return result;
  }
  // Read no more than a study needs: the rest of a longer file is ignored.
  std::vector<std::uint8_t> bytes(kStudyFileBytes);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  const auto got = static_cast<std::uint64_t>(in.gcount());
  if (got < kStudyFileBytes) {
    if (in.bad()) {
      result.error = "The file could not be read to its end.";
    } else if (got == 0) {
      result.error = "The file is empty; a study file needs at least " + withCommas(kStudyFileBytes) +
                     " bytes.";
    } else {
      result.error = "The file is too short: it has " + withCommas(got) +
                     " bytes; a study file needs at least " + withCommas(kStudyFileBytes) + ".";
    }
    return result;
  }
  result.study = decodeStudy(bytes.data(), got);
  return result;
}

}  // namespace sinora
