#include "shell/Startup.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelmo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Келмо"));
    QApplication::setApplicationVersion(QStringLiteral(KELMO_VERSION));

    // Qt's own dialogs and standard buttons in Russian.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qt"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslator);
    }

    // The work windows are wired here as they are built; until then their items stay disabled.
    // kelmo::shell::frmMain::setWorkWindow(kelmo::shell::frmMain::WorkWindow::Zone, [] {
    //     return kelmo::ui::WindowRegistry::show<kelmo::zone::frmZone>(); });

    kelmo::shell::Main();
    return QApplication::exec();
}
