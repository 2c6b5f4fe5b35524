#pragma once

#include "engine/Situation.h"

#include <vector>

namespace kelmo {

// Whether impact a is worse for the structure than b: the higher degree of destruction, and on
// the same degree (or for a structure without thresholds, which has none) the higher
// overpressure. Equal impacts are not worse.
bool isWorseImpact(const StructureImpact& a, const StructureImpact& b);

// The worst case over several charges on one plan: for each structure the row of the charge
// that does it the most harm, and which charge that is.
struct WorstCaseResult {
    // The rows in the plan's order, each as its worst charge gives it, with the totals of
    // those rows. massTNT and chargePoint are those of the heaviest charge (the first of
    // equals).
    SituationResult situation;
    // For each row, the index of the charge (in the order given) that gives it; a structure no
    // charge could evaluate names the first charge, whose refusal it shows.
    std::vector<int> source;
};

// Combines the situations of the charges, all evaluated over the same structures in the same
// order. An empty list gives an empty result.
WorstCaseResult worstCase(const std::vector<const SituationResult*>& situations);

// The totals of the rows, as evaluateSituation counts them.
SituationTotals totalsOf(const std::vector<SituationRow>& rows);

} // namespace kelmo
