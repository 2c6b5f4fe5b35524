#pragma once

#include "data/Database.h"
#include "engine/PlanGeometry.h"
#include "engine/ZoneRun.h"

#include <QList>
#include <QString>

#include <optional>

namespace kelmo::db {

// A charge kept with a site plan under a name (table `Scenario`): what is stored where. The
// name is unique within its plan.
struct ScenarioRecord {
    int plan = 0;       // NumPM
    QString name;       // Name
    QString explosive;  // Explosive: the explosive's name as the engineer gave it
    ChargeInput charge; // Mass, HeatPerMole, Heat, MolarMass, Air, BodyMass
    PlanPoint point;    // X, Y: the storage point, plan metres
    int revision = 0;   // Revision: counts the stored changes, for the check of a concurrent one
};

// The longest scenario name, in characters.
inline constexpr int kMaxScenarioNameLength = 255;

// A name that is empty, too long or already taken in the plan; a plan that is gone; a charge
// the table cannot keep. Nothing is stored.
class ScenarioError : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// The scenario was changed, renamed or deleted by another user since it was shown: nothing is
// stored, and the window shows what the database holds now.
class ScenarioConflictError final : public ScenarioError {
public:
    using ScenarioError::ScenarioError;
};

// The plan's scenarios in the Russian order of their names (letters whatever their case, «ё»
// beside «е», numbers by value: «Склад 2» before «склад 10»), the same on every database.
QList<ScenarioRecord> listScenarios(Connection& c, int plan);

// The scenario of the plan with this name, if there is one.
std::optional<ScenarioRecord> readScenario(Connection& c, int plan, const QString& name);

// The refusal of the record before it is stored (a blank or too long name, a mass that is not
// above zero, numbers that are not finite), or an empty string.
QString scenarioProblem(const ScenarioRecord& record);

// Every write runs in one transaction that first takes the plan's row, as the structures'
// writes do, so two users' changes to one plan's scenarios run one after the other.

// Adds the scenario. ScenarioError when the name is taken in the plan, the plan is gone or
// scenarioProblem() refuses it.
void addScenario(Connection& c, const ScenarioRecord& record);

// Replaces the stored scenario `shown` (found by its plan and name) with `record`, which may
// carry a new name, while it is still what the user saw (same revision): otherwise
// ScenarioConflictError.
// ScenarioError when the new name is taken.
void changeScenario(Connection& c, const ScenarioRecord& shown, const ScenarioRecord& record);

// Deletes the scenario while it is still what the user saw; ScenarioConflictError otherwise.
void deleteScenario(Connection& c, const ScenarioRecord& shown);

// Deletes the plan's scenario of this name; ScenarioError when there is none.
void deleteScenario(Connection& c, int plan, const QString& name);

// Remembers the scenario as the one last used on its plan; nothing happens when it is gone.
// This does not count as a change of the scenario.
void markScenarioUsed(Connection& c, int plan, const QString& name);

// The name of the scenario last used on the plan, if it still exists.
std::optional<QString> lastUsedScenario(Connection& c, int plan);

} // namespace kelmo::db
