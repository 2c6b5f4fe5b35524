#pragma once

#include "data/Database.h"

#include <array>

namespace kelmo {

// Probability in percent of a probit, from the table TProbit on an open connection: 100 at
// or above 8.09, 0 at or below 2.67 (compared in single precision, no query), otherwise
// linear interpolation between the rows at or below and at or above. Throws DatabaseError
// when the table does not cover the probit or cannot be read.
double ProbitToPercent(float probit, db::Connection& connection);

// The three percentages of a point calculation (heavy damage, complete destruction, person
// outside), in that order, on one connection.
std::array<double, 3> probitsToPercent(const std::array<float, 3>& probits,
                                       db::Connection& connection);

// The probit as the SQL literal of the look-ups: shortest single-precision text with a point.
QString probitLiteral(float probit);

} // namespace kelmo
