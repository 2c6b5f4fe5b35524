#pragma once

#include "charts/ReportCharts.h"
#include "engine/CalcState.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

class QChart;
class QChartView;

namespace kelmo::charts {

// The five charts of the results window, in the order of its pages.
enum class ZoneChart {
    PressureKgf,  // Graf_Davl1, overpressure in kgf/cm²
    PressureKPa,  // Graf_Davl, overpressure in kPa
    ProbitPeople, // chrProbit0, people outside
    ProbitHeavy,  // chrProbit1, heavy damage of buildings, people inside
    ProbitTotal,  // chrProbit2, complete destruction of buildings
};

inline constexpr ZoneChart kAllZoneCharts[] = {ZoneChart::PressureKgf, ZoneChart::PressureKPa,
                                               ZoneChart::ProbitPeople, ZoneChart::ProbitHeavy,
                                               ZoneChart::ProbitTotal};

// Everything a chart shows, worked out from the state; no widgets involved.
struct ChartData {
    bool visible = true; // a probit chart with nothing between 8.09 and 2.67 is hidden
    QString title;
    QString seriesName;
    QString xTitle;
    QString yTitle;
    QList<QPointF> points; // x = distance, m
    int firstRow = 0;      // profile rows shown, 1-based; 0 when none
    int lastRow = 0;
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;
    bool yAutoRange = false;  // probit charts: the value range follows the points
    int yDivisions = 0;       // major divisions of the value axis; 0 = automatic
    int labelEveryPoints = 0; // n of "a label and tick every n points"
    double tickInterval = 0;  // n metres between labels; 0 = automatic spacing
    double tickAnchor = 0;
};

// The end distance of the last run: the first distance not stored.
double endDistance(const CalcState& s);

// Row of the profile for a distance typed by the user. With the default step of 1 m row n
// holds n m, so the row is the distance rounded half to even; with any other step it is the
// stored row whose distance is nearest (the nearer-to-the-charge one on a tie). Always
// within 1 … pointCount; 0 when the run stored no row.
int rowForDistance(const CalcState& s, double distance);

ChartData chartData(ZoneChart kind, const CalcState& s);

// The pressure chart in kgf/cm² over the distances a … b (rows of a up to, not including,
// the row of b), with the given number of major divisions of the pressure axis.
ChartData rangeChartData(const CalcState& s, double a, double b, int divisions);

// A new chart showing the data; the caller owns it (or hands it to a QChartView).
QChart* createChart(const ChartData& data);
QChart* createChart(ZoneChart kind, const CalcState& s);

// Gives the view a new chart and deletes the one it showed; QChartView::setChart alone
// leaves that one to its caller.
void replaceChart(QChartView* view, QChart* chart);

// Replaces what an existing chart shows; used by the windows, which keep their views.
void applyChartData(QChart* chart, const ChartData& data);

// The chart drawn into an image of the given size on a white background, for the clipboard
// and the reports. A hidden probit chart gives an image that says why it is empty.
QImage renderChart(const ChartData& data, QSize size);
QImage renderChart(ZoneChart kind, const CalcState& s, QSize size);

// The chart for a printed page: laid out for sizePt points with labels of at least 8 pt at that
// size and the title wrapped onto more lines rather than cut, drawn at dpi dots per inch.
QImage renderChartForPrint(const ChartData& data, QSizeF sizePt, int dpi);

// Pictures of the five charts of the results window drawn from the state for the printed
// full report (kReportChartSizePt at kReportChartDpi);
// the range chart is added by the caller when one has been built.
ReportCharts renderReportCharts(const CalcState& s);

} // namespace kelmo::charts
