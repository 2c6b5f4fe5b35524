#include "charts/ChartPicture.h"
#include "charts/ProfileLookup.h"
#include "charts/ZoneCharts.h"
#include "chartviews/ChartActions.h"
#include "chartviews/ChartViews.h"
#include "engine/ZoneRun.h"
#include "tests/support/Runs.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImageReader>
#include <QLineSeries>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
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
    s->step = step;
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
    void rangeChartNeverEmpty_data();
    void rangeChartNeverEmpty();
    void enclosingRows();
    void pressureLookupSaysWhichRow_data();
    void pressureLookupSaysWhichRow();
    void tickLabels_data();
    void tickLabels();
    void printedPressureAxis_data();
    void printedPressureAxis();
    void replacedChartIsDeleted();
    void saveChartImage_data();
    void saveChartImage();
    void renderedImage();
    void printedTitleLinesCentred();
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
    QCOMPARE(s->pointCount, 325);
    const ChartData d = chartData(ZoneChart(kind), *s);
    QCOMPARE(d.visible, visible);
    QCOMPARE(d.firstRow, firstRow);
    QCOMPARE(d.lastRow, lastRow);
    QCOMPARE(d.points.size(), points);
    QCOMPARE(d.labelEveryPoints, labelEvery);
    QCOMPARE(d.tickInterval, tickInterval);
    QCOMPARE(d.points.constFirst().x(), s->profile.row(firstRow).r);

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
    p.chartDivKgf = 2.5;
    p.chartDivKPa = 0;
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
    QCOMPARE(s->pointCount, 1);
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
    s->pointCount = 4;
    const double probits[] = {9, 8, 6, 4};
    for (int i = 1; i <= 4; ++i) {
        s->profile.row(i).r = i;
        s->profile.row(i).probitHeavy = probits[i - 1];
    }
    s->profile.row(5).r = 5;
    s->profile.row(5).probitHeavy = 1; // an older run's row
    const ChartData d = chartData(ZoneChart::ProbitHeavy, *s);
    QVERIFY(d.visible);
    QCOMPARE(d.firstRow, 2);
    QCOMPARE(d.lastRow, 4);
    QCOMPARE(d.points.size(), 3);

    // A people-outside probit already at or below 2,67 in row 1 hides its chart.
    for (int i = 1; i <= 4; ++i) {
        s->profile.row(i).probitPeople = 2.5 - i * 0.1;
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
    // Both bounds are drawn: 101 points for the distances 1 to 101 m.
    QCOMPARE(d.points.size(), 101);
    QCOMPARE(d.points.constFirst().x(), 1.0);
    QCOMPARE(d.points.constLast().x(), 101.0);
    QCOMPARE(d.labelEveryPoints, 10);
    QCOMPARE(d.yMin, s->profile.row(101).deltaPkgf);
    QCOMPARE(d.yMax, s->profile.row(1).deltaPkgf);
    QCOMPARE(d.yDivisions, 10);
    // A short range gives automatic labels, never an interval of 0.
    const ChartData shortRange = rangeChartData(*s, 10, 13, 5);
    QCOMPARE(shortRange.points.size(), 4);
    QCOMPARE(shortRange.tickInterval, 0.0);
}

void TestCharts::rangeChartNeverEmpty_data() {
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<QList<double>>("distances");
    QTest::newRow("step 1, 1-2") << 1.0 << 1.0 << 2.0 << QList<double>{1, 2};
    QTest::newRow("step 2, 5-8") << 2.0 << 5.0 << 8.0 << QList<double>{5, 7, 9};
    QTest::newRow("step 10, 22-24 inside one step")
        << 10.0 << 22.0 << 24.0 << QList<double>{21, 31};
    QTest::newRow("step 10, 1-11") << 10.0 << 1.0 << 11.0 << QList<double>{1, 11};
    QTest::newRow("step 1, 10,5-11,5") << 1.0 << 10.5 << 11.5 << QList<double>{10, 11, 12};
}

void TestCharts::rangeChartNeverEmpty() {
    QFETCH(double, step);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(QList<double>, distances);
    const auto s = run(1000, Placement::Air, step);
    const ChartData d = rangeChartData(*s, a, b, 10);
    QList<double> xs;
    for (const QPointF& p : d.points) {
        xs.append(p.x());
        QVERIFY(p.x() >= d.xMin && p.x() <= d.xMax);
        QVERIFY(p.y() >= d.yMin && p.y() <= d.yMax);
    }
    QCOMPARE(xs, distances);
    // Few points are marked, so that they show even where no line joins them.
    std::unique_ptr<QChart> chart(createChart(d));
    auto* series = qobject_cast<QLineSeries*>(chart->series().constFirst());
    QCOMPARE(series->count(), distances.size());
    QVERIFY(series->pointsVisible());
}

void TestCharts::enclosingRows() {
    const auto s = run(1000, Placement::Air, 10); // rows at 1, 11, 21, …, 321
    QCOMPARE(rowAtOrBefore(*s, 0.5), 1);
    QCOMPARE(rowAtOrBefore(*s, 21), 3);
    QCOMPARE(rowAtOrBefore(*s, 30.9), 3);
    QCOMPARE(rowAtOrBefore(*s, 1e6), 33);
    QCOMPARE(rowAtOrAfter(*s, 0.5), 1);
    QCOMPARE(rowAtOrAfter(*s, 21), 3);
    QCOMPARE(rowAtOrAfter(*s, 21.1), 4);
    QCOMPARE(rowAtOrAfter(*s, 1e6), 33);
    CalcState empty;
    QCOMPARE(rowAtOrBefore(empty, 5), 0);
    QCOMPARE(rowAtOrAfter(empty, 5), 0);
    QVERIFY(!lookUpPressure(empty, 5));
    QVERIFY(!lookUpDistance(empty, 0.5));
}

void TestCharts::pressureLookupSaysWhichRow_data() {
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("distance");
    QTest::addColumn<double>("stored");
    QTest::addColumn<bool>("exact");
    QTest::newRow("step 1, 25 m") << 1.0 << 25.0 << 25.0 << true;
    QTest::newRow("step 1, 10,4 m") << 1.0 << 10.4 << 10.0 << false;
    QTest::newRow("step 10, 25 m reads 21 m") << 10.0 << 25.0 << 21.0 << false;
    QTest::newRow("step 10, 21 m") << 10.0 << 21.0 << 21.0 << true;
    QTest::newRow("step 0,5, 2,5 m") << 0.5 << 2.5 << 2.5 << true;
}

void TestCharts::pressureLookupSaysWhichRow() {
    QFETCH(double, step);
    QFETCH(double, distance);
    QFETCH(double, stored);
    QFETCH(bool, exact);
    const auto s = run(1000, Placement::Air, step);
    const auto found = lookUpPressure(*s, distance);
    QVERIFY(found);
    QCOMPARE(found->distance, stored);
    QCOMPARE(found->exact, exact);
    QCOMPARE(found->pressureKgf, s->profile.row(found->row).deltaPkgf);
    QCOMPARE(s->profile.row(found->row).r, stored);
}

namespace {

// The numbers a chart shows on its axes, as laid out in a scene of the given size.
QStringList axisLabels(const ChartData& data) {
    QGraphicsScene scene;
    QChart* chart = createChart(data);
    scene.addItem(chart);
    chart->setGeometry(QRectF(0, 0, 900, 600));
    QStringList labels;
    for (QGraphicsItem* item : scene.items()) {
        QString text;
        if (auto* rich = dynamic_cast<QGraphicsTextItem*>(item)) {
            text = rich->toPlainText();
        } else if (auto* simple = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
            text = simple->text();
        }
        if (!text.isEmpty() && !text.at(0).isLetter() && text.at(0) != QLatin1Char('(')) {
            labels.append(text);
        }
    }
    return labels;
}

} // namespace

void TestCharts::tickLabels_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("kind"); // -1, -2: the range chart 1 … 101 m, 1 … 2 m
    QTest::addColumn<double>("limitKPa");
    QTest::addColumn<double>("step");
    for (const char* locale : {"C", "en_US", "ru_RU"}) {
        const QString l = QString::fromLatin1(locale);
        QTest::addRow("%s kgf", locale) << l << int(ZoneChart::PressureKgf) << 3000.0 << 1.0;
        QTest::addRow("%s kPa 3000", locale) << l << int(ZoneChart::PressureKPa) << 3000.0 << 1.0;
        QTest::addRow("%s kPa 7278", locale) << l << int(ZoneChart::PressureKPa) << 7278.0 << 1.0;
        QTest::addRow("%s kPa 500000", locale)
            << l << int(ZoneChart::PressureKPa) << 500000.0 << 1.0;
        QTest::addRow("%s probit", locale) << l << int(ZoneChart::ProbitHeavy) << 3000.0 << 1.0;
        QTest::addRow("%s range", locale) << l << -1 << 3000.0 << 1.0;
        QTest::addRow("%s range 1-2", locale) << l << -2 << 3000.0 << 1.0;
        // Steps whose distances are not whole metres still give round labels.
        QTest::addRow("%s probit step 0.29", locale)
            << l << int(ZoneChart::ProbitHeavy) << 3000.0 << 0.29;
        QTest::addRow("%s probit step 0.09", locale)
            << l << int(ZoneChart::ProbitTotal) << 3000.0 << 0.09;
        QTest::addRow("%s kPa step 0.37", locale)
            << l << int(ZoneChart::PressureKPa) << 3000.0 << 0.37;
    }
}

void TestCharts::tickLabels() {
    QFETCH(QString, locale);
    QFETCH(int, kind);
    QFETCH(double, limitKPa);
    QFETCH(double, step);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    CalcParameters params = CalcParameters::loadValues();
    params.chartLimitKPa = limitKPa;
    const auto s = run(30000, Placement::Ground, step, params);
    const ChartData d = kind == -1   ? rangeChartData(*s, 1, 101, 10)
                        : kind == -2 ? rangeChartData(*s, 1, 2, 10)
                                     : chartData(ZoneChart(kind), *s);
    // The window's chart, and the printed picture, which draws the same ticks itself.
    const QStringList window = axisLabels(d);
    const QStringList printed =
        charts::tickLabels(horizontalTicks(d)) + charts::tickLabels(verticalTicks(d));
    QLocale::setDefault(before);

    for (const QStringList& labels : {window, printed}) {
        QVERIFY2(labels.size() >= 6, qPrintable(labels.join(QLatin1Char('|'))));
        // Digits, at most one decimal separator (the locale's), no grouping, no exponent.
        const QString point = QRegularExpression::escape(QLocale(locale).decimalPoint());
        const QRegularExpression number(QStringLiteral("^-?\\d+(") + point +
                                        QStringLiteral("\\d+)?$"));
        for (const QString& label : labels) {
            QVERIFY2(number.match(label).hasMatch(),
                     qPrintable(label + QStringLiteral(" in ") + labels.join(QLatin1Char('|'))));
            // Decimals suited to the axis: no more digits than a tick needs.
            int digits = 0;
            for (const QChar c : label) {
                digits += c.isDigit() ? 1 : 0;
            }
            QVERIFY2(digits <= 6,
                     qPrintable(label + QStringLiteral(" in ") + labels.join(QLatin1Char('|'))));
        }
    }
    // Distance ticks a whole number of metres apart are labelled in whole metres.
    if (d.tickInterval >= 1) {
        std::unique_ptr<QChart> chart(createChart(d));
        auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).constFirst());
        QCOMPARE(x->labelFormat(), QStringLiteral("%.0f"));
    }
}

// The report prints the pressure charts of a typical charge on a logarithmic axis: on the
// window's linear one everything past some 40 m lies on zero. The axis covers every plotted
// value up to the chart's limit, its ticks are 1-2-5 steps labelled as numbers. Charts whose
// curve a linear axis shows (a short range, the probits) stay linear.
void TestCharts::printedPressureAxis_data() {
    QTest::addColumn<int>("kind"); // -1: the range chart 1 … 500 m, -2: 100 … 150 m
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<double>("axisMin");
    QTest::addColumn<double>("axisMax");
    QTest::addColumn<QString>("labels"); // the first and the last
    QTest::newRow("kPa, limit 3000")
        << int(ZoneChart::PressureKPa) << true << 1.0 << 3000.0 << "1|2000";
    QTest::newRow("kgf/cm², limit 3")
        << int(ZoneChart::PressureKgf) << true << 0.01 << 3.0 << "0,01|2";
    QTest::newRow("range 1 … 500 m") << -1 << true << 0.01 << 1e4 << "0,01|10000";
    QTest::newRow("range 100 … 150 m") << -2 << false << 0.0 << 0.0 << "";
    QTest::newRow("probit") << int(ZoneChart::ProbitHeavy) << false << 0.0 << 0.0 << "";
}

void TestCharts::printedPressureAxis() {
    QFETCH(int, kind);
    QFETCH(bool, logarithmic);
    QFETCH(double, axisMin);
    QFETCH(double, axisMax);
    QFETCH(QString, labels);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const auto s = run(1000, Placement::Air, 1);
    const ChartData d = kind == -1   ? pressureChartForPrint(rangeChartData(*s, 1, 500, 10))
                        : kind == -2 ? pressureChartForPrint(rangeChartData(*s, 100, 150, 10))
                                     : reportChartData(ZoneChart(kind), *s);
    const AxisTicks y = verticalTicks(d);
    const QStringList texts = charts::tickLabels(y);
    QLocale::setDefault(before);

    QCOMPARE(d.yLogarithmic, logarithmic);
    QCOMPARE(y.logarithmic, logarithmic);
    if (!logarithmic) {
        return;
    }
    QCOMPARE(y.min, axisMin);
    QCOMPARE(y.max, axisMax);
    for (const QPointF& pt : d.points) {
        QVERIFY2(pt.y() >= y.min, qPrintable(QString::number(pt.x())));
    }
    const QList<double> ticks = y.values();
    QVERIFY(ticks.size() >= 6);
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        const double mantissa = ticks[i] / std::pow(10.0, std::floor(std::log10(ticks[i]) + 1e-9));
        QVERIFY2(qFuzzyCompare(mantissa, 1.0) || qFuzzyCompare(mantissa, 2.0) ||
                     qFuzzyCompare(mantissa, 5.0),
                 qPrintable(texts.join(u'|')));
        QVERIFY(i == 0 || ticks[i] > ticks[i - 1]);
    }
    QCOMPARE(texts.constFirst() + u'|' + texts.constLast(), labels);
    // The window's chart of the same values stays linear.
    if (kind >= 0) {
        QVERIFY(!chartData(ZoneChart(kind), *s).yLogarithmic);
    }
}

void TestCharts::replacedChartIsDeleted() {
    QChartView view;
    QPointer<QChart> previous = view.chart();
    QVERIFY(previous);
    auto* chart = new QChart();
    replaceChart(&view, chart);
    QCOMPARE(view.chart(), chart);
    QVERIFY(previous.isNull());
    // Setting the same chart again keeps it.
    replaceChart(&view, chart);
    QCOMPARE(view.chart(), chart);
}

void TestCharts::saveChartImage_data() {
    QTest::addColumn<QString>("chosen"); // relative to a temporary folder; "" = Cancel
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("ok");
    QTest::newRow("png") << "a.png"
                         << "a.png" << QByteArray("png") << true;
    QTest::newRow("no suffix gets png") << "b"
                                        << "b.png" << QByteArray("png") << true;
    QTest::newRow("jpeg") << "c.jpg"
                          << "c.jpg" << QByteArray("jpeg") << true;
    QTest::newRow("missing folder") << "nowhere/d.png"
                                    << "" << QByteArray() << false;
    QTest::newRow("cancel") << ""
                            << "" << QByteArray() << false;
}

void TestCharts::saveChartImage() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(QByteArray, format);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    QString proposed;
    setImageDialogForTesting([&](const QString& path) {
        proposed = path;
        return chosen.isEmpty() ? QString() : dir.filePath(chosen);
    });
    ui::MessageRecorder messages;
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::red);
    QCOMPARE(charts::saveChartImage(nullptr, image, QStringLiteral("График")), ok);
    setImageDialogForTesting({});
    QVERIFY(proposed.endsWith(QStringLiteral("График.png")));
    QCOMPARE(messages.count(), !ok && !chosen.isEmpty() ? 1 : 0);
    if (!ok) {
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        return;
    }
    QImageReader reader(dir.filePath(written));
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.read().size(), QSize(120, 80));
    // Nothing but the picture is left in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written});
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

// The report's chart of heavy damage has a title of two lines: each is centred over the
// picture, the short second line as well.
void TestCharts::printedTitleLinesCentred() {
    const auto s = run(1000, Placement::Air, 1);
    const QImage image = renderChartForPrint(chartData(ZoneChart::ProbitHeavy, *s),
                                             kReportChartSizePt, kReportChartDpi);
    // Text lines of the title: runs of pixel rows with dark pixels, above the plot.
    QList<QPair<int, int>> lines; // leftmost and rightmost dark pixel of each line
    bool inLine = false;
    for (int y = 0; y < image.height() * 17 / 100; ++y) {
        int left = image.width();
        int right = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).lightness() < 128) {
                left = std::min(left, x);
                right = x;
            }
        }
        if (right < 0) {
            inLine = false;
            continue;
        }
        if (!inLine) {
            lines.append({left, right});
            inLine = true;
        }
        lines.last().first = std::min(lines.last().first, left);
        lines.last().second = std::max(lines.last().second, right);
    }
    QCOMPARE(lines.size(), 2);
    // The lines differ in length by far more than the tolerance.
    QVERIFY(lines[1].second - lines[1].first < (lines[0].second - lines[0].first) * 3 / 4);
    for (const auto& [left, right] : lines) {
        QVERIFY2(std::abs((left + right) / 2 - image.width() / 2) < image.width() / 50,
                 qPrintable(QStringLiteral("%1…%2 of %3").arg(left).arg(right).arg(image.width())));
    }
}

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
