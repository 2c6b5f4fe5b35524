#pragma once

#include <QString>

class QAbstractItemView;

namespace kelmo::ui {

// The selected cells of a view as text for other programs: one line per row, cells separated
// by tabs, each cell as the view shows it (so numbers keep the user's decimal separator).
// Cells inside the selected block but not selected stay empty.
QString selectionText(const QAbstractItemView* view);

// The copy key (Ctrl+C) and a context-menu item "Копировать" on the view copy the whole
// selected block instead of the current cell only.
void installTableCopy(QAbstractItemView* view);

} // namespace kelmo::ui
