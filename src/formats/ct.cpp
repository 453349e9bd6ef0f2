#include "formats/ct.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfcache.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "formats/dicom.h"
#include "formats/dicom_values.h"
#include "formats/interfile.h"
#include "formats/raw.h"
#include "imaging/text.h"

namespace sinora::formats {

namespace {

namespace fs = std::filesystem;

// Header values the reader looks at are short; a longer one (a hostile length) is taken as
// absent rather than loaded. Rows, Columns and the bits are US: read as such first.
constexpr DicomValues kValues{64 * 1024, true};
// Files a folder may hold for the reader to look through.
constexpr std::size_t kMaxFolderFiles = 20000;
// A slice of 2048 x 2048 16-bit pixels with its header is under 9 MiB; a bigger file is not one
// (and DCMTK would parse all of it).
constexpr std::uint64_t kMaxSliceFileBytes = std::uint64_t(32) << 20;

std::string text(DcmItem* item, const DcmTagKey& key) { return kValues.text(item, key); }
bool real(DcmItem* item, const DcmTagKey& key, double* out, unsigned long pos = 0) { return kValues.real(item, key, out, pos); }
long whole(DcmItem* item, const DcmTagKey& key, long fallback) { return kValues.whole(item, key, fallback); }

std::string number(double v, const char* format = "%.4g") {
  char s[48];
  std::snprintf(s, sizeof s, format, v);
  return s;
}

std::string baseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const std::size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The header of a loaded dataset; the checks every slice of a series must pass.
std::string headerOf(DcmDataset* ds, CtSliceHeader* h) {
  h->modality = upperCode(text(ds, DCM_Modality));
  h->seriesUid = text(ds, DCM_SeriesInstanceUID);
  h->frameOfReferenceUid = text(ds, DCM_FrameOfReferenceUID);
  h->rows = int(whole(ds, DCM_Rows, 0));
  h->columns = int(whole(ds, DCM_Columns, 0));
  h->frames = int(whole(ds, DCM_NumberOfFrames, 1));
  h->bitsAllocated = int(whole(ds, DCM_BitsAllocated, 16));
  h->samplesPerPixel = int(whole(ds, DCM_SamplesPerPixel, 1));
  h->pixelSigned = whole(ds, DCM_PixelRepresentation, 0) == 1;
  h->hasPosition = true;
  for (unsigned long k = 0; k < 3; ++k) h->hasPosition = h->hasPosition && real(ds, DCM_ImagePositionPatient, &h->position[k], k);
  h->hasOrientation = true;
  for (unsigned long k = 0; k < 6; ++k)
    h->hasOrientation = h->hasOrientation && real(ds, DCM_ImageOrientationPatient, &h->orientation[k], k);
  h->hasSpacing = real(ds, DCM_PixelSpacing, &h->spacing[0], 0) && real(ds, DCM_PixelSpacing, &h->spacing[1], 1);
  if (!real(ds, DCM_RescaleSlope, &h->slope)) h->slope = 1;
  if (!real(ds, DCM_RescaleIntercept, &h->intercept)) h->intercept = 0;
  if (!real(ds, DCM_GantryDetectorTilt, &h->gantryTilt)) h->gantryTilt = 0;
  DcmElement* pixels = nullptr;
  h->hasPixelData = ds->findAndGetElement(DCM_PixelData, pixels).good() && pixels;

  if (h->modality != "CT")
    return fill("CT の画像ではありません（モダリティ %1）。", {h->modality.empty() ? std::string("なし") : h->modality});
  if (!h->hasPixelData) return "画素データがありません。";
  if (h->rows < 1 || h->columns < 1 || h->rows > kMaxCtSide || h->columns > kMaxCtSide)
    return fill("画像の大きさ %1 x %2 は読めません（1 から %3 まで）。",
                {std::to_string(h->columns), std::to_string(h->rows), std::to_string(kMaxCtSide)});
  if (h->frames != 1) return fill("%1 フレームの画像です。1 ファイル 1 スライスの CT だけを読みます。", {std::to_string(h->frames)});
  if (h->bitsAllocated != 8 && h->bitsAllocated != 16)
    return fill("画素のビット数 %1 は読めません（8 または 16）。", {std::to_string(h->bitsAllocated)});
  if (h->samplesPerPixel != 1) return "1 画素 1 サンプルの画像ではありません（Samples per Pixel (0028,0002)）。";
  if (!h->hasPosition) return "Image Position (Patient) (0020,0032) がありません。";
  if (!h->hasOrientation) return "Image Orientation (Patient) (0020,0037) がありません。";
  if (!h->hasSpacing || !(h->spacing[0] > 0) || !(h->spacing[1] > 0) || h->spacing[0] > 1000 || h->spacing[1] > 1000)
    return "Pixel Spacing (0028,0030) がないか、正しくありません。";
  const double* o = h->orientation;
  const double lr = std::sqrt(o[0] * o[0] + o[1] * o[1] + o[2] * o[2]), lc = std::sqrt(o[3] * o[3] + o[4] * o[4] + o[5] * o[5]);
  if (std::fabs(lr - 1) > 0.01 || std::fabs(lc - 1) > 0.01 || std::fabs(o[0] * o[3] + o[1] * o[4] + o[2] * o[5]) > 0.01)
    return "Image Orientation (Patient) (0020,0037) が直交する 2 つの単位ベクトルではありません。";
  if (!(std::fabs(h->slope) > 0) || std::fabs(h->slope) > 1e6 || std::fabs(h->intercept) > 1e6)
    return "Rescale Slope (0028,1053) か Rescale Intercept (0028,1052) が正しくありません。";
  if (std::fabs(h->gantryTilt) > 0.01)
    return fill("ガントリが %1 度傾いています（Gantry/Detector Tilt (0018,1120)）。傾いた CT は読めません。", {number(h->gantryTilt)});
  return {};
}

// DCMTK's RLE decoder can run past its buffers on a fragment whose runs do not add up to its
// frame: every segment is walked first and must decode to exactly one byte plane.
bool rleSound(DcmPixelSequence* fragments, unsigned long have, std::uint64_t plane, Uint32 planes) {
  for (unsigned long i = 1; i < have; ++i) {
    DcmPixelItem* item = nullptr;
    Uint8* bytes = nullptr;
    const Uint32 length = fragments->getItem(item, i).good() && item ? item->getLength() : 0;
    bool sound = length >= 64 && item->getUint8Array(bytes).good() && bytes;
    auto word = [&](Uint32 k) {
      return Uint32(bytes[4 * k]) | Uint32(bytes[4 * k + 1]) << 8 | Uint32(bytes[4 * k + 2]) << 16 | Uint32(bytes[4 * k + 3]) << 24;
    };
    const Uint32 segments = sound ? word(0) : 0;
    sound = sound && segments == planes && word(1) == 64;
    for (Uint32 k = 1; sound && k <= segments; ++k) {
      const std::uint64_t begin = word(k), end = k < segments ? word(k + 1) : length;
      sound = begin < end && end <= length;
      std::uint64_t at = begin, out = 0;
      while (sound && at < end && out < plane) {
        const int n = static_cast<signed char>(bytes[at++]);
        if (n >= 0) {
          sound = at + std::uint64_t(n) + 1 <= end && out + std::uint64_t(n) + 1 <= plane;
          at += std::uint64_t(n) + 1;
          out += std::uint64_t(n) + 1;
        } else if (n != -128) {
          sound = at + 1 <= end && out + std::uint64_t(1 - n) <= plane;
          at += 1;
          out += std::uint64_t(1 - n);
        }
      }
      sound = sound && out == plane;
    }
    if (!sound) return false;
  }
  return true;
}

// How a slice's stored pixels become HU: the bits below the allocated ones kept, the sign taken
// from the top one, then Rescale Slope and Intercept.
struct StoredToHu {
  bool eightBits = false, pixelSigned = false;
  std::int32_t mask = -1, top = 0;
  double slope = 1, intercept = 0;
  float operator()(const Uint8* buffer, std::size_t i) const {
    std::int32_t v;
    if (eightBits) {
      v = buffer[i];
    } else {
      Uint16 w;
      std::memcpy(&w, buffer + 2 * i, 2);
      v = w;
    }
    v &= mask;
    if (pixelSigned && (v & top)) v -= 2 * top;
    return float(v * slope + intercept);
  }
};

// One slice's stored pixels, decoded into `buffer` (the caller's, kept between slices, as is
// `cache`), and how they become HU.
std::string decodeSlice(DcmDataset* ds, const CtSliceHeader& h, std::vector<Uint8>& buffer,
                        DcmFileCache* cache, StoredToHu* toHu) {
  DcmElement* element = nullptr;
  auto* pixels = ds->findAndGetElement(DCM_PixelData, element).good() ? dynamic_cast<DcmPixelData*>(element) : nullptr;
  if (!pixels) return "画素データを読めません（Pixel Data (7FE0,0010) の形が違います）。";
  const std::uint64_t bytesPerPixel = std::uint64_t(h.bitsAllocated / 8);
  const std::uint64_t frameBytes = std::uint64_t(h.rows) * std::uint64_t(h.columns) * bytesPerPixel;
  Uint32 frameSize = 0;
  if (pixels->getUncompressedFrameSize(ds, frameSize).bad() || frameSize != frameBytes)
    return "1 画素 1 サンプルの画像ではありません（Samples per Pixel (0028,0002)）。";
  const DcmXfer xfer(ds->getOriginalXfer());
  if (xfer.isEncapsulated()) {
    DcmPixelSequence* fragments = nullptr;
    const unsigned long have =
        pixels->getEncapsulatedRepresentation(ds->getOriginalXfer(), nullptr, fragments).good() && fragments ? fragments->card() : 0;
    if (have < 2) return "圧縮された画素データに断片がありません。";
    if (xfer.getXfer() == EXS_RLELossless && !rleSound(fragments, have, frameBytes / bytesPerPixel, Uint32(bytesPerPixel)))
      return "RLE で圧縮された画素データが壊れています。";
  } else if (std::uint64_t(pixels->getLength()) < frameBytes) {
    return fill("画素データが短すぎます（%1 バイト、%2 バイトが必要）。",
                {std::to_string(pixels->getLength()), std::to_string(frameBytes)});
  }
  buffer.resize(std::size_t(frameBytes + 2));
  Uint32 startFragment = 0;
  OFString colourModel;
  const OFCondition c = pixels->getUncompressedFrame(ds, 0, startFragment, buffer.data(),
                                                     Uint32(buffer.size() & ~std::size_t(1)), colourModel, cache);
  if (c.bad()) return fill("画素データを読めないか展開できません（DCMTK: %1）。", {c.text()});
  long stored = whole(ds, DCM_BitsStored, h.bitsAllocated);
  if (stored < 1 || stored > h.bitsAllocated) stored = h.bitsAllocated;
  toHu->eightBits = h.bitsAllocated == 8;
  toHu->pixelSigned = h.pixelSigned;
  toHu->mask = stored >= 32 ? -1 : std::int32_t((std::int64_t(1) << stored) - 1);
  toHu->top = std::int32_t(std::int64_t(1) << (stored - 1));
  toHu->slope = h.slope;
  toHu->intercept = h.intercept;
  return {};
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The first bytes of a regular file (without blocking on a pipe); false with `error`.
bool head(const std::string& path, std::size_t want, std::vector<std::uint8_t>* bytes, std::string* error) {
  return readWholeFile(path, want, bytes, error);
}

struct Slice {
  std::string path;
  std::unique_ptr<DcmFileFormat> file;
  CtSliceHeader header;
  double along = 0;
};

// Loads a file's header (its large values stay in the file); empty or why not.
std::string loadSlice(Slice* s) {
  std::vector<std::uint8_t> first;
  std::string error;
  std::uint64_t size = 0;
  if (!readWholeFile(s->path, 136, &first, &error, &size)) return error;
  // The file meta group follows "DICM" (or the data set starts at once).
  const bool preamble = first.size() >= 136 && std::memcmp(first.data() + 128, "DICM", 4) == 0;
  if (!looksLikeDicom(first.data(), first.size()) || (preamble && (first[132] != 2 || first[133] != 0)))
    return "DICOM ファイルではありません。";
  if (size > kMaxSliceFileBytes)
    return fill("CT のスライスとしては大きすぎます（%1 バイト、%2 バイトまで）。", {std::to_string(size), std::to_string(kMaxSliceFileBytes)});
  s->file = std::make_unique<DcmFileFormat>();
  const OFCondition c = s->file->loadFile(OFFilename(s->path.c_str()), EXS_Unknown, EGL_noChange, 4096);
  if (c.bad()) return fill("DICOM ファイルとして読めません（DCMTK: %1）。", {c.text()});
  return headerOf(s->file->getDataset(), &s->header);
}

}  // namespace

std::string readCtSlice(const std::string& path, CtSliceHeader* header, std::vector<float>* hu) {
  useDicomCodecs();
  Slice s;
  s.path = path;
  if (std::string why = loadSlice(&s); !why.empty()) return why;
  *header = s.header;
  hu->assign(std::size_t(header->rows) * std::size_t(header->columns), 0.0f);
  std::vector<Uint8> buffer;
  DcmFileCache cache;
  StoredToHu toHu;
  if (std::string why = decodeSlice(s.file->getDataset(), *header, buffer, &cache, &toHu); !why.empty()) return why;
  for (std::size_t i = 0; i < hu->size(); ++i) (*hu)[i] = toHu(buffer.data(), i);
  return {};
}

AttenuationReadResult readCtSeries(const std::string& path, int threads, const SliceGrid* grid) {
  useDicomCodecs();
  AttenuationReadResult result;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    result.error = errno == ENOENT ? "フォルダまたはファイルが見つかりません。"
                                   : fill("開けません（%1）。", {systemReason(errno)});
    return result;
  }
  const bool folder = S_ISDIR(st.st_mode);
  std::string dir = path, seriesUid;
  std::vector<Slice> slices;
  if (!folder) {
    Slice named;
    named.path = path;
    if (const std::string why = loadSlice(&named); !why.empty()) {
      result.error = fill("ファイル %1: %2", {baseName(path), why});
      return result;
    }
    seriesUid = named.header.seriesUid;
    const std::size_t slash = path.rfind('/');
    dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  }
  // Every regular file of the folder, in name order.
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) {
    result.error = fill("フォルダ %1 を読めません（%2）。", {baseName(dir), ec.message()});
    return result;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code e2;
    if (!it->is_regular_file(e2)) continue;
    names.push_back(it->path().string());
    if (names.size() > kMaxFolderFiles) {
      result.error = fill("フォルダ %1 のファイルが多すぎます（%2 個まで）。", {baseName(dir), std::to_string(kMaxFolderFiles)});
      return result;
    }
  }
  std::sort(names.begin(), names.end());
  // Headers, read by `threads` at once; files that are not DICOM, or of another modality, are
  // passed over in a folder.
  slices.resize(names.size());
  std::vector<std::string> why(names.size());
  threads = std::clamp(threads, 1, 8);
  {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      for (std::size_t k; (k = next++) < names.size();) {
        slices[k].path = names[k];
        why[k] = loadSlice(&slices[k]);
      }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
  }
  std::map<std::string, int> series;  // CT slices by series
  int dicomFiles = 0, otherModality = 0;
  std::string firstRefusal;
  for (std::size_t k = 0; k < slices.size(); ++k) {
    if (slices[k].file) ++dicomFiles;
    if (why[k].empty()) {
      ++series[slices[k].header.seriesUid];
    } else if (slices[k].file && slices[k].header.modality == "CT" && firstRefusal.empty()) {
      // A CT slice of the series that cannot be read refuses the series below.
      firstRefusal = fill("ファイル %1: %2", {baseName(names[k]), why[k]});
    } else if (slices[k].file && slices[k].header.modality != "CT") {
      ++otherModality;
    }
  }
  if (folder) {
    int most = 0;
    for (const auto& [uid, count] : series)
      if (count > most) most = count, seriesUid = uid;
    if (series.empty()) {
      result.error = !firstRefusal.empty()
                         ? firstRefusal
                         : fill("フォルダ %1 に CT のスライスがありません（DICOM ファイル %2 個、そのうち CT 以外 %3 個）。",
                                {baseName(path), std::to_string(dicomFiles), std::to_string(otherModality)});
      return result;
    }
  }
  // The slices of the series; one that is of it but cannot be read refuses the whole.
  std::vector<Slice> kept;
  for (std::size_t k = 0; k < slices.size(); ++k) {
    if (!slices[k].file || slices[k].header.modality != "CT" || slices[k].header.seriesUid != seriesUid) continue;
    if (!why[k].empty()) {
      result.error = fill("ファイル %1: %2", {baseName(names[k]), why[k]});
      return result;
    }
    kept.push_back(std::move(slices[k]));
  }
  slices.clear();
  std::vector<std::string> notes;
  if (series.size() > 1)
    notes.push_back(fill("フォルダに CT のシリーズが %1 個あります。スライスのいちばん多いシリーズ（%2 枚）を読みました。",
                         {std::to_string(series.size()), std::to_string(kept.size())}));
  if (kept.size() < 2) {
    result.error = fill("%1: スライスが 1 枚しかありません。断面を作るには同じシリーズのスライスが 2 枚以上要ります。",
                        {baseName(kept.empty() ? path : kept[0].path)});
    return result;
  }
  if (kept.size() > std::size_t(kMaxCtSlices)) {
    result.error = fill("スライスが多すぎます（%1 枚、%2 枚まで）。", {std::to_string(kept.size()), std::to_string(kMaxCtSlices)});
    return result;
  }
  // One size, orientation and spacing for all.
  const CtSliceHeader h0 = kept[0].header;  // a copy: the slices move below
  const double* o = h0.orientation;
  double n[3] = {o[1] * o[5] - o[2] * o[4], o[2] * o[3] - o[0] * o[5], o[0] * o[4] - o[1] * o[3]};
  const double nl = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (double& v : n) v /= nl;
  for (Slice& s : kept) {
    const CtSliceHeader& h = s.header;
    const std::string name = baseName(s.path);
    if (h.rows != h0.rows || h.columns != h0.columns) {
      result.error = fill("%1: スライスの大きさ %2 x %3 が %4 の %5 x %6 と違います。",
                          {name, std::to_string(h.columns), std::to_string(h.rows), baseName(kept[0].path),
                           std::to_string(h0.columns), std::to_string(h0.rows)});
      return result;
    }
    for (int k = 0; k < 6; ++k)
      if (std::fabs(h.orientation[k] - o[k]) > 1e-3) {
        result.error = fill("%1: スライスの向き（Image Orientation (Patient)）が %2 と違います。", {name, baseName(kept[0].path)});
        return result;
      }
    if (std::fabs(h.spacing[0] - h0.spacing[0]) > 1e-3 * h0.spacing[0] || std::fabs(h.spacing[1] - h0.spacing[1]) > 1e-3 * h0.spacing[1]) {
      result.error = fill("%1: 画素の大きさ（Pixel Spacing）が %2 と違います。", {name, baseName(kept[0].path)});
      return result;
    }
    s.along = h.position[0] * n[0] + h.position[1] * n[1] + h.position[2] * n[2];
  }
  std::stable_sort(kept.begin(), kept.end(), [](const Slice& a, const Slice& b) { return a.along < b.along; });
  // Even steps along the normal, and nothing across it (a tilted gantry moves each slice sideways).
  const double mean = (kept.back().along - kept.front().along) / double(kept.size() - 1);
  std::vector<double> steps;
  for (std::size_t k = 0; k + 1 < kept.size(); ++k) steps.push_back(kept[k + 1].along - kept[k].along);
  std::vector<double> sorted = steps;
  std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
  const double usual = sorted[sorted.size() / 2];
  for (std::size_t k = 0; k + 1 < kept.size(); ++k) {
    const double step = steps[k];
    const std::string a = baseName(kept[k].path), b = baseName(kept[k + 1].path);
    if (step < 1e-3) {
      result.error = fill("%1 と %2 が同じ位置にあります（Image Position (Patient)）。", {a, b});
      return result;
    }
    if (std::fabs(step - usual) > std::max(0.05, 0.01 * usual)) {
      result.error = fill("スライスの間隔がそろっていません: %1 と %2 の間は %3 mm、ほかは %4 mm です。",
                          {a, b, number(step), number(usual)});
      return result;
    }
    double side = 0;
    for (int d = 0; d < 3; ++d) {
      const double across = kept[k + 1].header.position[d] - kept[k].header.position[d] - step * n[d];
      side += across * across;
    }
    if (std::sqrt(side) > std::max(0.05, 0.01 * step)) {
      result.error = fill("%1 と %2 の位置が断面に垂直な向きからずれています（ガントリの傾き、%3 mm）。傾いた CT は読めません。",
                          {a, b, number(std::sqrt(side))});
      return result;
    }
  }
  // The series' middle and extent, before any slice is left out.
  double middle[3], seriesReach[2] = {kept.front().along - mean / 2, kept.back().along + mean / 2};
  for (int d = 0; d < 3; ++d) middle[d] = (kept.front().header.position[d] + kept.back().header.position[d]) / 2;
  {
    const double* c = h0.orientation;
    for (int d = 0; d < 3; ++d)
      middle[d] += (h0.columns - 1) * h0.spacing[1] / 2 * c[d] + (h0.rows - 1) * h0.spacing[0] / 2 * c[3 + d];
  }
  // A grid in the same coordinates needs only the slices within its reach and the shifts'.
  std::size_t from = 0, to = kept.size();
  if (grid && !h0.frameOfReferenceUid.empty() && h0.frameOfReferenceUid == grid->frameOfReferenceUid) {
    double lo, hi;
    gridReach(*grid, n, &lo, &hi);
    while (from + 2 < kept.size() && kept[from + 1].along < lo - kReachMarginMm) ++from;  // one beyond, for
    while (to > from + 2 && kept[to - 2].along > hi + kReachMarginMm) --to;              // the edge's interpolation
  }
  const int leftOut = int(kept.size() - (to - from));
  if (leftOut > 0) {
    std::vector<Slice> within;
    for (std::size_t s = from; s < to; ++s) within.push_back(std::move(kept[s]));
    kept.swap(within);
  }
  // Blocks of k x k pixels averaged: at most 256 across, and the whole within its bound.
  int k = 1;
  while ((h0.columns + k - 1) / k > kCtKeptAcross || (h0.rows + k - 1) / k > kCtKeptAcross) ++k;
  const int cols = std::max(1, h0.columns / k), rows = std::max(1, h0.rows / k);
  const std::uint64_t voxels = std::uint64_t(cols) * rows * kept.size();
  if (voxels > kMaxCtVoxels) {
    result.error = fill("CT が大きすぎます（%1 x %2 x %3 ボクセル、%4 まで）。",
                        {std::to_string(cols), std::to_string(rows), std::to_string(kept.size()), std::to_string(kMaxCtVoxels)});
    return result;
  }
  auto ct = std::make_shared<CtVolume>();
  ct->columns = cols;
  ct->rows = rows;
  ct->slices = int(kept.size());
  for (int d = 0; d < 3; ++d) {
    ct->rowDir[d] = o[d];
    ct->columnDir[d] = o[3 + d];
    ct->normal[d] = n[d];
    ct->middle[d] = middle[d];
  }
  ct->seriesReach[0] = seriesReach[0];
  ct->seriesReach[1] = seriesReach[1];
  ct->slicesLeftOut = leftOut;
  ct->columnMm = h0.spacing[1] * k;
  ct->rowMm = h0.spacing[0] * k;
  ct->sliceMm = mean;
  // The centre of block (0, 0) of the first slice kept.
  for (int d = 0; d < 3; ++d)
    ct->origin[d] = kept[0].header.position[d] + (k - 1) / 2.0 * (h0.spacing[1] * o[d] + h0.spacing[0] * o[3 + d]);
  ct->frameOfReferenceUid = h0.frameOfReferenceUid;
  ct->hu.resize(voxels);
  std::vector<std::string> errors(kept.size());
  {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      std::vector<Uint8> buffer;
      DcmFileCache cache;
      StoredToHu toHu;
      for (std::size_t s; (s = next++) < kept.size();) {
        errors[s] = decodeSlice(kept[s].file->getDataset(), kept[s].header, buffer, &cache, &toHu);
        if (!errors[s].empty()) continue;
        // Below -1000 (the padding outside the field of view) is air.
        std::int16_t* out = ct->hu.data() + s * std::size_t(cols) * rows;
        const float scale = 1.0f / float(k * k);
        std::vector<float> sums(static_cast<std::size_t>(cols));
        for (int y = 0; y < rows; ++y) {
          std::fill(sums.begin(), sums.end(), 0.0f);
          for (int dy = 0; dy < k; ++dy) {
            const std::size_t line = std::size_t(y * k + dy) * h0.columns;
            for (int x = 0; x < cols; ++x)
              for (int dx = 0; dx < k; ++dx)
                sums[std::size_t(x)] += std::max(toHu(buffer.data(), line + std::size_t(x * k + dx)), -1000.0f);
          }
          for (int x = 0; x < cols; ++x)
            out[std::size_t(y) * cols + x] = std::int16_t(std::min(std::floor(sums[std::size_t(x)] * scale + 0.5f), 32767.0f));
        }
        kept[s].file.reset();  // its values are no longer needed
      }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
  }
  for (std::size_t s = 0; s < kept.size(); ++s)
    if (!errors[s].empty()) {
      result.error = fill("ファイル %1: %2", {baseName(kept[s].path), errors[s]});
      return result;
    }
  notes.insert(notes.begin(), fill("CT: %1 枚のスライス（%2 x %3、%4 mm 間隔）を読みました。",
                                   {std::to_string(kept.size() + std::size_t(leftOut)), std::to_string(h0.columns), std::to_string(h0.rows), number(mean)}));
  auto source = std::make_shared<AttenuationSource>();
  source->ct = ct;
  source->name = baseName(path);
  source->path = path;
  source->notes = notes;
  for (const Slice& s : kept) result.files.push_back(s.path);
  result.source = source;
  return result;
}

namespace {

std::string lowerCase(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool wholeIn(const std::string& t, long lo, long hi, long* out) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.c_str(), &end);
  if (errno || end == t.c_str() || !std::isfinite(v) || v != std::floor(v) || v < lo || v > hi) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  *out = long(v);
  return true;
}

bool realIn(const std::string& t, double lo, double hi, double* out) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.c_str(), &end);
  if (errno || end == t.c_str() || !std::isfinite(v) || v < lo || v > hi) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  *out = v;
  return true;
}

}  // namespace

AttenuationReadResult readInterfileMuMap(const std::string& headerPath, int bins, int rows, double pixelMm) {
  AttenuationReadResult result;
  const std::string name = baseName(headerPath);
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  std::string error;
  if (!readWholeFile(headerPath, kMaxHeaderBytes + 1, &bytes, &error, &size)) {
    result.error = fill("ファイル %1: %2", {name, error});
    return result;
  }
  if (size > kMaxHeaderBytes) {
    result.error = fill("%1: ヘッダが大きすぎます（%2 バイトまで）。", {name, std::to_string(kMaxHeaderBytes)});
    return result;
  }
  const auto keys = parseInterfileKeys(std::string(bytes.begin(), bytes.end()));
  auto get = [&](const char* key) -> const std::string* {
    auto it = keys.find(key);
    return it == keys.end() ? nullptr : &it->second;
  };
  auto wrong = [&](const std::string& key, const std::string& value, const char* why) {
    result.error = fill("%1: ヘッダのキー「%2」の値「%3」%4", {name, key, value, why});
    return result;
  };
  long across = 0, down = 0, slices = 0;
  const std::string* a = get("matrix size [1]");
  const std::string* d = get("matrix size [2]");
  if (!a || !d) {
    result.error = fill("%1: ヘッダにキー「%2」がありません。", {name, a ? "matrix size [2]" : "matrix size [1]"});
    return result;
  }
  if (!wholeIn(*a, 1, kMaxRowsOrBins, &across)) return wrong("matrix size [1]", *a, "は 1 から 512 までの整数ではありません。");
  if (!wholeIn(*d, 1, kMaxRowsOrBins, &down)) return wrong("matrix size [2]", *d, "は 1 から 512 までの整数ではありません。");
  const char* sliceKey = nullptr;
  for (const char* key : {"matrix size [3]", "number of slices", "total number of images", "number of images"})
    if (get(key)) {
      sliceKey = key;
      break;
    }
  if (!sliceKey) {
    result.error = fill("%1: ヘッダにスライス数のキー（「matrix size [3]」「number of slices」「total number of images」）がありません。", {name});
    return result;
  }
  if (!wholeIn(*get(sliceKey), 1, kMaxRowsOrBins, &slices)) return wrong(sliceKey, *get(sliceKey), "は 1 から 512 までの整数ではありません。");
  if (across != bins || down != bins || slices != rows) {
    result.error = fill("%1: μ マップの大きさ %2 x %3 x %4 が、今の収集の再構成 %5 x %5 x %6 と合いません。",
                        {name, std::to_string(across), std::to_string(down), std::to_string(slices), std::to_string(bins), std::to_string(rows)});
    return result;
  }
  // The number layout as the projections' reader reads it.
  std::map<std::string, std::string> layoutKeys = keys;
  layoutKeys["type of data"] = "Tomographic";
  layoutKeys["number of projections"] = std::to_string(slices);
  layoutKeys.erase("imaging modality");
  layoutKeys.erase("process status");
  InterfileHeader h;
  if (!interpretInterfile(layoutKeys, &h, &error)) {
    result.error = fill("ファイル %1: %2", {name, error});
    return result;
  }
  const RawLayout& l = h.layout;
  // Units: cm^-1 unless the header says otherwise.
  double toPerCm = 1;
  std::string note = "μ マップの値の単位がヘッダにないので、cm^-1 と見なしました。";
  for (const char* key : {"units", "unit", "quantification units", "value units"})
    if (const std::string* u = get(key)) {
      const std::string v = lowerCase(*u);
      const double mm = l.pixelSizeMm > 0 ? l.pixelSizeMm : pixelMm;
      if (v.find("pixel") != std::string::npos) {
        if (!(mm > 0)) {
          result.error = fill("%1: 値が 1 画素あたりですが、画素の大きさが分かりません（scaling factor (mm/pixel)）。", {name});
          return result;
        }
        toPerCm = 10 / mm;
        note = fill("μ マップの値を 1 画素あたりと読み、画素の大きさ %1 mm で cm^-1 にしました。", {number(mm)});
      } else if (v.find("mm") != std::string::npos) {
        toPerCm = 10;
        note = "μ マップの値を mm^-1 と読み、cm^-1 にしました。";
      } else if (v.find("cm") != std::string::npos) {
        note = "μ マップの値を cm^-1 と読みました。";
      } else {
        return wrong(key, *u, "は μ の単位（cm^-1、mm^-1、1 画素あたり）ではありません。");
      }
      break;
    }
  // The photon energy its values are for: the centre of its (first) energy window, when given.
  double keV = 0;
  for (const char* at : {" [1]", ""}) {
    const std::string loKey = std::string("energy window lower level") + at, hiKey = std::string("energy window upper level") + at;
    const std::string *lo = get(loKey.c_str()), *hi = get(hiKey.c_str());
    if (!lo && !hi) continue;
    double l = 0, u = 0;
    if (!lo || !realIn(*lo, 1, 2000, &l)) return wrong(loKey, lo ? *lo : "", "は keV の数（1 から 2000）ではありません。");
    if (!hi || !realIn(*hi, l, 2000, &u) || !(u > l))
      return wrong(hiKey, hi ? *hi : "", "は下限より大きい keV の数（2000 まで）ではありません。");
    keV = (l + u) / 2;
    break;
  }
  std::string data = h.dataFile;
  if (data[0] != '/') {
    const std::size_t slash = headerPath.rfind('/');
    if (slash != std::string::npos) data = headerPath.substr(0, slash + 1) + data;
  }
  std::uint64_t dataSize = 0;
  const int fd = openRegularFile(data, &dataSize, &error);
  if (fd < 0) {
    result.error = fill("%1: データファイル %2: %3", {name, h.dataFile, error});
    return result;
  }
  const std::uint64_t count = std::uint64_t(bins) * bins * rows, need = l.headerBytes + count * std::uint64_t(l.bytesPerCount);
  if (dataSize < need) {
    ::close(fd);
    result.error = fill("%1: データファイル %2 は %3 バイトで、%4 バイトに足りません。",
                        {name, h.dataFile, std::to_string(dataSize), std::to_string(need)});
    return result;
  }
  auto map = std::make_shared<GivenMuMap>();
  map->bins = bins;
  map->slices = rows;
  map->keV = keV;
  map->perCm.assign(count, 0.0f);
  // Slice by slice; the file's [1] runs across (i), [2] down (j): the map is [i * B + j].
  const int bpp = l.bytesPerCount;
  std::vector<std::uint8_t> slice(std::size_t(bins) * bins * std::size_t(bpp));
  std::uint64_t bad = 0;
  for (int r = 0; r < rows; ++r) {
    std::uint64_t got = 0;
    const std::uint64_t at = l.headerBytes + std::uint64_t(r) * slice.size();
    while (got < slice.size()) {
      const ssize_t n = ::pread(fd, slice.data() + got, slice.size() - got, off_t(at + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(fd);
        result.error = fill("%1: データファイル %2 を最後まで読めません。", {name, h.dataFile});
        return result;
      }
      got += std::uint64_t(n);
    }
    for (int j = 0; j < bins; ++j)
      for (int i = 0; i < bins; ++i) {
        const std::uint8_t* p = slice.data() + (std::size_t(j) * bins + i) * std::size_t(bpp);
        std::uint8_t b[8];
        for (int q = 0; q < bpp; ++q) b[q] = l.bigEndian ? p[bpp - 1 - q] : p[q];  // little-endian order
        std::uint64_t u = 0;
        for (int q = bpp - 1; q >= 0; --q) u = u << 8 | b[q];
        double v;
        if (l.format == NumberFormat::Float) {
          if (bpp == 4) {
            float f;
            const std::uint32_t w = std::uint32_t(u);
            std::memcpy(&f, &w, 4);
            v = f;
          } else {
            std::memcpy(&v, &u, 8);
          }
        } else if (l.format == NumberFormat::Signed) {
          const int shift = 64 - 8 * bpp;
          v = double(std::int64_t(u << shift) >> shift);
        } else {
          v = double(u);
        }
        v *= toPerCm;
        if (!std::isfinite(v) || v < 0 || v > 100) {
          ++bad;
          v = std::isfinite(v) && v > 100 ? 100 : 0;
        }
        map->perCm[std::size_t(r) * bins * bins + std::size_t(i) * bins + j] = float(v);
      }
  }
  ::close(fd);
  auto source = std::make_shared<AttenuationSource>();
  source->map = map;
  source->name = name;
  source->path = headerPath;
  source->notes.push_back(note);
  if (bad > 0)
    source->notes.push_back(fill("負の値、数でない値、100 cm^-1 を超える値が %1 個あり、0 または 100 にしました。", {std::to_string(bad)}));
  result.source = source;
  result.files = {headerPath, data};
  return result;
}

AttenuationReadResult readAttenuation(const std::string& path, const SliceGrid& grid, int threads) {
  if (isDirectory(path)) return readCtSeries(path, threads, &grid);
  std::vector<std::uint8_t> first;
  std::string error;
  if (!head(path, 132, &first, &error)) {
    AttenuationReadResult r;
    r.error = error;
    return r;
  }
  if (looksLikeInterfile(first.data(), first.size())) return readInterfileMuMap(path, grid.bins, grid.rows, grid.pixelMm);
  if (looksLikeDicom(first.data(), first.size())) return readCtSeries(path, threads, &grid);
  AttenuationReadResult r;
  r.error = fill("%1: DICOM の CT でも Interfile の μ マップでもありません。", {baseName(path)});
  return r;
}

}  // namespace sinora::formats
