#include "map/PlanMapModel.h"

#include "engine/WorstCase.h"
#include "engine/ZoneRun.h"

#include <algorithm>
#include <memory>

namespace kelmo::map {

namespace {

QPolygonF polygonOf(const StructureOutline& outline) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(outline.size()));
    for (const PlanPoint& p : outline) {
        polygon << QPointF(p.x, p.y);
    }
    return polygon;
}

MapStructure mapStructure(const StructureRecord& record) {
    MapStructure s;
    s.number = record.number;
    s.type = QString::fromStdString(record.type);
    s.kind = QString::fromStdString(record.kind);
    s.storeys = QString::fromStdString(record.storeys);
    s.staff = record.staff;
    s.outline = polygonOf(record.outline);
    const PlanPoint label = labelPoint(record.outline);
    s.labelAt = QPointF(label.x, label.y);
    return s;
}

QRectF circleRect(QPointF centre, double radius) {
    return {centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
}

// The structure as the situation's row shows it; false for a refused structure (corners
// unreadable or beyond the plan), which is not drawn.
bool evaluatedStructure(const SituationRow& row, MapStructure& s) {
    if (!row.impact) {
        return false;
    }
    s = mapStructure(row.structure);
    s.evaluated = true;
    s.distance = row.impact->distance;
    s.deltaPkPa = row.impact->deltaPkPa;
    s.impulse = row.impact->impulse;
    s.atMinimumDistance = row.impact->atMinimumDistance;
    s.injured = row.impact->injured;
    if (row.impact->degree) {
        s.degree = static_cast<int>(*row.impact->degree);
    }
    return true;
}

// The zone boundaries of a run, [criterion − 1][boundary − 1].
std::array<std::array<double, kZoneBoundaries>, 3> zoneRadiiOf(const CalcState& run) {
    std::array<std::array<double, kZoneBoundaries>, 3> radii{};
    for (int j = 1; j <= 3; ++j) {
        for (int k = 1; k <= kZoneBoundaries; ++k) {
            radii[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(k - 1)] =
                static_cast<double>(run.zoneRadii(k, j));
        }
    }
    return radii;
}

std::unique_ptr<CalcState> zoneRunOf(const ChargeInput& charge) {
    auto run = std::make_unique<CalcState>();
    run->setParameters(CalcParameters::loadValues()); // the zone window's 1 m step
    RunZoneCalculation(*run, charge);
    return run;
}

} // namespace

QRectF PlanMapModel::bounds(Criterion criterion) const {
    // Kept as numbers: QRectF drops a rectangle of no size (a point) from a union.
    bool any = false;
    double left = 0;
    double right = 0;
    double bottom = 0;
    double top = 0;
    const auto add = [&](const QRectF& more) {
        if (!any) {
            left = more.left();
            right = more.right();
            bottom = more.top();
            top = more.bottom();
            any = true;
            return;
        }
        left = std::min(left, more.left());
        right = std::max(right, more.right());
        bottom = std::min(bottom, more.top());
        top = std::max(top, more.bottom());
    };
    for (const MapStructure& s : structures) {
        add(s.outline.boundingRect());
    }
    if (charge) {
        add(QRectF(*charge, QSizeF(0, 0)));
        if (hasZones) {
            double radius = 0;
            for (int k = 1; k <= kZoneBoundaries; ++k) {
                radius = std::max(radius, zoneRadius(criterion, k));
            }
            for (const PressureCircle& c : pressures) {
                radius = std::max(radius, c.radius);
            }
            add(circleRect(*charge, radius));
        }
    }
    for (const ScenarioCircles& scenario : scenarios) {
        double radius = 0;
        for (int k = 1; k <= kZoneBoundaries; ++k) {
            radius = std::max(radius, scenario.zoneRadius(criterion, k));
        }
        for (const PressureCircle& c : scenario.pressures) {
            radius = std::max(radius, c.radius);
        }
        add(circleRect(scenario.point, radius));
    }
    if (background && background->visible && !background->picture.isNull()) {
        add(background->pictureToPlan.mapRect(QRectF(background->picture.rect())));
    }
    return any ? QRectF(left, bottom, right - left, top - bottom) : QRectF();
}

QList<double> defaultPressuresKPa() {
    return {100, 53, 28, 12, 5, 3};
}

double pressureRadius(const CalcState& run, Placement placement, double kPa) {
    return overpressureRadius(run, placement, kPa);
}

PlanMapModel mapOfSituation(const SituationResult& result, const CalcState& run,
                            Placement placement, const QList<double>& pressuresKPa) {
    PlanMapModel m;
    m.massTNT = result.massTNT;
    m.charge = QPointF(result.chargePoint.x, result.chargePoint.y);
    m.structures.reserve(result.rows.size());
    for (const SituationRow& row : result.rows) {
        MapStructure s;
        if (evaluatedStructure(row, s)) {
            m.structures.push_back(std::move(s));
        }
    }
    m.hasZones = true;
    m.zoneRadii = zoneRadiiOf(run);
    for (const double kPa : pressuresKPa) {
        m.pressures.push_back({kPa, pressureRadius(run, placement, kPa)});
    }
    return m;
}

PlanMapModel mapOfSituation(const SituationResult& result, const ChargeInput& charge,
                            const QList<double>& pressuresKPa) {
    return mapOfSituation(result, *zoneRunOf(charge), charge.placement, pressuresKPa);
}

PlanMapModel mapOfScenarios(const std::vector<ScenarioOnMap>& scenarios,
                            const QList<double>& pressuresKPa) {
    PlanMapModel m;
    if (scenarios.empty()) {
        return m;
    }
    m.hasZones = true;
    std::vector<const SituationResult*> results;
    results.reserve(scenarios.size());
    for (const ScenarioOnMap& scenario : scenarios) {
        results.push_back(scenario.result);
        const auto run = zoneRunOf(scenario.charge);
        ScenarioCircles circles;
        circles.name = scenario.name;
        circles.point = QPointF(scenario.result->chargePoint.x, scenario.result->chargePoint.y);
        circles.massTNT = scenario.result->massTNT;
        circles.zoneRadii = zoneRadiiOf(*run);
        for (const double kPa : pressuresKPa) {
            circles.pressures.push_back(
                {kPa, pressureRadius(*run, scenario.charge.placement, kPa)});
        }
        m.scenarios.push_back(std::move(circles));
    }
    const WorstCaseResult worst = worstCase(results);
    m.massTNT = worst.situation.massTNT;
    m.structures.reserve(worst.situation.rows.size());
    for (std::size_t i = 0; i < worst.situation.rows.size(); ++i) {
        MapStructure s;
        if (evaluatedStructure(worst.situation.rows[i], s)) {
            s.scenario = scenarios[static_cast<std::size_t>(worst.source[i])].name;
            m.structures.push_back(std::move(s));
        }
    }
    return m;
}

PlanMapModel mapOfStructures(const std::vector<StructureRecord>& structures,
                             std::optional<PlanPoint> charge) {
    PlanMapModel m;
    for (const StructureRecord& record : structures) {
        // A structure that cannot be placed (corners unreadable or beyond the plan's range)
        // is left off, as the situation leaves it off; drawn, it would stretch the view to
        // nowhere and hide the rest.
        if (!record.outlineUnreadable && isWithinPlan(record.outline)) {
            m.structures.push_back(mapStructure(record));
        }
    }
    if (charge) {
        m.charge = QPointF(charge->x, charge->y);
    }
    return m;
}

} // namespace kelmo::map
