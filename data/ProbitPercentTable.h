#pragma once

#include "data/Database.h"

#include <utility>
#include <vector>

namespace kelmo {

// The probit table of the database read once into memory, for calculations that convert
// many probits (a whole site plan). Gives the same percentage as ProbitToPercent, to the bit.
class ProbitPercentTable final {
public:
    // Reads every row of TProbit. Throws DatabaseError when the table cannot be read or holds
    // an empty or non-numeric value, or a percentage outside 0 … 100.
    static ProbitPercentTable load(db::Connection& connection);

    // Throws DatabaseError when the table does not cover the probit, or gives two
    // percentages for one probit value.
    double percent(float probit) const;

private:
    std::vector<std::pair<double, double>> m_rows; // (probit, percent), ascending probit
};

} // namespace kelmo
