#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kelmo::plan {

// Asks for a CSV file of structures; an empty string when the user cancels.
QString chooseStructuresFile(QWidget* parent);

// Adds the structures of a CSV file to the plan in one transaction and says
// how many came in. A file that cannot be read, a bad line or a database error adds nothing:
// the message names the file, lists the refused lines or gives the cause. The file is read and
// stored on a worker with the busy sign, its progress and «Отмена»; an import given up on while
// it was being stored is reported when it ends, and storedLate is called if it went through.
bool importStructuresFile(QWidget* parent, const QString& connectionString, int plan,
                          const QString& path, std::function<void()> storedLate = {});

} // namespace kelmo::plan
