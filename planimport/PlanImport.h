#pragma once

#include "data/Database.h"
#include "data/SitePlan.h"
#include "planimport/PlanSource.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace kelmo::planimport {

// The structures a general plan's outlines become, in the order they are numbered 1…
struct ImportedStructure {
    db::StructureRecord record;     // number from 1, type and kind, thresholds of the kind
    std::vector<PlanPoint> outline; // the vertices, three or more
    int feature = 0;                // the object of the file it came from
};

struct PlanStructures {
    QList<ImportedStructure> structures;
    QList<RefusedObject> refused; // with the file's own refusals; nothing is stored then
    // True when the file's numbers are not 1, 2, 3 … and the structures were numbered on in
    // the order of those numbers.
    bool renumbered = false;
};

// Turns the outlines into structures of the database's kinds. The kind comes from the
// outline's kind field or, when `kindForAll` is given, is that kind for every outline; a kind
// name the structure types do not list refuses the outline. Each kind's thresholds are the
// middle of its ranges, as a structures file's import sets them. Without a number field the
// outlines are numbered 1… in the order of the file; with one, in the order of their numbers,
// and two outlines of one number are refused. Throws DatabaseError.
PlanStructures structuresOf(db::Connection& c, const SourceReading& reading,
                            const QString& kindForAll = {});

using db::PlanNotEmptyError;

// Stores the structures in the plan of that name, all in one transaction: the plan is created
// when there is none; a plan with structures has them replaced when `replace` is set and is
// refused (PlanNotEmptyError) otherwise. The plan remembers the coordinate system (EPSG code
// or none). Returns the plan's number. Throws DatabaseError (nothing stored).
int storePlanStructures(db::Connection& c, const QString& planName,
                        const QList<ImportedStructure>& structures, std::optional<int> epsg,
                        bool replace);

} // namespace kelmo::planimport
