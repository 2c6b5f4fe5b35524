#pragma once

#include "engine/CalcState.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

namespace kelmo::charts {

// The colour of a chart's curve, in the window and on paper.
inline constexpr QColor kSeriesColour{0x1f, 0x4e, 0x9a};

// Charts with no more points than this show a marker at each, so that a chart of one or two
// rows is not an empty frame.
inline constexpr qsizetype kMarkedPointsMax = 60;

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
    bool yAutoRange = false;   // probit charts: the value range follows the points
    bool yLogarithmic = false; // printed pressure charts: a value axis of decades (yMin > 0)
    int yDivisions = 0;        // major divisions of the value axis; 0 = automatic
    int labelEveryPoints = 0;  // n of "a label and tick every n points"
    double tickInterval = 0;   // n metres between labels; 0 = automatic spacing
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

// The overpressure falls so fast with the distance that on a linear axis most of a chart's
// curve lies on its bottom line. A point in the lowest twentieth of the axis cannot be read on
// paper; when more than half the points lie there, a printed pressure chart takes a
// logarithmic axis.
inline constexpr double kUnreadableBand = 0.05;

// A pressure chart as the reports print it: with a logarithmic value axis when the linear one
// hides most of the curve (above). The axis then runs from the power of ten below the lowest
// value to the power of ten above the highest, or to the chart's limit when the values pass
// it. The results window keeps its linear charts.
ChartData pressureChartForPrint(ChartData data);

// What the full report prints of a chart: the window's chart, pressure charts as above.
ChartData reportChartData(ZoneChart kind, const CalcState& s);

// What a picture of a hidden chart says in place of the chart: its title and why it is empty.
QString hiddenChartText(const ChartData& data);

// The pressure chart in kgf/cm² over the distances a … b (rows of a up to, not including,
// the row of b), with the given number of major divisions of the pressure axis.
ChartData rangeChartData(const CalcState& s, double a, double b, int divisions);

// Decimals of the tick labels of an axis whose ticks lie at first + k × interval: as many as
// the ticks need to be shown exactly (0.25 → 2), or, when they are not round numbers, two
// significant digits of the interval.
int tickDecimals(double first, double interval);

// Where an axis puts its ticks and how many decimals their labels show. Ticks lie either every
// interval metres from anchor (fixedInterval) or at count evenly spaced values from min to max.
// A logarithmic axis has its ticks at 1, 2 and 5 times the powers of ten between min and max
// (the powers alone over more than four decades), each label with the decimals it needs.
struct AxisTicks {
    double min = 0;
    double max = 1;
    bool logarithmic = false;
    bool fixedInterval = false;
    double anchor = 0;
    double interval = 0;
    int count = 5;
    int decimals = 0;

    // The tick values inside min … max, lowest first.
    QList<double> values() const;
};

// Widens min … max to round numbers and sets count to the ticks of the widened range; given
// count ticks wanted over the range before.
using NiceNumbers = void (*)(double& min, double& max, int& count);

// Round numbers for an axis: a step of 1, 2 or 5 times a power of ten near (max - min) /
// (count - 1), and the range widened to whole steps.
void roundToNiceNumbers(double& min, double& max, int& count);

// The labels of the ticks as the tables show numbers: the default locale's decimal
// separator, no grouping, the axis's decimals.
QStringList tickLabels(const AxisTicks& ticks);

// The ticks of the distance axis and of the value axis of a chart.
AxisTicks horizontalTicks(const ChartData& data, NiceNumbers nice = roundToNiceNumbers);
AxisTicks verticalTicks(const ChartData& data, NiceNumbers nice = roundToNiceNumbers);

} // namespace kelmo::charts
