#pragma once

#include "map/PlanMapModel.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <optional>
#include <vector>

namespace kelmo::map {

enum class LabelKind { Charge, Number, Zone, Pressure };

// One piece of text on the map, in target units.
struct PlacedLabel {
    LabelKind kind = LabelKind::Number;
    QString text;
    QRectF box;
    QColor colour;
    QFont font;
    int structure = 0;            // the structure a number names
    std::optional<QLineF> leader; // from the structure to a number placed beside it
};

// What the layout needs to know of the drawing.
struct LabelRequest {
    Criterion criterion = Criterion::Heavy;
    bool zones = true;
    bool pressures = true;
    double textHeight = 10;
    // Numbers that do not fit inside their structure are placed beside it only while the
    // structures in view are no more than this: far out, a thousand leaders help nobody.
    int besideLimit = 5000;
    // Boxes already taken (legend, scale bar, north arrow): nothing is placed over them.
    std::vector<QRectF> reserved;
};

// Every label of a map drawing, placed once so that no two boxes overlap: the charge's mark
// and name (each scenario's on a map of scenarios), the structures' numbers (inside when they fit,
// else beside with a leader), the zone and pressure labels on their circles. Structures whose
// number found no room are listed in `unplaced`.
struct LabelLayout {
    // The drawing the labels were placed over.
    QRectF target;
    QTransform planToTarget;
    double unitsPerMetre = 1;
    QRectF chargeMark;
    std::vector<QRectF> scenarioMarks; // on a map of scenarios, in their order
    std::vector<PlacedLabel> labels;
    std::vector<int> unplaced;
    int droppedCircleLabels = 0; // circle labels and scenario names that found no room
    // Where the legend and the scale bar went on the map; empty when in a side column or off.
    QRectF legendBox;
    QRectF scaleBox;
};

LabelLayout layoutLabels(const PlanMapModel& model, const QTransform& planToTarget,
                         double unitsPerMetre, const QRectF& target, const LabelRequest& request);

// The fonts the layout measures with and the drawing writes with.
QFont labelFont(double height, bool bold = false);
QFont numberFont(double textHeight);

// Of four corner boxes of that size inside the target, the one over the fewest structures
// and away from the charge; `taken` corners are skipped.
QRectF freeCorner(const PlanMapModel& model, const QTransform& planToTarget, const QRectF& target,
                  QSizeF size, double inset, const std::vector<QRectF>& taken);

} // namespace kelmo::map
