#pragma once

#include <QString>

namespace kelmo {

// The file among those the program writes that names the ODBC data source.
inline constexpr const char* kDataSourceFileName = "Data Source.txt";

// The first line of "Data Source.txt"; empty when the file is missing, unreadable or empty.
QString readDataSourceName();

// Replaces "Data Source.txt" with the bare name. Returns false when it cannot be written; the
// old file is then left as it was.
bool writeDataSourceName(const QString& name);

// The three connection strings of start-up, built literally.
QString defaultConnectionString();                        // the standard source
QString namedConnectionString(const QString& name);       // with Mode=ReadWrite
QString namedConnectionStringNoMode(const QString& name); // without a mode

// Opens a connection with the string and closes it again; an older database is upgraded on
// the way. Any failure counts as false and nothing is shown; when the database was reached but
// refused as it stands (newer than the program, not the program's, a failed upgrade), or when
// its server took the connection but never answered, the reason is put into *refusal for the
// caller to show.
bool testConnectionString(const QString& connectionString, QString* refusal = nullptr);

// Tests the named form with write mode for the data source name.
bool TestDataSource(const QString& name, QString* refusal = nullptr);

} // namespace kelmo
