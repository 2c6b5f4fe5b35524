#pragma once

#include <QString>

namespace kelmo::shell {

// Names the application for Qt (settings, dialogs). No display name is set: the window
// system would append it to every window title.
void identifyApplication(const QString& version);

} // namespace kelmo::shell
