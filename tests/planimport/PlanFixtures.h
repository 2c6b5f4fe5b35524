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

// A well-formed drawing whose blocks insert one another: block 0 is a square, each block
// above it holds `copies` inserts of the one below, and the drawing inserts the top block
// once, so it stands for copies^(levels - 1) squares. GDAL expands every insert while it
// reads, so deep ones keep it busy for as long as anyone waits.
QByteArray nestedBlocksDrawing(int levels, int copies);

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
