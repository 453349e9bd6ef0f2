// The messages of the core are written whole, with %1, %2, ... where their values go, so that
// the interface can find each one's translation and put the values (translated in turn) back
// (platform/tr.h). fill puts the values in; a message without values is a plain literal.
#pragma once

#include <initializer_list>
#include <string>

namespace sinora {

inline std::string fill(const char* pattern, std::initializer_list<std::string> values) {
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' && std::size_t(p[1] - '1') < values.size()) {
      out += *(values.begin() + (p[1] - '1'));
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace sinora
