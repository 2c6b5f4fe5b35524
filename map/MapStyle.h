#pragma once

#include <QColor>
#include <QLocale>
#include <QString>

#include <optional>

namespace kelmo::map {

// The fill of a structure of that degree of destruction (0 … 4); empty: not determined.
QColor degreeColour(std::optional<int> degree);

// "нет", "слабое" … "полное"; "не определена" for an empty degree.
QString degreeName(std::optional<int> degree);

// The outline of the circle where zone `boundary` (1 … 4) ends.
QColor zoneColour(int boundary);

// The circles of chosen overpressures.
QColor pressureColour();

// The charge mark.
QColor chargeColour();

// A number on the map: the locale's decimal separator, as everywhere else on screen and on
// paper, no grouping and no trailing zeros ("0,5" for 0.5 in a Russian locale).
QString mapNumber(double value, int decimals = 1, const QLocale& locale = QLocale());

} // namespace kelmo::map
