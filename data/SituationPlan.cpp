#include "data/SituationPlan.h"

#include "core/NumberText.h"

#include <cmath>
#include <limits>

namespace kelmo {

PlanNotFoundError::PlanNotFoundError(const QString& planName)
    : Error(QStringLiteral("План местности «%1» не найден в базе данных.")
                .arg(planName)
                .toStdString()) {}

std::optional<int> staffFromText(const QString& text) {
    const std::optional<double> value = numtext::parse(text);
    if (!value || *value < 0 || *value != std::floor(*value) ||
        *value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

namespace {

double thresholdOf(const QSqlQuery& query, const QString& field) {
    const QVariant value = db::Connection::field(query, field);
    bool ok = false;
    const double number = value.isNull() ? 0 : value.toDouble(&ok);
    return ok ? number : std::nan("");
}

StructureRecord structureOf(const QSqlQuery& query) {
    const auto text = [&query](const char* field) {
        return db::Connection::field(query, QString::fromLatin1(field)).toString();
    };
    StructureRecord s;
    s.number = db::Connection::field(query, QStringLiteral("NumSoor")).toInt();
    s.type = text("Combo2").toStdString();
    s.kind = text("Combo3").toStdString();
    s.storeys = text("Text1").toStdString();

    const std::optional<int> staff = staffFromText(text("Text2"));
    s.staff = staff.value_or(0);
    s.staffUnreadable = !staff.has_value();

    static const char* const corners[4][2] = {
        {"txtX1", "txtY1"}, {"txtX2", "txtY2"}, {"txtX3", "txtY3"}, {"txtX4", "txtY4"}};
    s.outline.resize(4);
    for (std::size_t i = 0; i < 4; ++i) {
        const std::optional<double> x = numtext::parse(text(corners[i][0]));
        const std::optional<double> y = numtext::parse(text(corners[i][1]));
        if (!x || !y) {
            s.outlineUnreadable = true;
            continue;
        }
        s.outline[i] = {*x, *y};
    }

    s.thresholds.weak = thresholdOf(query, QStringLiteral("txtSla"));
    s.thresholds.medium = thresholdOf(query, QStringLiteral("txtSre"));
    s.thresholds.strong = thresholdOf(query, QStringLiteral("txtSul"));
    s.thresholds.complete = thresholdOf(query, QStringLiteral("txtPol"));
    return s;
}

} // namespace

SituationPlan loadSituationPlan(db::Connection& connection, const QString& planName) {
    SituationPlan plan;
    plan.name = planName;
    {
        QSqlQuery query =
            connection.exec(QStringLiteral("select NumPM from MnuPM where MnuPM = ?"), {planName});
        if (!query.next()) {
            throw PlanNotFoundError(planName);
        }
        plan.number = query.value(0).toInt();
    }
    {
        QSqlQuery query = connection.exec(
            QStringLiteral("select * from IDPM where NumPrim = ? order by NumSoor"), {plan.number});
        while (query.next()) {
            plan.structures.push_back(structureOf(query));
        }
    }
    // A structure with vertex rows has its outline there; its corner fields only hold the
    // rectangle around it. Both lists are in number order, so one pass joins them.
    QSqlQuery vertices = connection.exec(QStringLiteral("select NumSoor, X, Y from StructureVertex "
                                                        "where NumPM = ? order by NumSoor, Seq"),
                                         {plan.number});
    auto structure = plan.structures.begin();
    int current = 0;
    while (vertices.next()) {
        const int number = vertices.value(0).toInt();
        while (structure != plan.structures.end() && structure->number < number) {
            ++structure;
        }
        if (structure == plan.structures.end()) {
            break;
        }
        if (structure->number != number) {
            continue; // rows of no structure: not expected, and not drawn
        }
        if (current != number) {
            current = number;
            structure->outline.clear();
            structure->outlineUnreadable = false;
        }
        structure->outline.push_back({vertices.value(1).toDouble(), vertices.value(2).toDouble()});
    }
    return plan;
}

} // namespace kelmo
