#include "data/ProbitPercentTable.h"

#include "core/NumberText.h"
#include "data/ProbitTable.h"

#include <algorithm>
#include <cmath>

namespace kelmo {

ProbitPercentTable ProbitPercentTable::load(db::Connection& connection) {
    ProbitPercentTable table;
    QSqlQuery query =
        connection.select(QStringLiteral("select Zn_Probit, Zn_Procent from TProbit"));
    while (query.next()) {
        bool okProbit = false;
        bool okPercent = false;
        const double probit = query.value(0).toDouble(&okProbit);
        const double percent = query.value(1).toDouble(&okPercent);
        if (!okProbit || !okPercent || !std::isfinite(probit) || !std::isfinite(percent)) {
            throw DatabaseError(QStringLiteral("В таблице TProbit базы данных есть пустое или "
                                               "нечисловое значение."));
        }
        if (percent < 0 || percent > 100) {
            throw DatabaseError(QStringLiteral("В таблице TProbit базы данных вероятность %1 % "
                                               "выходит за пределы от 0 до 100 %.")
                                    .arg(numtext::general(percent)));
        }
        table.m_rows.emplace_back(probit, percent);
    }
    std::sort(table.m_rows.begin(), table.m_rows.end());
    return table;
}

double ProbitPercentTable::percent(float probit) const {
    if (probit >= 8.09f) {
        return 100;
    }
    if (probit <= 2.67f) {
        return 0;
    }
    if (std::isnan(probit)) {
        throw DatabaseError(QStringLiteral("Пробит-функция не является числом."));
    }
    // The rows are found by the probit's shortest text, as the database look-up finds them.
    const double key = probitLiteral(probit).toDouble();
    const auto byProbit = [](const std::pair<double, double>& row, double value) {
        return row.first < value;
    };
    const auto upper = std::lower_bound(m_rows.begin(), m_rows.end(), key, byProbit);
    const auto afterLower = std::upper_bound(
        m_rows.begin(), m_rows.end(), key,
        [](double value, const std::pair<double, double>& row) { return value < row.first; });
    if (upper == m_rows.end() || afterLower == m_rows.begin()) {
        throw DatabaseError(QStringLiteral("Таблица TProbit базы данных не содержит значений "
                                           "для пробит-функции %1: таблица неполна.")
                                .arg(numtext::generalSingle(probit)));
    }
    const auto& [lowerProbit, lowerPercent] = *std::prev(afterLower);
    const auto& [upperProbit, upperPercent] = *upper;
    if (lowerPercent == upperPercent) {
        return lowerPercent;
    }
    if (lowerProbit == upperProbit) {
        throw DatabaseError(QStringLiteral("В таблице TProbit базы данных значению пробит-функции "
                                           "%1 соответствуют разные вероятности.")
                                .arg(numtext::generalSingle(probit)));
    }
    const double pr = static_cast<double>(probit);
    return lowerPercent +
           (upperPercent - lowerPercent) * (pr - lowerProbit) / (upperProbit - lowerProbit);
}

} // namespace kelmo
