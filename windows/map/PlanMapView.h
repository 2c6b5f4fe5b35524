#pragma once

#include "map/PlanMapModel.h"

#include <QGraphicsView>
#include <QPixmap>

#include <map>

class QGraphicsEllipseItem;
class QGraphicsPolygonItem;

namespace kelmo::map {

// The plan map on screen: a scene in plan metres with y up. Structures are filled by their
// degree and carry their number and a tooltip; the zone circles of the chosen criterion and
// the chosen pressure circles are drawn around the charge; the background picture, a metre
// grid, a scale bar and the legend stay with the view. The wheel zooms at the cursor, the
// mouse drags the plan; the view stays where the user left it while the widget is hidden.
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

signals:
    // The plan point under the mouse when the user clicks without dragging.
    void planClicked(QPointF planPoint);

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rebuild();
    void rebuildCircles();

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
    QPoint m_pressAt;
};

} // namespace kelmo::map
