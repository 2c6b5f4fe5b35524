#pragma once

#include "data/SitePlan.h"
#include "map/PlanMapModel.h"

#include <QPolygonF>

#include <optional>

namespace kelmo::plan {

// A stored structure's outline as the map edits it, whatever its number of vertices.

// The outline of the record, or an empty polygon when a corner is not a number.
QPolygonF outlinePolygon(const db::StructureRecord& record);

// The record with the outline put into it: four vertices as the corner fields, any other
// number as its vertex rows.
void setOutlinePolygon(db::StructureRecord& record, const QPolygonF& outline);

// The record as the editor's map draws it; nullopt for one that cannot be placed (a corner
// not a number, or beyond the plan's range), which the map leaves off.
std::optional<map::MapStructure> mapStructureOf(const db::StructureRecord& record);

} // namespace kelmo::plan
