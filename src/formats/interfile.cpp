#include "formats/interfile.h"

#include "imaging/text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sinora::formats {

namespace {

std::string trim(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string normalKey(const std::string& raw) {
  std::string k = trim(raw);
  if (!k.empty() && k[0] == '!') k = trim(k.substr(1));
  std::string out;
  bool space = false;
  for (char c : lower(k)) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = true;
      continue;
    }
    if (space && !out.empty()) out += ' ';
    space = false;
    out += c;
  }
  // "matrix size[1]" and "matrix size [1]" are the same key.
  std::string spaced;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '[' && i > 0 && out[i - 1] != ' ') spaced += ' ';
    spaced += out[i];
  }
  return spaced;
}

bool number(const std::string& text, double* out) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (errno == ERANGE || !end || trim(end).size() != 0 || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

bool wholeNumber(const std::string& text, long lo, long hi, long* out) {
  double v;
  if (!number(text, &v) || v != std::floor(v) || v < double(lo) || v > double(hi)) return false;
  *out = long(v);
  return true;
}

}  // namespace

std::map<std::string, std::string> parseInterfileKeys(const std::string& text) {
  std::map<std::string, std::string> keys;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    const std::size_t semi = line.find(';');
    if (semi != std::string::npos) line.erase(semi);
    const std::size_t sep = line.find(":=");
    if (sep == std::string::npos) continue;
    const std::string key = normalKey(line.substr(0, sep));
    if (key.empty()) continue;
    keys.emplace(key, trim(line.substr(sep + 2)));  // the first of repeated keys counts
  }
  return keys;
}

InterfileAngleConvention interfileAngleConvention(const std::map<std::string, std::string>& keys) {
  auto value = [&](const char* key) {
    auto it = keys.find(key);
    return it == keys.end() ? std::string() : it->second;
  };
  auto said = [&](const char* key) { return std::string(key) + " := " + value(key); };
  InterfileAngleConvention c;
  for (const char* key : {"originating system", "conversion program", "program author"})
    if (lower(value(key)).find("simind") != std::string::npos) {
      c.evidence = said(key);
      return c;
    }
  if (lower(value("originating system")) == "sinora") {
    c.evidence = said("originating system");
    return c;
  }
  c.angles = InterfileAngles::Dicom;
  if (lower(value("version of keys")).rfind("stir", 0) == 0) c.evidence = "!" + said("version of keys");
  else if (lower(value("imaging modality")) == "nm") c.evidence = "!" + said("imaging modality");
  else if (keys.count("radii")) c.evidence = "radii := ...";
  else c.angles = InterfileAngles::Interfile33;
  return c;
}

std::string interfileAngleNote(const InterfileAngleConvention& c) {
  if (c.angles == InterfileAngles::Dicom)
    return fill("開始角度は DICOM と同じく 0 度で検出器が患者の背側にあるものと読みました（STIR の書き方、%1）。",
                {c.evidence});
  if (c.evidence.empty())
    return "開始角度は Interfile 3.3 のとおり 0 度で検出器が患者の腹側にある（DICOM の角度 + 180 度）ものと読みました（書いたプログラムを示すキーがありません）。";
  return fill("開始角度は Interfile 3.3 のとおり 0 度で検出器が患者の腹側にある（DICOM の角度 + 180 度）ものと読みました（%1）。",
              {c.evidence});
}

bool looksLikeInterfile(const std::uint8_t* bytes, std::size_t size) {
  std::size_t i = 0;
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;  // UTF-8 BOM
  while (i < size && std::isspace(bytes[i])) ++i;
  const char want[] = "!interfile";
  for (std::size_t k = 0; want[k]; ++k, ++i)
    if (i >= size || std::tolower(bytes[i]) != want[k]) return false;
  return true;
}

bool interpretInterfile(const std::map<std::string, std::string>& keys, InterfileHeader* h,
                        std::string* error) {
  auto get = [&](const char* key) -> const std::string* {
    auto it = keys.find(key);
    return it == keys.end() ? nullptr : &it->second;
  };
  auto missing = [&](const char* key) {
    *error = fill("ヘッダにキー「%1」がありません。", {key});
    return false;
  };
  auto wrong = [&](const char* key, const std::string& value, const std::string& why) {
    *error = fill("ヘッダのキー「%1」の値「%2」%3", {key, value, why});
    return false;
  };
  RawLayout& l = h->layout;
  // STIR writes "NM" in every header; "spect" is seen too.
  if (const std::string* m = get("imaging modality");
      m && lower(*m) != "nucmed" && lower(*m) != "nm" && lower(*m) != "spect")
    return wrong("imaging modality", *m, "は核医学（nucmed、NM、SPECT）ではありません。");
  // A reconstructed volume says so; it is not projection data, whatever else it lacks.
  if (const std::string* p = get("process status"); p && lower(*p) == "reconstructed") {
    *error = "再構成済みの断層画像（process status := reconstructed）です。プロジェクションデータではありません。";
    return false;
  }
  const std::string* type = get("type of data");
  if (!type) return missing("type of data");
  if (lower(*type) != "tomographic")
    return wrong("type of data", *type, "は断層収集（Tomographic）のプロジェクションデータではありません。");
  const std::string* name = get("name of data file");
  if (!name || name->empty()) return missing("name of data file");
  // A control character (NUL above all) would cut the name, and every message naming it, short.
  for (char c : *name)
    if (static_cast<unsigned char>(c) < 0x20) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", unsigned(static_cast<unsigned char>(c)));
      *error = fill("ヘッダのキー「%1」の値に制御文字（%2）があります。", {"name of data file", code});
      return false;
    }
  h->dataFile = *name;

  l.bigEndian = true;  // the Interfile default
  if (const std::string* order = get("imagedata byte order")) {
    const std::string o = lower(*order);
    if (o == "littleendian") l.bigEndian = false;
    else if (o != "bigendian") return wrong("imagedata byte order", *order, "は分かりません。");
  }
  long bytes = 2;
  if (const std::string* b = get("number of bytes per pixel"))
    if (!wholeNumber(*b, 1, 8, &bytes) || (bytes != 1 && bytes != 2 && bytes != 4 && bytes != 8))
      return wrong("number of bytes per pixel", *b, "は 1, 2, 4, 8 のいずれでもありません。");
  l.bytesPerCount = int(bytes);
  const std::string* fmt = get("number format");
  const std::string f = fmt ? lower(*fmt) : "unsigned integer";
  if (f == "unsigned integer") l.format = NumberFormat::Unsigned;
  else if (f == "signed integer") l.format = NumberFormat::Signed;
  else if (f == "short float" || f == "float" || f == "long float") l.format = NumberFormat::Float;
  else return wrong("number format", fmt ? *fmt : f, "は読めない数の形式です。");
  if (l.format == NumberFormat::Float) {
    if (f == "short float" && l.bytesPerCount != 4)
      return wrong("number of bytes per pixel", std::to_string(bytes), "は short float（4 バイト）と合いません。");
    if (f == "long float" && l.bytesPerCount != 8)
      return wrong("number of bytes per pixel", std::to_string(bytes), "は long float（8 バイト）と合いません。");
    if (l.bytesPerCount != 4 && l.bytesPerCount != 8)
      return wrong("number of bytes per pixel", std::to_string(bytes), "は浮動小数点数に使えません。");
  }
  long v = 0;
  const std::string* bins = get("matrix size [1]");
  if (!bins) return missing("matrix size [1]");
  if (!wholeNumber(*bins, 1, kMaxRowsOrBins, &v))
    return wrong("matrix size [1]", *bins, "は 1 から 512 までの整数ではありません。");
  l.bins = int(v);
  const std::string* rows = get("matrix size [2]");
  if (!rows) return missing("matrix size [2]");
  if (!wholeNumber(*rows, 1, kMaxRowsOrBins, &v))
    return wrong("matrix size [2]", *rows, "は 1 から 512 までの整数ではありません。");
  l.rows = int(v);
  const std::string* views = get("number of projections");
  if (!views) return missing("number of projections");
  if (!wholeNumber(*views, 1, kMaxViews, &v))
    return wrong("number of projections", *views, "は 1 から 1024 までの整数ではありません。");
  l.views = int(v);
  double d = 360;
  if (const std::string* e = get("extent of rotation"))
    if (!number(*e, &d) || d <= 0 || d > 360)
      return wrong("extent of rotation", *e, "は 0 より大きく 360 以下の角度ではありません。");
  l.arcDegrees = d;
  // A part orbit is written either way: V steps or, from the first view to the last, V - 1.
  // When only the second gives a step of whole hundredths of a degree, that is what was meant.
  auto hundredths = [](double step) { return std::fabs(step * 100 - std::round(step * 100)) < 1e-6; };
  l.arcIsSpan = d < 360 && l.views > 1 && hundredths(d / (l.views - 1)) && !hundredths(d / l.views);
  double start = 0;
  if (const std::string* s = get("start angle"))
    if (!number(*s, &start) || std::fabs(start) > 360)
      return wrong("start angle", *s, "は -360 から 360 までの角度ではありません。");
  // The program's angle is 180 minus DICOM's; Interfile 3.3's zero is DICOM's 180, so for it the
  // program's angle is simply minus Interfile's (docs/geometry.md).
  h->angles = interfileAngleConvention(keys);
  l.startDegrees = h->angles.angles == InterfileAngles::Dicom ? 180 - start : -start;
  l.clockwise = true;
  if (const std::string* dir = get("direction of rotation")) {
    const std::string r = lower(*dir);
    if (r == "ccw") l.clockwise = false;
    else if (r != "cw") return wrong("direction of rotation", *dir, "は CW でも CCW でもありません。");
  }
  l.pixelSizeMm = 0;
  if (const std::string* s = get("scaling factor (mm/pixel) [1]")) {
    double mm;
    if (number(*s, &mm) && mm > 0) l.pixelSizeMm = mm;
  }
  l.headerBytes = 0;
  if (const std::string* o = get("data offset in bytes [1]"); o || (o = get("data offset in bytes"))) {
    long off;
    if (!wholeNumber(*o, 0, 1L << 40, &off)) return wrong("data offset in bytes", *o, "は 0 以上の整数ではありません。");
    l.headerBytes = std::uint64_t(off);
  } else if (const std::string* blk = get("data starting block")) {
    long b;
    if (!wholeNumber(*blk, 0, 1L << 29, &b)) return wrong("data starting block", *blk, "は 0 以上の整数ではありません。");
    l.headerBytes = std::uint64_t(b) * 2048;
  }
  return true;
}

namespace {

// The energy windows the header lists ("number of energy windows", "energy window [i]", its lower
// and upper level) and the radius of rotation; window i > 1 is read from "name of data file [i]"
// with the first one's layout. A window that cannot be read fails the whole opening.
StudyReadResult withInterfileWindows(const std::map<std::string, std::string>& keys,
                                     const std::string& headerPath, const InterfileHeader& h,
                                     StudyReadResult first) {
  auto get = [&](const std::string& key) -> const std::string* {
    auto it = keys.find(key);
    return it == keys.end() ? nullptr : &it->second;
  };
  StudyGeometry g = first.study->geometry();
  bool changed = false;
  double radius = 0;
  if (const std::string* r = get("radius"); r && number(*r, &radius) && radius > 0 && radius <= 10000) {
    g.radiusMm = {radius};
    changed = true;
  }
  long n = 1;
  if (const std::string* c = get("number of energy windows"); c && !wholeNumber(*c, 1, 64, &n)) n = 1;
  if (n > 1) {
    auto set = std::make_shared<EnergyWindowSet>();
    for (long i = 1; i <= n; ++i) {
      const std::string at = " [" + std::to_string(i) + "]";
      EnergyWindow w;
      if (const std::string* name = get("energy window" + at)) w.name = *name;
      double v;
      if (const std::string* lo = get("energy window lower level" + at); lo && number(*lo, &v)) w.lowerKeV = v;
      if (const std::string* hi = get("energy window upper level" + at); hi && number(*hi, &v)) w.upperKeV = v;
      if (i == 1) {
        set->windows.push_back(w);
        set->counts.push_back(first.study->counts());
        set->exact.push_back(first.study->sharedExactCounts());
        continue;
      }
      const std::string* file = get("name of data file" + at);
      if (!file || file->empty()) {
        first.study = nullptr;
        first.error = fill("ヘッダにキー「%1」がありません。", {"name of data file" + at});
        return first;
      }
      std::string data = *file;
      if (data[0] != '/') {
        const std::size_t slash = headerPath.rfind('/');
        if (slash != std::string::npos) data = headerPath.substr(0, slash + 1) + data;
      }
      struct stat hs {}, ds {};
      if (::stat(headerPath.c_str(), &hs) == 0 && ::stat(data.c_str(), &ds) == 0 &&
          hs.st_dev == ds.st_dev && hs.st_ino == ds.st_ino) {
        first.study = nullptr;
        first.error = fill("キー「%1」がヘッダ自身を指しています。", {"name of data file" + at});
        return first;
      }
      StudyReadResult r = readRaw(data, h.layout, "Interfile 3.3");
      if (!r.study) {
        first.study = nullptr;
        first.error = fill("データファイル %1: %2", {*file, r.error});
        return first;
      }
      set->windows.push_back(w);
      set->counts.push_back(r.study->counts());
      set->exact.push_back(r.study->sharedExactCounts());
      first.files.push_back(data);
    }
    g.energyWindows = set;
    changed = true;
  }
  if (changed)
    first.study = std::make_shared<const ProjectionStudy>(std::move(g), first.study->counts(),
                                                          first.study->sharedExactCounts());
  return first;
}

}  // namespace

StudyReadResult readInterfile(const std::string& headerPath) {
  StudyReadResult result;
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  if (!readWholeFile(headerPath, kMaxHeaderBytes + 1, &bytes, &result.error, &size)) return result;
  if (size > kMaxHeaderBytes) {
    result.error = fill("ヘッダが大きすぎます（%1 バイト、Interfile のヘッダは %2 バイトまで）。",
                        {std::to_string(size), std::to_string(kMaxHeaderBytes)});
    return result;
  }
  const std::string text(bytes.begin(), bytes.end());
  InterfileHeader h;
  if (!interpretInterfile(parseInterfileKeys(text), &h, &result.error)) return result;
  std::string data = h.dataFile;
  if (data[0] != '/') {
    const std::size_t slash = headerPath.rfind('/');
    if (slash != std::string::npos) data = headerPath.substr(0, slash + 1) + data;
  }
  struct stat hs {}, ds {};
  if (::stat(headerPath.c_str(), &hs) == 0 && ::stat(data.c_str(), &ds) == 0 &&
      hs.st_dev == ds.st_dev && hs.st_ino == ds.st_ino) {
    result.error = "キー「name of data file」がヘッダ自身を指しています。";
    return result;
  }
  const std::uint64_t need = h.layout.headerBytes + std::uint64_t(h.layout.views) * h.layout.rows *
                                                        h.layout.bins * h.layout.bytesPerCount;
  if (::stat(data.c_str(), &ds) == 0 && S_ISREG(ds.st_mode) && std::uint64_t(ds.st_size) < need) {
    result.error = fill("データファイル %1 は %2 バイトで、ヘッダのキー「matrix size」「number of projections」「number of bytes per pixel」から求めた %3 バイトに足りません。",
                        {h.dataFile, std::to_string(ds.st_size), std::to_string(need)});
    return result;
  }
  StudyReadResult r = readRaw(data, h.layout, "Interfile 3.3", {interfileAngleNote(h.angles)});
  if (!r.study) {
    r.error = fill("データファイル %1: %2", {h.dataFile, r.error});
    return r;
  }
  r.files = {headerPath, data};
  return withInterfileWindows(parseInterfileKeys(text), headerPath, h, std::move(r));
}

std::string interfileDataPath(const std::string& headerPath) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!readWholeFile(headerPath, 1 << 20, &bytes, &error)) return {};
  const auto keys = parseInterfileKeys(std::string(bytes.begin(), bytes.end()));
  const auto it = keys.find("name of data file");
  if (it == keys.end() || it->second.empty()) return {};
  std::string data = it->second;
  if (data[0] != '/') {
    const std::size_t slash = headerPath.rfind('/');
    if (slash != std::string::npos) data = headerPath.substr(0, slash + 1) + data;
  }
  return data;
}

}  // namespace sinora::formats
