#include "data/StructureKinds.h"

namespace kelmo::db {

namespace {

void refuseLongNames(const KindInput& input) {
    for (const auto& [field, name] :
         {std::pair{QStringLiteral("Тип сооружения"), input.typeName},
          std::pair{QStringLiteral("Вид сооружения"), input.kindName}}) {
        if (const QString problem = nameLengthProblem(field, name.trimmed()); !problem.isEmpty()) {
            throw DatabaseError(problem);
        }
    }
}

QString rangeColumns() {
    QStringList names;
    for (const char* name : kDestructionFields) {
        names << QLatin1String(name);
    }
    return names.join(QStringLiteral(", "));
}

std::optional<QString> typeName(Connection& connection, int number) {
    QSqlQuery query =
        connection.exec(QStringLiteral("select TName from BTypes where TNum = ?"), {number});
    if (!query.next()) {
        return std::nullopt;
    }
    return query.value(0).toString();
}

int kindCount(Connection& connection, int type) {
    QSqlQuery query =
        connection.exec(QStringLiteral("select count(*) from BSubTypes where Type = ?"), {type});
    return query.next() ? query.value(0).toInt() : 0;
}

bool kindExists(Connection& connection, const KindKey& kind) {
    QSqlQuery query = connection.exec(
        QStringLiteral("select count(*) from BSubTypes where Type = ? and STName = ?"),
        {kind.type, kind.name});
    return query.next() && query.value(0).toInt() > 0;
}

// Whether a kind of the type other than `except` already carries the name.
bool kindNameTaken(Connection& connection, int type, const QString& name, const KindKey* except) {
    QSqlQuery query =
        connection.exec(QStringLiteral("select STName from BSubTypes where Type = ?"), {type});
    while (query.next()) {
        const QString existing = query.value(0).toString();
        if (except != nullptr && except->type == type && existing == except->name) {
            continue;
        }
        if (sameCatalogueName(existing, name)) {
            return true;
        }
    }
    return false;
}

struct ResolvedType {
    TypeRecord type;
    bool isNew = false;
};

// The type the input names, or NumberTaken when a new type's number is in use.
std::optional<ResolvedType> resolveType(Connection& connection, const KindInput& input) {
    const std::vector<TypeRecord> types = readStructureTypes(connection);
    if (const auto existing = findTypeByName(types, input.typeName)) {
        return ResolvedType{*existing, false};
    }
    for (const TypeRecord& t : types) {
        if (t.number == input.typeNumber) {
            return std::nullopt;
        }
    }
    return ResolvedType{{input.typeNumber, input.typeName.trimmed()}, true};
}

QVariantList rangeValues(const DestructionRanges& ranges) {
    QVariantList values;
    for (const double v : ranges) {
        values << v;
    }
    return values;
}

void removeTypeIfEmpty(Connection& connection, int type) {
    if (kindCount(connection, type) == 0) {
        connection.exec(QStringLiteral("delete from BTypes where TNum = ?"), {type});
    }
}

} // namespace

std::vector<KindRecord> readStructureKinds(Connection& connection) {
    std::vector<KindRecord> kinds;
    QSqlQuery query =
        connection.select(QStringLiteral("select t.TName, k.Type, k.STName, %1 from BSubTypes k "
                                         "left join BTypes t on t.TNum = k.Type")
                              .arg(rangeColumns()));
    while (query.next()) {
        KindRecord kind;
        kind.typeName = query.value(0).toString();
        kind.type = query.value(1).toInt();
        kind.name = query.value(2).toString();
        for (int i = 0; i < 8; ++i) {
            kind.ranges[static_cast<std::size_t>(i)] = query.value(3 + i).toDouble();
        }
        kinds.push_back(std::move(kind));
    }
    return kinds;
}

std::vector<TypeRecord> readStructureTypes(Connection& connection) {
    std::vector<TypeRecord> types;
    QSqlQuery query = connection.select(QStringLiteral("select TNum, TName from BTypes"));
    while (query.next()) {
        types.push_back({query.value(0).toInt(), query.value(1).toString()});
    }
    return types;
}

std::optional<TypeRecord> findTypeByName(const std::vector<TypeRecord>& types,
                                         const QString& name) {
    for (const TypeRecord& t : types) {
        if (sameCatalogueName(t.name, name)) {
            return t;
        }
    }
    return std::nullopt;
}

int structuresOfKind(Connection& connection, const QString& typeName, const QString& kindName) {
    QSqlQuery query =
        connection.exec(QStringLiteral("select count(*) from IDPM where Combo2 = ? and Combo3 = ?"),
                        {typeName, kindName});
    return query.next() ? query.value(0).toInt() : 0;
}

EditResult addStructureKind(Connection& connection, const KindInput& input) {
    refuseLongNames(input);
    Transaction transaction(connection);
    const auto type = resolveType(connection, input);
    if (!type) {
        return EditResult::NumberTaken;
    }
    if (!type->isNew && kindNameTaken(connection, type->type.number, input.kindName, nullptr)) {
        return EditResult::NameTaken;
    }
    if (type->isNew) {
        connection.exec(QStringLiteral("insert into BTypes (TNum, TName) values (?, ?)"),
                        {type->type.number, type->type.name});
    }
    QVariantList values{type->type.number, input.kindName.trimmed()};
    values << rangeValues(input.ranges);
    connection.exec(QStringLiteral("insert into BSubTypes (Type, STName, %1) values "
                                   "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                        .arg(rangeColumns()),
                    values);
    transaction.commit();
    return EditResult::Done;
}

EditResult changeStructureKind(Connection& connection, const KindKey& old, const KindInput& input) {
    refuseLongNames(input);
    Transaction transaction(connection);
    if (!kindExists(connection, old)) {
        return EditResult::Missing;
    }
    const auto type = resolveType(connection, input);
    if (!type) {
        return EditResult::NumberTaken;
    }
    if (!type->isNew && kindNameTaken(connection, type->type.number, input.kindName, &old)) {
        return EditResult::NameTaken;
    }
    if (type->isNew) {
        connection.exec(QStringLiteral("insert into BTypes (TNum, TName) values (?, ?)"),
                        {type->type.number, type->type.name});
    }
    const QString newName = input.kindName.trimmed();
    QStringList assignments;
    for (const char* name : kDestructionFields) {
        assignments << QStringLiteral("%1 = ?").arg(QLatin1String(name));
    }
    QVariantList values{type->type.number, newName};
    values << rangeValues(input.ranges) << old.type << old.name;
    // On a server the kind may go between the check and the update: Missing, never Done.
    QSqlQuery update =
        connection.exec(QStringLiteral("update BSubTypes set Type = ?, STName = ?, %1 "
                                       "where Type = ? and STName = ?")
                            .arg(assignments.join(QStringLiteral(", "))),
                        values);
    if (update.numRowsAffected() != 1) {
        return EditResult::Missing;
    }

    // Structures name their type and kind; they follow the kind.
    if (const auto oldTypeName = typeName(connection, old.type)) {
        if (*oldTypeName != type->type.name || old.name != newName) {
            connection.exec(QStringLiteral("update IDPM set Combo2 = ?, Combo3 = ? "
                                           "where Combo2 = ? and Combo3 = ?"),
                            {type->type.name, newName, *oldTypeName, old.name});
        }
    }
    if (old.type != type->type.number) {
        removeTypeIfEmpty(connection, old.type);
    }
    transaction.commit();
    return EditResult::Done;
}

EditResult deleteStructureKind(Connection& connection, const KindKey& kind) {
    Transaction transaction(connection);
    if (!kindExists(connection, kind)) {
        return EditResult::Missing;
    }
    QSqlQuery removal =
        connection.exec(QStringLiteral("delete from BSubTypes where Type = ? and STName = ?"),
                        {kind.type, kind.name});
    if (removal.numRowsAffected() != 1) {
        return EditResult::Missing;
    }
    removeTypeIfEmpty(connection, kind.type);
    transaction.commit();
    return EditResult::Done;
}

} // namespace kelmo::db
