#include "map/PlanMapRender.h"

#include "map/MapStyle.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kelmo::map {

namespace {

constexpr double kMargin = 0.05; // of the plan area, around everything drawn

double defaultTextHeight(const QRectF& target) {
    return std::clamp(target.height() / 70, 9.0, 200.0);
}

QFont mapFont(double height, bool bold = false) {
    QFont font;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(height))));
    font.setBold(bold);
    return font;
}

// A square area around the charge point when the map holds nothing else.
QRectF emptyWindow(const PlanMapModel& model) {
    const QPointF c = model.charge.value_or(QPointF(0, 0));
    return {c.x() - 50, c.y() - 50, 100, 100};
}

void drawText(QPainter& p, QPointF at, const QString& text, Qt::Alignment align,
              const QColor& colour, bool halo = true) {
    const QFontMetricsF fm(p.font());
    const QSizeF size(fm.horizontalAdvance(text), fm.height());
    QPointF topLeft = at;
    if (align & Qt::AlignHCenter) {
        topLeft.rx() -= size.width() / 2;
    } else if (align & Qt::AlignRight) {
        topLeft.rx() -= size.width();
    }
    if (align & Qt::AlignVCenter) {
        topLeft.ry() -= size.height() / 2;
    } else if (align & Qt::AlignBottom) {
        topLeft.ry() -= size.height();
    }
    const QRectF box(topLeft, size);
    if (halo) {
        p.fillRect(box.adjusted(-1, 0, 1, 0), QColor(255, 255, 255, 200));
    }
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace

double niceStep(double rough) {
    if (!(rough > 0) || !std::isfinite(rough)) {
        return 1;
    }
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough * (1 - 1e-12)) {
            return m * power;
        }
    }
    return 10 * power;
}

double roundScaleDenominator(double exact) {
    if (!(exact > 0) || !std::isfinite(exact)) {
        return 1;
    }
    const double power = std::pow(10.0, std::floor(std::log10(exact)));
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (m * power >= exact * (1 - 1e-12)) {
            return m * power;
        }
    }
    return 10 * power;
}

MapFrame mapFrame(const PlanMapModel& model, const QRectF& target, const MapOptions& options) {
    MapFrame f;
    QRectF window = options.planWindow;
    if (window.isEmpty()) {
        window = model.bounds(options.criterion);
        if (window.isNull()) {
            window = emptyWindow(model);
        }
        // A single line or point still gets an area to show.
        const double side = std::max({window.width(), window.height(), 10.0});
        const double w = std::max(window.width(), 10.0) + 2 * side * kMargin;
        const double h = std::max(window.height(), 10.0) + 2 * side * kMargin;
        const QPointF centre = window.center();
        window = QRectF(centre.x() - w / 2, centre.y() - h / 2, w, h);
    }
    f.unitsPerMetre = options.unitsPerMetre > 0 ? options.unitsPerMetre
                                                : std::min(target.width() / window.width(),
                                                           target.height() / window.height());
    // The window's centre lands on the target's centre; y grows upwards on the plan.
    const QPointF c = window.center();
    const QPointF t = target.center();
    f.planToTarget = QTransform(f.unitsPerMetre, 0, 0, -f.unitsPerMetre,
                                t.x() - c.x() * f.unitsPerMetre, t.y() + c.y() * f.unitsPerMetre);
    f.planWindow = f.planToTarget.inverted().mapRect(target);
    return f;
}

void drawMetreGrid(QPainter& p, const QRectF& target, const MapFrame& frame, double textHeight,
                   bool labels) {
    const double step = niceStep(6 * textHeight / frame.unitsPerMetre);
    const QRectF w = frame.planWindow;
    p.save();
    p.setFont(mapFont(textHeight * 0.8));
    p.setPen(QPen(QColor(0xd6, 0xd6, 0xd6), 0));
    const double x0 = std::ceil(w.left() / step) * step;
    const double y0 = std::ceil(w.top() / step) * step;
    const int limit = 10000; // lines, whatever the window
    int n = 0;
    for (double x = x0; x <= w.right() && n < limit; x = x0 + step * ++n) {
        const double tx = frame.planToTarget.map(QPointF(x, 0)).x();
        p.drawLine(QPointF(tx, target.top()), QPointF(tx, target.bottom()));
    }
    n = 0;
    for (double y = y0; y <= w.bottom() && n < limit; y = y0 + step * ++n) {
        const double ty = frame.planToTarget.map(QPointF(0, y)).y();
        p.drawLine(QPointF(target.left(), ty), QPointF(target.right(), ty));
    }
    if (labels) {
        const QColor text(90, 90, 90);
        n = 0;
        for (double x = x0; x <= w.right() && n < limit; x = x0 + step * ++n) {
            const double tx = frame.planToTarget.map(QPointF(x, 0)).x();
            drawText(p, QPointF(tx + 2, target.bottom() - 2), mapNumber(x, 0),
                     Qt::AlignLeft | Qt::AlignBottom, text, false);
        }
        n = 0;
        for (double y = y0; y <= w.bottom() && n < limit; y = y0 + step * ++n) {
            const double ty = frame.planToTarget.map(QPointF(0, y)).y();
            drawText(p, QPointF(target.left() + 2, ty - 1), mapNumber(y, 0),
                     Qt::AlignLeft | Qt::AlignBottom, text, false);
        }
    }
    p.restore();
}

void drawScaleBar(QPainter& p, const QRectF& target, double unitsPerMetre, double textHeight) {
    // The longest round length (1, 2 or 5 × 10ⁿ m) within a fifth of the width.
    const double rough = std::max(target.width() * 0.2 / unitsPerMetre, 1e-9);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double metres = power;
    for (const double m : {2.0, 5.0}) {
        if (m * power <= rough) {
            metres = m * power;
        }
    }
    const double length = metres * unitsPerMetre;
    const double h = textHeight * 0.45;
    const QPointF origin(target.left() + textHeight * 3.5, target.bottom() - textHeight * 2.2);
    p.save();
    p.setFont(mapFont(textHeight * 0.9));
    p.fillRect(QRectF(origin.x() - textHeight * 0.6, origin.y() - textHeight * 1.5,
                      length + textHeight * 5, textHeight * 2.3),
               QColor(255, 255, 255, 210));
    for (int i = 0; i < 4; ++i) {
        p.fillRect(QRectF(origin.x() + length * i / 4, origin.y() - h, length / 4, h),
                   i % 2 == 0 ? Qt::black : Qt::white);
    }
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(origin.x(), origin.y() - h, length, h));
    drawText(p, QPointF(origin.x(), origin.y() - h - 1), QStringLiteral("0"),
             Qt::AlignHCenter | Qt::AlignBottom, Qt::black, false);
    drawText(p, QPointF(origin.x() + length, origin.y() - h - 1),
             mapNumber(metres, 1) + QStringLiteral(" м"), Qt::AlignLeft | Qt::AlignBottom,
             Qt::black, false);
    p.restore();
}

void drawLegend(QPainter& p, const QRectF& target, double textHeight, bool zones) {
    p.save();
    p.setFont(mapFont(textHeight));
    const QFontMetricsF fm(p.font());
    const QString title = QStringLiteral("Степень разрушения");
    QStringList lines;
    for (int d = 0; d < 5; ++d) {
        lines << degreeName(d);
    }
    lines << degreeName(std::nullopt);
    double width = fm.horizontalAdvance(title);
    for (const QString& line : lines) {
        width = std::max(width, fm.horizontalAdvance(line) + textHeight * 2);
    }
    const QString zoneLine = QStringLiteral("граница зоны");
    const QString pressureLine = QStringLiteral("избыточное давление");
    if (zones) {
        width = std::max({width, fm.horizontalAdvance(zoneLine) + textHeight * 2.5,
                          fm.horizontalAdvance(pressureLine) + textHeight * 2.5});
    }
    const double row = fm.height() * 1.15;
    const int rows = 1 + 6 + (zones ? 2 : 0);
    const QRectF box(target.right() - width - textHeight * 1.5, target.top() + textHeight * 0.5,
                     width + textHeight, row * rows + textHeight * 0.5);
    p.setPen(QPen(QColor(120, 120, 120), 0));
    p.setBrush(QColor(255, 255, 255, 225));
    p.drawRect(box);
    double y = box.top() + textHeight * 0.25;
    const double x = box.left() + textHeight * 0.5;
    drawText(p, QPointF(x, y), title, Qt::AlignLeft | Qt::AlignTop, Qt::black, false);
    y += row;
    for (int i = 0; i < 6; ++i) {
        const std::optional<int> degree = i < 5 ? std::optional<int>(i) : std::nullopt;
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(degreeColour(degree));
        p.drawRect(QRectF(x, y + row * 0.15, textHeight * 1.4, row * 0.7));
        drawText(p, QPointF(x + textHeight * 2, y), lines[i], Qt::AlignLeft | Qt::AlignTop,
                 Qt::black, false);
        y += row;
    }
    if (zones) {
        p.setPen(QPen(zoneColour(1), std::max(1.0, textHeight / 6)));
        p.drawLine(QPointF(x, y + row / 2), QPointF(x + textHeight * 2, y + row / 2));
        drawText(p, QPointF(x + textHeight * 2.5, y), zoneLine, Qt::AlignLeft | Qt::AlignTop,
                 Qt::black, false);
        y += row;
        QPen dashed(pressureColour(), std::max(1.0, textHeight / 8), Qt::DashLine);
        p.setPen(dashed);
        p.drawLine(QPointF(x, y + row / 2), QPointF(x + textHeight * 2, y + row / 2));
        drawText(p, QPointF(x + textHeight * 2.5, y), pressureLine, Qt::AlignLeft | Qt::AlignTop,
                 Qt::black, false);
    }
    p.restore();
}

QString zoneLabel(int zone) {
    return QStringLiteral("%1 зона").arg(zone);
}

QString pressureLabel(double kPa) {
    return mapNumber(kPa, 1) + QStringLiteral(" кПа");
}

QString structureTip(const MapStructure& s) {
    QStringList lines{QStringLiteral("Сооружение № %1").arg(s.number),
                      QStringLiteral("Тип: %1").arg(s.type), QStringLiteral("Вид: %1").arg(s.kind)};
    if (s.evaluated) {
        lines << QStringLiteral("Расстояние: %1 м").arg(mapNumber(s.distance, 2))
              << QStringLiteral("ΔP: %1 кПа").arg(mapNumber(s.deltaPkPa, 2))
              << QStringLiteral("Степень разрушения: %1").arg(degreeName(s.degree));
        if (s.atMinimumDistance) {
            lines << QStringLiteral("Место хранения ВВ внутри сооружения: расчёт на 1 м");
        }
    }
    return lines.join(u'\n');
}

void renderPlanMap(QPainter& p, const PlanMapModel& model, const QRectF& target,
                   const MapOptions& options) {
    const MapFrame frame = mapFrame(model, target, options);
    const double textHeight =
        options.textHeight > 0 ? options.textHeight : defaultTextHeight(target);
    const QTransform& t = frame.planToTarget;
    const double lineWidth = std::max(1.0, textHeight / 7);

    p.save();
    p.setClipRect(target);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(target, Qt::white);

    if (options.background && model.background && model.background->visible &&
        !model.background->picture.isNull()) {
        p.save();
        p.setOpacity(std::clamp(model.background->opacity, 0.0, 1.0));
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.setTransform(model.background->pictureToPlan * t, true);
        p.drawImage(QPointF(0, 0), model.background->picture);
        p.restore();
    }
    if (options.grid) {
        drawMetreGrid(p, target, frame, textHeight, options.labels);
    }

    p.setFont(mapFont(textHeight));
    if (model.charge && model.hasZones) {
        const QPointF c = t.map(*model.charge);
        p.setBrush(Qt::NoBrush);
        if (options.zones) {
            for (int k = 1; k <= kZoneBoundaries; ++k) {
                const double r = model.zoneRadius(options.criterion, k) * frame.unitsPerMetre;
                if (r <= 0) {
                    continue;
                }
                p.setPen(QPen(zoneColour(k), lineWidth * 1.6));
                p.drawEllipse(c, r, r);
                if (options.labels) {
                    drawText(p, QPointF(c.x(), c.y() - r + lineWidth * 2), zoneLabel(k),
                             Qt::AlignHCenter | Qt::AlignTop, zoneColour(k));
                }
            }
            const double r4 = model.zoneRadius(options.criterion, 4) * frame.unitsPerMetre;
            if (options.labels && r4 > 0) {
                drawText(p, QPointF(c.x(), c.y() - r4 - lineWidth * 2), zoneLabel(5),
                         Qt::AlignHCenter | Qt::AlignBottom, zoneColour(4));
            }
        }
        if (options.pressures) {
            QPen dashed(pressureColour(), lineWidth, Qt::DashLine);
            for (const PressureCircle& circle : model.pressures) {
                const double r = circle.radius * frame.unitsPerMetre;
                if (r <= 0) {
                    continue;
                }
                p.setPen(dashed);
                p.drawEllipse(c, r, r);
                if (options.labels) {
                    const QPointF at(c.x() + r * M_SQRT1_2, c.y() - r * M_SQRT1_2);
                    drawText(p, at + QPointF(lineWidth * 2, 0), pressureLabel(circle.kPa),
                             Qt::AlignLeft | Qt::AlignBottom, pressureColour());
                }
            }
        }
    }

    p.setPen(QPen(QColor(40, 40, 40), lineWidth * 0.8));
    QPolygonF shape;
    for (const MapStructure& s : model.structures) {
        shape = t.map(s.outline);
        p.setBrush(degreeColour(s.degree));
        p.drawPolygon(shape);
    }
    if (options.labels) {
        p.setFont(mapFont(textHeight * 0.9, true));
        for (const MapStructure& s : model.structures) {
            const QRectF box = t.mapRect(s.outline.boundingRect());
            if (std::max(box.width(), box.height()) < textHeight * 1.2 || !box.intersects(target)) {
                continue; // too small to carry its number at this scale
            }
            drawText(p, t.map(s.labelAt), QString::number(s.number), Qt::AlignCenter, Qt::black,
                     false);
        }
        p.setFont(mapFont(textHeight));
    }

    if (model.charge) {
        const QPointF c = t.map(*model.charge);
        const double r = textHeight * 0.45;
        p.setPen(QPen(Qt::white, lineWidth));
        p.setBrush(chargeColour());
        p.drawEllipse(c, r, r);
        p.setPen(QPen(chargeColour(), lineWidth));
        p.drawLine(c + QPointF(-2 * r, 0), c + QPointF(-r, 0));
        p.drawLine(c + QPointF(r, 0), c + QPointF(2 * r, 0));
        p.drawLine(c + QPointF(0, -2 * r), c + QPointF(0, -r));
        p.drawLine(c + QPointF(0, r), c + QPointF(0, 2 * r));
        if (options.labels) {
            drawText(p, c + QPointF(2 * r, 2 * r), QStringLiteral("ВВ"),
                     Qt::AlignLeft | Qt::AlignTop, chargeColour());
        }
    }

    if (options.scaleBar) {
        drawScaleBar(p, target, frame.unitsPerMetre, textHeight);
    }
    if (options.legend) {
        drawLegend(p, target, textHeight, model.hasZones && (options.zones || options.pressures));
    }
    p.restore();
}

QImage renderPlanMapImage(const PlanMapModel& model, QSize size, const MapOptions& options) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    renderPlanMap(p, model, QRectF(QPointF(0, 0), QSizeF(size)), options);
    p.end();
    return image;
}

QImage mapPicture(const PlanMapModel& model, const MapOptions& options, QSizeF millimetres,
                  int dotsPerInch) {
    const double dotsPerMm = dotsPerInch / 25.4;
    const QSize size(static_cast<int>(std::lround(millimetres.width() * dotsPerMm)),
                     static_cast<int>(std::lround(millimetres.height() * dotsPerMm)));
    MapOptions o = options;
    if (o.textHeight <= 0) {
        o.textHeight = 2.6 * dotsPerMm; // about 10 pt letters on paper
    }
    QImage image = renderPlanMapImage(model, size, o);
    const int dotsPerMetre = static_cast<int>(std::lround(dotsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

double renderMapSheet(QPainter& p, const PlanMapModel& model, const QRectF& page, double unitsPerMm,
                      const MapOptions& options, const QString& heading) {
    const double text = 3.5 * unitsPerMm;
    const QRectF headingBox(page.left(), page.top(), page.width(), text * 2);
    const QRectF footBox(page.left(), page.bottom() - text * 2, page.width(), text * 2);
    const QRectF mapBox(page.left(), headingBox.bottom(), page.width(),
                        footBox.top() - headingBox.bottom());

    MapOptions o = options;
    o.textHeight = options.textHeight > 0 ? options.textHeight : 2.6 * unitsPerMm;
    // A round scale at which everything fits: 1 : denominator, plan metres to paper mm.
    const MapFrame fitted = mapFrame(model, mapBox, o);
    const double exact = 1000 * unitsPerMm / fitted.unitsPerMetre;
    const double denominator = options.unitsPerMetre > 0 ? exact : roundScaleDenominator(exact);
    o.unitsPerMetre = 1000 * unitsPerMm / denominator;
    if (o.planWindow.isEmpty()) {
        o.planWindow = fitted.planWindow;
    }

    p.save();
    p.setFont(mapFont(text, true));
    p.setPen(Qt::black);
    p.drawText(headingBox, Qt::AlignLeft | Qt::AlignVCenter, heading);
    renderPlanMap(p, model, mapBox, o);
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(mapBox);
    p.setFont(mapFont(text));
    p.drawText(footBox, Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Масштаб 1:%1").arg(QLocale().toString(std::lround(denominator))));
    p.restore();
    return denominator;
}

} // namespace kelmo::map
