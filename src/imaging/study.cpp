#include "imaging/study.h"

#include "imaging/backproject_blocks.h"
#include "imaging/geometry.h"
#include "imaging/text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sinora {

ProjectionStudy::ProjectionStudy(std::vector<std::uint16_t> counts) : counts_(std::move(counts)) {
  counts_.resize(kStudyCounts, 0);
  finish();
}

ProjectionStudy::ProjectionStudy(StudyGeometry geometry, std::vector<std::uint16_t> counts, ExactCounts exact)
    : geometry_(std::move(geometry)), counts_(std::move(counts)), exact_(std::move(exact)) {
  geometry_.views = std::clamp(geometry_.views, 1, kMaxViews);
  geometry_.rows = std::clamp(geometry_.rows, 1, kMaxRowsOrBins);
  geometry_.bins = std::clamp(geometry_.bins, 1, kMaxRowsOrBins);
  rows_ = geometry_.rows;
  bins_ = geometry_.bins;
  counts_.resize(std::size_t(geometry_.views) * rows_ * bins_, 0);
  if (exact_ && exact_->size() != counts_.size()) exact_ = nullptr;
  finish();
}

void exactRow(const ProjectionStudy& study, int view, int row, double* out) {
  const std::size_t at = (std::size_t(view) * study.rows() + std::size_t(row)) * study.bins();
  if (const std::vector<float>* exact = study.exactCounts()) {
    std::copy_n(exact->data() + at, study.bins(), out);
  } else {
    std::copy_n(study.counts().data() + at, study.bins(), out);
  }
}

std::shared_ptr<const void> ProjectionStudy::derived(
    const std::string& key, const std::function<std::shared_ptr<const void>()>& make) const {
  {
    std::lock_guard<std::mutex> lock(derivedMutex_);
    if (auto it = derived_.find(key); it != derived_.end()) return it->second;
  }
  // Made without the lock (it may take long); a second maker's result is dropped.
  std::shared_ptr<const void> made = make();
  std::lock_guard<std::mutex> lock(derivedMutex_);
  return derived_.emplace(key, std::move(made)).first->second;
}

void ProjectionStudy::finish() {
  const int v = geometry_.views;
  if (geometry_.angles.size() != std::size_t(v)) {
    geometry_.angles.resize(std::size_t(v));
    for (int k = 0; k < v; ++k) geometry_.angles[std::size_t(k)] = v == kProjections ? k * 6.0 : k * 360.0 / v;
  }
  classic_ = v == kProjections && rows_ == kSize && bins_ == kSize;
  for (int k = 0; classic_ && k < v; ++k) classic_ = geometry_.angles[std::size_t(k)] == k * 6.0;
  std::uint16_t m = 0;
  std::uint64_t total = 0;
  for (std::uint16_t c : counts_) {
    m = std::max(m, c);
    total += c;
  }
  maximum_ = std::max<std::int32_t>(10, m);
  total_ = total;
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

namespace {
const char kFolder[] = "フォルダです。プロジェクションデータのファイルではありません。";
const char kNotRegular[] = "通常のファイルではありません（パイプ、ソケットまたはデバイス）。";
}  // namespace

static std::string withCommas(std::uint64_t n) {
  std::string s = std::to_string(n);
  for (int i = int(s.size()) - 3; i > 0; i -= 3) s.insert(std::size_t(i), ",");
  return s;
}

std::string systemReason(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "読み取りの権限がありません";
    case ENOENT: return "ファイルが見つかりません";
    case ENOTDIR: return "パスの途中がフォルダではありません";
    case ENAMETOOLONG: return "ファイル名が長すぎます";
    case ELOOP: return "シンボリックリンクが多すぎます";
    case EIO: return "入出力エラーが起きました";
    case EISDIR: return "フォルダです";
    case ENOSPC: return "ディスクに空きがありません";
    case EROFS: return "読み取り専用のファイルシステムです";
    case EEXIST: return "同じ名前のファイルがすでにあります";
    default: return fill("システムエラー %1: %2", {std::to_string(error), std::strerror(error)});
  }
}

StudyReadResult readStudyFile(const std::string& path) {
  StudyReadResult result;
  if (path.empty()) {
    result.error = "ファイル名が指定されていません。";
    return result;
  }
  // Non-blocking, so that a pipe or device named here cannot hang the program; the checks are
  // made on what was actually opened.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (e == ENOENT) result.error = "ファイルが見つかりません。";
    else if (exists && S_ISDIR(st.st_mode)) result.error = kFolder;
    // A socket cannot be opened at all; it is no more a study than a pipe is.
    else if (exists && !S_ISREG(st.st_mode)) result.error = kNotRegular;
    else result.error = fill("ファイルを開けません（%1）。", {systemReason(e)});
    return result;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    result.error = S_ISDIR(st.st_mode) ? kFolder : kNotRegular;
    ::close(fd);
    return result;
  }
  // Read no more than a study needs: the rest of a longer file is ignored.
  std::vector<std::uint8_t> bytes(kStudyFileBytes);
  std::uint64_t got = 0;
  int readError = 0;
  while (got < kStudyFileBytes) {
    const ssize_t n = ::read(fd, bytes.data() + got, kStudyFileBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readError = errno;
    if (n <= 0) break;
    got += std::uint64_t(n);
  }
  ::close(fd);
  if (readError != 0) {
    result.error = fill("ファイルを最後まで読めません（%1）。", {systemReason(readError)});
  } else if (got == 0) {
    result.error = fill("ファイルが空です。プロジェクションデータには %1 バイト以上が必要です。", {withCommas(kStudyFileBytes)});
  } else if (got < kStudyFileBytes) {
    result.error = fill("ファイルが短すぎます（%1 バイト）。プロジェクションデータには %2 バイト以上が必要です。",
                        {withCommas(got), withCommas(kStudyFileBytes)});
  } else {
    result.study = decodeStudy(bytes.data(), got);
    result.files = {path};
  }
  return result;
}

StudyPtr withEnergyWindow(const ProjectionStudy& study, int window) {
  const auto& set = study.geometry().energyWindows;
  if (!set || window < 0 || std::size_t(window) >= set->counts.size()) return nullptr;
  StudyGeometry g = study.geometry();
  g.energyWindow = window;
  return std::make_shared<const ProjectionStudy>(
      std::move(g), set->counts[std::size_t(window)],
      std::size_t(window) < set->exact.size() ? set->exact[std::size_t(window)] : nullptr);
}

const EnergyWindow* currentEnergyWindow(const ProjectionStudy& study) {
  const auto& set = study.geometry().energyWindows;
  const int w = study.geometry().energyWindow;
  if (!set || w < 0 || std::size_t(w) >= set->windows.size()) return nullptr;
  return &set->windows[std::size_t(w)];
}

}  // namespace sinora
