#pragma once

#include "engine/CalcState.h"

#include <optional>

namespace kelmo::charts {

// The last stored row whose distance is at most d (row 1 when d lies before it); 0 when the
// run stored no row.
int rowAtOrBefore(const CalcState& s, double d);

// The first stored row whose distance is at least d (the last row when d lies beyond it);
// 0 when the run stored no row.
int rowAtOrAfter(const CalcState& s, double d);

// The pressure read from the profile for a distance typed by the user: the row of
// rowForDistance(), whose stored distance may differ from the one typed (a step other than
// 1 m, a distance between two rows).
struct PressureLookup {
    int row = 0;
    double distance = 0;    // the stored distance of the row, m
    double pressureKgf = 0; // kgf/cm²
    bool exact = false;     // the stored distance is the one typed
};
std::optional<PressureLookup> lookUpPressure(const CalcState& s, double distance);

// The smallest stored distance at which the pressure does not exceed the given one; the last
// stored distance when it exceeds it everywhere.
std::optional<double> lookUpDistance(const CalcState& s, double pressureKgf);

} // namespace kelmo::charts
