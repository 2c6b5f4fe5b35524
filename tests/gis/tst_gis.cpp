// The plan for CAD and GIS programs: GeoPackage, DXF and GeoJSON written through GDAL and read
// back with GDAL (layers, coordinate system, counts, fields, geometry); GeoJSON coordinates
// against PROJ's own conversion; a refused or failed export leaves the old file as it was.

#include "core/FileError.h"
#include "gis/GisExport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <proj.h>

#include <cmath>
#include <memory>

using namespace kelmo;

namespace {

// Near Moscow in UTM zone 37N (EPSG:32637).
constexpr double kX0 = 410000;
constexpr double kY0 = 6180000;
constexpr int kUtm37 = 32637;

map::MapStructure structure(int number, QPolygonF outline, std::optional<int> degree) {
    map::MapStructure s;
    s.number = number;
    s.type = QStringLiteral("Здания");
    s.kind = QStringLiteral("Кирпичные «малые»");
    s.staff = 10 * number;
    s.outline = outline.translated(kX0, kY0);
    s.labelAt = s.outline.boundingRect().center();
    s.evaluated = true;
    s.distance = 4.5 * number;
    s.deltaPkPa = 100.25 / number;
    s.impulse = 900.5 / number;
    s.degree = degree;
    s.injured = 0.75 * number;
    return s;
}

// An L-shaped building, a triangle and a heptagon around a charge, with zones reached up to
// the third boundary of criterion а) and two pressure circles (one never reached).
map::PlanMapModel situation() {
    map::PlanMapModel m;
    m.planName = QStringLiteral("Склад №3");
    const QPolygonF lShape{
        QVector<QPointF>{{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}}};
    const QPolygonF triangle{QVector<QPointF>{{-50, 0}, {-40, 0}, {-50, 10}}};
    QPolygonF heptagon;
    for (int i = 0; i < 7; ++i) {
        const double a = 2 * M_PI * i / 7;
        heptagon << QPointF(60 + 10 * std::cos(a), -60 + 10 * std::sin(a));
    }
    m.structures = {structure(1, lShape, 2), structure(2, triangle, std::nullopt),
                    structure(3, heptagon, 0)};
    m.charge = QPointF(kX0 + 20, kY0 + 14);
    m.massTNT = 1000;
    m.hasZones = true;
    m.zoneRadii[0] = {15, 40, 90, 0};
    m.zoneRadii[1] = {10, 25, 60, 150};
    m.zoneRadii[2] = {5, 12, 30, 80};
    m.pressures = {{100, 35}, {1e6, 0}};
    return m;
}

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(GDALDataset::ToHandle(ds)); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

Dataset openVector(const QString& path) {
    return Dataset(GDALDataset::Open(QFile::encodeName(path).constData(), GDAL_OF_VECTOR));
}

QStringList layerNames(GDALDataset& ds) {
    QStringList out;
    for (int i = 0; i < ds.GetLayerCount(); ++i) {
        out << QString::fromUtf8(ds.GetLayer(i)->GetName());
    }
    return out;
}

// The points of a polygon's ring or of a line string.
QList<QPointF> pointsOf(const OGRSimpleCurve& curve) {
    QList<QPointF> out;
    for (int i = 0; i < curve.getNumPoints(); ++i) {
        out << QPointF(curve.getX(i), curve.getY(i));
    }
    return out;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestGis final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const char* name) const { return m_dir->filePath(QString::fromLatin1(name)); }

    // Nothing but the named files in the folder: no temporary file is left behind.
    void onlyFiles(const QStringList& names) const {
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);
    }

private slots:
    void initTestCase() { GDALAllRegister(); }
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void geoPackageInThePlansCoordinateSystem() {
        const map::PlanMapModel model = situation();
        gis::exportGeoPackage(path("plan.gpkg"), model, kUtm37);
        onlyFiles({"plan.gpkg"});
        Dataset ds = openVector(path("plan.gpkg"));
        QVERIFY(ds);
        QCOMPARE(layerNames(*ds), (QStringList{"structures", "zones", "pressures", "charge"}));
        for (int i = 0; i < ds->GetLayerCount(); ++i) {
            const OGRSpatialReference* srs = ds->GetLayer(i)->GetSpatialRef();
            QVERIFY(srs);
            QCOMPARE(QByteArray(srs->GetAuthorityCode(nullptr)), QByteArray("32637"));
        }

        OGRLayer* structures = ds->GetLayerByName("structures");
        QCOMPARE(structures->GetFeatureCount(), 3);
        QStringList fields;
        for (int i = 0; i < structures->GetLayerDefn()->GetFieldCount(); ++i) {
            fields << QString::fromUtf8(structures->GetLayerDefn()->GetFieldDefn(i)->GetNameRef());
        }
        QCOMPARE(fields, (QStringList{"number", "type", "kind", "staff", "distance", "deltaPkPa",
                                      "impulse", "degree", "injured"}));
        structures->ResetReading();
        int n = 0;
        while (OGRFeature* raw = structures->GetNextFeature()) {
            std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> f(
                raw, &OGRFeature::DestroyFeature);
            const map::MapStructure& s = model.structures[static_cast<std::size_t>(n++)];
            QCOMPARE(f->GetFieldAsInteger("number"), s.number);
            QCOMPARE(QString::fromUtf8(f->GetFieldAsString("kind")), s.kind);
            QCOMPARE(f->GetFieldAsInteger("staff"), s.staff);
            QCOMPARE(f->GetFieldAsDouble("distance"), s.distance);
            QCOMPARE(f->GetFieldAsDouble("deltaPkPa"), s.deltaPkPa);
            QCOMPARE(f->GetFieldAsDouble("impulse"), s.impulse);
            QCOMPARE(f->GetFieldAsDouble("injured"), s.injured);
            const int degree = f->GetFieldIndex("degree");
            QCOMPARE(f->IsFieldNull(degree), !s.degree.has_value());
            if (s.degree) {
                QCOMPARE(f->GetFieldAsInteger(degree), *s.degree);
            }
            const auto* polygon = f->GetGeometryRef()->toPolygon();
            QList<QPointF> ring = pointsOf(*polygon->getExteriorRing());
            QCOMPARE(ring.size(), s.outline.size() + 1); // closed
            QCOMPARE(ring.first(), ring.last());
            ring.removeLast();
            QCOMPARE(ring, QList<QPointF>(s.outline.begin(), s.outline.end()));
        }

        // Zones: criterion а) reached three boundaries, б) and people four: 3 + 4 + 4 rings;
        // zone 1 a disc, the others with the disc inside cut out.
        OGRLayer* zones = ds->GetLayerByName("zones");
        QCOMPARE(zones->GetFeatureCount(), 11);
        zones->SetAttributeFilter("criterion = 1 and zone = 2");
        std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> ring(
            zones->GetNextFeature(), &OGRFeature::DestroyFeature);
        QVERIFY(ring);
        QCOMPARE(ring->GetFieldAsDouble("innerRadius"), 15.0);
        QCOMPARE(ring->GetFieldAsDouble("outerRadius"), 40.0);
        const auto* annulus = ring->GetGeometryRef()->toPolygon();
        QCOMPARE(annulus->getNumInteriorRings(), 1);
        QVERIFY(std::abs(annulus->get_Area() - M_PI * (40 * 40 - 15 * 15)) < 0.01 * M_PI * 1600);

        QCOMPARE(ds->GetLayerByName("pressures")->GetFeatureCount(), 1); // 1e6 kPa never reached
        OGRLayer* charge = ds->GetLayerByName("charge");
        QCOMPARE(charge->GetFeatureCount(), 1);
        std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> point(
            charge->GetNextFeature(), &OGRFeature::DestroyFeature);
        const auto* p = point->GetGeometryRef()->toPoint();
        QCOMPARE(QPointF(p->getX(), p->getY()), *model.charge);
        QCOMPARE(point->GetFieldAsDouble("massTNT"), 1000.0);
    }

    // A map of scenarios: each scenario's rings, circles and charge point at its own storage
    // point under its name, and each structure named by the scenario of its worst case.
    void geoPackageOfScenariosNamesThem() {
        map::PlanMapModel model = situation();
        const map::ScenarioCircles& west = model.scenarios.emplace_back(map::ScenarioCircles{
            QStringLiteral("Западный"), *model.charge, 1000, model.zoneRadii, model.pressures});
        map::ScenarioCircles east = west;
        east.name = QStringLiteral("Восточный");
        east.point = QPointF(kX0 + 300, kY0);
        east.massTNT = 200;
        east.zoneRadii = {};
        east.zoneRadii[0] = {5, 10, 0, 0};
        model.scenarios.push_back(east);
        model.charge.reset();
        model.structures[2].scenario = QStringLiteral("Восточный");
        gis::exportGeoPackage(path("plan.gpkg"), model, kUtm37);
        Dataset ds = openVector(path("plan.gpkg"));
        QVERIFY(ds);
        const auto names = [&ds](const char* layer) {
            QStringList out;
            OGRLayer* l = ds->GetLayerByName(layer);
            l->ResetReading();
            while (OGRFeature* raw = l->GetNextFeature()) {
                std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> f(
                    raw, &OGRFeature::DestroyFeature);
                out << QString::fromUtf8(f->GetFieldAsString("scenario"));
            }
            return out;
        };
        // 11 rings of the west scenario, 2 of the east one; a pressure circle each.
        QCOMPARE(names("zones").count(QStringLiteral("Западный")), 11);
        QCOMPARE(names("zones").count(QStringLiteral("Восточный")), 2);
        QCOMPARE(names("pressures"), (QStringList{"Западный", "Восточный"}));
        QCOMPARE(names("charge"), (QStringList{"Западный", "Восточный"}));
        QCOMPARE(names("structures"), (QStringList{"", "", "Восточный"}));
        OGRLayer* charge = ds->GetLayerByName("charge");
        charge->SetAttributeFilter("scenario = 'Восточный'");
        std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> point(
            charge->GetNextFeature(), &OGRFeature::DestroyFeature);
        QVERIFY(point);
        const auto* p = point->GetGeometryRef()->toPoint();
        QCOMPARE(QPointF(p->getX(), p->getY()), east.point);
        QCOMPARE(point->GetFieldAsDouble("massTNT"), 200.0);
        OGRLayer* zones = ds->GetLayerByName("zones");
        zones->SetAttributeFilter("scenario = 'Восточный' and zone = 2");
        std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> ring(
            zones->GetNextFeature(), &OGRFeature::DestroyFeature);
        QVERIFY(ring);
        QCOMPARE(ring->GetFieldAsDouble("outerRadius"), 10.0);
        OGREnvelope box;
        ring->GetGeometryRef()->getEnvelope(&box);
        QVERIFY(std::abs((box.MinX + box.MaxX) / 2 - east.point.x()) < 0.01);
    }

    // Without a coordinate system the GeoPackage keeps the plan's metres in a local system of
    // metres, not GeoPackage's "undefined geographic" one, which GIS programs read as degrees.
    void geoPackageInLocalMetres() {
        gis::exportGeoPackage(path("local.gpkg"), situation(), std::nullopt);
        Dataset ds = openVector(path("local.gpkg"));
        QVERIFY(ds);
        const OGRSpatialReference* srs = ds->GetLayerByName("structures")->GetSpatialRef();
        QVERIFY(srs);
        QVERIFY(srs->IsLocal());
        QVERIFY(!srs->IsGeographic());
        QCOMPARE(srs->GetLinearUnits(), 1.0);
        QCOMPARE(ds->GetLayerByName("structures")->GetFeatureCount(), 3);
    }

    void dxfOfClosedPolylinesByLayer() {
        const map::PlanMapModel model = situation();
        gis::exportDxf(path("plan.dxf"), model);
        onlyFiles({"plan.dxf"});
        Dataset ds = openVector(path("plan.dxf"));
        QVERIFY(ds);
        OGRLayer* entities = ds->GetLayer(0);
        QMap<QString, int> byLayer;
        QList<QList<QPointF>> structures;
        entities->ResetReading();
        while (OGRFeature* raw = entities->GetNextFeature()) {
            std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> f(
                raw, &OGRFeature::DestroyFeature);
            const QString layer = QString::fromUtf8(f->GetFieldAsString("Layer"));
            ++byLayer[layer];
            if (layer == QLatin1String("STRUCTURES")) {
                const OGRGeometry* g = f->GetGeometryRef();
                QCOMPARE(wkbFlatten(g->getGeometryType()), wkbLineString);
                structures << pointsOf(*g->toLineString());
            }
            if (layer == QLatin1String("LABELS")) {
                QVERIFY(QByteArray(f->GetFieldAsString("Text")).toInt() >= 1);
            }
        }
        QCOMPARE(
            byLayer,
            (QMap<QString, int>{
                {"STRUCTURES", 3}, {"LABELS", 3}, {"ZONES", 11}, {"PRESSURES", 1}, {"CHARGE", 1}}));
        // Each outline as it was, in metres, closed back to its first vertex.
        QCOMPARE(structures.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QList<QPointF> ring = structures[i];
            QCOMPARE(ring.first(), ring.last());
            ring.removeLast();
            const QPolygonF& outline = model.structures[static_cast<std::size_t>(i)].outline;
            QCOMPARE(ring, QList<QPointF>(outline.begin(), outline.end()));
        }
        // Closed polylines, and a drawing in metres for CAD programs.
        const QByteArray text = contents(path("plan.dxf"));
        QVERIFY(text.contains("LWPOLYLINE"));
        QVERIFY(!text.contains("HATCH"));
        QVERIFY(text.contains("$INSUNITS\n 70\n     6\n"));
    }

    // Every position is the plan's point converted by PROJ from UTM 37N to longitude and
    // latitude, to the GeoJSON's 7 decimals.
    void geoJsonInLongitudeAndLatitude() {
        const map::PlanMapModel model = situation();
        gis::exportGeoJson(path("plan.geojson"), model, kUtm37);
        onlyFiles({"plan.geojson"});
        const QJsonObject doc = QJsonDocument::fromJson(contents(path("plan.geojson"))).object();
        QCOMPARE(doc.value("type").toString(), QStringLiteral("FeatureCollection"));
        QVERIFY(!doc.contains("crs")); // RFC 7946 has none: WGS 84 is implied
        const QJsonArray features = doc.value("features").toArray();
        QCOMPARE(features.size(), 3 + 11 + 1 + 1);

        PJ_CONTEXT* ctx = proj_context_create();
        PJ* raw = proj_create_crs_to_crs(ctx, "EPSG:32637", "EPSG:4326", nullptr);
        QVERIFY(raw);
        PJ* utmToLonLat = proj_normalize_for_visualization(ctx, raw);
        proj_destroy(raw);
        const auto lonLat = [&](QPointF p) {
            const PJ_COORD c = proj_trans(utmToLonLat, PJ_FWD, proj_coord(p.x(), p.y(), 0, 0));
            return QPointF(c.lp.lam, c.lp.phi);
        };
        const auto near = [](const QJsonArray& position, QPointF expected) {
            return std::abs(position.at(0).toDouble() - expected.x()) < 2e-7 &&
                   std::abs(position.at(1).toDouble() - expected.y()) < 2e-7;
        };

        int checked = 0;
        for (const QJsonValue& v : features) {
            const QJsonObject f = v.toObject();
            const QJsonObject properties = f.value("properties").toObject();
            const QJsonObject geometry = f.value("geometry").toObject();
            const QString kind = properties.value("feature").toString();
            if (kind == QLatin1String("charge")) {
                QVERIFY(near(geometry.value("coordinates").toArray(), lonLat(*model.charge)));
                ++checked;
            }
            if (kind == QLatin1String("structure")) {
                const int number = properties.value("number").toInt();
                const QPolygonF& outline =
                    model.structures[static_cast<std::size_t>(number - 1)].outline;
                QCOMPARE(properties.value("kind").toString(), QStringLiteral("Кирпичные «малые»"));
                const QJsonArray ring = geometry.value("coordinates").toArray().at(0).toArray();
                QCOMPARE(ring.size(), outline.size() + 1);
                // Every vertex is there (the standard may wind the ring the other way).
                for (const QPointF& vertex : outline) {
                    bool found = false;
                    for (const QJsonValue& position : ring) {
                        found = found || near(position.toArray(), lonLat(vertex));
                    }
                    QVERIFY2(found,
                             qPrintable(QStringLiteral("%1 %2").arg(vertex.x()).arg(vertex.y())));
                }
                ++checked;
            }
        }
        QCOMPARE(checked, 4);
        // Moscow lies near 37.6° east, 55.7° north.
        QVERIFY(std::abs(lonLat(*model.charge).x() - 37.6) < 0.5);
        proj_destroy(utmToLonLat);
        proj_context_destroy(ctx);
    }

    // A plan in local metres has no longitude and latitude: nothing is written, the file there
    // stays, and the message points to the formats that keep metres.
    void geoJsonWithoutCoordinateSystemIsRefused() {
        QFile old(path("plan.geojson"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        try {
            gis::exportGeoJson(path("plan.geojson"), situation(), std::nullopt);
            QFAIL("a GeoJSON without coordinate system was written");
        } catch (const gis::GisExportError& e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.contains(QStringLiteral("нет системы координат")) &&
                         message.contains(QStringLiteral("GeoPackage")),
                     qPrintable(message));
        }
        QCOMPARE(contents(path("plan.geojson")), QByteArray("old contents"));
        onlyFiles({"plan.geojson"});
    }

    // A failed export leaves the old file and no temporary one.
    void failedExportLeavesTheOldFile_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("GeoPackage, unknown EPSG code") << "gpkg";
        QTest::newRow("GeoJSON, unknown EPSG code") << "geojson";
    }
    void failedExportLeavesTheOldFile() {
        QFETCH(QString, format);
        const QString target = m_dir->filePath(QStringLiteral("plan.") + format);
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        const auto write = [&] {
            if (format == QLatin1String("gpkg")) {
                gis::exportGeoPackage(target, situation(), 999999);
            } else {
                gis::exportGeoJson(target, situation(), 999999);
            }
        };
        QVERIFY_THROWS_EXCEPTION(gis::GisExportError, write());
        QCOMPARE(contents(target), QByteArray("old contents"));
        onlyFiles({QStringLiteral("plan.") + format});
    }

    void unwritableFolderIsRefused() {
        QVERIFY_THROWS_EXCEPTION(FileError, gis::exportDxf(path("missing/plan.dxf"), situation()));
    }
};

QTEST_GUILESS_MAIN(TestGis)
#include "tst_gis.moc"
