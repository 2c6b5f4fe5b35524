#include "chartviews/ChartViews.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kelmo::charts {

namespace {

// The range and ticks Qt Charts itself would take after rounding to nice numbers, worked out
// on an axis that belongs to no chart and so lays out nothing.
void qtNiceNumbers(double& min, double& max, int& count) {
    QValueAxis scratch;
    scratch.setTickCount(count);
    scratch.setRange(min, max);
    scratch.applyNiceNumbers();
    min = scratch.min();
    max = scratch.max();
    count = scratch.tickCount();
}

void applyTicks(QValueAxis* axis, const AxisTicks& ticks) {
    axis->setMinorTickCount(0);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(ticks.decimals) +
                         QStringLiteral("f"));
    if (ticks.fixedInterval) {
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(ticks.anchor);
        axis->setTickInterval(ticks.interval);
    } else {
        axis->setTickType(QValueAxis::TicksFixed);
        axis->setTickCount(ticks.count);
    }
    axis->setRange(ticks.min, ticks.max);
}

} // namespace

void applyChartData(QChart* chart, const ChartData& data) {
    // Every change of a series or an axis on a chart lays it out again: the series draws all
    // its points anew, the axis measures all its labels. So the series is emptied, new axes
    // are set up before they join the chart, and the points come last, each laid out once.
    QLineSeries* series = nullptr;
    if (!chart->series().isEmpty()) {
        series = qobject_cast<QLineSeries*>(chart->series().constFirst());
    }
    if (series == nullptr) {
        series = new QLineSeries(chart);
        series->setPen(QPen(kSeriesColour, 2));
        chart->addSeries(series);
    } else {
        series->clear();
    }
    for (QAbstractAxis* previous : chart->axes()) {
        // The chart deletes the drawing of a removed axis only when control returns to the
        // event loop; hidden, it cannot be painted over the new one meanwhile.
        previous->hide();
        chart->removeAxis(previous);
        delete previous;
    }

    // Axis labels as the tables show numbers: the user's decimal separator, no grouping.
    QLocale labels;
    labels.setNumberOptions(QLocale::OmitGroupSeparator);
    chart->setLocalizeNumbers(true);
    chart->setLocale(labels);
    chart->setTitle(data.title);
    series->setName(data.seriesName);
    series->setPointsVisible(data.points.size() <= kMarkedPointsMax);
    series->setMarkerSize(5);

    auto* xAxis = new QValueAxis(chart);
    auto* yAxis = new QValueAxis(chart);
    xAxis->setTitleText(data.xTitle);
    yAxis->setTitleText(data.yTitle);
    applyTicks(xAxis, horizontalTicks(data, qtNiceNumbers));
    applyTicks(yAxis, verticalTicks(data, qtNiceNumbers));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
    // One call for the whole series: appending 50,000 points one by one lays out each time.
    series->replace(data.points);

    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
}

QChart* createChart(const ChartData& data) {
    auto* chart = new QChart();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    applyChartData(chart, data);
    return chart;
}

void replaceChart(QChartView* view, QChart* chart) {
    QChart* previous = view->chart();
    view->setChart(chart);
    // The view gives the previous chart back to the caller instead of deleting it.
    if (previous != chart) {
        delete previous;
    }
}

QChart* createChart(ZoneChart kind, const CalcState& s) {
    return createChart(chartData(kind, s));
}

QImage renderChart(const ChartData& data, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!data.visible) {
        painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap, hiddenChartText(data));
        return image;
    }
    QGraphicsScene scene;
    QChart* chart = createChart(data);
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
    scene.setSceneRect(QRectF(QPointF(0, 0), QSizeF(size)));
    scene.render(&painter, QRectF(image.rect()), scene.sceneRect());
    painter.end();
    return image; // the scene deletes the chart
}

QImage renderChart(ZoneChart kind, const CalcState& s, QSize size) {
    return renderChart(chartData(kind, s), size);
}

} // namespace kelmo::charts
