#pragma once

// Blocks of a report's text: ranges of paragraphs appended in one formatting.

#include "reports/Docx.h"

#include <QString>
#include <QStringList>

namespace kelmo::reports {

// Document::append starts a new paragraph at each CR LF.
inline const QString kCrLf = QStringLiteral("\r\n");

// Starts a range at the last paragraph in this size, weight and alignment, kept or not on the
// page of the paragraph after it, and appends the lines to it. Without lines it only sets the
// formatting of what comes next (a table, a picture).
void appendBlock(docx::Document& d, double sizePt, bool bold, docx::Align align, bool keepNext,
                 const QStringList& lines = {});

} // namespace kelmo::reports
