#include "windows/plan/StructureOutline.h"

#include "core/NumberText.h"
#include "data/SituationPlan.h"
#include "engine/PlanGeometry.h"

namespace kelmo::plan {

QPolygonF outlineOf(const db::StructureRecord& record) {
    QPolygonF outline;
    for (std::size_t i = 0; i < record.corners.size(); i += 2) {
        const auto x = numtext::parse(record.corners[i]);
        const auto y = numtext::parse(record.corners[i + 1]);
        if (!x || !y) {
            return {};
        }
        outline << QPointF(*x, *y);
    }
    return outline;
}

bool setOutline(db::StructureRecord& record, const QPolygonF& outline) {
    if (static_cast<std::size_t>(outline.size()) * 2 != record.corners.size()) {
        return false;
    }
    for (qsizetype i = 0; i < outline.size(); ++i) {
        record.corners[2 * i] = numtext::roundTrip(outline[i].x());
        record.corners[2 * i + 1] = numtext::roundTrip(outline[i].y());
    }
    return true;
}

std::optional<map::MapStructure> mapStructureOf(const db::StructureRecord& record) {
    const QPolygonF outline = outlineOf(record);
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
