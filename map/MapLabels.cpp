#include "map/MapLabels.h"

#include "map/MapStyle.h"
#include "map/PlanMapRender.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

namespace kelmo::map {

namespace {

// Boxes kept in a grid of cells, so that asking whether a box is free costs the few boxes
// near it, whatever the number of labels.
class BoxIndex {
public:
    explicit BoxIndex(double cell)
        : m_cell(std::max(cell, 1e-6)) {}

    void add(const QRectF& box) {
        if (cells(box) > 1024) {
            m_large.push_back(box); // a box far larger than the labels: kept aside
            return;
        }
        const int id = static_cast<int>(m_boxes.size());
        m_boxes.push_back(box);
        forCells(box, [&](qint64 key) { m_cells[key].push_back(id); });
    }

    bool hits(const QRectF& box) const {
        if (std::any_of(m_large.begin(), m_large.end(),
                        [&](const QRectF& r) { return overlap(r, box); })) {
            return true;
        }
        if (cells(box) > 1024) {
            return std::any_of(m_boxes.begin(), m_boxes.end(),
                               [&](const QRectF& r) { return overlap(r, box); });
        }
        bool hit = false;
        forCells(box, [&](qint64 key) {
            if (hit) {
                return;
            }
            const auto found = m_cells.constFind(key);
            if (found == m_cells.cend()) {
                return;
            }
            for (const int id : *found) {
                if (overlap(m_boxes[static_cast<std::size_t>(id)], box)) {
                    hit = true;
                    return;
                }
            }
        });
        return hit;
    }

    // Boxes that share area; touching edges do not count.
    static bool overlap(const QRectF& a, const QRectF& b) {
        return a.left() < b.right() && b.left() < a.right() && a.top() < b.bottom() &&
               b.top() < a.bottom();
    }

private:
    qint64 cell(double v) const { return static_cast<qint64>(std::floor(v / m_cell)); }
    qint64 cells(const QRectF& box) const {
        return (cell(box.right()) - cell(box.left()) + 1) *
               (cell(box.bottom()) - cell(box.top()) + 1);
    }

    template <typename F> void forCells(const QRectF& box, F&& f) const {
        const qint64 x0 = cell(box.left());
        const qint64 x1 = cell(box.right());
        const qint64 y0 = cell(box.top());
        const qint64 y1 = cell(box.bottom());
        for (qint64 x = x0; x <= x1; ++x) {
            for (qint64 y = y0; y <= y1; ++y) {
                f((x << 32) ^ (y & 0xffffffff));
            }
        }
    }

    double m_cell;
    std::vector<QRectF> m_boxes;
    std::vector<QRectF> m_large;
    QHash<qint64, std::vector<int>> m_cells;
};

QSizeF textSize(const QFontMetricsF& fm, const QString& text) {
    return {fm.horizontalAdvance(text) + fm.height() * 0.2, fm.height()};
}

// The sizes of structures' numbers in one font. Shaping the same numbers again at every
// repaint of a plan of thousands of structures cost more than drawing them, so the widths are
// kept per thread for the last font asked for.
class NumberSizes final {
public:
    explicit NumberSizes(const QFont& font)
        : m_fm(font) {
        thread_local Cache cache;
        const QString key = font.key();
        if (cache.fontKey != key) {
            cache.fontKey = key;
            cache.widths.clear();
        }
        m_widths = &cache.widths;
    }

    const QFontMetricsF& metrics() const { return m_fm; }

    QSizeF operator()(int number, const QString& text) {
        auto found = m_widths->constFind(number);
        if (found == m_widths->constEnd()) {
            found = m_widths->insert(number, m_fm.horizontalAdvance(text));
        }
        return {*found + m_fm.height() * 0.2, m_fm.height()};
    }

private:
    struct Cache {
        QString fontKey;
        QHash<int, qreal> widths;
    };
    QFontMetricsF m_fm;
    QHash<int, qreal>* m_widths = nullptr;
};

QRectF boxAround(QPointF centre, QSizeF size) {
    return {centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(),
            size.height()};
}

bool insidePolygon(const QPolygonF& shape, const QRectF& box) {
    for (const QPointF& corner :
         {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight(), box.center()}) {
        if (!shape.containsPoint(corner, Qt::OddEvenFill)) {
            return false;
        }
    }
    return true;
}

// The point of a box nearest to a point outside it.
QPointF nearestOnBox(const QRectF& box, QPointF p) {
    return {std::clamp(p.x(), box.left(), box.right()), std::clamp(p.y(), box.top(), box.bottom())};
}

} // namespace

QFont labelFont(double height, bool bold) {
    QFont font;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(height))));
    font.setBold(bold);
    return font;
}

QFont numberFont(double textHeight) {
    return labelFont(textHeight * 0.9, true);
}

QRectF freeCorner(const PlanMapModel& model, const QTransform& t, const QRectF& target, QSizeF size,
                  double inset, const std::vector<QRectF>& taken) {
    const std::array<QRectF, 4> corners{
        QRectF(QPointF(target.right() - inset - size.width(), target.top() + inset), size),
        QRectF(QPointF(target.left() + inset, target.top() + inset), size),
        QRectF(
            QPointF(target.right() - inset - size.width(), target.bottom() - inset - size.height()),
            size),
        QRectF(QPointF(target.left() + inset, target.bottom() - inset - size.height()), size)};
    QRectF best;
    double bestCost = 0;
    for (const QRectF& corner : corners) {
        if (std::any_of(taken.begin(), taken.end(),
                        [&](const QRectF& r) { return BoxIndex::overlap(r, corner); })) {
            continue;
        }
        double cost = 0;
        for (const MapStructure& s : model.structures) {
            const QRectF box = t.mapRect(s.outline.boundingRect());
            if (BoxIndex::overlap(box, corner)) {
                cost += 1 + (box & corner).width() * (box & corner).height() /
                                std::max(1.0, box.width() * box.height());
            }
        }
        if (model.charge && corner.contains(t.map(*model.charge))) {
            cost += 1e6;
        }
        for (const ScenarioCircles& scenario : model.scenarios) {
            if (corner.contains(t.map(scenario.point))) {
                cost += 1e6;
            }
        }
        if (best.isNull() || cost < bestCost) {
            best = corner;
            bestCost = cost;
        }
    }
    return best;
}

LabelLayout layoutLabels(const PlanMapModel& model, const QTransform& t, double unitsPerMetre,
                         const QRectF& target, const LabelRequest& request) {
    LabelLayout out;
    out.target = target;
    out.planToTarget = t;
    out.unitsPerMetre = unitsPerMetre;
    const double h = request.textHeight;
    BoxIndex taken(h * 4);
    BoxIndex shapes(h * 4);
    for (const QRectF& r : request.reserved) {
        taken.add(r);
    }
    const auto free = [&](const QRectF& box) {
        return target.contains(box) && !taken.hits(box);
    };
    const auto place = [&](PlacedLabel label) {
        taken.add(label.box);
        out.labels.push_back(std::move(label));
    };

    // The charges: their marks first, then their names beside them (a scenario's name a little
    // farther out with a leader where the corners are taken); nothing goes over them.
    const auto markOf = [&](QPointF point) {
        const QRectF mark = boxAround(t.map(point), QSizeF(h * 1.8, h * 1.8));
        taken.add(mark);
        return mark;
    };
    const auto nameCharge = [&](const QRectF& mark, const QString& name, bool farther) {
        const QSizeF size = textSize(QFontMetricsF(labelFont(h)), name);
        const QPointF c = mark.center();
        for (const double away :
             farther ? std::vector<double>{0, 1, 2.5, 4.5} : std::vector<double>{0}) {
            const QRectF around = mark.adjusted(-away * h, -away * h, away * h, away * h);
            for (const QPointF& corner :
                 {around.bottomRight(), around.topRight() - QPointF(0, size.height()),
                  around.bottomLeft() - QPointF(size.width(), 0),
                  around.topLeft() - QPointF(size.width(), size.height())}) {
                const QRectF box(corner, size);
                if (free(box)) {
                    std::optional<QLineF> leader;
                    if (away > 0) {
                        leader = QLineF(c, nearestOnBox(box, c));
                    }
                    place({LabelKind::Charge, name, box, chargeColour(), labelFont(h), 0, leader});
                    return;
                }
            }
        }
        if (farther) {
            ++out.droppedCircleLabels;
        }
    };
    if (model.charge) {
        out.chargeMark = markOf(*model.charge);
    }
    for (const ScenarioCircles& scenario : model.scenarios) {
        out.scenarioMarks.push_back(markOf(scenario.point));
    }
    if (model.charge) {
        nameCharge(out.chargeMark, QStringLiteral("ВВ"), false);
    }
    for (std::size_t i = 0; i < model.scenarios.size(); ++i) {
        nameCharge(out.scenarioMarks[i], model.scenarios[i].name, true);
    }

    // Structures in view, with their outlines on the target.
    struct Shown {
        const MapStructure* s;
        QPolygonF shape;
        QRectF box;
    };
    std::vector<Shown> shown;
    for (const MapStructure& s : model.structures) {
        const QRectF box = t.mapRect(s.outline.boundingRect());
        if (!BoxIndex::overlap(box, target) && !target.contains(box.center())) {
            continue;
        }
        shown.push_back({&s, t.map(s.outline), box});
        shapes.add(box);
    }

    // Numbers inside the structures that hold them.
    const QFont font = numberFont(h);
    NumberSizes numberSize(font);
    std::vector<const Shown*> outside;
    for (const Shown& item : shown) {
        const QString text = QString::number(item.s->number);
        const QRectF box = boxAround(t.map(item.s->labelAt), numberSize(item.s->number, text));
        if (insidePolygon(item.shape, box) && free(box)) {
            place({LabelKind::Number, text, box, Qt::black, font, item.s->number, std::nullopt});
        } else {
            outside.push_back(&item);
        }
    }

    // Zone and pressure labels on their circles, each at the first angle where it is free;
    // zones from the top, pressures from the upper right.
    if (model.hasZones) {
        const QFontMetricsF cfm(labelFont(h));
        const auto onCircle = [&](QPointF c, LabelKind kind, const QString& text, double radius,
                                  double startDegrees, const QColor& colour) {
            const QSizeF size = textSize(cfm, text);
            // A circle that misses the drawing, or holds all of it, has no label to show.
            const QPointF near(std::clamp(c.x(), target.left(), target.right()),
                               std::clamp(c.y(), target.top(), target.bottom()));
            double far = 0;
            for (const QPointF& corner :
                 {target.topLeft(), target.topRight(), target.bottomLeft(), target.bottomRight()}) {
                far = std::max(far, QLineF(c, corner).length());
            }
            if (QLineF(c, near).length() > radius || far < radius) {
                return;
            }
            // On the circle first; where it is too crowded, farther out with a leader to it.
            for (const double away : {0.0, 1.5, 3.0, 5.0, 8.0}) {
                for (int step = 0; step < 48; ++step) {
                    // 0, +7.5, −7.5, +15, −15 … degrees from the start.
                    const double turn = ((step + 1) / 2) * 7.5 * (step % 2 == 1 ? 1 : -1);
                    const double a = (startDegrees + turn) * M_PI / 180;
                    const QPointF dir(std::cos(a), -std::sin(a));
                    const QPointF on = c + dir * radius;
                    const QRectF box = boxAround(on + dir * (away * h), size);
                    if (!free(box)) {
                        continue;
                    }
                    std::optional<QLineF> leader;
                    if (away > 0) {
                        leader = QLineF(on, nearestOnBox(box, on));
                    }
                    place({kind, text, box, colour, labelFont(h), 0, leader});
                    return;
                }
            }
            ++out.droppedCircleLabels;
        };
        const auto labelCircles = [&](QPointF point, const auto& zoneRadius,
                                      const std::vector<PressureCircle>& pressures) {
            const QPointF c = t.map(point);
            if (request.zones) {
                const double gap = h * 0.8;
                for (int k = 1; k <= kZoneBoundaries; ++k) {
                    const double r = zoneRadius(k) * unitsPerMetre;
                    if (r > 0) {
                        onCircle(c, LabelKind::Zone, zoneLabel(k), std::max(r - gap, 0.0), 90,
                                 zoneColour(k));
                    }
                }
                const double r4 = zoneRadius(4) * unitsPerMetre;
                if (r4 > 0) {
                    onCircle(c, LabelKind::Zone, zoneLabel(5), r4 + gap, 90, zoneColour(4));
                }
            }
            if (request.pressures) {
                for (const PressureCircle& circle : pressures) {
                    const double r = circle.radius * unitsPerMetre;
                    if (r > 0) {
                        onCircle(c, LabelKind::Pressure, pressureLabel(circle.kPa), r, 45,
                                 pressureColour());
                    }
                }
            }
        };
        if (model.charge) {
            labelCircles(
                *model.charge, [&](int k) { return model.zoneRadius(request.criterion, k); },
                model.pressures);
        }
        for (const ScenarioCircles& scenario : model.scenarios) {
            labelCircles(
                scenario.point, [&](int k) { return scenario.zoneRadius(request.criterion, k); },
                scenario.pressures);
        }
    }

    // Numbers beside the structures too small for them: rings of places around the outline,
    // nearest first; a place over no other structure is taken before one over a structure.
    if (static_cast<int>(shown.size()) > request.besideLimit) {
        return out;
    }
    // Sixteen directions, each scaled to the square around the outline: the eight sides and
    // corners and the places between them.
    std::array<QPointF, 16> directions;
    for (std::size_t i = 0; i < directions.size(); ++i) {
        const double a = static_cast<double>(i) * M_PI / 8;
        const double ux = std::cos(a);
        const double uy = -std::sin(a);
        const double scale = 1 / std::max(std::abs(ux), std::abs(uy));
        directions[i] = QPointF(ux * scale, uy * scale);
    }
    for (const Shown* item : outside) {
        const QString text = QString::number(item->s->number);
        const QSizeF size = numberSize(item->s->number, text);
        const QPointF from = t.map(item->s->labelAt);
        std::optional<QRectF> chosen;
        std::optional<QRectF> crowded;
        for (const double ring : {0.25, 1.0, 2.0, 3.5, 5.5, 8.0, 11.0, 15.0}) {
            for (const QPointF& d : directions) {
                const double gap = ring * h;
                const QPointF centre(item->box.center().x() +
                                         d.x() * (item->box.width() / 2 + gap + size.width() / 2),
                                     item->box.center().y() + d.y() * (item->box.height() / 2 +
                                                                       gap + size.height() / 2));
                const QRectF box = boxAround(centre, size);
                if (!free(box)) {
                    continue;
                }
                if (!shapes.hits(box)) {
                    chosen = box;
                    break;
                }
                if (!crowded) {
                    crowded = box;
                }
            }
            if (chosen) {
                break;
            }
        }
        if (!chosen) {
            chosen = crowded;
        }
        if (!chosen) {
            out.unplaced.push_back(item->s->number);
            continue;
        }
        place({LabelKind::Number, text, *chosen, Qt::black, font, item->s->number,
               QLineF(from, nearestOnBox(*chosen, from))});
    }
    return out;
}

} // namespace kelmo::map
