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

// The largest picture the map takes, in pixels: a 300-dpi scan of an A0 sheet fits.
inline constexpr double kMaxPicturePixels = 2.0e8;

// How many of the bytes a PNG or JPEG file's picture takes, to its end mark (what follows it
// is not the picture's and is not kept); nothing when the file ends before the picture does.
// Bytes of another kind count whole.
std::optional<qsizetype> pictureLength(const char* data, qsizetype size);

// The bytes of a PNG or JPEG picture without what follows its end. Throws CalibrationError
// when the picture is cut off.
QByteArray pictureBytes(const QByteArray& bytes);

// The picture of a PNG or JPEG file's bytes. Throws CalibrationError for anything else, for a
// picture cut off before its end and for one above kMaxPicturePixels.
QImage decodePicture(const QByteArray& bytes);

// A picture file's bytes as a background placed by the calibration. Throws CalibrationError
// for bytes that are no PNG or JPEG picture and for points that cannot place it.
MapBackground makeBackground(const QByteArray& bytes, const Calibration& calibration,
                             double opacity = 1, bool shown = true);

} // namespace kelmo::map
