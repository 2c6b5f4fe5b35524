#pragma once

#include "engine/CalcState.h"

namespace kelmo {

inline constexpr double kTntHeat = 4520;      // kJ/kg
inline constexpr double kKPaPerKgf = 98.0655; // kPa per kgf/cm², as the method states it
inline constexpr double kImpulseCoefficient = 617.81265; // 6.3 × 98.0655
inline constexpr double kPerMoleFactor = 1000;

// Coefficients c1, c2, c3 of the overpressure formula.
struct BurstCoefficients {
    double c1;
    double c2;
    double c3;
};
inline constexpr BurstCoefficients kAirBurst{0.84, 2.7, 7};
inline constexpr BurstCoefficients kGroundBurst{1.06, 4.3, 14};

enum class Placement { Air, Ground };

// massTnt = E / 4520 × m.
void ComputeMassTNT(CalcState& s, double heatKJperKg, double chargeMassKg);

// deltaPkgf at distance r for massTnt.
void OverpressureInAir(CalcState& s, double r);
void OverpressureOnGround(CalcState& s, double r);
void computeOverpressure(CalcState& s, Placement placement, double r);
// The same overpressure in kgf/cm² as a value, for a TNT mass in kg.
double overpressureKgf(double massTNT, Placement placement, double r);

// impulse at distance r for massTnt.
void ComputeImpulse(CalcState& s, double r);

// Heat per kilogram from a heat per mole: A / B × 1000, the quotient first.
double heatPerKgFromPerMole(double heatPerMole, double divisor);

// Throws ArithmeticError (Cause::General) when v is not finite.
double checkedResult(double v, const char* what);

} // namespace kelmo
