#include "engine/Situation.h"

#include "engine/BlastFormulas.h"
#include "engine/Errors.h"
#include "engine/Probits.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace kelmo {

namespace {

bool given(double threshold) {
    return std::isfinite(threshold) && threshold > 0;
}

// A four-corner structure is evaluated as it always was, whatever its corners; an outline of
// another shape must be a proper polygon.
std::optional<std::string> outlineDefectOf(const StructureRecord& structure) {
    if (structure.outline.size() == 4) {
        return std::nullopt;
    }
    return outlineDefect(structure.outline);
}

} // namespace

std::optional<DestructionDegree> destructionDegree(double deltaPkPa,
                                                   const DestructionThresholds& thresholds) {
    // Highest degree first: a structure destroyed completely is not "strongly" destroyed.
    const std::array<std::pair<double, DestructionDegree>, 4> ordered{{
        {thresholds.complete, DestructionDegree::Complete},
        {thresholds.strong, DestructionDegree::Strong},
        {thresholds.medium, DestructionDegree::Medium},
        {thresholds.weak, DestructionDegree::Weak},
    }};
    bool anyGiven = false;
    for (const auto& [threshold, degree] : ordered) {
        if (!given(threshold)) {
            continue;
        }
        anyGiven = true;
        if (deltaPkPa >= threshold) {
            return degree;
        }
    }
    if (!anyGiven) {
        return std::nullopt;
    }
    return DestructionDegree::None;
}

SituationResult evaluateSituation(const ChargeInput& charge, PlanPoint chargePoint,
                                  const std::vector<StructureRecord>& structures,
                                  const ProbitPercent& percentOf) {
    // One state for the whole plan: the formulas keep their current-distance values in it.
    auto state = std::make_unique<CalcState>();
    ComputeMassTNT(*state, heatPerKg(charge), charge.chargeMassKg);
    if (!(state->massTnt > 0)) {
        throw ArithmeticError(ArithmeticError::Cause::ChargeMass,
                              "Расчёт невозможен: тротиловый эквивалент заряда должен быть больше "
                              "нуля. Проверьте массу заряда и теплоту взрыва.");
    }
    if (!(charge.bodyMassKg > 0) || !std::isfinite(charge.bodyMassKg)) {
        throw ArithmeticError(ArithmeticError::Cause::BodyMass,
                              "Расчёт невозможен: масса тела человека должна быть больше нуля.");
    }

    if (!isWithinPlan(chargePoint)) {
        // Every structure would be refused alone: the point itself is what to correct.
        throw ArithmeticError(ArithmeticError::Cause::General,
                              "Расчёт невозможен: координаты места хранения КВВ вне пределов "
                              "плана (±100 000 000 м).");
    }

    SituationResult result;
    result.massTNT = state->massTnt;
    result.chargePoint = chargePoint;
    result.rows.reserve(structures.size());

    for (const StructureRecord& structure : structures) {
        SituationRow row{structure, std::nullopt, {}};
        result.totals.staff += structure.staff;
        if (structure.outlineUnreadable) {
            row.refusal = "координаты углов не являются числами";
            ++result.totals.refused;
        } else if (!isWithinPlan(structure.outline)) {
            row.refusal = "координаты углов вне пределов плана (±100 000 000 м)";
            ++result.totals.refused;
        } else if (const auto defect = outlineDefectOf(structure)) {
            row.refusal = "контур не принят: " + *defect;
            ++result.totals.refused;
        } else {
            StructureImpact impact;
            impact.distance = distanceToOutline(chargePoint, structure.outline);
            impact.atMinimumDistance = impact.distance < kMinimumEvaluationDistance;
            impact.evaluatedAt =
                impact.atMinimumDistance ? kMinimumEvaluationDistance : impact.distance;
            try {
                if (!std::isfinite(impact.distance)) {
                    throw ArithmeticError(ArithmeticError::Cause::Distance,
                                          "расстояние до сооружения не вычисляется");
                }
                evaluateAtDistance(*state, charge.placement, impact.evaluatedAt, charge.bodyMassKg);
            } catch (const ArithmeticError& e) {
                // One structure the formulas cannot take does not stop the others.
                row.refusal = std::string("расчет невозможен: ") + e.what();
                ++result.totals.refused;
                result.rows.push_back(std::move(row));
                continue;
            }
            impact.deltaPkPa = state->deltaPkPa;
            impact.impulse = state->impulse;
            impact.probitHeavy = state->probitHeavy;
            impact.probitTotal = state->probitTotal;
            impact.probitPeople = state->probitPeople;
            impact.percentHeavy = percentOf(impact.probitHeavy);
            impact.percentTotal = percentOf(impact.probitTotal);
            impact.percentPeople = percentOf(impact.probitPeople);
            impact.degree = destructionDegree(impact.deltaPkPa, structure.thresholds);
            impact.injured = structure.staff * impact.percentHeavy / 100;

            if (impact.degree) {
                ++result.totals.byDegree[static_cast<std::size_t>(*impact.degree)];
            } else {
                ++result.totals.undetermined;
            }
            result.totals.injured += impact.injured;
            row.impact = impact;
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

} // namespace kelmo
