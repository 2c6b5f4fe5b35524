#pragma once

#include "data/Scenarios.h"
#include "engine/WorstCase.h"
#include "reports/ReportData.h"
#include "session/SituationSession.h"

#include <QList>
#include <QLocale>
#include <QString>

#include <vector>

namespace kelmo::situation {

// The plan has no scenarios to calculate.
class NoScenariosError : public Error {
public:
    explicit NoScenariosError(const QString& planName);
};

// The named scenario is not on the plan (deleted, renamed, or never there).
class ScenarioNotFoundError : public Error {
public:
    ScenarioNotFoundError(const QString& planName, const QString& scenarioName);
};

// The charge, storage point and description of a scenario, numbers written in the locale.
ChargeInput chargeOf(const db::ScenarioRecord& scenario);
StoragePoint storagePointOf(const db::ScenarioRecord& scenario, const QLocale& locale = QLocale());
reports::ChargeDescription descriptionOf(const db::ScenarioRecord& scenario,
                                         const QLocale& locale = QLocale());

// One scenario's situation.
struct ScenarioOutcome {
    db::ScenarioRecord scenario;
    SituationResult result;
};

// Every scenario of a plan at once and, structure by structure, the worst of them.
struct AllScenarios {
    std::vector<ScenarioOutcome> outcomes; // in the order given
    WorstCaseResult worst;                 // source indexes outcomes

    // The name of the scenario that gives the row's worst case.
    const QString& sourceOf(std::size_t row) const;
};

// Evaluates the session's plan for each scenario; the session is left with the last one's
// result. Throws NoScenariosError for an empty list, and what Session::evaluate throws, with
// the scenario's name in front of its message.
AllScenarios evaluateScenarios(Session& session, const QList<db::ScenarioRecord>& scenarios,
                               const QLocale& locale = QLocale());

// Puts the worst case into the session, for the situation window: the rows name their
// scenarios, and the charge shown is the heaviest scenario's under a name that says it is the
// worst case of them all.
void showWorstCase(Session& session, const AllScenarios& all, const QLocale& locale = QLocale());

} // namespace kelmo::situation
