#include "charts/ChartPicture.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace kelmo::charts {

namespace {

// Sizes in layout pixels: the picture is laid out at 96 dots per inch over its printed size,
// so n pixels print as 0.75·n pt.
constexpr double kMargin = 10;
constexpr double kGap = 6;
constexpr double kTitleTop = 20;
constexpr double kTitleGap = 26; // between the title and the plot
constexpr int kTextPixels = 12;  // 9 pt
constexpr int kTitlePixels = 14; // 10.5 pt
constexpr double kSeriesWidth = 2;
constexpr double kMarkerRadius = 3.5;
constexpr double kLegendSample = 28;

const QColor kTextColour(0x20, 0x20, 0x20);
const QColor kAxisColour(0x40, 0x40, 0x40);
const QColor kGridColour(0xd0, 0xd0, 0xd0);

// The same face as the plan map's pictures: the application's default font, sized in pixels.
QFont pictureFont(int pixels, bool bold = false) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The words of a title in lines no wider than width.
QStringList wrapWords(const QString& text, const QFontMetricsF& metrics, double width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            lines << line;
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines;
}

struct AxisLabels {
    AxisTicks ticks;
    QList<double> values;
    QStringList texts;
    double widest = 0;
};

AxisLabels axisLabels(const AxisTicks& ticks, const QFontMetricsF& fm) {
    AxisLabels a;
    a.ticks = ticks;
    a.values = ticks.values();
    a.texts = tickLabels(ticks);
    for (const QString& text : a.texts) {
        a.widest = std::max(a.widest, fm.horizontalAdvance(text));
    }
    return a;
}

void drawChart(QPainter& p, const ChartData& data, const QRectF& area) {
    const QFont text = pictureFont(kTextPixels);
    const QFont title = pictureFont(kTitlePixels, true);
    const QFont axisTitle = pictureFont(kTextPixels, true); // as the window's charts have them
    const QFontMetricsF textFm(text);
    const QFontMetricsF titleFm(title);

    // Title, centred line by line at the top.
    const QStringList titleLines = wrapWords(data.title, titleFm, area.width() - 60);
    p.setPen(kTextColour);
    p.setFont(title);
    double y = area.top() + kTitleTop;
    for (const QString& line : titleLines) {
        p.drawText(QRectF(area.left(), y, area.width(), titleFm.height()), Qt::AlignCenter, line);
        y += titleFm.lineSpacing();
    }
    const double plotTop = y + kTitleGap;

    const AxisLabels xLabels = axisLabels(horizontalTicks(data), textFm);
    const AxisLabels yLabels = axisLabels(verticalTicks(data), textFm);

    // From the bottom up: the legend, the distance axis title, its labels.
    const double legendTop = area.bottom() - kMargin - textFm.height();
    const double xTitleTop = legendTop - kGap - textFm.height();
    const double xLabelsTop = xTitleTop - kGap / 2 - textFm.height();
    const double plotBottom = xLabelsTop - kGap;
    // From the left: the value axis title (turned), its labels.
    const double yTitleLeft = area.left() + kMargin;
    const double plotLeft = yTitleLeft + textFm.height() + kGap + yLabels.widest + kGap;
    const double lastLabel =
        xLabels.texts.isEmpty() ? 0 : textFm.horizontalAdvance(xLabels.texts.constLast());
    const double plotRight = area.right() - kMargin - std::max(kGap, lastLabel / 2);
    const QRectF plot(QPointF(plotLeft, plotTop), QPointF(plotRight, plotBottom));
    if (plot.width() < 10 || plot.height() < 10) {
        return;
    }

    const double xSpan = xLabels.ticks.max - xLabels.ticks.min;
    const double ySpan = yLabels.ticks.max - yLabels.ticks.min;
    const auto toX = [&](double v) {
        return plot.left() + (v - xLabels.ticks.min) / xSpan * plot.width();
    };
    const bool logY = yLabels.ticks.logarithmic;
    const double logMin = logY ? std::log10(yLabels.ticks.min) : 0;
    const double logSpan = logY ? std::log10(yLabels.ticks.max) - logMin : 1;
    const auto toY = [&](double v) {
        if (logY) {
            // Nothing at or below zero on a logarithmic axis: below the plot, clipped.
            return v > 0 ? plot.bottom() - (std::log10(v) - logMin) / logSpan * plot.height()
                         : plot.bottom() + plot.height();
        }
        return plot.bottom() - (v - yLabels.ticks.min) / ySpan * plot.height();
    };

    // Grid and tick labels. A label that would run into the one before is left out.
    p.setFont(text);
    const QPen grid(kGridColour, 1);
    double lastRight = -1e9;
    for (qsizetype i = 0; i < xLabels.values.size(); ++i) {
        const double x = toX(xLabels.values[i]);
        if (x > plot.left() + kGap / 2 && x < plot.right() - kGap / 2) {
            p.setPen(grid); // not doubling the frame
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        }
        const double w = textFm.horizontalAdvance(xLabels.texts[i]);
        if (x - w / 2 > lastRight + kGap) {
            p.setPen(kTextColour);
            p.drawText(QRectF(x - w / 2, xLabelsTop, w, textFm.height()), Qt::AlignCenter,
                       xLabels.texts[i]);
            lastRight = x + w / 2;
        }
    }
    double lastTop = 1e9;
    for (qsizetype i = 0; i < yLabels.values.size(); ++i) {
        const double yv = toY(yLabels.values[i]);
        if (yv > plot.top() + kGap / 2 && yv < plot.bottom() - kGap / 2) {
            p.setPen(grid);
            p.drawLine(QPointF(plot.left(), yv), QPointF(plot.right(), yv));
        }
        if (yv + textFm.height() / 2 < lastTop) {
            p.setPen(kTextColour);
            p.drawText(QRectF(plot.left() - kGap - yLabels.widest, yv - textFm.height() / 2,
                              yLabels.widest, textFm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, yLabels.texts[i]);
            lastTop = yv - textFm.height() / 2;
        }
    }
    p.setPen(QPen(kAxisColour, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);

    // Axis titles.
    p.setPen(kTextColour);
    p.setFont(axisTitle);
    p.drawText(QRectF(plot.left(), xTitleTop, plot.width(), textFm.height()), Qt::AlignCenter,
               data.xTitle);
    p.save();
    p.translate(yTitleLeft, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), textFm.height()), Qt::AlignCenter,
               data.yTitle);
    p.restore();

    // The curve, kept inside the plot.
    const bool marked = data.points.size() <= kMarkedPointsMax;
    const QPen seriesPen(kSeriesColour, kSeriesWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (xSpan > 0 && ySpan > 0 && !data.points.isEmpty()) {
        QPolygonF line;
        line.reserve(data.points.size());
        for (const QPointF& pt : data.points) {
            line << QPointF(toX(pt.x()), toY(pt.y()));
        }
        p.save();
        p.setClipRect(plot.adjusted(-kMarkerRadius, -kMarkerRadius, kMarkerRadius, kMarkerRadius));
        p.setPen(seriesPen);
        p.drawPolyline(line);
        if (marked) {
            p.setBrush(kSeriesColour);
            for (const QPointF& pt : line) {
                p.drawEllipse(pt, kMarkerRadius, kMarkerRadius);
            }
        }
        p.restore();
    }

    // The legend: a piece of the curve and its name, centred under the chart.
    const double nameWidth = textFm.horizontalAdvance(data.seriesName);
    const double legendWidth = kLegendSample + kGap + nameWidth;
    const double legendLeft = area.center().x() - legendWidth / 2;
    const double legendMiddle = legendTop + textFm.height() / 2;
    p.save();
    p.setPen(seriesPen);
    p.drawLine(QPointF(legendLeft, legendMiddle),
               QPointF(legendLeft + kLegendSample, legendMiddle));
    if (marked) {
        p.setBrush(kSeriesColour);
        p.drawEllipse(QPointF(legendLeft + kLegendSample / 2, legendMiddle), kMarkerRadius,
                      kMarkerRadius);
    }
    p.restore();
    p.setPen(kTextColour);
    p.setFont(text);
    p.drawText(QRectF(legendLeft + kLegendSample + kGap, legendTop, nameWidth + 1, textFm.height()),
               Qt::AlignLeft | Qt::AlignVCenter, data.seriesName);
}

} // namespace

QImage renderChartForPrint(const ChartData& data, QSizeF sizePt, int dpi) {
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
    const QRectF area(QPointF(0, 0), layout);
    if (!data.visible) {
        painter.setFont(pictureFont(kTextPixels));
        painter.setPen(kTextColour);
        painter.drawText(area.adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                         hiddenChartText(data));
        return image;
    }
    drawChart(painter, data, area);
    return image;
}

ReportCharts renderReportCharts(const CalcState& s) {
    const auto render = [&](ZoneChart kind) {
        return renderChartForPrint(reportChartData(kind, s), kReportChartSizePt, kReportChartDpi);
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
