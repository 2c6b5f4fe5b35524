#include "windows/map/PlanMapView.h"

#include "map/EditGeometry.h"
#include "map/MapStyle.h"
#include "map/PlanMapRender.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionGraphicsItem>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kelmo::map {

namespace {

constexpr double kMinPixelsPerMetre = 1e-4;
constexpr double kMaxPixelsPerMetre = 1e3;
constexpr double kGrabPixels = 7;  // how near a vertex the mouse takes it, px
constexpr double kSnapPixels = 10; // how near another vertex a point snaps to it, px
constexpr int kClickPixels = 4;    // a press and release closer than this are a click
constexpr int kNumberKey = 0;      // a structure item's number in its data

QColor selectedColour() {
    return QColor(0, 90, 220);
}

// A structure on the map. Far out, where a plan of thousands of buildings shows each as a few
// pixels, it is drawn as a small block of its colour, and without smoothing where it is still
// small: the picture is the same to the eye and a repaint costs a fraction.
class StructureItem final : public QGraphicsPolygonItem {
public:
    using QGraphicsPolygonItem::QGraphicsPolygonItem;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
               QWidget* widget) override {
        const QRectF box = polygon().boundingRect();
        const double scale =
            QStyleOptionGraphicsItem::levelOfDetailFromTransform(painter->worldTransform());
        const double pixels = std::max(box.width(), box.height()) * scale;
        if (pixels < 3) {
            painter->fillRect(box, pen().color());
            return;
        }
        if (pixels < 12 && painter->testRenderHint(QPainter::Antialiasing)) {
            painter->setRenderHint(QPainter::Antialiasing, false);
            QGraphicsPolygonItem::paint(painter, option, widget);
            painter->setRenderHint(QPainter::Antialiasing, true);
            return;
        }
        QGraphicsPolygonItem::paint(painter, option, widget);
    }
};

QPen cosmeticPen(const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour, width, style);
    pen.setCosmetic(true);
    return pen;
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
    ++m_revision;
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
    ++m_revision;
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

    m_chargeMark = nullptr;
    for (const MapStructure& structure : m_model.structures) {
        m_structures[structure.number] = addStructureItem(structure);
    }
    if (m_structures.find(m_selected) == m_structures.end()) {
        m_selected = 0;
    }
    styleStructureItem(m_selected);
    placeChargeMark();
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

QGraphicsPolygonItem* PlanMapView::addStructureItem(const MapStructure& structure) {
    auto* item = new StructureItem(structure.outline);
    item->setPen(cosmeticPen(QColor(40, 40, 40), 1));
    item->setBrush(degreeColour(structure.degree));
    scene()->addItem(item);
    item->setZValue(3);
    item->setToolTip(structureTip(structure));
    item->setData(kNumberKey, structure.number);
    return item;
}

// The current structure stands out by a thick blue outline above its neighbours.
void PlanMapView::styleStructureItem(int number) {
    QGraphicsPolygonItem* item = structureItem(number);
    if (item == nullptr) {
        return;
    }
    const bool current = number == m_selected;
    item->setPen(current ? cosmeticPen(selectedColour(), 3) : cosmeticPen(QColor(40, 40, 40), 1));
    item->setZValue(current ? 4 : 3);
}

void PlanMapView::placeChargeMark() {
    QGraphicsScene* s = scene();
    if (!m_model.charge) {
        delete m_chargeMark;
        m_chargeMark = nullptr;
        return;
    }
    if (m_chargeMark == nullptr) {
        const double r = 5; // pixels
        m_chargeMark =
            s->addEllipse(-r, -r, 2 * r, 2 * r, cosmeticPen(Qt::white, 1.5), chargeColour());
        m_chargeMark->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        m_chargeMark->setZValue(6);
    }
    m_chargeMark->setPos(*m_model.charge);
    m_chargeMark->setToolTip(
        QStringLiteral("Место хранения ВВ: X = %1 м, Y = %2 м")
            .arg(mapNumber(m_model.charge->x(), 2), mapNumber(m_model.charge->y(), 2)));
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
    if (!m_model.hasZones) {
        return;
    }
    // The circles of one charge point; the situation's own charge keeps its items by boundary
    // and by pressure.
    const auto addCircles = [&](QPointF c, const auto& zoneRadius,
                                const std::vector<PressureCircle>& pressures, const QString& name,
                                bool own) {
        const QString prefix = name.isEmpty() ? QString() : QStringLiteral("«%1»: ").arg(name);
        const auto circle = [&](double r, const QPen& pen) {
            auto* item = s->addEllipse(c.x() - r, c.y() - r, 2 * r, 2 * r, pen, Qt::NoBrush);
            item->setZValue(1);
            m_circleItems << item;
            return item;
        };
        for (int k = 1; k <= kZoneBoundaries; ++k) {
            const double r = zoneRadius(k);
            if (r <= 0) {
                continue;
            }
            auto* item = circle(r, cosmeticPen(zoneColour(k), 2.5));
            item->setToolTip(prefix +
                             QStringLiteral("Граница %1-й зоны: %2 м").arg(k).arg(mapNumber(r, 1)));
            if (own) {
                m_zones[k] = item;
            }
        }
        for (const PressureCircle& p : pressures) {
            if (p.radius <= 0) {
                continue;
            }
            auto* item = circle(p.radius, cosmeticPen(pressureColour(), 1.5, Qt::DashLine));
            item->setToolTip(
                prefix +
                QStringLiteral("%1: %2 м").arg(pressureLabel(p.kPa), mapNumber(p.radius, 1)));
            if (own) {
                m_pressureCircles[p.kPa] = item;
            }
        }
    };
    if (m_model.charge) {
        addCircles(
            *m_model.charge, [&](int k) { return m_model.zoneRadius(m_criterion, k); },
            m_model.pressures, QString(), true);
    }
    for (const ScenarioCircles& scenario : m_model.scenarios) {
        addCircles(
            scenario.point, [&](int k) { return scenario.zoneRadius(m_criterion, k); },
            scenario.pressures, scenario.name, false);
        const double r = 5; // pixels
        auto* mark =
            s->addEllipse(-r, -r, 2 * r, 2 * r, cosmeticPen(Qt::white, 1.5), chargeColour());
        mark->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        mark->setZValue(6);
        mark->setPos(scenario.point);
        mark->setToolTip(QStringLiteral("Сценарий «%1»: место хранения ВВ X = %2 м, Y = %3 м")
                             .arg(scenario.name, mapNumber(scenario.point.x(), 2),
                                  mapNumber(scenario.point.y(), 2)));
        m_circleItems << mark;
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
    // The labels are placed in pixels by the same layout as every other drawing of the map:
    // one pass here costs far less than a thousand items that ignore the zoom.
    const QTransform toPort = viewportTransform();
    const double ppm = pixelsPerMetre();
    if (!m_labels || m_labels->revision != m_revision || m_labels->toPort != toPort ||
        m_labels->port != port || m_labels->textHeight != text || m_labels->legend != m_legend) {
        LabelRequest request;
        request.criterion = m_criterion;
        request.textHeight = text;
        request.besideLimit = 400;
        const QSizeF legend = legendSize(text, m_model.hasZones);
        const QSizeF scale = scaleBarSize(port.width(), ppm, text, false);
        // Clear of the grid's coordinate labels, which the background drew along two edges.
        MapFrame frame;
        frame.unitsPerMetre = ppm;
        frame.planToTarget = toPort;
        frame.planWindow = mapToScene(viewport()->rect()).boundingRect();
        const QRectF corners = insideGridLabels(port, frame, fontMetrics().height());
        LabelCache fresh{m_revision, toPort, port, text, m_legend, {}, {}, {}};
        if (m_legend) {
            fresh.legendBox = freeCorner(m_model, toPort, corners, legend, text * 0.5, {});
            request.reserved.push_back(fresh.legendBox);
        }
        fresh.scaleBox = freeCorner(m_model, toPort, corners, scale, text * 0.5, request.reserved);
        request.reserved.push_back(fresh.scaleBox);
        fresh.layout = layoutLabels(m_model, toPort, ppm, port, request);
        m_labels = std::move(fresh);
    }
    // The number of a structure being dragged goes with it, not at its old place.
    const int dragged = m_drag && m_drag->moved ? m_drag->number : 0;
    if (dragged != 0) {
        LabelLayout layout = m_labels->layout;
        std::erase_if(layout.labels, [dragged](const PlacedLabel& l) {
            return l.kind == LabelKind::Number && l.structure == dragged;
        });
        drawLabels(*painter, layout);
    } else {
        drawLabels(*painter, m_labels->layout);
    }
    painter->setFont(font());
    drawEditing(*painter);
    drawScaleBar(*painter, m_labels->scaleBox, port.width(), ppm, text, false);
    if (m_legend) {
        drawLegend(*painter, m_labels->legendBox, text, m_model.hasZones);
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
    dropDragBackdrop();
    scale(wanted / now, wanted / now);
    m_userMoved = true;
    event->accept();
}

void PlanMapView::resizeEvent(QResizeEvent* event) {
    dropDragBackdrop();
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

// ---- Editing ----

void PlanMapView::setEditable(bool editable) {
    m_editable = editable;
    if (!editable) {
        setTool(MapTool::Select);
    }
}

void PlanMapView::setTool(MapTool tool) {
    cancelEditing();
    m_tool = tool;
    // Panning stays with the empty plan under the select tool; the other tools click.
    setDragMode(tool == MapTool::Select ? QGraphicsView::ScrollHandDrag : QGraphicsView::NoDrag);
    viewport()->setCursor(tool == MapTool::Select ? Qt::OpenHandCursor : Qt::CrossCursor);
    viewport()->update();
}

void PlanMapView::cancelEditing() {
    dropDragBackdrop();
    if (m_drag) {
        if (QGraphicsPolygonItem* item = structureItem(m_drag->number)) {
            item->setPolygon(m_drag->before);
        }
        m_drag.reset();
    }
    m_drawn.clear();
    m_measured.clear();
    m_measureDone = false;
    m_hover.reset();
    viewport()->update();
}

void PlanMapView::setSelected(int number) {
    if (number == m_selected) {
        return;
    }
    const int old = m_selected;
    m_selected = structureItem(number) != nullptr ? number : 0;
    styleStructureItem(old);
    styleStructureItem(m_selected);
    viewport()->update();
}

void PlanMapView::setCharge(std::optional<QPointF> charge) {
    if (charge == m_model.charge) {
        return;
    }
    m_model.charge = charge;
    ++m_revision;
    placeChargeMark();
    if (m_model.hasZones) {
        rebuildCircles();
    }
    viewport()->update();
}

std::vector<MapStructure>::iterator PlanMapView::findStructure(int number) {
    return std::find_if(m_model.structures.begin(), m_model.structures.end(),
                        [number](const MapStructure& s) { return s.number == number; });
}

const MapStructure* PlanMapView::currentStructure() const {
    if (m_selected == 0) {
        return nullptr;
    }
    for (const MapStructure& s : m_model.structures) {
        if (s.number == m_selected) {
            return &s;
        }
    }
    return nullptr;
}

void PlanMapView::setStructure(const MapStructure& structure) {
    ++m_revision;
    const auto it = findStructure(structure.number);
    if (it != m_model.structures.end()) {
        *it = structure;
    } else {
        const auto at = std::find_if(
            m_model.structures.begin(), m_model.structures.end(),
            [&structure](const MapStructure& s) { return s.number > structure.number; });
        m_model.structures.insert(at, structure);
    }
    QGraphicsPolygonItem*& item = m_structures[structure.number];
    if (item == nullptr) {
        item = addStructureItem(structure);
    } else {
        item->setPolygon(structure.outline);
        item->setBrush(degreeColour(structure.degree));
        item->setToolTip(structureTip(structure));
    }
    styleStructureItem(structure.number);
    // Room to pan around a structure placed far out.
    const QRectF box = structure.outline.boundingRect();
    if (!scene()->sceneRect().contains(box)) {
        const double side = std::max({box.width(), box.height(), 100.0});
        scene()->setSceneRect(scene()->sceneRect().united(box.adjusted(-side, -side, side, side)));
    }
    viewport()->update();
}

void PlanMapView::removeStructure(int number) {
    const auto it = findStructure(number);
    if (it == m_model.structures.end()) {
        return;
    }
    m_model.structures.erase(it);
    ++m_revision;
    delete m_structures[number];
    m_structures.erase(number);
    // The later structures move down by one, items and all.
    std::map<int, QGraphicsPolygonItem*> renumbered;
    for (const auto& [n, item] : m_structures) {
        const int now = n > number ? n - 1 : n;
        item->setData(kNumberKey, now);
        renumbered[now] = item;
    }
    m_structures = std::move(renumbered);
    for (MapStructure& s : m_model.structures) {
        if (s.number > number) {
            s.number -= 1;
            m_structures[s.number]->setToolTip(structureTip(s));
        }
    }
    if (m_selected == number) {
        m_selected = 0;
    } else if (m_selected > number) {
        m_selected -= 1;
    }
    viewport()->update();
}

void PlanMapView::insertStructure(const MapStructure& structure) {
    std::map<int, QGraphicsPolygonItem*> renumbered;
    for (const auto& [n, item] : m_structures) {
        const int now = n >= structure.number ? n + 1 : n;
        item->setData(kNumberKey, now);
        renumbered[now] = item;
    }
    m_structures = std::move(renumbered);
    for (MapStructure& s : m_model.structures) {
        if (s.number >= structure.number) {
            s.number += 1;
            m_structures[s.number]->setToolTip(structureTip(s));
        }
    }
    if (m_selected >= structure.number) {
        m_selected += 1;
    }
    setStructure(structure);
}

bool PlanMapView::insertVertexAt(QPointF planPoint) {
    const MapStructure* current = currentStructure();
    if (current == nullptr) {
        return false;
    }
    const EdgeHit hit = nearestEdge(current->outline, planPoint);
    if (hit.edge < 0) {
        return false;
    }
    QPolygonF after = current->outline;
    after.insert(hit.edge + 1, hit.at);
    emit outlineEdited(current->number, current->outline, after);
    return true;
}

bool PlanMapView::removeVertexAt(QPointF planPoint) {
    const MapStructure* current = currentStructure();
    if (current == nullptr || current->outline.size() <= 3) {
        return false;
    }
    const int vertex = vertexAt(current->outline, planPoint, kGrabPixels * metresPerPixel());
    if (vertex < 0) {
        return false;
    }
    QPolygonF after = current->outline;
    after.remove(vertex);
    emit outlineEdited(current->number, current->outline, after);
    return true;
}

QString PlanMapView::measurement() const {
    QPolygonF points = m_measured;
    if (!m_measureDone && m_hover && !points.isEmpty()) {
        points << *m_hover;
    }
    if (m_tool == MapTool::MeasureDistance && points.size() >= 2) {
        return QStringLiteral("Расстояние: %1 м").arg(mapNumber(pathLength(points), 2));
    }
    if (m_tool == MapTool::MeasureArea && points.size() >= 3) {
        return QStringLiteral("Площадь: %1 м², периметр: %2 м")
            .arg(mapNumber(polygonArea(points), 2), mapNumber(perimeter(points), 2));
    }
    return {};
}

int PlanMapView::structureUnder(QPoint viewportPoint) const {
    // The current structure first, as it is drawn above the others.
    const QPointF at = mapToScene(viewportPoint);
    if (const MapStructure* current = currentStructure();
        current != nullptr && current->outline.containsPoint(at, Qt::OddEvenFill)) {
        return current->number;
    }
    for (QGraphicsItem* item : items(viewportPoint)) {
        if (item->type() == QGraphicsPolygonItem::Type && item->data(kNumberKey).isValid()) {
            return item->data(kNumberKey).toInt();
        }
    }
    return 0;
}

void PlanMapView::collectSnapVertices(int leaveOut) {
    m_snapVertices.clear();
    for (const MapStructure& s : m_model.structures) {
        if (s.number != leaveOut) {
            m_snapVertices.insert(m_snapVertices.end(), s.outline.begin(), s.outline.end());
        }
    }
}

QPointF PlanMapView::snapped(QPointF planPoint, Qt::KeyboardModifiers modifiers,
                             std::optional<QPointF> from, std::optional<QPointF> before) const {
    if (modifiers & Qt::ShiftModifier) {
        return planPoint; // Shift: exactly where the mouse is
    }
    const double tolerance = kSnapPixels * metresPerPixel();
    if (const auto vertex = nearestVertex(planPoint, m_snapVertices, tolerance)) {
        return *vertex;
    }
    if (m_tool == MapTool::Draw && m_drawn.size() >= 3) {
        if (const auto first = nearestVertex(planPoint, {m_drawn.first()}, tolerance)) {
            return *first;
        }
    }
    if (from) {
        return snapToRightAngle(planPoint, *from, before);
    }
    return planPoint;
}

void PlanMapView::editClick(QPointF planPoint, Qt::KeyboardModifiers modifiers) {
    switch (m_tool) {
    case MapTool::Select:
        break;
    case MapTool::Charge:
        emit chargePlaced(planPoint);
        break;
    case MapTool::Draw: {
        if (m_drawn.isEmpty()) {
            collectSnapVertices(0);
        }
        const std::optional<QPointF> from =
            m_drawn.isEmpty() ? std::nullopt : std::optional<QPointF>(m_drawn.last());
        const std::optional<QPointF> before =
            m_drawn.size() >= 2 ? std::optional<QPointF>(m_drawn[m_drawn.size() - 2])
                                : std::nullopt;
        const QPointF p = snapped(planPoint, modifiers, from, before);
        if (from && std::hypot(p.x() - from->x(), p.y() - from->y()) <= metresPerPixel()) {
            break; // the same point again: the second click of a double-click
        }
        // A click on the first vertex closes the outline.
        if (m_drawn.size() >= 3 &&
            std::hypot(p.x() - m_drawn.first().x(), p.y() - m_drawn.first().y()) <=
                kSnapPixels * metresPerPixel()) {
            finishDrawing();
            return;
        }
        m_drawn << p;
        break;
    }
    case MapTool::MeasureDistance:
    case MapTool::MeasureArea: {
        if (m_measureDone) {
            m_measured.clear();
            m_measureDone = false;
        }
        if (m_measured.isEmpty()) {
            collectSnapVertices(0);
        }
        const QPointF p = snapped(planPoint, modifiers, std::nullopt, std::nullopt);
        if (!m_measured.isEmpty() &&
            std::hypot(p.x() - m_measured.last().x(), p.y() - m_measured.last().y()) <=
                metresPerPixel()) {
            break;
        }
        m_measured << p;
        break;
    }
    }
    viewport()->update();
}

void PlanMapView::finishDrawing() {
    const QPolygonF outline = closedOutline(m_drawn, 0.5 * metresPerPixel());
    m_drawn.clear();
    m_hover.reset();
    viewport()->update();
    if (outline.size() >= 3) {
        emit outlineDrawn(outline);
    }
}

void PlanMapView::dropDragBackdrop() {
    if (m_dragBackdrop.isNull()) {
        return;
    }
    m_dragBackdrop = QPixmap();
    if (m_drag) {
        if (QGraphicsPolygonItem* item = structureItem(m_drag->number)) {
            item->setVisible(true);
        }
    }
    viewport()->update();
}

void PlanMapView::finishDrag() {
    dropDragBackdrop();
    const Drag drag = *m_drag;
    m_drag.reset();
    if (!drag.moved || drag.now == drag.before) {
        return;
    }
    // The outline stays where it was dropped until the answer comes.
    emit outlineEdited(drag.number, drag.before, drag.now);
}

void PlanMapView::mousePressEvent(QMouseEvent* event) {
    m_pressAt = event->position().toPoint();
    m_afterDoubleClick = false;
    if (!m_editable || event->button() != Qt::LeftButton) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    const QPointF at = mapToScene(m_pressAt);
    if (m_tool == MapTool::Select) {
        // A vertex of the current structure, then a structure, else the plan pans.
        if (const MapStructure* current = currentStructure()) {
            const int vertex = vertexAt(current->outline, at, kGrabPixels * metresPerPixel());
            if (vertex >= 0) {
                m_drag = Drag{current->number, vertex, current->outline, current->outline, at};
                collectSnapVertices(current->number);
                event->accept();
                return;
            }
        }
        if (const int number = structureUnder(m_pressAt); number != 0) {
            if (number != m_selected) {
                setSelected(number);
                emit structureClicked(number);
            }
            const MapStructure* current = currentStructure();
            if (current != nullptr) {
                m_drag = Drag{number, -1, current->outline, current->outline, at};
            }
            event->accept();
            return;
        }
        QGraphicsView::mousePressEvent(event);
        return;
    }
    event->accept(); // the other tools act on release, so that a double-click adds nothing
}

void PlanMapView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_editable) {
        QGraphicsView::mouseMoveEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const QPointF at = mapToScene(pos);
    if (m_drag) {
        if (!m_drag->moved && (pos - m_pressAt).manhattanLength() < kClickPixels) {
            return;
        }
        m_drag->moved = true;
        QGraphicsPolygonItem* item = structureItem(m_drag->number);
        if (m_dragBackdrop.isNull() && item != nullptr) {
            item->setVisible(false);
            m_grabbingBackdrop = true;
            m_dragBackdrop = viewport()->grab();
            m_grabbingBackdrop = false;
        }
        QPolygonF outline = m_drag->before;
        if (m_drag->vertex >= 0) {
            const qsizetype n = outline.size();
            const qsizetype i = m_drag->vertex;
            outline[i] =
                snapped(at, event->modifiers(), outline[(i + n - 1) % n], outline[(i + n - 2) % n]);
        } else {
            outline.translate(at - m_drag->grabbedAt);
        }
        m_drag->now = outline;
        if (item != nullptr) {
            item->setPolygon(outline);
        }
        viewport()->update();
        return;
    }
    if (m_tool == MapTool::Draw && !m_drawn.isEmpty()) {
        const std::optional<QPointF> before =
            m_drawn.size() >= 2 ? std::optional<QPointF>(m_drawn[m_drawn.size() - 2])
                                : std::nullopt;
        m_hover = snapped(at, event->modifiers(), m_drawn.last(), before);
        viewport()->update();
    } else if ((m_tool == MapTool::MeasureDistance || m_tool == MapTool::MeasureArea) &&
               !m_measured.isEmpty() && !m_measureDone) {
        m_hover = snapped(at, event->modifiers(), std::nullopt, std::nullopt);
        viewport()->update();
    }
    QGraphicsView::mouseMoveEvent(event);
}

void PlanMapView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_afterDoubleClick) {
        m_afterDoubleClick = false;
        event->accept();
        return;
    }
    if (m_editable && event->button() == Qt::LeftButton && m_drag) {
        finishDrag();
        event->accept();
        return;
    }
    QGraphicsView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    if ((pos - m_pressAt).manhattanLength() < kClickPixels) {
        const QPointF at = mapToScene(pos);
        if (m_editable) {
            editClick(at, event->modifiers());
        }
        emit planClicked(at);
    } else {
        m_userMoved = true; // dragged
    }
}

void PlanMapView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!m_editable || event->button() != Qt::LeftButton) {
        QGraphicsView::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    m_afterDoubleClick = true;
    // The point under the double-click ends the line, unless its first click put it already.
    const bool measuring = m_tool == MapTool::MeasureDistance || m_tool == MapTool::MeasureArea;
    if (m_tool == MapTool::Draw || (measuring && !m_measureDone)) {
        editClick(mapToScene(event->position().toPoint()), event->modifiers());
    }
    if (m_tool == MapTool::Draw) {
        if (!m_drawn.isEmpty()) {
            finishDrawing();
        }
    } else if (measuring) {
        // The first click of the pair put the last point; the measurement stays on screen.
        m_measureDone = true;
        m_hover.reset();
        viewport()->update();
    }
}

void PlanMapView::keyPressEvent(QKeyEvent* event) {
    if (m_editable) {
        if (event->key() == Qt::Key_Escape) {
            cancelEditing();
            return;
        }
        if (event->key() == Qt::Key_Backspace && m_tool == MapTool::Draw && !m_drawn.isEmpty()) {
            m_drawn.removeLast();
            viewport()->update();
            return;
        }
        if (event->key() == Qt::Key_Return && m_tool == MapTool::Draw) {
            finishDrawing();
            return;
        }
        if (event->key() == Qt::Key_Delete && m_tool == MapTool::Select && m_selected != 0) {
            emit deleteRequested(m_selected);
            return;
        }
    }
    QGraphicsView::keyPressEvent(event);
}

void PlanMapView::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_editable || m_tool != MapTool::Select) {
        QGraphicsView::contextMenuEvent(event);
        return;
    }
    const int number = structureUnder(event->pos());
    if (number == 0) {
        return;
    }
    if (number != m_selected) {
        setSelected(number);
        emit structureClicked(number);
    }
    const QPointF at = mapToScene(event->pos());
    const MapStructure* current = currentStructure();
    QMenu menu(this);
    QAction* addVertex = menu.addAction(QStringLiteral("Добавить вершину"));
    QAction* removeVertex = menu.addAction(QStringLiteral("Удалить вершину"));
    removeVertex->setEnabled(current != nullptr && current->outline.size() > 3 &&
                             vertexAt(current->outline, at, kGrabPixels * metresPerPixel()) >= 0);
    menu.addSeparator();
    QAction* remove = menu.addAction(QStringLiteral("Удалить сооружение №%1…").arg(number));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == addVertex) {
        insertVertexAt(at);
    } else if (chosen == removeVertex) {
        removeVertexAt(at);
    } else if (chosen == remove) {
        emit deleteRequested(number);
    }
}

void PlanMapView::scrollContentsBy(int dx, int dy) {
    dropDragBackdrop();
    QGraphicsView::scrollContentsBy(dx, dy);
}

// A drag step paints the map as it was when the drag began and the dragged outline on top:
// as fast with thirty thousand structures as with three.
void PlanMapView::paintEvent(QPaintEvent* event) {
    if (m_dragBackdrop.isNull() || !m_drag) {
        QGraphicsView::paintEvent(event);
        return;
    }
    QPainter painter(viewport());
    painter.drawPixmap(QPointF(0, 0), m_dragBackdrop);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const MapStructure* dragged = currentStructure();
    painter.setBrush(dragged != nullptr ? degreeColour(dragged->degree) : QColor(Qt::lightGray));
    painter.setPen(QPen(selectedColour(), 3));
    painter.drawPolygon(viewportTransform().map(m_drag->now));
    drawEditing(painter);
}

// The handles of the current structure, the outline being drawn and the measurement, in
// pixels on top of the plan.
void PlanMapView::drawEditing(QPainter& painter) const {
    const QTransform toPort = viewportTransform();
    const MapStructure* current = currentStructure();
    if (m_editable && current != nullptr && !m_grabbingBackdrop) {
        const QPolygonF outline =
            m_drag && m_drag->number == current->number ? m_drag->now : current->outline;
        painter.setPen(QPen(selectedColour(), 1.5));
        painter.setBrush(Qt::white);
        for (const QPointF& p : outline) {
            painter.drawRect(QRectF(toPort.map(p) - QPointF(4, 4), QSizeF(8, 8)));
        }
    }
    const auto trace = [&](QPolygonF points, bool closed, const QColor& colour) {
        if (m_hover) {
            points << *m_hover;
        }
        if (points.isEmpty()) {
            return;
        }
        const QPolygonF onPort = toPort.map(points);
        painter.setPen(QPen(colour, 2, Qt::DashLine));
        painter.setBrush(closed ? QBrush(QColor(colour.red(), colour.green(), colour.blue(), 40))
                                : QBrush(Qt::NoBrush));
        if (closed && onPort.size() >= 3) {
            painter.drawPolygon(onPort);
        } else {
            painter.drawPolyline(onPort);
        }
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(Qt::white);
        for (const QPointF& p : toPort.map(m_tool == MapTool::Draw ? m_drawn : m_measured)) {
            painter.drawEllipse(p, 3.5, 3.5);
        }
    };
    if (m_tool == MapTool::Draw) {
        trace(m_drawn, true, QColor(200, 60, 0));
    } else if (m_tool == MapTool::MeasureDistance || m_tool == MapTool::MeasureArea) {
        trace(m_measured, m_tool == MapTool::MeasureArea, QColor(120, 0, 160));
    }
    QString note;
    if (m_tool == MapTool::Draw) {
        note = m_drawn.isEmpty()
                   ? QStringLiteral("Щелкните по первой вершине нового сооружения")
                   : QStringLiteral("Вершин: %1. Замкнуть контур — двойной щелчок или щелчок по "
                                    "первой вершине; Shift — без привязки; Esc — отмена")
                         .arg(m_drawn.size());
    } else {
        note = measurement();
    }
    if (!note.isEmpty()) {
        // Wrapped to the width of the map, in a box at its top left.
        const QFontMetrics metrics(painter.font());
        const int width = std::max(120, viewport()->width() - 28);
        const QRect text = metrics.boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, note);
        const QRect at(QPoint(8, 8), text.size() + QSize(12, 8));
        painter.setPen(QColor(60, 60, 60));
        painter.setBrush(QColor(255, 255, 255, 230));
        painter.drawRect(at);
        painter.drawText(at.adjusted(6, 4, -6, -4), Qt::TextWordWrap, note);
    }
}

} // namespace kelmo::map
