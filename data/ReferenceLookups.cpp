#include "data/ReferenceLookups.h"

#include "data/Database.h"
#include "data/ExplosiveCatalogue.h"

namespace kelmo {

ReferenceLookups ReferenceLookups::fromDatabase(const QString& connectionString) {
    ReferenceLookups r;
    r.explosiveNames = [connectionString] {
        db::Connection connection(connectionString);
        return kelmo::explosiveNames(connection);
    };
    r.explosiveHeat = [connectionString](const QString& name) {
        db::Connection connection(connectionString);
        return kelmo::explosiveHeat(connection, name);
    };
    r.probitsToPercent = probitsToPercentLookup(connectionString);
    return r;
}

} // namespace kelmo
