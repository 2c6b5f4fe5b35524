#pragma once

#include "data/Database.h"

#include <QStringList>

#include <optional>

namespace kelmo {

// The explosives catalogue: the table Explosives. Both throw DatabaseError.

// Every explosive name in ascending order.
QStringList explosiveNames(db::Connection& connection);

// The heat of explosion in kJ/kg of the explosive with exactly this name; none when the
// catalogue has no such name.
std::optional<double> explosiveHeat(db::Connection& connection, const QString& name);

} // namespace kelmo
