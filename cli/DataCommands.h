#pragma once

#include <QStringList>

namespace kelmo::cli {

// kelmo-calc init-db PATH [--force]: a fresh database with the reference data.
int runInitDbCommand(const QStringList& arguments);

// kelmo-calc point --at D [zone options] [--db PATH]: a run, then the calculation at one
// distance with the damage probabilities from the database.
int runPointCommand(const QStringList& arguments);

} // namespace kelmo::cli
