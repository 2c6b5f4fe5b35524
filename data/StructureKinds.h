#pragma once

#include "data/ExplosiveRecords.h"

#include <array>
#include <optional>
#include <vector>

#include <QString>

namespace kelmo::db {

// The eight overpressure bounds of a kind, kPa, in the order of the table's fields: weak,
// medium, strong and complete destruction, least then greatest value of each.
using DestructionRanges = std::array<double, 8>;
inline constexpr std::array<const char*, 8> kDestructionFields = {
    "Slamin", "Slamax", "Sremin", "Sremax", "Sulmin", "Sulmax", "Polmin", "Polmax"};

struct TypeRecord {
    int number = 0;
    QString name;
};

// A kind is known by its type number and its name.
struct KindKey {
    int type = 0;
    QString name;
};

// One row of BSubTypes with the name of its type (empty when no type has its number).
struct KindRecord {
    int type = 0;
    QString typeName;
    QString name;
    DestructionRanges ranges{};
};

// What the user stores: the type by name (an existing one, or a new one under `typeNumber`),
// the kind's name and its ranges.
struct KindInput {
    QString typeName;
    int typeNumber = 0;
    QString kindName;
    DestructionRanges ranges{};
};

// Every kind with its type's name, read with one join, in the table's order.
std::vector<KindRecord> readStructureKinds(Connection& connection);

// Every structure type in the table's own order, as the plan editor lists them.
std::vector<TypeRecord> readStructureTypes(Connection& connection);

// The type whose name is `name` regardless of letter case, if there is one.
std::optional<TypeRecord> findTypeByName(const std::vector<TypeRecord>& types, const QString& name);

// How many structures of site plans are recorded with this kind of this type.
int structuresOfKind(Connection& connection, const QString& typeName, const QString& kindName);

// The stores and the delete are each one transaction. A new type name adds the type with
// the input's number; an existing type keeps its own. A type left without kinds is removed.
// Structures of site plans recorded under the changed kind follow its new type and name.
// Throws DatabaseError when the database fails.
EditResult addStructureKind(Connection& connection, const KindInput& input);
EditResult changeStructureKind(Connection& connection, const KindKey& old, const KindInput& input);
EditResult deleteStructureKind(Connection& connection, const KindKey& kind);

} // namespace kelmo::db
