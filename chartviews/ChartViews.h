#pragma once

#include "charts/ZoneCharts.h"

#include <QImage>
#include <QSize>

class QChart;
class QChartView;

namespace kelmo::charts {

// The results window's charts on Qt Charts: the window's interactive views show what
// charts/ZoneCharts.h works out from the state.

// A new chart showing the data; the caller owns it (or hands it to a QChartView).
QChart* createChart(const ChartData& data);
QChart* createChart(ZoneChart kind, const CalcState& s);

// Gives the view a new chart and deletes the one it showed; QChartView::setChart alone
// leaves that one to its caller.
void replaceChart(QChartView* view, QChart* chart);

// Replaces what an existing chart shows; used by the windows, which keep their views.
void applyChartData(QChart* chart, const ChartData& data);

// The chart as Qt Charts draws it into an image of the given size on a white background. A
// hidden probit chart gives an image that says why it is empty.
QImage renderChart(const ChartData& data, QSize size);
QImage renderChart(ZoneChart kind, const CalcState& s, QSize size);

} // namespace kelmo::charts
