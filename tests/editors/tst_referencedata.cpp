// Storing and deleting explosives and structure kinds: each change is whole or absent, and a
// row that another program removed or took meanwhile is reported, never overwritten.

#include "core/NameOrder.h"
#include "data/DatabaseFile.h"
#include "data/ExplosiveRecords.h"
#include "data/SitePlan.h"
#include "data/StructureKinds.h"

#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kelmo;
using db::EditResult;

Q_DECLARE_METATYPE(db::EditResult)

namespace {

// Every row of a table as text, in the table's order.
QStringList dump(db::Connection& c, const QString& table) {
    QStringList rows;
    QSqlQuery q = c.select("select * from " + table);
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i) {
            fields << q.value(i).toString();
        }
        rows << fields.join('|');
    }
    return rows;
}

QStringList allTables(db::Connection& c) {
    QStringList all;
    for (const char* table : {"Explosives", "BTypes", "BSubTypes", "IDPM"}) {
        all << QString::fromLatin1(table) << dump(c, QString::fromLatin1(table));
    }
    return all;
}

db::KindInput kindInput(const QString& type, int number, const QString& kind,
                        db::DestructionRanges ranges = {1, 2, 3, 4, 5, 6, 7, 8}) {
    return {type, number, kind, ranges};
}

void addStructure(db::Connection& c, const QString& type, const QString& kind) {
    c.exec("insert into IDPM (NumPrim, NumSoor, Combo2, Combo3) values (1, "
           "(select count(*) + 1 from IDPM), ?, ?)",
           {type, kind});
}

const QString kBuildings = QStringLiteral("Производственные, административные и жилые здания");
const QString kTransport = QStringLiteral("Транспорт");
const QString kTankWagons = QStringLiteral("Цистерны для перевозки нефтепродуктов");
const QString kWooden = QStringLiteral("Деревянные дома");

} // namespace

class TestReferenceData : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_connection;

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const QString path = m_dir->filePath("bdKelmo.db");
        db::createDatabaseFile(path, false);
        m_connection = "Data Source=MS Access Database;Initial Catalog=" + path;
    }
    void cleanup() { m_dir.reset(); }

    void explosiveEdits_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("name");
        QTest::addColumn<EditResult>("result");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        const QString tnt = "Тротил (ТНТ)";
        const QString rdx = "Гексоген";
        QTest::newRow("add new") << "add"
                                 << ""
                                 << "Новое ВВ" << EditResult::Done << QStringList{"Новое ВВ", tnt}
                                 << QStringList{};
        QTest::newRow("add a name of another letter case")
            << "add"
            << ""
            << "тротил (тнт)" << EditResult::NameTaken << QStringList{tnt}
            << QStringList{"тротил (тнт)"};
        QTest::newRow("rename in place") << "replace" << tnt << "ТНТ" << EditResult::Done
                                         << QStringList{"ТНТ"} << QStringList{tnt};
        QTest::newRow("same name, new case")
            << "replace" << tnt << "ТРОТИЛ (ТНТ)" << EditResult::Done << QStringList{"ТРОТИЛ (ТНТ)"}
            << QStringList{tnt};
        QTest::newRow("rename onto another")
            << "replace" << tnt << "гексоген" << EditResult::NameTaken << QStringList{tnt, rdx}
            << QStringList{"гексоген"};
        QTest::newRow("change a removed row")
            << "replace"
            << "Нет такого"
            << "Новое" << EditResult::Missing << QStringList{tnt} << QStringList{"Новое"};
        QTest::newRow("delete") << "delete"
                                << "" << rdx << EditResult::Done << QStringList{tnt}
                                << QStringList{rdx};
        QTest::newRow("delete a removed row")
            << "delete"
            << ""
            << "Нет такого" << EditResult::Missing << QStringList{tnt, rdx} << QStringList{};
    }
    void explosiveEdits() {
        QFETCH(QString, operation);
        QFETCH(QString, oldName);
        QFETCH(QString, name);
        QFETCH(EditResult, result);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);

        db::Connection c(m_connection);
        const std::size_t before = db::readExplosives(c).size();
        const QStringList tablesBefore = allTables(c);
        EditResult got = EditResult::Done;
        if (operation == "add") {
            got = db::addExplosive(c, {name, 1234.5});
        } else if (operation == "replace") {
            got = db::replaceExplosive(c, oldName, {name, 1234.5});
        } else {
            got = db::deleteExplosive(c, name);
        }
        QCOMPARE(got, result);
        const auto rows = db::readExplosives(c);
        for (const QString& p : present) {
            QVERIFY2(db::findExplosive(c, p), qPrintable(p));
        }
        for (const QString& a : absent) {
            QVERIFY2(!db::findExplosive(c, a), qPrintable(a));
        }
        if (result != EditResult::Done) {
            QCOMPARE(allTables(c), tablesBefore);
        } else if (operation == "add") {
            QCOMPARE(rows.size(), before + 1);
            QCOMPARE(db::findExplosive(c, name)->energy, 1234.5);
        } else if (operation == "replace") {
            QCOMPARE(rows.size(), before);
            QCOMPARE(db::findExplosive(c, name)->energy, 1234.5);
        } else {
            QCOMPARE(rows.size(), before - 1);
        }
    }

    // The grid's rows come in name order with their energies as stored.
    // Names up to the limit are stored; a longer one is refused before anything changes, the
    // message giving the limit rather than the name.
    void longNames_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("stored");
        for (const char* what : {"plan", "explosive", "type", "kind"}) {
            QTest::addRow("%s of 255", what) << QString::fromLatin1(what) << 255 << true;
            QTest::addRow("%s of 256", what) << QString::fromLatin1(what) << 256 << false;
        }
    }
    void longNames() {
        QFETCH(QString, what);
        QFETCH(int, length);
        QFETCH(bool, stored);
        const QString name(length, u'Ж');
        db::Connection c(m_connection);
        const QStringList before = allTables(c) + dump(c, "MnuPM");
        try {
            if (what == QLatin1String("plan")) {
                db::createPlan(c, name);
            } else if (what == QLatin1String("explosive")) {
                QCOMPARE(db::addExplosive(c, {name, 4000}), EditResult::Done);
            } else if (what == QLatin1String("type")) {
                QCOMPARE(db::addStructureKind(c, kindInput(name, 900, "Вид")), EditResult::Done);
            } else {
                QCOMPARE(db::addStructureKind(c, kindInput(kTransport, 2, name)), EditResult::Done);
            }
            QVERIFY(stored);
        } catch (const DatabaseError& e) {
            QVERIFY2(!stored, e.what());
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.contains("255") && message.size() < 200, e.what());
            QCOMPARE(allTables(c) + dump(c, "MnuPM"), before);
        }
    }

    void explosivesRead() {
        db::Connection c(m_connection);
        const auto rows = db::readExplosives(c);
        QCOMPARE(rows.size(), std::size_t(19));
        for (std::size_t i = 1; i < rows.size(); ++i) {
            QVERIFY(NameOrder()(rows[i - 1].name, rows[i].name));
        }
        QCOMPARE(db::findExplosive(c, "Тротил (ТНТ)")->energy, 4520.0);
    }

    void kindsRead() {
        db::Connection c(m_connection);
        c.exec("insert into BSubTypes (Type, STName, Slamin, Slamax, Sremin, Sremax, Sulmin, "
               "Sulmax, Polmin, Polmax) values (99, 'Ничей', 1, 2, 3, 4, 5, 6, 7, 8)");
        const auto kinds = db::readStructureKinds(c);
        QCOMPARE(kinds.size(), std::size_t(23));
        QCOMPARE(kinds.front().typeName, kBuildings);
        QCOMPARE(kinds.back().name, "Ничей");
        QCOMPARE(kinds.back().typeName, QString());
        QCOMPARE(kinds.back().ranges, (db::DestructionRanges{1, 2, 3, 4, 5, 6, 7, 8}));
        const auto types = db::readStructureTypes(c);
        QCOMPARE(types.size(), std::size_t(4));
        QCOMPARE(types[2].name, kTransport);
        QCOMPARE(db::findTypeByName(types, " транспорт ")->number, 3);
        QVERIFY(!db::findTypeByName(types, "Мосты"));
    }

    void kindEdits_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<EditResult>("result");
        QTest::addColumn<int>("types");
        QTest::addColumn<int>("kinds");
        QTest::newRow("kind of an existing type keeps the type's number")
            << "add"
            << "транспорт" << 77 << "Вагоны" << EditResult::Done << 4 << 23;
        QTest::newRow("new type with a free number")
            << "add"
            << "Мосты" << 5 << "Мосты стальные" << EditResult::Done << 5 << 23;
        QTest::newRow("new type with a used number")
            << "add"
            << "Мосты" << 3 << "Мосты стальные" << EditResult::NumberTaken << 4 << 22;
        QTest::newRow("kind name taken within its type")
            << "add" << kTransport << 0 << "цистерны для перевозки нефтепродуктов"
            << EditResult::NameTaken << 4 << 22;
        QTest::newRow("same kind name under another type")
            << "add"
            << "Резервуары и емкости" << 0 << kTankWagons << EditResult::Done << 4 << 23;
        QTest::newRow("change in place")
            << "change" << kBuildings << 0 << "Деревянные дачи" << EditResult::Done << 4 << 22;
        QTest::newRow("change onto a taken name") << "change" << kBuildings << 0
                                                  << "Котельные и регуляторные станции в "
                                                     "кирпичных зданиях"
                                                  << EditResult::NameTaken << 4 << 22;
        QTest::newRow("last kind moves away: its type goes")
            << "changeLast"
            << "Резервуары и емкости" << 0 << kTankWagons << EditResult::Done << 3 << 22;
        QTest::newRow("last kind moves to a new type")
            << "changeLast"
            << "Подвижной состав" << 9 << "Цистерны" << EditResult::Done << 4 << 22;
        QTest::newRow("delete") << "delete"
                                << "" << 0 << kWooden << EditResult::Done << 4 << 21;
        QTest::newRow("delete the last kind of a type")
            << "deleteLast"
            << "" << 0 << kTankWagons << EditResult::Done << 3 << 21;
        QTest::newRow("delete a removed kind")
            << "delete"
            << "" << 0 << "Нет такого" << EditResult::Missing << 4 << 22;
        QTest::newRow("change a removed kind")
            << "changeMissing" << kBuildings << 0 << "Что-то" << EditResult::Missing << 4 << 22;
    }
    void kindEdits() {
        QFETCH(QString, operation);
        QFETCH(QString, type);
        QFETCH(int, number);
        QFETCH(QString, kind);
        QFETCH(EditResult, result);
        QFETCH(int, types);
        QFETCH(int, kinds);

        db::Connection c(m_connection);
        const QStringList before = allTables(c);
        const auto kindsBefore = db::readStructureKinds(c);
        const db::KindInput input = kindInput(type, number, kind);
        EditResult got = EditResult::Done;
        db::KindKey changed;
        if (operation == "add") {
            got = db::addStructureKind(c, input);
        } else if (operation == "change") {
            changed = {1, kWooden};
            got = db::changeStructureKind(c, changed, input);
        } else if (operation == "changeLast") {
            changed = {3, kTankWagons};
            got = db::changeStructureKind(c, changed, input);
        } else if (operation == "changeMissing") {
            got = db::changeStructureKind(c, {1, "Нет такого"}, input);
        } else if (operation == "deleteLast") {
            got = db::deleteStructureKind(c, {3, kind});
        } else {
            got = db::deleteStructureKind(c, {1, kind});
        }
        QCOMPARE(got, result);
        QCOMPARE(int(db::readStructureTypes(c).size()), types);
        const auto after = db::readStructureKinds(c);
        QCOMPARE(int(after.size()), kinds);
        if (result != EditResult::Done) {
            QCOMPARE(allTables(c), before);
            return;
        }
        // No kind is ever left without its type.
        for (const auto& k : after) {
            QVERIFY2(!k.typeName.isEmpty(), qPrintable(k.name));
        }
        if (operation.startsWith("change")) {
            // Changed in place: the row keeps its position in the table.
            std::size_t at = 0;
            while (kindsBefore[at].type != changed.type || kindsBefore[at].name != changed.name) {
                ++at;
            }
            QCOMPARE(after[at].name, kind);
            QVERIFY(db::sameCatalogueName(after[at].typeName, type));
            QCOMPARE(after[at].ranges, input.ranges);
        }
    }

    // Structures of site plans name their kind; they follow a renamed or moved kind and keep
    // their records when the kind is deleted.
    void structuresFollowTheirKind() {
        db::Connection c(m_connection);
        addStructure(c, kBuildings, kWooden);
        addStructure(c, kBuildings, kWooden);
        addStructure(c, kTransport, kTankWagons);
        QCOMPARE(db::structuresOfKind(c, kBuildings, kWooden), 2);
        QCOMPARE(db::structuresOfKind(c, kTransport, kWooden), 0);

        QCOMPARE(
            db::changeStructureKind(c, {1, kWooden}, kindInput("Жилые дома", 7, "Дома из бруса")),
            EditResult::Done);
        QCOMPARE(db::structuresOfKind(c, kBuildings, kWooden), 0);
        QCOMPARE(db::structuresOfKind(c, "Жилые дома", "Дома из бруса"), 2);
        QCOMPARE(db::structuresOfKind(c, kTransport, kTankWagons), 1);

        QCOMPARE(db::deleteStructureKind(c, {7, "Дома из бруса"}), EditResult::Done);
        QCOMPARE(dump(c, "IDPM").size(), 3);
        QVERIFY(!db::findTypeByName(db::readStructureTypes(c), "Жилые дома"));
    }

    // A write that fails half-way leaves every table as it was, and the caller gets the
    // driver's words.
    void failedWriteChangesNothing_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("operation");
        QTest::newRow("new type, kind refused") << "before insert on BSubTypes"
                                                << "addKindNewType";
        QTest::newRow("kind moved, structures refused") << "before update on IDPM"
                                                        << "moveKind";
        QTest::newRow("kind deleted, type refused") << "before delete on BTypes"
                                                    << "deleteLast";
        QTest::newRow("explosive renamed") << "before update on Explosives"
                                           << "replace";
    }
    void failedWriteChangesNothing() {
        QFETCH(QString, trigger);
        QFETCH(QString, operation);
        db::Connection c(m_connection);
        addStructure(c, kBuildings, kWooden);
        c.exec(QStringLiteral("create trigger refuse %1 begin select raise(abort, 'диск "
                              "заполнен (проверка)'); end")
                   .arg(trigger));
        const QStringList before = allTables(c);
        try {
            if (operation == "addKindNewType") {
                db::addStructureKind(c, kindInput("Мосты", 5, "Мосты стальные"));
            } else if (operation == "moveKind") {
                db::changeStructureKind(c, {1, kWooden}, kindInput(kTransport, 0, kWooden));
            } else if (operation == "deleteLast") {
                db::deleteStructureKind(c, {3, kTankWagons});
            } else {
                db::replaceExplosive(c, "Гексоген", {"Гексоген 2", 5000});
            }
            QFAIL("the write went through");
        } catch (const DatabaseError& e) {
            QVERIFY2(e.driverText().contains("диск заполнен (проверка)"),
                     qPrintable(e.driverText()));
        }
        QCOMPARE(allTables(c), before);
    }
};

QTEST_GUILESS_MAIN(TestReferenceData)
#include "tst_referencedata.moc"
