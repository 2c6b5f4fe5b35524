#include "charts/ZoneCharts.h"

#include "charts/ProfileLookup.h"

#include "core/NumberText.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

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

ChartData pressureChartForPrint(ChartData data) {
    if (!data.visible || data.points.isEmpty()) {
        return data;
    }
    double lowest = std::numeric_limits<double>::infinity();
    double highest = 0;
    for (const QPointF& pt : data.points) {
        if (!(pt.y() > 0) || !std::isfinite(pt.y())) {
            return data; // a logarithmic axis cannot show it
        }
        lowest = std::min(lowest, pt.y());
        highest = std::max(highest, pt.y());
    }
    // The linear axis as the picture would draw it.
    const AxisTicks linear = verticalTicks(data);
    const double span = linear.max - linear.min;
    qsizetype unreadable = 0;
    for (const QPointF& pt : data.points) {
        unreadable += (pt.y() - linear.min) < kUnreadableBand * span ? 1 : 0;
    }
    if (!(span > 0) || unreadable * 2 <= data.points.size()) {
        return data;
    }
    const bool limited = !data.yAutoRange && data.yMax > 0 && data.yMax < highest;
    data.yLogarithmic = true;
    data.yAutoRange = false;
    data.yMin = std::pow(10.0, std::floor(std::log10(lowest) + 1e-9));
    data.yMax = limited ? data.yMax : std::pow(10.0, std::ceil(std::log10(highest) - 1e-9));
    data.yDivisions = 0;
    return data;
}

ChartData reportChartData(ZoneChart kind, const CalcState& s) {
    ChartData data = chartData(kind, s);
    if (kind == ZoneChart::PressureKgf || kind == ZoneChart::PressureKPa) {
        data = pressureChartForPrint(std::move(data));
    }
    return data;
}

QString hiddenChartText(const ChartData& data) {
    return data.title + QStringLiteral("\n\nГрафик не строится: ни в одной точке расчета "
                                       "пробит-функция не лежит между 2,67 и 8,09.");
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

void roundToNiceNumbers(double& min, double& max, int& count) {
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max)) {
        return;
    }
    const int wanted = std::max(count, 2);
    const double rough = (max - min) / (wanted - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double fraction = rough / power;
    // The smallest of 1, 2, 5, 10 that is not below the rough step, so that the widened range
    // keeps about the ticks wanted.
    double step = 10 * power;
    for (double nice : {1.0, 2.0, 5.0}) {
        if (fraction <= nice * (1 + 1e-9)) {
            step = nice * power;
            break;
        }
    }
    const double lo = std::floor(min / step + 1e-9) * step;
    const double hi = std::ceil(max / step - 1e-9) * step;
    min = lo;
    max = hi;
    count = static_cast<int>(std::lround((hi - lo) / step)) + 1;
}

QList<double> AxisTicks::values() const {
    QList<double> ticks;
    const double span = max - min;
    if (!(span > 0) || !std::isfinite(span)) {
        return ticks;
    }
    const double slack = span * 1e-9;
    if (logarithmic) {
        if (!(min > 0)) {
            return ticks;
        }
        const int first = static_cast<int>(std::floor(std::log10(min) + 1e-9));
        const int last = static_cast<int>(std::ceil(std::log10(max) - 1e-9));
        const QList<double> multiples =
            last - first > 4 ? QList<double>{1} : QList<double>{1, 2, 5};
        for (int k = first; k <= last; ++k) {
            for (const double m : multiples) {
                const double v = m * std::pow(10.0, k);
                if (v >= min * (1 - 1e-9) && v <= max * (1 + 1e-9)) {
                    ticks.append(v);
                }
            }
        }
        return ticks;
    }
    if (fixedInterval && interval > 0) {
        const double first = anchor + std::ceil((min - anchor) / interval - 1e-9) * interval;
        for (int k = 0; k <= 1000; ++k) {
            const double v = first + k * interval;
            if (v > max + slack) {
                break;
            }
            if (v >= min - slack) {
                ticks.append(v);
            }
        }
        return ticks;
    }
    const int n = std::clamp(count, 2, 1001);
    for (int k = 0; k < n; ++k) {
        ticks.append(min + span * k / (n - 1));
    }
    return ticks;
}

QStringList tickLabels(const AxisTicks& ticks) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const double zero = 0.5 * std::pow(10.0, -ticks.decimals);
    QStringList labels;
    if (ticks.logarithmic) {
        // 0.01, 0.1, 1, 10: each value with the decimals it needs.
        for (double v : ticks.values()) {
            const int decimals =
                std::clamp(-static_cast<int>(std::floor(std::log10(v) + 1e-9)), 0, 12);
            labels << locale.toString(v, 'f', decimals);
        }
        return labels;
    }
    for (double v : ticks.values()) {
        labels << locale.toString(std::abs(v) < zero ? 0.0 : v, 'f', ticks.decimals); // no "-0"
    }
    return labels;
}

namespace {

int evenTicksDecimals(const AxisTicks& ticks) {
    return tickDecimals(ticks.min, (ticks.max - ticks.min) / std::max(1, ticks.count - 1));
}

} // namespace

AxisTicks horizontalTicks(const ChartData& data, NiceNumbers nice) {
    AxisTicks x;
    if (data.xMax > data.xMin) {
        x.min = data.xMin;
        x.max = data.xMax;
    }
    if (data.tickInterval > 0) {
        x.fixedInterval = true;
        x.anchor = data.tickAnchor;
        x.interval = data.tickInterval;
        const double first = x.anchor + std::ceil((x.min - x.anchor) / x.interval) * x.interval;
        x.decimals = tickDecimals(first, x.interval);
        return x;
    }
    x.count = 11;
    if (data.xMax > data.xMin) {
        nice(x.min, x.max, x.count);
    }
    x.decimals = evenTicksDecimals(x);
    return x;
}

AxisTicks verticalTicks(const ChartData& data, NiceNumbers nice) {
    AxisTicks y;
    if (data.yLogarithmic && data.yMin > 0 && data.yMax > data.yMin) {
        y.logarithmic = true;
        y.min = data.yMin;
        y.max = data.yMax;
        return y;
    }
    y.count = data.yDivisions >= 1 ? data.yDivisions + 1 : 6;
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
        // The round numbers are taken for five ticks; the count of the divisions is set
        // afterwards and keeps the rounded range.
        int roundedCount = 5;
        nice(y.min, y.max, roundedCount);
    } else {
        y.min = data.yMin;
        y.max = data.yMax;
    }
    y.decimals = evenTicksDecimals(y);
    return y;
}

} // namespace kelmo::charts
