#pragma once

// Knowing that another connection is held up by a lock this test holds, instead of sleeping and
// hoping it had time to run into it. SQLite tells through a busy handler installed on the other
// connection; PostgreSQL through pg_stat_activity, read on a connection of its own.

#include "data/Database.h"

#include <QDeadlineTimer>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTest>

#include <sqlite3.h>

#include <atomic>

namespace kelmo::test {

// Raised by the other connection when it has to wait for a lock.
struct LockWaitFlag {
    std::atomic<bool> waiting{false};
};

namespace detail {

inline int noteBusy(void* flag, int attempts) {
    static_cast<LockWaitFlag*>(flag)->waiting = true;
    if (attempts > 6000) {
        return 0; // a minute: give up, the test then fails on the other side's error
    }
    sqlite3_sleep(10);
    return 1;
}

} // namespace detail

// Call on the other connection, in its own thread, before it runs into the lock. On SQLite it
// waits up to a minute for the lock and raises the flag while it does; on a server it changes
// nothing (the server is asked instead).
inline void watchLockWaits(db::Connection& connection, LockWaitFlag& flag) {
    const QVariant handle = connection.database().driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        sqlite3* sqlite = *static_cast<sqlite3* const*>(handle.constData());
        if (sqlite != nullptr) {
            sqlite3_busy_handler(sqlite, &detail::noteBusy, &flag);
        }
    }
}

// Waits until the other connection is held up by a lock, or has finished, or a minute has
// passed. True only when it was seen waiting: finished first means the lock did not hold it.
template <typename Done>
bool waitUntilBlocked(const QString& connection, const LockWaitFlag& flag, Done done) {
    db::Connection watcher(connection);
    const bool server = watcher.dialect() == db::Dialect::PostgreSQL;
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        if (flag.waiting) {
            return true;
        }
        if (server) {
            QSqlQuery q = watcher.select(
                QStringLiteral("select count(*) from pg_stat_activity where wait_event_type = "
                               "'Lock' and datname = current_database()"));
            if (q.next() && q.value(0).toInt() > 0) {
                return true;
            }
        }
        if (done()) {
            return false;
        }
        QTest::qWait(5);
    }
    return false;
}

} // namespace kelmo::test
