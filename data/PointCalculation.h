#pragma once

#include "engine/BlastFormulas.h"
#include "engine/CalcState.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"

#include <QString>

#include <array>
#include <functional>

namespace kelmo {

// The distance asked for lies outside the rows of the last run.
class PointRangeError : public Error {
public:
    PointRangeError();
};

// The message and title the results window shows for a distance outside the run.
inline constexpr const char* kPointRangeMessage =
    "Указанное расстояние выходит за границы расчета!";
inline constexpr const char* kPointRangeTitle = "В н и м а н и е ! ! !";

struct PointInput {
    double distance = 0;                     // m, from the epicentre
    Placement placement = Placement::Ground; // as chosen on the input window
    double bodyMassKg = kDefaultBodyMassKg;  // body mass of a person, from the input window
};

// Everything a point calculation yields; the state's current-distance values are set too.
struct PointResult {
    double deltaPkPa = 0;
    double deltaPkgf = 0;
    double impulse = 0; // Pa·s
    float probitHeavy = 0;
    float probitTotal = 0;
    float probitPeople = 0;
    double percentHeavy = 0;  // criterion а)
    double percentTotal = 0;  // criterion б)
    double percentPeople = 0; // a person outside buildings
    // Intermediate values of the probit functions.
    double ptArgHeavy = 0;    // (17500/ΔP)^8.4 + (290/I)^9.3
    double ptArgTotal = 0;    // (40000/ΔP)^7.4 + (460/I)^11.3
    double ptRelPressure = 0; // ΔP / 101315
    double ptRelImpulse = 0;  // I / (101315^0.5 · m^(1/3))
    double ptArgPeople = 0;   // 4.2 / p̄ + 1.3 / ī
};

// True when the distance lies between the first row of the run's profile and the row before
// its last one, both included.
bool pointInRange(const CalcState& s, double distance);

// Percentages of the three probits (heavy, total, people), in that order.
using PercentLookup = std::function<std::array<double, 3>(const std::array<float, 3>&)>;

// The probit table of the database as a PercentLookup: one connection made with the string
// for each lookup.
PercentLookup probitsToPercentLookup(const QString& connectionString);

// The calculation at one distance after a run: range check (PointRangeError, nothing
// changed), overpressure, impulse and probits into the state, then the three percentages
// from the lookup. Throws ArithmeticError, or what the lookup throws (DatabaseError); by
// then the state's current-distance values are already overwritten.
PointResult calculatePoint(CalcState& s, const PointInput& in, const PercentLookup& percents);

} // namespace kelmo
