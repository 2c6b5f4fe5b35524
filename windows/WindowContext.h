#pragma once

#include "data/ReferenceLookups.h"

#include <QString>

namespace kelmo {

namespace ui {
class Settings;
}

// What the shell hands every work window through its constructor: the database the window
// reads and writes, the reference lookups made from it, and where the window keeps the user's
// choices. Windows that work on one thing together (the zone windows, the plan windows) get
// that thing's session beside it.
struct WindowContext {
    // The connection string of every database operation of the window.
    QString connectionString;
    // The explosives catalogue and probit table of that database (tests give their own).
    ReferenceLookups reference;
    // Remembered parameters, charges and folders; none in tests that keep nothing.
    ui::Settings* settings = nullptr;

    // The context of a database: its lookups made from the same connection string.
    static WindowContext forDatabase(const QString& connectionString,
                                     ui::Settings* settings = nullptr) {
        return {connectionString, ReferenceLookups::fromDatabase(connectionString), settings};
    }
};

} // namespace kelmo
