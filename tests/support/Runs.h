#pragma once

#include "engine/ZoneRun.h"

#include <memory>

namespace kelmo::test {

// A fresh calculation state after a run of a TNT charge (4520 kJ/kg, body mass 70 kg), with
// the parameters the input window loads and the given step.
inline std::unique_ptr<CalcState> stateAfterRun(double massKg, double step = 1,
                                                Placement placement = Placement::Air) {
    auto s = std::make_unique<CalcState>();
    s->setParameters(CalcParameters::loadValues());
    s->step = step;
    ChargeInput in;
    in.chargeMassKg = massKg;
    in.placement = placement;
    RunZoneCalculation(*s, in);
    return s;
}

} // namespace kelmo::test
