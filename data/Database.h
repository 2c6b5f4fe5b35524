#pragma once

#include "data/DatabaseError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <optional>

namespace kelmo {

namespace db {

// The file name of the embedded database in the program folder.
inline constexpr const char* kDatabaseFileName = "bdKelmo.db";

// How a connection string is honoured here: the standard source "MS Access Database" is the
// SQLite file named by Initial Catalog; any other source is an ODBC data source name.
struct ConnectionSettings {
    enum class Kind { EmbeddedFile, OdbcDsn };
    Kind kind = Kind::EmbeddedFile;
    QString dataSource;
    QString file; // Initial Catalog
    QString user;
    QString password;
};

// The longest name of a plan, an explosive, a structure type or kind, in characters (the text
// fields of the original database held as many). Longer names already stored are kept.
inline constexpr int kMaxNameLength = 255;

// The message for a new name longer than kMaxNameLength, naming the field but not repeating the
// name; an empty string for a name that fits.
QString nameLengthProblem(const QString& field, const QString& name);

// The standard data source name of the default connection string.
inline constexpr const char* kStandardDataSource = "MS Access Database";

// The shortest connection string of the embedded file at the path: the standard source with
// the file as its Initial Catalog.
QString fileConnectionString(const QString& path);

// Throws DatabaseError when the string names no data source.
ConnectionSettings parseConnectionString(const QString& connectionString);

// The user and password that start-up's connection strings carry. They are the embedded
// database's own; a data source of a server logs in with the user its DSN entry (or the
// server's password file) names, so these two are not handed to it.
inline constexpr const char* kBuiltInUser = "Admin";
inline constexpr const char* kBuiltInPassword = "5926";

// The connection string of a server's data source with an optional user and password, as
// kelmo-calc builds it from --dsn, --user and --password.
QString serverConnectionString(const QString& dsn, const QString& user = {},
                               const QString& password = {});

// How long, in seconds, a connection to a server's data source may take to log in before it
// fails with a message naming the source. Process-wide: start-up sets it from the settings,
// kelmo-calc from --timeout. Clamped to 1…600.
inline constexpr int kDefaultServerTimeout = 10;
void setServerTimeout(int seconds);
int serverTimeout();

// The SQL dialects the program speaks. The schema is written once and rewritten per dialect.
enum class Dialect { SQLite, PostgreSQL };

// Whether opening a connection brings the database's schema up to the program's version.
// Only the code that creates the tables opens a database as it is.
enum class SchemaCheck { Upgrade, None };

// One open connection, closed when it goes out of scope. Every operation opens its own from
// the connection string it is given, and connections may nest. Queries made on it must be
// destroyed before it. A connection to a server's data source is kept open for the thread's
// next operation instead (checked before it is used again), because opening one takes long.
//
// Opening checks the schema version of the database (data/SchemaVersion.h): an older database
// is upgraded in one transaction, a newer one or one without the program's tables is refused
// with SchemaError, and nothing is written to it then.
class Connection final {
public:
    // Throws DatabaseError (SchemaError when the database is refused as it stands).
    explicit Connection(const QString& connectionString, SchemaCheck check = SchemaCheck::Upgrade);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QSqlDatabase& database() { return m_db; }

    // The file or the data source the connection reaches, as messages name it.
    const QString& displayName() const { return m_displayName; }

    // SQLite for the embedded file (and for an SQLite file behind a data source); the server's
    // dialect for a data source. Throws SchemaError for a server the program does not know.
    Dialect dialect() const;

    // Runs a read query given as SQL text and leaves it on its first row's predecessor.
    // Throws DatabaseError.
    QSqlQuery select(const QString& sql);

    // Runs a statement with bound values (positional '?'). Throws DatabaseError.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {});

    // The value of a field by name of the query's current row. Throws DatabaseError when the
    // query has no such field.
    static QVariant field(const QSqlQuery& query, const QString& name);

private:
    // True when it took a kept server connection, whose schema was checked when it opened.
    bool open(const QString& connectionString, SchemaCheck check);

    QString m_name;
    QString m_displayName;
    QString m_idleKey; // set for a server's connection, which is kept for the next operation
    QSqlDatabase m_db;
    mutable std::optional<Dialect> m_dialect;
};

// A transaction on a connection: rolled back unless commit() is called.
class Transaction final {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit(); // throws DatabaseError

private:
    Connection& m_connection;
    bool m_done = false;
};

} // namespace db
} // namespace kelmo
