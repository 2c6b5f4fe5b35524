#include "windows/zone/ZoneServices.h"

#include "data/ExplosiveCatalogue.h"
#include "data/PointCalculation.h"

#include <QComboBox>
#include <QLineEdit>

#include <memory>

namespace kelmo::zone {

namespace {
CalcState*& testState() {
    static CalcState* state = nullptr;
    return state;
}
} // namespace

CalcState& calcState() {
    if (testState() != nullptr) {
        return *testState();
    }
    // 2.8 MB of profile rows: allocated once, on first use, and kept for the whole program.
    static const std::unique_ptr<CalcState> state = std::make_unique<CalcState>();
    return *state;
}

void setCalcStateForTesting(CalcState* state) {
    testState() = state;
}

Services Services::defaults() {
    Services s;
    s.fillExplosiveList = [](QComboBox* combo) {
        FillExplosiveList(combo->window());
    };
    s.showExplosiveEnergy = [](QComboBox* combo, QLineEdit*) {
        ShowExplosiveEnergy(combo->window());
    };
    s.probitsToPercent = ProbitsToPercentLookup();
    return s;
}

Services& services() {
    static Services instance = Services::defaults();
    return instance;
}

} // namespace kelmo::zone
