#pragma once

#include "data/Database.h"
#include "data/ProbitPercentTable.h"
#include "data/SituationPlan.h"
#include "engine/Situation.h"
#include "reports/Docx.h"
#include "reports/FullReport.h"
#include "reports/ReportData.h"

#include <QImage>
#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

namespace kelmo::situation {

// The plan has no structures: there is nothing to calculate.
class EmptyPlanError : public Error {
public:
    explicit EmptyPlanError(const QString& planName);
};

// Where the charge is stored, in numbers and as typed.
struct StoragePoint {
    PlanPoint point;
    QString xText;
    QString yText;
};

// The situation on one site plan: the plan and the probit table read once, then the
// calculation for a charge, as often as the charge changes. The situation window,
// kelmo-calc and the reports all work through it.
class Session final {
public:
    // Read the plan (by name or by number) and the probit table. Throw PlanNotFoundError,
    // EmptyPlanError or DatabaseError.
    static Session open(db::Connection& connection, const QString& planName);
    static Session open(db::Connection& connection, int planNumber);

    const SituationPlan& plan() const { return m_plan; }

    // The calculation for the charge stored at the point. Throws ArithmeticError or
    // DatabaseError (a probit the table does not cover); the last result then stays.
    const SituationResult& evaluate(const ChargeInput& charge, const StoragePoint& point,
                                    const reports::ChargeDescription& description);

    // The worst case of several charges in place of one charge's result: each row as its worst
    // charge gives it and named by `sources` (one per row), the charge and the storage point
    // those of the heaviest charge, whose zones the map draws. evaluate() returns to one charge.
    const SituationResult& showWorstCase(SituationResult worst, std::vector<QString> sources,
                                         const ChargeInput& charge, const StoragePoint& point,
                                         const reports::ChargeDescription& description,
                                         QStringList scenarioLines = {});
    // The scenario of each row of a worst case; empty for one charge.
    const std::vector<QString>& rowSources() const { return m_sources; }

    const std::optional<SituationResult>& result() const { return m_result; }
    const ChargeInput& charge() const { return m_charge; }
    const reports::ChargeDescription& description() const { return m_description; }
    const StoragePoint& storagePoint() const { return m_point; }

    // The documents of the last result; each throws DocumentError (FileError for the table).
    // The map, when given, is a picture of the plan drawn at 300 dpi.
    // The byline's organisation and author come from the user's settings.
    docx::Document report(const QImage& map = {}, const QLocale& locale = QLocale(),
                          const reports::Progress& progress = {},
                          const reports::ReportByline& byline = {}) const;
    void writeTable(const QString& path, const QLocale& locale = QLocale()) const;

private:
    Session() = default;

    SituationPlan m_plan;
    ProbitPercentTable m_table;
    ChargeInput m_charge;
    reports::ChargeDescription m_description;
    StoragePoint m_point;
    std::optional<SituationResult> m_result;
    std::vector<QString> m_sources;
    QStringList m_scenarioLines;
};

} // namespace kelmo::situation
