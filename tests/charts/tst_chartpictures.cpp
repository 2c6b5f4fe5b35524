// The report's chart pictures, drawn with QPainter in a program that has no widgets: this test
// links only the charts library (Qt Core and Gui) and runs under a QGuiApplication.
#include "charts/ChartPicture.h"
#include "charts/ProfileLookup.h"
#include "tests/support/Runs.h"

#include <QGuiApplication>
#include <QTest>

#include <functional>

using namespace kelmo;
using namespace kelmo::charts;

Q_DECLARE_METATYPE(std::function<QImage(const CalcState&)>)

namespace {

using Picture = std::function<QImage(const CalcState&)>;

bool seriesColoured(QColor c) {
    return std::abs(c.red() - kSeriesColour.red()) < 40 &&
           std::abs(c.green() - kSeriesColour.green()) < 40 &&
           std::abs(c.blue() - kSeriesColour.blue()) < 40 && c.blue() > c.red() + 60;
}

bool dark(QColor c) {
    return c.lightness() < 110 && !seriesColoured(c);
}

// Light grey of the value grid, neither white nor text.
// The frame of the plot, where the curve may lie over it.
bool frameOrCurve(QColor c) {
    return dark(c) || seriesColoured(c);
}

bool gridGrey(QColor c) {
    return c.lightness() > 180 && c.lightness() < 235 && std::abs(c.red() - c.blue()) < 8;
}

// Rows (horizontal) or columns (vertical) in which at least share of the pixels pass the test.
QList<int> lines(const QImage& image, Qt::Orientation along, double share,
                 const std::function<bool(QColor)>& test) {
    const bool rows = along == Qt::Horizontal;
    const int count = rows ? image.height() : image.width();
    const int length = rows ? image.width() : image.height();
    QList<int> found;
    for (int i = 0; i < count; ++i) {
        int hits = 0;
        for (int j = 0; j < length; ++j) {
            hits += test(rows ? image.pixelColor(j, i) : image.pixelColor(i, j)) ? 1 : 0;
        }
        if (hits >= share * length) {
            found.append(i);
        }
    }
    return found;
}

// Mean height of the curve's pixels in a column; -1 when the column has none.
double curveHeightAt(const QImage& image, int x, int top, int bottom) {
    double sum = 0;
    int n = 0;
    for (int y = top; y < bottom; ++y) {
        if (seriesColoured(image.pixelColor(x, y))) {
            sum += y;
            ++n;
        }
    }
    return n > 0 ? sum / n : -1;
}

} // namespace

class TestChartPictures : public QObject {
    Q_OBJECT

private slots:
    void pictureShowsCurveOnAxes_data();
    void pictureShowsCurveOnAxes();
    void hiddenChartSaysWhy();
    void niceNumbers_data();
    void niceNumbers();
};

void TestChartPictures::pictureShowsCurveOnAxes_data() {
    QTest::addColumn<Picture>("picture");
    const auto report = [](QImage ReportCharts::*member) {
        return Picture([member](const CalcState& s) { return renderReportCharts(s).*member; });
    };
    QTest::newRow("pressure kgf") << report(&ReportCharts::pressureKgf);
    QTest::newRow("pressure kPa") << report(&ReportCharts::pressureKPa);
    QTest::newRow("probit people") << report(&ReportCharts::probitPeople);
    QTest::newRow("probit heavy") << report(&ReportCharts::probitHeavy);
    QTest::newRow("probit total") << report(&ReportCharts::probitTotal);
    QTest::newRow("range 10-60 m") << Picture([](const CalcState& s) {
        return renderChartForPrint(rangeChartData(s, 10, 60, 5), kReportChartSizePt,
                                   kReportChartDpi);
    });
}

// For the worked example (1000 kg of TNT in the air) every picture has the printed size, a
// frame of axes, a value grid, a falling curve in the series colour across the plot, and tick
// labels large enough to read on paper.
void TestChartPictures::pictureShowsCurveOnAxes() {
    QFETCH(Picture, picture);
    const auto s = test::stateAfterRun(1000);
    const QImage image = picture(*s);
    QCOMPARE(image.size(), kReportChartSize);
    QCOMPARE(image.dotsPerMeterX(), qRound(kReportChartDpi / 0.0254));

    // The plot's frame: two long dark rows and two long dark columns (a curve along the
    // distance axis may hide part of it).
    const QList<int> frameRows = lines(image, Qt::Horizontal, 0.6, frameOrCurve);
    const QList<int> frameColumns = lines(image, Qt::Vertical, 0.5, frameOrCurve);
    QVERIFY2(
        frameRows.size() >= 2 && frameColumns.size() >= 2,
        qPrintable(
            QStringLiteral("%1 rows, %2 columns").arg(frameRows.size()).arg(frameColumns.size())));
    const int top = frameRows.constFirst();
    const int bottom = frameRows.constLast();
    const int left = frameColumns.constFirst();
    const int right = frameColumns.constLast();
    QVERIFY(bottom - top > image.height() / 2);
    QVERIFY(right - left > image.width() * 2 / 3);

    // The value grid: light lines across the plot besides its frame.
    QVERIFY(lines(image, Qt::Horizontal, 0.4, gridGrey).size() >= 3);

    // The curve runs over most of the plot's width, and falls with the distance.
    int first = -1;
    int last = -1;
    for (int x = left + 2; x < right - 1; ++x) {
        if (curveHeightAt(image, x, top + 1, bottom) >= 0) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    QVERIFY2(first >= 0, "no pixel of the series colour inside the plot");
    QVERIFY2(last - first > (right - left) * 3 / 4,
             qPrintable(QStringLiteral("curve from %1 to %2").arg(first).arg(last)));
    QVERIFY(curveHeightAt(image, first, top + 1, bottom) <
            curveHeightAt(image, last, top + 1, bottom));

    // The distance labels under the plot: a band of dark rows at least 14 px (5 pt) high, the
    // height of the digits of a 9 pt font at 200 dpi being about 18 px.
    int band = 0;
    int tallest = 0;
    for (int y = bottom + 3; y < image.height(); ++y) {
        bool any = false;
        for (int x = left; x <= right && !any; ++x) {
            any = dark(image.pixelColor(x, y));
        }
        band = any ? band + 1 : 0;
        tallest = std::max(tallest, band);
        if (!any && tallest > 0) {
            break;
        }
    }
    QVERIFY2(tallest >= 14, qPrintable(QString::number(tallest)));
    QVERIFY(tallest < 60);
}

// A probit chart with no point between 2.67 and 8.09 is not drawn: the picture says why and
// shows no curve.
void TestChartPictures::hiddenChartSaysWhy() {
    const auto s = test::stateAfterRun(1000, 1000); // one stored row
    const ReportCharts c = renderReportCharts(*s);
    for (const QImage* image : {&c.probitPeople, &c.probitHeavy, &c.probitTotal}) {
        QCOMPARE(image->size(), kReportChartSize);
        int text = 0;
        for (int y = 0; y < image->height(); y += 2) {
            for (int x = 0; x < image->width(); x += 2) {
                const QColor pixel = image->pixelColor(x, y);
                QVERIFY(!seriesColoured(pixel));
                text += dark(pixel) ? 1 : 0;
            }
        }
        QVERIFY(text > 100);
    }
}

void TestChartPictures::niceNumbers_data() {
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("niceMin");
    QTest::addColumn<double>("niceMax");
    QTest::addColumn<int>("niceCount");
    QTest::newRow("round already") << 0.0 << 1.0 << 11 << 0.0 << 1.0 << 11;
    QTest::newRow("probit values") << 2.67 << 8.09 << 5 << 2.0 << 10.0 << 5;
    QTest::newRow("widened both ways") << 13.0 << 987.0 << 11 << 0.0 << 1000.0 << 11;
    QTest::newRow("step of 5") << 0.0 << 7.3 << 3 << 0.0 << 10.0 << 3;
    QTest::newRow("below zero") << -0.35 << 0.35 << 8 << -0.4 << 0.4 << 9;
    QTest::newRow("tiny span") << 1.0001 << 1.0009 << 5 << 1.0 << 1.001 << 6;
    QTest::newRow("empty range kept") << 5.0 << 5.0 << 5 << 5.0 << 5.0 << 5;
}

void TestChartPictures::niceNumbers() {
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, count);
    roundToNiceNumbers(min, max, count);
    QTEST(min, "niceMin");
    QTEST(max, "niceMax");
    QTEST(count, "niceCount");
}

QTEST_MAIN(TestChartPictures)
#include "tst_chartpictures.moc"
