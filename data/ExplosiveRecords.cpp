#include "data/ExplosiveRecords.h"

#include "core/NameOrder.h"

#include <algorithm>

namespace kelmo::db {

namespace {

void refuseLongName(const QString& name) {
    if (const QString problem = nameLengthProblem(QStringLiteral("Наименование ВВ"), name);
        !problem.isEmpty()) {
        throw DatabaseError(problem);
    }
}

// Whether a row other than the one named `except` already carries the name.
bool nameTaken(Connection& connection, const QString& name, const QString* except) {
    QSqlQuery query = connection.select(QStringLiteral("select VVName from Explosives"));
    while (query.next()) {
        const QString existing = query.value(0).toString();
        if (except != nullptr && existing == *except) {
            continue;
        }
        if (sameCatalogueName(existing, name)) {
            return true;
        }
    }
    return false;
}

bool exists(Connection& connection, const QString& name) {
    QSqlQuery query =
        connection.exec(QStringLiteral("select count(*) from Explosives where VVName = ?"), {name});
    return query.next() && query.value(0).toLongLong() > 0;
}

} // namespace

bool sameCatalogueName(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

std::vector<ExplosiveRecord> readExplosives(Connection& connection) {
    std::vector<ExplosiveRecord> rows;
    QSqlQuery query =
        connection.select(QStringLiteral("select * from Explosives order by VVName asc"));
    while (query.next()) {
        rows.push_back({Connection::field(query, QStringLiteral("VVName")).toString(),
                        Connection::field(query, QStringLiteral("VVPower")).toDouble()});
    }
    // The database's own order differs between SQLite and a server.
    const NameOrder order;
    std::stable_sort(rows.begin(), rows.end(),
                     [&order](const ExplosiveRecord& a, const ExplosiveRecord& b) {
                         return order(a.name, b.name);
                     });
    return rows;
}

std::optional<ExplosiveRecord> findExplosive(Connection& connection, const QString& name) {
    QSqlQuery query = connection.exec(
        QStringLiteral("select VVName, VVPower from Explosives where VVName = ?"), {name});
    if (!query.next()) {
        return std::nullopt;
    }
    return ExplosiveRecord{query.value(0).toString(), query.value(1).toDouble()};
}

EditResult addExplosive(Connection& connection, const ExplosiveRecord& explosive) {
    refuseLongName(explosive.name);
    Transaction transaction(connection);
    if (nameTaken(connection, explosive.name, nullptr)) {
        return EditResult::NameTaken;
    }
    connection.exec(QStringLiteral("insert into Explosives (VVName, VVPower) values (?, ?)"),
                    {explosive.name, explosive.energy});
    transaction.commit();
    return EditResult::Done;
}

EditResult replaceExplosive(Connection& connection, const QString& oldName,
                            const ExplosiveRecord& explosive) {
    refuseLongName(explosive.name);
    Transaction transaction(connection);
    if (!exists(connection, oldName)) {
        return EditResult::Missing;
    }
    if (nameTaken(connection, explosive.name, &oldName)) {
        return EditResult::NameTaken;
    }
    // On a server the row may go between the check and the update (the update then waits
    // for the other transaction and finds nothing): that is Missing too, never Done.
    QSqlQuery update = connection.exec(
        QStringLiteral("update Explosives set VVName = ?, VVPower = ? where VVName = ?"),
        {explosive.name, explosive.energy, oldName});
    if (update.numRowsAffected() != 1) {
        return EditResult::Missing;
    }
    transaction.commit();
    return EditResult::Done;
}

EditResult deleteExplosive(Connection& connection, const QString& name) {
    Transaction transaction(connection);
    if (!exists(connection, name)) {
        return EditResult::Missing;
    }
    QSqlQuery removal =
        connection.exec(QStringLiteral("delete from Explosives where VVName = ?"), {name});
    if (removal.numRowsAffected() != 1) {
        return EditResult::Missing;
    }
    transaction.commit();
    return EditResult::Done;
}

} // namespace kelmo::db
