#include "data/ProbitTable.h"

#include "core/NumberText.h"

#include <QLocale>

#include <cmath>

namespace kelmo {

namespace {

struct TableRow {
    double probit;
    double percent;
};

TableRow firstRow(db::Connection& connection, const QString& sql, float probit) {
    QSqlQuery query = connection.select(sql);
    if (!query.next()) {
        throw DatabaseError(QStringLiteral("Таблица TProbit базы данных не содержит значений "
                                           "для пробит-функции %1: таблица неполна.")
                                .arg(numtext::generalSingle(probit)));
    }
    bool okProbit = false;
    bool okPercent = false;
    const TableRow row{
        db::Connection::field(query, QStringLiteral("Zn_Probit")).toDouble(&okProbit),
        db::Connection::field(query, QStringLiteral("Zn_Procent")).toDouble(&okPercent)};
    query.finish();
    if (!okProbit || !okPercent) {
        throw DatabaseError(QStringLiteral("В таблице TProbit базы данных есть пустое или "
                                           "нечисловое значение."));
    }
    return row;
}

} // namespace

QString probitLiteral(float probit) {
    // The C locale writes the point whatever the user's locale is.
    return numtext::generalSingle(probit, QLocale::c());
}

double ProbitToPercent(float probit, db::Connection& connection) {
    if (probit >= 8.09f) {
        return 100;
    }
    if (probit <= 2.67f) {
        return 0;
    }
    if (std::isnan(probit)) {
        throw DatabaseError(QStringLiteral("Пробит-функция не является числом."));
    }
    const QString text = probitLiteral(probit);
    const TableRow lower =
        firstRow(connection,
                 QStringLiteral("select * from TProbit where Zn_Probit<=%1 order by Zn_Probit desc")
                     .arg(text),
                 probit);
    const TableRow upper =
        firstRow(connection,
                 QStringLiteral("select * from TProbit where Zn_Probit>=%1 order by Zn_Probit asc")
                     .arg(text),
                 probit);
    if (lower.percent == upper.percent) {
        return lower.percent;
    }
    if (lower.probit == upper.probit) {
        // Two rows with one probit and different percentages: no sound answer.
        throw DatabaseError(QStringLiteral("В таблице TProbit базы данных значению пробит-функции "
                                           "%1 соответствуют разные вероятности.")
                                .arg(numtext::generalSingle(probit)));
    }
    const double pr = static_cast<double>(probit);
    return lower.percent +
           (upper.percent - lower.percent) * (pr - lower.probit) / (upper.probit - lower.probit);
}

std::array<double, 3> probitsToPercent(const std::array<float, 3>& probits,
                                       db::Connection& connection) {
    std::array<double, 3> percents{};
    for (std::size_t i = 0; i < probits.size(); ++i) {
        percents[i] = ProbitToPercent(probits[i], connection);
    }
    return percents;
}

} // namespace kelmo
