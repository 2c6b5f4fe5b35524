#pragma once

namespace kelmo::shell {

// Start-up: finds a connection string that works and opens the main menu, or tells the user
// and opens the data-source dialog. Returns true when the main menu opened.
bool Main();

// Shows the main menu (creating it if needed); the work windows' back buttons call it.
void showMainMenu();

} // namespace kelmo::shell
