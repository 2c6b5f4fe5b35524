#pragma once

#include "engine/CalcState.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace kelmo::profile {

// The profile grid as the results window, the Word report and the Excel table show it: five
// columns, their headers and their number formats, in one place.
inline constexpr int kColumnCount = 5;

// Decimals of a fixed-format column; 0 for the distance, which is written in general format.
int columnDecimals(int column);

// The excel number format of a column ("0.000"); the distance has the general format.
const char* columnExcelFormat(int column);

QStringList header();

// The value shown in a column (0-based) of a row.
double cellValue(const ProfileRow& row, int column);

// The text of a cell, formatted as the grid shows it; the distance to the decimals of the
// run's step.
QString cellText(const ProfileRow& row, int column, double step, const QLocale& locale = QLocale());

// The five texts of row i (1-based) of the run.
QStringList rowTexts(const CalcState& s, int i, const QLocale& locale = QLocale());

} // namespace kelmo::profile
