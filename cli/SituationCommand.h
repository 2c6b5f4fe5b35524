#pragma once

#include "data/SituationPlan.h"

#include <QByteArray>
#include <QStringList>

namespace kelmo::cli {

// kelmo-calc situation: what a charge does to each structure of a site plan.
int runSituationCommand(const QStringList& arguments);

// The JSON kelmo-calc prints for the situation on the plan (without the final line break).
QByteArray situationJson(const SituationPlan& plan, const SituationResult& result);

} // namespace kelmo::cli
