#include "engine/CalcState.h"

namespace kelmo {

double ProfileRow::value(int column) const {
    switch (column) {
    case 1:
        return r;
    case 2:
        return deltaPkPa;
    case 3:
        return deltaPkgf;
    case 4:
        return impulse;
    case 5:
        return probitHeavy;
    case 6:
        return probitTotal;
    case 7:
        return probitPeople;
    default:
        return 0;
    }
}

void CalcState::setParameters(const CalcParameters& p) {
    step = p.step;
    chartLimitKPa = p.chartLimitKPa;
    chartDivKPa = p.chartDivKPa;
    chartLimitKgf = p.chartLimitKgf;
    chartDivKgf = p.chartDivKgf;
}

CalcParameters CalcState::parameters() const {
    return {step, chartLimitKPa, chartDivKPa, chartLimitKgf, chartDivKgf};
}

} // namespace kelmo
