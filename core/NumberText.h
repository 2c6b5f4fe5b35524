#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace kelmo::numtext {

// General text of a double: the locale's decimal separator, no grouping, no trailing zeros,
// at most 15 significant digits.
QString general(double v, const QLocale& locale = QLocale());

// General text of a single-precision value: at most 7 significant digits.
QString generalSingle(float v, const QLocale& locale = QLocale());

// Fixed formats "0.0", "0.00", "0.000", "0.0000": decimals = 1..4.
QString fixed(double v, int decimals, const QLocale& locale = QLocale());

// The number a fixed format with these decimals shows: what a reader gets back from the shown
// text, rounded as the text formatting rounds.
double shownValue(double v, int decimals);

// The decimals a distance of a walk in steps of `step` metres from 1 m needs: those of the
// step itself, at most 6.
int stepDecimals(double step);

// A distance of such a walk as shown: rounded to the step's decimals, without trailing zeros,
// so that repeated addition leaves no noise such as "49.469999999999".
QString distance(double r, double step, const QLocale& locale = QLocale());

// Shortest text that reads back to the same double (or float), with a point; for files
// read by programs.
QString roundTrip(double v);
QString roundTripSingle(float v);

// A number typed by a user: the locale's own form, or with a point or a comma as the decimal
// separator, whatever the locale. Blanks around it are ignored; group separators, "inf" and "nan"
// are not numbers.
std::optional<double> parse(const QString& text, const QLocale& locale = QLocale());

// As parse(), but throws ConversionError naming the field.
double parseField(const QString& text, const QString& fieldName, const QLocale& locale = QLocale());

// A number as the user typed it, echoed with the locale's decimal separator: the digits stay as
// typed ("1000,50" reads "1000.50" in a point locale), the blanks around it go. A text that is
// not a number is given back as it is.
QString typedNumber(const QString& text, const QLocale& locale = QLocale());

} // namespace kelmo::numtext
