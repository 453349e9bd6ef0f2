// A projection study: 60 projections of 128 rows x 128 columns of unsigned 16-bit counts, and
// the reader of the study file (3072-byte header, then the counts big-endian, projection by
// projection, row by row). Counts are decoded to host order once, when the study is made.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/image.h"

namespace sinora {

constexpr std::uint64_t kStudyHeaderBytes = 3072;
constexpr std::uint64_t kStudyCounts = std::uint64_t(kProjections) * kPixels;  // 983,040
constexpr std::uint64_t kStudyFileBytes = kStudyHeaderBytes + 2 * kStudyCounts;  // 1,969,152

class ProjectionStudy {
 public:
  // counts[k * 16384 + r * 128 + c]; must hold kStudyCounts values.
  explicit ProjectionStudy(std::vector<std::uint16_t> counts);

  std::uint16_t count(int projection, int row, int column) const {
    return counts_[std::size_t(projection) * kPixels + std::size_t(row) * kSize + column];
  }
  const std::uint16_t* projection(int k) const { return counts_.data() + std::size_t(k) * kPixels; }
  const std::vector<std::uint16_t>& counts() const { return counts_; }
  // Largest count of the whole study, never below 10 (computed once).
  std::int32_t maximum() const { return maximum_; }

 private:
  std::vector<std::uint16_t> counts_;
  std::int32_t maximum_ = 10;
};

using StudyPtr = std::shared_ptr<const ProjectionStudy>;

// Decodes a study from the bytes of a file (header included); nullptr if there are too few.
StudyPtr decodeStudy(const std::uint8_t* bytes, std::uint64_t size);

struct StudyReadResult {
  StudyPtr study;     // null on failure
  std::string error;  // why it failed, in plain words (Japanese, UTF-8)
};

// The system's reason for an errno value, in Japanese (UTF-8).
std::string systemReason(int error);

// Reads a study file. Fails, with a reason, on a missing, unreadable, non-regular or short file.
StudyReadResult readStudyFile(const std::string& path);

}  // namespace sinora
