#pragma once

#include "reports/Docx.h"

#include <QString>

namespace kelmo::reports {

// The user manual from its text (docs/manual/manual.txt; its first lines describe the markup):
// a title block, a table of contents with page references, chapters and sections, lists,
// tables and pictures from pictureFolder. A picture whose file is missing is left out and
// named in missingPictures. Throws DocumentError for a picture that cannot be read.
docx::Document buildManual(const QString& text, const QString& pictureFolder,
                           QStringList* missingPictures = nullptr);

// Pictures are printed at this many dots per inch, never wider than the text.
inline constexpr int kManualPictureDpi = 200;

} // namespace kelmo::reports
