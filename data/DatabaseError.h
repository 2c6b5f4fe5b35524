#pragma once

#include "engine/Errors.h"

#include <QString>

namespace kelmo {

// A database operation failed. The message is Russian and names what the program was doing;
// driverText() keeps the driver's own words for the user and for support.
class DatabaseError : public Error {
public:
    DatabaseError(const QString& what, const QString& driverText = {})
        : Error((driverText.trimmed().isEmpty()
                     ? what
                     : QStringLiteral("%1\nСообщение драйвера: %2").arg(what, driverText.trimmed()))
                    .toStdString())
        , m_driverText(driverText.trimmed()) {}

    const QString& driverText() const { return m_driverText; }

private:
    QString m_driverText;
};

// A database server took the connection but did not answer within the login timeout. The
// message names the data source and what to check.
class ServerTimeoutError final : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

} // namespace kelmo
