#include "windows/zone/ZoneServices.h"

#include "data/Database.h"
#include "data/ExplosiveCatalogue.h"

namespace kelmo::zone {

Services Services::fromDatabase(const QString& connectionString) {
    Services s;
    s.explosiveNames = [connectionString] {
        db::Connection connection(connectionString);
        return kelmo::explosiveNames(connection);
    };
    s.explosiveHeat = [connectionString](const QString& name) {
        db::Connection connection(connectionString);
        return kelmo::explosiveHeat(connection, name);
    };
    s.probitsToPercent = probitsToPercentLookup(connectionString);
    return s;
}

} // namespace kelmo::zone
