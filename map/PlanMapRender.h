#pragma once

#include "map/MapLabels.h"
#include "map/PlanMapModel.h"

#include <QList>
#include <QStringList>

#include <vector>

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
    bool northArrow = false;
    // A column right of the map holds the notes, the legend, the scale bar, the north arrow,
    // an overview of the whole plan when the map shows part of it, and the numbers that found
    // no room on the map; without it the legend and the scale bar take free corners.
    bool sidePanel = false;
    QStringList notes;
    bool overview = false;
    // Numbers placed beside their structures while no more structures are in view.
    int besideLimit = 5000;
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
// and the legend. Leaves the painter as it found it. Returns where the labels went.
LabelLayout renderPlanMap(QPainter& painter, const PlanMapModel& model, const QRectF& target,
                          const MapOptions& options);

// The map in an image of that size (white background).
QImage renderPlanMapImage(const PlanMapModel& model, QSize size, const MapOptions& options);

// The map as a picture for a document: width × height millimetres at the resolution given
// (the Word report takes 300 dpi), with the resolution stored in the image.
QImage mapPicture(const PlanMapModel& model, const MapOptions& options, QSizeF millimetres,
                  int dotsPerInch = 300);

enum class Paper { A4, A3, A2, A1 };

// Landscape paper, millimetres.
QSizeF paperMillimetres(Paper paper);

// The title block of a printed map and of the report's picture.
struct TitleBlock {
    QString plan;
    QString charge;
    QString criterion;
    QString date;
    QString organisation;
    QString author;
    QString program; // name and version
};

// How a printed map falls on paper: the scale and the part of the plan on each sheet.
struct SheetSet {
    double denominator = 0;          // 1 : denominator, plan metres to paper millimetres
    std::vector<QRectF> planWindows; // one per sheet, left to right, top to bottom
    int columns = 1;
    int rows = 1;
};

// The round scales offered for print; 0 in their place means "fit to the sheet".
QList<double> printScales();

// The sheets of the map on a printable area of that size (mm) at the chosen scale, or at the
// round scale that fits everything on one sheet when `denominator` is 0.
SheetSet mapSheets(const PlanMapModel& model, const MapOptions& options, QSizeF printableMm,
                   double denominator);

// Sheet `index` of a set: the heading, the map at its scale with the legend, scale bar and
// north arrow beside it, and the title block with "Лист N из M" along the bottom.
// `unitsPerMm` converts the page's units to paper. Returns where the labels went.
LabelLayout renderMapSheet(QPainter& painter, const PlanMapModel& model, const QRectF& page,
                           double unitsPerMm, const MapOptions& options, const TitleBlock& title,
                           const SheetSet& sheets, int index);

// The map for the situation report: the area of the damage zones at a stated round scale,
// the page's full width, with the criterion, scale, north arrow, legend and an overview of the
// whole plan when structures lie outside it. `layout` receives where the labels went.
inline constexpr QSizeF kReportMapMillimetres{255, 150}; // a landscape page's full width
QImage reportMapPicture(const PlanMapModel& model, Criterion criterion, QSizeF millimetres,
                        int dotsPerInch = 300, LabelLayout* layout = nullptr);
// The text of a criterion, as the map page offers it.
QString criterionText(Criterion criterion);
// "Масштаб 1:2 000", and the "2 000" alone.
QString scaleText(double denominator);
QString scaleDenominatorText(double denominator);

// Pieces the map view shares.
double niceStep(double rough);              // 1, 2 or 5 × 10ⁿ at or above `rough`
double roundScaleDenominator(double exact); // 1, 2, 2.5 or 5 × 10ⁿ at or above `exact`
void drawMetreGrid(QPainter& painter, const QRectF& target, const MapFrame& frame,
                   double textHeight, bool labels);
// The boxes of the grid's coordinate labels, and the part of the target clear of them, where
// the legend and the scale bar go.
std::vector<QRectF> metreGridLabelBoxes(const QRectF& target, const MapFrame& frame,
                                        double textHeight);
QRectF insideGridLabels(const QRectF& target, const MapFrame& frame, double textHeight);
// The scale bar (with the north arrow when asked) and the legend, drawn in a box of their size.
QSizeF scaleBarSize(double mapWidth, double unitsPerMetre, double textHeight, bool northArrow);
void drawScaleBar(QPainter& painter, const QRectF& box, double mapWidth, double unitsPerMetre,
                  double textHeight, bool northArrow);
QSizeF legendSize(double textHeight, bool zones);
void drawLegend(QPainter& painter, const QRectF& box, double textHeight, bool zones);
// The labels of a layout: numbers with their leaders, zone, pressure and charge names.
void drawLabels(QPainter& painter, const LabelLayout& layout);
// The label of zone `boundary` and of a pressure circle, as on the map.
QString zoneLabel(int zone);
QString pressureLabel(double kPa);
// The tooltip of a structure: number, type, kind, distance, ΔP, degree.
QString structureTip(const MapStructure& s);

} // namespace kelmo::map
