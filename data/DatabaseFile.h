#pragma once

#include "data/Database.h"
#include "data/DatabaseError.h"

#include <vector>

#include <QString>
#include <QStringList>

namespace kelmo::db {

// Creates a database file with the tables, the reference data delivered with the program
// (explosives, structure types and kinds, the probit table) and the program's schema
// version. An existing file is
// replaced only with force; otherwise DatabaseError. The new file appears only when complete.
void createDatabaseFile(const QString& path, bool force);

// The working database the program opens by default: bdKelmo.db among the files it writes.
QString workingDatabasePath();

// Makes sure the working database exists and returns its path. An installed program makes it
// on its first start from the seed database among its fixed files, or from the reference data
// built into the program when that file is missing. An existing file is never touched, so what
// the user entered survives upgrades. Throws DatabaseError when it cannot be made.
QString prepareWorkingDatabase();

// Creates the tables, the reference data and the schema version on the database of a server's
// data source (connectionString names an ODBC DSN) in one transaction. When the program's tables
// exist it refuses unless force, which drops them within the same transaction, so that a failure
// leaves the server as it was. Throws DatabaseError.
void initializeServerDatabase(const QString& connectionString, bool force);

// The statements of the schema as the dialect reads them.
QStringList schemaStatements(Dialect dialect);

// The statements of SQL text written for SQLite (separated by semicolons, "--" comments
// dropped) as the dialect reads them.
QStringList dialectStatements(const QString& sql, Dialect dialect);

// The rows of TProbit: probits 2.67 … 8.09 in steps of 0.01 against 100·Φ(Y − 5).
struct ProbitRow {
    double probit;
    double percent;
};
std::vector<ProbitRow> standardProbitTable();

} // namespace kelmo::db
