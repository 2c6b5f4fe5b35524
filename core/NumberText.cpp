#include "core/NumberText.h"

#include "core/ConversionError.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace kelmo::numtext {

namespace {

QLocale withoutGrouping(QLocale locale) {
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

template <typename T> QString shortest(T v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

// A plain number in ASCII read without the locale: an optional minus, digits, one point or comma
// between digits, and an optional exponent. Every such text means the same number in every
// locale parse() tries, so reading it directly gives what the locale look-ups give, at a
// fraction of their cost. Anything else (a plus sign, blanks inside, a locale's own digits or
// signs, a number out of range) is left to the full reading.
std::optional<double> plainNumber(const QString& text) {
    constexpr qsizetype kLongest = 64;
    const qsizetype n = text.size();
    if (n == 0 || n > kLongest) {
        return std::nullopt;
    }
    char ascii[kLongest];
    qsizetype i = 0;
    const auto digitsFrom = [&](qsizetype at) {
        qsizetype end = at;
        while (end < n && text[end] >= u'0' && text[end] <= u'9') {
            ascii[end] = static_cast<char>(text[end].unicode());
            ++end;
        }
        return end;
    };
    if (text[0] == u'-') {
        ascii[i++] = '-';
    }
    qsizetype end = digitsFrom(i);
    if (end == i) {
        return std::nullopt;
    }
    i = end;
    if (i < n && (text[i] == u'.' || text[i] == u',')) {
        ascii[i] = '.';
        end = digitsFrom(i + 1);
        if (end == i + 1) {
            return std::nullopt;
        }
        i = end;
    }
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ascii[i++] = 'e';
        if (i < n && (text[i] == u'-' || text[i] == u'+')) {
            ascii[i] = static_cast<char>(text[i].unicode());
            ++i;
        }
        end = digitsFrom(i);
        if (end == i) {
            return std::nullopt;
        }
        i = end;
    }
    if (i != n) {
        return std::nullopt;
    }
    double v = 0;
    const auto result = std::from_chars(ascii, ascii + n, v);
    if (result.ec != std::errc() || result.ptr != ascii + n || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

} // namespace

QString general(double v, const QLocale& locale) {
    return withoutGrouping(locale).toString(v, 'g', 15);
}

QString generalSingle(float v, const QLocale& locale) {
    // Rounded to 7 digits first, so that the widening to double adds no digits.
    return withoutGrouping(locale).toString(static_cast<double>(v), 'g', 7);
}

int stepDecimals(double step) {
    constexpr int kMostDecimals = 6;
    double scaled = std::abs(step);
    for (int d = 0; d < kMostDecimals; ++d) {
        if (!std::isfinite(scaled) || std::abs(scaled - std::nearbyint(scaled)) <= 1e-6 * scaled) {
            return d;
        }
        scaled *= 10;
    }
    return kMostDecimals;
}

QString distance(double r, double step, const QLocale& locale) {
    if (!std::isfinite(r)) {
        return general(r, locale);
    }
    const QLocale plain = withoutGrouping(locale);
    QString text = plain.toString(r, 'f', stepDecimals(step));
    const QString point = plain.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(u'0')) {
            text.chop(1);
        }
        if (text.endsWith(point)) {
            text.chop(point.size());
        }
    }
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

double shownValue(double v, int decimals) {
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    double shown = v;
    if (written.ec == std::errc()) {
        std::from_chars(text, written.ptr, shown);
    }
    return shown;
}

QString fixed(double v, int decimals, const QLocale& locale) {
    QString text = withoutGrouping(locale).toString(v, 'f', decimals);
    // A value that rounds to zero is shown without its sign, as "0.000" shows it.
    bool allZero = true;
    for (const QChar c : text) {
        if (c.isDigit() && c != QLatin1Char('0')) {
            allZero = false;
            break;
        }
    }
    if (allZero && text.startsWith(locale.negativeSign())) {
        text.remove(0, locale.negativeSign().size());
    }
    return text;
}

QString roundTrip(double v) {
    return shortest(v);
}

QString roundTripSingle(float v) {
    return shortest(v);
}

std::optional<double> parse(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    if (const auto plain = plainNumber(trimmed)) {
        return plain;
    }
    bool ok = false;
    double v = withoutGrouping(locale).toDouble(trimmed, &ok);
    if (!ok) {
        v = withoutGrouping(QLocale::c()).toDouble(trimmed, &ok);
    }
    if (!ok && trimmed.count(QLatin1Char(',')) == 1 && !trimmed.contains(QLatin1Char('.'))) {
        // A comma typed where the locale's separator is a point.
        QString withPoint = trimmed;
        withPoint.replace(QLatin1Char(','), QLatin1Char('.'));
        v = withoutGrouping(QLocale::c()).toDouble(withPoint, &ok);
    }
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

double parseField(const QString& text, const QString& fieldName, const QLocale& locale) {
    const auto v = parse(text, locale);
    if (!v) {
        throw ConversionError(fieldName, text);
    }
    return *v;
}

QString typedNumber(const QString& text, const QLocale& locale) {
    if (!parse(text, locale)) {
        return text;
    }
    // A number parse() takes has no group separators: a point or a comma in it can only be the
    // decimal separator.
    QString echoed = text.trimmed();
    const QString separator = locale.decimalPoint();
    for (qsizetype i = echoed.size() - 1; i >= 0; --i) {
        if (echoed[i] == u'.' || echoed[i] == u',') {
            echoed.replace(i, 1, separator);
        }
    }
    return echoed;
}

} // namespace kelmo::numtext
