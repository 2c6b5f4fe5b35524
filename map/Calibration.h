#pragma once

#include "engine/Errors.h"

#include "map/PlanMapModel.h"

#include <QByteArray>
#include <QPointF>
#include <QTransform>

namespace kelmo::map {

// The two points that place a picture on the plan: each a pixel of the picture (x right,
// y down) and the plan coordinates the user typed for it (metres, y up).
struct CalibrationPoint {
    QPointF pixel;
    QPointF plan;
};

struct Calibration {
    CalibrationPoint first;
    CalibrationPoint second;
    bool rotation = false; // the picture may be turned; otherwise north stays up
};

// Two points that cannot place a picture: the same pixel twice, the same plan point twice,
// a coordinate that is not a finite number.
class CalibrationError final : public Error {
public:
    using Error::Error;
};

// The transform of picture pixels to plan metres. Without rotation the picture is only scaled
// (the plan distance of the two points over their distance in pixels) and moved so that both
// points land as near their plan coordinates as they can; with rotation both land exactly.
// Throws CalibrationError.
QTransform pictureToPlan(const Calibration& calibration);

// The picture of a PNG or JPEG file's bytes. Throws CalibrationError for anything else.
QImage decodePicture(const QByteArray& bytes);

// A picture file's bytes as a background placed by the calibration. Throws CalibrationError
// for bytes that are no PNG or JPEG picture and for points that cannot place it.
MapBackground makeBackground(const QByteArray& bytes, const Calibration& calibration,
                             double opacity = 1, bool shown = true);

} // namespace kelmo::map
