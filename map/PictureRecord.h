#pragma once

#include "data/PlanPicture.h"
#include "map/Calibration.h"

namespace kelmo::map {

// The calibration a stored picture carries.
Calibration calibrationOf(const db::PlanPicture& picture);

// The stored picture as the map's background. Throws CalibrationError when it cannot be read.
MapBackground backgroundOf(const db::PlanPicture& picture);

} // namespace kelmo::map
