#include "platform/tr.h"

#include <QFile>
#include <QStringList>
#include <QTranslator>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <mutex>
#include <vector>

namespace sinora {

namespace {

struct Pattern {
  QByteArray source;       // as written, %1 ... in place of the values
  QRegularExpression match;
  qsizetype fixed = 0;     // characters that are not values: the more, the better a match
};

// The patterns among the translation file's sources (it is carried as :/i18n/sinora_en.ts).
const std::vector<Pattern>& patterns() {
  static std::vector<Pattern> all;
  static std::once_flag once;
  std::call_once(once, [] {
    QFile f(QStringLiteral(":/i18n/sinora_en.ts"));
    if (!f.open(QIODevice::ReadOnly)) return;
    QXmlStreamReader xml(&f);
    static const QRegularExpression value(QStringLiteral("%[1-9]"));
    while (!xml.atEnd()) {
      if (!xml.readNextStartElement() || xml.name() != QLatin1String("source")) continue;
      const QString source = xml.readElementText();
      if (!source.contains(value)) continue;
      Pattern p;
      p.source = source.toUtf8();
      QString re = QStringLiteral("^");
      qsizetype at = 0;
      for (auto it = value.globalMatch(source); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        re += QRegularExpression::escape(source.mid(at, m.capturedStart() - at)) + QStringLiteral("(.*?)");
        p.fixed += m.capturedStart() - at;
        at = m.capturedEnd();
      }
      re += QRegularExpression::escape(source.mid(at)) + QStringLiteral("$");
      p.fixed += source.size() - at;
      p.match = QRegularExpression(re, QRegularExpression::DotMatchesEverythingOption);
      all.push_back(std::move(p));
    }
  });
  return all;
}

// Translates one text as it stands (the interface's translators, or English alone).
using Translator = QString (*)(const char* source);

QString withInterface(const char* source) { return QCoreApplication::translate(kTextContext, source); }

QString withEnglish(const char* source) {
  static const QTranslator* english = [] {
    auto* t = new QTranslator;  // kept for the program's life
    if (!t->load(QStringLiteral(":/i18n/sinora_en.qm"))) {
      delete t;
      return static_cast<QTranslator*>(nullptr);
    }
    return t;
  }();
  const QString t = english ? english->translate(kTextContext, source) : QString();
  return t.isEmpty() ? QString::fromUtf8(source) : t;
}

QString translateMessage(const QString& text, int depth, Translator translate = withInterface) {
  const QByteArray utf8 = text.toUtf8();
  const QString exact = translate(utf8.constData());
  if (exact != text || depth > 3) return exact;
  const Pattern* best = nullptr;
  QRegularExpressionMatch found;
  for (const Pattern& p : patterns()) {
    if (best && p.fixed <= best->fixed) continue;
    QRegularExpressionMatch m = p.match.match(text);
    if (m.hasMatch()) {
      best = &p;
      found = m;
    }
  }
  if (!best) return text;
  const QString translated = translate(best->source.constData());
  if (translated == QString::fromUtf8(best->source)) return text;  // no translation installed
  // Values in one pass, so that a value holding "%2" is left as it is.
  QString out;
  for (qsizetype i = 0; i < translated.size(); ++i) {
    const QChar c = translated[i];
    if (c == QLatin1Char('%') && i + 1 < translated.size() && translated[i + 1] >= QLatin1Char('1') &&
        translated[i + 1] <= QLatin1Char('9')) {
      const int n = translated[i + 1].digitValue();
      if (n <= found.lastCapturedIndex()) {
        out += translateMessage(found.captured(n), depth + 1, translate);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace

QString TM(const std::string& japanese) { return translateMessage(QString::fromStdString(japanese), 0); }

QString TE(const QString& japanese) {
  // A message of several lines is one text, or lines of their own (the notes of an import).
  const QString whole = translateMessage(japanese, 0, withEnglish);
  if (whole != japanese || !japanese.contains(QLatin1Char('\n'))) return whole;
  QStringList lines = japanese.split(QLatin1Char('\n'));
  for (QString& line : lines) line = translateMessage(line, 0, withEnglish);
  return lines.join(QLatin1Char('\n'));
}

QString TE(const std::string& japanese) { return TE(QString::fromStdString(japanese)); }

}  // namespace sinora
