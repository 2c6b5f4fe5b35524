#include "charts/ZoneCharts.h"

#include "charts/ProfileLookup.h"

#include "core/NumberText.h"

#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kelmo::charts {

namespace {

const QString kDistanceTitle = QStringLiteral("Расстояние от эпицентра, м");

constexpr double kProbitUpper = 8.09;
constexpr double kProbitLower = 2.67;

// A whole number from a parameter, halves to even, kept in int range.
int wholeCount(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return static_cast<int>(std::clamp(std::nearbyint(v), -1e9, 1e9));
}

// "A label every n points", n = span / 10 rounded half to even. With the default step of 1 m
// n points are n metres; with another step the interval stays n metres, so that the axis keeps
// about ten labels (n × step would give a thousand labels at a step of 1 cm, one at 100 m).
// A count that rounds to 0 (a span of 5 m or less) gives automatic spacing.
void setLabelSpacing(ChartData& d, double span) {
    d.labelEveryPoints = wholeCount(span / 10);
    d.tickInterval = d.labelEveryPoints > 0 ? d.labelEveryPoints : 0;
    if (d.tickInterval > 0 && (span / d.tickInterval < 2 || span / d.tickInterval > 100)) {
        d.tickInterval = 0;
    }
    // Ticks start at the first point; when its distance is not whole metres (a step such as
    // 0.29 m), they fall on whole multiples of the interval instead, so that the labels are
    // round numbers and not "32,275" cut to "32,27…".
    if (d.tickInterval > 0 && std::abs(d.tickAnchor - std::nearbyint(d.tickAnchor)) > 1e-9) {
        d.tickAnchor = 0;
    }
}

ChartData pressureChart(const CalcState& s, bool kgf) {
    ChartData d;
    d.title =
        kgf ? QStringLiteral("График Рф(R), кгс/кв.см") : QStringLiteral("График давления, кПа");
    d.seriesName = kgf ? QStringLiteral("Давление (кгс)") : QStringLiteral("Давление (кПа)");
    d.xTitle = kDistanceTitle;
    d.yTitle = kgf ? QStringLiteral("Давление, кгс/кв. см") : QStringLiteral("Давление, кПа");

    // The last stored row is not plotted.
    const int n = s.pointCount - 1;
    d.points.reserve(std::max(n, 0));
    for (int i = 1; i <= n; ++i) {
        const ProfileRow& row = s.profile.row(i);
        d.points.append(QPointF(row.r, kgf ? row.deltaPkgf : row.deltaPkPa));
    }
    if (n >= 1) {
        d.firstRow = 1;
        d.lastRow = n;
    }

    const double rEnd = endDistance(s);
    d.xMin = 0;
    d.xMax = rEnd;
    d.tickAnchor = s.pointCount >= 1 ? s.profile.row(1).r : 1;
    setLabelSpacing(d, rEnd);

    const double limit = kgf ? s.chartLimitKgf : s.chartLimitKPa;
    d.yMin = 0;
    d.yMax = limit;
    d.yAutoRange = !(std::isfinite(limit) && limit > 0);
    const int div = wholeCount(kgf ? s.chartDivKgf : s.chartDivKPa);
    d.yDivisions = div >= 1 ? std::min(div, 100) : 0;
    return d;
}

ChartData probitChart(const CalcState& s, ZoneChart kind) {
    ChartData d;
    int column = 7;
    switch (kind) {
    case ZoneChart::ProbitPeople:
        d.title = QStringLiteral(
            "Пробит-функция для воздействия волны давления на человека, находящегося вне здания");
        column = 7;
        break;
    case ZoneChart::ProbitHeavy:
        d.title = QStringLiteral("Пробит-функция для тяжелых разрушений зданий (поражения "
                                 "человека, находящегося в здании)");
        column = 5;
        break;
    default:
        d.title = QStringLiteral("Пробит-функция для полного разрушения зданий");
        column = 6;
        break;
    }
    d.seriesName = QStringLiteral("Пробит-функция");
    d.xTitle = kDistanceTitle;
    d.yTitle = QStringLiteral("Пробит -функция");
    d.yAutoRange = true;

    const int n = s.pointCount;
    if (n < 2) {
        d.visible = false;
        return d;
    }
    int p = 0;
    for (int k = 1; k <= n; ++k) {
        if (s.profile.row(k).value(column) <= kProbitUpper) {
            p = k;
            break;
        }
    }
    if (p == 0) {
        d.visible = false;
        return d;
    }
    // Bounded at the last stored row: rows above it belong to no run or to an older one.
    int q = n;
    for (int k = p; k <= n; ++k) {
        if (s.profile.row(k).value(column) <= kProbitLower) {
            q = k;
            break;
        }
    }
    if (p >= q) {
        d.visible = false;
        return d;
    }
    d.firstRow = p;
    d.lastRow = q;
    d.points.reserve(q - p + 1);
    double lo = 1e300;
    double hi = -1e300;
    for (int k = p; k <= q; ++k) {
        const double v = s.profile.row(k).value(column);
        d.points.append(QPointF(s.profile.row(k).r, v));
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    d.xMin = s.profile.row(p).r;
    d.xMax = s.profile.row(q).r;
    d.tickAnchor = d.xMin;
    setLabelSpacing(d, d.xMax - d.xMin);
    d.yMin = std::floor(lo);
    d.yMax = std::ceil(hi);
    if (d.yMax <= d.yMin) {
        d.yMax = d.yMin + 1;
    }
    const int span = wholeCount(d.yMax - d.yMin);
    d.yDivisions = span <= 12 ? span : 0;
    return d;
}

// Decimals of the tick labels of an axis whose ticks lie at first + k × interval: as many as
// the ticks need to be shown exactly (0.25 → 2), or, when they are not round numbers, two
// significant digits of the interval.
int tickDecimals(double first, double interval) {
    if (!(interval > 0) || !std::isfinite(interval) || !std::isfinite(first)) {
        return 0;
    }
    for (int decimals = 0; decimals <= 4; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        const auto whole = [&](double v) {
            const double scaled = v * scale;
            return std::abs(scaled - std::nearbyint(scaled)) <=
                   1e-9 * std::max(1.0, std::abs(scaled));
        };
        if (whole(interval) && whole(first)) {
            return decimals;
        }
    }
    return std::clamp(1 - static_cast<int>(std::floor(std::log10(interval))), 0, 6);
}

QString fixedFormat(int decimals) {
    return QStringLiteral("%.") + QString::number(decimals) + QStringLiteral("f");
}

// Charts with no more points than this show a marker at each, so that a chart of one or two
// rows is not an empty frame.
constexpr qsizetype kMarkedPointsMax = 60;

} // namespace

double endDistance(const CalcState& s) {
    if (s.pointCount < 1) {
        return 1;
    }
    return s.profile.row(s.pointCount).r + s.step;
}

int rowForDistance(const CalcState& s, double distance) {
    const int n = s.pointCount;
    if (n < 1 || !std::isfinite(distance)) {
        return 0;
    }
    int row = 0;
    if (s.step == 1 && s.profile.row(1).r == 1) {
        row = wholeCount(distance);
    } else {
        // Stored distances grow with the row number.
        int lo = 1;
        int hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (s.profile.row(mid).r < distance) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        row = lo;
        if (row > 1 && distance - s.profile.row(row - 1).r <= s.profile.row(row).r - distance) {
            row = row - 1;
        }
    }
    return std::clamp(row, 1, n);
}

ChartData chartData(ZoneChart kind, const CalcState& s) {
    switch (kind) {
    case ZoneChart::PressureKgf:
        return pressureChart(s, true);
    case ZoneChart::PressureKPa:
        return pressureChart(s, false);
    default:
        return probitChart(s, kind);
    }
}

ChartData rangeChartData(const CalcState& s, double a, double b, int divisions) {
    ChartData d;
    d.title = QStringLiteral("График зависимости давления от расстояния");
    d.seriesName = QStringLiteral("Давление (кгс)");
    d.xTitle = kDistanceTitle;
    d.yTitle = QStringLiteral("Давление, кгс/кв. см");
    // The stored rows that enclose a … b, so that a range shorter than the step still has
    // points, and both bounds are drawn.
    const int ra = rowAtOrBefore(s, a);
    const int rb = std::max(rowAtOrAfter(s, b), ra);
    if (ra < 1) {
        d.visible = false;
        return d;
    }
    d.points.reserve(rb - ra + 1);
    for (int i = ra; i <= rb; ++i) {
        const ProfileRow& row = s.profile.row(i);
        d.points.append(QPointF(row.r, row.deltaPkgf));
    }
    d.firstRow = ra;
    d.lastRow = rb;
    d.yMin = s.profile.row(rb).deltaPkgf;
    d.yMax = s.profile.row(ra).deltaPkgf;
    if (!(d.yMax > d.yMin)) {
        d.yAutoRange = true;
    }
    d.yDivisions = divisions >= 1 ? std::min(divisions, 100) : 0;
    d.xMin = s.profile.row(ra).r;
    d.xMax = s.profile.row(rb).r;
    if (!(d.xMax > d.xMin)) {
        // One row only: a span of a step on either side keeps its point inside the chart.
        const double half = s.step > 0 ? s.step : 1;
        d.xMin -= half;
        d.xMax += half;
    }
    d.tickAnchor = d.xMin;
    setLabelSpacing(d, d.xMax - d.xMin);
    return d;
}

namespace {

// Everything that decides where an axis puts its ticks and how it writes their labels.
struct AxisSettings {
    double min = 0;
    double max = 1;
    QValueAxis::TickType tickType = QValueAxis::TicksFixed;
    double tickAnchor = 0;
    double tickInterval = 0;
    int tickCount = 5;
    QString labelFormat;
};

// The range and ticks an axis of these settings would take after rounding them to nice
// numbers, worked out on an axis that belongs to no chart and so lays out nothing.
void roundToNiceNumbers(AxisSettings& settings) {
    QValueAxis scratch;
    scratch.setTickCount(settings.tickCount);
    scratch.setRange(settings.min, settings.max);
    scratch.applyNiceNumbers();
    settings.min = scratch.min();
    settings.max = scratch.max();
    settings.tickCount = scratch.tickCount();
}

QString fixedTicksFormat(const AxisSettings& settings) {
    return fixedFormat(tickDecimals(settings.min, (settings.max - settings.min) /
                                                      std::max(1, settings.tickCount - 1)));
}

AxisSettings horizontalAxisSettings(const ChartData& data) {
    AxisSettings x;
    if (data.xMax > data.xMin) {
        x.min = data.xMin;
        x.max = data.xMax;
    }
    if (data.tickInterval > 0) {
        x.tickType = QValueAxis::TicksDynamic;
        x.tickAnchor = data.tickAnchor;
        x.tickInterval = data.tickInterval;
        const double first =
            x.tickAnchor + std::ceil((x.min - x.tickAnchor) / x.tickInterval) * x.tickInterval;
        x.labelFormat = fixedFormat(tickDecimals(first, x.tickInterval));
        return x;
    }
    x.tickCount = 11;
    if (data.xMax > data.xMin) {
        roundToNiceNumbers(x);
    }
    x.labelFormat = fixedTicksFormat(x);
    return x;
}

AxisSettings verticalAxisSettings(const ChartData& data) {
    AxisSettings y;
    y.tickCount = data.yDivisions >= 1 ? data.yDivisions + 1 : 6;
    if (data.yAutoRange && data.points.isEmpty()) {
        y.min = 0;
        y.max = 1;
    } else if (data.yAutoRange && data.yMax <= data.yMin) {
        double lo = data.points.constFirst().y();
        double hi = lo;
        for (const QPointF& pt : data.points) {
            lo = std::min(lo, pt.y());
            hi = std::max(hi, pt.y());
        }
        y.min = lo;
        y.max = hi > lo ? hi : lo + 1;
        // The nice numbers are taken with the tick count the axis had then; the count of the
        // divisions is set afterwards and keeps the rounded range.
        const int divisions = y.tickCount;
        y.tickCount = 5;
        roundToNiceNumbers(y);
        y.tickCount = divisions;
    } else {
        y.min = data.yMin;
        y.max = data.yMax;
    }
    y.labelFormat = fixedTicksFormat(y);
    return y;
}

void applyAxisSettings(QValueAxis* axis, const AxisSettings& settings) {
    axis->setMinorTickCount(0);
    axis->setLabelFormat(settings.labelFormat);
    axis->setTickType(settings.tickType);
    if (settings.tickType == QValueAxis::TicksDynamic) {
        axis->setTickAnchor(settings.tickAnchor);
        axis->setTickInterval(settings.tickInterval);
    } else {
        axis->setTickCount(settings.tickCount);
    }
    axis->setRange(settings.min, settings.max);
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
        series->setPen(QPen(QColor(0x1f, 0x4e, 0x9a), 2));
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
    applyAxisSettings(xAxis, horizontalAxisSettings(data));
    applyAxisSettings(yAxis, verticalAxisSettings(data));
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
        painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         data.title + QStringLiteral("\n\nГрафик не строится: ни в одной точке "
                                                     "расчета пробит-функция не лежит между "
                                                     "2,67 и 8,09."));
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

namespace {

// The words of a title in lines no wider than width, each centred, as rich text for the
// chart's title.
QString wrappedTitle(const QString& title, const QFont& font, qreal width) {
    const QFontMetricsF metrics(font);
    QStringList lines;
    QString line;
    for (const QString& word : title.split(u' ', Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            lines << line.toHtmlEscaped();
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty()) {
        lines << line.toHtmlEscaped();
    }
    return QStringLiteral("<div align=\"center\">") + lines.join(QStringLiteral("<br>")) +
           QStringLiteral("</div>");
}

} // namespace

QImage renderChartForPrint(const ChartData& data, QSizeF sizePt, int dpi) {
    // The layout is made at 96 logical dots per inch over the printed size, so a font of n
    // pixels prints at 0.75·n pt; the picture is the same layout drawn with dpi dots per inch.
    const QSizeF layout = sizePt * (96.0 / 72.0);
    const QSize pixels(static_cast<int>(std::ceil(sizePt.width() * dpi / 72.0)),
                       static_cast<int>(std::ceil(sizePt.height() * dpi / 72.0)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(pixels.width() / layout.width(), pixels.height() / layout.height());

    QFont text = QGuiApplication::font();
    text.setPixelSize(12); // 9 pt printed
    QFont title = text;
    title.setPixelSize(14); // 10.5 pt
    title.setBold(true);
    const QRectF area(QPointF(0, 0), layout);
    if (!data.visible) {
        painter.setFont(text);
        painter.drawText(area.adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                         data.title + QStringLiteral("\n\nГрафик не строится: ни в одной точке "
                                                     "расчета пробит-функция не лежит между "
                                                     "2,67 и 8,09."));
        return image;
    }
    QGraphicsScene scene;
    QChart* chart = createChart(data);
    scene.addItem(chart);
    chart->setTitleFont(title);
    chart->setTitle(wrappedTitle(data.title, title, layout.width() - 60));
    chart->legend()->setFont(text);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(text);
        axis->setTitleFont(text);
    }
    chart->setGeometry(area);
    scene.setSceneRect(area);
    scene.render(&painter, area, area);
    painter.end();
    return image; // the scene deletes the chart
}

ReportCharts renderReportCharts(const CalcState& s) {
    const auto render = [&](ZoneChart kind) {
        return renderChartForPrint(chartData(kind, s), kReportChartSizePt, kReportChartDpi);
    };
    ReportCharts c;
    c.pressureKgf = render(ZoneChart::PressureKgf);
    c.pressureKPa = render(ZoneChart::PressureKPa);
    c.probitPeople = render(ZoneChart::ProbitPeople);
    c.probitHeavy = render(ZoneChart::ProbitHeavy);
    c.probitTotal = render(ZoneChart::ProbitTotal);
    return c;
}

} // namespace kelmo::charts
