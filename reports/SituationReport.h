#pragma once

#include "engine/Situation.h"
#include "reports/Docx.h"
#include "reports/FullReport.h"
#include "reports/ReportData.h"

#include <QImage>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kelmo::reports {

inline constexpr const char* kSituationTitle = "Инженерная обстановка на плане местности";
inline constexpr const char* kSituationSheetName = "Обстановка";

// Columns of the situation table, in the order the window, the report and the workbook show.
enum SituationColumn {
    kSitNumber,
    kSitType,
    kSitKind,
    kSitStoreys,
    kSitStaff,
    kSitDistance,
    kSitDeltaP,
    kSitImpulse,
    kSitDegree,
    kSitPercentHeavy,
    kSitPercentTotal,
    kSitPercentPeople,
    kSitInjured,
    kSitWarning,
    kSitColumnCount
};

// Column headings.
QStringList situationHeader();

// The name of a degree of destruction; "не определена" for none.
QString degreeName(std::optional<DestructionDegree> degree);

// What a row must say besides its numbers: an unreadable outline or staff, the 1 m floor.
// Empty when there is nothing to say.
QString situationWarning(const SituationRow& row);

// A cell as shown; numbers in fixed formats with the locale's separator, "" where the row
// has no value (an outline that could not be read).
QString situationCell(const SituationRow& row, int column, const QLocale& locale = QLocale());

// The number a numeric column holds, rounded as shown; nullopt for a text column or a row
// without a value. The degree column gives the degree's number.
std::optional<double> situationValue(const SituationRow& row, int column);

// Decimals shown by a numeric column (0 for whole numbers).
int situationDecimals(int column);

// The totals in words, one line each: the structures per degree, staff and injured.
QStringList situationTotalsLines(const SituationTotals& totals, const QLocale& locale = QLocale());

// What a situation report prints.
struct SituationReportInput {
    QString planName;
    ChargeDescription charge;
    QString xText; // the storage point as typed, m
    QString yText;
    const SituationResult* result = nullptr;
    // A picture of the plan with the charge, drawn at 300 dpi; none when null.
    QImage map;
    // The worst case of several scenarios: the scenario of each row, which opens the row's
    // note, and a line per scenario printed before the table. Both empty for one charge.
    std::vector<QString> rowScenarios;
    QStringList scenarioLines;
    // Organisation, author, date, program and step under the heading.
    ReportByline byline;
};

// The note of a row of the documents: its scenario, when the input names one, then its warning.
QString situationNote(const SituationReportInput& in, std::size_t row,
                      const QLocale& locale = QLocale());

// The Word report: the charge, the plan, the table of every structure, the totals and the
// method. Throws DocumentError.
docx::Document buildSituationReport(const SituationReportInput& in,
                                    const QLocale& locale = QLocale(),
                                    const Progress& progress = {});

// The table of every structure as a one-sheet workbook, numbers in numeric cells as shown;
// the numbers inside texts (the charge as typed, the totals) with the locale's separator.
// Writes through a temporary file and one rename. Throws DocumentError or FileError.
void writeSituationWorkbook(const SituationReportInput& in, const QString& path,
                            const QLocale& locale = QLocale());

} // namespace kelmo::reports
