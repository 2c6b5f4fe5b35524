#pragma once

#include "engine/CalcState.h"

#include <QLocale>
#include <QStringList>

namespace kelmo::reports {

// The profile grid of the results window as text: its header and the cells of row i (1-based),
// formatted as the grid shows them.
QStringList profileHeader();
QStringList profileRowTexts(const CalcState& s, int i, const QLocale& locale = QLocale());

} // namespace kelmo::reports
