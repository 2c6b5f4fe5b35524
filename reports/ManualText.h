#pragma once

#include "reports/Docx.h"

#include <QString>

namespace kelmo::reports {

// The user manual from its text (docs/manual/manual.txt; its first lines describe the markup):
// a title block, a table of contents with page references, chapters and sections, lists,
// tables and pictures from pictureFolder. A picture whose file is missing is left out and
// named in missingPictures. Throws DocumentError for a picture that cannot be read.
// contentsPages holds the page number of every chapter and section, in order, as a laid-out
// edition of the manual shows them (see contentsPageNumbers); without it the contents' page
// references stay empty and the manual asks Word to fill them in on opening.
docx::Document buildManual(const QString& text, const QString& pictureFolder,
                           QStringList* missingPictures = nullptr,
                           const QStringList& contentsPages = {});

// The page numbers of the manual's chapters and sections as its laid-out edition prints them
// in the contents: laidOut is the text of its first pages as a PDF reader extracts it, keeping
// the layout (lines "4.1. Раздел ........ 5"; an entry may wrap onto the next line). One
// number per heading of the manual text, in order; empty when any heading is not found.
QStringList contentsPageNumbers(const QString& manualText, const QString& laidOut);

// Pictures are printed at this many dots per inch, never wider than the text.
inline constexpr int kManualPictureDpi = 200;
// A picture wider at that resolution than this many text widths of the upright page goes on a
// landscape page, narrowed to its text width and to the page's height less the caption.
inline constexpr double kManualLandscapeFrom = 1.25;

} // namespace kelmo::reports
