// The program's texts are written in Japanese, its own language, and pass through Qt's
// translation system at the moment they are shown: with Japanese chosen nothing is installed
// and T returns the text itself, byte for byte; with English, its entry of
// translations/sinora_en.ts. One context holds every text.
#pragma once

#include <QCoreApplication>
#include <QRegularExpression>
#include <QString>

#include <string>

namespace sinora {

inline constexpr char kTextContext[] = "Sinora";

inline QString T(const char* japanese) { return QCoreApplication::translate(kTextContext, japanese); }

// A message the imaging core or a reader wrote, numbers and all: looked up as it is, else with
// each number (digits, with a decimal part) as %1, %2, ... in order, the numbers put back in
// the translation. Without an entry it stays as written.
inline QString TM(const std::string& japanese) {
  const QString text = QString::fromStdString(japanese);
  const QString exact = T(japanese.c_str());
  if (exact != text) return exact;
  static const QRegularExpression number(QStringLiteral("\\d+(?:\\.\\d+)?"));
  QString pattern;
  QStringList numbers;
  qsizetype at = 0;
  for (auto it = number.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    pattern += text.mid(at, m.capturedStart() - at) + QLatin1Char('%') + QString::number(numbers.size() + 1);
    numbers << m.captured();
    at = m.capturedEnd();
  }
  if (numbers.isEmpty()) return text;
  pattern += text.mid(at);
  QString translated = QCoreApplication::translate(kTextContext, pattern.toUtf8().constData());
  if (translated == pattern) return text;
  for (int n = int(numbers.size()); n >= 1; --n)  // %10 before %1
    translated.replace(QLatin1Char('%') + QString::number(n), numbers[n - 1]);
  return translated;
}

}  // namespace sinora

// Marks a text kept in a table for T() to translate where it is shown (the translation script
// collects both).
#define SINORA_TEXT(japanese) japanese
