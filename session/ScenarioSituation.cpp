#include "session/ScenarioSituation.h"

#include "core/NumberText.h"
#include "reports/ChargeText.h"

namespace kelmo::situation {

NoScenariosError::NoScenariosError(const QString& planName)
    : Error(QStringLiteral("У плана местности «%1» нет сценариев: рассчитывать нечего. Добавьте "
                           "сценарий (место хранения и заряд) и повторите расчет.")
                .arg(planName)
                .toStdString()) {}

ScenarioNotFoundError::ScenarioNotFoundError(const QString& planName, const QString& scenarioName)
    : Error(QStringLiteral("У плана местности «%1» нет сценария «%2».")
                .arg(planName, scenarioName)
                .toStdString()) {}

ChargeInput chargeOf(const db::ScenarioRecord& scenario) {
    return scenario.charge;
}

StoragePoint storagePointOf(const db::ScenarioRecord& scenario, const QLocale& locale) {
    return {scenario.point, numtext::general(scenario.point.x, locale),
            numtext::general(scenario.point.y, locale)};
}

reports::ChargeDescription descriptionOf(const db::ScenarioRecord& scenario,
                                         const QLocale& locale) {
    const ChargeInput& in = scenario.charge;
    reports::ChargeFields f;
    f.name = scenario.explosive.isEmpty() ? QStringLiteral("Тротил") : scenario.explosive;
    f.massText = numtext::general(in.chargeMassKg, locale);
    f.heatUnit = in.heatUnit;
    f.heatText = numtext::general(in.heat, locale);
    f.secondHeatText = numtext::general(in.molarDivisor, locale);
    f.placement = in.placement;
    f.bodyMassText = numtext::general(in.bodyMassKg, locale);
    return reports::describeCharge(f);
}

const QString& AllScenarios::sourceOf(std::size_t row) const {
    return outcomes[static_cast<std::size_t>(worst.source[row])].scenario.name;
}

AllScenarios evaluateScenarios(Session& session, const QList<db::ScenarioRecord>& scenarios,
                               const QLocale& locale) {
    if (scenarios.isEmpty()) {
        throw NoScenariosError(session.plan().name);
    }
    AllScenarios all;
    all.outcomes.reserve(static_cast<std::size_t>(scenarios.size()));
    for (const db::ScenarioRecord& scenario : scenarios) {
        try {
            all.outcomes.push_back(
                {scenario, session.evaluate(chargeOf(scenario), storagePointOf(scenario, locale),
                                            descriptionOf(scenario, locale))});
        } catch (const ArithmeticError& e) {
            throw ArithmeticError(e.cause(),
                                  QStringLiteral("Сценарий «%1»: %2")
                                      .arg(scenario.name, QString::fromStdString(e.what()))
                                      .toStdString());
        }
    }
    std::vector<const SituationResult*> results;
    results.reserve(all.outcomes.size());
    for (const ScenarioOutcome& outcome : all.outcomes) {
        results.push_back(&outcome.result);
    }
    all.worst = worstCase(results);
    return all;
}

void showWorstCase(Session& session, const AllScenarios& all, const QLocale& locale) {
    std::vector<QString> sources;
    sources.reserve(all.worst.source.size());
    for (std::size_t i = 0; i < all.worst.source.size(); ++i) {
        sources.push_back(all.sourceOf(i));
    }
    std::size_t heaviest = 0;
    for (std::size_t k = 0; k < all.outcomes.size(); ++k) {
        if (all.outcomes[k].result.massTNT > all.outcomes[heaviest].result.massTNT) {
            heaviest = k;
        }
    }
    const db::ScenarioRecord& scenario = all.outcomes[heaviest].scenario;
    reports::ChargeDescription description = descriptionOf(scenario, locale);
    description.name = QStringLiteral("худший случай по сценариям (%1); заряд и место хранения "
                                      "— сценария «%2» (%3)")
                           .arg(all.outcomes.size())
                           .arg(scenario.name, description.name);
    QStringList lines;
    for (const ScenarioOutcome& o : all.outcomes) {
        lines << QStringLiteral("«%1»: тротиловый эквивалент %2 кг, место хранения Х = %3, "
                                "У = %4; ожидаемое число пострадавших %5 чел.")
                     .arg(o.scenario.name, numtext::fixed(o.result.massTNT, 1, locale),
                          numtext::general(o.scenario.point.x, locale),
                          numtext::general(o.scenario.point.y, locale),
                          numtext::fixed(o.result.totals.injured, 2, locale));
    }
    session.showWorstCase(all.worst.situation, std::move(sources), scenario.charge,
                          storagePointOf(scenario, locale), description, lines);
}

} // namespace kelmo::situation
