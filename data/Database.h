#pragma once

#include "data/DatabaseError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

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

// The standard data source name of the default connection string.
inline constexpr const char* kStandardDataSource = "MS Access Database";

// The shortest connection string of the embedded file at the path: the standard source with
// the file as its Initial Catalog.
QString fileConnectionString(const QString& path);

// Throws DatabaseError when the string names no data source.
ConnectionSettings parseConnectionString(const QString& connectionString);

// One open connection, closed when it goes out of scope. Every operation opens its own from
// the connection string it is given, and connections may nest. Queries made on it must be
// destroyed before it.
class Connection final {
public:
    // Throws DatabaseError.
    explicit Connection(const QString& connectionString);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QSqlDatabase& database() { return m_db; }

    // Runs a read query given as SQL text and leaves it on its first row's predecessor.
    // Throws DatabaseError.
    QSqlQuery select(const QString& sql);

    // Runs a statement with bound values (positional '?'). Throws DatabaseError.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {});

    // The value of a field by name of the query's current row. Throws DatabaseError when the
    // query has no such field.
    static QVariant field(const QSqlQuery& query, const QString& name);

private:
    void open(const QString& connectionString);

    QString m_name;
    QSqlDatabase m_db;
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
