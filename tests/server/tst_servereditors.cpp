// The reference-data editors' operations on a PostgreSQL server of the test's own, beside the
// same operations on the embedded file: the same results, and a row deleted by one engineer
// while another changes it is reported, never stored as done.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/ExplosiveCatalogue.h"
#include "data/ExplosiveRecords.h"
#include "data/StructureKinds.h"
#include "tests/support/LockWait.h"
#include "tests/support/PostgresServer.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <thread>

using namespace kelmo;
using namespace kelmo::db;

Q_DECLARE_METATYPE(kelmo::db::EditResult)

namespace {

QStringList catalogue(Connection& c) {
    QStringList out;
    for (const ExplosiveRecord& r : readExplosives(c)) {
        out << QStringLiteral("%1=%2").arg(r.name).arg(r.energy, 0, 'g', 17);
    }
    return out;
}

QStringList kinds(Connection& c) {
    QStringList out;
    for (const KindRecord& k : readStructureKinds(c)) {
        QStringList ranges;
        for (const double v : k.ranges) {
            ranges << QString::number(v, 'g', 17);
        }
        out << QStringLiteral("%1/%2/%3/%4").arg(k.type).arg(k.typeName, k.name, ranges.join(u' '));
    }
    out.sort(); // a server keeps no row order of its own after an update
    return out;
}

} // namespace

class TestServerEditors : public QObject {
    Q_OBJECT

    test::PostgresServer m_server;
    QTemporaryDir m_dir;

    // A fresh pair: the file and a server database with the same reference data.
    QPair<QString, QString> freshPair(const QString& name) {
        const QString file = m_dir.filePath(name + QStringLiteral(".db"));
        createDatabaseFile(file, true);
        const QString server =
            serverConnectionString(test::PostgresServer::dsnName(QStringLiteral("editors")));
        initializeServerDatabase(server, true);
        return {db::fileConnectionString(file), server};
    }

private slots:
    void initTestCase() {
        if (!m_server.start()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        QVERIFY(m_server.createDatabase(QStringLiteral("editors")));
        QVERIFY(m_server.installOdbc({QStringLiteral("editors")}));
    }

    void cleanupTestCase() { m_server.stop(); }

    // One engineer's session of edits gives the same catalogue on both databases.
    void sameEditsSameResult() {
        const auto [file, server] = freshPair(QStringLiteral("same"));
        for (const QString& connection : {file, server}) {
            Connection c(connection);
            QCOMPARE(addExplosive(c, {QStringLiteral("Смесь «А»"), 4321.125}), EditResult::Done);
            QCOMPARE(addExplosive(c, {QStringLiteral("смесь «а»"), 1}), EditResult::NameTaken);
            QCOMPARE(replaceExplosive(c, QStringLiteral("Смесь «А»"),
                                      {QStringLiteral("Смесь «Б»"), 4000.5}),
                     EditResult::Done);
            QCOMPARE(deleteExplosive(c, QStringLiteral("Нет такого")), EditResult::Missing);
            const KindRecord first = readStructureKinds(c).front();
            KindInput input{first.typeName, first.type, QStringLiteral("Новый вид"), first.ranges};
            QCOMPARE(addStructureKind(c, input), EditResult::Done);
            input.ranges[0] += 0.5;
            QCOMPARE(changeStructureKind(c, {first.type, QStringLiteral("Новый вид")}, input),
                     EditResult::Done);
            QCOMPARE(deleteStructureKind(c, {first.type, first.name}), EditResult::Done);
        }
        Connection onFile(file);
        Connection onServer(server);
        QCOMPARE(catalogue(onServer), catalogue(onFile));
        QCOMPARE(kinds(onServer), kinds(onFile));
    }

    // The catalogue lists its explosives in one order on both databases, the order a Russian
    // reader expects, whatever their case and the database's own collation.
    void catalogueInOneOrder() {
        const auto [file, server] = freshPair(QStringLiteral("order"));
        const QStringList ordered{"2-й состав", "10-й состав", "аммонал", "Аммонит", "Гексоген",
                                  "ёлочный",    "Емкость",     "тротил",  "Zeta"};
        for (const QString& connection : {file, server}) {
            Connection c(connection);
            c.exec(QStringLiteral("delete from Explosives"));
            for (const int i : {7, 3, 8, 0, 5, 1, 4, 2, 6}) {
                QCOMPARE(addExplosive(c, {ordered[i], 1000.0 + i}), EditResult::Done);
            }
            QStringList listed;
            for (const ExplosiveRecord& r : readExplosives(c)) {
                listed << r.name;
            }
            QCOMPARE(listed, ordered);
            QCOMPARE(explosiveNames(c), ordered);
        }
    }

    // A deletes an explosive and holds its transaction open; B changes or deletes the same
    // explosive meanwhile. B must hear that the row is gone, not that its edit was stored.
    void editOfARowDeletedMeanwhile_data() {
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<bool>("otherDeletes");
        QTest::addColumn<bool>("kind");
        for (const bool kind : {false, true}) {
            for (const bool server : {false, true}) {
                for (const bool deletes : {false, true}) {
                    QTest::addRow("%s, %s, B %s", kind ? "kind" : "explosive",
                                  server ? "server" : "file", deletes ? "deletes" : "changes")
                        << server << deletes << kind;
                }
            }
        }
    }

    void editOfARowDeletedMeanwhile() {
        QFETCH(bool, onServer);
        QFETCH(bool, otherDeletes);
        QFETCH(bool, kind);
        const auto pair = freshPair(QStringLiteral("race"));
        const QString connection = onServer ? pair.second : pair.first;
        const QString name = QStringLiteral("Тротил (ТНТ)");
        Connection a(connection);
        const KindRecord firstKind = readStructureKinds(a).front();
        const KindKey key{firstKind.type, firstKind.name};
        std::atomic<bool> done{false};
        test::LockWaitFlag lockWait;
        EditResult told = EditResult::Done;
        QString error;
        {
            Transaction t(a);
            if (kind) {
                a.exec(QStringLiteral("delete from BSubTypes where Type = ? and STName = ?"),
                       {key.type, key.name});
            } else {
                a.exec(QStringLiteral("delete from Explosives where VVName = ?"), {name});
            }
            std::thread b([&] {
                try {
                    Connection c(connection);
                    test::watchLockWaits(c, lockWait);
                    if (kind) {
                        const KindInput input{firstKind.typeName, firstKind.type,
                                              QStringLiteral("Изменённый"), firstKind.ranges};
                        told = otherDeletes ? deleteStructureKind(c, key)
                                            : changeStructureKind(c, key, input);
                    } else {
                        told = otherDeletes ? deleteExplosive(c, name)
                                            : replaceExplosive(c, name, {name, 1234});
                    }
                } catch (const Error& e) {
                    error = QString::fromUtf8(e.what());
                }
                done = true;
            });
            const bool blocked =
                test::waitUntilBlocked(connection, lockWait, [&] { return done.load(); });
            t.commit();
            b.join();
            QVERIFY2(blocked, "B's edit must wait for A's transaction");
        }
        // B waited for A and then found the row gone: told so, with no error and no "done".
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(told, EditResult::Missing);
        QVERIFY(!findExplosive(a, name) || kind);
        for (const KindRecord& k : readStructureKinds(a)) {
            QVERIFY(k.name != QStringLiteral("Изменённый"));
        }
    }
};

QTEST_MAIN(TestServerEditors)
#include "tst_servereditors.moc"
