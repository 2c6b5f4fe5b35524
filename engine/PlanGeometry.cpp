#include "engine/PlanGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

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

// Twice the signed area of the triangle a, b, c: positive when it turns left.
double turn(PlanPoint a, PlanPoint b, PlanPoint c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

int sign(double v) {
    return (v > 0) - (v < 0);
}

// Whether c, known to lie on the line through a and b, lies within the segment's box.
bool withinBox(PlanPoint a, PlanPoint b, PlanPoint c) {
    return std::min(a.x, b.x) <= c.x && c.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= c.y &&
           c.y <= std::max(a.y, b.y);
}

// Whether the closed segments a–b and c–d have a point in common.
bool segmentsMeet(PlanPoint a, PlanPoint b, PlanPoint c, PlanPoint d) {
    const int d1 = sign(turn(c, d, a));
    const int d2 = sign(turn(c, d, b));
    const int d3 = sign(turn(a, b, c));
    const int d4 = sign(turn(a, b, d));
    if (d1 * d2 < 0 && d3 * d4 < 0) {
        return true;
    }
    return (d1 == 0 && withinBox(c, d, a)) || (d2 == 0 && withinBox(c, d, b)) ||
           (d3 == 0 && withinBox(a, b, c)) || (d4 == 0 && withinBox(a, b, d));
}

// Neighbouring sides a–b and b–c share b; they overlap when c turns straight back along
// a–b (or a lies on b–c).
bool neighboursOverlap(PlanPoint a, PlanPoint b, PlanPoint c) {
    if (turn(a, b, c) != 0) {
        return false;
    }
    return (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y) < 0;
}

bool allOnOneLine(const StructureOutline& outline) {
    // Measured from the first vertex along the line to the farthest one, with a tolerance
    // relative to the outline's size so that large projected coordinates do not defeat it.
    const PlanPoint origin = outline.front();
    PlanPoint far = origin;
    double farthest = 0;
    for (const PlanPoint& p : outline) {
        const double d = std::hypot(p.x - origin.x, p.y - origin.y);
        if (d > farthest) {
            farthest = d;
            far = p;
        }
    }
    if (farthest == 0) {
        return true;
    }
    const double tolerance = farthest * 1e-9;
    return std::all_of(outline.begin(), outline.end(), [&](const PlanPoint& p) {
        return std::abs(turn(origin, far, p)) / farthest <= tolerance;
    });
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
    if (outline.empty()) {
        return inside;
    }
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
    if (outline.empty()) {
        return std::numeric_limits<double>::infinity();
    }
    double nearest = distanceToSegment(p, outline.back(), outline.front());
    for (std::size_t i = 0; i + 1 < outline.size(); ++i) {
        nearest = std::min(nearest, distanceToSegment(p, outline[i], outline[i + 1]));
    }
    if (nearest == 0 || isInsideOutline(p, outline)) {
        return 0;
    }
    return nearest;
}

double outlineArea(const StructureOutline& outline) {
    if (outline.size() < kMinOutlineVertices) {
        return 0;
    }
    // Measured from the first vertex: large projected coordinates keep their digits.
    const PlanPoint o = outline.front();
    double twice = 0;
    for (std::size_t i = 1; i + 1 < outline.size(); ++i) {
        twice += turn(o, outline[i], outline[i + 1]);
    }
    return std::abs(twice) / 2;
}

std::optional<std::string> outlineDefect(const StructureOutline& outline) {
    const std::size_t n = outline.size();
    if (n < kMinOutlineVertices) {
        return "у контура меньше трёх вершин";
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (outline[i] == outline[(i + 1) % n]) {
            return "две вершины контура подряд совпадают (вершины " + std::to_string(i + 1) +
                   " и " + std::to_string((i + 1) % n + 1) + ")";
        }
    }
    if (allOnOneLine(outline)) {
        return "контур нулевой площади: все вершины лежат на одной прямой";
    }
    for (std::size_t i = 0; i < n; ++i) {
        const PlanPoint a = outline[i];
        const PlanPoint b = outline[(i + 1) % n];
        if (neighboursOverlap(a, b, outline[(i + 2) % n])) {
            return "стороны контура накладываются друг на друга (у вершины " +
                   std::to_string((i + 1) % n + 1) + ")";
        }
        // Sides that do not share a vertex must not meet at all.
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) {
                continue; // the last side and the first share vertex 1
            }
            if (segmentsMeet(a, b, outline[j], outline[(j + 1) % n])) {
                return "стороны контура пересекаются (сторона " + std::to_string(i + 1) + "–" +
                       std::to_string(i + 2) + " и сторона " + std::to_string(j + 1) + "–" +
                       std::to_string((j + 1) % n + 1) + ")";
            }
        }
    }
    return std::nullopt;
}

std::string outlineDefectMessage(int structureNumber, const std::string& defect) {
    return "Контур сооружения №" + std::to_string(structureNumber) + " не принят: " + defect + ".";
}

PlanPoint labelPoint(const StructureOutline& outline) {
    if (outline.empty()) {
        return {};
    }
    const auto [low, high] = std::minmax_element(
        outline.begin(), outline.end(), [](PlanPoint a, PlanPoint b) { return a.y < b.y; });
    const double y = (low->y + high->y) / 2;
    std::vector<double> crossings;
    for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        const PlanPoint& a = outline[i];
        const PlanPoint& b = outline[j];
        if ((a.y > y) != (b.y > y)) {
            crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
        }
    }
    std::sort(crossings.begin(), crossings.end());
    PlanPoint best = outline.front();
    double widest = -1;
    // By the even-odd rule the stretches between crossings 1–2, 3–4, … are inside.
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
        const double width = crossings[i + 1] - crossings[i];
        if (width > widest) {
            widest = width;
            best = {(crossings[i] + crossings[i + 1]) / 2, y};
        }
    }
    return best;
}

StructureOutline withoutRepeatedVertices(const StructureOutline& outline) {
    StructureOutline out;
    out.reserve(outline.size());
    for (const PlanPoint& p : outline) {
        if (out.empty() || !(out.back() == p)) {
            out.push_back(p);
        }
    }
    while (out.size() > 1 && out.back() == out.front()) {
        out.pop_back();
    }
    return out;
}

} // namespace kelmo
