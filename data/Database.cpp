#include "data/Database.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>

namespace kelmo {

namespace db {

namespace {

QString driverText(const QSqlError& e) {
    QStringList parts;
    if (!e.databaseText().trimmed().isEmpty()) {
        parts << e.databaseText().trimmed();
    }
    if (!e.driverText().trimmed().isEmpty() && e.driverText() != e.databaseText()) {
        parts << e.driverText().trimmed();
    }
    return parts.join(QStringLiteral("; "));
}

QString nextConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("kelmo-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Characters that would change the meaning of an ODBC connection string built from the name.
bool isPlainDsnName(const QString& name) {
    for (const QChar c : name) {
        if (c == u';' || c == u'{' || c == u'}' || c == u'=' || c.unicode() < 0x20) {
            return false;
        }
    }
    return true;
}

} // namespace

ConnectionSettings parseConnectionString(const QString& connectionString) {
    ConnectionSettings s;
    // Initial Catalog is always the last key and takes the rest of the string, so that a
    // folder with a semicolon in its name still works.
    QString head = connectionString;
    const QString catalogKey = QStringLiteral("Initial Catalog=");
    const qsizetype catalogAt = connectionString.indexOf(catalogKey, 0, Qt::CaseInsensitive);
    if (catalogAt >= 0) {
        s.file = connectionString.mid(catalogAt + catalogKey.size());
        head = connectionString.left(catalogAt);
    }

    qsizetype i = 0;
    bool haveSource = false;
    while (i < head.size()) {
        const qsizetype eq = head.indexOf(u'=', i);
        if (eq < 0) {
            break;
        }
        const QString key = head.mid(i, eq - i).trimmed().toLower();
        QString value;
        qsizetype next;
        if (eq + 1 < head.size() && head[eq + 1] == u'\'') {
            // A quoted value runs to the quote that ends it before a semicolon.
            qsizetype close = head.indexOf(QStringLiteral("';"), eq + 2);
            if (close < 0) {
                close = head.lastIndexOf(u'\'');
                if (close <= eq + 1) {
                    throw DatabaseError(QStringLiteral("Строка подключения к базе данных "
                                                       "повреждена: нет закрывающей кавычки."));
                }
            }
            value = head.mid(eq + 2, close - eq - 2);
            next = close + 2;
        } else {
            const qsizetype semi = head.indexOf(u';', eq + 1);
            next = semi < 0 ? head.size() : semi + 1;
            value = head.mid(eq + 1, (semi < 0 ? head.size() : semi) - eq - 1).trimmed();
        }
        if (key == QLatin1String("data source")) {
            s.dataSource = value;
            haveSource = true;
        } else if (key == QLatin1String("user id")) {
            s.user = value;
        } else if (key == QLatin1String("password")) {
            s.password = value;
        }
        i = next;
    }
    if (!haveSource || s.dataSource.trimmed().isEmpty()) {
        throw DatabaseError(QStringLiteral("В строке подключения не задан источник данных."));
    }
    s.kind = s.dataSource == QLatin1String(kStandardDataSource)
                 ? ConnectionSettings::Kind::EmbeddedFile
                 : ConnectionSettings::Kind::OdbcDsn;
    return s;
}

QString fileConnectionString(const QString& path) {
    return QStringLiteral("Data Source=%1;Initial Catalog=%2")
        .arg(QLatin1String(kStandardDataSource), path);
}

Connection::Connection(const QString& connectionString) {
    open(connectionString);
}

void Connection::open(const QString& connectionString) {
    const ConnectionSettings s = parseConnectionString(connectionString);
    m_name = nextConnectionName();
    if (s.kind == ConnectionSettings::Kind::EmbeddedFile) {
        // SQLite would create an empty database for a missing file; the file must exist.
        const QFileInfo file(s.file);
        if (!file.isFile()) {
            throw DatabaseError(QStringLiteral("Файл базы данных «%1» не найден.")
                                    .arg(QDir::toNativeSeparators(s.file)));
        }
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(file.absoluteFilePath());
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    } else {
        if (!isPlainDsnName(s.dataSource)) {
            throw DatabaseError(
                QStringLiteral("Имя источника данных ODBC «%1» содержит недопустимые символы.")
                    .arg(s.dataSource));
        }
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        m_db.setDatabaseName(s.dataSource);
        m_db.setUserName(s.user);
        m_db.setPassword(s.password);
    }
    if (!m_db.isValid()) {
        const QString text = driverText(m_db.lastError());
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw DatabaseError(QStringLiteral("Драйвер базы данных недоступен."), text);
    }
    if (!m_db.open()) {
        const QString text = driverText(m_db.lastError());
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw DatabaseError(QStringLiteral("Не удалось подключиться к базе данных «%1».")
                                .arg(s.kind == ConnectionSettings::Kind::EmbeddedFile
                                         ? QDir::toNativeSeparators(s.file)
                                         : s.dataSource),
                            text);
    }
}

Connection::~Connection() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlQuery Connection::select(const QString& sql) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        throw DatabaseError(QStringLiteral("Ошибка чтения из базы данных."),
                            driverText(query.lastError()));
    }
    return query;
}

QSqlQuery Connection::exec(const QString& sql, const QVariantList& values) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        throw DatabaseError(QStringLiteral("Ошибка запроса к базе данных."),
                            driverText(query.lastError()));
    }
    for (const QVariant& v : values) {
        query.addBindValue(v);
    }
    if (!query.exec()) {
        throw DatabaseError(QStringLiteral("Ошибка записи в базу данных."),
                            driverText(query.lastError()));
    }
    return query;
}

QVariant Connection::field(const QSqlQuery& query, const QString& name) {
    const int index = query.record().indexOf(name);
    if (index < 0) {
        throw DatabaseError(QStringLiteral("В таблице базы данных нет поля «%1».").arg(name));
    }
    return query.value(index);
}

Transaction::Transaction(Connection& connection)
    : m_connection(connection) {
    if (!m_connection.database().transaction()) {
        throw DatabaseError(QStringLiteral("Не удалось начать транзакцию."),
                            driverText(m_connection.database().lastError()));
    }
}

Transaction::~Transaction() {
    if (!m_done) {
        m_connection.database().rollback();
    }
}

void Transaction::commit() {
    if (!m_connection.database().commit()) {
        const QString text = driverText(m_connection.database().lastError());
        m_connection.database().rollback();
        m_done = true;
        throw DatabaseError(QStringLiteral("Не удалось сохранить изменения в базе данных."), text);
    }
    m_done = true;
}

} // namespace db
} // namespace kelmo
