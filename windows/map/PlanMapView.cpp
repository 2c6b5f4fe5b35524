#include "windows/map/PlanMapView.h"

#include "map/MapStyle.h"
#include "map/PlanMapRender.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kelmo::map {

namespace {

constexpr double kMinPixelsPerMetre = 1e-4;
constexpr double kMaxPixelsPerMetre = 1e3;

QPen cosmeticPen(const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour, width, style);
    pen.setCosmetic(true);
    return pen;
}

// A label that keeps its size and stays upright whatever the zoom.
QGraphicsSimpleTextItem* label(QGraphicsScene* scene, const QString& text, QPointF at,
                               const QColor& colour, Qt::Alignment align, bool bold = false) {
    auto* item = scene->addSimpleText(text);
    QFont font = item->font();
    font.setBold(bold);
    item->setFont(font);
    item->setBrush(colour);
    item->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    const QRectF box = item->boundingRect();
    QPointF offset(0, 0);
    if (align & Qt::AlignHCenter) {
        offset.rx() = -box.width() / 2;
    } else if (align & Qt::AlignRight) {
        offset.rx() = -box.width();
    }
    if (align & Qt::AlignVCenter) {
        offset.ry() = -box.height() / 2;
    } else if (align & Qt::AlignBottom) {
        offset.ry() = -box.height();
    }
    // The offset is in pixels: a child transform of the unscaled item.
    item->setTransform(QTransform::fromTranslate(offset.x(), offset.y()));
    item->setPos(at);
    return item;
}

} // namespace

PlanMapView::PlanMapView(QWidget* parent)
    : QGraphicsView(parent) {
    setObjectName(QStringLiteral("planMapView"));
    setScene(new QGraphicsScene(this));
    setRenderHint(QPainter::Antialiasing, true);
    // A map pans by dragging, as every map does; scroll bars would only take room from it.
    setDragMode(QGraphicsView::ScrollHandDrag);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setOptimizationFlag(QGraphicsView::DontSavePainterState, true);
    setMinimumSize(200, 150);
    setTransform(QTransform::fromScale(1, -1));
}

PlanMapView::~PlanMapView() = default;

void PlanMapView::setModel(PlanMapModel model, bool fit) {
    m_model = std::move(model);
    m_backgroundPixmap =
        m_model.background ? QPixmap::fromImage(m_model.background->picture) : QPixmap();
    rebuild();
    if (fit || !m_fitted) {
        if (isVisible()) {
            fitToPlan();
        } else {
            m_fitted = false; // fitted when shown, at its real size
        }
    }
}

void PlanMapView::setCriterion(Criterion criterion) {
    if (criterion == m_criterion) {
        return;
    }
    m_criterion = criterion;
    rebuildCircles();
}

void PlanMapView::setBackgroundLook(bool shown, double opacity) {
    if (m_model.background) {
        m_model.background->visible = shown;
        m_model.background->opacity = std::clamp(opacity, 0.0, 1.0);
        viewport()->update();
    }
}

void PlanMapView::setLegendShown(bool shown) {
    m_legend = shown;
    viewport()->update();
}

double PlanMapView::pixelsPerMetre() const {
    return std::abs(transform().m11());
}

void PlanMapView::fitToPlan() {
    QRectF area = m_model.bounds(m_criterion);
    if (area.isNull()) {
        const QPointF c = m_model.charge.value_or(QPointF(0, 0));
        area = QRectF(c.x() - 50, c.y() - 50, 100, 100);
    }
    const double side = std::max({area.width(), area.height(), 10.0});
    area.adjust(-side * 0.05, -side * 0.05, side * 0.05, side * 0.05);
    const QSizeF port = viewport()->size();
    const double s = std::clamp(std::min(port.width() / std::max(area.width(), 1.0),
                                         port.height() / std::max(area.height(), 1.0)),
                                kMinPixelsPerMetre, kMaxPixelsPerMetre);
    setTransform(QTransform::fromScale(s, -s));
    centerOn(area.center());
    m_fitted = true;
    m_userMoved = false;
}

QGraphicsPolygonItem* PlanMapView::structureItem(int number) const {
    const auto it = m_structures.find(number);
    return it == m_structures.end() ? nullptr : it->second;
}

QGraphicsEllipseItem* PlanMapView::zoneItem(int boundary) const {
    const auto it = m_zones.find(boundary);
    return it == m_zones.end() ? nullptr : it->second;
}

QGraphicsEllipseItem* PlanMapView::pressureItem(double kPa) const {
    const auto it = m_pressureCircles.find(kPa);
    return it == m_pressureCircles.end() ? nullptr : it->second;
}

PlanMapView::ExportView PlanMapView::exportView() const {
    return {m_criterion, mapToScene(viewport()->rect()).boundingRect()};
}

void PlanMapView::rebuild() {
    QGraphicsScene* s = scene();
    s->clear();
    m_structures.clear();
    m_zones.clear();
    m_pressureCircles.clear();
    m_circleItems.clear();

    const QPen outline = cosmeticPen(QColor(40, 40, 40), 1);
    for (const MapStructure& structure : m_model.structures) {
        auto* item = s->addPolygon(structure.outline, outline, degreeColour(structure.degree));
        item->setZValue(3);
        item->setToolTip(structureTip(structure));
        m_structures[structure.number] = item;
    }
    if (m_model.charge) {
        const double r = 5; // pixels
        auto* mark =
            s->addEllipse(-r, -r, 2 * r, 2 * r, cosmeticPen(Qt::white, 1.5), chargeColour());
        mark->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        mark->setPos(*m_model.charge);
        mark->setZValue(6);
        mark->setToolTip(
            QStringLiteral("Место хранения ВВ: X = %1 м, Y = %2 м")
                .arg(mapNumber(m_model.charge->x(), 2), mapNumber(m_model.charge->y(), 2)));
        auto* name = label(s, QStringLiteral("ВВ"), *m_model.charge, chargeColour(),
                           Qt::AlignLeft | Qt::AlignTop);
        name->setTransform(QTransform::fromTranslate(7, 4));
        name->setZValue(6);
    }
    rebuildCircles();

    // Room to pan around the plan.
    QRectF area = m_model.bounds(m_criterion);
    if (area.isNull()) {
        area = QRectF(-50, -50, 100, 100);
    }
    const double side = std::max({area.width(), area.height(), 100.0});
    s->setSceneRect(area.adjusted(-side * 2, -side * 2, side * 2, side * 2));
    viewport()->update();
}

void PlanMapView::rebuildCircles() {
    QGraphicsScene* s = scene();
    for (QGraphicsItem* item : std::as_const(m_circleItems)) {
        s->removeItem(item);
        delete item;
    }
    m_circleItems.clear();
    m_zones.clear();
    m_pressureCircles.clear();
    if (!m_model.charge || !m_model.hasZones) {
        return;
    }
    const QPointF c = *m_model.charge;
    const auto circle = [&](double r, const QPen& pen) {
        auto* item = s->addEllipse(c.x() - r, c.y() - r, 2 * r, 2 * r, pen, Qt::NoBrush);
        m_circleItems << item;
        return item;
    };
    for (int k = 1; k <= kZoneBoundaries; ++k) {
        const double r = m_model.zoneRadius(m_criterion, k);
        if (r <= 0) {
            continue;
        }
        auto* item = circle(r, cosmeticPen(zoneColour(k), 2.5));
        item->setZValue(1);
        item->setToolTip(QStringLiteral("Граница %1-й зоны: %2 м").arg(k).arg(mapNumber(r, 1)));
        m_zones[k] = item;
        auto* text = label(s, zoneLabel(k), QPointF(c.x(), c.y() + r), zoneColour(k),
                           Qt::AlignHCenter | Qt::AlignTop);
        text->setZValue(5); // above the structures, which may hide the circle
        m_circleItems << text;
        if (k == 4) {
            auto* beyond = label(s, zoneLabel(5), QPointF(c.x(), c.y() + r), zoneColour(4),
                                 Qt::AlignHCenter | Qt::AlignBottom);
            beyond->setZValue(5);
            m_circleItems << beyond;
        }
    }
    for (const PressureCircle& p : m_model.pressures) {
        if (p.radius <= 0) {
            continue;
        }
        auto* item = circle(p.radius, cosmeticPen(pressureColour(), 1.5, Qt::DashLine));
        item->setZValue(1);
        item->setToolTip(
            QStringLiteral("%1: %2 м").arg(pressureLabel(p.kPa), mapNumber(p.radius, 1)));
        m_pressureCircles[p.kPa] = item;
        const QPointF at = c + QPointF(p.radius * M_SQRT1_2, p.radius * M_SQRT1_2);
        auto* text =
            label(s, pressureLabel(p.kPa), at, pressureColour(), Qt::AlignLeft | Qt::AlignBottom);
        text->setZValue(5);
        m_circleItems << text;
    }
}

void PlanMapView::drawBackground(QPainter* painter, const QRectF& rect) {
    painter->fillRect(rect, Qt::white);
    if (m_model.background && m_model.background->visible && !m_backgroundPixmap.isNull()) {
        painter->save();
        painter->setOpacity(m_model.background->opacity);
        painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter->setTransform(m_model.background->pictureToPlan, true);
        painter->drawPixmap(QPointF(0, 0), m_backgroundPixmap);
        painter->restore();
    }
    // The grid is drawn in pixels so that its lines stay thin and sharp.
    MapFrame frame;
    frame.unitsPerMetre = pixelsPerMetre();
    frame.planToTarget = viewportTransform();
    frame.planWindow = mapToScene(viewport()->rect()).boundingRect();
    painter->save();
    painter->resetTransform();
    drawMetreGrid(*painter, QRectF(viewport()->rect()), frame, fontMetrics().height(), true);
    painter->restore();
}

void PlanMapView::drawForeground(QPainter* painter, const QRectF& rect) {
    Q_UNUSED(rect);
    painter->save();
    painter->resetTransform();
    const QRectF port(viewport()->rect());
    const double text = fontMetrics().height() * 0.85;
    // The numbers of the structures large enough on screen to carry them, drawn in pixels:
    // one pass here costs far less than a thousand items that ignore the zoom.
    QFont bold = font();
    bold.setBold(true);
    painter->setFont(bold);
    painter->setPen(Qt::black);
    const QTransform toPort = viewportTransform();
    const double least = fontMetrics().height() * 1.2;
    for (const MapStructure& s : m_model.structures) {
        const QRectF box = toPort.mapRect(s.outline.boundingRect());
        if (std::max(box.width(), box.height()) < least || !box.intersects(port)) {
            continue;
        }
        painter->drawText(QRectF(toPort.map(s.labelAt) - QPointF(50, 20), QSizeF(100, 40)),
                          Qt::AlignCenter, QString::number(s.number));
    }
    painter->setFont(font());
    drawScaleBar(*painter, port, pixelsPerMetre(), text);
    if (m_legend) {
        drawLegend(*painter, port, text, m_model.hasZones);
    }
    painter->restore();
}

void PlanMapView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) {
        return;
    }
    const double now = pixelsPerMetre();
    const double wanted =
        std::clamp(now * std::pow(1.2, steps), kMinPixelsPerMetre, kMaxPixelsPerMetre);
    scale(wanted / now, wanted / now);
    m_userMoved = true;
    event->accept();
}

void PlanMapView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    // Until the user zooms or drags, the whole plan follows the size of the view.
    if (m_fitted && !m_userMoved && isVisible()) {
        fitToPlan();
    }
}

void PlanMapView::showEvent(QShowEvent* event) {
    QGraphicsView::showEvent(event);
    if (!m_fitted) {
        fitToPlan();
    }
}

void PlanMapView::mousePressEvent(QMouseEvent* event) {
    m_pressAt = event->position().toPoint();
    QGraphicsView::mousePressEvent(event);
}

void PlanMapView::mouseReleaseEvent(QMouseEvent* event) {
    QGraphicsView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if ((event->position().toPoint() - m_pressAt).manhattanLength() < 4) {
        emit planClicked(mapToScene(event->position().toPoint()));
    } else {
        m_userMoved = true; // dragged
    }
}

} // namespace kelmo::map
