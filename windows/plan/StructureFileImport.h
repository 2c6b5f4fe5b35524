#pragma once

#include <QString>

#include <QString>

class QWidget;

namespace kelmo::plan {

// Asks for a CSV file of structures; an empty string when the user cancels.
QString chooseStructuresFile(QWidget* parent);

// Adds the structures of a CSV file to the plan in one transaction and says
// how many came in. A file that cannot be read, a bad line or a database error adds nothing:
// the message names the file, lists the refused lines or gives the cause.
bool importStructuresFile(QWidget* parent, const QString& connectionString, int plan,
                          const QString& path);

} // namespace kelmo::plan
