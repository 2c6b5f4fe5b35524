#include "data/SchemaVersion.h"

#include "data/DatabaseFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>

#include <optional>

namespace kelmo::db {

namespace {

// The tables every database of the program has held from the start; a database without a
// version is recognised as ours by them.
const QStringList& firstTables() {
    static const QStringList tables{QStringLiteral("Explosives"), QStringLiteral("BTypes"),
                                    QStringLiteral("BSubTypes"),  QStringLiteral("MnuPM"),
                                    QStringLiteral("IDPM"),       QStringLiteral("TProbit")};
    return tables;
}

bool hasTable(const QStringList& present, const QString& table) {
    // A server folds unquoted names to its own case.
    return present.contains(table, Qt::CaseInsensitive);
}

QStringList presentTables(Connection& c) {
    return c.database().tables(QSql::Tables);
}

QString upgradesText() {
    QFile f(QStringLiteral(":/kelmo/data/schema-upgrades.sql"));
    if (!f.open(QIODevice::ReadOnly)) {
        throw DatabaseError(QStringLiteral("Нет встроенного файла «schema-upgrades.sql»."));
    }
    return QString::fromUtf8(f.readAll());
}

SchemaError newerDatabase(Connection& c, int version, int known) {
    return SchemaError(
        QStringLiteral("База данных «%1» записана более новой версией программы: версия её "
                       "схемы %2, а эта программа знает версии не выше %3. База данных не "
                       "изменена; чтобы работать с ней, обновите программу.")
            .arg(c.displayName())
            .arg(version)
            .arg(known));
}

// A database without a version must hold the first tables; anything else is not ours.
void requireFirstTables(Connection& c) {
    const QStringList present = presentTables(c);
    QStringList missing;
    for (const QString& table : firstTables()) {
        if (!hasTable(present, table)) {
            missing << table;
        }
    }
    if (missing.isEmpty()) {
        return;
    }
    QString text = QStringLiteral("В базе данных «%1» нет таблиц программы (%2); программа с "
                                  "ней не работает.")
                       .arg(c.displayName(), missing.join(QStringLiteral(", ")));
    if (c.dialect() != Dialect::SQLite) {
        text += QStringLiteral(" Чтобы создать их, выполните: kelmo-calc init-db --dsn «%1».")
                    .arg(c.displayName());
    }
    throw SchemaError(text);
}

// The write transaction of an upgrade. On SQLite it takes the write lock at once, so that two
// programs opening the same old file one after the other upgrade it once; on a server an
// advisory lock held to the end of the transaction does the same.
class UpgradeTransaction final {
public:
    explicit UpgradeTransaction(Connection& c)
        : m_c(c)
        , m_sqlite(c.dialect() == Dialect::SQLite) {
        if (m_sqlite) {
            m_c.exec(QStringLiteral("BEGIN IMMEDIATE"));
            m_open = true;
        } else {
            m_server.emplace(m_c);
            // Any fixed number: every copy of the program takes the same one.
            m_c.select(QStringLiteral("select pg_advisory_xact_lock(8235901)"));
        }
    }
    ~UpgradeTransaction() {
        if (m_open) {
            QSqlQuery(m_c.database()).exec(QStringLiteral("ROLLBACK"));
        }
    }
    UpgradeTransaction(const UpgradeTransaction&) = delete;
    UpgradeTransaction& operator=(const UpgradeTransaction&) = delete;

    void commit() {
        if (m_sqlite) {
            m_c.exec(QStringLiteral("COMMIT"));
            m_open = false;
        } else {
            m_server->commit();
        }
    }

private:
    Connection& m_c;
    bool m_sqlite;
    bool m_open = false;
    std::optional<Transaction> m_server;
};

} // namespace

std::vector<SchemaStep> schemaSteps(Dialect dialect) {
    static const QRegularExpression stepLine(QStringLiteral("^--\\s*version\\s+(\\d+)\\s*$"),
                                             QRegularExpression::MultilineOption);
    const QString text = upgradesText();
    std::vector<SchemaStep> steps;
    auto m = stepLine.globalMatch(text);
    std::optional<QRegularExpressionMatch> previous;
    const auto close = [&](qsizetype end) {
        if (!previous) {
            return;
        }
        const qsizetype start = previous->capturedEnd(0);
        steps.push_back({previous->captured(1).toInt(),
                         dialectStatements(text.mid(start, end - start), dialect)});
    };
    while (m.hasNext()) {
        const QRegularExpressionMatch next = m.next();
        close(next.capturedStart(0));
        previous = next;
    }
    close(text.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].version != static_cast<int>(i) + 1) {
            throw DatabaseError(QStringLiteral("Повреждён встроенный файл «schema-upgrades.sql»: "
                                               "шаги обновления идут не по порядку."));
        }
    }
    return steps;
}

int currentSchemaVersion() {
    static const int version = [] {
        const auto steps = schemaSteps(Dialect::SQLite);
        return steps.empty() ? 0 : steps.back().version;
    }();
    return version;
}

int schemaVersion(Connection& c) {
    if (c.dialect() == Dialect::SQLite) {
        QSqlQuery q = c.select(QStringLiteral("PRAGMA user_version"));
        return q.next() ? q.value(0).toInt() : 0;
    }
    if (!hasTable(presentTables(c), QLatin1String(kVersionTable))) {
        return 0;
    }
    QSqlQuery q = c.select(QStringLiteral("select max(Version) from %1").arg(kVersionTable));
    return q.next() ? q.value(0).toInt() : 0;
}

void writeSchemaVersion(Connection& c, int version) {
    if (c.dialect() == Dialect::SQLite) {
        // A pragma takes no bound values; the number is the program's own.
        c.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
        return;
    }
    if (!hasTable(presentTables(c), QLatin1String(kVersionTable))) {
        c.exec(QStringLiteral("CREATE TABLE %1 (Version INTEGER NOT NULL)").arg(kVersionTable));
    }
    c.exec(QStringLiteral("delete from %1").arg(kVersionTable));
    c.exec(QStringLiteral("insert into %1 (Version) values (?)").arg(kVersionTable), {version});
}

void upgradeSchema(Connection& c, const std::vector<SchemaStep>& steps) {
    const int target = steps.empty() ? 0 : steps.back().version;
    // First without any lock: the usual case, a database of this version, costs one read.
    int version = schemaVersion(c);
    if (version == target) {
        return;
    }
    if (version > target) {
        throw newerDatabase(c, version, target);
    }
    if (version == 0) {
        requireFirstTables(c);
    }
    try {
        UpgradeTransaction t(c);
        // Another program may have upgraded it meanwhile.
        version = schemaVersion(c);
        if (version > target) {
            throw newerDatabase(c, version, target);
        }
        if (version == target) {
            return;
        }
        for (const SchemaStep& step : steps) {
            if (step.version <= version) {
                continue;
            }
            for (const QString& statement : step.statements) {
                c.exec(statement);
            }
        }
        writeSchemaVersion(c, target);
        t.commit();
    } catch (const SchemaError&) {
        throw;
    } catch (const DatabaseError& e) {
        throw SchemaError(QStringLiteral("Не удалось обновить базу данных «%1» с версии схемы %2 "
                                         "до версии %3; база данных оставлена без изменений.")
                              .arg(c.displayName())
                              .arg(version)
                              .arg(target),
                          e.driverText());
    }
}

void upgradeSchema(Connection& c) {
    // Every connection comes here: the steps are read only for a database that needs them.
    if (schemaVersion(c) != currentSchemaVersion()) {
        upgradeSchema(c, schemaSteps(c.dialect()));
    }
}

} // namespace kelmo::db
