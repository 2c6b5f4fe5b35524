#pragma once

#include "data/Database.h"
#include "engine/Situation.h"

#include <QString>

#include <vector>

namespace kelmo {

// The named plan does not exist.
class PlanNotFoundError : public Error {
public:
    explicit PlanNotFoundError(const QString& planName);
};

// A site plan as the situation calculation reads it.
struct SituationPlan {
    int number = 0;
    QString name;
    std::vector<StructureRecord> structures; // in number order
};

// Reads the plan of that name with its structures, converting the stored texts to numbers:
// the outline from its vertex rows, or else the corners with a comma or a point; staff as a whole
// number of at least 0 (else 0, marked); thresholds that are empty take no part. Throws
// PlanNotFoundError and DatabaseError.
SituationPlan loadSituationPlan(db::Connection& connection, const QString& planName);

// The number of staff a record's text gives, or nullopt when it is not a whole number ≥ 0.
std::optional<int> staffFromText(const QString& text);

} // namespace kelmo
