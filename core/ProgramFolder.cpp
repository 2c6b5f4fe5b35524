#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace kelmo {

namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}
} // namespace

QString programFolder() {
    if (!overrideFolder().isEmpty()) {
        return overrideFolder();
    }
    return QCoreApplication::applicationDirPath();
}

QString programFile(const QString& fileName) {
    return QDir(programFolder()).filePath(fileName);
}

void setProgramFolderForTesting(const QString& folder) {
    overrideFolder() = folder;
}

} // namespace kelmo
