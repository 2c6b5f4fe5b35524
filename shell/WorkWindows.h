#pragma once

namespace kelmo::shell {

// Connects the main menu's items to the work windows that exist, and the work windows'
// way back to the main menu.
void wireWorkWindows();

} // namespace kelmo::shell
