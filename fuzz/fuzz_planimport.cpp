// The general-plan reader: any bytes as a GeoJSON file, a GeoPackage or a CAD drawing,
// listed and read with every layer, as the import dialog and kelmo-calc import-plan do. The
// first byte chooses what is tried ('J' GeoJSON, 'G' GeoPackage, 'C' only the check of a
// drawing's lines that comes before GDAL, anything else a drawing); the rest is the file.

#include "planimport/DrawingCheck.h"
#include "planimport/PlanSource.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

QString fileFor(char kind) {
    static QTemporaryDir folder;
    const char* name = kind == 'J' ? "plan.geojson" : kind == 'G' ? "plan.gpkg" : "plan.dxf";
    return QDir(folder.path()).filePath(QString::fromLatin1(name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    char kind = static_cast<char>(data[0]);
    if (kind == 'C') {
        QByteArray bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        (void)kelmo::planimport::drawingDefect(buffer);
        return 0;
    }
    // Drawings that GDAL's reader never returns on are refused by the check before it. A
    // well-formed drawing can still keep GDAL busy for as long as anyone waits (blocks that
    // insert one another a hundred million times): such a find shows as a timeout.
    if (kind != 'J' && kind != 'G') {
        kind = 'D';
    }
    const QString path = fileFor(kind);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return 0;
        }
        file.write(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    }
    try {
        const auto contents = kelmo::planimport::inspectSource(path);
        for (const auto& layer : contents.layers) {
            kelmo::planimport::FieldMapping mapping;
            mapping.layer = layer.name;
            mapping.numberField = layer.fields.value(0);
            mapping.staffField = layer.fields.value(1);
            const auto reading = kelmo::planimport::readPlanSource(path, mapping);
            (void)kelmo::planimport::skippedSummary(reading.skipped);
            (void)kelmo::planimport::refusalText(reading.refused);
        }
    } catch (const kelmo::Error&) {
        // a file that is no plan ends with a message
    }
    QFile::remove(path);
    return 0;
}
