#pragma once

#include "map/Calibration.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelmo::planimport {

// A picture that carries its own placement: a GeoTIFF, or a PNG or JPEG beside its world
// file (.pgw, .jgw, .wld).
struct GeoPicture {
    QByteArray bytes;             // the PNG or JPEG the plan keeps (a GeoTIFF becomes a PNG)
    map::Calibration calibration; // two points derived from the picture's placement
    std::optional<int> epsg;      // the coordinate system the picture names, if any
};

// The picture at the path with its placement; nullopt for a picture without one (a scan,
// placed with two points). Throws PlanSourceError for a file that is no picture GDAL reads,
// and for a placement the plan cannot take: longitude and latitude, units other than metres,
// a skewed picture.
std::optional<GeoPicture> readGeoPicture(const QString& path);

} // namespace kelmo::planimport
