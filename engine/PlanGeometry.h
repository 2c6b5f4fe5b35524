#pragma once

#include <array>

namespace kelmo {

// The largest coordinate a plan takes, in metres either side of its origin. Every projected
// coordinate system fits inside, zone-prefixed Gauss–Krüger eastings included.
inline constexpr double kMaxPlanCoordinate = 1e8;

// A point of a site plan, in metres.
struct PlanPoint {
    double x = 0;
    double y = 0;
};

// A structure as drawn on a plan: corners 1 → 2 → 3 → 4 and back to 1.
using StructureOutline = std::array<PlanPoint, 4>;

// True when every coordinate is a finite number within the plan's range.
bool isWithinPlan(PlanPoint p);
bool isWithinPlan(const StructureOutline& outline);

// True when the point lies inside the outline or on it. A self-crossing outline counts by the
// even-odd rule, so each of the two triangles of a "bow tie" is inside.
bool isInsideOutline(PlanPoint p, const StructureOutline& outline);

// Shortest distance in metres from the point to the outline's four sides (segments, not only
// corners); 0 when the point lies inside or on the outline.
double distanceToOutline(PlanPoint p, const StructureOutline& outline);

} // namespace kelmo
