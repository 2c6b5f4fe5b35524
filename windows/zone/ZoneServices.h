#pragma once

#include "data/PointCalculation.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kelmo::zone {

// What the zone windows take from the database; the shell makes them from its connection
// string, tests replace them. Each function throws kelmo::Error when the database cannot
// answer.
struct Services {
    // The explosive names in ascending order.
    std::function<QStringList()> explosiveNames;
    // The heat of explosion, kJ/kg, of the explosive with this name; none when unknown.
    std::function<std::optional<double>(const QString& name)> explosiveHeat;
    // Percentages of the three probits (heavy, total, people).
    PercentLookup probitsToPercent;

    // The catalogue and the probit table of the database the string connects to.
    static Services fromDatabase(const QString& connectionString);
};

} // namespace kelmo::zone
