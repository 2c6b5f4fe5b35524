#pragma once

#include "data/SituationPlan.h"

#include <QByteArray>
#include <QStringList>

namespace kelmo::situation {
struct AllScenarios;
}

namespace kelmo::cli {

// kelmo-calc situation: what a charge does to each structure of a site plan.
int runSituationCommand(const QStringList& arguments);

// The JSON kelmo-calc prints for the situation on the plan (without the final line break).
// With all the scenarios, each row is its worst case and names the scenario that gives it;
// the storage points are those of the scenarios, and massTNT is the largest of them.
QByteArray situationJson(const SituationPlan& plan, const SituationResult& result,
                         const situation::AllScenarios* all = nullptr);

} // namespace kelmo::cli
