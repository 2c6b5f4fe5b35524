#include "shell/Startup.h"
#include "shell/Translations.h"
#include "shell/frmMain.h"
#include "ui/WindowRegistry.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmZone.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelmo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Келмо"));
    QApplication::setApplicationVersion(QStringLiteral(KELMO_VERSION));

    kelmo::shell::installQtTranslations();

    // The work windows are wired here as they are built; until then their items stay disabled.
    // A window opens through frmMain::setWorkWindow(WorkWindow::..., [] { return
    // WindowRegistry::show<TheWindow>(); }) and reaches the catalogue (FillExplosiveList,
    // ShowExplosiveEnergy), the probit table (ProbitsToPercent) and showMainMenu() from here.

    kelmo::zone::services().showMainMenu = &kelmo::shell::showMainMenu;
    kelmo::shell::frmMain::setWorkWindow(kelmo::shell::frmMain::WorkWindow::Zone, [] {
        return kelmo::ui::WindowRegistry::show<kelmo::zone::frmZone>();
    });

    kelmo::shell::Main();
    return QApplication::exec();
}
