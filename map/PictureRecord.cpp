#include "map/PictureRecord.h"

namespace kelmo::map {

Calibration calibrationOf(const db::PlanPicture& p) {
    Calibration c;
    c.first = {QPointF(p.pixelX1, p.pixelY1), QPointF(p.planX1, p.planY1)};
    c.second = {QPointF(p.pixelX2, p.pixelY2), QPointF(p.planX2, p.planY2)};
    c.rotation = p.rotation;
    return c;
}

MapBackground backgroundOf(const db::PlanPicture& p) {
    return makeBackground(p.bytes, calibrationOf(p), p.opacity, p.shown);
}

} // namespace kelmo::map
