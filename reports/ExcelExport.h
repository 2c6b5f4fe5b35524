#pragma once

#include "engine/CalcState.h"

#include <QLocale>
#include <QString>

namespace kelmo::reports {

inline constexpr const char* kWorkbookSheetName = "Исходные данные";
inline constexpr const char* kWorkbookTitle = "Числовые результаты расчета на заданном удалении";
inline constexpr const char* kWorkbookFilter = "Книга Microsoft Excel (*.xlsx)";

// The first three columns of the profile grid as a one-sheet workbook, every row of the run.
// Cells hold the numbers the grid shows (rounded as shown) with the grid's number format.
// Writes through a temporary file and one rename, so a failure leaves the old file as it was.
// Throws DocumentError or FileError.
void writeProfileWorkbook(const CalcState& s, const QString& path,
                          const QLocale& locale = QLocale());

} // namespace kelmo::reports
