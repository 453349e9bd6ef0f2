// Single attribute values as the DICOM readers (NM projections, CT slices) take them. Each reader
// bounds a value's length: a longer one (a hostile length) is taken as absent rather than loaded.
// A number that is not finite is absent too.
#pragma once

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcitem.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace sinora::formats {

// A code string as it is compared: upper case, the padding space dropped.
inline std::string upperCode(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

struct DicomValues {
  Uint32 maxBytes = 0;         // a longer value is absent
  bool unsignedFirst = false;  // whole numbers: read as US before SL / SS and text

  bool present(DcmItem* item, const DcmTagKey& key) const {
    DcmElement* e = nullptr;
    return item && item->findAndGetElement(key, e).good() && e && e->getLength() <= maxBytes;
  }

  // The value's text (its `pos`-th of several), empty when absent.
  std::string text(DcmItem* item, const DcmTagKey& key, unsigned long pos = 0) const {
    OFString v;
    if (present(item, key) && item->findAndGetOFString(key, v, pos).good()) return std::string(v.c_str());
    return {};
  }

  bool real(DcmItem* item, const DcmTagKey& key, double* out, unsigned long pos = 0) const {
    Float64 v;
    if (present(item, key) && item->findAndGetFloat64(key, v, pos).good() && std::isfinite(v)) {
      *out = v;
      return true;
    }
    return false;
  }

  // A whole number in any of its value representations (binary, or the text of an IS), else
  // `fallback`.
  long whole(DcmItem* item, const DcmTagKey& key, long fallback) const {
    Uint16 u;
    if (unsignedFirst && present(item, key) && item->findAndGetUint16(key, u).good()) return u;
    Sint32 v;
    if (present(item, key) && item->findAndGetSint32(key, v).good()) return v;
    const std::string t = text(item, key);
    if (!t.empty()) {
      char* end = nullptr;
      const long l = std::strtol(t.c_str(), &end, 10);
      if (end != t.c_str()) return l;
    }
    return fallback;
  }
};

}  // namespace sinora::formats
