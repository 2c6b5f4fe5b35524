#include "shell/Navigator.h"
#include "shell/Translations.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelmo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Келмо"));
    QApplication::setApplicationVersion(QStringLiteral(KELMO_VERSION));

    kelmo::shell::installQtTranslations();

    kelmo::shell::Navigator navigator;
    navigator.start();
    return QApplication::exec();
}
