#include "data/DatabaseFile.h"

#include "core/SafeFile.h"
#include "data/Database.h"
#include "data/SchemaVersion.h"

#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <cmath>
#include <vector>

namespace kelmo::db {

namespace {

QString resourceText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        throw DatabaseError(QStringLiteral("Нет встроенного файла «%1».").arg(path));
    }
    return QString::fromUtf8(f.readAll());
}

// A small CSV reader: comma separated, fields may be quoted with doubled quotes inside.
QList<QStringList> readCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            row << field;
            field.clear();
            if (!(row.size() == 1 && row[0].isEmpty())) {
                rows << row;
            }
            row.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) {
        row << field;
        rows << row;
    }
    return rows;
}

// The rows of a seed file as maps from the header's names.
QList<QMap<QString, QString>> seedRows(const QString& path) {
    QList<QStringList> rows = readCsv(resourceText(path));
    QList<QMap<QString, QString>> out;
    if (rows.isEmpty()) {
        return out;
    }
    const QStringList header = rows.takeFirst();
    for (const QStringList& r : rows) {
        if (r.size() != header.size()) {
            throw DatabaseError(QStringLiteral("Повреждён файл исходных данных «%1».").arg(path));
        }
        QMap<QString, QString> m;
        for (qsizetype i = 0; i < header.size(); ++i) {
            m.insert(header[i], r[i]);
        }
        out << m;
    }
    return out;
}

double seedNumber(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok) {
        throw DatabaseError(QStringLiteral("Число «%1» в исходных данных не читается.").arg(text));
    }
    return v;
}

// The rewrites of schema-dialects.txt for one dialect: SQLite words → the dialect's words.
QList<QPair<QString, QString>> dialectRewrites(Dialect dialect) {
    QList<QPair<QString, QString>> rewrites;
    if (dialect == Dialect::SQLite) {
        return rewrites;
    }
    const QString name = QStringLiteral("postgresql");
    for (const QString& line :
         resourceText(QStringLiteral(":/kelmo/data/schema-dialects.txt")).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#')) {
            continue;
        }
        const QStringList parts = trimmed.split(u'|');
        if (parts.size() != 3) {
            throw DatabaseError(
                QStringLiteral("Повреждена строка «%1» файла schema-dialects.txt.").arg(trimmed));
        }
        if (parts[0].trimmed() == name) {
            rewrites.append({parts[1].trimmed(), parts[2].trimmed()});
        }
    }
    return rewrites;
}

QString fileConnectionString(const QString& path) {
    return QStringLiteral("Data Source=%1;Initial Catalog=%2")
        .arg(QLatin1String(kStandardDataSource), path);
}

// The tables schema.sql creates, in its order.
QStringList schemaTables(const QStringList& statements) {
    static const QRegularExpression createTable(QStringLiteral("^CREATE\\s+TABLE\\s+(\\w+)"),
                                                QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (const QString& statement : statements) {
        const auto m = createTable.match(statement);
        if (m.hasMatch()) {
            tables << m.captured(1);
        }
    }
    return tables;
}

// The tables and the reference data, on a connection whose transaction the caller holds.
void fill(Connection& c) {
    for (const QString& statement : schemaStatements(c.dialect())) {
        c.exec(statement);
    }

    for (const auto& r : seedRows(QStringLiteral(":/kelmo/data/seed/explosives.csv"))) {
        c.exec(QStringLiteral("insert into Explosives (VVName, VVPower) values (?, ?)"),
               {r.value("VVName"), seedNumber(r.value("VVPower"))});
    }

    QMap<int, QString> types;
    const auto structures = seedRows(QStringLiteral(":/kelmo/data/seed/structures.csv"));
    for (const auto& r : structures) {
        types.insert(static_cast<int>(seedNumber(r.value("TNum"))), r.value("TName"));
    }
    for (auto it = types.cbegin(); it != types.cend(); ++it) {
        c.exec(QStringLiteral("insert into BTypes (TNum, TName) values (?, ?)"),
               {it.key(), it.value()});
    }
    for (const auto& r : structures) {
        QVariantList values{static_cast<int>(seedNumber(r.value("TNum"))), r.value("STName")};
        for (const char* name :
             {"Slamin", "Slamax", "Sremin", "Sremax", "Sulmin", "Sulmax", "Polmin", "Polmax"}) {
            values << seedNumber(r.value(QLatin1String(name)));
        }
        c.exec(QStringLiteral("insert into BSubTypes (Type, STName, Slamin, Slamax, Sremin, "
                              "Sremax, Sulmin, Sulmax, Polmin, Polmax) values "
                              "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               values);
    }

    for (const ProbitRow& row : standardProbitTable()) {
        c.exec(QStringLiteral("insert into TProbit (Zn_Probit, Zn_Procent) values (?, ?)"),
               {row.probit, row.percent});
    }
    writeSchemaVersion(c, currentSchemaVersion());
}

void fill(const QString& path) {
    Connection c(fileConnectionString(path), SchemaCheck::None);
    Transaction t(c);
    fill(c);
    t.commit();
}

} // namespace

QStringList schemaStatements(Dialect dialect) {
    return dialectStatements(resourceText(QStringLiteral(":/kelmo/data/schema.sql")), dialect);
}

QStringList dialectStatements(const QString& sql, Dialect dialect) {
    // Plain statements separated by semicolons.
    QString text = sql;
    text.remove(QRegularExpression(QStringLiteral("--[^\n]*")));
    const auto rewrites = dialectRewrites(dialect);
    QStringList statements;
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts)) {
        QString statement = part.trimmed();
        if (statement.isEmpty()) {
            continue;
        }
        for (const auto& [from, to] : rewrites) {
            statement.replace(QRegularExpression(
                                  QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(from))),
                              to);
        }
        statements << statement;
    }
    return statements;
}

std::vector<ProbitRow> standardProbitTable() {
    std::vector<ProbitRow> rows;
    // Whole hundredths, so that each probit is the double nearest its two-decimal text.
    for (int hundredths = 267; hundredths <= 809; ++hundredths) {
        const double y = hundredths / 100.0;
        const double percent = 50.0 * std::erfc(-(hundredths - 500) / 100.0 / std::sqrt(2.0));
        rows.push_back({y, percent});
    }
    return rows;
}

namespace {

// SQLite's own exclusive lock on the database about to be replaced. While another program
// reads or writes it, the lock is refused, and so is the replacement: rows that program is
// about to commit would otherwise go into a file that no longer has a name.
class ExclusiveLock final {
public:
    explicit ExclusiveLock(const QString& path)
        : m_name(QStringLiteral("kelmo-replace-%1")
                     .arg(QUuid::createUuid().toString(QUuid::WithoutBraces))) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
            if (!db.open()) {
                return; // not readable as a database: nothing can be using it as one
            }
            QSqlQuery begin(db);
            if (begin.exec(QStringLiteral("BEGIN EXCLUSIVE"))) {
                m_locked = true;
                return;
            }
            const QString code = begin.lastError().nativeErrorCode();
            // 5 and 6: SQLITE_BUSY and SQLITE_LOCKED. Anything else (26: not a database)
            // means the file is no database that anyone could be using.
            if (code == QLatin1String("5") || code == QLatin1String("6")) {
                m_busy = true;
            }
        }
        if (m_busy || QFileInfo::exists(path + QStringLiteral("-wal"))) {
            release();
            throw DatabaseError(QStringLiteral("База данных «%1» сейчас используется другой "
                                               "программой; она не заменена. Закройте "
                                               "программы, работающие с ней, и повторите.")
                                    .arg(QDir::toNativeSeparators(path)));
        }
    }
    ~ExclusiveLock() { release(); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    void release() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isValid()) {
                if (m_locked) {
                    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                }
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(m_name);
        m_locked = false;
    }

    QString m_name;
    bool m_locked = false;
    bool m_busy = false;
};

// The folders of `folder` that do not exist yet, the outermost first.
QStringList missingFolders(const QString& folder) {
    QStringList missing;
    for (QDir d(folder); !d.exists();) {
        missing.prepend(d.absolutePath());
        if (!d.cdUp()) {
            break;
        }
    }
    return missing;
}

} // namespace

void createDatabaseFile(const QString& path, bool force) {
    if (path.isEmpty()) {
        throw DatabaseError(QStringLiteral("Не задано имя файла базы данных."));
    }
    const QFileInfo given(path);
    if (given.fileName().isEmpty() || given.isDir()) {
        throw DatabaseError(QStringLiteral("«%1» — это папка; укажите имя файла базы данных.")
                                .arg(QDir::toNativeSeparators(path)));
    }
    if (given.exists() && !force) {
        throw DatabaseError(QStringLiteral("Файл «%1» уже существует. Чтобы заменить его, "
                                           "укажите --force.")
                                .arg(QDir::toNativeSeparators(path)));
    }
    const QStringList created = missingFolders(given.absolutePath());
    if (!created.isEmpty() && !QDir().mkpath(given.absolutePath())) {
        throw DatabaseError(QStringLiteral("Не удалось создать папку «%1».")
                                .arg(QDir::toNativeSeparators(given.absolutePath())));
    }
    try {
        // Built beside the target and put in place by one rename only when complete.
        SafeFile file(path);
        fill(file.tempPath());
        const QString target = file.targetPath();
        if (QFileInfo::exists(target)) {
            const ExclusiveLock lock(target);
            file.commit();
        } else {
            file.commit();
        }
    } catch (...) {
        // Leave no folder behind that was made for a file that never came.
        for (auto it = created.crbegin(); it != created.crend(); ++it) {
            QDir().rmdir(*it);
        }
        throw;
    }
}

QString workingDatabasePath() {
    return userFile(QLatin1String(kDatabaseFileName));
}

QString prepareWorkingDatabase() {
    const QString path = workingDatabasePath();
    const ProgramFolders folders = programFolders();
    if (folders.layout == FileLayout::Portable || QFileInfo::exists(path)) {
        return path;
    }
    if (!makeUserFolder()) {
        throw DatabaseError(QStringLiteral("Не удалось создать папку данных пользователя «%1».")
                                .arg(QDir::toNativeSeparators(folders.user)));
    }
    const QString seed = sharedFile(QLatin1String(kDatabaseFileName));
    if (!QFileInfo(seed).isFile()) {
        createDatabaseFile(path, false);
        return path;
    }
    // Copied beside the target and moved into place only when complete; a rename never
    // replaces a file that appeared meanwhile.
    const QString temp =
        QDir(folders.user)
            .filePath(QStringLiteral(".%1.%2.tmp")
                          .arg(QLatin1String(kDatabaseFileName),
                               QUuid::createUuid().toString(QUuid::WithoutBraces)));
    if (!QFile::copy(seed, temp)) {
        QFile::remove(temp);
        throw DatabaseError(
            QStringLiteral("Не удалось скопировать базу данных «%1» в папку «%2».")
                .arg(QDir::toNativeSeparators(seed), QDir::toNativeSeparators(folders.user)));
    }
    // The copy keeps the read-only mode of the installed file.
    QFile::setPermissions(temp, QFile::permissions(temp) | QFile::WriteOwner | QFile::ReadOwner);
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        if (!QFileInfo::exists(path)) {
            throw DatabaseError(QStringLiteral("Не удалось записать файл «%1».")
                                    .arg(QDir::toNativeSeparators(path)));
        }
    }
    return path;
}

} // namespace kelmo::db

namespace kelmo::db {

void initializeServerDatabase(const QString& connectionString, bool force) {
    // Opened as it is: the database may be empty, or hold tables of any version.
    Connection c(connectionString, SchemaCheck::None);
    const QStringList tables = schemaTables(schemaStatements(c.dialect()))
                               << QLatin1String(kVersionTable);
    // A server folds unquoted names to its own case; the program's names are compared
    // without regard to case.
    QStringList existing;
    for (const QString& have : c.database().tables(QSql::Tables)) {
        for (const QString& table : tables) {
            if (have.compare(table, Qt::CaseInsensitive) == 0) {
                existing << table;
            }
        }
    }
    if (!existing.isEmpty() && !force) {
        throw DatabaseError(QStringLiteral("В базе данных уже есть таблицы программы (%1). Чтобы "
                                           "создать их заново со справочными данными, укажите "
                                           "--force: все данные в них будут потеряны.")
                                .arg(existing.join(QStringLiteral(", "))));
    }
    Transaction t(c);
    for (auto it = existing.crbegin(); it != existing.crend(); ++it) {
        c.exec(QStringLiteral("DROP TABLE %1").arg(*it));
    }
    fill(c);
    t.commit();
}

} // namespace kelmo::db
