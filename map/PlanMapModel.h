#pragma once

#include "engine/BlastFormulas.h"
#include "engine/CalcState.h"
#include "engine/Situation.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <array>
#include <optional>
#include <vector>

namespace kelmo::map {

// The damage function whose zones the map shows: а) heavy damage of buildings and people
// inside, б) complete destruction of industrial buildings, people outside.
enum class Criterion { Heavy = 1, Total = 2, People = 3 };

inline constexpr int kZoneBoundaries = 4; // zones 1 … 4 end at these circles, zone 5 lies beyond

// One structure as the map draws it, in plan metres.
struct MapStructure {
    int number = 0;
    QString type;
    QString kind;
    QString storeys;
    int staff = 0;
    QPolygonF outline;      // vertices in order (corners 1 → 2 → 3 → 4 for four corners)
    QPointF labelAt;        // where its number goes: inside it (labelPoint)
    bool evaluated = false; // the situation was computed for it
    double distance = 0;
    double deltaPkPa = 0;
    double impulse = 0;
    bool atMinimumDistance = false;
    std::optional<int> degree; // 0 … 4; empty: not determined or not evaluated
    double injured = 0;        // staff × heavy-damage percent / 100
    QString scenario;          // on a map of scenarios: the one whose impact it shows
};

// A circle of a chosen overpressure; radius 0 when the run never reached it.
struct PressureCircle {
    double kPa = 0;
    double radius = 0;
};

// A picture of the site under the plan, with the transform that places its pixels on the
// plan (metres, y up).
struct MapBackground {
    QImage picture;
    QTransform pictureToPlan;
    double opacity = 1;
    bool visible = true;
};

// A scenario's charge on a map of scenarios: its storage point under its name, with its own
// zone and pressure circles.
struct ScenarioCircles {
    QString name;
    QPointF point;
    double massTNT = 0;
    // [criterion − 1][boundary − 1], m; 0 where the run never reached the boundary.
    std::array<std::array<double, kZoneBoundaries>, 3> zoneRadii{};
    std::vector<PressureCircle> pressures;

    double zoneRadius(Criterion criterion, int boundary) const {
        return zoneRadii[static_cast<std::size_t>(criterion) - 1]
                        [static_cast<std::size_t>(boundary - 1)];
    }
};

struct PlanMapModel {
    QString planName;
    std::vector<MapStructure> structures;
    std::optional<QPointF> charge;
    double massTNT = 0;
    bool hasZones = false;
    // [criterion − 1][boundary − 1], m; 0 where the run never reached the boundary.
    std::array<std::array<double, kZoneBoundaries>, 3> zoneRadii{};
    std::vector<PressureCircle> pressures;
    std::optional<MapBackground> background;
    // A map of scenarios has no single charge: each scenario's circles are drawn around its
    // own storage point (hasZones is set, charge is empty).
    std::vector<ScenarioCircles> scenarios;

    double zoneRadius(Criterion criterion, int boundary) const {
        return zoneRadii[static_cast<std::size_t>(criterion) - 1]
                        [static_cast<std::size_t>(boundary - 1)];
    }

    // The plan area with everything drawn for the criterion: structures, charge, its zone
    // and pressure circles, the scenarios' points and circles and the background picture when
    // shown. Empty for an empty map.
    QRectF bounds(Criterion criterion) const;
};

// The overpressures whose circles the map shows unless the user chooses others, kPa.
QList<double> defaultPressuresKPa();

// The radius of an overpressure as the run finds its own fixed levels: the farthest distance
// of its walk whose overpressure reaches it, past the table too; 0 when no row reaches it.
double pressureRadius(const CalcState& run, Placement placement, double kPa);

// The map of a computed situation: structures coloured by degree, the charge, the zones and
// pressure circles of the zone run of the same charge (`run` holds it).
PlanMapModel mapOfSituation(const SituationResult& result, const CalcState& run,
                            Placement placement,
                            const QList<double>& pressuresKPa = defaultPressuresKPa());

// The same, running the zone calculation of the charge itself. Throws what the run throws.
PlanMapModel mapOfSituation(const SituationResult& result, const ChargeInput& charge,
                            const QList<double>& pressuresKPa = defaultPressuresKPa());

// One scenario as the map of scenarios takes it: its name, its charge and its situation over
// the plan's structures (every scenario over the same structures in the same order).
struct ScenarioOnMap {
    QString name;
    ChargeInput charge;
    const SituationResult* result = nullptr;
};

// The map of several scenarios of one plan: each one's zone and pressure circles around its
// storage point under its name, and each structure coloured by the worst case of them all,
// naming the scenario that gives it. Runs each scenario's zone calculation; throws what that
// run throws. An empty list gives a map without structures.
PlanMapModel mapOfScenarios(const std::vector<ScenarioOnMap>& scenarios,
                            const QList<double>& pressuresKPa = defaultPressuresKPa());

// A plan as it is being edited: outlines only (structures whose corners are not numbers are
// left out), with the charge point when it is known.
PlanMapModel mapOfStructures(const std::vector<StructureRecord>& structures,
                             std::optional<PlanPoint> charge);

} // namespace kelmo::map
