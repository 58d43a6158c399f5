// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace k12 {

// The languages the programs speak. The window's texts are written in Japanese and the tools'
// in English; each has a translation into the other.
enum class Language { Japanese, English };

// The language the message locale asks for, given QLocale::uiLanguages() (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG): the first entry in Japanese or English. The C locale (C, POSIX, nothing
// set) or only other languages give the program's own.
Language LanguageFor(const QStringList& uiLanguages, Language programDefault);

// Chooses the language from the locale and installs its translations, the program's and Qt's
// own (file and print dialogs); returns the choice. Call once the application object exists.
Language ChooseLanguage(Language programDefault);

// Installs the translations of `language`, replacing any installed before by this function.
void UseLanguage(Language language);

} // namespace k12
