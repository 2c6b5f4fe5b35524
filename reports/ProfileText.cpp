#include "reports/ProfileText.h"

#include "core/NumberText.h"

namespace kelmo::reports {

QStringList profileHeader() {
    return {QStringLiteral("Расстояние"), QStringLiteral("Давление, кгс/кв.см"),
            QStringLiteral("Давление, кПа"), QStringLiteral("Импульс, Па с"),
            QStringLiteral("Пробит")};
}

QStringList profileRowTexts(const CalcState& s, int i, const QLocale& locale) {
    const ProfileRow& row = s.gProfile.row(i);
    return {numtext::general(row.r, locale), numtext::fixed(row.deltaPkgf, 3, locale),
            numtext::fixed(row.deltaPkPa, 3, locale), numtext::fixed(row.impulse, 3, locale),
            numtext::fixed(row.probitHeavy, 2, locale)};
}

} // namespace kelmo::reports
