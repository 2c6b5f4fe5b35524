#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelmo {

// The largest coordinate a plan takes, in metres either side of its origin. Every projected
// coordinate system fits inside, zone-prefixed Gauss–Krüger eastings included.
inline constexpr double kMaxPlanCoordinate = 1e8;

// A point of a site plan, in metres.
struct PlanPoint {
    double x = 0;
    double y = 0;

    bool operator==(const PlanPoint&) const = default;
};

// A structure as drawn on a plan: its vertices in order, the last joined back to the first
// (the first vertex is not repeated at the end). A structure typed as four corners has the
// outline corner 1 → 2 → 3 → 4; other shapes have any number of vertices.
using StructureOutline = std::vector<PlanPoint>;

// The fewest vertices of an outline.
inline constexpr std::size_t kMinOutlineVertices = 3;

// True when every coordinate is a finite number within the plan's range.
bool isWithinPlan(PlanPoint p);
bool isWithinPlan(const StructureOutline& outline);

// True when the point lies inside the outline or on it. A self-crossing outline counts by the
// even-odd rule, so each of the two triangles of a "bow tie" is inside.
bool isInsideOutline(PlanPoint p, const StructureOutline& outline);

// Shortest distance in metres from the point to the outline's sides (segments, not only
// vertices); 0 when the point lies inside or on the outline. Infinity for an empty outline.
double distanceToOutline(PlanPoint p, const StructureOutline& outline);

// The area enclosed by the outline, m² (by the shoelace formula; positive either way round).
double outlineArea(const StructureOutline& outline);

// Why the outline cannot be a structure's, in Russian and lower case ("стороны контура
// пересекаются"), or nothing when it can: fewer than three vertices, two vertices in a row
// at one point, no area (all vertices on one line), or sides that cross or touch other than
// where neighbouring sides meet. Coordinates are not checked here (isWithinPlan does that).
std::optional<std::string> outlineDefect(const StructureOutline& outline);

// The message for a refused outline, naming the structure:
// "Контур сооружения №5 не принят: стороны контура пересекаются."
std::string outlineDefectMessage(int structureNumber, const std::string& defect);

// A point inside the outline to put its label on: the middle of the widest stretch inside it
// along the horizontal line halfway up its extent. The centre for a rectangle; inside the
// foot of an L, not in its notch. The first vertex for an outline with no such stretch.
PlanPoint labelPoint(const StructureOutline& outline);

// The outline with a repeated closing vertex and vertices repeating the one before them left
// out, as drawings often hold them.
StructureOutline withoutRepeatedVertices(const StructureOutline& outline);

} // namespace kelmo
