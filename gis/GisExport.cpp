#include "gis/GisExport.h"

#include "core/SafeFile.h"

#include <QDir>
#include <QFile>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kelmo::gis {

namespace {

void registerDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL's own messages are collected instead of printed; the last one goes into ours.
class QuietErrors final {
public:
    QuietErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

    static QString last() { return QString::fromUtf8(CPLGetLastErrorMsg()).trimmed(); }
};

// A GDAL configuration option set for this thread while the object lives.
class ThreadOption final {
public:
    ThreadOption(const char* key, const char* value)
        : m_key(key) {
        if (const char* old = CPLGetThreadLocalConfigOption(key, nullptr)) {
            m_old = old;
        }
        CPLSetThreadLocalConfigOption(key, value);
    }
    ~ThreadOption() { CPLSetThreadLocalConfigOption(m_key, m_old ? m_old->c_str() : nullptr); }
    ThreadOption(const ThreadOption&) = delete;
    ThreadOption& operator=(const ThreadOption&) = delete;

private:
    const char* m_key;
    std::optional<std::string> m_old;
};

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void fail(const QString& what) {
    const QString cause = QuietErrors::last();
    throw GisExportError(
        (cause.isEmpty() ? what : QStringLiteral("%1 (GDAL: %2)").arg(what, cause)).toStdString());
}

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(GDALDataset::ToHandle(ds)); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

struct FeatureDeleter {
    void operator()(OGRFeature* f) const { OGRFeature::DestroyFeature(f); }
};
using Feature = std::unique_ptr<OGRFeature, FeatureDeleter>;

// The output goes to a temporary file beside the target, which GDAL creates itself (it
// refuses to create over an existing file); only a complete file replaces the target.
class GdalOutput final {
public:
    GdalOutput(const QString& path, const char* driverName)
        : m_file(path) {
        registerDrivers();
        QFile::remove(m_file.tempPath());
        m_driver = GetGDALDriverManager()->GetDriverByName(driverName);
        if (!m_driver) {
            throw GisExportError(QStringLiteral("В GDAL нет драйвера %1: файл «%2» не записан.")
                                     .arg(QString::fromLatin1(driverName), shown(path))
                                     .toStdString());
        }
        m_ds.reset(m_driver->Create(QFile::encodeName(m_file.tempPath()).constData(), 0, 0, 0,
                                    GDT_Unknown, nullptr));
        if (!m_ds) {
            fail(QStringLiteral("Не удалось создать файл «%1».").arg(shown(path)));
        }
    }
    ~GdalOutput() {
        m_ds.reset();
        QFile::remove(m_file.tempPath());
    }
    GdalOutput(const GdalOutput&) = delete;
    GdalOutput& operator=(const GdalOutput&) = delete;

    GDALDataset& dataset() { return *m_ds; }
    const QString& target() const { return m_file.targetPath(); }
    const QString& tempPath() const { return m_file.tempPath(); }

    // Closes the dataset: GDAL writes what it kept back.
    void close() {
        if (!m_ds) {
            return;
        }
        CPLErrorReset();
        m_ds.reset();
        if (CPLGetLastErrorType() >= CE_Failure) {
            fail(QStringLiteral("Не удалось записать файл «%1»; прежний файл не изменен.")
                     .arg(shown(target())));
        }
    }

    // Closes the dataset, puts the file on the disk and in place of the target.
    void commit() {
        close();
        syncToDisk(m_file.tempPath());
        m_file.commit();
    }

private:
    static void syncToDisk(const QString& path) {
#ifndef Q_OS_WIN
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
#else
        Q_UNUSED(path);
#endif
    }

    SafeFile m_file;
    GDALDriver* m_driver = nullptr;
    Dataset m_ds;
};

std::unique_ptr<OGRSpatialReference> spatialReference(int epsg) {
    auto srs = std::make_unique<OGRSpatialReference>();
    if (srs->importFromEPSG(epsg) != OGRERR_NONE) {
        throw GisExportError(QStringLiteral("Система координат EPSG:%1 неизвестна GDAL/PROJ; "
                                            "файл не записан.")
                                 .arg(epsg)
                                 .toStdString());
    }
    // Plan coordinates are x east, y north, whatever order the system's definition gives.
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

OGRLayer* createLayer(GDALDataset& ds, const char* name, const OGRSpatialReference* srs,
                      OGRwkbGeometryType type, const char* const* options = nullptr) {
    OGRLayer* layer = ds.CreateLayer(name, const_cast<OGRSpatialReference*>(srs), type,
                                     const_cast<char**>(options));
    if (!layer) {
        fail(QStringLiteral("Не удалось создать слой %1.").arg(QString::fromLatin1(name)));
    }
    return layer;
}

void addField(OGRLayer* layer, const char* name, OGRFieldType type) {
    OGRFieldDefn field(name, type);
    if (layer->CreateField(&field) != OGRERR_NONE) {
        fail(QStringLiteral("Не удалось создать поле %1.").arg(QString::fromLatin1(name)));
    }
}

Feature newFeature(OGRLayer* layer) {
    return Feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
}

void store(OGRLayer* layer, Feature& f) {
    if (layer->CreateFeature(f.get()) != OGRERR_NONE) {
        fail(QStringLiteral("Не удалось записать объект в слой %1.")
                 .arg(QString::fromUtf8(layer->GetName())));
    }
}

OGRLinearRing ringOf(const QPolygonF& points) {
    OGRLinearRing ring;
    for (const QPointF& p : points) {
        ring.addPoint(p.x(), p.y());
    }
    ring.closeRings();
    return ring;
}

QPolygonF circle(QPointF centre, double radius, int segments) {
    QPolygonF ring;
    ring.reserve(segments);
    for (int i = 0; i < segments; ++i) {
        const double angle = 2 * std::numbers::pi * i / segments;
        ring << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    return ring;
}

OGRPolygon polygonOf(const QPolygonF& outline) {
    OGRPolygon polygon;
    OGRLinearRing ring = ringOf(outline);
    polygon.addRing(&ring);
    return polygon;
}

const char* const kCriterionNames[3] = {
    "а) тяжёлые разрушения зданий, люди в зданиях",
    "б) полное разрушение промышленных зданий, люди вне зданий",
    "люди вне зданий",
};

// One zone of a criterion: its inner and outer radius, m (inner 0 for zone 1).
struct ZoneRing {
    int criterion = 0;
    int zone = 0;
    double inner = 0;
    double outer = 0;
};

// A charge point with its circles as the files write it: the situation's charge, or on a map
// of scenarios each scenario's under its name.
struct ChargeCircles {
    QString scenario;
    QPointF centre;
    double massTNT = 0;
    std::array<std::array<double, map::kZoneBoundaries>, 3> zoneRadii{};
    std::vector<map::PressureCircle> pressures;
};

std::vector<ChargeCircles> chargesOf(const map::PlanMapModel& model) {
    std::vector<ChargeCircles> out;
    if (model.charge) {
        ChargeCircles c;
        c.centre = *model.charge;
        c.massTNT = model.massTNT;
        if (model.hasZones) {
            c.zoneRadii = model.zoneRadii;
            c.pressures = model.pressures;
        }
        out.push_back(std::move(c));
    }
    for (const map::ScenarioCircles& s : model.scenarios) {
        out.push_back({s.name, s.point, s.massTNT, s.zoneRadii, s.pressures});
    }
    return out;
}

std::vector<ZoneRing> zoneRings(const ChargeCircles& charge) {
    std::vector<ZoneRing> out;
    for (int j = 1; j <= 3; ++j) {
        double inner = 0;
        for (int k = 1; k <= map::kZoneBoundaries; ++k) {
            const double outer =
                charge.zoneRadii[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(k - 1)];
            if (outer <= inner) {
                continue; // the run never reached this boundary
            }
            out.push_back({j, k, inner, outer});
            inner = outer;
        }
    }
    return out;
}

OGRPolygon ringPolygon(QPointF centre, const ZoneRing& z, int segments) {
    OGRPolygon polygon;
    OGRLinearRing outer = ringOf(circle(centre, z.outer, segments));
    polygon.addRing(&outer);
    if (z.inner > 0) {
        OGRLinearRing inner = ringOf(circle(centre, z.inner, segments));
        polygon.addRing(&inner);
    }
    return polygon;
}

// The layers of the GeoPackage and the one layer of GeoJSON carry the same features; a
// writer says where each kind of feature goes.
struct FeatureLayers {
    OGRLayer* structures = nullptr;
    OGRLayer* zones = nullptr;
    OGRLayer* pressures = nullptr;
    OGRLayer* charge = nullptr;
    bool tagged = false; // one layer for all: a "feature" field names the kind
    // A map of scenarios: a "scenario" field names the scenario of each circle and charge, and
    // the one whose worst case a structure shows.
    bool scenarios = false;
};

void addStructureFields(OGRLayer* layer) {
    addField(layer, "number", OFTInteger);
    addField(layer, "type", OFTString);
    addField(layer, "kind", OFTString);
    addField(layer, "staff", OFTInteger);
    addField(layer, "distance", OFTReal);
    addField(layer, "deltaPkPa", OFTReal);
    addField(layer, "impulse", OFTReal);
    addField(layer, "degree", OFTInteger);
    addField(layer, "injured", OFTReal);
}

void addZoneFields(OGRLayer* layer) {
    addField(layer, "criterion", OFTInteger);
    addField(layer, "criterionName", OFTString);
    addField(layer, "zone", OFTInteger);
    addField(layer, "innerRadius", OFTReal);
    addField(layer, "outerRadius", OFTReal);
}

void addPressureFields(OGRLayer* layer) {
    addField(layer, "kPa", OFTReal);
    addField(layer, "radius", OFTReal);
}

void writeFeatures(const FeatureLayers& layers, const map::PlanMapModel& model, int segments) {
    const auto tag = [&layers](Feature& f, const char* kind) {
        if (layers.tagged) {
            f->SetField("feature", kind);
        }
    };
    const auto name = [&layers](Feature& f, const QString& scenario) {
        if (layers.scenarios && !scenario.isEmpty()) {
            f->SetField("scenario", scenario.toUtf8().constData());
        }
    };
    for (const map::MapStructure& s : model.structures) {
        if (s.outline.size() < 3) {
            continue;
        }
        Feature f = newFeature(layers.structures);
        tag(f, "structure");
        f->SetField("number", s.number);
        f->SetField("type", s.type.toUtf8().constData());
        f->SetField("kind", s.kind.toUtf8().constData());
        f->SetField("staff", s.staff);
        if (s.evaluated) {
            f->SetField("distance", s.distance);
            f->SetField("deltaPkPa", s.deltaPkPa);
            f->SetField("impulse", s.impulse);
            if (s.degree) {
                f->SetField("degree", *s.degree);
            } else {
                f->SetFieldNull(f->GetFieldIndex("degree"));
            }
            f->SetField("injured", s.injured);
        }
        name(f, s.scenario);
        OGRPolygon polygon = polygonOf(s.outline);
        f->SetGeometry(&polygon);
        store(layers.structures, f);
    }
    for (const ChargeCircles& charge : chargesOf(model)) {
        for (const ZoneRing& z : zoneRings(charge)) {
            Feature f = newFeature(layers.zones);
            tag(f, "zone");
            f->SetField("criterion", z.criterion);
            f->SetField("criterionName", kCriterionNames[z.criterion - 1]);
            f->SetField("zone", z.zone);
            f->SetField("innerRadius", z.inner);
            f->SetField("outerRadius", z.outer);
            name(f, charge.scenario);
            OGRPolygon polygon = ringPolygon(charge.centre, z, segments);
            f->SetGeometry(&polygon);
            store(layers.zones, f);
        }
        for (const map::PressureCircle& c : charge.pressures) {
            if (c.radius <= 0) {
                continue;
            }
            Feature f = newFeature(layers.pressures);
            tag(f, "pressure");
            f->SetField("kPa", c.kPa);
            f->SetField("radius", c.radius);
            name(f, charge.scenario);
            OGRPolygon polygon = polygonOf(circle(charge.centre, c.radius, segments));
            f->SetGeometry(&polygon);
            store(layers.pressures, f);
        }
        Feature f = newFeature(layers.charge);
        tag(f, "charge");
        f->SetField("massTNT", charge.massTNT);
        name(f, charge.scenario);
        OGRPoint point(charge.centre.x(), charge.centre.y());
        f->SetGeometry(&point);
        store(layers.charge, f);
    }
}

// GDAL's DXF template says inches; the plan is in metres ($INSUNITS 6, metric drawing).
void markDxfInMetres(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw GisExportError(QStringLiteral("Не удалось прочитать записанный файл DXF «%1».")
                                 .arg(shown(path))
                                 .toStdString());
    }
    QByteArray bytes = file.readAll();
    file.close();
    const auto setHeader = [&bytes](const QByteArray& name, const QByteArray& value) {
        const qsizetype at = bytes.indexOf("$" + name);
        if (at < 0 || at > bytes.indexOf("ENDSEC")) {
            return;
        }
        // The variable's name, its group code line, then the value's line.
        const qsizetype codeEnd = bytes.indexOf('\n', bytes.indexOf('\n', at) + 1);
        const qsizetype valueEnd = bytes.indexOf('\n', codeEnd + 1);
        if (codeEnd < 0 || valueEnd < 0) {
            return;
        }
        const bool crlf = bytes.at(valueEnd - 1) == '\r';
        bytes.replace(codeEnd + 1, valueEnd - codeEnd - 1 - (crlf ? 1 : 0), value);
    };
    setHeader("INSUNITS", "     6");
    setHeader("MEASUREMENT", "     1");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        throw GisExportError(
            QStringLiteral("Не удалось записать файл DXF «%1».").arg(shown(path)).toStdString());
    }
}

} // namespace

QString geoJsonNeedsCrsMessage(const QString& planName) {
    return QStringLiteral("У плана «%1» нет системы координат (координаты — местные метры), а "
                          "GeoJSON хранит долготу и широту (RFC 7946): программы ГИС прочли бы "
                          "метры как градусы. Сохраните план в GeoPackage или DXF — в них "
                          "остаются метры плана.")
        .arg(planName);
}

bool isKnownCrs(int epsg) {
    registerDrivers();
    QuietErrors quiet;
    OGRSpatialReference srs;
    return epsg > 0 && srs.importFromEPSG(epsg) == OGRERR_NONE;
}

void exportGeoPackage(const QString& path, const map::PlanMapModel& model, PlanCrs crs,
                      int segments) {
    registerDrivers();
    QuietErrors quiet;
    std::unique_ptr<OGRSpatialReference> srs;
    if (crs) {
        srs = spatialReference(*crs);
    } else {
        // Named as local metres: with no system at all a GeoPackage reads as degrees.
        srs = std::make_unique<OGRSpatialReference>();
        srs->SetLocalCS("Местная система координат плана");
        srs->SetLinearUnits(SRS_UL_METER, 1.0);
    }
    GdalOutput out(path, "GPKG");
    GDALDataset& ds = out.dataset();
    FeatureLayers layers;
    layers.structures = createLayer(ds, "structures", srs.get(), wkbPolygon);
    addStructureFields(layers.structures);
    layers.zones = createLayer(ds, "zones", srs.get(), wkbPolygon);
    addZoneFields(layers.zones);
    layers.pressures = createLayer(ds, "pressures", srs.get(), wkbPolygon);
    addPressureFields(layers.pressures);
    layers.charge = createLayer(ds, "charge", srs.get(), wkbPoint);
    addField(layers.charge, "massTNT", OFTReal);
    layers.scenarios = !model.scenarios.empty();
    if (layers.scenarios) {
        for (OGRLayer* layer : {layers.structures, layers.zones, layers.pressures, layers.charge}) {
            addField(layer, "scenario", OFTString);
        }
    }
    if (ds.StartTransaction() != OGRERR_NONE) {
        fail(QStringLiteral("Не удалось начать запись файла «%1».").arg(shown(path)));
    }
    writeFeatures(layers, model, std::max(segments, 8));
    if (ds.CommitTransaction() != OGRERR_NONE) {
        fail(QStringLiteral("Не удалось записать файл «%1».").arg(shown(path)));
    }
    out.commit();
}

void exportGeoJson(const QString& path, const map::PlanMapModel& model, PlanCrs crs, int segments) {
    if (!crs) {
        throw GisExportError(geoJsonNeedsCrsMessage(model.planName).toStdString());
    }
    registerDrivers();
    QuietErrors quiet;
    const auto srs = spatialReference(*crs);
    GdalOutput out(path, "GeoJSON");
    // RFC 7946: the driver converts to longitude and latitude on WGS 84 and winds the rings
    // as the standard asks.
    const char* const options[] = {"RFC7946=YES", "WRITE_NAME=NO", nullptr};
    const QByteArray name = model.planName.isEmpty() ? QByteArray("plan") : model.planName.toUtf8();
    FeatureLayers layers;
    layers.tagged = true;
    OGRLayer* layer = createLayer(out.dataset(), name.constData(), srs.get(), wkbUnknown, options);
    addField(layer, "feature", OFTString);
    addStructureFields(layer);
    addZoneFields(layer);
    addPressureFields(layer);
    addField(layer, "massTNT", OFTReal);
    layers.scenarios = !model.scenarios.empty();
    if (layers.scenarios) {
        addField(layer, "scenario", OFTString);
    }
    layers.structures = layers.zones = layers.pressures = layers.charge = layer;
    writeFeatures(layers, model, std::max(segments, 8));
    out.commit();
}

void exportDxf(const QString& path, const map::PlanMapModel& model, int segments) {
    registerDrivers();
    QuietErrors quiet;
    // Polygons as closed polylines, not filled hatches.
    const ThreadOption polylines("DXF_WRITE_HATCH", "NO");
    GdalOutput out(path, "DXF");
    OGRLayer* layer = createLayer(out.dataset(), "entities", nullptr, wkbUnknown);
    segments = std::max(segments, 8);
    const auto put = [layer](const char* dxfLayer, const OGRGeometry& geometry,
                             const QString& style = {}) {
        Feature f = newFeature(layer);
        f->SetField("Layer", dxfLayer);
        if (!style.isEmpty()) {
            f->SetStyleString(style.toUtf8().constData());
        }
        f->SetGeometry(&geometry);
        store(layer, f);
    };
    // Text as high as a hundredth of the plan's extent, at least a metre.
    const QRectF extent = model.bounds(map::Criterion::Heavy);
    const double textHeight = std::max(1.0, std::max(extent.width(), extent.height()) / 100);
    for (const map::MapStructure& s : model.structures) {
        if (s.outline.size() < 3) {
            continue;
        }
        put("STRUCTURES", polygonOf(s.outline));
        put("LABELS", OGRPoint(s.labelAt.x(), s.labelAt.y()),
            QStringLiteral("LABEL(t:\"%1\",s:%2g,p:5)").arg(s.number).arg(textHeight));
    }
    for (const ChargeCircles& charge : chargesOf(model)) {
        for (const ZoneRing& z : zoneRings(charge)) {
            put("ZONES", polygonOf(circle(charge.centre, z.outer, segments)));
        }
        for (const map::PressureCircle& c : charge.pressures) {
            if (c.radius > 0) {
                put("PRESSURES", polygonOf(circle(charge.centre, c.radius, segments)));
            }
        }
        put("CHARGE", OGRPoint(charge.centre.x(), charge.centre.y()));
        if (!charge.scenario.isEmpty()) {
            put("LABELS", OGRPoint(charge.centre.x(), charge.centre.y()),
                QStringLiteral("LABEL(t:\"%1\",s:%2g,p:1)")
                    .arg(QString(charge.scenario).replace(u'"', u'\''))
                    .arg(textHeight));
        }
    }
    // The DXF is complete only once GDAL closes it; its header is set then, before the rename.
    out.close();
    markDxfInMetres(out.tempPath());
    out.commit();
}

} // namespace kelmo::gis
