#include "map/GeoJson.h"

#include "map/MapStyle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <numbers>

namespace kelmo::map {

namespace {

QJsonArray position(QPointF p) {
    return QJsonArray{p.x(), p.y()};
}

QJsonObject polygon(const QPolygonF& ring) {
    QJsonArray points;
    for (const QPointF& p : ring) {
        points.append(position(p));
    }
    if (!ring.isEmpty() && ring.first() != ring.last()) {
        points.append(position(ring.first()));
    }
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("Polygon")},
                       {QStringLiteral("coordinates"), QJsonArray{points}}};
}

QPolygonF circle(QPointF centre, double radius, int segments) {
    QPolygonF ring;
    ring.reserve(segments + 1);
    for (int i = 0; i < segments; ++i) {
        const double angle = 2 * std::numbers::pi * i / segments;
        ring << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    ring << ring.first();
    return ring;
}

QJsonObject feature(const QJsonObject& geometry, const QJsonObject& properties) {
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("Feature")},
                       {QStringLiteral("geometry"), geometry},
                       {QStringLiteral("properties"), properties}};
}

} // namespace

QByteArray planGeoJson(const PlanMapModel& model, int segments) {
    segments = std::max(segments, 8);
    QJsonArray features;
    for (const MapStructure& s : model.structures) {
        QJsonObject p{{QStringLiteral("feature"), QStringLiteral("structure")},
                      {QStringLiteral("number"), s.number},
                      {QStringLiteral("type"), s.type},
                      {QStringLiteral("kind"), s.kind},
                      {QStringLiteral("storeys"), s.storeys},
                      {QStringLiteral("staff"), s.staff}};
        if (s.evaluated) {
            p.insert(QStringLiteral("distance"), s.distance);
            p.insert(QStringLiteral("deltaPkPa"), s.deltaPkPa);
            p.insert(QStringLiteral("impulse"), s.impulse);
            p.insert(QStringLiteral("degree"), s.degree ? QJsonValue(*s.degree) : QJsonValue());
            p.insert(QStringLiteral("degreeName"), degreeName(s.degree));
        }
        features.append(feature(polygon(s.outline), p));
    }
    if (model.charge) {
        const QJsonObject point{{QStringLiteral("type"), QStringLiteral("Point")},
                                {QStringLiteral("coordinates"), position(*model.charge)}};
        features.append(feature(point, {{QStringLiteral("feature"), QStringLiteral("charge")},
                                        {QStringLiteral("massTNT"), model.massTNT}}));
        if (model.hasZones) {
            static const char16_t* const criteria[] = {u"а", u"б", u"люди"};
            for (int j = 1; j <= 3; ++j) {
                for (int k = 1; k <= kZoneBoundaries; ++k) {
                    const double r = model.zoneRadius(static_cast<Criterion>(j), k);
                    if (r <= 0) {
                        continue;
                    }
                    features.append(
                        feature(polygon(circle(*model.charge, r, segments)),
                                {{QStringLiteral("feature"), QStringLiteral("zone")},
                                 {QStringLiteral("criterion"), QString::fromUtf16(criteria[j - 1])},
                                 {QStringLiteral("zone"), k},
                                 {QStringLiteral("radius"), r}}));
                }
            }
            for (const PressureCircle& c : model.pressures) {
                if (c.radius <= 0) {
                    continue;
                }
                features.append(feature(polygon(circle(*model.charge, c.radius, segments)),
                                        {{QStringLiteral("feature"), QStringLiteral("pressure")},
                                         {QStringLiteral("kPa"), c.kPa},
                                         {QStringLiteral("radius"), c.radius}}));
            }
        }
    }
    const QJsonObject collection{{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                                 {QStringLiteral("name"), model.planName},
                                 {QStringLiteral("features"), features}};
    return QJsonDocument(collection).toJson(QJsonDocument::Indented);
}

} // namespace kelmo::map
