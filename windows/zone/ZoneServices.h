#pragma once

#include "engine/CalcState.h"

#include <QString>

#include <array>
#include <functional>

class QComboBox;
class QLineEdit;

namespace kelmo::zone {

// The program's one calculation state. Tests point the windows at a fresh one.
CalcState& calcState();
void setCalcStateForTesting(CalcState* state);

// What the zone windows take from the database and the shell, replaceable in tests.
struct Services {
    // Fills the list with the catalogue's names in ascending order and selects the first.
    std::function<void(QComboBox*)> fillExplosiveList;
    // Puts the heat of explosion of the selected explosive into the field.
    std::function<void(QComboBox*, QLineEdit*)> showExplosiveEnergy;
    // Percentages of the three probits (heavy, total, people), on one database connection.
    // Throws kelmo::Error when the database cannot answer.
    std::function<std::array<double, 3>(const std::array<float, 3>&)> probitsToPercent;
    // Shows the main menu window.
    std::function<void()> showMainMenu;

    // The catalogue and the probit table of the database; the main menu is set by the shell.
    static Services defaults();
};

Services& services();

} // namespace kelmo::zone
