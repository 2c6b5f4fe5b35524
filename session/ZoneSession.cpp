#include "session/ZoneSession.h"

#include "charts/ChartPicture.h"
#include "core/NumberText.h"
#include "reports/ExcelExport.h"

namespace kelmo::zone {

Session::Session()
    : m_state(std::make_unique<CalcState>()) {}

Session::~Session() = default;

void Session::loadParameters() {
    m_state->setParameters(CalcParameters::loadValues());
}

double Session::run(const ChargeInput& charge, const reports::ChargeDescription& description) {
    m_point.reset();
    m_pointDistanceText.clear();
    const double end = RunZoneCalculation(*m_state, charge);
    m_charge = charge;
    m_description = description;
    return end;
}

const PointResult& Session::calculatePoint(double distance, const QString& distanceText,
                                           const PercentLookup& percents) {
    m_point.reset();
    m_pointDistanceText.clear();
    m_point = kelmo::calculatePoint(*m_state, {distance, m_charge.placement, m_charge.bodyMassKg},
                                    percents);
    m_pointDistanceText = distanceText;
    return *m_point;
}

reports::ExpertInput Session::expertInput() const {
    reports::ExpertInput in;
    in.distanceText = m_pointDistanceText;
    in.bodyMassText = m_description.bodyMassText;
    in.placement = m_charge.placement;
    in.massTNT = m_state->massTnt;
    if (m_point) {
        in.point = *m_point;
        in.percentHeavyText = percentText(m_point->percentHeavy);
        in.percentTotalText = percentText(m_point->percentTotal);
        in.percentPeopleText = percentText(m_point->percentPeople);
    } else {
        // No point yet: the values of the distance evaluated last, no percentages.
        in.point.deltaPkPa = m_state->deltaPkPa;
        in.point.deltaPkgf = m_state->deltaPkgf;
        in.point.impulse = m_state->impulse;
        in.point.probitHeavy = m_state->probitHeavy;
        in.point.probitTotal = m_state->probitTotal;
        in.point.probitPeople = m_state->probitPeople;
    }
    return in;
}

charts::ReportCharts Session::reportCharts() const {
    return charts::renderReportCharts(*m_state);
}

docx::Document Session::fullReport(const charts::ReportCharts& pictures, const QLocale& locale,
                                   const reports::Progress& progress,
                                   reports::ReportByline byline) const {
    byline.stepText = numtext::general(m_state->step, locale);
    return reports::buildFullReport(*m_state, m_description, pictures, locale, progress, byline);
}

QByteArray Session::expertReport(const QString& templatePath, const QLocale& locale,
                                 reports::ReportByline byline) const {
    byline.stepText = numtext::general(m_state->step, locale);
    return reports::buildExpertReport(templatePath, expertInput(), locale, byline);
}

void Session::writeTable(const QString& path, const QLocale& locale) const {
    reports::writeProfileWorkbook(*m_state, path, locale);
}

QString percentText(double percent, const QLocale& locale) {
    return numtext::fixed(percent, 1, locale);
}

} // namespace kelmo::zone
