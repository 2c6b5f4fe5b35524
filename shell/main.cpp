#include "core/Version.h"
#include "data/Database.h"
#include "shell/Application.h"
#include "shell/Navigator.h"
#include "shell/Translations.h"
#include "ui/ProgramIcon.h"
#include "ui/Settings.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kelmo::shell::identifyApplication(QString::fromLatin1(kelmo::kVersion));
    QApplication::setWindowIcon(kelmo::ui::programIcon());
    // The running program matches its menu entry.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kelmo::kAppId));

    kelmo::shell::installQtTranslations();

    // The one set of remembered settings; it outlives every window.
    kelmo::ui::Settings settings;
    kelmo::db::setServerTimeout(settings.serverTimeout());
    kelmo::shell::Navigator navigator(&settings);
    navigator.start();
    return QApplication::exec();
}
