#pragma once

#include "engine/Errors.h"
#include "engine/PlanGeometry.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>
#include <vector>

namespace kelmo::planimport {

// A file that cannot be read as a general plan, or a layer or field it does not have. The
// message is Russian and names the file, the layer or the field.
class PlanSourceError final : public Error {
public:
    using Error::Error;
};

// A layer of a plan file. In a CAD drawing (DXF) every drawing layer is one of these and all
// of them share the drawing's fields.
struct SourceLayer {
    QString name;
    QStringList fields;
    qint64 features = 0;
};

struct SourceContents {
    QString format;       // GDAL's name of the driver: "DXF", "GPKG", "ESRI Shapefile", …
    bool drawing = false; // a CAD drawing: layers are the drawing's own
    QList<SourceLayer> layers;
};

// The steps a reading has made so far (the file opened, each object read), for a watcher on
// another thread that tells a long reading from one that is stuck.
class ReadProgress final {
public:
    void step() noexcept { m_steps.fetch_add(1, std::memory_order_relaxed); }
    qint64 steps() const noexcept { return m_steps.load(std::memory_order_relaxed); }

private:
    std::atomic<qint64> m_steps{0};
};

// Opens the file with GDAL and lists its layers and their fields. A DXF drawing is checked
// first (DrawingCheck.h): a damaged one is refused before GDAL sees it. Throws
// PlanSourceError.
SourceContents inspectSource(const QString& path, ReadProgress* progress = nullptr);

// What to read: the layer (empty: the only layer, or every layer of a drawing) and the fields
// that hold each structure's number, kind, staff and storeys (empty: none).
struct FieldMapping {
    QString layer;
    QString numberField;
    QString kindField;
    QString staffField;
    QString storeysField;
};

// A closed outline of the file with the values of its fields.
struct SourceOutline {
    int feature = 0; // the object's place in the layer, from 1, as messages name it
    int part = 0;    // the part of a multi-part object, from 1; 0 for an object of one part
    std::optional<int> number;
    QString kind;
    int staff = 0;
    int storeys = 0;
    std::vector<PlanPoint> vertices; // each once, the first not repeated at the end
};

// Why an object of the layer is not a structure.
enum class SkipReason {
    OpenLine,      // a line whose ends do not meet
    Text,          // a text or a label
    Point,         // a point or a block insert
    NoGeometry,    // an object without a shape
    Degenerate,    // a closed line of fewer than three points, or of no area
    OtherGeometry, // anything else (a collection, a surface of another kind)
};

struct SkippedObject {
    int feature = 0;
    SkipReason reason = SkipReason::OtherGeometry;
};

// An outline with a value that cannot be stored: the import stores nothing then.
struct RefusedObject {
    int feature = 0;
    QString reason;
};

struct SourceReading {
    QList<SourceOutline> outlines; // in the order of the file
    QList<SkippedObject> skipped;
    QList<RefusedObject> refused;
    int holes = 0; // inner rings of polygons (courtyards): not part of an outline

    // The coordinate system the vertices are in: its EPSG code, or none (local metres, or a
    // system without a code).
    std::optional<int> epsg;
    // The system as the user reads it: "EPSG:32637 — WGS 84 / UTM zone 37N", "местная
    // система координат (м)".
    QString crsDescription;
    // True when the file was in longitude and latitude and is now in the UTM zone of its centre.
    bool projectedToUtm = false;
};

// Reads the closed outlines of the layer: closed polylines of a drawing, polygons and the
// parts of multipolygons elsewhere. Objects that are no outline are skipped and counted;
// outlines whose fields cannot be taken (a number that is no whole number from 1, a staff
// or storey count that is no whole number from 0) are refused with the reason. A file in
// longitude and latitude is projected to the UTM zone of its centre. Throws PlanSourceError
// for a file GDAL cannot open, a missing layer or field, a coordinate system that is not in
// metres.
SourceReading readPlanSource(const QString& path, const FieldMapping& mapping,
                             ReadProgress* progress = nullptr);

// The skipped objects, counted by reason, for a message: "пропущено 5 объектов: открытых
// линий — 3, текстов — 2". Empty when nothing was skipped.
QString skippedSummary(const QList<SkippedObject>& skipped);

// The refused objects as lines "объект 4: …" for a message, at most `limit` of them.
QString refusalText(const QList<RefusedObject>& refused, int limit = 30);

// The UTM zone's EPSG code for a point in longitude and latitude (degrees): 326zz north of the
// equator, 327zz south of it.
int utmZoneEpsg(double longitude, double latitude);

} // namespace kelmo::planimport
