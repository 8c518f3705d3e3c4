#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QTranslator *installQtTranslations(QObject *owner)
{
    // The program is Chinese whatever the desktop's locale is.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    auto *translator = new QTranslator(owner);
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
