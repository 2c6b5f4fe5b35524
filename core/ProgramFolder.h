#pragma once

#include <QString>
#include <QStringList>

namespace kelmo {

// Where the program keeps its files. A program folder that holds the program's files and
// can be written to (the build folder, a copy carried on a stick) keeps everything beside the
// executables. An installed program reads its fixed files (the report template, the manual,
// the pictures, the seed database) from <prefix>/share/kelmo and keeps the files it writes
// (the working database, "Data Source.txt") in the user's data folder.
enum class FileLayout { Portable, Installed };

struct ProgramFolders {
    FileLayout layout = FileLayout::Portable;
    QString program; // the folder of the executable
    QString shared;  // the fixed files
    QString user;    // the files the program writes
};

// The folders in use for this run.
ProgramFolders programFolders();

// Decides the folders for a program folder and a per-user data folder ("…/kelmo"); the
// folders need not exist.
ProgramFolders decideProgramFolders(const QString& programFolder, const QString& userFolder);

// The per-user data folder of the program (~/.local/share/kelmo on Linux).
QString userDataFolder();

// The folder of the executable, without a trailing separator.
QString programFolder();

// A fixed file: the report template, the manual, the pictures, the seed database.
QString sharedFile(const QString& fileName);

// A file the program writes: the working database, "Data Source.txt".
QString userFile(const QString& fileName);

// Creates the folder of the files the program writes. False when it cannot.
bool makeUserFolder();

// The user manual among the fixed files, by its base name.
inline constexpr const char* kUserManualBaseName = "Инструкция пользователя";

// The editions of the user manual among the fixed files, the one to offer first first: the
// PDF, which every desktop can show, then .docx, .doc, .odt. Empty when there is none.
QStringList userManualEditions();

// The first of userManualEditions(); empty when there is none.
QString findUserManual();

// Tests point the program at a temporary folder, which then holds every file as a portable
// copy would; an empty path restores the default.
void setProgramFolderForTesting(const QString& folder);

// Tests of the installed layout give every folder; empty folders restore the default.
void setProgramFoldersForTesting(const ProgramFolders& folders);

} // namespace kelmo
