#pragma once

#include "map/MapLabels.h"
#include "map/PlanMapModel.h"

#include <QGraphicsView>
#include <QPixmap>

#include <map>
#include <optional>
#include <vector>

class QGraphicsEllipseItem;
class QGraphicsPolygonItem;
class QGraphicsSimpleTextItem;

namespace kelmo::map {

// What a left click on an editable map does.
enum class MapTool {
    Select,          // picks a structure, drags it or its vertices; the empty plan pans
    Charge,          // puts the storage point of the charge
    Draw,            // clicks the vertices of a new structure
    MeasureDistance, // a broken line and its length
    MeasureArea,     // a closed outline, its area and perimeter
};

// The plan map on screen: a scene in plan metres with y up. Structures are filled by their
// degree and carry their number and a tooltip; the zone circles of the chosen criterion and
// the chosen pressure circles are drawn around the charge; the background picture, a metre
// grid, a scale bar and the legend stay with the view. The wheel zooms at the cursor, the
// mouse drags the plan; the view stays where the user left it while the widget is hidden.
//
// An editable view (the plan editor's) also takes the tools of MapTool. It changes nothing
// stored: it shows the edit at once and reports it by a signal; whoever stores it answers
// with setStructure() or, when the database refused it, with the structure as it is stored.
class PlanMapView final : public QGraphicsView {
    Q_OBJECT

public:
    explicit PlanMapView(QWidget* parent = nullptr);
    ~PlanMapView() override;

    // Shows another map. The view keeps its place unless it has not been fitted yet or
    // `fit` asks for it.
    void setModel(PlanMapModel model, bool fit = false);
    const PlanMapModel& model() const { return m_model; }

    void setCriterion(Criterion criterion);
    Criterion criterion() const { return m_criterion; }

    // Shows or hides the background picture and changes its opacity (0 … 1).
    void setBackgroundLook(bool shown, double opacity);

    // Whether the legend of degrees is drawn (the plan window has no degrees to show).
    void setLegendShown(bool shown);

    // The whole plan in the view.
    void fitToPlan();

    // Plan metres per screen pixel are 1 / this.
    double pixelsPerMetre() const;

    // What is drawn, for the tests: a structure by number, the zone circles by boundary
    // 1 … 4, the pressure circles by kPa.
    QGraphicsPolygonItem* structureItem(int number) const;
    QGraphicsEllipseItem* zoneItem(int boundary) const;
    QGraphicsEllipseItem* pressureItem(double kPa) const;

    // The options an export or print of what the view shows takes.
    struct ExportView {
        Criterion criterion;
        QRectF planWindow;
    };
    ExportView exportView() const;

    // ---- Editing ----

    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    void setTool(MapTool tool);
    MapTool tool() const { return m_tool; }

    // The structure shown as current (0: none): drawn thicker, with its vertices.
    void setSelected(int number);
    int selected() const { return m_selected; }

    // Moves the charge without drawing the structures again.
    void setCharge(std::optional<QPointF> charge);

    // One structure drawn anew, or added when its number is new; the rest stays as it is.
    void setStructure(const MapStructure& structure);
    // The structure goes and every later one moves down by one number, as on deletion.
    void removeStructure(int number);
    // The structure comes in under its number and every later one moves up by one.
    void insertStructure(const MapStructure& structure);

    // On the current structure: a vertex on the edge nearest to the plan point, or the
    // vertex at the point taken away (an outline keeps at least three). Reported by
    // outlineEdited; false when there is nothing to do.
    bool insertVertexAt(QPointF planPoint);
    bool removeVertexAt(QPointF planPoint);

    // The points of the structure being drawn, and what the measuring tools show now.
    QPolygonF drawnPoints() const { return m_drawn; }
    QString measurement() const;
    // Forgets the drawing or the measurement under way.
    void cancelEditing();

signals:
    // The plan point under the mouse when the user clicks without dragging.
    void planClicked(QPointF planPoint);
    // A click of the charge tool.
    void chargePlaced(QPointF planPoint);
    // A structure was picked on the map.
    void structureClicked(int number);
    // A vertex or the whole structure was dragged, or a vertex inserted or removed.
    void outlineEdited(int number, QPolygonF before, QPolygonF after);
    // A new outline was closed (three vertices or more).
    void outlineDrawn(QPolygonF outline);
    // Delete was pressed or chosen in the menu of the current structure.
    void deleteRequested(int number);

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void rebuild();
    void rebuildCircles();
    void placeChargeMark();
    QGraphicsPolygonItem* addStructureItem(const MapStructure& structure);
    void styleStructureItem(int number);
    std::vector<MapStructure>::iterator findStructure(int number);
    const MapStructure* currentStructure() const;
    int structureUnder(QPoint viewportPoint) const;
    double metresPerPixel() const { return 1.0 / pixelsPerMetre(); }
    // The snapped plan point of the mouse while drawing or dragging a vertex.
    QPointF snapped(QPointF planPoint, Qt::KeyboardModifiers modifiers, std::optional<QPointF> from,
                    std::optional<QPointF> before) const;
    void collectSnapVertices(int leaveOut);
    void editClick(QPointF planPoint, Qt::KeyboardModifiers modifiers);
    void finishDrawing();
    void finishDrag();
    void drawEditing(QPainter& painter) const;

    PlanMapModel m_model;
    Criterion m_criterion = Criterion::Heavy;
    bool m_fitted = false;
    bool m_userMoved = false; // zoomed or dragged since the last fit
    bool m_legend = true;
    QPixmap m_backgroundPixmap;
    std::map<int, QGraphicsPolygonItem*> m_structures;
    std::map<int, QGraphicsEllipseItem*> m_zones;
    std::map<double, QGraphicsEllipseItem*> m_pressureCircles;
    QList<QGraphicsItem*> m_circleItems;
    QGraphicsEllipseItem* m_chargeMark = nullptr;
    QPoint m_pressAt;

    bool m_editable = false;
    MapTool m_tool = MapTool::Select;
    int m_selected = 0;
    // A drag of the current structure: a vertex (its index) or the whole outline (-1).
    struct Drag {
        int number = 0;
        int vertex = -1;
        QPolygonF before;
        QPolygonF now;
        QPointF grabbedAt; // plan point
        bool moved = false;
    };
    std::optional<Drag> m_drag;
    QPolygonF m_drawn;    // vertices of the structure being drawn
    QPolygonF m_measured; // points of the measurement
    bool m_measureDone = false;
    bool m_afterDoubleClick = false; // the release that ends a double-click adds nothing
    std::optional<QPointF> m_hover;  // the snapped mouse point while drawing or measuring
    std::vector<QPointF> m_snapVertices;
    // While a structure is dragged: the map without it, painted once, under each step.
    QPixmap m_dragBackdrop;
    bool m_grabbingBackdrop = false;
    void dropDragBackdrop();

    // The labels of the last repaint, drawn again while neither the plan nor the view has
    // changed since: a tooltip or a highlight then does not lay out thousands of numbers anew.
    struct LabelCache {
        quint64 revision = 0;
        QTransform toPort;
        QRectF port;
        double textHeight = 0;
        bool legend = false;
        QRectF legendBox;
        QRectF scaleBox;
        LabelLayout layout;
    };
    std::optional<LabelCache> m_labels;
    quint64 m_revision = 0; // changes with whatever the labels are laid out from
};

} // namespace kelmo::map
