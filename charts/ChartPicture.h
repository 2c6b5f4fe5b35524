#pragma once

#include "charts/ReportCharts.h"
#include "charts/ZoneCharts.h"

#include <QImage>
#include <QSizeF>

namespace kelmo::charts {

// The chart for a printed page, drawn with QPainter alone (no widgets): title, value grid,
// both axes with their titles and labels, the curve and its legend. Laid out for sizePt points
// with labels of 9 pt and a title of 10.5 pt at that size, the title wrapped onto more lines
// rather than cut, drawn at dpi dots per inch. A hidden probit chart gives a picture that says
// why it is empty.
QImage renderChartForPrint(const ChartData& data, QSizeF sizePt, int dpi);

// Pictures of the five charts of the results window drawn from the state for the printed
// full report (kReportChartSizePt at kReportChartDpi); the results window and kelmo-calc both
// take them from here. The range chart is added by the caller when one has been built.
ReportCharts renderReportCharts(const CalcState& s);

} // namespace kelmo::charts
