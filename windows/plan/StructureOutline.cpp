#include "windows/plan/StructureOutline.h"

#include "data/SituationPlan.h"
#include "engine/PlanGeometry.h"

namespace kelmo::plan {

QPolygonF outlinePolygon(const db::StructureRecord& record) {
    QPolygonF polygon;
    if (const auto outline = db::outlineOf(record)) {
        for (const PlanPoint& p : *outline) {
            polygon << QPointF(p.x, p.y);
        }
    }
    return polygon;
}

void setOutlinePolygon(db::StructureRecord& record, const QPolygonF& outline) {
    StructureOutline vertices;
    vertices.reserve(static_cast<std::size_t>(outline.size()));
    for (const QPointF& p : outline) {
        vertices.push_back({p.x(), p.y()});
    }
    db::setOutline(record, vertices);
}

std::optional<map::MapStructure> mapStructureOf(const db::StructureRecord& record) {
    const QPolygonF outline = outlinePolygon(record);
    if (outline.size() < 3) {
        return std::nullopt;
    }
    for (const QPointF& p : outline) {
        if (!isWithinPlan(PlanPoint{p.x(), p.y()})) {
            return std::nullopt;
        }
    }
    map::MapStructure s;
    s.number = record.number;
    s.type = record.type;
    s.kind = record.kind;
    s.storeys = record.storeys;
    s.staff = staffFromText(record.staff).value_or(0);
    s.outline = outline;
    return s;
}

} // namespace kelmo::plan
