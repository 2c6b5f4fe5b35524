#include "data/PointCalculation.h"

#include "data/ProbitTable.h"
#include "engine/ZoneRun.h"

#include <cmath>

namespace kelmo {

PointRangeError::PointRangeError()
    : Error(kPointRangeMessage) {}

bool pointInRange(const CalcState& s, double distance) {
    // The charts show rows 1 … pointCount − 1; a run shorter than that has no range.
    if (s.pointCount < 2 || std::isnan(distance)) {
        return false;
    }
    return distance >= s.profile.row(1).r && distance <= s.profile.row(s.pointCount - 1).r;
}

PercentLookup probitsToPercentLookup(const QString& connectionString) {
    return [connectionString](const std::array<float, 3>& probits) {
        db::Connection connection(connectionString);
        return probitsToPercent(probits, connection);
    };
}

PointResult calculatePoint(CalcState& s, const PointInput& in, const PercentLookup& percents) {
    if (!pointInRange(s, in.distance)) {
        throw PointRangeError();
    }
    const ProbitTerms terms = evaluateAtDistance(s, in.placement, in.distance, in.bodyMassKg);

    PointResult r;
    r.deltaPkgf = s.deltaPkgf;
    r.deltaPkPa = s.deltaPkPa;
    r.impulse = s.impulse;
    r.probitHeavy = s.probitHeavy;
    r.probitTotal = s.probitTotal;
    r.probitPeople = s.probitPeople;
    r.ptArgHeavy = terms.vHeavy;
    r.ptArgTotal = terms.vTotal;
    r.ptRelPressure = terms.pBar;
    r.ptRelImpulse = terms.iBar;
    r.ptArgPeople = terms.sPeople;

    const auto p = percents({r.probitHeavy, r.probitTotal, r.probitPeople});
    r.percentHeavy = p[0];
    r.percentTotal = p[1];
    r.percentPeople = p[2];
    return r;
}

} // namespace kelmo
