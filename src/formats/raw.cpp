#include "formats/raw.h"

#include "imaging/text.h"

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <limits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sinora::formats {

namespace {

std::uint64_t readUnsigned(const std::uint8_t* p, int n, bool bigEndian) {
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[bigEndian ? i : n - 1 - i];
  return v;
}

}  // namespace

std::string checkLayout(const RawLayout& l) {
  if (l.views < 1 || l.views > kMaxViews) return fill("ビュー数は 1 から 1024 までです（%1）。", {std::to_string(l.views)});
  if (l.rows < 1 || l.rows > kMaxRowsOrBins) return fill("行数は 1 から 512 までです（%1）。", {std::to_string(l.rows)});
  if (l.bins < 1 || l.bins > kMaxRowsOrBins) return fill("ビン数は 1 から 512 までです（%1）。", {std::to_string(l.bins)});
  const int b = l.bytesPerCount;
  if (b != 1 && b != 2 && b != 4 && b != 8)
    return fill("1 画素のバイト数は 1, 2, 4, 8 のいずれかです（%1）。", {std::to_string(b)});
  if (l.format == NumberFormat::Float && b != 4 && b != 8)
    return fill("浮動小数点数は 4 または 8 バイトです（%1）。", {std::to_string(b)});
  if (!(std::isfinite(l.arcDegrees) && std::isfinite(l.startDegrees))) return "角度が数ではありません。";
  return {};
}

std::vector<double> viewAngles(const RawLayout& l) {
  std::vector<double> a(std::size_t(l.views));
  const double step = l.arcIsSpan && l.views > 1 ? l.arcDegrees / (l.views - 1) : l.arcDegrees / l.views;
  for (int k = 0; k < l.views; ++k) {
    double deg = l.startDegrees + (l.clockwise ? 1 : -1) * k * step;
    deg = std::fmod(deg, 360.0);
    if (deg < 0) deg += 360.0;
    a[std::size_t(k)] = deg;
  }
  return a;
}

namespace {

// What decoding changed so far; a study is decoded piece by piece, the note said once at the end.
struct Decoding {
  std::uint64_t changed = 0;
  double largest = -INFINITY;
  bool anyNan = false;
  // The counts as read, begun at the first value whole counts cannot hold (a fraction, or more
  // than 65535), the values before it taken from the whole counts: only a study that needs them
  // pays for them.
  std::vector<float> exact;
  const std::uint16_t* whole = nullptr;  // every whole count of the study
  std::uint64_t total = 0;               // values in the study
  std::uint64_t at = 0;                  // where the piece being decoded starts
  void beginExact(std::uint64_t upTo) {
    exact.resize(total);
    for (std::uint64_t n = 0; n < upTo; ++n) exact[n] = whole[n];
  }
};

template <int N, NumberFormat F, bool BigEndian>
void decodeAs(const std::uint8_t* bytes, std::uint64_t count, std::uint16_t* out, Decoding& d) {
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t u = readUnsigned(bytes + i * N, N, BigEndian);
    double v;
    if constexpr (F == NumberFormat::Float) {
      if constexpr (N == 4) {
        float f;
        const std::uint32_t w = std::uint32_t(u);
        std::memcpy(&f, &w, 4);
        v = f;
      } else {
        std::memcpy(&v, &u, 8);
      }
    } else if constexpr (F == NumberFormat::Signed) {
      constexpr int shift = 64 - 8 * N;
      v = double(std::int64_t(u << shift) >> shift);
    } else {
      v = double(u);
    }
    std::uint16_t c;
    if (!(v == v)) {
      c = 0;
      d.anyNan = true;
    } else if (v <= 0) {
      c = 0;
    } else if (v >= 65535) {
      c = 65535;
    } else {
      c = static_cast<std::uint16_t>(std::floor(v + 0.5));  // half up
    }
    const bool finite = std::isfinite(v);
    if (!finite || double(c) != v) {
      ++d.changed;
      if (finite && v > 0 && d.exact.empty() && d.whole) d.beginExact(d.at + i);
    }
    if (v == v && v > d.largest) d.largest = v;
    out[i] = c;
    // Negatives are 0; what is not a number keeps its whole count (NaN 0, infinity 65535).
    if (!d.exact.empty())
      d.exact[d.at + i] = finite ? float(std::clamp(v, 0.0, double(std::numeric_limits<float>::max()))) : float(c);
  }
}

template <int N, NumberFormat F>
void decodeOrder(const std::uint8_t* b, std::uint64_t n, bool bigEndian, std::uint16_t* out, Decoding& d) {
  if (bigEndian) decodeAs<N, F, true>(b, n, out, d);
  else decodeAs<N, F, false>(b, n, out, d);
}

template <int N>
void decodeWidth(const std::uint8_t* b, std::uint64_t n, const RawLayout& l, std::uint16_t* out, Decoding& d) {
  if constexpr (N == 4 || N == 8)
    if (l.format == NumberFormat::Float) return decodeOrder<N, NumberFormat::Float>(b, n, l.bigEndian, out, d);
  if (l.format == NumberFormat::Signed) return decodeOrder<N, NumberFormat::Signed>(b, n, l.bigEndian, out, d);
  decodeOrder<N, NumberFormat::Unsigned>(b, n, l.bigEndian, out, d);
}

// One loop per width, format and byte order: the values are decoded at the speed of the read.
void decodeInto(const std::uint8_t* bytes, std::uint64_t count, const RawLayout& l,
                std::uint16_t* out, Decoding& d) {
  switch (l.bytesPerCount) {
    case 1: return decodeWidth<1>(bytes, count, l, out, d);
    case 2: return decodeWidth<2>(bytes, count, l, out, d);
    case 4: return decodeWidth<4>(bytes, count, l, out, d);
    default: return decodeWidth<8>(bytes, count, l, out, d);
  }
}

void noteDecoding(const Decoding& d, std::vector<std::string>* notes) {
  if (!notes || d.changed == 0) return;
  char big[64];
  std::snprintf(big, sizeof big, "%.6g", d.largest);
  notes->push_back(fill(d.anyNan ? "%1 個の値を 0〜65535 の整数カウントに丸めました（元の最大値 %2、NaN を含む）。"
                                 : "%1 個の値を 0〜65535 の整数カウントに丸めました（元の最大値 %2）。",
                        {std::to_string(d.changed), big}));
}

const char kFolder[] = "フォルダです。プロジェクションデータのファイルではありません。";
const char kNotRegular[] = "通常のファイルではありません（パイプ、ソケットまたはデバイス）。";

// The study's geometry for the layout; the notes of decoding are added by the caller.
StudyGeometry geometryOf(const RawLayout& l, const std::string& what) {
  StudyGeometry g;
  g.views = l.views;
  g.rows = l.rows;
  g.bins = l.bins;
  g.angles = viewAngles(l);
  g.pixelSizeMm = l.pixelSizeMm > 0 && std::isfinite(l.pixelSizeMm) ? l.pixelSizeMm : 0;
  g.format = what;
  g.description = what;
  if (l.arcIsSpan) {
    char step[32];
    std::snprintf(step, sizeof step, "%.4g", l.arcDegrees / (l.views - 1));
    g.notes.push_back(fill("回転範囲は最初のビューから最後のビューまでと読みました（%1 度ごと）。", {step}));
  }
  return g;
}

}  // namespace

std::vector<std::uint16_t> decodeCounts(const std::uint8_t* bytes, std::uint64_t count,
                                        const RawLayout& l, std::vector<std::string>* notes,
                                        std::vector<float>* exact) {
  std::vector<std::uint16_t> out(count);
  Decoding d;
  if (exact) d.whole = out.data(), d.total = count;
  decodeInto(bytes, count, l, out.data(), d);
  noteDecoding(d, notes);
  if (exact) *exact = std::move(d.exact);
  return out;
}

int openRegularFile(const std::string& path, std::uint64_t* size, std::string* error) {
  // Non-blocking, so that a pipe or device named here cannot hang the program; the checks are
  // made on what was actually opened.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (e == ENOENT) *error = "ファイルが見つかりません。";
    else if (exists && S_ISDIR(st.st_mode)) *error = kFolder;
    else if (exists && !S_ISREG(st.st_mode)) *error = kNotRegular;
    else *error = fill("ファイルを開けません（%1）。", {systemReason(e)});
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = S_ISDIR(st.st_mode) ? kFolder : kNotRegular;
    ::close(fd);
    return -1;
  }
  if (size) *size = std::uint64_t(st.st_size);
  return fd;
}

bool readWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                   std::string* error, std::uint64_t* fileSize) {
  std::uint64_t size = 0;
  const int fd = openRegularFile(path, &size, error);
  if (fd < 0) return false;
  if (fileSize) *fileSize = size;
  const std::uint64_t want = std::min<std::uint64_t>(limit, size);
  bytes->resize(want);
  std::uint64_t got = 0;
  while (got < want) {
    const ssize_t n = ::read(fd, bytes->data() + got, want - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = fill("ファイルを最後まで読めません（%1）。", {systemReason(errno)});
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += std::uint64_t(n);
  }
  ::close(fd);
  bytes->resize(got);
  return true;
}

StudyReadResult readRaw(const std::string& path, const RawLayout& l, const std::string& what,
                        const std::vector<std::string>& notes) {
  StudyReadResult result;
  if (const std::string why = checkLayout(l); !why.empty()) {
    result.error = why;
    return result;
  }
  const std::uint64_t count = std::uint64_t(l.views) * l.rows * l.bins;
  const std::uint64_t dataBytes = count * std::uint64_t(l.bytesPerCount);
  std::uint64_t size = 0;
  const int fd = openRegularFile(path, &size, &result.error);
  if (fd < 0) return result;
  // The size is checked before anything is held: the header is skipped, never read, and the
  // counts go piece by piece straight into the study.
  if (l.headerBytes > size || size - l.headerBytes < dataBytes) {
    ::close(fd);
    const std::uint64_t need = l.headerBytes + dataBytes;
    result.error = fill("データが短すぎます（%1 バイト、必要なのは %2 バイト）。",
                        {std::to_string(size), std::to_string(need)});
    return result;
  }
  std::vector<std::uint16_t> counts(count);
  constexpr std::uint64_t kPiece = std::uint64_t(1) << 20;  // a multiple of every width
  std::vector<std::uint8_t> piece(std::min(kPiece, dataBytes));
  Decoding d;
  d.whole = counts.data();
  d.total = count;
  std::uint64_t done = 0;  // bytes decoded
  while (done < dataBytes) {
    const std::uint64_t want = std::min<std::uint64_t>(piece.size(), dataBytes - done);
    std::uint64_t got = 0;
    while (got < want) {
      const ssize_t n = ::pread(fd, piece.data() + got, want - got, off_t(l.headerBytes + done + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        result.error = n < 0 ? fill("ファイルを最後まで読めません（%1）。", {systemReason(errno)})
                             : fill("データが短すぎます（%1 バイト、必要なのは %2 バイト）。",
                                    {std::to_string(l.headerBytes + done + got),
                                     std::to_string(l.headerBytes + dataBytes)});
        ::close(fd);
        return result;
      }
      got += std::uint64_t(n);
    }
    const std::uint64_t first = done / std::uint64_t(l.bytesPerCount);
    d.at = first;
    decodeInto(piece.data(), want / std::uint64_t(l.bytesPerCount), l, counts.data() + first, d);
    done += want;
  }
  ::close(fd);
  StudyGeometry g = geometryOf(l, what);
  g.notes.insert(g.notes.begin(), notes.begin(), notes.end());
  noteDecoding(d, &g.notes);
  ExactCounts exact;
  if (!d.exact.empty()) exact = std::make_shared<const std::vector<float>>(std::move(d.exact));
  result.study = std::make_shared<const ProjectionStudy>(std::move(g), std::move(counts), std::move(exact));
  result.files = {path};
  return result;
}

StudyPtr studyFromCounts(const std::uint8_t* bytes, const RawLayout& l, const std::string& what) {
  StudyGeometry g = geometryOf(l, what);
  const std::uint64_t count = std::uint64_t(l.views) * l.rows * l.bins;
  std::vector<float> exact;
  std::vector<std::uint16_t> counts = decodeCounts(bytes, count, l, &g.notes, &exact);
  return std::make_shared<const ProjectionStudy>(
      std::move(g), std::move(counts),
      exact.empty() ? nullptr : std::make_shared<const std::vector<float>>(std::move(exact)));
}

}  // namespace sinora::formats
