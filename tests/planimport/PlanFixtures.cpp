#include "tests/planimport/PlanFixtures.h"

#include "planimport/GdalSupport.h"

#include <QFile>
#include <QPointF>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <stdexcept>
#include <utility>

namespace kelmo::testing {

QByteArray codePage1251(const QString& text) {
    QByteArray out;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u >= 0x0410 && u <= 0x044F) { // А … я
            out += static_cast<char>(0xC0 + (u - 0x0410));
        } else if (u == 0x0401) { // Ё
            out += static_cast<char>(0xA8);
        } else if (u == 0x0451) { // ё
            out += static_cast<char>(0xB8);
        } else if (u == 0x2116) { // №
            out += static_cast<char>(0xB9);
        } else {
            throw std::invalid_argument("character outside code page 1251");
        }
    }
    return out;
}

void writeDrawing(const QString& path, const QList<DrawingObject>& objects) {
    QStringList g{"0", "SECTION", "2", "HEADER",       "9", "$ACADVER",
                  "1", "AC1015",  "9", "$DWGCODEPAGE", "3", "ANSI_1251",
                  "0", "ENDSEC",  "0", "SECTION",      "2", "ENTITIES"};
    int handle = 0x100;
    const auto common = [&](const QString& entity, const QString& layer) {
        g << "0" << entity << "5" << QString::number(handle++, 16).toUpper() << "100"
          << "AcDbEntity"
          << "8" << layer;
    };
    for (const DrawingObject& o : objects) {
        switch (o.kind) {
        case DrawingObject::Kind::Polyline:
            common(QStringLiteral("LWPOLYLINE"), o.layer);
            g << "100"
              << "AcDbPolyline"
              << "90" << QString::number(o.points.size()) << "70" << (o.closed ? "1" : "0");
            for (const QPointF& p : o.points) {
                g << "10" << QString::number(p.x(), 'g', 17) << "20"
                  << QString::number(p.y(), 'g', 17);
            }
            break;
        case DrawingObject::Kind::OldPolyline:
            common(QStringLiteral("POLYLINE"), o.layer);
            g << "100"
              << "AcDb2dPolyline"
              << "66"
              << "1"
              << "10"
              << "0"
              << "20"
              << "0"
              << "30"
              << "0"
              << "70" << (o.closed ? "1" : "0");
            for (const QPointF& p : o.points) {
                common(QStringLiteral("VERTEX"), o.layer);
                g << "100"
                  << "AcDbVertex"
                  << "100"
                  << "AcDb2dVertex"
                  << "10" << QString::number(p.x(), 'g', 17) << "20"
                  << QString::number(p.y(), 'g', 17) << "30"
                  << "0";
            }
            common(QStringLiteral("SEQEND"), o.layer);
            break;
        case DrawingObject::Kind::Text:
            common(QStringLiteral("TEXT"), o.layer);
            g << "100"
              << "AcDbText"
              << "10" << QString::number(o.points.value(0).x()) << "20"
              << QString::number(o.points.value(0).y()) << "30"
              << "0"
              << "40"
              << "2"
              << "1" << o.text;
            break;
        }
    }
    g << "0"
      << "ENDSEC"
      << "0"
      << "EOF";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw std::runtime_error("drawing not written");
    }
    file.write(codePage1251(g.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}

QByteArray nestedBlocksDrawing(int levels, int copies) {
    QByteArray out;
    const auto pair = [&out](int code, const QByteArray& value) {
        out += QByteArray::number(code) + '\n' + value + '\n';
    };
    const auto block = [&](int level) {
        const QByteArray name = "B" + QByteArray::number(level);
        pair(0, "BLOCK");
        pair(8, "0");
        pair(2, name);
        pair(70, "0");
        for (const int code : {10, 20, 30}) {
            pair(code, "0");
        }
        pair(3, name);
    };
    const auto insert = [&](int level, int x) {
        pair(0, "INSERT");
        pair(8, "0");
        pair(2, "B" + QByteArray::number(level));
        pair(10, QByteArray::number(x));
        pair(20, "0");
        pair(30, "0");
    };
    pair(0, "SECTION");
    pair(2, "HEADER");
    pair(0, "ENDSEC");
    pair(0, "SECTION");
    pair(2, "BLOCKS");
    block(0);
    pair(0, "LWPOLYLINE");
    pair(8, "0");
    pair(90, "4");
    pair(70, "1");
    for (const auto& [x, y] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
        pair(10, QByteArray::number(x));
        pair(20, QByteArray::number(y));
    }
    pair(0, "ENDBLK");
    for (int level = 1; level < levels; ++level) {
        block(level);
        for (int i = 0; i < copies; ++i) {
            insert(level - 1, 2 * i);
        }
        pair(0, "ENDBLK");
    }
    pair(0, "ENDSEC");
    pair(0, "SECTION");
    pair(2, "ENTITIES");
    insert(levels - 1, 0);
    pair(0, "ENDSEC");
    pair(0, "EOF");
    return out;
}

void writeGis(const QString& path, const QString& driverName, const QList<GisLayer>& layers) {
    planimport::registerGdal();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName.toUtf8().constData());
    if (!driver) {
        throw std::runtime_error("no such GDAL driver");
    }
    GDALDatasetUniquePtr ds(
        driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds) {
        throw std::runtime_error("GIS file not created");
    }
    for (const GisLayer& l : layers) {
        std::unique_ptr<OGRSpatialReference> srs;
        if (l.epsg || !l.wkt.isEmpty()) {
            srs = std::make_unique<OGRSpatialReference>();
            if (l.epsg) {
                srs->importFromEPSG(*l.epsg);
            } else {
                srs->importFromWkt(l.wkt.toUtf8().constData());
            }
            srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
        // Shapefiles of Russian GIS users keep their texts in code page 1251, named in .cpg.
        const char* shapefileOptions[] = {"ENCODING=CP1251", nullptr};
        OGRLayer* layer = ds->CreateLayer(l.name.toUtf8().constData(), srs.get(), wkbUnknown,
                                          driverName == QLatin1String("ESRI Shapefile")
                                              ? const_cast<char**>(shapefileOptions)
                                              : nullptr);
        if (!layer) {
            throw std::runtime_error("layer not created");
        }
        for (const GisField& f : l.fields) {
            OGRFieldDefn defn(f.name.toUtf8().constData(),
                              f.type == GisField::Type::Integer ? OFTInteger
                              : f.type == GisField::Type::Real  ? OFTReal
                                                                : OFTString);
            layer->CreateField(&defn);
        }
        for (const GisFeature& f : l.features) {
            OGRFeature feature(layer->GetLayerDefn());
            OGRGeometry* shape = nullptr;
            const QByteArray wkt = f.wkt.toUtf8();
            if (OGRGeometryFactory::createFromWkt(wkt.constData(), nullptr, &shape) !=
                OGRERR_NONE) {
                throw std::runtime_error("bad WKT in a fixture");
            }
            feature.SetGeometryDirectly(shape);
            for (int i = 0; i < f.values.size(); ++i) {
                const QVariant& v = f.values[i];
                if (v.isNull()) {
                    continue;
                }
                switch (l.fields[i].type) {
                case GisField::Type::Integer:
                    feature.SetField(i, v.toInt());
                    break;
                case GisField::Type::Real:
                    feature.SetField(i, v.toDouble());
                    break;
                case GisField::Type::Text:
                    feature.SetField(i, v.toString().toUtf8().constData());
                    break;
                }
            }
            if (layer->CreateFeature(&feature) != OGRERR_NONE) {
                throw std::runtime_error("feature not written");
            }
        }
    }
}

} // namespace kelmo::testing
