// The user interface's language: Japanese (the program's own, and the default whatever the
// system's locale) or English. Choosing one installs its translators at once, so that every
// open window receives QEvent::LanguageChange; the choice made in the menu is kept under
// "Settings/Language" as "ja" or "en".
#pragma once

#include <QString>

class QSettings;

namespace sinora {

enum class Language { Japanese, English };

// "ja" / "en"; false for anything else.
bool languageFromCode(const QString& code, Language& out);
QString languageCode(Language language);

Language rememberedLanguage(QSettings* settings);
void rememberLanguage(QSettings* settings, Language language);

// Installs the program's and Qt's own translations for the language (none of the program's
// for Japanese) and sets the default locale; false when the English file cannot be loaded.
bool setLanguage(Language language);
Language currentLanguage();

}  // namespace sinora
