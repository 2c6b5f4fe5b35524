#include "shell/WorkWindows.h"

#include "shell/Startup.h"
#include "shell/frmMain.h"
#include "ui/WindowRegistry.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmZone.h"

namespace kelmo::shell {

void wireWorkWindows() {
    zone::services().showMainMenu = &showMainMenu;
    frmMain::setWorkWindow(frmMain::WorkWindow::Zone,
                           [] { return ui::WindowRegistry::show<zone::frmZone>(); });
}

} // namespace kelmo::shell
