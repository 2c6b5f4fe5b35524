#pragma once

#include "engine/PlanGeometry.h"
#include "engine/ZoneRun.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelmo {

// Degrees of destruction of a structure, from none to complete.
enum class DestructionDegree { None = 0, Weak = 1, Medium = 2, Strong = 3, Complete = 4 };

inline constexpr int kDestructionDegreeCount = 5;

// The overpressures in kPa that a structure's record gives for each degree. A value that is
// not a number or not above zero means "not given" and takes no part in the rule.
struct DestructionThresholds {
    double weak = 0;
    double medium = 0;
    double strong = 0;
    double complete = 0;
};

// The degree reached at an overpressure: the highest degree whose given threshold the
// overpressure reaches, None when it reaches none; nullopt when no threshold is given.
std::optional<DestructionDegree> destructionDegree(double deltaPkPa,
                                                   const DestructionThresholds& thresholds);

// The nearest distance at which a structure is evaluated: the formulas have no value at 0.
inline constexpr double kMinimumEvaluationDistance = 1;

// One structure of a plan, with what its record says, already converted to numbers. A record
// whose corners or staff could not be read says so, for the row's warning. The outline has
// four vertices for a structure kept as four corners (evaluated whatever they are, crossed or
// collapsed ones included), any other number for one kept as vertices (refused in its row
// when outlineDefect finds fault with it).
struct StructureRecord {
    int number = 0;
    std::string type;
    std::string kind;
    std::string storeys;
    int staff = 0;
    bool staffUnreadable = false;
    bool outlineUnreadable = false;
    StructureOutline outline{};
    DestructionThresholds thresholds;
};

// What the charge does to one structure.
struct StructureImpact {
    double distance = 0;    // m, from the storage point to the outline; 0 inside
    double evaluatedAt = 0; // m, max(distance, 1)
    bool atMinimumDistance = false;
    double deltaPkPa = 0;
    double impulse = 0; // Pa·s
    float probitHeavy = 0;
    float probitTotal = 0;
    float probitPeople = 0; // people outside buildings, at the structure's distance
    double percentHeavy = 0;
    double percentTotal = 0;
    double percentPeople = 0;
    std::optional<DestructionDegree> degree;
    double injured = 0; // staff × percentHeavy / 100
};

struct SituationRow {
    StructureRecord structure;
    std::optional<StructureImpact> impact; // empty when the structure could not be evaluated
    std::string refusal; // why it could not: the outline unreadable, out of range, …
};

struct SituationTotals {
    std::array<int, kDestructionDegreeCount> byDegree{};
    int undetermined = 0;
    int refused = 0; // structures that could not be evaluated
    long long staff = 0;
    double injured = 0;
};

struct SituationResult {
    double massTNT = 0;
    PlanPoint chargePoint;
    std::vector<SituationRow> rows;
    SituationTotals totals;
};

// Percentage of a probit, as the probit table of the database gives it.
using ProbitPercent = std::function<double(float)>;

// Evaluates every structure for the charge stored at the point. Structures are taken in the
// order given; one the formulas cannot take is refused in its own row. Throws ArithmeticError
// for a charge the formulas cannot take or a storage point beyond the plan's range, and what
// the percentage look-up throws.
SituationResult evaluateSituation(const ChargeInput& charge, PlanPoint chargePoint,
                                  const std::vector<StructureRecord>& structures,
                                  const ProbitPercent& percentOf);

} // namespace kelmo
