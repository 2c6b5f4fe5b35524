#include "core/Version.h"
#include "shell/Application.h"
#include "shell/Navigator.h"
#include "shell/Translations.h"
#include "ui/ProgramIcon.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kelmo::shell::identifyApplication(QString::fromLatin1(kelmo::kVersion));
    QApplication::setWindowIcon(kelmo::ui::programIcon());
    // The running program matches its menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.kelmo.Kelmo"));

    kelmo::shell::installQtTranslations();

    kelmo::shell::Navigator navigator;
    navigator.start();
    return QApplication::exec();
}
