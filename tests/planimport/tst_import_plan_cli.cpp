// kelmo-calc import-plan: a general plan stored in a site plan all or nothing, with the exit
// codes and messages a script relies on.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/SitePlan.h"
#include "tests/planimport/PlanFixtures.h"
#include "tests/support/CalcRun.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointF>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

using namespace kelmo;
using namespace kelmo::testing;

namespace {

using Result = kelmo::test::CalcResult;

using kelmo::test::runCalc;

const QList<QPointF> kLShape{{0, 0}, {30, 0}, {30, 10}, {20, 10}, {20, 20}, {0, 20}};

} // namespace

class TestImportPlanCli final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
    QString m_drawing;
    QString m_layers;

    Result import(const QStringList& more) const {
        return runCalc(QStringList{QStringLiteral("import-plan"), QStringLiteral("--db"), m_db} +
                       more);
    }

    // Number, kind, staff and storeys of the plan's structures, by number.
    QStringList stored(const QString& plan) const {
        db::Connection c(db::fileConnectionString(m_db));
        QSqlQuery q = c.exec(QStringLiteral("select NumSoor, Combo3, Text2, Text1 from IDPM join "
                                            "MnuPM on NumPM = NumPrim where MnuPM = ? order by "
                                            "NumSoor"),
                             {plan});
        QStringList out;
        while (q.next()) {
            out << QStringLiteral("%1 %2 %3 %4")
                       .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                            q.value(3).toString());
        }
        return out;
    }

    bool planExists(const QString& plan) const {
        db::Connection c(db::fileConnectionString(m_db));
        return db::findPlan(c, plan).has_value();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_db = m_dir->filePath(QStringLiteral("plans.db"));
        db::createDatabaseFile(m_db, false);
        m_drawing = m_dir->filePath(QStringLiteral("genplan.dxf"));
        writeDrawing(m_drawing,
                     {{DrawingObject::Kind::Polyline, QStringLiteral("Здания"), kLShape, true, {}},
                      {DrawingObject::Kind::Polyline,
                       QStringLiteral("Здания"),
                       {{50, 0}, {60, 0}, {60, 5}},
                       true,
                       {}},
                      {DrawingObject::Kind::Polyline,
                       QStringLiteral("Здания"),
                       {{0, 40}, {30, 40}},
                       false,
                       {}},
                      {DrawingObject::Kind::Text,
                       QStringLiteral("Здания"),
                       {{5, 5}},
                       true,
                       QStringLiteral("Цех")},
                      {DrawingObject::Kind::Polyline,
                       QStringLiteral("Дороги"),
                       {{0, -10}, {100, -10}},
                       false,
                       {}}});
        m_layers = m_dir->filePath(QStringLiteral("plan.gpkg"));
        const QList<GisField> fields{{QStringLiteral("num"), GisField::Type::Integer},
                                     {QStringLiteral("kind"), GisField::Type::Text},
                                     {QStringLiteral("staff"), GisField::Type::Integer},
                                     {QStringLiteral("floors"), GisField::Type::Integer}};
        GisLayer good{QStringLiteral("buildings"), 32637, fields, {}, {}};
        good.features << GisFeature{QStringLiteral("POLYGON ((0 0, 10 0, 10 10, 0 10, 0 0))"),
                                    {2, "Деревянные дома", 4, 1}}
                      << GisFeature{QStringLiteral("POLYGON ((20 0, 30 0, 25 9, 20 0))"),
                                    {1, "Складские кирпичные здания", 30, 2}};
        GisLayer bad{QStringLiteral("bad"), 32637, fields, good.features, {}};
        bad.features << GisFeature{QStringLiteral("POLYGON ((40 0, 50 0, 45 9, 40 0))"),
                                   {0, "Деревянные дома", 1, 1}};
        writeGis(m_layers, QStringLiteral("GPKG"), {good, bad});
        for (const auto& [name, bytes] :
             {std::pair{QStringLiteral("broken.dxf"), QByteArray("\r\r")},
              std::pair{QStringLiteral("nested.dxf"), nestedBlocksDrawing(9, 10)}}) {
            QFile file(m_dir->filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
    }

    // The closed polylines of a drawing's layer become structures 1… in the file's order;
    // what was skipped is counted on standard error.
    void drawingNumberedInFileOrder() {
        const Result r =
            import({QStringLiteral("--plan"), QStringLiteral("Генплан"), QStringLiteral("--from"),
                    m_drawing, QStringLiteral("--layer"), QStringLiteral("Здания"),
                    QStringLiteral("--kind"), QStringLiteral("Деревянные дома")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonObject json = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(json.value(QStringLiteral("structures")).toInt(), 2);
        QCOMPARE(json.value(QStringLiteral("skipped")).toInt(), 2);
        QVERIFY(json.value(QStringLiteral("epsg")).isNull());
        QVERIFY2(r.err.contains(QStringLiteral("открытые линии — 1, тексты — 1")),
                 qPrintable(r.err));
        QCOMPARE(stored(QStringLiteral("Генплан")),
                 (QStringList{"1 Деревянные дома 0 0", "2 Деревянные дома 0 0"}));
    }

    // Fields give each structure its number, kind, staff and storeys; the plan remembers the
    // layer's coordinate system.
    void layerWithFields() {
        const Result r =
            import({QStringLiteral("--plan"), QStringLiteral("Генплан"), QStringLiteral("--from"),
                    m_layers, QStringLiteral("--layer"), QStringLiteral("buildings"),
                    QStringLiteral("--number-field"), QStringLiteral("num"),
                    QStringLiteral("--kind-field"), QStringLiteral("kind"),
                    QStringLiteral("--staff-field"), QStringLiteral("staff"),
                    QStringLiteral("--floors-field"), QStringLiteral("floors")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(QJsonDocument::fromJson(r.out).object().value(QStringLiteral("epsg")).toInt(),
                 32637);
        QCOMPARE(stored(QStringLiteral("Генплан")),
                 (QStringList{"1 Складские кирпичные здания 30 2", "2 Деревянные дома 4 1"}));
        db::Connection c(db::fileConnectionString(m_db));
        const int plan = *db::findPlan(c, QStringLiteral("Генплан"));
        QCOMPARE(db::planCrs(c, plan), std::optional<int>(32637));
        const auto triangle = db::readStructure(c, plan, 1);
        QVERIFY(triangle);
        QCOMPARE(triangle->vertices.size(), std::size_t(3));
    }

    // Whatever is wrong, nothing is stored: not even the plan is created.
    void refusedStoresNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString drawing = QStringLiteral("@drawing");
        const QString layers = QStringLiteral("@layers");
        QTest::newRow("вида нет в справочнике")
            << QStringList{"--from", drawing, "--kind", "Дворцы"} << 1 << "«Дворцы» не найден";
        QTest::newRow("нет слоя") << QStringList{"--from", drawing,  "--layer",
                                                 "Сети",   "--kind", "Деревянные дома"}
                                  << 1 << "нет слоя «Сети»";
        QTest::newRow("нет замкнутых контуров")
            << QStringList{"--from", drawing, "--layer", "Дороги", "--kind", "Деревянные дома"} << 1
            << "нет ни одного замкнутого контура";
        QTest::newRow("плохой номер у одного объекта")
            << QStringList{"--from",         layers, "--layer",      "bad",
                           "--number-field", "num",  "--kind-field", "kind"}
            << 1 << "объект 3: номер «0»";
        QTest::newRow("ни поля вида, ни вида")
            << QStringList{"--from", drawing} << 2 << "--kind-field";
        QTest::newRow("и поле вида, и вид")
            << QStringList{"--from",       layers, "--layer", "bad",
                           "--kind-field", "kind", "--kind",  "Деревянные дома"}
            << 2 << "одно из двух";
        QTest::newRow("нет файла") << QStringList{"--kind", "Деревянные дома"} << 2 << "--from";
        // Both kept the command waiting for ever: a drawing that hangs GDAL's reader is refused
        // before GDAL sees it; a well-formed one that GDAL expands without end is given up.
        QTest::newRow("чертёж из двух CR")
            << QStringList{"--from", "@broken", "--kind", "Деревянные дома"} << 1
            << "broken.dxf» повреждён, строка 1: знак возврата каретки (CR)";
        QTest::newRow("блоки, вложенные на сто миллионов квадратов")
            << QStringList{"--from", "@nested", "--kind", "Деревянные дома", "--read-timeout", "1"}
            << 1 << "nested.dxf» остановлено: 1 с подряд не прочитано ни одного объекта";
        QTest::newRow("--read-timeout не число")
            << QStringList{"--from", drawing, "--kind", "Деревянные дома", "--read-timeout", "-1"}
            << 2 << "--read-timeout: «-1» — нужно целое число секунд";
    }
    void refusedStoresNothing() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        arguments.replaceInStrings(QStringLiteral("@drawing"), m_drawing);
        arguments.replaceInStrings(QStringLiteral("@layers"), m_layers);
        arguments.replaceInStrings(QStringLiteral("@broken"),
                                   m_dir->filePath(QStringLiteral("broken.dxf")));
        arguments.replaceInStrings(QStringLiteral("@nested"),
                                   m_dir->filePath(QStringLiteral("nested.dxf")));
        const Result r =
            import(QStringList{QStringLiteral("--plan"), QStringLiteral("Новый")} + arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(!planExists(QStringLiteral("Новый")));
    }

    // A plan with structures keeps them unless --replace is given.
    void replaceOnlyWhenAsked() {
        const QStringList drawing{QStringLiteral("--plan"), QStringLiteral("Генплан"),
                                  QStringLiteral("--from"), m_drawing,
                                  QStringLiteral("--kind"), QStringLiteral("Деревянные дома")};
        QCOMPARE(import(drawing).exitCode, 0);
        QCOMPARE(stored(QStringLiteral("Генплан")).size(), 2);
        const QStringList layer{
            QStringLiteral("--plan"),  QStringLiteral("Генплан"),
            QStringLiteral("--from"),  m_layers,
            QStringLiteral("--layer"), QStringLiteral("buildings"),
            QStringLiteral("--kind"),  QStringLiteral("Складские кирпичные здания")};
        const Result refused = import(layer);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("--replace")), qPrintable(refused.err));
        QCOMPARE(stored(QStringLiteral("Генплан")),
                 (QStringList{"1 Деревянные дома 0 0", "2 Деревянные дома 0 0"}));

        QCOMPARE(import(layer + QStringList{QStringLiteral("--replace")}).exitCode, 0);
        QCOMPARE(
            stored(QStringLiteral("Генплан")),
            (QStringList{"1 Складские кирпичные здания 0 0", "2 Складские кирпичные здания 0 0"}));
    }
};

QTEST_GUILESS_MAIN(TestImportPlanCli)
#include "tst_import_plan_cli.moc"
