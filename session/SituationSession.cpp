#include "session/SituationSession.h"

#include "data/SitePlan.h"
#include "reports/DocumentError.h"
#include "reports/SituationReport.h"

namespace kelmo::situation {

EmptyPlanError::EmptyPlanError(const QString& planName)
    : Error(QStringLiteral("В плане местности «%1» нет сооружений: рассчитывать нечего. "
                           "Добавьте сооружения на плане и повторите расчет.")
                .arg(planName)
                .toStdString()) {}

Session Session::open(db::Connection& connection, const QString& planName) {
    Session s;
    s.m_plan = loadSituationPlan(connection, planName);
    if (s.m_plan.structures.empty()) {
        throw EmptyPlanError(s.m_plan.name);
    }
    s.m_table = ProbitPercentTable::load(connection);
    return s;
}

Session Session::open(db::Connection& connection, int planNumber) {
    if (const auto name = db::planName(connection, planNumber)) {
        return open(connection, *name);
    }
    throw PlanNotFoundError(QStringLiteral("№ %1").arg(planNumber));
}

const SituationResult& Session::evaluate(const ChargeInput& charge, const StoragePoint& point,
                                         const reports::ChargeDescription& description) {
    SituationResult result =
        evaluateSituation(charge, point.point, m_plan.structures,
                          [this](float probit) { return m_table.percent(probit); });
    m_result = std::move(result);
    m_sources.clear();
    m_scenarioLines.clear();
    m_charge = charge;
    m_point = point;
    m_description = description;
    return *m_result;
}

const SituationResult& Session::showWorstCase(SituationResult worst, std::vector<QString> sources,
                                              const ChargeInput& charge, const StoragePoint& point,
                                              const reports::ChargeDescription& description,
                                              QStringList scenarioLines) {
    m_result = std::move(worst);
    m_sources = std::move(sources);
    m_scenarioLines = std::move(scenarioLines);
    m_charge = charge;
    m_point = point;
    m_description = description;
    return *m_result;
}

docx::Document Session::report(const QImage& map, const QLocale& locale,
                               const reports::Progress& progress,
                               const reports::ReportByline& byline) const {
    if (!m_result) {
        throw DocumentError(QStringLiteral("Отчет не построен: расчет еще не выполнен."));
    }
    reports::SituationReportInput in{m_plan.name,   m_description,   m_point.xText,
                                     m_point.yText, &*m_result,      map,
                                     m_sources,     m_scenarioLines, byline};
    return reports::buildSituationReport(in, locale, progress);
}

void Session::writeTable(const QString& path, const QLocale& locale) const {
    if (!m_result) {
        throw DocumentError(QStringLiteral("Таблица не записана: расчет еще не выполнен."));
    }
    reports::SituationReportInput in{m_plan.name,   m_description,   m_point.xText,
                                     m_point.yText, &*m_result,      {},
                                     m_sources,     m_scenarioLines, {}};
    reports::writeSituationWorkbook(in, path, locale);
}

} // namespace kelmo::situation
