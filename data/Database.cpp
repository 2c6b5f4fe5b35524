#include "data/Database.h"

#include "data/SchemaVersion.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

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

std::atomic<int>& serverTimeoutSeconds() {
    static std::atomic<int> seconds{kDefaultServerTimeout};
    return seconds;
}

// The driver manager and the PostgreSQL driver both say "timeout" when the login waited out
// its time; the words differ between versions, so only that word is looked for.
bool isTimeout(const QString& driverText) {
    return driverText.contains(QLatin1String("timeout"), Qt::CaseInsensitive) ||
           driverText.contains(QLatin1String("timed out"), Qt::CaseInsensitive);
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

// A user name or password as the ODBC driver manager reads it from the "UID=…;PWD=…" the Qt
// driver appends unquoted: a value with a character that would end or open an attribute goes
// in braces, with a closing brace inside written twice.
QString odbcValue(const QString& value) {
    const bool plain = std::none_of(value.begin(), value.end(), [](QChar c) {
        return c == u';' || c == u'{' || c == u'}' || c == u'=' || c.isSpace();
    });
    if (plain) {
        return value;
    }
    QString braced = value;
    braced.replace(u'}', QStringLiteral("}}"));
    return u'{' + braced + u'}';
}

void closeAndRemove(const QString& name) {
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Connections to a server's data source stay open between operations of one thread: opening
// one costs a server process and several round trips, far more than a step of the plan
// editor may take. Each is checked with a trivial query when it is taken again, so a server
// that went away and came back is reached through a new connection. The embedded file is
// cheap to open and is never kept.
class IdleServerConnections final {
public:
    ~IdleServerConnections() {
        // At the end of the program the connection registry may be gone; the process ending
        // closes the sockets anyway.
        if (QCoreApplication::instance() == nullptr) {
            return;
        }
        for (const auto& [key, name] : m_idle) {
            closeAndRemove(name);
        }
    }

    // The name of a live idle connection for the key, or an empty name.
    QString take(const QString& key) {
        for (auto it = m_idle.begin(); it != m_idle.end();) {
            if (it->first != key) {
                ++it;
                continue;
            }
            const QString name = it->second;
            it = m_idle.erase(it);
            bool alive = false;
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                QSqlQuery probe(db);
                alive = db.isOpen() && probe.exec(QStringLiteral("select 1"));
            }
            if (alive) {
                return name;
            }
            closeAndRemove(name);
        }
        return {};
    }

    void give(const QString& key, const QString& name) {
        if (m_idle.size() >= kKept) {
            closeAndRemove(m_idle.front().second);
            m_idle.erase(m_idle.begin());
        }
        m_idle.emplace_back(key, name);
    }

private:
    // Enough for the nested connections of one action.
    static constexpr std::size_t kKept = 4;
    std::vector<std::pair<QString, QString>> m_idle;
};

IdleServerConnections& idleServerConnections() {
    thread_local IdleServerConnections idle;
    return idle;
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
            // A quoted value runs to its closing quote; a quote inside it is written twice.
            qsizetype at = eq + 2;
            bool closed = false;
            while (at < head.size()) {
                if (head[at] == u'\'') {
                    if (at + 1 < head.size() && head[at + 1] == u'\'') {
                        value += u'\'';
                        at += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                value += head[at++];
            }
            if (!closed) {
                throw DatabaseError(QStringLiteral("Строка подключения к базе данных "
                                                   "повреждена: нет закрывающей кавычки."));
            }
            const qsizetype semi = head.indexOf(u';', at + 1);
            next = semi < 0 ? head.size() : semi + 1;
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

QString serverConnectionString(const QString& dsn, const QString& user, const QString& password) {
    // The same key order as start-up's strings. Values are quoted with a quote inside written
    // twice, so a user name or password may hold any character.
    const auto quoted = [](QString value) {
        return u'\'' + value.replace(u'\'', QStringLiteral("''")) + u'\'';
    };
    QString s = QStringLiteral("Data Source=%1;").arg(quoted(dsn));
    if (!user.isEmpty()) {
        s += QStringLiteral("User ID=%1;").arg(quoted(user));
    }
    if (!password.isEmpty()) {
        s += QStringLiteral("Password=%1;").arg(quoted(password));
    }
    return s;
}

QString nameLengthProblem(const QString& field, const QString& name) {
    if (name.size() <= kMaxNameLength) {
        return {};
    }
    return QStringLiteral("%1: имя длиннее %2 знаков (в нём %3). Сократите его.")
        .arg(field)
        .arg(kMaxNameLength)
        .arg(name.size());
}

void setServerTimeout(int seconds) {
    serverTimeoutSeconds() = std::clamp(seconds, 1, 600);
}

int serverTimeout() {
    return serverTimeoutSeconds();
}

QString fileConnectionString(const QString& path) {
    return QStringLiteral("Data Source=%1;Initial Catalog=%2")
        .arg(QLatin1String(kStandardDataSource), path);
}

Connection::Connection(const QString& connectionString, SchemaCheck check) {
    if (open(connectionString, check) || check == SchemaCheck::None) {
        return;
    }
    try {
        upgradeSchema(*this);
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        m_db = QSqlDatabase();
        closeAndRemove(m_name);
        throw;
    }
}

bool Connection::open(const QString& connectionString, SchemaCheck check) {
    const ConnectionSettings s = parseConnectionString(connectionString);
    m_name = nextConnectionName();
    m_displayName = s.kind == ConnectionSettings::Kind::EmbeddedFile
                        ? QDir::toNativeSeparators(s.file)
                        : s.dataSource;
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
        const bool builtIn =
            s.user == QLatin1String(kBuiltInUser) && s.password == QLatin1String(kBuiltInPassword);
        const QString user = builtIn ? QString() : s.user;
        const QString password = builtIn ? QString() : s.password;
        // Only connections whose schema was checked are kept and taken again.
        if (check == SchemaCheck::Upgrade) {
            m_idleKey = s.dataSource + u'\n' + user + u'\n' + password;
            const QString idle = idleServerConnections().take(m_idleKey);
            if (!idle.isEmpty()) {
                m_name = idle;
                m_db = QSqlDatabase::database(m_name, false);
                return true;
            }
        }
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        m_db.setDatabaseName(s.dataSource);
        m_db.setUserName(odbcValue(user));
        m_db.setPassword(odbcValue(password));
        // A server that takes the connection and never answers would otherwise hold the
        // caller for ever.
        m_db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(serverTimeout()));
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
        if (s.kind == ConnectionSettings::Kind::EmbeddedFile) {
            throw DatabaseError(QStringLiteral("Не удалось подключиться к базе данных «%1».")
                                    .arg(QDir::toNativeSeparators(s.file)),
                                text);
        }
        if (isTimeout(text)) {
            throw ServerTimeoutError(
                QStringLiteral("Сервер базы данных источника «%1» не ответил за %2 с. Проверьте, "
                               "что сервер запущен и доступен с этого компьютера (адрес и порт "
                               "в настройке источника данных ODBC), или увеличьте время "
                               "ожидания.")
                    .arg(s.dataSource)
                    .arg(serverTimeout()),
                text);
        }
        throw DatabaseError(QStringLiteral("Не удалось подключиться к базе данных «%1». "
                                           "Проверьте, что сервер запущен, и имя пользователя "
                                           "и пароль источника данных ODBC.")
                                .arg(s.dataSource),
                            text);
    }
    return false;
}

Connection::~Connection() {
    const bool keep = !m_idleKey.isEmpty() && m_db.isOpen();
    if (keep) {
        // A kept connection starts the next operation outside any transaction.
        m_db.rollback();
    }
    m_db = QSqlDatabase();
    if (keep) {
        idleServerConnections().give(m_idleKey, m_name);
    } else {
        closeAndRemove(m_name);
    }
}

Dialect Connection::dialect() const {
    if (m_dialect) {
        return *m_dialect;
    }
    if (m_db.driverName() == QLatin1String("QSQLITE")) {
        return *(m_dialect = Dialect::SQLite);
    }
    if (m_db.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        return *(m_dialect = Dialect::PostgreSQL);
    }
    // A data source may lead to an SQLite file through the SQLite ODBC driver, which Qt does
    // not tell apart; only SQLite answers this.
    {
        QSqlQuery probe(m_db);
        if (probe.exec(QStringLiteral("select sqlite_version()"))) {
            return *(m_dialect = Dialect::SQLite);
        }
    }
    throw SchemaError(QStringLiteral("Сервер базы данных источника «%1» не поддерживается: "
                                     "программа работает с PostgreSQL.")
                          .arg(m_db.databaseName()));
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
    QSqlDatabase& db = m_connection.database();
    if (db.driverName() == QLatin1String("QSQLITE")) {
        // The write lock is taken at once: a transaction that read first and then wrote would
        // be refused at its first write while another program writes ("database is locked"),
        // where waiting for that program is what the user expects.
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            throw DatabaseError(QStringLiteral("Не удалось начать транзакцию."),
                                driverText(begin.lastError()));
        }
        return;
    }
    if (!db.transaction()) {
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
