#pragma once

#include "data/Database.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace kelmo::db {

// The rows of one text made of the server's array literals, one per row, separated by commas:
// {1,"a b",NULL},{2,"",x}. Every row must have `columns` values; a value is its text, or a null
// QVariant for an unquoted NULL. Throws DatabaseError on text of any other shape.
class ArrayRowsText final {
public:
    ArrayRowsText(QString text, int columns);

    // The next row into `row` (resized to the column count); false after the last.
    bool next(QVariantList& row);

private:
    [[noreturn]] void malformed() const;
    QVariant element();

    QString m_text;
    qsizetype m_at = 0;
    int m_columns;
};

// Reads the rows of `select <columns> from <source> order by <order>` with the bound values,
// row by row. On PostgreSQL reading a value through ODBC costs several driver calls and a
// buffer of its own, which for a plan of thousands of structures costs many times the read of
// the same rows from the embedded file; there the server turns the rows into one text and it
// is split here. Values then come as text (or null), and the callers convert them as they
// would a driver's value. Elsewhere the driver's own values are handed on.
// Throws DatabaseError.
class BulkRows final {
public:
    BulkRows(Connection& connection, const QStringList& columns, const QString& source,
             const QString& order, const QVariantList& values = {});

    bool next();
    QVariant value(int column) const { return m_query ? m_query->value(column) : m_row.at(column); }

private:
    std::optional<QSqlQuery> m_query;
    std::optional<ArrayRowsText> m_text;
    QVariantList m_row;
    qint64 m_expected = 0;
    qint64 m_read = 0;
};

} // namespace kelmo::db
