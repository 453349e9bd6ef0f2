#include "app/language.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <memory>

namespace sinora {

namespace {

struct Installed {
  std::unique_ptr<QTranslator> program, qt;
  Language language = Language::Japanese;
};
Installed& installed() {
  static Installed i;
  return i;
}

}  // namespace

bool languageFromCode(const QString& code, Language& out) {
  if (code == QLatin1String("ja")) out = Language::Japanese;
  else if (code == QLatin1String("en")) out = Language::English;
  else return false;
  return true;
}

QString languageCode(Language language) {
  return language == Language::English ? QStringLiteral("en") : QStringLiteral("ja");
}

Language rememberedLanguage(QSettings* settings) {
  Language l = Language::Japanese;
  if (settings) languageFromCode(settings->value(QStringLiteral("Settings/Language")).toString(), l);
  return l;
}

void rememberLanguage(QSettings* settings, Language language) {
  if (!settings) return;
  settings->setValue(QStringLiteral("Settings/Language"), languageCode(language));
  settings->sync();
}

bool setLanguage(Language language) {
  Installed& in = installed();
  // Removing and installing each sends LanguageChange to every widget.
  for (auto* t : {&in.program, &in.qt})
    if (*t) {
      QCoreApplication::removeTranslator(t->get());
      t->reset();
    }
  bool ok = true;
  const bool english = language == Language::English;
  if (english) {
    in.program = std::make_unique<QTranslator>();
    ok = in.program->load(QStringLiteral(":/i18n/sinora_en.qm"));
    if (ok) QCoreApplication::installTranslator(in.program.get());
    else in.program.reset();
  }
  // Qt's own dialogs: Qt speaks English by itself; qtbase_en is taken where a system has one.
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  in.qt = std::make_unique<QTranslator>();
  bool qtLoaded = false;
  static const char* const kEnglish[] = {"qtbase_en", "qt_en"};
  static const char* const kJapanese[] = {"qtbase_ja", "qt_ja"};
  for (const char* name : english ? kEnglish : kJapanese)
    if (in.qt->load(QString::fromLatin1(name), dir)) {
      qtLoaded = true;
      break;
    }
  if (qtLoaded) QCoreApplication::installTranslator(in.qt.get());
  else in.qt.reset();
  QLocale::setDefault(english ? QLocale(QLocale::English, QLocale::UnitedStates)
                              : QLocale(QLocale::Japanese, QLocale::Japan));
  in.language = ok ? language : Language::Japanese;
  // The windows retranslate now, not at the next turn of the event loop.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
  return ok;
}

Language currentLanguage() { return installed().language; }

}  // namespace sinora
