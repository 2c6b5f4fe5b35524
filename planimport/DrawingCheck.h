#pragma once

// A cheap look at a DXF drawing before GDAL reads it. GDAL's drawing reader never returns on
// some damaged drawings (a line that ends in a lone carriage return at the end of the file is
// one), so a drawing goes to it only when it is a well-formed sequence of group-code and value
// lines: a whole number code on every other line, no line end but LF or CR LF, no line longer
// than kMaxDrawingLineBytes, every section closed, and the closing "0 / EOF" record.

#include <QString>

#include <optional>

class QIODevice;

namespace kelmo::planimport {

// The longest line a drawing may have, in bytes without its line end. CAD programs write texts
// of at most 2049 characters a line.
inline constexpr qint64 kMaxDrawingLineBytes = 65536;

// The largest group code of a drawing.
inline constexpr int kMaxGroupCode = 1071;

struct DrawingDefect {
    qint64 line = 0; // from 1; 0 when the whole file is at fault (empty, binary)
    QString reason;  // Russian, for a message
};

// Reads the drawing to its "EOF" record and returns its first defect, none when it is well
// formed. Stops at the first defect.
std::optional<DrawingDefect> drawingDefect(QIODevice& in);

// Refuses a damaged drawing with a message that names the file and the line: throws
// PlanSourceError.
void checkDrawing(const QString& path);

} // namespace kelmo::planimport
