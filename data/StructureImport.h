#pragma once

#include "data/SitePlan.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

#include <functional>

namespace kelmo::db {

// A line of the file that cannot become a structure, by its line number (from 1).
struct RefusedLine {
    int line = 0;
    QString reason;
};

struct StructureImport {
    QList<StructureRecord> records; // in the order of their numbers in the file
    QList<RefusedLine> refused;
    int firstNumber = 0; // the plan number of the first structure once stored
};

// The columns of a structures file, in order.
inline constexpr int kImportColumns = 13; // number, type, kind, storeys, staff, x1, y1 … x4, y4

// The limits of a structures file: a line longer than this many bytes is refused unread, and
// reading stops at the line with structure kMaxStructureNumber + 1, which no plan can hold.
inline constexpr qint64 kMaxImportLineBytes = 16384;

// Told how far the reading is (bytes read, file size; size 0 when unknown); returning false
// stops the reading, with a refusal that says so.
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

// Reads a structures file line by line: UTF-8, fields separated by semicolons or commas (a
// decimal comma then needs quotes), numbers with a point or a comma, an optional first line of
// column names. Types and kinds must be those of the database; each kind's pressures are the
// middle of its ranges, as the editor sets them. Fills `refused` for every line that cannot be
// taken (a value quoted in a reason is shortened); the records of the good lines are returned
// either way. Throws DatabaseError.
StructureImport readStructuresFile(Connection& c, QIODevice& file,
                                   const ImportProgress& progress = {});
StructureImport readStructuresFile(Connection& c, const QByteArray& bytes);

// Reads the file and, when every line is good, appends its structures to the plan in one
// transaction. When a line is refused nothing is stored and the refusals are returned.
// Throws DatabaseError.
StructureImport importStructures(Connection& c, int plan, QIODevice& file,
                                 const ImportProgress& progress = {});
StructureImport importStructures(Connection& c, int plan, const QByteArray& bytes);

// The refusals as a text for a message: one line each, "строка 4: …".
QString refusalReport(const QList<RefusedLine>& refused, int limit = 30);

} // namespace kelmo::db
