#include "engine/ZoneRun.h"

#include "engine/Errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kelmo {

double heatPerKg(const ChargeInput& in) {
    if (in.heatUnit == HeatUnit::PerMole) {
        return heatPerKgFromPerMole(in.heat, in.molarDivisor);
    }
    return in.heat;
}

ProbitTerms evaluateAtDistance(CalcState& s, Placement placement, double r, double bodyMassKg) {
    computeOverpressure(s, placement, r);
    s.deltaPkPa = checkedResult(s.deltaPkgf * kKPaPerKgf, "избыточное давление");
    ComputeImpulse(s, r);
    return ComputeProbits(s, s.deltaPkPa * 1000, bodyMassKg);
}

namespace {

// Shortest text of a number with a decimal comma, for the messages.
std::string numberText(double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    std::string text(buffer, result.ptr);
    for (char& c : text) {
        if (c == '.') {
            c = ',';
        }
    }
    return text;
}

// Names the input that made a formula fail, so that the user knows what to correct.
[[noreturn]] void rethrowWithCause(const ArithmeticError& e, const CalcState& s, double r,
                                   const ChargeInput& in) {
    using Cause = ArithmeticError::Cause;
    if (!(s.massTnt > 0) || !std::isfinite(s.massTnt)) {
        throw ArithmeticError(Cause::ChargeMass,
                              "Расчёт невозможен: тротиловый эквивалент заряда должен быть больше "
                              "нуля. Проверьте массу заряда и теплоту взрыва.");
    }
    if (!(r > 0)) {
        throw ArithmeticError(Cause::Distance,
                              "Расчёт невозможен: расстояние от заряда стало равным " +
                                  numberText(r) + " м. Шаг расчёта должен быть больше нуля.");
    }
    if (!(in.bodyMassKg > 0) || !std::isfinite(in.bodyMassKg)) {
        throw ArithmeticError(Cause::BodyMass,
                              "Расчёт невозможен: масса тела человека должна быть больше нуля.");
    }
    throw ArithmeticError(Cause::General,
                          std::string(e.what()) + " Расстояние " + numberText(r) + " м.");
}

// True when the heavy-damage probit at the current distance is certainly below 1, judged in
// logarithms so that it holds where the probit's own sum overflows: a charge so small that
// (290 / I)^9.3 exceeds the double range damages nothing, like any other tiny charge.
bool heavyProbitSurelyBelowOne(const CalcState& s) {
    const double pressurePa = s.deltaPkPa * 1000;
    if (!(s.massTnt > 0) || !(pressurePa > 0) || !(s.impulse > 0) || !std::isfinite(pressurePa) ||
        !std::isfinite(s.impulse)) {
        return false;
    }
    // ln V ≥ ln of either term; probit = 5 − 0.26·ln V < 1 once ln V > 4 / 0.26.
    const double lnV =
        std::max(8.4 * std::log(17500 / pressurePa), 9.3 * std::log(290 / s.impulse));
    return std::isfinite(lnV) ? lnV > 4 / 0.26 + 1 : lnV > 0;
}

bool reaches(double value, double threshold) {
    return value >= threshold;
}

// The radii of every threshold that the current-distance values reach become r.
void recordRadii(CalcState& s, double r) {
    for (std::size_t t = 0; t < kThresholdsKgf.size(); ++t) {
        if (reaches(s.deltaPkgf, kThresholdsKgf[t])) {
            s.radiiKgf[t + 1] = r;
        }
    }
    for (std::size_t t = 0; t < kThresholdsCriteria.size(); ++t) {
        if (reaches(s.deltaPkPa, kThresholdsCriteria[t])) {
            s.radiiCriteria[t + 1] = r;
        }
    }
    for (std::size_t t = 0; t < kThresholdsKPa.size(); ++t) {
        if (reaches(s.deltaPkPa, kThresholdsKPa[t])) {
            s.radiiKPa[t + 1] = r;
        }
    }
    if (reaches(s.deltaPkPa, 53)) {
        s.radius53kPa = r;
    }
    if (reaches(s.deltaPkPa, 28)) {
        s.radius28kPa = r;
    }
    if (reaches(s.deltaPkPa, 12)) {
        s.radius12kPa = r;
    }
    const float probits[3] = {s.probitHeavy, s.probitTotal, s.probitPeople};
    for (int j = 1; j <= ZoneRadiiTable::kFunctions; ++j) {
        for (int k = 1; k <= ZoneRadiiTable::kBoundaries; ++k) {
            if (probits[j - 1] >= kZoneBoundaries[static_cast<std::size_t>(k - 1)]) {
                s.zoneRadii(k, j) = static_cast<float>(r);
            }
        }
    }
}

// True while the current-distance values still reach the lowest threshold of any list, so
// that some radius would still grow.
bool reachesAnyThreshold(const CalcState& s) {
    const float lowestBoundary = kZoneBoundaries.back();
    return reaches(s.deltaPkgf, kThresholdsKgf.back()) ||
           reaches(s.deltaPkPa, std::min(kThresholdsKPa.back(), 12.0)) ||
           s.probitHeavy >= lowestBoundary || s.probitTotal >= lowestBoundary ||
           s.probitPeople >= lowestBoundary;
}

[[noreturn]] void throwWalkTooLong(double step) {
    throw RowLimitError("Шаг расчёта " + numberText(step) +
                        " м слишком мал для этого заряда: радиусы порогов за концом таблицы "
                        "расстояний не найдены за " +
                        std::to_string(kMaxStepsPastTable) + " шагов. Увеличьте шаг расчёта.");
}

} // namespace

double RunZoneCalculation(CalcState& s, const ChargeInput& in) {
    s.pointCount = 0;
    s.massTnt = in.chargeMassKg;
    const double heat = heatPerKg(in);
    ComputeMassTNT(s, heat, in.chargeMassKg);

    s.zoneRadii.clear();
    s.radiiKgf.fill(0);
    s.radiiCriteria.fill(0);
    s.radiiKPa.fill(0);
    s.radius53kPa = 0;
    s.radius28kPa = 0;
    s.radius12kPa = 0;

    double r = 1; // the first distance is always 1 m, whatever the step
    int i = 1;
    const auto evaluate = [&] {
        try {
            evaluateAtDistance(s, in.placement, r, in.bodyMassKg);
        } catch (const ArithmeticError& e) {
            if (heavyProbitSurelyBelowOne(s)) {
                // The walk ends here, as it does wherever the probit falls below 1.
                s.probitHeavy = s.probitTotal = s.probitPeople =
                    std::numeric_limits<float>::lowest();
                return;
            }
            rethrowWithCause(e, s, r, in);
        }
    };

    evaluate();
    while (s.probitHeavy >= 1.0f) {
        if (i > ProfileTable::kMaxRows) {
            throw RowLimitError("Шаг расчёта " + numberText(s.step) +
                                " м слишком мал для этого заряда: таблица расстояний заполнена (" +
                                std::to_string(ProfileTable::kMaxRows) +
                                " строк), а граница зон ещё не достигнута. Увеличьте шаг расчёта.");
        }
        s.pointCount = i;

        ProfileRow& row = s.profile.row(i);
        row.r = r;
        row.deltaPkPa = s.deltaPkPa;
        row.deltaPkgf = s.deltaPkgf;
        row.impulse = s.impulse;
        row.probitHeavy = s.probitHeavy;
        row.probitTotal = s.probitTotal;
        row.probitPeople = s.probitPeople;

        recordRadii(s, r);

        ++i;
        r = r + s.step;
        evaluate();
    }

    // Past the table: the thresholds the last stored row still reaches get their true radii.
    // The values at the end distance are kept for whoever reads them after the run.
    if (s.pointCount > 0 && reachesAnyThreshold(s)) {
        const double endDeltaPkgf = s.deltaPkgf;
        const double endDeltaPkPa = s.deltaPkPa;
        const double endImpulse = s.impulse;
        const float endProbits[3] = {s.probitHeavy, s.probitTotal, s.probitPeople};
        double beyond = r;
        for (long long steps = 0; reachesAnyThreshold(s); ++steps) {
            if (steps == kMaxStepsPastTable) {
                throwWalkTooLong(s.step);
            }
            recordRadii(s, beyond);
            beyond = beyond + s.step;
            const double saved = r;
            r = beyond; // the cause of a failure names this distance
            evaluate();
            r = saved;
        }
        s.deltaPkgf = endDeltaPkgf;
        s.deltaPkPa = endDeltaPkPa;
        s.impulse = endImpulse;
        s.probitHeavy = endProbits[0];
        s.probitTotal = endProbits[1];
        s.probitPeople = endProbits[2];
    }

    // The end distance rounded half to even, kept as a double so that a very large charge
    // cannot overflow it.
    s.maxDistance = std::nearbyint(r) - 1;
    return r;
}

double overpressureRadius(const CalcState& run, Placement placement, double kPa) {
    // The overpressure falls with the distance, so the rows that reach it come first.
    int lo = 0;
    int hi = run.pointCount;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (run.profile.row(mid).deltaPkPa >= kPa) {
            lo = mid;
        } else {
            hi = mid - 1;
        }
    }
    if (lo == 0) {
        return 0;
    }
    double r = run.profile.row(lo).r;
    if (lo < run.pointCount) {
        return r;
    }
    // The last row still reaches it: go on with the run's own step.
    for (long long steps = 0;; ++steps) {
        if (steps == kMaxStepsPastTable) {
            throwWalkTooLong(run.step);
        }
        const double next = r + run.step;
        const double deltaPkPa = checkedResult(
            overpressureKgf(run.massTnt, placement, next) * kKPaPerKgf, "избыточное давление");
        if (!(deltaPkPa >= kPa) || !(next > r)) {
            return r;
        }
        r = next;
    }
}

} // namespace kelmo
