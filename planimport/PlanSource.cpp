#include "planimport/PlanSource.h"

#include "core/NumberText.h"
#include "data/SitePlan.h"
#include "planimport/DrawingCheck.h"
#include "planimport/GdalSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <map>
#include <memory>

namespace kelmo::planimport {

namespace {

// The field of a drawing's objects that names their drawing layer.
const char* const kDrawingLayerField = "Layer";

QString fromGdal(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

// Whether GDAL would read the file as a DXF drawing: by its name, or by its first bytes
// whatever its name.
bool readAsDrawing(const QString& path) {
    if (QFileInfo(path).suffix().compare(QLatin1String("dxf"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const char* const drawingDriver[] = {"DXF", nullptr};
    return GDALIdentifyDriverEx(path.toUtf8().constData(), GDAL_OF_VECTOR, drawingDriver,
                                nullptr) != nullptr;
}

GDALDatasetUniquePtr openVector(const QString& path, ReadProgress* progress) {
    registerGdal();
    const QFileInfo info(path);
    if (!info.exists()) {
        throw PlanSourceError(QStringLiteral("Файл «%1» не найден.")
                                  .arg(QDir::toNativeSeparators(path))
                                  .toStdString());
    }
    GdalErrorCapture capture;
    if (info.isFile() && readAsDrawing(path)) {
        checkDrawing(path);
    }
    GDALDatasetUniquePtr ds(GDALDataset::Open(
        path.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!ds || ds->GetLayerCount() == 0) {
        const QString detail = GdalErrorCapture::lastError();
        throw PlanSourceError(
            QStringLiteral("Файл «%1» не читается как генплан (DXF, Shapefile, GeoPackage, "
                           "GeoJSON)%2.")
                .arg(QDir::toNativeSeparators(path),
                     detail.isEmpty() ? QString() : QStringLiteral(": %1").arg(detail))
                .toStdString());
    }
    if (progress) {
        progress->step();
    }
    return ds;
}

bool isDrawing(GDALDataset& ds) {
    return QLatin1String(ds.GetDriver()->GetDescription()) == QLatin1String("DXF");
}

QStringList fieldNames(OGRLayer& layer) {
    QStringList out;
    OGRFeatureDefn* defn = layer.GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i) {
        out << fromGdal(defn->GetFieldDefn(i)->GetNameRef());
    }
    return out;
}

// The drawing layer of a drawing's object.
QString drawingLayerOf(OGRFeature& feature, int layerField) {
    return layerField >= 0 ? fromGdal(feature.GetFieldAsString(layerField)) : QString();
}

// A whole number of a field: nullopt when it is not one or lies outside [min, max]; an unset
// field gives `unset`.
std::optional<int> wholeField(OGRFeature& feature, int field, int min, int max,
                              std::optional<int> unset) {
    if (!feature.IsFieldSetAndNotNull(field)) {
        return unset;
    }
    double value = 0;
    switch (feature.GetFieldDefnRef(field)->GetType()) {
    case OFTInteger:
    case OFTInteger64:
        value = static_cast<double>(feature.GetFieldAsInteger64(field));
        break;
    case OFTReal:
        value = feature.GetFieldAsDouble(field);
        break;
    default: {
        const QString text = fromGdal(feature.GetFieldAsString(field)).trimmed();
        if (text.isEmpty()) {
            return unset;
        }
        const auto parsed = numtext::parse(text, QLocale::c());
        if (!parsed) {
            return std::nullopt;
        }
        value = *parsed;
    }
    }
    if (!std::isfinite(value) || std::floor(value) != value || value < min || value > max) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

QString fieldText(OGRFeature& feature, int field) {
    return feature.IsFieldSetAndNotNull(field) ? fromGdal(feature.GetFieldAsString(field))
                                               : QString();
}

// The ring's points, each once: no repeated neighbours, the first not repeated at the end.
std::vector<PlanPoint> ringPoints(const OGRSimpleCurve& ring) {
    std::vector<PlanPoint> out;
    out.reserve(static_cast<std::size_t>(ring.getNumPoints()));
    for (int i = 0; i < ring.getNumPoints(); ++i) {
        const PlanPoint p{ring.getX(i), ring.getY(i)};
        if (out.empty() || out.back().x != p.x || out.back().y != p.y) {
            out.push_back(p);
        }
    }
    while (out.size() > 1 && out.front().x == out.back().x && out.front().y == out.back().y) {
        out.pop_back();
    }
    return out;
}

double twiceArea(const std::vector<PlanPoint>& ring) {
    double sum = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const PlanPoint& a = ring[i];
        const PlanPoint& b = ring[(i + 1) % ring.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

// The coordinate system of a layer and what becomes of it.
struct LayerCrs {
    std::unique_ptr<OGRSpatialReference> source; // null: none given
    bool geographic = false;
};

LayerCrs layerCrs(OGRLayer& layer, const QString& layerName) {
    LayerCrs out;
    const OGRSpatialReference* srs = layer.GetSpatialRef();
    if (!srs || srs->IsEmpty()) {
        return out;
    }
    out.source = std::make_unique<OGRSpatialReference>(*srs);
    out.source->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    out.geographic = out.source->IsGeographic();
    if (!out.geographic) {
        const char* unitName = nullptr;
        const double metres = out.source->GetLinearUnits(&unitName);
        if (std::abs(metres - 1.0) > 1e-9) {
            throw PlanSourceError(
                QStringLiteral("Координаты слоя «%1» не в метрах (%2): план местности ведётся в "
                               "метрах. Пересчитайте слой в систему координат в метрах.")
                    .arg(layerName, fromGdal(unitName))
                    .toStdString());
        }
    }
    return out;
}

OGRLayer& layerByName(GDALDataset& ds, const QString& name) {
    OGRLayer* layer = ds.GetLayerByName(name.toUtf8().constData());
    if (!layer) {
        QStringList names;
        for (int i = 0; i < ds.GetLayerCount(); ++i) {
            names << QStringLiteral("«%1»").arg(fromGdal(ds.GetLayer(i)->GetName()));
        }
        throw PlanSourceError(QStringLiteral("В файле нет слоя «%1». Слои файла: %2.")
                                  .arg(name, names.join(QStringLiteral(", ")))
                                  .toStdString());
    }
    return *layer;
}

int fieldIndex(OGRLayer& layer, const QString& field, const QString& layerName) {
    if (field.isEmpty()) {
        return -1;
    }
    const int index = layer.GetLayerDefn()->GetFieldIndex(field.toUtf8().constData());
    if (index < 0) {
        QStringList names = fieldNames(layer);
        for (QString& n : names) {
            n = QStringLiteral("«%1»").arg(n);
        }
        throw PlanSourceError(
            QStringLiteral("В слое «%1» нет поля «%2». Поля слоя: %3.")
                .arg(layerName, field,
                     names.isEmpty() ? QStringLiteral("нет") : names.join(QStringLiteral(", ")))
                .toStdString());
    }
    return index;
}

bool isTextObject(OGRFeature& feature) {
    const int subclasses = feature.GetFieldIndex("SubClasses");
    if (subclasses >= 0) {
        const QString s = fromGdal(feature.GetFieldAsString(subclasses));
        if (s.contains(QLatin1String("AcDbText")) || s.contains(QLatin1String("AcDbMText"))) {
            return true;
        }
    }
    const int text = feature.GetFieldIndex("Text");
    if (text >= 0 && feature.IsFieldSetAndNotNull(text) &&
        !fromGdal(feature.GetFieldAsString(text)).isEmpty()) {
        return true;
    }
    const char* style = feature.GetStyleString();
    return style && QByteArray(style).startsWith("LABEL");
}

} // namespace

SourceContents inspectSource(const QString& path, ReadProgress* progress) {
    GDALDatasetUniquePtr ds = openVector(path, progress);
    SourceContents out;
    out.format = fromGdal(ds->GetDriver()->GetDescription());
    out.drawing = isDrawing(*ds);
    GdalErrorCapture capture;
    if (out.drawing) {
        // The drawing's layers in the order of their first object.
        OGRLayer* layer = ds->GetLayer(0);
        const QStringList fields = fieldNames(*layer);
        const int layerField = layer->GetLayerDefn()->GetFieldIndex(kDrawingLayerField);
        std::map<QString, qsizetype> position;
        for (const auto& feature : *layer) {
            if (progress) {
                progress->step();
            }
            const QString name = drawingLayerOf(*feature, layerField);
            auto it = position.find(name);
            if (it == position.end()) {
                it = position.emplace(name, out.layers.size()).first;
                out.layers.append({name, fields, 0});
            }
            ++out.layers[it->second].features;
        }
        return out;
    }
    for (int i = 0; i < ds->GetLayerCount(); ++i) {
        if (progress) {
            progress->step();
        }
        OGRLayer* layer = ds->GetLayer(i);
        out.layers.append(
            {fromGdal(layer->GetName()), fieldNames(*layer), layer->GetFeatureCount(TRUE)});
    }
    return out;
}

int utmZoneEpsg(double longitude, double latitude) {
    double lon = std::fmod(longitude + 180.0, 360.0);
    if (lon < 0) {
        lon += 360.0;
    }
    const int zone = std::clamp(static_cast<int>(std::floor(lon / 6.0)) + 1, 1, 60);
    return (latitude >= 0 ? 32600 : 32700) + zone;
}

SourceReading readPlanSource(const QString& path, const FieldMapping& mapping,
                             ReadProgress* progress) {
    GDALDatasetUniquePtr ds = openVector(path, progress);
    const bool drawing = isDrawing(*ds);
    GdalErrorCapture capture;

    OGRLayer* layer = nullptr;
    QString layerName = mapping.layer;
    QString drawingLayer; // the drawing layer to read; empty: all of them
    if (drawing) {
        layer = ds->GetLayer(0);
        layerName = fromGdal(layer->GetName());
        if (!mapping.layer.isEmpty()) {
            drawingLayer = mapping.layer;
            bool found = false;
            const int layerField = layer->GetLayerDefn()->GetFieldIndex(kDrawingLayerField);
            QStringList names;
            for (const auto& feature : *layer) {
                if (progress) {
                    progress->step();
                }
                const QString name = drawingLayerOf(*feature, layerField);
                found = found || name == drawingLayer;
                if (!names.contains(name)) {
                    names << name;
                }
            }
            layer->ResetReading();
            if (!found) {
                for (QString& n : names) {
                    n = QStringLiteral("«%1»").arg(n);
                }
                throw PlanSourceError(QStringLiteral("В чертеже нет слоя «%1». Слои чертежа: %2.")
                                          .arg(drawingLayer, names.join(QStringLiteral(", ")))
                                          .toStdString());
            }
            layerName = drawingLayer;
        }
    } else if (!mapping.layer.isEmpty()) {
        layer = &layerByName(*ds, mapping.layer);
    } else if (ds->GetLayerCount() == 1) {
        layer = ds->GetLayer(0);
        layerName = fromGdal(layer->GetName());
    } else {
        QStringList names;
        for (int i = 0; i < ds->GetLayerCount(); ++i) {
            names << QStringLiteral("«%1»").arg(fromGdal(ds->GetLayer(i)->GetName()));
        }
        throw PlanSourceError(QStringLiteral("В файле несколько слоёв (%1): выберите слой.")
                                  .arg(names.join(QStringLiteral(", ")))
                                  .toStdString());
    }

    const int numberField = fieldIndex(*layer, mapping.numberField, layerName);
    const int kindField = fieldIndex(*layer, mapping.kindField, layerName);
    const int staffField = fieldIndex(*layer, mapping.staffField, layerName);
    const int storeysField = fieldIndex(*layer, mapping.storeysField, layerName);
    const int layerField = drawing ? layer->GetLayerDefn()->GetFieldIndex(kDrawingLayerField) : -1;
    LayerCrs crs = drawing ? LayerCrs{} : layerCrs(*layer, layerName);

    SourceReading out;
    int feature = 0;
    layer->ResetReading();
    for (const auto& object : *layer) {
        if (progress) {
            progress->step();
        }
        if (drawing && !drawingLayer.isEmpty() &&
            drawingLayerOf(*object, layerField) != drawingLayer) {
            continue;
        }
        ++feature;
        const auto skip = [&](SkipReason reason) {
            out.skipped.append({feature, reason});
        };
        const OGRGeometry* shape = object->GetGeometryRef();
        if (!shape || shape->IsEmpty()) {
            skip(isTextObject(*object) ? SkipReason::Text : SkipReason::NoGeometry);
            continue;
        }
        std::unique_ptr<OGRGeometry> linear;
        if (shape->hasCurveGeometry()) {
            linear.reset(shape->getLinearGeometry());
            shape = linear.get();
            if (!shape) {
                skip(SkipReason::OtherGeometry);
                continue;
            }
        }

        // The rings that become outlines, each a part of the object.
        std::vector<std::vector<PlanPoint>> rings;
        switch (wkbFlatten(shape->getGeometryType())) {
        case wkbPoint:
        case wkbMultiPoint:
            skip(isTextObject(*object) ? SkipReason::Text : SkipReason::Point);
            continue;
        case wkbLineString: {
            const OGRLineString* line = shape->toLineString();
            if (!line->get_IsClosed()) {
                skip(SkipReason::OpenLine);
                continue;
            }
            rings.push_back(ringPoints(*line));
            break;
        }
        case wkbMultiLineString:
            skip(SkipReason::OpenLine);
            continue;
        case wkbPolygon:
        case wkbMultiPolygon: {
            if (drawing) {
                // A hatch or a solid fill: the building is its closed polyline.
                skip(SkipReason::OtherGeometry);
                continue;
            }
            const auto addPolygon = [&](const OGRPolygon& polygon) {
                if (const OGRLinearRing* ring = polygon.getExteriorRing()) {
                    rings.push_back(ringPoints(*ring));
                    out.holes += polygon.getNumInteriorRings();
                }
            };
            if (wkbFlatten(shape->getGeometryType()) == wkbPolygon) {
                addPolygon(*shape->toPolygon());
            } else {
                for (const OGRPolygon* part : *shape->toMultiPolygon()) {
                    addPolygon(*part);
                }
            }
            break;
        }
        default:
            skip(SkipReason::OtherGeometry);
            continue;
        }
        std::erase_if(rings, [](const std::vector<PlanPoint>& r) { return r.size() < 3; });
        if (rings.empty()) {
            skip(SkipReason::Degenerate);
            continue;
        }

        SourceOutline outline;
        outline.feature = feature;
        const auto refuse = [&](const QString& reason) {
            out.refused.append({feature, reason});
        };
        if (numberField >= 0) {
            outline.number =
                wholeField(*object, numberField, 1, db::kMaxStructureNumber, std::nullopt);
            if (!outline.number) {
                refuse(QStringLiteral("номер «%1» — нужно целое число от 1 до %2")
                           .arg(fieldText(*object, numberField))
                           .arg(db::kMaxStructureNumber));
                continue;
            }
            if (rings.size() > 1) {
                refuse(QStringLiteral("многоугольник из %1 частей с одним номером %2: разделите "
                                      "его на отдельные объекты")
                           .arg(rings.size())
                           .arg(*outline.number));
                continue;
            }
        }
        if (kindField >= 0) {
            outline.kind = fieldText(*object, kindField).trimmed();
        }
        bool good = true;
        for (const auto& [field, target, what] :
             {std::tuple{staffField, &outline.staff, QStringLiteral("число сотрудников")},
              std::tuple{storeysField, &outline.storeys, QStringLiteral("этажность")}}) {
            if (field < 0) {
                continue;
            }
            const auto value = wholeField(*object, field, 0, 1000000, 0);
            if (!value) {
                refuse(QStringLiteral("%1 «%2» — нужно целое число, не меньше 0")
                           .arg(what, fieldText(*object, field)));
                good = false;
                break;
            }
            *target = *value;
        }
        if (!good) {
            continue;
        }
        for (std::size_t i = 0; i < rings.size(); ++i) {
            SourceOutline part = outline;
            part.part = rings.size() > 1 ? static_cast<int>(i + 1) : 0;
            part.vertices = std::move(rings[i]);
            out.outlines.append(std::move(part));
        }
    }

    // Longitude and latitude become metres of the UTM zone of the outlines' centre.
    if (crs.source && crs.geographic && !out.outlines.isEmpty()) {
        double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
        for (const SourceOutline& o : out.outlines) {
            for (const PlanPoint& p : o.vertices) {
                minX = std::min(minX, p.x);
                maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y);
                maxY = std::max(maxY, p.y);
            }
        }
        const int zone = utmZoneEpsg((minX + maxX) / 2, (minY + maxY) / 2);
        OGRSpatialReference utm;
        utm.importFromEPSG(zone);
        utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        std::unique_ptr<OGRCoordinateTransformation> transform(
            OGRCreateCoordinateTransformation(crs.source.get(), &utm));
        if (!transform) {
            throw PlanSourceError(QStringLiteral("Координаты слоя «%1» не пересчитываются в "
                                                 "систему EPSG:%2: %3")
                                      .arg(layerName)
                                      .arg(zone)
                                      .arg(GdalErrorCapture::lastError())
                                      .toStdString());
        }
        for (SourceOutline& o : out.outlines) {
            for (PlanPoint& p : o.vertices) {
                if (!transform->Transform(1, &p.x, &p.y)) {
                    throw PlanSourceError(
                        QStringLiteral("Объект %1 слоя «%2»: точка (%3; %4) не пересчитывается "
                                       "в систему EPSG:%5.")
                            .arg(o.feature)
                            .arg(layerName, numtext::roundTrip(p.x), numtext::roundTrip(p.y))
                            .arg(zone)
                            .toStdString());
                }
            }
        }
        out.epsg = zone;
        out.projectedToUtm = true;
        out.crsDescription = QStringLiteral("EPSG:%1 — %2 (пересчитано из долготы и широты "
                                            "системы «%3»)")
                                 .arg(zone)
                                 .arg(fromGdal(utm.GetName()), fromGdal(crs.source->GetName()));
    } else if (crs.source && !crs.geographic) {
        out.epsg = epsgOf(*crs.source);
        out.crsDescription =
            out.epsg
                ? QStringLiteral("EPSG:%1 — %2").arg(*out.epsg).arg(fromGdal(crs.source->GetName()))
                : QStringLiteral("«%1» без кода EPSG: план будет в местных координатах (м)")
                      .arg(fromGdal(crs.source->GetName()));
    } else {
        out.crsDescription = QStringLiteral("местная система координат (м)");
    }

    // What is left of the outlines after the projection: no shape of zero area, nothing out
    // of the plan's range.
    QList<SourceOutline> kept;
    kept.reserve(out.outlines.size());
    for (SourceOutline& o : out.outlines) {
        bool inRange = true;
        for (const PlanPoint& p : o.vertices) {
            inRange = inRange && isWithinPlan(p);
        }
        if (!inRange) {
            out.refused.append(
                {o.feature, QStringLiteral("координаты вне пределов ±100 000 000 м")});
            continue;
        }
        if (twiceArea(o.vertices) == 0) {
            out.skipped.append({o.feature, SkipReason::Degenerate});
            continue;
        }
        kept.append(std::move(o));
    }
    out.outlines = std::move(kept);
    return out;
}

QString skippedSummary(const QList<SkippedObject>& skipped) {
    if (skipped.isEmpty()) {
        return {};
    }
    std::map<SkipReason, int> counts;
    for (const SkippedObject& s : skipped) {
        ++counts[s.reason];
    }
    const auto name = [](SkipReason r) {
        switch (r) {
        case SkipReason::OpenLine:
            return QStringLiteral("открытые линии");
        case SkipReason::Text:
            return QStringLiteral("тексты");
        case SkipReason::Point:
            return QStringLiteral("точки и блоки");
        case SkipReason::NoGeometry:
            return QStringLiteral("объекты без геометрии");
        case SkipReason::Degenerate:
            return QStringLiteral("контуры меньше чем из трёх точек или нулевой площади");
        case SkipReason::OtherGeometry:
            return QStringLiteral("прочие объекты (штриховки, заливки, наборы геометрий)");
        }
        return QString();
    };
    QStringList parts;
    for (const auto& [reason, count] : counts) {
        parts << QStringLiteral("%1 — %2").arg(name(reason)).arg(count);
    }
    return QStringLiteral("Пропущено объектов: %1 (%2).")
        .arg(skipped.size())
        .arg(parts.join(QStringLiteral(", ")));
}

QString refusalText(const QList<RefusedObject>& refused, int limit) {
    QStringList lines;
    for (const RefusedObject& r : refused) {
        if (lines.size() == limit) {
            lines << QStringLiteral("… и ещё %1").arg(refused.size() - limit);
            break;
        }
        lines << QStringLiteral("объект %1: %2").arg(r.feature).arg(r.reason);
    }
    return lines.join(u'\n');
}

} // namespace kelmo::planimport
