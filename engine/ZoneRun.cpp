#include "engine/ZoneRun.h"

#include "engine/Errors.h"

#include <charconv>
#include <cmath>
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
    s.gDeltaPkPa = checkedResult(s.gDeltaPkgf * kKPaPerKgf, "избыточное давление");
    ComputeImpulse(s, r);
    return ComputeProbits(s, s.gDeltaPkPa * 1000, bodyMassKg);
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
    if (!(s.gMassTNT > 0) || !std::isfinite(s.gMassTNT)) {
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

bool reaches(double value, double threshold) {
    return value >= threshold;
}

} // namespace

double RunZoneCalculation(CalcState& s, const ChargeInput& in) {
    s.gPointCount = 0;
    s.gMassTNT = in.chargeMassKg;
    const double heat = heatPerKg(in);
    ComputeMassTNT(s, heat, in.chargeMassKg);

    s.gZoneRadii.clear();
    s.gRadiiKgf.fill(0);
    s.gRadiiCriteria.fill(0);
    s.gRadiiKPa.fill(0);
    s.gRadius53kPa = 0;
    s.gRadius28kPa = 0;
    s.gRadius12kPa = 0;

    double r = 1; // the first distance is always 1 m, whatever the step
    int i = 1;
    const auto evaluate = [&] {
        try {
            evaluateAtDistance(s, in.placement, r, in.bodyMassKg);
        } catch (const ArithmeticError& e) {
            rethrowWithCause(e, s, r, in);
        }
    };

    evaluate();
    while (s.gProbitHeavy >= 1.0f) {
        if (i > ProfileTable::kMaxRows) {
            throw RowLimitError("Шаг расчёта " + numberText(s.gStep) +
                                " м слишком мал для этого заряда: таблица расстояний заполнена (" +
                                std::to_string(ProfileTable::kMaxRows) +
                                " строк), а граница зон ещё не достигнута. Увеличьте шаг расчёта.");
        }
        s.gPointCount = i;

        ProfileRow& row = s.gProfile.row(i);
        row.r = r;
        row.deltaPkPa = s.gDeltaPkPa;
        row.deltaPkgf = s.gDeltaPkgf;
        row.impulse = s.gImpulse;
        row.probitHeavy = s.gProbitHeavy;
        row.probitTotal = s.gProbitTotal;
        row.probitPeople = s.gProbitPeople;

        for (std::size_t t = 0; t < kThresholdsKgf.size(); ++t) {
            if (reaches(s.gDeltaPkgf, kThresholdsKgf[t])) {
                s.gRadiiKgf[t + 1] = r;
            }
        }
        for (std::size_t t = 0; t < kThresholdsCriteria.size(); ++t) {
            if (reaches(s.gDeltaPkPa, kThresholdsCriteria[t])) {
                s.gRadiiCriteria[t + 1] = r;
            }
        }
        for (std::size_t t = 0; t < kThresholdsKPa.size(); ++t) {
            if (reaches(s.gDeltaPkPa, kThresholdsKPa[t])) {
                s.gRadiiKPa[t + 1] = r;
            }
        }
        if (reaches(s.gDeltaPkPa, 53)) {
            s.gRadius53kPa = r;
        }
        if (reaches(s.gDeltaPkPa, 28)) {
            s.gRadius28kPa = r;
        }
        if (reaches(s.gDeltaPkPa, 12)) {
            s.gRadius12kPa = r;
        }

        const float probits[3] = {s.gProbitHeavy, s.gProbitTotal, s.gProbitPeople};
        for (int j = 1; j <= ZoneRadiiTable::kFunctions; ++j) {
            for (int k = 1; k <= ZoneRadiiTable::kBoundaries; ++k) {
                if (probits[j - 1] >= kZoneBoundaries[static_cast<std::size_t>(k - 1)]) {
                    s.gZoneRadii(k, j) = static_cast<float>(r);
                }
            }
        }

        ++i;
        r = r + s.gStep;
        evaluate();
    }

    // The end distance rounded half to even, kept as a double so that a very large charge
    // cannot overflow it.
    s.gMaxDistance = std::nearbyint(r) - 1;
    return r;
}

} // namespace kelmo
