#include "planimport/GdalSupport.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_spatialref.h>

#include <QByteArray>

#include <mutex>

namespace kelmo::planimport {

void registerGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

GdalErrorCapture::GdalErrorCapture() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

GdalErrorCapture::~GdalErrorCapture() {
    CPLPopErrorHandler();
}

QString GdalErrorCapture::lastError() {
    return QString::fromUtf8(CPLGetLastErrorMsg()).trimmed();
}

std::optional<int> epsgOf(const OGRSpatialReference& srs) {
    OGRSpatialReference probe(srs);
    const auto codeOf = [&probe]() -> std::optional<int> {
        const char* authority = probe.GetAuthorityName(nullptr);
        const char* code = probe.GetAuthorityCode(nullptr);
        if (authority && code && QLatin1String(authority) == QLatin1String("EPSG")) {
            bool ok = false;
            const int value = QByteArray(code).toInt(&ok);
            if (ok) {
                return value;
            }
        }
        return std::nullopt;
    };
    if (const auto code = codeOf()) {
        return code;
    }
    if (probe.AutoIdentifyEPSG() == OGRERR_NONE) {
        if (const auto code = codeOf()) {
            return code;
        }
    }
    // A system written without its code (a Shapefile's .prj): the catalogue's match when PROJ
    // is sure of it.
    int count = 0;
    int* confidence = nullptr;
    OGRSpatialReferenceH* matches = probe.FindMatches(nullptr, &count, &confidence);
    std::optional<int> found;
    for (int i = 0; i < count && !found; ++i) {
        if (confidence[i] < 90) {
            continue;
        }
        const auto* match = OGRSpatialReference::FromHandle(matches[i]);
        const char* authority = match->GetAuthorityName(nullptr);
        const char* code = match->GetAuthorityCode(nullptr);
        if (authority && code && QLatin1String(authority) == QLatin1String("EPSG")) {
            bool ok = false;
            const int value = QByteArray(code).toInt(&ok);
            if (ok) {
                found = value;
            }
        }
    }
    OSRFreeSRSArray(matches);
    CPLFree(confidence);
    return found;
}

} // namespace kelmo::planimport
