#include "map/EditGeometry.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelmo::map {

namespace {

double length(QPointF v) {
    return std::hypot(v.x(), v.y());
}

} // namespace

std::optional<QPointF> nearestVertex(QPointF point, const std::vector<QPointF>& candidates,
                                     double tolerance) {
    std::optional<QPointF> best;
    double bestDistance = tolerance;
    for (const QPointF& c : candidates) {
        const double d = length(c - point);
        if (d <= bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

QPointF snapToRightAngle(QPointF point, QPointF from, std::optional<QPointF> before,
                         double degrees) {
    const QPointF v = point - from;
    const double r = length(v);
    if (r == 0) {
        return point;
    }
    // The direction the new segment is measured against: the segment before, or the x axis.
    double base = 0;
    if (before) {
        const QPointF b = from - *before;
        if (length(b) == 0) {
            return point;
        }
        base = std::atan2(b.y(), b.x());
    }
    const double angle = std::atan2(v.y(), v.x());
    const double quarter = M_PI / 2;
    const double turns = std::round((angle - base) / quarter);
    const double snapped = base + turns * quarter;
    double off = std::remainder(angle - snapped, 2 * M_PI);
    if (std::abs(off) > degrees * M_PI / 180) {
        return point;
    }
    // Keep the length along the snapped direction, so the cursor stays nearest.
    const QPointF direction(std::cos(snapped), std::sin(snapped));
    const double along = v.x() * direction.x() + v.y() * direction.y();
    return from + direction * along;
}

double pathLength(const QPolygonF& points) {
    double sum = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        sum += length(points[i] - points[i - 1]);
    }
    return sum;
}

double polygonArea(const QPolygonF& outline) {
    const qsizetype n = outline.size();
    if (n < 3) {
        return 0;
    }
    // Measured from the first vertex, so that far-off plan coordinates lose no digits.
    const QPointF o = outline[0];
    double twice = 0;
    for (qsizetype i = 1; i + 1 < n; ++i) {
        const QPointF a = outline[i] - o;
        const QPointF b = outline[i + 1] - o;
        twice += a.x() * b.y() - b.x() * a.y();
    }
    return std::abs(twice) / 2;
}

double perimeter(const QPolygonF& outline) {
    if (outline.size() < 2) {
        return 0;
    }
    return pathLength(outline) + length(outline.first() - outline.last());
}

EdgeHit nearestEdge(const QPolygonF& outline, QPointF point) {
    EdgeHit hit;
    hit.distance = std::numeric_limits<double>::infinity();
    const qsizetype n = outline.size();
    for (qsizetype i = 0; i < n && n >= 2; ++i) {
        const QPointF a = outline[i];
        const QPointF b = outline[(i + 1) % n];
        const QPointF ab = b - a;
        const double ll = ab.x() * ab.x() + ab.y() * ab.y();
        double t = 0;
        if (ll > 0) {
            const QPointF ap = point - a;
            t = std::clamp((ap.x() * ab.x() + ap.y() * ab.y()) / ll, 0.0, 1.0);
        }
        const QPointF at = a + ab * t;
        const double d = length(point - at);
        if (d < hit.distance) {
            hit = {static_cast<int>(i), at, d};
        }
    }
    return hit;
}

int vertexAt(const QPolygonF& outline, QPointF point, double tolerance) {
    int best = -1;
    double bestDistance = tolerance;
    for (qsizetype i = 0; i < outline.size(); ++i) {
        const double d = length(outline[i] - point);
        if (d <= bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

QPolygonF closedOutline(const QPolygonF& drawn, double tolerance) {
    QPolygonF out;
    for (const QPointF& p : drawn) {
        if (out.isEmpty() || length(p - out.last()) > tolerance) {
            out << p;
        }
    }
    while (out.size() > 1 && length(out.last() - out.first()) <= tolerance) {
        out.removeLast();
    }
    return out;
}

} // namespace kelmo::map
