#pragma once

#include "engine/BlastFormulas.h"
#include "engine/CalcState.h"
#include "engine/Probits.h"

namespace kelmo {

enum class HeatUnit { PerKg, PerMole };

// The defaults of the input window and of kelmo-calc.
inline constexpr double kDefaultHeatPerKg = kTntHeat; // kJ/kg
inline constexpr double kDefaultMolarDivisor = 179;   // g/mol
inline constexpr double kDefaultBodyMassKg = 70;      // kg
inline constexpr double kWorkedChargeMassKg = 1000;   // kg, the mass field's first value

// The charge as the input window describes it, already converted to numbers.
struct ChargeInput {
    double chargeMassKg = 0;
    HeatUnit heatUnit = HeatUnit::PerKg;
    double heat = kDefaultHeatPerKg;            // kJ/kg, or kJ/mol with HeatUnit::PerMole
    double molarDivisor = kDefaultMolarDivisor; // the second number of the per-mole conversion
    Placement placement = Placement::Ground;
    double bodyMassKg = kDefaultBodyMassKg;
};

// Heat of explosion in kJ/kg for the charge.
double heatPerKg(const ChargeInput& in);

// Overpressure, impulse and the three probits at distance r for the current massTnt.
// Leaves them in the current-distance values of the state.
ProbitTerms evaluateAtDistance(CalcState& s, Placement placement, double r, double bodyMassKg);

// The zone calculation: from 1 m outwards in steps of step until the heavy-damage probit
// falls below 1. Fills the profile, the threshold and zone radii and maxDistance.
// A threshold that the last stored row still reaches gets its radius by going on past the
// table with the same step (no rows are stored there), so that no radius is cut short at
// the table's end; the current-distance values are left as at the end distance.
// Returns the end distance: the first distance whose heavy-damage probit is below 1, which
// is not stored. Throws ArithmeticError or RowLimitError; the state is then partly written.
double RunZoneCalculation(CalcState& s, const ChargeInput& in);

// The farthest distance of the run's walk (1, 1 + step, …) whose overpressure still reaches
// kPa: from the stored rows, and past the last one by going on with the same step. 0 when no
// stored row reaches it. Throws RowLimitError when the walk would not end.
double overpressureRadius(const CalcState& run, Placement placement, double kPa);

// How many steps past the table a radius is looked for at most.
inline constexpr long long kMaxStepsPastTable = 20'000'000;

} // namespace kelmo
