#pragma once

#include <QImage>
#include <QString>

namespace kelmo::plan {

// The drawings of the plan editor: the sketch of a structure with its four corners numbered
// (corner 0) and, for corners 1 … 4, the same outline with that corner marked.
QImage cornerDrawing(int corner);

// The file names of the corner pictures in the program folder ("p1.jpg" … "p4.jpg") and of
// the sketch.
QString cornerPictureFile(int corner);
inline constexpr const char* kSketchFile = "plan.jpg";

// Writes the five pictures into the folder; false when one of them could not be written.
bool writeCornerPictures(const QString& folder, QString* error);

} // namespace kelmo::plan
