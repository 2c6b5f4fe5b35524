#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelmo {

namespace {

ProgramFolders& overrideFolders() {
    static ProgramFolders folders;
    return folders;
}

// Files that only a program folder holding its own data has: the build writes them beside the
// executables, a portable copy carries them along.
const char* const kProgramFiles[] = {"bdKelmo.db", "Data Source.txt", "otchet.docx"};

bool holdsProgramFiles(const QDir& dir) {
    for (const char* name : kProgramFiles) {
        if (QFileInfo(dir.filePath(QString::fromUtf8(name))).isFile()) {
            return true;
        }
    }
    return false;
}

} // namespace

QString userDataFolder() {
    // The same folder for kelmo and kelmo-calc, whatever each calls itself.
    return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/kelmo"));
}

ProgramFolders decideProgramFolders(const QString& programFolder, const QString& userFolder) {
    ProgramFolders folders;
    folders.program = QDir::cleanPath(programFolder);
    const QDir dir(folders.program);
    if (holdsProgramFiles(dir) && QFileInfo(folders.program).isWritable()) {
        folders.layout = FileLayout::Portable;
        folders.shared = folders.program;
        folders.user = folders.program;
        return folders;
    }
    folders.layout = FileLayout::Installed;
    // bin/ and share/ stay side by side wherever the prefix is (also in an unpacked package).
    folders.shared = QDir::cleanPath(dir.filePath(QStringLiteral("../share/kelmo")));
    if (!QFileInfo(folders.shared).isDir()) {
        // The system's data folders (XDG_DATA_DIRS), never the user's own one.
        const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        for (const QString& base :
             QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
            const QString candidate = QDir(base).filePath(QStringLiteral("kelmo"));
            if (base != own && QFileInfo(candidate).isDir()) {
                folders.shared = QDir::cleanPath(candidate);
                break;
            }
        }
    }
    folders.user = QDir::cleanPath(userFolder);
    return folders;
}

ProgramFolders programFolders() {
    if (!overrideFolders().program.isEmpty()) {
        return overrideFolders();
    }
    return decideProgramFolders(QCoreApplication::applicationDirPath(), userDataFolder());
}

QString programFolder() {
    return programFolders().program;
}

QString sharedFile(const QString& fileName) {
    return QDir(programFolders().shared).filePath(fileName);
}

QString userFile(const QString& fileName) {
    return QDir(programFolders().user).filePath(fileName);
}

bool makeUserFolder() {
    return QDir().mkpath(programFolders().user);
}

QStringList userManualEditions() {
    // The build writes the .docx and, where LibreOffice is installed, its PDF; other editions
    // may come in other formats.
    QStringList editions;
    for (const char* extension : {".pdf", ".docx", ".doc", ".odt"}) {
        const QString path =
            sharedFile(QString::fromUtf8(kUserManualBaseName) + QLatin1String(extension));
        if (QFileInfo(path).isFile()) {
            editions.append(path);
        }
    }
    return editions;
}

QString findUserManual() {
    const QStringList editions = userManualEditions();
    return editions.isEmpty() ? QString() : editions.first();
}

void setProgramFolderForTesting(const QString& folder) {
    const QString clean = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    overrideFolders() = {FileLayout::Portable, clean, clean, clean};
}

void setProgramFoldersForTesting(const ProgramFolders& folders) {
    overrideFolders() = folders;
}

} // namespace kelmo
