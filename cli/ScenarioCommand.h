#pragma once

#include <QStringList>

namespace kelmo::cli {

// kelmo-calc scenario add|list|delete: the charges kept with a site plan.
int runScenarioCommand(const QStringList& arguments);

} // namespace kelmo::cli
