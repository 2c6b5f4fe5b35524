#pragma once

#include "charts/ReportCharts.h"
#include "data/PointCalculation.h"
#include "engine/CalcState.h"
#include "engine/ZoneRun.h"
#include "reports/Docx.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "reports/ReportData.h"

#include <QLocale>
#include <QString>

#include <memory>
#include <optional>

namespace kelmo::zone {

// The zone calculation of one user: the calculation state with its documented g-names, the
// charge of the last run, its calculation parameters and the last point result. The windows
// and kelmo-calc both work through it, so every document is built from the same values by
// the same builders.
class Session final {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    CalcState& state() { return *m_state; }
    const CalcState& state() const { return *m_state; }

    // The parameters the input window sets on every opening.
    void loadParameters();

    // The zone calculation for the charge; the description is what the results window and
    // the reports show of it. Forgets the last point. Returns the end distance. Throws what
    // RunZoneCalculation throws; the state is then partly written.
    double run(const ChargeInput& charge, const reports::ChargeDescription& description);

    const ChargeInput& charge() const { return m_charge; }
    const reports::ChargeDescription& description() const { return m_description; }

    // The calculation at one distance of the last run, the distance as the user typed it.
    // Throws PointRangeError (nothing changed), ArithmeticError or what the lookup throws;
    // the last point is then forgotten.
    const PointResult& calculatePoint(double distance, const QString& distanceText,
                                      const PercentLookup& percents);
    const std::optional<PointResult>& lastPoint() const { return m_point; }

    // Inputs of the documents.
    reports::ExpertInput expertInput() const;
    charts::ReportCharts reportCharts() const;

    // The documents themselves; each throws DocumentError. The byline gives who made the
    // report; its calculation step is the run's.
    docx::Document fullReport(const charts::ReportCharts& pictures,
                              const QLocale& locale = QLocale(),
                              const reports::Progress& progress = {},
                              reports::ReportByline byline = {}) const;
    QByteArray expertReport(const QString& templatePath, const QLocale& locale = QLocale(),
                            reports::ReportByline byline = {}) const;
    void writeTable(const QString& path, const QLocale& locale = QLocale()) const;

private:
    // 2.8 MB of profile rows, allocated once with the session.
    std::unique_ptr<CalcState> m_state;
    ChargeInput m_charge;
    reports::ChargeDescription m_description;
    std::optional<PointResult> m_point;
    QString m_pointDistanceText;
};

// A percentage as the results window and the expert report show it: "0.0".
QString percentText(double percent, const QLocale& locale = QLocale());

} // namespace kelmo::zone
