#include "shell/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kelmo::shell {

bool installQtTranslations() {
    // One translator for the life of the program.
    static QTranslator translator;
    if (!translator.isEmpty()) {
        return true;
    }
    if (!translator.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qt"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}

} // namespace kelmo::shell
