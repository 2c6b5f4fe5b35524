#include "data/BulkRows.h"

namespace kelmo::db {

namespace {

// The characters the server puts around and between the values of an array literal; an
// unquoted value never holds them.
bool endsUnquoted(QChar c) {
    return c == u',' || c == u'}';
}

} // namespace

ArrayRowsText::ArrayRowsText(QString text, int columns)
    : m_text(std::move(text))
    , m_columns(columns) {}

void ArrayRowsText::malformed() const {
    throw DatabaseError(QStringLiteral("Ошибка чтения из базы данных."),
                        QStringLiteral("unexpected text of rows at character %1").arg(m_at + 1));
}

QVariant ArrayRowsText::element() {
    const qsizetype size = m_text.size();
    if (m_at < size && m_text[m_at] == u'"') {
        // A quoted value: a backslash keeps the next character as it is.
        QString value;
        ++m_at;
        qsizetype from = m_at;
        while (true) {
            if (m_at >= size) {
                malformed();
            }
            const QChar c = m_text[m_at];
            if (c == u'"') {
                value += QStringView(m_text).sliced(from, m_at - from);
                ++m_at;
                return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
            }
            if (c == u'\\') {
                value += QStringView(m_text).sliced(from, m_at - from);
                if (++m_at >= size) {
                    malformed();
                }
                from = m_at;
            }
            ++m_at;
        }
    }
    const qsizetype from = m_at;
    while (m_at < size && !endsUnquoted(m_text[m_at])) {
        const QChar c = m_text[m_at];
        if (c == u'"' || c == u'\\' || c == u'{') {
            malformed();
        }
        ++m_at;
    }
    const QStringView value = QStringView(m_text).sliced(from, m_at - from);
    if (value.isEmpty()) {
        malformed(); // the server quotes an empty text
    }
    if (value.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) {
        return {};
    }
    return value.toString();
}

bool ArrayRowsText::next(QVariantList& row) {
    const qsizetype size = m_text.size();
    if (m_at >= size) {
        return false;
    }
    if (m_at > 0) {
        if (m_text[m_at] != u',') {
            malformed();
        }
        ++m_at;
    }
    if (m_at >= size || m_text[m_at] != u'{') {
        malformed();
    }
    ++m_at;
    row.resize(m_columns);
    for (int column = 0; column < m_columns; ++column) {
        if (column > 0) {
            if (m_at >= size || m_text[m_at] != u',') {
                malformed();
            }
            ++m_at;
        }
        row[column] = element();
    }
    if (m_at >= size || m_text[m_at] != u'}') {
        malformed();
    }
    ++m_at;
    return true;
}

BulkRows::BulkRows(Connection& connection, const QStringList& columns, const QString& source,
                   const QString& order, const QVariantList& values) {
    if (connection.dialect() != Dialect::PostgreSQL) {
        m_query = connection.exec(QStringLiteral("select %1 from %2 order by %3")
                                      .arg(columns.join(QStringLiteral(", ")), source, order),
                                  values);
        return;
    }
    // Every value as text in an array literal of its row, the rows joined in order. The count
    // beside them tells a text cut short by the driver from a complete one. A double is
    // written with as many digits as it takes to read the same number back.
    QStringList texts;
    texts.reserve(columns.size());
    for (const QString& column : columns) {
        texts << column + QStringLiteral("::text");
    }
    connection.select(QStringLiteral("set extra_float_digits = 3"));
    QSqlQuery query = connection.exec(
        QStringLiteral("select count(*), string_agg(array[%1]::text, ',' order by %2) from %3")
            .arg(texts.join(QStringLiteral(", ")), order, source),
        values);
    if (!query.next()) {
        throw DatabaseError(QStringLiteral("Ошибка чтения из базы данных."),
                            QStringLiteral("no rows were returned"));
    }
    m_expected = query.value(0).toLongLong();
    m_text.emplace(query.value(1).toString(), static_cast<int>(columns.size()));
}

bool BulkRows::next() {
    if (m_query) {
        return m_query->next();
    }
    if (m_text->next(m_row)) {
        ++m_read;
        return true;
    }
    if (m_read != m_expected) {
        throw DatabaseError(QStringLiteral("Ошибка чтения из базы данных."),
                            QStringLiteral("%1 rows were read of %2").arg(m_read).arg(m_expected));
    }
    return false;
}

} // namespace kelmo::db
