#pragma once

#include <QStringList>

namespace kelmo::cli {

// kelmo-calc report --docx FILE: the full results report with its charts.
int runReportCommand(const QStringList& arguments);
// kelmo-calc expert --docx FILE --at D: the expert report of a point calculation.
int runExpertCommand(const QStringList& arguments);
// kelmo-calc table --xlsx FILE: the profile table as an Excel workbook.
int runTableCommand(const QStringList& arguments);

} // namespace kelmo::cli
