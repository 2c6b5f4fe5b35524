#pragma once

#include "map/PlanMapRender.h"

#include <QSize>
#include <QString>

namespace kelmo::map {

enum class Paper { A4, A3 };

// Each writes the whole file or nothing: the old file stays on failure. Throws FileError.

// A PNG picture of the given size in pixels.
void exportMapPng(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  QSize size);
// An SVG drawing of the given size.
void exportMapSvg(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  QSize size);
// The SVG text itself, for the command line and the tests.
QByteArray mapSvg(const PlanMapModel& model, const MapOptions& options, QSize size);
// One landscape sheet with the heading and the scale stated (renderMapSheet).
void exportMapPdf(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  Paper paper, const QString& heading);
// planGeoJson() into the file.
void exportGeoJson(const QString& path, const PlanMapModel& model);

} // namespace kelmo::map
