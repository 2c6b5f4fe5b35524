#pragma once

#include <QStringList>

namespace kelmo::cli {

// kelmo-calc init-db [PATH] [--force]: a fresh database with the reference data, by default the
// working database.
int runInitDbCommand(const QStringList& arguments);

// kelmo-calc point --at D [zone options] [--db PATH]: a run, then the calculation at one
// distance with the damage probabilities from the database.
int runPointCommand(const QStringList& arguments);

// kelmo-calc paths [--format text|json]: the version and the folders and files in use.
int runPathsCommand(const QStringList& arguments);

} // namespace kelmo::cli
