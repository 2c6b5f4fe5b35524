#include "core/Version.h"
#include "shell/Startup.h"
#include "shell/Translations.h"
#include "shell/WorkWindows.h"
#include "shell/frmMain.h"
#include "ui/ProgramIcon.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelmo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Келмо"));
    QApplication::setApplicationVersion(QString::fromLatin1(kelmo::kVersion));
    QApplication::setWindowIcon(kelmo::ui::programIcon());
    // The running program matches its menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.kelmo.Kelmo"));

    kelmo::shell::installQtTranslations();

    // Work windows that are not wired in WorkWindows.cpp keep their menu items disabled.
    kelmo::shell::wireWorkWindows();

    kelmo::shell::Main();
    return QApplication::exec();
}
