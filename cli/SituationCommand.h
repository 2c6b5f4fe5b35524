#pragma once

#include <QStringList>

namespace kelmo::cli {

// kelmo-calc situation: what a charge does to each structure of a site plan.
int runSituationCommand(const QStringList& arguments);

} // namespace kelmo::cli
