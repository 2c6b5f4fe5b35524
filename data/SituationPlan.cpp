#include "data/SituationPlan.h"

#include "core/NumberText.h"
#include "data/BulkRows.h"

#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

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

// The fields of IDPM a structure is read from, in the order the query names them.
enum Column {
    Number,
    Type,
    Kind,
    Storeys,
    Staff,
    FirstCorner, // X1, Y1, … X4, Y4
    WeakThreshold = FirstCorner + 8,
    MediumThreshold,
    StrongThreshold,
    CompleteThreshold,
    ColumnCount
};
const char* const kColumnNames[ColumnCount] = {
    "NumSoor", "Combo2", "Combo3", "Text1", "Text2",  "txtX1",  "txtY1",  "txtX2", "txtY2",
    "txtX3",   "txtY3",  "txtX4",  "txtY4", "txtSla", "txtSre", "txtSul", "txtPol"};

double thresholdOf(const QVariant& value) {
    bool ok = false;
    const double number = value.isNull() ? 0 : value.toDouble(&ok);
    return ok ? number : std::nan("");
}

void readCorners(const db::BulkRows& query, StructureRecord& s) {
    s.outline.resize(4);
    for (std::size_t i = 0; i < 4; ++i) {
        const int column = FirstCorner + 2 * static_cast<int>(i);
        const std::optional<double> x = numtext::parse(query.value(column).toString());
        const std::optional<double> y = numtext::parse(query.value(column + 1).toString());
        if (!x || !y) {
            s.outlineUnreadable = true;
            continue;
        }
        s.outline[i] = {*x, *y};
    }
}

// One row of the query below. `vertices`, when the structure has vertex rows, becomes its
// outline and the corner fields are not read.
StructureRecord structureOf(const db::BulkRows& query, StructureOutline* vertices) {
    const auto text = [&query](Column c) {
        return query.value(c).toString();
    };
    StructureRecord s;
    s.number = query.value(Number).toInt();
    s.type = text(Type).toStdString();
    s.kind = text(Kind).toStdString();
    s.storeys = text(Storeys).toStdString();

    const std::optional<int> staff = staffFromText(text(Staff));
    s.staff = staff.value_or(0);
    s.staffUnreadable = !staff.has_value();

    if (vertices) {
        s.outline = std::move(*vertices);
    } else {
        readCorners(query, s);
    }

    s.thresholds.weak = thresholdOf(query.value(WeakThreshold));
    s.thresholds.medium = thresholdOf(query.value(MediumThreshold));
    s.thresholds.strong = thresholdOf(query.value(StrongThreshold));
    s.thresholds.complete = thresholdOf(query.value(CompleteThreshold));
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
    // Outlines of vertices first, by structure number: the corner fields of those structures
    // only hold the rectangle around them and are not read.
    std::vector<StructureOutline> outlines;
    {
        db::BulkRows vertices(connection,
                              {QStringLiteral("NumSoor"), QStringLiteral("X"), QStringLiteral("Y")},
                              QStringLiteral("StructureVertex where NumPM = ?"),
                              QStringLiteral("NumSoor, Seq"), {plan.number});
        while (vertices.next()) {
            const int number = vertices.value(0).toInt();
            if (number < 1) {
                continue; // not a structure's: not expected, and not drawn
            }
            if (outlines.size() <= static_cast<std::size_t>(number)) {
                outlines.resize(static_cast<std::size_t>(number) + 1);
            }
            outlines[static_cast<std::size_t>(number)].push_back(
                {vertices.value(1).toDouble(), vertices.value(2).toDouble()});
        }
    }
    QStringList columns;
    for (const char* name : kColumnNames) {
        columns << QLatin1String(name);
    }
    db::BulkRows query(connection, columns, QStringLiteral("IDPM where NumPrim = ?"),
                       QStringLiteral("NumSoor"), {plan.number});
    while (query.next()) {
        const auto number = static_cast<std::size_t>(std::max(0, query.value(Number).toInt()));
        StructureOutline* vertices =
            number < outlines.size() && !outlines[number].empty() ? &outlines[number] : nullptr;
        plan.structures.push_back(structureOf(query, vertices));
    }
    return plan;
}

} // namespace kelmo
