#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

namespace kelmo::charts {

// The charts are printed 480 × 300 pt wide, drawn at 200 dots per inch.
inline constexpr QSizeF kReportChartSizePt{480, 300};
inline constexpr int kReportChartDpi = 200;
inline constexpr QSize kReportChartSize{1334, 834}; // pixels: the printed size at 200 dpi

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
