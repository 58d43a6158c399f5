// SPDX-License-Identifier: GPL-3.0-or-later
#include "language/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace k12 {

namespace {

const QString kTranslatorName = QStringLiteral("k12-language");

// A translator owned by the application object, found again by its name.
void Install(const QString& file, const QString& folder) {
    QCoreApplication* app = QCoreApplication::instance();
    auto* translator = new QTranslator(app);
    translator->setObjectName(kTranslatorName);
    if (translator->load(file, folder)) {
        QCoreApplication::installTranslator(translator);
    } else {
        translator->deleteLater();
    }
}

} // namespace

Language LanguageFor(const QStringList& uiLanguages, Language programDefault) {
    for (const QString& name : uiLanguages) {
        switch (QLocale(name).language()) {
        case QLocale::Japanese:
            return Language::Japanese;
        case QLocale::English:
            return Language::English;
        case QLocale::C:
            return programDefault;
        default:
            break;
        }
    }
    return programDefault;
}

Language ChooseLanguage(Language programDefault) {
    const Language language = LanguageFor(QLocale::system().uiLanguages(), programDefault);
    UseLanguage(language);
    return language;
}

void UseLanguage(Language language) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    const auto installed =
        app->findChildren<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly);
    for (QTranslator* translator : installed) {
        QCoreApplication::removeTranslator(translator);
        translator->deleteLater();
    }
    // The translations are built into the program (see translations/).
    if (language == Language::English) {
        Install(QStringLiteral("k12inc_en"), QStringLiteral(":/i18n"));
    } else {
        Install(QStringLiteral("k12inc-tools_ja"), QStringLiteral(":/i18n"));
        Install(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
}

} // namespace k12
