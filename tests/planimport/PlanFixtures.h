#pragma once

// Small general plans written by the tests: a drawing as text in code page 1251, GIS layers
// through GDAL's own writers, a picture with its world file.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace kelmo::testing {

// The text in code page 1251, as CAD programs write drawings for Russian Windows.
QByteArray codePage1251(const QString& text);

// One object of a drawing: a closed or open lightweight polyline, an old-style closed
// POLYLINE with VERTEX records, or a text.
struct DrawingObject {
    enum class Kind { Polyline, OldPolyline, Text };
    Kind kind = Kind::Polyline;
    QString layer;
    QList<QPointF> points;
    bool closed = true;
    QString text;
};

// Writes a DXF drawing whose header says ANSI_1251 and whose text is in that code page.
void writeDrawing(const QString& path, const QList<DrawingObject>& objects);

// A feature of a GIS layer: its shape as WKT and its field values (null QVariant: unset).
struct GisFeature {
    QString wkt;
    QVariantList values;
};

struct GisField {
    QString name;
    enum class Type { Integer, Real, Text } type = Type::Text;
};

struct GisLayer {
    QString name;
    std::optional<int> epsg; // none: no coordinate system
    QList<GisField> fields;
    QList<GisFeature> features;
    QString wkt; // a coordinate system given as WKT instead of a code (units other than metres)
};

// Writes the layers with the GDAL driver ("GPKG", "ESRI Shapefile", "GeoJSON").
void writeGis(const QString& path, const QString& driver, const QList<GisLayer>& layers);

} // namespace kelmo::testing
