#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace kelmo::charts {

// Size of the chart pictures placed in the reports, in pixels.
inline constexpr QSize kReportChartSize{640, 400};

// The range chart, present only when the user has built one.
struct RangeChartPicture {
    QImage image;
    QString fromText; // the range fields as they read when the report is made
    QString toText;
};

// Pictures of the results window's charts, in the order the full report places them. A plain
// value: the reports take it without knowing how it was drawn.
struct ReportCharts {
    QImage pressureKgf;                     // Graf_Davl1
    std::optional<RangeChartPicture> range; // Graf_Davl_Diap
    QImage pressureKPa;                     // Graf_Davl
    QImage probitPeople;                    // chrProbit0
    QImage probitHeavy;                     // chrProbit1
    QImage probitTotal;                     // chrProbit2
};

} // namespace kelmo::charts
