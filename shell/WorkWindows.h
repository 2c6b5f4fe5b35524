#pragma once

#include <QWidget>

namespace kelmo::plan {
struct PlanSession;
}

namespace kelmo::shell {

// Connects the main menu's items to the work windows that exist, and the work windows'
// way back to the main menu.
void wireWorkWindows();

// The site-plan numbers of this run; the shell owns them and hands them to the plan windows.
plan::PlanSession& planSession();

// Opens the site plan editor (creating it when needed) with its dialogs wired; returns it.
QWidget* openPlanEditor();

} // namespace kelmo::shell
