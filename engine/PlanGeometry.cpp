#include "engine/PlanGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kelmo {

namespace {

double distanceToSegment(PlanPoint p, PlanPoint a, PlanPoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = 0;
    if (lengthSquared > 0) {
        t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared, 0.0, 1.0);
    }
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

} // namespace

bool isWithinPlan(PlanPoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::abs(p.x) <= kMaxPlanCoordinate &&
           std::abs(p.y) <= kMaxPlanCoordinate;
}

bool isWithinPlan(const StructureOutline& outline) {
    return std::all_of(outline.begin(), outline.end(),
                       [](const PlanPoint& p) { return isWithinPlan(p); });
}

bool isInsideOutline(PlanPoint p, const StructureOutline& outline) {
    bool inside = false;
    for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        const PlanPoint& a = outline[i];
        const PlanPoint& b = outline[j];
        if ((a.y > p.y) != (b.y > p.y)) {
            const double crossingX = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (p.x < crossingX) {
                inside = !inside;
            }
        }
    }
    return inside;
}

double distanceToOutline(PlanPoint p, const StructureOutline& outline) {
    double nearest = distanceToSegment(p, outline[3], outline[0]);
    for (std::size_t i = 0; i + 1 < outline.size(); ++i) {
        nearest = std::min(nearest, distanceToSegment(p, outline[i], outline[i + 1]));
    }
    if (nearest == 0 || isInsideOutline(p, outline)) {
        return 0;
    }
    return nearest;
}

} // namespace kelmo
