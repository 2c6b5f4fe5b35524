#pragma once

#include <QStringList>

namespace kelmo::cli {

// kelmo-calc import-plan: the structures of a general plan (DXF, Shapefile, GeoPackage,
// GeoJSON) stored in a site plan.
int runImportPlanCommand(const QStringList& arguments);

} // namespace kelmo::cli
