#include "shell/WorkWindows.h"

#include "data/Database.h"
#include "shell/Startup.h"
#include "shell/frmMain.h"
#include "ui/WindowRegistry.h"
#include "windows/editors/frmBDKvv.h"
#include "windows/editors/frmBDZ.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmZone.h"

#include <QCoreApplication>
#include <QPointer>

namespace kelmo::shell {

namespace {

// An editor exists at most once: created on the database of the session when first opened,
// destroyed when closed. Its back button shows the main menu, its exit ends the program.
template <typename Editor> QWidget* showEditor() {
    static QPointer<Editor> editor;
    if (!editor) {
        editor = new Editor(gConnectionString);
        editor->setAttribute(Qt::WA_DeleteOnClose);
        Editor* window = editor.data();
        QObject::connect(window, &Editor::backRequested, window, [window] {
            showMainMenu();
            window->close();
        });
        QObject::connect(window, &Editor::exitRequested, window, [window] {
            window->close();
            ui::WindowRegistry::closeAll();
            QCoreApplication::quit();
        });
    }
    editor->show();
    editor->raise();
    editor->activateWindow();
    return editor.data();
}

} // namespace

void wireWorkWindows() {
    zone::services().showMainMenu = &showMainMenu;
    frmMain::setWorkWindow(frmMain::WorkWindow::Zone,
                           [] { return ui::WindowRegistry::show<zone::frmZone>(); });
    frmMain::setWorkWindow(frmMain::WorkWindow::Explosives, &showEditor<editors::frmBDKvv>);
    frmMain::setWorkWindow(frmMain::WorkWindow::StructureTypes, &showEditor<editors::frmBDZ>);
}

} // namespace kelmo::shell
