#pragma once

#include <QString>

#include <optional>

class OGRSpatialReference;

namespace kelmo::planimport {

// Registers GDAL's drivers once per program.
void registerGdal();

// While it lives, GDAL's errors and warnings are kept for our own messages instead of being
// printed on standard error.
class GdalErrorCapture final {
public:
    GdalErrorCapture();
    ~GdalErrorCapture();
    GdalErrorCapture(const GdalErrorCapture&) = delete;
    GdalErrorCapture& operator=(const GdalErrorCapture&) = delete;

    // The text of the last error GDAL reported in this scope, empty when none.
    static QString lastError();
};

// The EPSG code of a coordinate system: the one it carries, or the catalogue's match when
// PROJ is sure of it (a system spelt out without its code, as in a Shapefile's .prj).
std::optional<int> epsgOf(const OGRSpatialReference& srs);

} // namespace kelmo::planimport
