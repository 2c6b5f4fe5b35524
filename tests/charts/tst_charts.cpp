#include "charts/ZoneCharts.h"
#include "engine/ZoneRun.h"
#include "tests/support/Runs.h"

#include <QApplication>
#include <QChart>
#include <QLineSeries>
#include <QTest>
#include <QValueAxis>

#include <memory>

using namespace kelmo;
using namespace kelmo::charts;

namespace {

std::unique_ptr<CalcState> run(double mass, Placement placement, double step,
                               CalcParameters params = CalcParameters::loadValues()) {
    auto s = std::make_unique<CalcState>();
    s->setParameters(params);
    s->gStep = step;
    ChargeInput in;
    in.chargeMassKg = mass;
    in.placement = placement;
    RunZoneCalculation(*s, in);
    return s;
}

} // namespace

class TestCharts : public QObject {
    Q_OBJECT

private slots:
    void workedRun_data();
    void workedRun();
    void divisionsFollowParameters();
    void labelsStayReadableWithAnyStep();
    void oneStoredRowHidesProbitCharts();
    void probitSearchStopsAtLastStoredRow();
    void rowForDistance_data();
    void rowForDistance();
    void rangeChart();
    void renderedImage();
};

void TestCharts::workedRun_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("labelEvery");
    QTest::addColumn<double>("tickInterval");

    QTest::newRow("Graf_Davl1") << int(ZoneChart::PressureKgf) << true << 1 << 324 << 324 << 33
                                << 33.0;
    QTest::newRow("Graf_Davl") << int(ZoneChart::PressureKPa) << true << 1 << 324 << 324 << 33
                               << 33.0;
    // A span of 5 m gives an interval of 0 points: the spacing becomes automatic.
    QTest::newRow("chrProbit0") << int(ZoneChart::ProbitPeople) << true << 10 << 15 << 6 << 0
                                << 0.0;
    QTest::newRow("chrProbit1") << int(ZoneChart::ProbitHeavy) << true << 33 << 168 << 136 << 14
                                << 14.0;
    QTest::newRow("chrProbit2") << int(ZoneChart::ProbitTotal) << true << 18 << 116 << 99 << 10
                                << 10.0;
}

void TestCharts::workedRun() {
    QFETCH(int, kind);
    QFETCH(bool, visible);
    QFETCH(int, firstRow);
    QFETCH(int, lastRow);
    QFETCH(int, points);
    QFETCH(int, labelEvery);
    QFETCH(double, tickInterval);

    const auto s = run(1000, Placement::Air, 1);
    QCOMPARE(s->gPointCount, 325);
    const ChartData d = chartData(ZoneChart(kind), *s);
    QCOMPARE(d.visible, visible);
    QCOMPARE(d.firstRow, firstRow);
    QCOMPARE(d.lastRow, lastRow);
    QCOMPARE(d.points.size(), points);
    QCOMPARE(d.labelEveryPoints, labelEvery);
    QCOMPARE(d.tickInterval, tickInterval);
    QCOMPARE(d.points.constFirst().x(), s->gProfile.row(firstRow).r);

    std::unique_ptr<QChart> chart(createChart(d));
    auto* series = qobject_cast<QLineSeries*>(chart->series().constFirst());
    QCOMPARE(series->count(), points);
    auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).constFirst());
    QCOMPARE(x->titleText(), QStringLiteral("Расстояние от эпицентра, м"));
    if (tickInterval > 0) {
        QCOMPARE(x->tickType(), QValueAxis::TicksDynamic);
        QCOMPARE(x->tickInterval(), tickInterval);
    } else {
        QCOMPARE(x->tickType(), QValueAxis::TicksFixed);
    }
}

void TestCharts::divisionsFollowParameters() {
    const auto loaded = run(1000, Placement::Air, 1);
    const auto reset = run(1000, Placement::Air, 1, CalcParameters::resetValues());
    for (ZoneChart kind : {ZoneChart::PressureKgf, ZoneChart::PressureKPa}) {
        std::unique_ptr<QChart> a(createChart(kind, *loaded));
        std::unique_ptr<QChart> b(createChart(kind, *reset));
        auto* ya = qobject_cast<QValueAxis*>(a->axes(Qt::Vertical).constFirst());
        auto* yb = qobject_cast<QValueAxis*>(b->axes(Qt::Vertical).constFirst());
        QCOMPARE(ya->tickCount(), 11);
        QCOMPARE(yb->tickCount(), 3);
        QCOMPARE(ya->max(), kind == ZoneChart::PressureKgf ? 3.0 : 3000.0);
        QCOMPARE(ya->min(), 0.0);
    }
    // Division counts round half to even; 0 falls back to automatic ticks instead of failing.
    CalcParameters p = CalcParameters::loadValues();
    p.gChartDivKgf = 2.5;
    p.gChartDivKPa = 0;
    const auto odd = run(1000, Placement::Air, 1, p);
    QCOMPARE(chartData(ZoneChart::PressureKgf, *odd).yDivisions, 2);
    QCOMPARE(chartData(ZoneChart::PressureKPa, *odd).yDivisions, 0);
    std::unique_ptr<QChart> c(createChart(ZoneChart::PressureKPa, *odd));
    QVERIFY(qobject_cast<QValueAxis*>(c->axes(Qt::Vertical).constFirst())->tickCount() >= 2);
}

void TestCharts::labelsStayReadableWithAnyStep() {
    // n = span / 10 points; the interval stays n metres so that the axis keeps about ten
    // labels whatever the step (n × 1 cm would be a thousand labels).
    for (double step : {0.01, 0.5, 10.0}) {
        const auto s = run(1000, Placement::Air, step);
        for (ZoneChart kind : kAllZoneCharts) {
            const ChartData d = chartData(kind, *s);
            if (!d.visible || d.tickInterval == 0) {
                continue;
            }
            const double labels = (d.xMax - d.xMin) / d.tickInterval;
            QVERIFY2(labels >= 2 && labels <= 100, qPrintable(QString::number(labels)));
            QCOMPARE(d.tickInterval, double(d.labelEveryPoints));
        }
    }
}

void TestCharts::oneStoredRowHidesProbitCharts() {
    // Find a charge that stores exactly one row.
    auto s = test::stateAfterRun(1000, 1000);
    QCOMPARE(s->gPointCount, 1);
    for (ZoneChart kind :
         {ZoneChart::ProbitPeople, ZoneChart::ProbitHeavy, ZoneChart::ProbitTotal}) {
        QVERIFY(!chartData(kind, *s).visible);
    }
    QCOMPARE(chartData(ZoneChart::PressureKgf, *s).points.size(), 0);
    std::unique_ptr<QChart> chart(createChart(ZoneChart::PressureKgf, *s));
    QVERIFY(chart);
}

void TestCharts::probitSearchStopsAtLastStoredRow() {
    // A longer run first leaves rows beyond the second run's count with low probits; the
    // search for Q must not use them.
    auto s = std::make_unique<CalcState>();
    s->setParameters(CalcParameters::loadValues());
    s->gPointCount = 4;
    const double probits[] = {9, 8, 6, 4};
    for (int i = 1; i <= 4; ++i) {
        s->gProfile.row(i).r = i;
        s->gProfile.row(i).probitHeavy = probits[i - 1];
    }
    s->gProfile.row(5).r = 5;
    s->gProfile.row(5).probitHeavy = 1; // an older run's row
    const ChartData d = chartData(ZoneChart::ProbitHeavy, *s);
    QVERIFY(d.visible);
    QCOMPARE(d.firstRow, 2);
    QCOMPARE(d.lastRow, 4);
    QCOMPARE(d.points.size(), 3);

    // A people-outside probit already at or below 2,67 in row 1 hides its chart.
    for (int i = 1; i <= 4; ++i) {
        s->gProfile.row(i).probitPeople = 2.5 - i * 0.1;
    }
    QVERIFY(!chartData(ZoneChart::ProbitPeople, *s).visible);
}

void TestCharts::rowForDistance_data() {
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("distance");
    QTest::addColumn<int>("row");
    QTest::newRow("10,4") << 1.0 << 10.4 << 10;
    QTest::newRow("10,5 half to even") << 1.0 << 10.5 << 10;
    QTest::newRow("11,5 half to even") << 1.0 << 11.5 << 12;
    QTest::newRow("past the end") << 1.0 << 1e6 << 325;
    QTest::newRow("step 10: 21 m") << 10.0 << 21.0 << 3;
    QTest::newRow("step 10: 24 m nearest 21") << 10.0 << 24.0 << 3;
    QTest::newRow("step 10: 27 m nearest 31") << 10.0 << 27.0 << 4;
    QTest::newRow("step 10: 330 m last row") << 10.0 << 330.0 << 33;
}

void TestCharts::rowForDistance() {
    QFETCH(double, step);
    QFETCH(double, distance);
    QFETCH(int, row);
    const auto s = run(1000, Placement::Air, step);
    QCOMPARE(charts::rowForDistance(*s, distance), row);
}

void TestCharts::rangeChart() {
    const auto s = run(1000, Placement::Air, 1);
    const ChartData d = rangeChartData(*s, 1, 101, 10);
    QCOMPARE(d.points.size(), 100);
    QCOMPARE(d.points.constFirst().x(), 1.0);
    QCOMPARE(d.points.constLast().x(), 100.0);
    QCOMPARE(d.labelEveryPoints, 10);
    QCOMPARE(d.yMin, s->gProfile.row(101).deltaPkgf);
    QCOMPARE(d.yMax, s->gProfile.row(1).deltaPkgf);
    QCOMPARE(d.yDivisions, 10);
    // A short range gives automatic labels, never an interval of 0.
    const ChartData shortRange = rangeChartData(*s, 10, 13, 5);
    QCOMPARE(shortRange.points.size(), 3);
    QCOMPARE(shortRange.tickInterval, 0.0);
}

void TestCharts::renderedImage() {
    const auto s = run(1000, Placement::Air, 1);
    for (ZoneChart kind : kAllZoneCharts) {
        const QImage image = renderChart(kind, *s, QSize(800, 500));
        QCOMPARE(image.size(), QSize(800, 500));
        // Something other than the white background was drawn.
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; y += 7) {
            for (int x = 0; x < image.width() && !drawn; x += 7) {
                drawn = image.pixelColor(x, y) != QColor(Qt::white);
            }
        }
        QVERIFY(drawn);
    }
}

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
