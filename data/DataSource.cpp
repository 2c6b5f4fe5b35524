#include "data/DataSource.h"

#include "core/ProgramFolder.h"
#include "core/SafeFile.h"
#include "data/Database.h"
#include "data/SchemaVersion.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace kelmo {

namespace {

const char* const kPrefix =
    "Provider=MSDASQL.1;Password=5926;Persist Security Info=True;User ID=Admin;Data Source=";

QString databasePath() {
    return QDir::toNativeSeparators(userFile(QLatin1String(db::kDatabaseFileName)));
}

} // namespace

QString readDataSourceName() {
    QFile f(userFile(QLatin1String(kDataSourceFileName)));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = f.readAll();
    qsizetype end = bytes.indexOf('\n');
    QByteArray line = end < 0 ? bytes : bytes.left(end);
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    // The file is kept in the system's 8-bit code page.
    QStringDecoder decode(QStringDecoder::System);
    return decode(line);
}

bool writeDataSourceName(const QString& name) {
    if (!makeUserFolder()) {
        return false;
    }
    QStringEncoder encode(QStringEncoder::System);
    const QByteArray bytes = encode(name);
    if (encode.hasError()) {
        return false;
    }
    try {
        writeFileSafely(userFile(QLatin1String(kDataSourceFileName)), bytes);
    } catch (const FileError&) {
        return false;
    }
    return true;
}

QString defaultConnectionString() {
    return QLatin1String(kPrefix) + QLatin1String("MS Access Database;Initial Catalog=") +
           databasePath();
}

QString namedConnectionString(const QString& name) {
    return QLatin1String(kPrefix) + u'\'' + name +
           QLatin1String("';Mode=ReadWrite ;Initial Catalog=") + databasePath();
}

QString namedConnectionStringNoMode(const QString& name) {
    return QLatin1String(kPrefix) + u'\'' + name + QLatin1String("';Initial Catalog=") +
           databasePath();
}

bool testConnectionString(const QString& connectionString, QString* refusal) {
    try {
        const db::Connection connection(connectionString);
        return true;
    } catch (const db::SchemaError& e) {
        if (refusal != nullptr) {
            *refusal = QString::fromUtf8(e.what());
        }
        return false;
    } catch (const ServerTimeoutError& e) {
        // A silent server is named, so that the user knows what to check.
        if (refusal != nullptr) {
            *refusal = QString::fromUtf8(e.what());
        }
        return false;
    } catch (const Error&) {
        return false;
    }
}

bool TestDataSource(const QString& name, QString* refusal) {
    return testConnectionString(namedConnectionString(name), refusal);
}

} // namespace kelmo
