#pragma once

#include "data/Database.h"

#include <optional>
#include <vector>

#include <QString>

namespace kelmo::db {

// One explosive of the catalogue: its name and its explosion energy in kJ/kg.
struct ExplosiveRecord {
    QString name;
    double energy = 0;
};

// What became of a store or a delete. The database may be shared, so the row asked for may
// have gone, or another row may have taken the name, since the window last read the table.
enum class EditResult {
    Done,
    Missing,     // the row to change or delete is no longer in the table
    NameTaken,   // another row already has this name (or a kind this name within its type)
    NumberTaken, // another type already has this number
};

// Catalogue names are compared without regard to letter case: "тротил" and "Тротил" would be
// one explosive to the user.
bool sameCatalogueName(const QString& a, const QString& b);

// The catalogue sorted by name, as the windows list it. Throws DatabaseError.
std::vector<ExplosiveRecord> readExplosives(Connection& connection);

// The explosive of exactly this name, if the table has it. Throws DatabaseError.
std::optional<ExplosiveRecord> findExplosive(Connection& connection, const QString& name);

// Each of these is one transaction: it checks and writes, or writes nothing.
// Throws DatabaseError when the database fails.
EditResult addExplosive(Connection& connection, const ExplosiveRecord& explosive);
// The row named oldName becomes the given explosive, in place.
EditResult replaceExplosive(Connection& connection, const QString& oldName,
                            const ExplosiveRecord& explosive);
EditResult deleteExplosive(Connection& connection, const QString& name);

} // namespace kelmo::db
