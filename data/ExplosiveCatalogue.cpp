#include "data/ExplosiveCatalogue.h"

#include "core/NameOrder.h"

#include <algorithm>

namespace kelmo {

QStringList explosiveNames(db::Connection& connection) {
    QSqlQuery query =
        connection.select(QStringLiteral("select VVName from Explosives order by VVName asc"));
    QStringList names;
    while (query.next()) {
        names.append(db::Connection::field(query, QStringLiteral("VVName")).toString());
    }
    query.finish();
    // The database's own order differs between SQLite and a server.
    std::stable_sort(names.begin(), names.end(), NameOrder());
    return names;
}

std::optional<double> explosiveHeat(db::Connection& connection, const QString& name) {
    QSqlQuery query = connection.exec(
        QStringLiteral("select VVName, VVPower from Explosives where VVName = ?"), {name});
    std::optional<double> heat;
    while (query.next()) {
        // The comparison of the database may ignore case or trailing blanks; the name must
        // match exactly.
        if (db::Connection::field(query, QStringLiteral("VVName")).toString() == name) {
            heat = db::Connection::field(query, QStringLiteral("VVPower")).toDouble();
        }
    }
    query.finish();
    return heat;
}

} // namespace kelmo
