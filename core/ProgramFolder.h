#pragma once

#include <QString>

namespace kelmo {

// The folder the program's files live in: the database, "Data Source.txt", the report
// template, the pictures and the user manual. It is the folder of the executable unless
// a test has redirected it.
QString programFolder();

// Path of a file in the program folder.
QString programFile(const QString& fileName);

// Tests point the program at a temporary folder; an empty path restores the default.
void setProgramFolderForTesting(const QString& folder);

} // namespace kelmo
