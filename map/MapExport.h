#pragma once

#include "map/PlanMapRender.h"

#include <QSize>
#include <QString>

namespace kelmo::map {

// Each writes the whole file or nothing: the old file stays on failure. Throws FileError.

// A PNG picture of the given size in pixels.
void exportMapPng(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  QSize size);
// An SVG drawing of the given size.
void exportMapSvg(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  QSize size);
// The SVG text itself, for the command line and the tests.
QByteArray mapSvg(const PlanMapModel& model, const MapOptions& options, QSize size);
// Landscape sheets at the chosen scale (0: the round scale that fits one sheet), each with
// its title block (renderMapSheet). Returns the scale's denominator.
double exportMapPdf(const QString& path, const PlanMapModel& model, const MapOptions& options,
                    Paper paper, const TitleBlock& title, double denominator = 0);
// planGeoJson() into the file.
void exportGeoJson(const QString& path, const PlanMapModel& model);

} // namespace kelmo::map
