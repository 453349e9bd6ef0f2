// Reading a number from an edit box the way the C library's atof reads it (leading white space,
// sign, decimal or hexadecimal digits, exponent, inf, nan; the rest ignored; 0 when there is no
// number), always with '.' as the decimal point whatever the user's locale.
#pragma once

#include <string>

namespace sinora {

double readNumber(const std::string& text);

}  // namespace sinora
