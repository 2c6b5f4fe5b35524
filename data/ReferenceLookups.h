#pragma once

#include "data/PointCalculation.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kelmo {

// The reference data the windows look up while the user types: the explosives catalogue and
// the probit table. Made from a connection string; tests put their own functions in. Each
// function throws kelmo::Error when the database cannot answer.
struct ReferenceLookups {
    // The explosive names in ascending order.
    std::function<QStringList()> explosiveNames;
    // The heat of explosion, kJ/kg, of the explosive with this name; none when unknown.
    std::function<std::optional<double>(const QString& name)> explosiveHeat;
    // Percentages of the three probits (heavy, total, people).
    PercentLookup probitsToPercent;

    // The catalogue and the probit table of the database the string connects to; each call
    // opens its own connection.
    static ReferenceLookups fromDatabase(const QString& connectionString);
};

} // namespace kelmo
