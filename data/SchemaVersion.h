#pragma once

#include "data/Database.h"
#include "data/DatabaseError.h"

#include <QStringList>

#include <vector>

namespace kelmo::db {

// The database as it stands is not one the program works with: made by a newer version of
// the program, holding none of the program's tables, or an upgrade that failed (the database
// is then left as it was). The message says which, in Russian.
class SchemaError : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// On a server the version is the one row of this table; an SQLite file keeps it in its header
// (PRAGMA user_version), where reading it writes nothing.
inline constexpr const char* kVersionTable = "SchemaVersion";

// One step of schema-upgrades.sql: the statements, in a dialect's words, that take a database
// of the version before it to `version`.
struct SchemaStep {
    int version = 0;
    QStringList statements;
};

// The steps of schema-upgrades.sql in the dialect's words, oldest first.
std::vector<SchemaStep> schemaSteps(Dialect dialect);

// The version the program creates and works with: that of the last step.
int currentSchemaVersion();

// The version the database carries: 0 for one from before versions were kept (and for one
// without the program's tables). Writes nothing. Throws DatabaseError.
int schemaVersion(Connection& c);

// Marks the database, whose tables the caller has just created within its transaction, as
// being of the version. Throws DatabaseError.
void writeSchemaVersion(Connection& c, int version);

// Brings the database up to the last of the steps in one transaction, when it is older;
// a database of that version is left alone. Throws SchemaError when the database is newer
// (nothing is written then), holds none of the program's tables, or a step fails (all steps
// are undone then).
void upgradeSchema(Connection& c, const std::vector<SchemaStep>& steps);

// The same with the steps of schema-upgrades.sql; what every connection does when it opens.
void upgradeSchema(Connection& c);

} // namespace kelmo::db
