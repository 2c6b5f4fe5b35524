#pragma once

#include "engine/CalcState.h"

namespace kelmo {

inline constexpr double kAtmosphericPressurePa = 101315; // as the method states it

// The intermediate values of the three probit functions, for a report that explains them.
struct ProbitTerms {
    double vHeavy = 0;  // V of heavy damage
    double vTotal = 0;  // V of complete destruction
    double pBar = 0;    // ΔP / P0
    double iBar = 0;    // I / (P0^0.5 · m^(1/3))
    double sPeople = 0; // S of people outside
};

// Sets probitHeavy, probitTotal and probitPeople, in that order, for an overpressure in Pa,
// impulse and the body mass of a person in kg. Returns the intermediate values.
ProbitTerms ComputeProbits(CalcState& s, double deltaPPa, double bodyMassKg);

} // namespace kelmo
