#pragma once

#include "map/PlanMapModel.h"

#include <QRectF>
#include <QTransform>

class QPainter;

namespace kelmo::map {

// What a drawing of the map shows and how.
struct MapOptions {
    Criterion criterion = Criterion::Heavy;
    bool zones = true;
    bool pressures = true;
    bool grid = true;
    bool scaleBar = true;
    bool legend = true;
    bool labels = true;
    bool background = true;
    // The plan area to show, metres; empty: the whole map with a margin.
    QRectF planWindow;
    // Target units per plan metre; 0: as large as the plan area fits.
    double unitsPerMetre = 0;
    // Height of the text, target units; 0: from the target's size.
    double textHeight = 0;
};

// Where the plan lands in a target: plan metres (y up) → target units (y down).
struct MapFrame {
    QRectF planWindow;
    double unitsPerMetre = 1;
    QTransform planToTarget;
};

MapFrame mapFrame(const PlanMapModel& model, const QRectF& target, const MapOptions& options);

// Draws the map into the target rectangle of the painter: background picture, metre grid,
// zone and pressure circles, structures by degree with their numbers, the charge, a scale bar
// and the legend. Leaves the painter as it found it.
void renderPlanMap(QPainter& painter, const PlanMapModel& model, const QRectF& target,
                   const MapOptions& options);

// The map in an image of that size (white background).
QImage renderPlanMapImage(const PlanMapModel& model, QSize size, const MapOptions& options);

// The map as a picture for a document: width × height millimetres at the resolution given
// (the Word report takes 300 dpi), with the resolution stored in the image.
QImage mapPicture(const PlanMapModel& model, const MapOptions& options, QSizeF millimetres,
                  int dotsPerInch = 300);

// A sheet for print or PDF: a heading, the map at a round scale that fits, and the scale
// written below it ("Масштаб 1:2 000"). `unitsPerMm` converts the page's units to paper.
// Returns the scale's denominator.
double renderMapSheet(QPainter& painter, const PlanMapModel& model, const QRectF& page,
                      double unitsPerMm, const MapOptions& options, const QString& heading);

// Pieces the map view shares.
double niceStep(double rough);              // 1, 2 or 5 × 10ⁿ at or above `rough`
double roundScaleDenominator(double exact); // 1, 2, 2.5 or 5 × 10ⁿ at or above `exact`
void drawMetreGrid(QPainter& painter, const QRectF& target, const MapFrame& frame,
                   double textHeight, bool labels);
void drawScaleBar(QPainter& painter, const QRectF& target, double unitsPerMetre, double textHeight);
void drawLegend(QPainter& painter, const QRectF& target, double textHeight, bool zones);
// The label of zone `boundary` and of a pressure circle, as on the map.
QString zoneLabel(int zone);
QString pressureLabel(double kPa);
// The tooltip of a structure: number, type, kind, distance, ΔP, degree.
QString structureTip(const MapStructure& s);

} // namespace kelmo::map
