#include "platform/number.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace sinora {

double readNumber(const std::string& text) {
  // strtod_l with the "C" locale is atof without the locale's decimal separator.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace sinora
