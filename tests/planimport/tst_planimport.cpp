// General plans read from CAD drawings and GIS files: layers and fields, closed outlines and
// what is skipped, the coordinate system, and the structures the outlines become.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "planimport/GdalSupport.h"
#include "planimport/GeoPicture.h"
#include "planimport/PlanImport.h"
#include "planimport/PlanSource.h"
#include "tests/planimport/PlanFixtures.h"

#include <QFile>
#include <QImage>
#include <QPointF>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <proj.h>

#include <memory>

using namespace kelmo;
using namespace kelmo::planimport;
using namespace kelmo::testing;

namespace {

using Kind = DrawingObject::Kind;

// An L-shaped building: 30 × 20 m with a 10 × 10 m notch in its north-east corner.
const QList<QPointF> kLShape{{0, 0}, {30, 0}, {30, 10}, {20, 10}, {20, 20}, {0, 20}};

QString lShapeWkt(double x0, double y0, double scale = 1) {
    QStringList points;
    for (const QPointF& p : kLShape + QList<QPointF>{kLShape.first()}) {
        points << QStringLiteral("%1 %2")
                      .arg(x0 + p.x() * scale, 0, 'g', 17)
                      .arg(y0 + p.y() * scale, 0, 'g', 17);
    }
    return QStringLiteral("POLYGON ((%1))").arg(points.join(QStringLiteral(", ")));
}

const QList<GisField> kFields{{QStringLiteral("num"), GisField::Type::Integer},
                              {QStringLiteral("kind"), GisField::Type::Text},
                              {QStringLiteral("staff"), GisField::Type::Integer},
                              {QStringLiteral("floors"), GisField::Type::Real}};

FieldMapping allFields(const QString& layer = {}) {
    return {layer, QStringLiteral("num"), QStringLiteral("kind"), QStringLiteral("staff"),
            QStringLiteral("floors")};
}

QList<QPointF> pointsOf(const SourceOutline& o) {
    QList<QPointF> out;
    for (const PlanPoint& p : o.vertices) {
        out << QPointF(p.x, p.y);
    }
    return out;
}

int skippedFor(const SourceReading& r, SkipReason reason) {
    return static_cast<int>(
        std::count_if(r.skipped.begin(), r.skipped.end(),
                      [&](const SkippedObject& s) { return s.reason == reason; }));
}

} // namespace

class TestPlanImport final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // A drawing saved by a CAD program for Russian Windows: its layer names come out as the
    // user typed them, only closed polylines of the chosen layer are outlines, and the rest is
    // counted by reason.
    void drawingInCodePage1251() {
        const QString file = path(QStringLiteral("genplan.dxf"));
        writeDrawing(
            file, {{Kind::Polyline, QStringLiteral("Здания"), kLShape, true, {}},
                   {Kind::OldPolyline,
                    QStringLiteral("Здания"),
                    {{50, 0}, {60, 0}, {60, 5}, {50, 5}},
                    true,
                    {}},
                   {Kind::Polyline, QStringLiteral("Здания"), {{0, 40}, {30, 40}}, false, {}},
                   {Kind::Text, QStringLiteral("Здания"), {{5, 5}}, true, QStringLiteral("Цех №1")},
                   {Kind::Polyline,
                    QStringLiteral("Дороги"),
                    {{0, -10}, {100, -10}, {100, -20}, {0, -20}},
                    true,
                    {}}});

        const SourceContents contents = inspectSource(file);
        QVERIFY(contents.drawing);
        QCOMPARE(contents.layers.size(), 2);
        QCOMPARE(contents.layers[0].name, QStringLiteral("Здания"));
        QCOMPARE(contents.layers[0].features, 4);
        QCOMPARE(contents.layers[1].name, QStringLiteral("Дороги"));
        QVERIFY(contents.layers[0].fields.contains(QStringLiteral("Layer")));

        const SourceReading r = readPlanSource(file, {QStringLiteral("Здания"), {}, {}, {}, {}});
        QCOMPARE(r.outlines.size(), 2);
        QCOMPARE(pointsOf(r.outlines[0]), kLShape);
        QCOMPARE(r.outlines[0].feature, 1);
        QCOMPARE(pointsOf(r.outlines[1]), (QList<QPointF>{{50, 0}, {60, 0}, {60, 5}, {50, 5}}));
        QCOMPARE(r.skipped.size(), 2);
        QCOMPARE(skippedFor(r, SkipReason::OpenLine), 1);
        QCOMPARE(skippedFor(r, SkipReason::Text), 1);
        QVERIFY(!r.epsg);
        const QString summary = skippedSummary(r.skipped);
        QVERIFY2(summary.contains(QStringLiteral("открытые линии — 1")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("тексты — 1")), qPrintable(summary));

        // Without a layer the whole drawing is read.
        QCOMPARE(readPlanSource(file, {}).outlines.size(), 3);
    }

    // A GIS layer in a projected system keeps its metres and its EPSG code; its fields give
    // the number, kind, staff and storeys; points and lines are skipped.
    void projectedLayer_data() {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("mixedShapes"); // a Shapefile holds one kind of shape
        QTest::newRow("GeoPackage") << "GPKG"
                                    << "plan.gpkg" << true;
        QTest::newRow("Shapefile") << "ESRI Shapefile"
                                   << "buildings.shp" << false;
    }
    void projectedLayer() {
        QFETCH(QString, driver);
        QFETCH(QString, fileName);
        QFETCH(bool, mixedShapes);
        const double x0 = 412000.5;
        const double y0 = 6180000.25;
        GisLayer buildings{QStringLiteral("buildings"), 32637, kFields, {}, {}};
        buildings.features << GisFeature{lShapeWkt(x0, y0), {7, "Деревянные дома", 12, 2.0}}
                           << GisFeature{QStringLiteral("POLYGON ((0 0, 0 10, 10 0, 0 0))")
                                             .replace(QStringLiteral("0 0"),
                                                      QStringLiteral("%1 %2").arg(x0).arg(y0)),
                                         {3, "Складские кирпичные здания", QVariant(), QVariant()}};
        if (mixedShapes) {
            buildings.features << GisFeature{QStringLiteral("POINT (1 2)"), {9, "x", 1, 1.0}}
                               << GisFeature{QStringLiteral("LINESTRING (0 0, 5 5)"),
                                             {10, "x", 1, 1.0}};
        }
        QList<GisLayer> layers{buildings};
        if (driver == QLatin1String("GPKG")) {
            layers << GisLayer{QStringLiteral("roads"), 32637, {}, {}, {}};
        }
        const QString file = path(fileName);
        writeGis(file, driver, layers);

        const SourceContents contents = inspectSource(file);
        QVERIFY(!contents.drawing);
        QCOMPARE(contents.layers[0].name, QStringLiteral("buildings"));
        QCOMPARE(contents.layers[0].fields, (QStringList{"num", "kind", "staff", "floors"}));

        const SourceReading r = readPlanSource(file, allFields(QStringLiteral("buildings")));
        QCOMPARE(r.epsg, std::optional<int>(32637));
        QVERIFY(!r.projectedToUtm);
        QVERIFY2(r.refused.isEmpty(), qPrintable(refusalText(r.refused)));
        QCOMPARE(r.outlines.size(), 2);
        const SourceOutline& l = r.outlines[0];
        QCOMPARE(l.number, std::optional<int>(7));
        QCOMPARE(l.kind, QStringLiteral("Деревянные дома"));
        QCOMPARE(l.staff, 12);
        QCOMPARE(l.storeys, 2);
        QCOMPARE(l.vertices.size(), std::size_t(6));
        QCOMPARE(l.vertices[3].x, x0 + 20);
        QCOMPARE(l.vertices[3].y, y0 + 10);
        // Unset staff and storeys are 0.
        QCOMPARE(r.outlines[1].staff, 0);
        QCOMPARE(r.outlines[1].storeys, 0);
        QCOMPARE(r.outlines[1].vertices.size(), std::size_t(3));
        QCOMPARE(skippedFor(r, SkipReason::Point), mixedShapes ? 1 : 0);
        QCOMPARE(skippedFor(r, SkipReason::OpenLine), mixedShapes ? 1 : 0);
    }

    // A GeoJSON file is in longitude and latitude: it becomes metres of the UTM zone of its
    // centre, the same metres PROJ gives.
    void lonLatProjectedToUtm() {
        const double lon = 37.6173;
        const double lat = 55.7558;
        const double degree = 1e-4; // about 6 × 11 m
        GisLayer layer{QStringLiteral("plan"), 4326, kFields, {}, {}};
        layer.features << GisFeature{lShapeWkt(lon, lat, degree / 10),
                                     {1, "Деревянные дома", 1, 1}};
        const QString file = path(QStringLiteral("plan.geojson"));
        writeGis(file, QStringLiteral("GeoJSON"), {layer});

        const SourceReading r = readPlanSource(file, {});
        QCOMPARE(r.epsg, std::optional<int>(32637));
        QVERIFY(r.projectedToUtm);
        QVERIFY(r.crsDescription.contains(QStringLiteral("32637")));
        QCOMPARE(r.outlines.size(), 1);

        PJ_CONTEXT* ctx = proj_context_create();
        PJ* raw = proj_create_crs_to_crs(ctx, "EPSG:4326", "EPSG:32637", nullptr);
        QVERIFY(raw);
        PJ* pj = proj_normalize_for_visualization(ctx, raw);
        proj_destroy(raw);
        for (int i = 0; i < kLShape.size(); ++i) {
            const PJ_COORD in = proj_coord(lon + kLShape[i].x() * degree / 10,
                                           lat + kLShape[i].y() * degree / 10, 0, 0);
            const PJ_COORD out = proj_trans(pj, PJ_FWD, in);
            QVERIFY(std::abs(r.outlines[0].vertices[static_cast<std::size_t>(i)].x - out.xy.x) <
                    1e-3);
            QVERIFY(std::abs(r.outlines[0].vertices[static_cast<std::size_t>(i)].y - out.xy.y) <
                    1e-3);
        }
        proj_destroy(pj);
        proj_context_destroy(ctx);
        // Moscow's metres: about 412 km east of the zone's false origin, 6180 km north.
        QVERIFY(std::abs(r.outlines[0].vertices[0].x - 413000) < 2000);
    }

    void utmZone_data() {
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("lat");
        QTest::addColumn<int>("epsg");
        QTest::newRow("Москва") << 37.6 << 55.7 << 32637;
        QTest::newRow("Сантьяго, юг") << -70.6 << -33.4 << 32719;
        QTest::newRow("западный край зоны 1") << -180.0 << 10.0 << 32601;
        QTest::newRow("восточный край зоны 60") << 179.99 << 10.0 << 32660;
        QTest::newRow("экватор") << 0.0 << 0.0 << 32631;
    }
    void utmZone() {
        QFETCH(double, lon);
        QFETCH(double, lat);
        QFETCH(int, epsg);
        QCOMPARE(utmZoneEpsg(lon, lat), epsg);
    }

    // A multipolygon's parts are structures of their own, unless one number would name them
    // all; an inner ring (a courtyard) is not part of the outline and is counted.
    void multipolygonParts() {
        GisLayer layer{QStringLiteral("plan"), 32637, kFields, {}, {}};
        layer.features << GisFeature{
            QStringLiteral(
                "MULTIPOLYGON (((0 0, 10 0, 10 10, 0 10, 0 0), (2 2, 4 2, 4 4, 2 4, 2 2)), "
                "((20 0, 30 0, 30 10, 20 10, 20 0)))"),
            {5, "Деревянные дома", 1, 1}};
        const QString file = path(QStringLiteral("parts.gpkg"));
        writeGis(file, QStringLiteral("GPKG"), {layer});

        const SourceReading unnumbered = readPlanSource(file, {});
        QCOMPARE(unnumbered.outlines.size(), 2);
        QCOMPARE(unnumbered.outlines[0].part, 1);
        QCOMPARE(unnumbered.outlines[1].part, 2);
        QCOMPARE(unnumbered.outlines[1].vertices[0].x, 20.0);
        QCOMPARE(unnumbered.holes, 1);

        const SourceReading numbered = readPlanSource(file, allFields());
        QCOMPARE(numbered.outlines.size(), 0);
        QCOMPARE(numbered.refused.size(), 1);
        QVERIFY(numbered.refused[0].reason.contains(QStringLiteral("2 частей")));
    }

    // Field values that cannot be a structure's: the outline is refused with the reason.
    void badFieldValues_data() {
        QTest::addColumn<QVariant>("number");
        QTest::addColumn<QVariant>("staff");
        QTest::addColumn<QVariant>("floors");
        QTest::addColumn<QString>("reason");
        QTest::newRow("нет номера") << QVariant() << QVariant(1) << QVariant(1.0) << "номер «»";
        QTest::newRow("номер 0") << QVariant(0) << QVariant(1) << QVariant(1.0) << "номер «0»";
        QTest::newRow("сотрудников меньше 0")
            << QVariant(1) << QVariant(-3) << QVariant(1.0) << "число сотрудников «-3»";
        QTest::newRow("дробная этажность")
            << QVariant(1) << QVariant(1) << QVariant(2.5) << "этажность «2.5»";
    }
    void badFieldValues() {
        QFETCH(QVariant, number);
        QFETCH(QVariant, staff);
        QFETCH(QVariant, floors);
        QFETCH(QString, reason);
        GisLayer layer{QStringLiteral("plan"), std::nullopt, kFields, {}, {}};
        layer.features << GisFeature{lShapeWkt(0, 0), {number, "Деревянные дома", staff, floors}}
                       << GisFeature{lShapeWkt(100, 0), {2, "Деревянные дома", 1, 1.0}};
        const QString file = path(QStringLiteral("bad.gpkg"));
        writeGis(file, QStringLiteral("GPKG"), {layer});
        const SourceReading r = readPlanSource(file, allFields());
        QCOMPARE(r.refused.size(), 1);
        QCOMPARE(r.refused[0].feature, 1);
        QVERIFY2(r.refused[0].reason.startsWith(reason), qPrintable(r.refused[0].reason));
        QCOMPARE(r.outlines.size(), 1);
    }

    // Files, layers and fields that are not there, and coordinates not in metres, are refused
    // with a message that names them.
    void sourceErrors_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("layer");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        QTest::newRow("нет файла") << "missing.gpkg"
                                   << ""
                                   << ""
                                   << "не найден";
        QTest::newRow("не генплан") << "notes.txt"
                                    << ""
                                    << ""
                                    << "не читается как генплан";
        QTest::newRow("нет слоя") << "two.gpkg"
                                  << "Здания"
                                  << ""
                                  << "В файле нет слоя «Здания». Слои файла: «a», «b».";
        QTest::newRow("слой не выбран") << "two.gpkg"
                                        << ""
                                        << ""
                                        << "выберите слой";
        QTest::newRow("нет поля") << "two.gpkg"
                                  << "a"
                                  << "номер"
                                  << "В слое «a» нет поля «номер»";
        QTest::newRow("нет слоя чертежа") << "plan.dxf"
                                          << "Дороги"
                                          << ""
                                          << "В чертеже нет слоя «Дороги». Слои чертежа: «Здания».";
        QTest::newRow("футы") << "feet.gpkg"
                              << ""
                              << ""
                              << "не в метрах";
    }
    void sourceErrors() {
        QFETCH(QString, file);
        QFETCH(QString, layer);
        QFETCH(QString, field);
        QFETCH(QString, message);
        {
            QFile notes(path(QStringLiteral("notes.txt")));
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write("это не план\n");
        }
        const GisLayer a{
            QStringLiteral("a"), 32637, kFields, {{lShapeWkt(0, 0), {1, "x", 1, 1.0}}}, {}};
        const GisLayer b{QStringLiteral("b"), 32637, kFields, {}, {}};
        writeGis(path(QStringLiteral("two.gpkg")), QStringLiteral("GPKG"), {a, b});
        writeDrawing(path(QStringLiteral("plan.dxf")),
                     {{Kind::Polyline, QStringLiteral("Здания"), kLShape, true, {}}});
        // EPSG:2263, New York Long Island in US feet, spelt out without its code.
        GisLayer feet{QStringLiteral("feet"), std::nullopt, {}, {{lShapeWkt(0, 0), {}}}, {}};
        {
            OGRSpatialReference s;
            s.importFromEPSG(2263);
            char* wkt = nullptr;
            s.exportToWkt(&wkt);
            feet.wkt = QString::fromUtf8(wkt);
            CPLFree(wkt);
        }
        writeGis(path(QStringLiteral("feet.gpkg")), QStringLiteral("GPKG"), {feet});

        try {
            readPlanSource(path(file), {layer, field, {}, {}, {}});
            QFAIL("no error");
        } catch (const PlanSourceError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
        }
    }

    // A damaged drawing is refused before GDAL reads it, with the line at fault, both when it
    // is listed and when it is read. The rows marked "висло" kept GDAL's reader busy for ever.
    void damagedDrawings_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray entities("0\nSECTION\n2\nENTITIES\n");
        const QByteArray line = entities + "0\nLINE\n10\n";
        const QByteArray end("0\nENDSEC\n0\nEOF\n");
        const QString cr = QStringLiteral("знак возврата каретки (CR) без перевода строки");
        QTest::newRow("висло: два CR")
            << "plan.dxf" << QByteArray("\r\r") << QStringLiteral("строка 1: %1").arg(cr);
        QTest::newRow("висло: код и два CR")
            << "plan.dxf" << QByteArray("0\r\r") << QStringLiteral("строка 1: %1").arg(cr);
        QTest::newRow("висло: значение кончается CR")
            << "plan.dxf" << line + "1\r" << QStringLiteral("строка 8: %1").arg(cr);
        QTest::newRow("висло: код кончается двумя CR")
            << "plan.dxf" << line + "1\n20\r\r" << QStringLiteral("строка 9: %1").arg(cr);
        QTest::newRow("висло: пустая строка и два CR")
            << "plan.dxf" << QByteArray("\n\r\r") << "строка 1: пустая строка вместо кода группы";
        QTest::newRow("висло: чертёж под другим именем")
            << "plan.txt" << QByteArray("0\nSECTION\n2\nHEADER\n0\nENDSEC\n") + line + "1\r"
            << QStringLiteral("строка 14: %1").arg(cr);
        QTest::newRow("код не число")
            << "plan.dxf" << QByteArray("0\nSECTION\nxx\nENTITIES\n") + end
            << "строка 3: код группы «xx» — ожидается целое число от 0 "
               "до 1071";
        QTest::newRow("код вне пределов")
            << "plan.dxf" << entities + "5000\nx\n" + end << "строка 5: код группы «5000»";
        QTest::newRow("обрыв посреди пары") << "plan.dxf" << line + "1\n20\n"
                                            << "строка 9: чертёж обрывается: у кода группы нет "
                                               "значения";
        QTest::newRow("раздел без ENDSEC")
            << "plan.dxf" << line + "1\n0\nEOF\n"
            << "строка 9: раздел «ENTITIES», начатый в строке 1, не закрыт записью «0 / ENDSEC»";
        QTest::newRow("раздел без имени") << "plan.dxf" << QByteArray("0\nSECTION\n") + end
                                          << "строка 3: у раздела, начатого в строке 1, нет имени";
        QTest::newRow("объект вне раздела") << "plan.dxf" << QByteArray("0\nLINE\n0\nEOF\n")
                                            << "строка 1: запись «LINE» вне раздела";
        QTest::newRow("нет EOF") << "plan.dxf" << entities + "0\nENDSEC\n"
                                 << "строка 6: чертёж обрывается: нет записи конца чертежа";
        QTest::newRow("строка в 10 МБ")
            << "plan.dxf" << entities + "0\nTEXT\n1\n" + QByteArray(10'000'000, 'x') + "\n" + end
            << "строка 8: строка длиннее 65536 байт";
        QTest::newRow("пустой файл")
            << "plan.dxf" << QByteArray() << "plan.dxf» не читается: файл пуст.";
        QTest::newRow("двоичный DXF")
            << "plan.dxf" << QByteArray("AutoCAD Binary DXF\r\n\x1a\0\0\0SECTION\0", 30)
            << "двоичном формате DXF";
    }
    void damagedDrawings() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString file = path(name);
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
        }
        for (const bool listing : {true, false}) {
            try {
                if (listing) {
                    inspectSource(file);
                } else {
                    readPlanSource(file, {});
                }
                QFAIL("no error");
            } catch (const PlanSourceError& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
            }
        }
    }

    // Well-formed drawings pass the check whatever their line ends and padding.
    void wellFormedDrawingsRead_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray rectangle("0\nLWPOLYLINE\n8\nЗдания\n90\n4\n70\n1\n10\n0\n20\n0\n10\n10\n"
                                   "20\n0\n10\n10\n20\n5\n10\n0\n20\n5\n");
        const QByteArray plain = "0\nSECTION\n2\nENTITIES\n" + rectangle + "0\nENDSEC\n0\nEOF\n";
        QByteArray crlf = plain;
        crlf.replace("\n", "\r\n");
        QTest::newRow("LF") << plain;
        QTest::newRow("CR LF") << crlf;
        QTest::newRow("без конца последней строки") << plain.chopped(1);
        QTest::newRow("коды с отступом и комментарий")
            << "999\nкомментарий\n  0\nSECTION\n  2\nENTITIES\n" + rectangle +
                   "  0\nENDSEC\n  0\nEOF\n";
        QTest::newRow("после EOF — что угодно") << plain + "\r\r\x1a";
        // The check reads the file in blocks of 64 KiB: a CR LF split between two blocks.
        const QByteArray head("999\r\n");
        QTest::newRow("CR LF на границе блока")
            << head + QByteArray(65535 - head.size(), 'x') + "\r\n" + crlf;
    }
    void wellFormedDrawingsRead() {
        QFETCH(QByteArray, bytes);
        const QString file = path(QStringLiteral("plan.dxf"));
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
        }
        const SourceReading r = readPlanSource(file, {});
        QCOMPARE(r.outlines.size(), 1);
        QCOMPARE(pointsOf(r.outlines.first()), (QList<QPointF>{{0, 0}, {10, 0}, {10, 5}, {0, 5}}));
    }

    // A picture beside its world file is placed by it: each pixel lands where the world file
    // puts it, the file is kept as it is, and pixels that are not square are made square.
    void worldFilePicture_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("world");
        QTest::addColumn<QList<double>>("abde"); // the world file's A, D, B, E
        QTest::addColumn<bool>("rotation");
        QTest::addColumn<int>("heightFactor"); // stored rows per row of the file
        QTest::newRow("PNG, .pgw") << "site.png"
                                   << "site.pgw" << QList<double>{0.5, 0, 0, -0.5} << false << 1;
        QTest::newRow("JPEG, .jgw") << "site.jpg"
                                    << "site.jgw" << QList<double>{0.25, 0, 0, -0.25} << false << 1;
        QTest::newRow("PNG, .wld") << "site.png"
                                   << "site.wld" << QList<double>{2, 0, 0, -2} << false << 1;
        const double c = std::cos(M_PI / 6) * 0.5;
        const double s = std::sin(M_PI / 6) * 0.5;
        QTest::newRow("повёрнут на 30°") << "site.png"
                                         << "site.pgw" << QList<double>{c, s, s, -c} << true << 1;
        QTest::newRow("точки вдвое выше ширины")
            << "site.png"
            << "site.pgw" << QList<double>{0.5, 0, 0, -1} << false << 2;
    }
    void worldFilePicture() {
        QFETCH(QString, picture);
        QFETCH(QString, world);
        QFETCH(QList<double>, abde);
        QFETCH(bool, rotation);
        QFETCH(int, heightFactor);
        QImage image(40, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setPixel(3, 4, qRgb(255, 0, 0));
        const QString file = path(picture);
        QVERIFY(image.save(file, picture.endsWith(QLatin1String(".png")) ? "PNG" : "JPEG", 100));
        const double cx = 412000.25;
        const double cy = 6180010.75;
        {
            QFile w(path(world));
            QVERIFY(w.open(QIODevice::WriteOnly));
            for (const double v : {abde[0], abde[1], abde[2], abde[3], cx, cy}) {
                w.write(QByteArray::number(v, 'g', 17) + "\n");
            }
        }

        const auto placed = readGeoPicture(file);
        QVERIFY(placed);
        QCOMPARE(placed->calibration.rotation, rotation);
        QFile original(file);
        QVERIFY(original.open(QIODevice::ReadOnly));
        if (heightFactor == 1) {
            QCOMPARE(placed->bytes, original.readAll());
        }
        const QImage stored = map::decodePicture(placed->bytes);
        QCOMPARE(stored.size(), QSize(40, 20 * heightFactor));
        // The world file names the centre of the first pixel; a pixel's corner is half a pixel
        // before it.
        const QTransform toPlan = map::pictureToPlan(placed->calibration);
        for (const QPointF pixel : {QPointF(0, 0), QPointF(10, 5), QPointF(40, 20)}) {
            const double x = cx + (pixel.x() - 0.5) * abde[0] + (pixel.y() - 0.5) * abde[2];
            const double y = cy + (pixel.x() - 0.5) * abde[1] + (pixel.y() - 0.5) * abde[3];
            const QPointF got = toPlan.map(QPointF(pixel.x(), pixel.y() * heightFactor));
            QVERIFY2(std::abs(got.x() - x) < 1e-6 && std::abs(got.y() - y) < 1e-6,
                     qPrintable(QStringLiteral("%1 %2 ≠ %3 %4")
                                    .arg(got.x(), 0, 'f', 6)
                                    .arg(got.y(), 0, 'f', 6)
                                    .arg(x, 0, 'f', 6)
                                    .arg(y, 0, 'f', 6)));
        }
    }

    // A picture without a placement is left to the two points; one that is mirrored or in
    // longitude and latitude is refused with a message.
    void pictureWithoutPlacement() {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(path(QStringLiteral("scan.png")), "PNG"));
        QVERIFY(!readGeoPicture(path(QStringLiteral("scan.png"))));

        QVERIFY(image.save(path(QStringLiteral("mirror.png")), "PNG"));
        QFile w(path(QStringLiteral("mirror.pgw")));
        QVERIFY(w.open(QIODevice::WriteOnly));
        w.write("1\n0\n0\n1\n100\n200\n");
        w.close();
        try {
            readGeoPicture(path(QStringLiteral("mirror.png")));
            QFAIL("a mirrored picture was placed");
        } catch (const PlanSourceError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("двумя точками")),
                     e.what());
        }
    }

    // A GeoTIFF in UTM: its pixels become a PNG the plan keeps, placed where the GeoTIFF puts
    // them, and its coordinate system is known.
    void geoTiff() {
        planimport::registerGdal();
        const QString file = path(QStringLiteral("ortho.tif"));
        {
            GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
            GDALDatasetUniquePtr ds(
                tiff->Create(file.toUtf8().constData(), 40, 20, 3, GDT_Byte, nullptr));
            QVERIFY(ds);
            double gt[6] = {412000, 0.5, 0, 6180010, 0, -0.5};
            ds->SetGeoTransform(gt);
            OGRSpatialReference utm;
            utm.importFromEPSG(32637);
            ds->SetSpatialRef(&utm);
            std::vector<GByte> band(40 * 20, 255);
            for (int b = 1; b <= 3; ++b) {
                band[4 * 40 + 3] = b == 1 ? 255 : 0; // a red pixel at (3, 4)
                QCOMPARE(ds->GetRasterBand(b)->RasterIO(GF_Write, 0, 0, 40, 20, band.data(), 40, 20,
                                                        GDT_Byte, 0, 0, nullptr),
                         CE_None);
            }
        }
        const auto placed = readGeoPicture(file);
        QVERIFY(placed);
        QCOMPARE(placed->epsg, std::optional<int>(32637));
        const QImage stored = map::decodePicture(placed->bytes);
        QCOMPARE(stored.size(), QSize(40, 20));
        QCOMPARE(QColor(stored.pixel(3, 4)), QColor(255, 0, 0));
        QCOMPARE(QColor(stored.pixel(4, 4)), QColor(255, 255, 255));
        const QPointF corner = map::pictureToPlan(placed->calibration).map(QPointF(10, 5));
        QCOMPARE(corner, QPointF(412005, 6180007.5));
    }
    // Outlines become structures of the database's kinds with the kinds' middle thresholds,
    // numbered in the file's order or by their number field; a kind the types do not list, a
    // missing kind or a number given twice refuses the outline.
    void structuresOfKinds() {
        QTemporaryDir dir;
        const QString dbPath = dir.filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(dbPath, false);
        db::Connection c(db::fileConnectionString(dbPath));

        SourceReading reading;
        const auto outline = [](int feature, std::optional<int> number, const QString& kind) {
            SourceOutline o;
            o.feature = feature;
            o.number = number;
            o.kind = kind;
            o.staff = feature * 10;
            o.storeys = feature;
            o.vertices = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
            return o;
        };
        reading.outlines = {outline(1, 3, QStringLiteral("деревянные дома")),
                            outline(2, 1, QStringLiteral("Складские кирпичные здания")),
                            outline(3, 2, QStringLiteral("Деревянные дома"))};
        PlanStructures s = structuresOf(c, reading);
        QVERIFY2(s.refused.isEmpty(), qPrintable(refusalText(s.refused)));
        QVERIFY(!s.renumbered);
        QCOMPARE(s.structures.size(), 3);
        // In the order of the numbers: feature 2, 3, 1.
        QCOMPARE(s.structures[0].feature, 2);
        QCOMPARE(s.structures[2].feature, 1);
        const db::StructureRecord& wooden = s.structures[2].record;
        QCOMPARE(wooden.number, 3);
        QCOMPARE(wooden.kind, QStringLiteral("Деревянные дома"));
        QCOMPARE(wooden.type, QStringLiteral("Производственные, административные и жилые здания"));
        QCOMPARE(wooden.pressure, (std::array<int, 4>{7, 10, 16, 25})); // 6–8, 8–12, 12–20, 20–30
        QCOMPARE(wooden.staff, QStringLiteral("10"));
        QCOMPARE(wooden.storeys, QStringLiteral("1"));
        QCOMPARE(wooden.corners[4], QStringLiteral("10"));

        // One kind for all overrides the field.
        s = structuresOf(c, reading, QStringLiteral("Резервуарные парки (заполненные)"));
        QCOMPARE(s.structures[0].record.type, QStringLiteral("Резервуары и емкости"));

        reading.outlines = {outline(1, 10, QStringLiteral("Деревянные дома")),
                            outline(2, 20, QStringLiteral("Дворцы")),
                            outline(3, 10, QStringLiteral("Деревянные дома")),
                            outline(4, 30, QString()),
                            outline(5, 40, QStringLiteral("Деревянные дома"))};
        reading.outlines[4].vertices = {{0, 0}, {10, 10}, {10, 0}, {0, 10}}; // a bow tie
        s = structuresOf(c, reading);
        QCOMPARE(s.refused.size(), 4);
        QCOMPARE(s.refused[3].feature, 5);
        QVERIFY2(s.refused[3].reason.startsWith(QStringLiteral("контур не принят: ")),
                 qPrintable(s.refused[3].reason));
        QCOMPARE(s.refused[0].feature, 2);
        QVERIFY(s.refused[0].reason.contains(QStringLiteral("«Дворцы» не найден")));
        QCOMPARE(s.refused[1].feature, 3);
        QVERIFY(s.refused[1].reason.contains(QStringLiteral("номер 10 уже у объекта 1")));
        QVERIFY(s.refused[2].reason.contains(QStringLiteral("не задан")));
        QVERIFY(s.renumbered);
    }

    // The import stores all or nothing: a plan with structures is refused unless they are to be
    // replaced, and replacing leaves only the new ones.
    void storeReplacesOrRefuses() {
        QTemporaryDir dir;
        const QString dbPath = dir.filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(dbPath, false);
        db::Connection c(db::fileConnectionString(dbPath));
        SourceReading reading;
        for (int i = 0; i < 3; ++i) {
            SourceOutline o;
            o.feature = i + 1;
            o.vertices = {{i * 20.0, 0}, {i * 20.0 + 10, 0}, {i * 20.0 + 5, 8}};
            reading.outlines << o;
        }
        const PlanStructures s = structuresOf(c, reading, QStringLiteral("Деревянные дома"));
        const int plan =
            storePlanStructures(c, QStringLiteral("Генплан"), s.structures, 32637, false);
        QCOMPARE(db::findPlan(c, QStringLiteral("Генплан")), std::optional<int>(plan));
        QCOMPARE(db::lastStructureNumber(c, plan), 3);
        QCOMPARE(db::planCrs(c, plan), std::optional<int>(32637));
        const auto third = db::readStructure(c, plan, 3);
        QVERIFY(third);
        QCOMPARE(db::outlineOf(*third),
                 std::optional<StructureOutline>(reading.outlines[2].vertices));

        QVERIFY_THROWS_EXCEPTION(PlanNotEmptyError,
                                 storePlanStructures(c, QStringLiteral("Генплан"),
                                                     s.structures.mid(0, 1), 32637, false));
        QCOMPARE(db::lastStructureNumber(c, plan), 3);

        QCOMPARE(storePlanStructures(c, QStringLiteral("Генплан"), s.structures.mid(0, 2),
                                     std::nullopt, true),
                 plan);
        QCOMPARE(db::lastStructureNumber(c, plan), 2);
        QVERIFY(!db::planCrs(c, plan));
        QSqlQuery vertices =
            c.exec(QStringLiteral("select count(*) from StructureVertex where NumPM = ?"), {plan});
        QVERIFY(vertices.next());
        QCOMPARE(vertices.value(0).toInt(), 6); // two triangles; the third one's rows are gone
    }
};

QTEST_GUILESS_MAIN(TestPlanImport)
#include "tst_planimport.moc"
