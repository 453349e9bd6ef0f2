// The program's texts are written in Japanese, its own language, and pass through Qt's
// translation system at the moment they are shown: with Japanese chosen nothing is installed
// and T returns the text itself, byte for byte; with English, its entry of
// translations/sinora_en.ts. One context holds every text.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <string>

namespace sinora {

inline constexpr char kTextContext[] = "Sinora";

inline QString T(const char* japanese) { return QCoreApplication::translate(kTextContext, japanese); }

// A message the imaging core or a reader wrote (Japanese, UTF-8): its entry if it has one as it
// stands, else the entry of the pattern it was filled from (imaging/text.h), with the values
// put back, each translated in turn. Without an entry it stays as written.
QString TM(const std::string& japanese);

// The same message in English whatever language the interface speaks: what the command-line
// tools print (they speak English everywhere). Text of several lines that is not one message
// is translated line by line.
QString TE(const std::string& japanese);
QString TE(const QString& japanese);

}  // namespace sinora

// Marks a text kept in a table for T() to translate where it is shown (the translation script
// collects both).
#define SINORA_TEXT(japanese) japanese
