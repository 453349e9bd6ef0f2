// The program's texts are written in Japanese, its own language, and pass through Qt's
// translation system at the moment they are shown: with Japanese chosen nothing is installed
// and T returns the text itself, byte for byte; with English, its entry of
// translations/sinora_en.ts. One context holds every text.
#pragma once

#include <QCoreApplication>
#include <QString>

namespace sinora {

inline constexpr char kTextContext[] = "Sinora";

inline QString T(const char* japanese) { return QCoreApplication::translate(kTextContext, japanese); }

}  // namespace sinora
