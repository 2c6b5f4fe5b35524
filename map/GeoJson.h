#pragma once

#include "map/PlanMapModel.h"

#include <QByteArray>

namespace kelmo::map {

// The map as a GeoJSON FeatureCollection in the plan's own metric coordinates (x east,
// y north, metres; not longitude and latitude): each structure a Polygon with its number,
// type, kind, storeys, staff and, when computed, distance, ΔP, impulse and degree; the charge
// a Point; each zone boundary of the three criteria and each pressure circle a Polygon of
// `segments` sides approximating the circle. Rings are closed (last point = first).
QByteArray planGeoJson(const PlanMapModel& model, int segments = 72);

} // namespace kelmo::map
