#include "map/MapStyle.h"

#include <QLocale>

#include <algorithm>
#include <array>

namespace kelmo::map {

QColor degreeColour(std::optional<int> degree) {
    // Green to dark red as the damage grows; grey where nothing is known.
    static const std::array<QColor, 5> colours{QColor(0x8b, 0xc3, 0x4a), QColor(0xff, 0xeb, 0x3b),
                                               QColor(0xff, 0x98, 0x00), QColor(0xe5, 0x39, 0x35),
                                               QColor(0x7b, 0x1f, 0xa2)};
    if (degree && *degree >= 0 && *degree < 5) {
        return colours[static_cast<std::size_t>(*degree)];
    }
    return QColor(0xbd, 0xbd, 0xbd);
}

QString degreeName(std::optional<int> degree) {
    static const std::array<const char16_t*, 5> names{u"нет", u"слабое", u"среднее", u"сильное",
                                                      u"полное"};
    if (degree && *degree >= 0 && *degree < 5) {
        return QString::fromUtf16(names[static_cast<std::size_t>(*degree)]);
    }
    return QStringLiteral("не определена");
}

QColor zoneColour(int boundary) {
    static const std::array<QColor, 4> colours{QColor(0xb7, 0x1c, 0x1c), QColor(0xe6, 0x51, 0x00),
                                               QColor(0xf9, 0xa8, 0x25), QColor(0x2e, 0x7d, 0x32)};
    return colours[static_cast<std::size_t>(std::clamp(boundary, 1, 4) - 1)];
}

QColor pressureColour() {
    return QColor(0x15, 0x65, 0xc0);
}

QColor chargeColour() {
    return QColor(0xd5, 0x00, 0x00);
}

QString mapNumber(double value, int decimals, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = plain.toString(value, 'f', decimals);
    const QString separator = plain.decimalPoint();
    if (text.contains(separator)) {
        while (text.endsWith(plain.zeroDigit())) {
            text.chop(plain.zeroDigit().size());
        }
        if (text.endsWith(separator)) {
            text.chop(separator.size());
        }
    }
    return text;
}

} // namespace kelmo::map
