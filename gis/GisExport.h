#pragma once

#include "engine/Errors.h"
#include "map/PlanMapModel.h"

#include <QString>

#include <optional>

namespace kelmo::gis {

// An export for CAD or GIS programs could not be written, or cannot be for this plan. The
// message is Russian; the target file is then left as it was.
class GisExportError : public Error {
public:
    using Error::Error;
};

// The plan's coordinate system by EPSG code, or local metres.
using PlanCrs = std::optional<int>;

// The layers of the GIS exports and their fields, for the files' readers:
//   structures  Polygon  number, type, kind, staff, distance, deltaPkPa, impulse, degree,
//                        injured (the values of the situation; empty for a structure not
//                        evaluated, degree empty when not determined)
//   zones       Polygon  criterion (1 а, 2 б, 3 people outside), criterionName, zone (1 … 4),
//                        innerRadius, outerRadius: zone 1 a disc, the others rings
//   pressures   Polygon  kPa, radius: the disc within the overpressure's circle
//   charge      Point    massTNT
// Circles are polygons of `segments` sides.
inline constexpr int kCircleSegments = 128;

// Writes the map as a GeoPackage in the plan's coordinate system (without one, in a local
// system of metres, so that no GIS program takes them for degrees). Throws GisExportError and
// FileError; the target is replaced only when the whole file is written.
void exportGeoPackage(const QString& path, const map::PlanMapModel& model, PlanCrs crs,
                      int segments = kCircleSegments);

// Writes the map as DXF in the plan's metres: closed polylines on a layer per kind of feature
// (STRUCTURES, ZONES, PRESSURES), the charge a point on CHARGE, the structures' numbers as
// text on LABELS. Throws GisExportError and FileError.
void exportDxf(const QString& path, const map::PlanMapModel& model, int segments = kCircleSegments);

// Writes the map as GeoJSON by RFC 7946: longitude and latitude on WGS 84, converted from the
// plan's coordinate system. A plan in local metres has no place on the globe: GisExportError
// says so and points to GeoPackage or DXF, and nothing is written. Throws FileError too.
void exportGeoJson(const QString& path, const map::PlanMapModel& model, PlanCrs crs,
                   int segments = kCircleSegments);

// The message for a GeoJSON of a plan without a coordinate system.
QString geoJsonNeedsCrsMessage(const QString& planName);

// Whether GDAL/PROJ know the EPSG code as a coordinate system.
bool isKnownCrs(int epsg);

} // namespace kelmo::gis
