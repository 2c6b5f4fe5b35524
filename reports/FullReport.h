#pragma once

#include "engine/CalcState.h"
#include "reports/Docx.h"
#include "reports/ReportData.h"

#include <QLocale>

#include <functional>

namespace kelmo::reports {

// Called now and then while the numeric table is filled: rows done, rows in all.
using Progress = std::function<void(int done, int total)>;

// The full results report: title, charge, who made it with what step, the eight result
// tables, the charts and the numeric table with every row of the profile; tables and charts
// numbered in order. Throws DocumentError.
docx::Document buildFullReport(const CalcState& s, const ChargeDescription& charge,
                               const ReportCharts& charts, const QLocale& locale = QLocale(),
                               const Progress& progress = {}, const ReportByline& byline = {});

// Above this many rows of the profile the window asks before it writes the full report.
inline constexpr int kLongReportRows = 5000;

// Rows of the numeric table in each of the consecutive tables it is written as. Each part
// starts a page: parts of some twenty pages leave few pages part-filled, and a reader still
// lays each one out in seconds.
inline constexpr int kNumericRowsPerPart = 1000;

// Column widths of the numeric table, in points: a distance of 15 significant digits and its
// separator on one line at 12 pt, the other columns sharing the rest of the text width.
QList<double> numericTableWidthsPt();

// Column widths of the kPa radii table, in points, and its left and right cell margins.
QList<double> kPaTableWidthsPt();
inline constexpr double kPaTableCellMarginPt = 1.5;
// The type size of that table, from 12 pt down to 6 pt, so that the longest radius fits its
// column on one line.
double kPaTableSizePt(const QStringList& radii);

// Texts of the result tables, exposed for the tests.
QString zoneDepthText(const CalcState& s, int zoneRow, int function, const QLocale& locale);

} // namespace kelmo::reports
