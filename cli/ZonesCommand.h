#pragma once

#include "engine/CalcState.h"

#include <QStringList>

namespace kelmo::cli {

class JsonWriter;

// kelmo-calc zones: the zone calculation, as JSON or as a CSV profile table.
int runZonesCommand(const QStringList& arguments);

// The results of a run as JSON members of an open object.
void writeZoneResults(JsonWriter& json, const CalcState& s, double endDistance, bool withProfile);

// The profile rows as CSV with a header line.
QByteArray profileCsv(const CalcState& s);

} // namespace kelmo::cli
