#pragma once

#include "engine/Errors.h"

#include <QString>

#include <optional>

class QTableWidget;
class QWidget;

namespace kelmo::editors {

// Title of every message of the two editors.
inline const QString kMessageTitle = QStringLiteral("Внимание!");

// A grid column width given in 1/1440 inch, in pixels at 96 dpi.
constexpr int columnPixels(int width1440) {
    return (width1440 + 7) / 15;
}

// Shows a database failure: what could not be done, then the driver's words.
void showDatabaseError(QWidget* parent, const QString& action, const Error& error);

// Puts the text field in front of the user with its text selected, so that typing replaces it.
void focusField(QWidget* field);

} // namespace kelmo::editors
