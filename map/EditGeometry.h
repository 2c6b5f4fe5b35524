#pragma once

#include <QPointF>
#include <QPolygonF>

#include <optional>
#include <vector>

namespace kelmo::map {

// The geometry of editing on the map, in plan metres: snapping a point while a structure is
// drawn or its vertex dragged, and what the measuring tools show. No widgets; the view calls
// these with its tolerances turned from pixels into metres.

// The vertex of `candidates` nearest to `point` within `tolerance`, if any.
std::optional<QPointF> nearestVertex(QPointF point, const std::vector<QPointF>& candidates,
                                     double tolerance);

// `point` turned about `from` so that the segment from → point meets the segment
// before → from at a right angle or runs on along it, when it is within `degrees` of that;
// without a segment before, the segment is made level or upright. Unchanged otherwise.
QPointF snapToRightAngle(QPointF point, QPointF from, std::optional<QPointF> before,
                         double degrees = 7.0);

// The length of the broken line through the points, m.
double pathLength(const QPolygonF& points);

// The area the closed outline encloses (shoelace formula; the sign of the winding dropped), m².
double polygonArea(const QPolygonF& outline);

// The perimeter of the closed outline, m.
double perimeter(const QPolygonF& outline);

// The edge of the closed outline nearest to `point` (edge i runs from vertex i to vertex
// i + 1, the last back to the first) and the point on it nearest to `point`.
struct EdgeHit {
    int edge = -1;
    QPointF at;
    double distance = 0;
};
EdgeHit nearestEdge(const QPolygonF& outline, QPointF point);

// The index of the outline's vertex nearest to `point` within `tolerance`, or -1.
int vertexAt(const QPolygonF& outline, QPointF point, double tolerance);

// The drawn points as an outline: a point on top of the one before it (a double-click adds
// one) and a last point on the first one (closing by a click on it) are dropped.
QPolygonF closedOutline(const QPolygonF& drawn, double tolerance);

} // namespace kelmo::map
