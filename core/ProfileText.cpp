#include "core/ProfileText.h"

#include "core/NumberText.h"

namespace kelmo::profile {

namespace {

struct Column {
    const char* header;
    int decimals; // 0: general format
    const char* excelFormat;
};

constexpr Column kColumns[kColumnCount] = {
    {"Расстояние, м", 0, "General"}, {"Давление, кгс/кв.см", 3, "0.000"},
    {"Давление, кПа", 3, "0.000"},   {"Импульс, Па·с", 3, "0.000"},
    {"Пробит", 2, "0.00"},
};

bool validColumn(int column) {
    return column >= 0 && column < kColumnCount;
}

} // namespace

int columnDecimals(int column) {
    return validColumn(column) ? kColumns[column].decimals : 0;
}

const char* columnExcelFormat(int column) {
    return validColumn(column) ? kColumns[column].excelFormat : "General";
}

QStringList header() {
    QStringList out;
    for (const Column& c : kColumns) {
        out << QString::fromUtf8(c.header);
    }
    return out;
}

double cellValue(const ProfileRow& row, int column) {
    switch (column) {
    case 0:
        return row.r;
    case 1:
        return row.deltaPkgf;
    case 2:
        return row.deltaPkPa;
    case 3:
        return row.impulse;
    case 4:
        return row.probitHeavy;
    default:
        return 0;
    }
}

QString cellText(const ProfileRow& row, int column, double step, const QLocale& locale) {
    if (!validColumn(column)) {
        return {};
    }
    const double v = cellValue(row, column);
    const int decimals = kColumns[column].decimals;
    return decimals == 0 ? numtext::distance(v, step, locale) : numtext::fixed(v, decimals, locale);
}

QStringList rowTexts(const CalcState& s, int i, const QLocale& locale) {
    const ProfileRow& row = s.profile.row(i);
    QStringList out;
    for (int c = 0; c < kColumnCount; ++c) {
        out << cellText(row, c, s.step, locale);
    }
    return out;
}

} // namespace kelmo::profile
