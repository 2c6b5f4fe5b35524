#pragma once

// Set-up shared by the plan screenshot tools: a Russian application whose messages go to
// stderr, and a copy of the program folder's database to draw on, so that the database the
// program uses stays as it was.

#include "core/ProgramFolder.h"
#include "ui/Messages.h"

#include <QFile>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

namespace kelmo::tools {

inline void reportMessagesOnStderr() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    ui::Messages::setInterceptor([](const ui::Message& m) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        return QMessageBox::Ok;
    });
}

// The connection string of a writable copy of the program's database in temp; empty after a
// message on stderr when it cannot be copied.
inline QString scratchDatabase(const QTemporaryDir& temp) {
    const QString copy = temp.filePath(QStringLiteral("bdKelmo.db"));
    if (!QFile::copy(userFile(QStringLiteral("bdKelmo.db")), copy)) {
        std::fprintf(stderr, "the database in the program folder cannot be copied\n");
        return {};
    }
    QFile(copy).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + copy;
}

} // namespace kelmo::tools
