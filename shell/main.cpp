#include "shell/Application.h"
#include "shell/Navigator.h"
#include "shell/Translations.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kelmo::shell::identifyApplication(QStringLiteral(KELMO_VERSION));

    kelmo::shell::installQtTranslations();

    kelmo::shell::Navigator navigator;
    navigator.start();
    return QApplication::exec();
}
