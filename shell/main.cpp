#include "shell/Application.h"
#include "shell/Startup.h"
#include "shell/Translations.h"
#include "shell/WorkWindows.h"
#include "shell/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kelmo::shell::identifyApplication(QStringLiteral(KELMO_VERSION));

    kelmo::shell::installQtTranslations();

    // Work windows that are not wired in WorkWindows.cpp keep their menu items disabled.
    kelmo::shell::wireWorkWindows();

    kelmo::shell::Main();
    return QApplication::exec();
}
