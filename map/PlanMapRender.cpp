#include "map/PlanMapRender.h"

#include "map/MapStyle.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace kelmo::map {

namespace {

constexpr double kMargin = 0.05; // of the plan area, around everything drawn

double defaultTextHeight(const QRectF& target) {
    return std::clamp(target.height() / 70, 9.0, 200.0);
}

QFont mapFont(double height, bool bold = false) {
    return labelFont(height, bold);
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

namespace {

// The grid's lines in plan metres: every `step` from the first multiple inside the window.
double gridStep(const MapFrame& frame, double textHeight) {
    return niceStep(6 * textHeight / frame.unitsPerMetre);
}

constexpr int kGridLineLimit = 10000; // lines, whatever the window

// Each coordinate label of the grid with its text, the box it takes and whether it is an
// easting (along the bottom) or a northing (along the left edge).
template <typename F>
void forGridLabels(const QRectF& target, const MapFrame& frame, double textHeight, F f) {
    const double step = gridStep(frame, textHeight);
    const QRectF w = frame.planWindow;
    const QFontMetricsF fm(mapFont(textHeight * 0.8));
    const double x0 = std::ceil(w.left() / step) * step;
    const double y0 = std::ceil(w.top() / step) * step;
    int n = 0;
    // Eastings along the bottom edge, northings along the left edge.
    for (double x = x0; x <= w.right() && n < kGridLineLimit; x = x0 + step * ++n) {
        const double tx = frame.planToTarget.map(QPointF(x, 0)).x();
        const QString text = mapNumber(x, 0);
        f(text,
          QRectF(tx + 2, target.bottom() - 2 - fm.height(), fm.horizontalAdvance(text),
                 fm.height()),
          true);
    }
    n = 0;
    for (double y = y0; y <= w.bottom() && n < kGridLineLimit; y = y0 + step * ++n) {
        const double ty = frame.planToTarget.map(QPointF(0, y)).y();
        const QString text = mapNumber(y, 0);
        f(text,
          QRectF(target.left() + 2, ty - 1 - fm.height(), fm.horizontalAdvance(text), fm.height()),
          false);
    }
}

} // namespace

void drawMetreGrid(QPainter& p, const QRectF& target, const MapFrame& frame, double textHeight,
                   bool labels) {
    const double step = gridStep(frame, textHeight);
    const QRectF w = frame.planWindow;
    p.save();
    p.setFont(mapFont(textHeight * 0.8));
    p.setPen(QPen(QColor(0xd6, 0xd6, 0xd6), 0));
    const double x0 = std::ceil(w.left() / step) * step;
    const double y0 = std::ceil(w.top() / step) * step;
    int n = 0;
    for (double x = x0; x <= w.right() && n < kGridLineLimit; x = x0 + step * ++n) {
        const double tx = frame.planToTarget.map(QPointF(x, 0)).x();
        p.drawLine(QPointF(tx, target.top()), QPointF(tx, target.bottom()));
    }
    n = 0;
    for (double y = y0; y <= w.bottom() && n < kGridLineLimit; y = y0 + step * ++n) {
        const double ty = frame.planToTarget.map(QPointF(0, y)).y();
        p.drawLine(QPointF(target.left(), ty), QPointF(target.right(), ty));
    }
    if (labels) {
        const QColor text(90, 90, 90);
        forGridLabels(
            target, frame, textHeight, [&](const QString& label, const QRectF& box, bool) {
                drawText(p, box.topLeft(), label, Qt::AlignLeft | Qt::AlignTop, text, false);
            });
    }
    p.restore();
}

std::vector<QRectF> metreGridLabelBoxes(const QRectF& target, const MapFrame& frame,
                                        double textHeight) {
    std::vector<QRectF> boxes;
    forGridLabels(target, frame, textHeight,
                  [&](const QString&, const QRectF& box, bool) { boxes.push_back(box); });
    return boxes;
}

QRectF insideGridLabels(const QRectF& target, const MapFrame& frame, double textHeight) {
    double left = target.left();
    double bottom = target.bottom();
    forGridLabels(target, frame, textHeight, [&](const QString&, const QRectF& box, bool easting) {
        if (easting) {
            bottom = std::min(bottom, box.top());
        } else {
            left = std::max(left, box.right());
        }
    });
    // Keep a usable area even when the labels are wider than the map.
    left = std::min(left, target.left() + target.width() / 3);
    bottom = std::max(bottom, target.bottom() - target.height() / 3);
    return QRectF(QPointF(left, target.top()), QPointF(target.right(), bottom));
}

namespace {

// The longest round length (1, 2 or 5 × 10ⁿ m) within a fifth of the map's width.
double scaleBarMetres(double mapWidth, double unitsPerMetre) {
    const double rough = std::max(mapWidth * 0.2 / unitsPerMetre, 1e-9);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double metres = power;
    for (const double m : {2.0, 5.0}) {
        if (m * power <= rough) {
            metres = m * power;
        }
    }
    return metres;
}

QString scaleBarText(double metres) {
    return mapNumber(metres, 1) + QStringLiteral(" м");
}

} // namespace

QSizeF scaleBarSize(double mapWidth, double unitsPerMetre, double textHeight, bool northArrow) {
    const double metres = scaleBarMetres(mapWidth, unitsPerMetre);
    const QFontMetricsF fm(mapFont(textHeight * 0.9));
    const double width = textHeight * 1.2 + metres * unitsPerMetre +
                         fm.horizontalAdvance(scaleBarText(metres)) + textHeight * 0.8 +
                         (northArrow ? textHeight * 2.4 : 0);
    return {width, textHeight * (northArrow ? 3.2 : 2.3)};
}

void drawScaleBar(QPainter& p, const QRectF& box, double mapWidth, double unitsPerMetre,
                  double textHeight, bool northArrow) {
    const double metres = scaleBarMetres(mapWidth, unitsPerMetre);
    const double length = metres * unitsPerMetre;
    const double h = textHeight * 0.45;
    const QPointF origin(box.left() + textHeight * 0.6, box.bottom() - textHeight * 0.6);
    p.save();
    p.setFont(mapFont(textHeight * 0.9));
    p.fillRect(box, QColor(255, 255, 255, 210));
    for (int i = 0; i < 4; ++i) {
        p.fillRect(QRectF(origin.x() + length * i / 4, origin.y() - h, length / 4, h),
                   i % 2 == 0 ? Qt::black : Qt::white);
    }
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(origin.x(), origin.y() - h, length, h));
    drawText(p, QPointF(origin.x(), origin.y() - h - 1), QStringLiteral("0"),
             Qt::AlignLeft | Qt::AlignBottom, Qt::black, false);
    drawText(p, QPointF(origin.x() + length + textHeight * 0.3, origin.y() - h - 1),
             scaleBarText(metres), Qt::AlignLeft | Qt::AlignBottom, Qt::black, false);
    if (northArrow) {
        // An arrow to the plan's +Y, which the map draws upwards, with «С» under its point.
        const double cx = box.right() - textHeight * 1.2;
        const double top = box.top() + textHeight * 0.3;
        const double bottom = box.bottom() - textHeight * 0.3;
        QPolygonF arrow{QPointF(cx, top + textHeight * 1.1), QPointF(cx + textHeight * 0.5, bottom),
                        QPointF(cx, bottom - textHeight * 0.5),
                        QPointF(cx - textHeight * 0.5, bottom)};
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::black);
        p.drawPolygon(arrow);
        drawText(p, QPointF(cx, top), QStringLiteral("С"), Qt::AlignHCenter | Qt::AlignTop,
                 Qt::black, false);
    }
    p.restore();
}

QSizeF legendSize(double textHeight, bool zones) {
    const QFontMetricsF fm(mapFont(textHeight));
    double width = fm.horizontalAdvance(QStringLiteral("Степень разрушения"));
    for (int d = 0; d < 5; ++d) {
        width = std::max(width, fm.horizontalAdvance(degreeName(d)) + textHeight * 2);
    }
    width = std::max(width, fm.horizontalAdvance(degreeName(std::nullopt)) + textHeight * 2);
    if (zones) {
        width = std::max(
            {width, fm.horizontalAdvance(QStringLiteral("граница зоны")) + textHeight * 2.5,
             fm.horizontalAdvance(QStringLiteral("избыточное давление")) + textHeight * 2.5});
    }
    const int rows = 1 + 6 + (zones ? 2 : 0);
    return {width + textHeight, fm.height() * 1.15 * rows + textHeight * 0.5};
}

void drawLegend(QPainter& p, const QRectF& box, double textHeight, bool zones) {
    p.save();
    p.setFont(mapFont(textHeight));
    const QFontMetricsF fm(p.font());
    const double row = fm.height() * 1.15;
    p.setPen(QPen(QColor(120, 120, 120), 0));
    p.setBrush(QColor(255, 255, 255, 225));
    p.drawRect(box);
    double y = box.top() + textHeight * 0.25;
    const double x = box.left() + textHeight * 0.5;
    drawText(p, QPointF(x, y), QStringLiteral("Степень разрушения"), Qt::AlignLeft | Qt::AlignTop,
             Qt::black, false);
    y += row;
    for (int i = 0; i < 6; ++i) {
        const std::optional<int> degree = i < 5 ? std::optional<int>(i) : std::nullopt;
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(degreeColour(degree));
        p.drawRect(QRectF(x, y + row * 0.15, textHeight * 1.4, row * 0.7));
        drawText(p, QPointF(x + textHeight * 2, y), degreeName(degree),
                 Qt::AlignLeft | Qt::AlignTop, Qt::black, false);
        y += row;
    }
    if (zones) {
        p.setPen(QPen(zoneColour(1), std::max(1.0, textHeight / 6)));
        p.drawLine(QPointF(x, y + row / 2), QPointF(x + textHeight * 2, y + row / 2));
        drawText(p, QPointF(x + textHeight * 2.5, y), QStringLiteral("граница зоны"),
                 Qt::AlignLeft | Qt::AlignTop, Qt::black, false);
        y += row;
        QPen dashed(pressureColour(), std::max(1.0, textHeight / 8), Qt::DashLine);
        p.setPen(dashed);
        p.drawLine(QPointF(x, y + row / 2), QPointF(x + textHeight * 2, y + row / 2));
        drawText(p, QPointF(x + textHeight * 2.5, y), QStringLiteral("избыточное давление"),
                 Qt::AlignLeft | Qt::AlignTop, Qt::black, false);
    }
    p.restore();
}

void drawLabels(QPainter& p, const LabelLayout& layout) {
    p.save();
    const double width = layout.labels.empty() ? 1 : layout.labels.front().box.height() / 14;
    for (const PlacedLabel& label : layout.labels) {
        if (label.leader) {
            p.setPen(QPen(QColor(60, 60, 60), std::max(0.5, width)));
            p.drawLine(*label.leader);
        }
    }
    for (const PlacedLabel& label : layout.labels) {
        p.setFont(label.font);
        if (label.kind != LabelKind::Number || label.leader) {
            p.fillRect(label.box, QColor(255, 255, 255, label.leader ? 235 : 200));
        }
        p.setPen(label.colour);
        p.drawText(label.box, Qt::AlignCenter, label.text);
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
        if (!s.scenario.isEmpty()) {
            lines << QStringLiteral("Сценарий: %1").arg(s.scenario);
        }
    }
    return lines.join(u'\n');
}

namespace {

// The side panel's width for that text height.
double panelWidth(double textHeight) {
    return textHeight * 19;
}

// Lines of text wrapped to a width, drawn from the top; returns the height taken.
double drawWrapped(QPainter& p, const QRectF& box, const QString& text, bool bold) {
    p.save();
    QFont font = p.font();
    font.setBold(bold);
    p.setFont(font);
    p.setPen(Qt::black);
    const QRectF needed = p.boundingRect(QRectF(box.left(), box.top(), box.width(), 1e9),
                                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    p.drawText(QRectF(box.left(), box.top(), box.width(), needed.height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    p.restore();
    return needed.height();
}

} // namespace

LabelLayout renderPlanMap(QPainter& p, const PlanMapModel& model, const QRectF& whole,
                          const MapOptions& options) {
    const double textHeight =
        options.textHeight > 0 ? options.textHeight : defaultTextHeight(whole);
    const bool panel = options.sidePanel && whole.width() > panelWidth(textHeight) * 2;
    const QRectF target =
        panel ? whole.adjusted(0, 0, -panelWidth(textHeight) - textHeight * 0.5, 0) : whole;
    const MapFrame frame = mapFrame(model, target, options);
    const QTransform& t = frame.planToTarget;
    const double lineWidth = std::max(1.0, textHeight / 7);
    const bool legendZones = model.hasZones && (options.zones || options.pressures);

    // The legend and the scale bar take the freest corners, unless they have a column.
    LabelRequest request;
    request.criterion = options.criterion;
    request.zones = options.zones;
    request.pressures = options.pressures;
    request.textHeight = textHeight;
    request.besideLimit = options.besideLimit;
    QRectF legendBox;
    QRectF scaleBox;
    const QSizeF legend = legendSize(textHeight, legendZones);
    // In the column the bar is sized to the column, on the map to the map.
    const double barSpan = panel ? panelWidth(textHeight) * 3 : target.width();
    const QSizeF scale = scaleBarSize(barSpan, frame.unitsPerMetre, textHeight, options.northArrow);
    if (!panel) {
        // Clear of the grid's coordinate labels along the left and bottom edges.
        const QRectF corners =
            options.grid && options.labels ? insideGridLabels(target, frame, textHeight) : target;
        if (options.legend) {
            legendBox = freeCorner(model, t, corners, legend, textHeight * 0.5, {});
            request.reserved.push_back(legendBox);
        }
        if (options.scaleBar) {
            scaleBox = freeCorner(model, t, corners, scale, textHeight * 0.5, request.reserved);
            request.reserved.push_back(scaleBox);
        }
    }
    LabelLayout layout = options.labels
                             ? layoutLabels(model, t, frame.unitsPerMetre, target, request)
                             : LabelLayout{};
    layout.legendBox = legendBox;
    layout.scaleBox = scaleBox;

    p.save();
    p.setClipRect(whole);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(whole, Qt::white);
    p.setClipRect(target);

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

    // Zone and pressure circles around a charge point of the plan.
    const auto drawCircles = [&](QPointF point, const auto& zoneRadius,
                                 const std::vector<PressureCircle>& pressures) {
        const QPointF c = t.map(point);
        p.setBrush(Qt::NoBrush);
        if (options.zones) {
            for (int k = 1; k <= kZoneBoundaries; ++k) {
                const double r = zoneRadius(k) * frame.unitsPerMetre;
                if (r > 0) {
                    p.setPen(QPen(zoneColour(k), lineWidth * 1.6));
                    p.drawEllipse(c, r, r);
                }
            }
        }
        if (options.pressures) {
            p.setPen(QPen(pressureColour(), lineWidth, Qt::DashLine));
            for (const PressureCircle& circle : pressures) {
                const double r = circle.radius * frame.unitsPerMetre;
                if (r > 0) {
                    p.drawEllipse(c, r, r);
                }
            }
        }
    };
    if (model.charge && model.hasZones) {
        drawCircles(
            *model.charge, [&](int k) { return model.zoneRadius(options.criterion, k); },
            model.pressures);
    }
    for (const ScenarioCircles& scenario : model.scenarios) {
        drawCircles(
            scenario.point, [&](int k) { return scenario.zoneRadius(options.criterion, k); },
            scenario.pressures);
    }

    p.setPen(QPen(QColor(40, 40, 40), lineWidth * 0.8));
    for (const MapStructure& s : model.structures) {
        p.setBrush(degreeColour(s.degree));
        p.drawPolygon(t.map(s.outline));
    }

    // A ring with a cross: the structure under it stays visible through the middle.
    const auto drawChargeMark = [&](QPointF point) {
        const QPointF c = t.map(point);
        const double r = textHeight * 0.45;
        p.setPen(QPen(Qt::white, lineWidth * 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r, r);
        p.setPen(QPen(chargeColour(), lineWidth * 1.2));
        p.drawEllipse(c, r, r);
        p.drawLine(c + QPointF(-2 * r, 0), c + QPointF(2 * r, 0));
        p.drawLine(c + QPointF(0, -2 * r), c + QPointF(0, 2 * r));
    };
    if (model.charge) {
        drawChargeMark(*model.charge);
    }
    for (const ScenarioCircles& scenario : model.scenarios) {
        drawChargeMark(scenario.point);
    }
    drawLabels(p, layout);

    if (!legendBox.isNull()) {
        drawLegend(p, legendBox, textHeight, legendZones);
    }
    if (!scaleBox.isNull()) {
        drawScaleBar(p, scaleBox, barSpan, frame.unitsPerMetre, textHeight, options.northArrow);
    }
    p.setClipping(false);
    p.setPen(QPen(QColor(90, 90, 90), 0));
    p.setBrush(Qt::NoBrush);
    if (panel) {
        p.drawRect(target);
        const double x = target.right() + textHeight * 0.5;
        const double w = whole.right() - x;
        double y = whole.top();
        p.setFont(mapFont(textHeight));
        for (const QString& note : options.notes) {
            y += drawWrapped(p, QRectF(x, y, w, 0), note, false) + textHeight * 0.3;
        }
        y += textHeight * 0.3;
        if (options.legend) {
            drawLegend(p, QRectF(QPointF(x, y), legend), textHeight, legendZones);
            y += legend.height() + textHeight * 0.6;
        }
        if (options.scaleBar) {
            drawScaleBar(p, QRectF(QPointF(x, y), scale), barSpan, frame.unitsPerMetre, textHeight,
                         options.northArrow);
            y += scale.height() + textHeight * 0.6;
        }
        const QRectF all = model.bounds(options.criterion);
        if (options.overview && !all.isNull() &&
            !frame.planWindow.contains(all.adjusted(1, 1, -1, -1))) {
            // The whole plan, small, with the part the map shows framed.
            const QRectF box(x, y, w, std::min(w * 0.75, whole.bottom() - y - textHeight * 4));
            if (box.height() > textHeight * 4) {
                p.setFont(mapFont(textHeight));
                drawText(p, box.topLeft(), QStringLiteral("Обзорная схема"),
                         Qt::AlignLeft | Qt::AlignTop, Qt::black, false);
                const QRectF inset = box.adjusted(0, textHeight * 1.3, 0, 0);
                MapOptions small;
                small.criterion = options.criterion;
                small.grid = false;
                small.scaleBar = false;
                small.legend = false;
                small.labels = false;
                small.pressures = false;
                small.textHeight = textHeight * 0.5;
                renderPlanMap(p, model, inset, small);
                const MapFrame smallFrame = mapFrame(model, inset, small);
                p.save();
                p.setClipRect(inset);
                p.setPen(QPen(Qt::black, lineWidth));
                p.setBrush(Qt::NoBrush);
                p.drawRect(smallFrame.planToTarget.mapRect(frame.planWindow));
                p.restore();
                p.setPen(QPen(QColor(90, 90, 90), 0));
                p.drawRect(inset);
                y = inset.bottom() + textHeight * 0.6;
            }
        }
        if (!layout.unplaced.empty()) {
            QStringList numbers;
            for (const int n : layout.unplaced) {
                numbers << QString::number(n);
            }
            p.setFont(mapFont(textHeight * 0.9));
            drawWrapped(p, QRectF(x, y, w, 0),
                        QStringLiteral("Не поместились на карте номера сооружений: ") +
                            numbers.join(QStringLiteral(", ")),
                        false);
        }
    }
    p.restore();
    return layout;
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

QSizeF paperMillimetres(Paper paper) {
    switch (paper) {
    case Paper::A4:
        return {297, 210};
    case Paper::A3:
        return {420, 297};
    case Paper::A2:
        return {594, 420};
    case Paper::A1:
        return {841, 594};
    }
    return {297, 210};
}

QList<double> printScales() {
    return {0, 500, 1000, 2000, 5000, 10000, 25000};
}

QString criterionText(Criterion criterion) {
    switch (criterion) {
    case Criterion::Heavy:
        return QStringLiteral("а) тяжёлые разрушения зданий, люди в зданиях");
    case Criterion::Total:
        return QStringLiteral("б) полное разрушение промышленных зданий");
    case Criterion::People:
        return QStringLiteral("люди вне зданий");
    }
    return {};
}

QString scaleDenominatorText(double denominator) {
    // Thousands apart by a no-break space in every locale, as scales are printed in Russian.
    QString digits = QString::number(std::llround(denominator));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) {
        digits.insert(i, QChar(0x00A0));
    }
    return digits;
}

QString scaleText(double denominator) {
    return QStringLiteral("Масштаб 1:%1").arg(scaleDenominatorText(denominator));
}

namespace {

// A sheet's parts, millimetres from the printable area's top left.
struct SheetParts {
    QRectF heading;
    QRectF map;   // with the side column
    QRectF title; // the title block
    double text = 2.6;
};

SheetParts sheetParts(QSizeF printable) {
    SheetParts s;
    s.text = printable.width() > 400 ? 3.5 : 2.6;
    const double headingHeight = s.text * 2.4;
    const double titleHeight = s.text * 2 * 2.6;
    s.heading = QRectF(0, 0, printable.width(), headingHeight);
    s.title = QRectF(0, printable.height() - titleHeight, printable.width(), titleHeight);
    s.map =
        QRectF(0, headingHeight, printable.width(), s.title.top() - s.text * 0.8 - headingHeight);
    return s;
}

// The width of the drawing itself within the map part (the rest is the side column).
QSizeF drawingMillimetres(const SheetParts& parts) {
    return {parts.map.width() - panelWidth(parts.text) - parts.text * 0.5, parts.map.height()};
}

MapOptions sheetOptions(const MapOptions& options, double text) {
    MapOptions o = options;
    o.textHeight = text;
    o.sidePanel = true;
    o.northArrow = true;
    o.overview = true;
    return o;
}

} // namespace

SheetSet mapSheets(const PlanMapModel& model, const MapOptions& options, QSizeF printableMm,
                   double denominator) {
    const SheetParts parts = sheetParts(printableMm);
    const QSizeF drawing = drawingMillimetres(parts);
    // Everything the map shows, with its margin, in plan metres.
    MapOptions o = options;
    o.unitsPerMetre = 0;
    const MapFrame fitted = mapFrame(model, QRectF(QPointF(0, 0), drawing), o);
    const QRectF drawnAll = model.bounds(options.criterion);
    // A window that holds everything drawn (the view after «Весь план», or zoomed out further)
    // prints the plan, not the empty margin the view's shape leaves around it.
    const bool wholePlan = options.planWindow.isEmpty() ||
                           (!drawnAll.isNull() && options.planWindow.contains(drawnAll));
    QRectF all = options.planWindow.isEmpty() ? fitted.planWindow : options.planWindow;
    if (wholePlan && !options.planWindow.isEmpty()) {
        all = drawnAll;
    }
    SheetSet set;
    // Fitted: the round scale at which what is drawn fits, the margin not counted (a round
    // scale leaves room enough; counting it would often double the denominator).
    double exact = 1000 / fitted.unitsPerMetre;
    if (wholePlan && drawnAll.width() > 1 && drawnAll.height() > 1) {
        exact = 1000 *
                std::max(drawnAll.width() / drawing.width(), drawnAll.height() / drawing.height());
    }
    set.denominator = denominator > 0 ? denominator : roundScaleDenominator(exact);
    const double sheetW = drawing.width() * set.denominator / 1000;  // plan metres
    const double sheetH = drawing.height() * set.denominator / 1000; // plan metres
    if (denominator <= 0 || (all.width() <= sheetW && all.height() <= sheetH)) {
        // One sheet, centred on what it shows.
        set.planWindows.push_back(
            QRectF(all.center().x() - sheetW / 2, all.center().y() - sheetH / 2, sheetW, sheetH));
        return set;
    }
    // The bounds of what is drawn, not the fitted window's margins, decide the sheet count.
    if (wholePlan && !drawnAll.isNull()) {
        all = drawnAll;
    }
    set.columns = std::clamp(static_cast<int>(std::ceil(all.width() / sheetW - 1e-9)), 1, 50);
    set.rows = std::clamp(static_cast<int>(std::ceil(all.height() / sheetH - 1e-9)), 1, 50);
    const double left = all.center().x() - set.columns * sheetW / 2;
    const double top = all.center().y() + set.rows * sheetH / 2; // plan y grows up
    for (int r = 0; r < set.rows; ++r) {
        for (int c = 0; c < set.columns; ++c) {
            set.planWindows.push_back(
                QRectF(left + c * sheetW, top - (r + 1) * sheetH, sheetW, sheetH));
        }
    }
    return set;
}

LabelLayout renderMapSheet(QPainter& p, const PlanMapModel& model, const QRectF& page,
                           double unitsPerMm, const MapOptions& options, const TitleBlock& title,
                           const SheetSet& sheets, int index) {
    const SheetParts parts = sheetParts(page.size() / unitsPerMm);
    const auto onPage = [&](const QRectF& mm) {
        return QRectF(page.left() + mm.left() * unitsPerMm, page.top() + mm.top() * unitsPerMm,
                      mm.width() * unitsPerMm, mm.height() * unitsPerMm);
    };
    const double text = parts.text * unitsPerMm;
    MapOptions o = sheetOptions(options, text);
    o.unitsPerMetre = 1000 * unitsPerMm / sheets.denominator;
    o.planWindow = sheets.planWindows.at(static_cast<std::size_t>(index));
    const int count = static_cast<int>(sheets.planWindows.size());
    o.notes =
        QStringList{QStringLiteral("Зоны: ") + title.criterion, scaleText(sheets.denominator)};
    if (count > 1) {
        o.notes << QStringLiteral("Лист %1 из %2 (ряд %3, колонка %4)")
                       .arg(index + 1)
                       .arg(count)
                       .arg(index / sheets.columns + 1)
                       .arg(index % sheets.columns + 1);
    }

    p.save();
    p.setFont(mapFont(text * 1.2, true));
    p.setPen(Qt::black);
    p.drawText(onPage(parts.heading), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("План местности «%1»").arg(title.plan));
    const LabelLayout layout = renderPlanMap(p, model, onPage(parts.map), o);

    // The title block: two rows of four cells, a caption above each value.
    const QRectF block = onPage(parts.title);
    const QStringList captions{QStringLiteral("План"),        QStringLiteral("Заряд"),
                               QStringLiteral("Критерий"),    QStringLiteral("Масштаб"),
                               QStringLiteral("Организация"), QStringLiteral("Исполнитель"),
                               QStringLiteral("Дата"),        QStringLiteral("Программа; лист")};
    const QStringList values{
        title.plan,
        title.charge,
        title.criterion,
        QStringLiteral("1:%1").arg(scaleDenominatorText(sheets.denominator)),
        title.organisation,
        title.author,
        title.date,
        QStringLiteral("%1; лист %2 из %3").arg(title.program).arg(index + 1).arg(count)};
    const std::array<double, 4> widths{0.25, 0.30, 0.30, 0.15};
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(block);
    const double rowHeight = block.height() / 2;
    for (int i = 0; i < 8; ++i) {
        const int column = i % 4;
        double x = block.left();
        for (int c = 0; c < column; ++c) {
            x += block.width() * widths[static_cast<std::size_t>(c)];
        }
        const QRectF cell(x, block.top() + (i / 4) * rowHeight,
                          block.width() * widths[static_cast<std::size_t>(column)], rowHeight);
        p.drawRect(cell);
        const QRectF inner = cell.adjusted(text * 0.3, text * 0.15, -text * 0.3, -text * 0.1);
        p.setFont(mapFont(text * 0.75));
        p.setPen(QColor(90, 90, 90));
        p.drawText(inner, Qt::AlignLeft | Qt::AlignTop, captions[i]);
        p.setFont(mapFont(text));
        p.setPen(Qt::black);
        const QString value = QFontMetricsF(p.font()).elidedText(
            values[i].isEmpty() ? QStringLiteral("—") : values[i], Qt::ElideRight, inner.width());
        p.drawText(inner, Qt::AlignLeft | Qt::AlignBottom, value);
        p.setPen(QPen(Qt::black, 0));
    }
    p.restore();
    return layout;
}

QImage reportMapPicture(const PlanMapModel& model, Criterion criterion, QSizeF millimetres,
                        int dotsPerInch, LabelLayout* layout) {
    const double dotsPerMm = dotsPerInch / 25.4;
    const QSize size(static_cast<int>(std::lround(millimetres.width() * dotsPerMm)),
                     static_cast<int>(std::lround(millimetres.height() * dotsPerMm)));
    MapOptions o;
    o.criterion = criterion;
    o.textHeight = 2.4 * dotsPerMm; // about 9 pt letters on paper
    o.sidePanel = true;
    o.northArrow = true;
    o.overview = true;
    const double drawingWidth = size.width() - panelWidth(o.textHeight) - o.textHeight * 0.5;
    const QRectF drawing(0, 0, drawingWidth, size.height());

    // The main map shows the zones of the criterion (the last boundary and a margin), or the
    // whole plan when there are none.
    // On a map of scenarios, the area holding every scenario's zones.
    QRectF zonesArea;
    const auto addZones = [&](QPointF centre, const auto& zoneRadius) {
        double radius = 0;
        for (int k = 1; k <= kZoneBoundaries; ++k) {
            radius = std::max(radius, zoneRadius(k));
        }
        if (radius > 0) {
            const double r = radius * 1.08;
            zonesArea |= QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
        }
    };
    if (model.charge && model.hasZones) {
        addZones(*model.charge, [&](int k) { return model.zoneRadius(criterion, k); });
    }
    for (const ScenarioCircles& scenario : model.scenarios) {
        addZones(scenario.point, [&](int k) { return scenario.zoneRadius(criterion, k); });
    }
    if (!zonesArea.isEmpty()) {
        o.planWindow = zonesArea;
    }
    const MapFrame fitted = mapFrame(model, drawing, o);
    const double denominator = roundScaleDenominator(1000 * dotsPerMm / fitted.unitsPerMetre);
    o.unitsPerMetre = 1000 * dotsPerMm / denominator;
    if (o.planWindow.isEmpty()) {
        o.planWindow = fitted.planWindow;
    }
    o.notes =
        QStringList{QStringLiteral("Зоны: ") + criterionText(criterion), scaleText(denominator)};

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    const LabelLayout placed = renderPlanMap(p, model, QRectF(QPointF(0, 0), QSizeF(size)), o);
    p.end();
    if (layout != nullptr) {
        *layout = placed;
    }
    const int dotsPerMetre = static_cast<int>(std::lround(dotsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

} // namespace kelmo::map
