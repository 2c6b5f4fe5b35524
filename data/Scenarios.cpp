#include "data/Scenarios.h"

#include "data/SitePlan.h"

#include "core/NameOrder.h"

#include <QSqlQuery>

#include <algorithm>
#include <cmath>

namespace kelmo::db {

namespace {

const QString kColumns = QStringLiteral(
    "NumPM, Name, Explosive, Mass, HeatPerMole, Heat, MolarMass, Air, X, Y, BodyMass, Revision");

ScenarioRecord recordFrom(const QSqlQuery& q) {
    const auto value = [&q](const char* name) {
        return Connection::field(q, QLatin1String(name));
    };
    ScenarioRecord r;
    r.plan = value("NumPM").toInt();
    r.name = value("Name").toString();
    r.explosive = value("Explosive").toString();
    r.charge.chargeMassKg = value("Mass").toDouble();
    r.charge.heatUnit = value("HeatPerMole").toInt() != 0 ? HeatUnit::PerMole : HeatUnit::PerKg;
    r.charge.heat = value("Heat").toDouble();
    r.charge.molarDivisor = value("MolarMass").toDouble();
    r.charge.placement = value("Air").toInt() != 0 ? Placement::Air : Placement::Ground;
    r.point = {value("X").toDouble(), value("Y").toDouble()};
    r.charge.bodyMassKg = value("BodyMass").toDouble();
    r.revision = value("Revision").toInt();
    return r;
}

QVariantList chargeValues(const ScenarioRecord& r) {
    return {r.explosive,
            r.charge.chargeMassKg,
            r.charge.heatUnit == HeatUnit::PerMole ? 1 : 0,
            r.charge.heat,
            r.charge.molarDivisor,
            r.charge.placement == Placement::Air ? 1 : 0,
            r.point.x,
            r.point.y,
            r.charge.bodyMassKg};
}

void check(const ScenarioRecord& record) {
    if (const QString problem = scenarioProblem(record); !problem.isEmpty()) {
        throw ScenarioError(problem);
    }
}

void lockPlanOf(Connection& c, int plan, const QString& what) {
    if (!lockPlan(c, plan)) {
        throw ScenarioConflictError(
            QStringLiteral("Плана местности №%1 больше нет в базе данных (его удалил другой "
                           "пользователь): %2")
                .arg(plan)
                .arg(what));
    }
}

void requireFreeName(Connection& c, int plan, const QString& name) {
    if (readScenario(c, plan, name)) {
        throw ScenarioError(
            QStringLiteral("Сценарий «%1» на этом плане уже есть. Задайте другое имя.").arg(name));
    }
}

// The stored scenario must still be the one the user saw.
void checkShown(Connection& c, const ScenarioRecord& shown, const QString& what) {
    const auto stored = readScenario(c, shown.plan, shown.name);
    if (!stored || stored->revision != shown.revision) {
        throw ScenarioConflictError(
            QStringLiteral("Сценарий «%1» изменил, переименовал или удалил другой пользователь: "
                           "%2 Показаны данные, которые сейчас в базе.")
                .arg(shown.name, what));
    }
}

} // namespace

QList<ScenarioRecord> listScenarios(Connection& c, int plan) {
    QSqlQuery q =
        c.exec(QStringLiteral("select %1 from Scenario where NumPM = ?").arg(kColumns), {plan});
    QList<ScenarioRecord> out;
    while (q.next()) {
        out.append(recordFrom(q));
    }
    // Sorted here, not by the database, in the order a Russian reader expects.
    const NameOrder order;
    std::sort(out.begin(), out.end(), [&order](const ScenarioRecord& a, const ScenarioRecord& b) {
        return order(a.name, b.name);
    });
    return out;
}

std::optional<ScenarioRecord> readScenario(Connection& c, int plan, const QString& name) {
    QSqlQuery q =
        c.exec(QStringLiteral("select %1 from Scenario where NumPM = ? and Name = ?").arg(kColumns),
               {plan, name});
    if (q.next()) {
        return recordFrom(q);
    }
    return std::nullopt;
}

QString scenarioProblem(const ScenarioRecord& r) {
    if (r.name.trimmed().isEmpty()) {
        return QStringLiteral("Имя сценария не задано.");
    }
    if (r.name.size() > kMaxScenarioNameLength) {
        return QStringLiteral("Имя сценария длиннее %1 знаков (в нём %2). Сократите его.")
            .arg(kMaxScenarioNameLength)
            .arg(r.name.size());
    }
    if (const QString problem = nameLengthProblem(QStringLiteral("Наименование ВВ"), r.explosive);
        !problem.isEmpty()) {
        return problem;
    }
    const ChargeInput& in = r.charge;
    for (const double v :
         {in.chargeMassKg, in.heat, in.molarDivisor, in.bodyMassKg, r.point.x, r.point.y}) {
        if (!std::isfinite(v)) {
            return QStringLiteral("Сценарий «%1»: число заряда или места хранения не является "
                                  "конечным числом.")
                .arg(r.name);
        }
    }
    if (in.chargeMassKg <= 0) {
        return QStringLiteral("Сценарий «%1»: масса заряда должна быть больше 0.").arg(r.name);
    }
    if (in.heat <= 0) {
        return QStringLiteral("Сценарий «%1»: теплота взрыва должна быть больше 0.").arg(r.name);
    }
    if (in.heatUnit == HeatUnit::PerMole && in.molarDivisor <= 0) {
        return QStringLiteral("Сценарий «%1»: молярная масса должна быть больше 0.").arg(r.name);
    }
    if (in.bodyMassKg <= 0) {
        return QStringLiteral("Сценарий «%1»: масса тела человека должна быть больше 0.")
            .arg(r.name);
    }
    return {};
}

void addScenario(Connection& c, const ScenarioRecord& record) {
    check(record);
    Transaction t(c);
    lockPlanOf(c, record.plan, QStringLiteral("сценарий не сохранён."));
    requireFreeName(c, record.plan, record.name);
    QVariantList values{record.plan, record.name};
    values << chargeValues(record);
    c.exec(QStringLiteral("insert into Scenario (%1, LastUsed) values "
                          "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 0)")
               .arg(kColumns),
           values);
    t.commit();
}

void changeScenario(Connection& c, const ScenarioRecord& shown, const ScenarioRecord& record) {
    check(record);
    Transaction t(c);
    lockPlanOf(c, shown.plan, QStringLiteral("сценарий не изменён."));
    checkShown(c, shown, QStringLiteral("ваше изменение не сохранено."));
    if (record.name != shown.name) {
        requireFreeName(c, shown.plan, record.name);
    }
    QVariantList values{record.name};
    values << chargeValues(record) << shown.plan << shown.name;
    c.exec(QStringLiteral("update Scenario set Name = ?, Explosive = ?, Mass = ?, HeatPerMole = ?, "
                          "Heat = ?, MolarMass = ?, Air = ?, X = ?, Y = ?, BodyMass = ?, "
                          "Revision = Revision + 1 where NumPM = ? and Name = ?"),
           values);
    t.commit();
}

void deleteScenario(Connection& c, const ScenarioRecord& shown) {
    Transaction t(c);
    lockPlanOf(c, shown.plan, QStringLiteral("сценарий не удалён."));
    checkShown(c, shown, QStringLiteral("он не удалён."));
    c.exec(QStringLiteral("delete from Scenario where NumPM = ? and Name = ?"),
           {shown.plan, shown.name});
    t.commit();
}

void deleteScenario(Connection& c, int plan, const QString& name) {
    Transaction t(c);
    lockPlanOf(c, plan, QStringLiteral("сценарий не удалён."));
    QSqlQuery q =
        c.exec(QStringLiteral("delete from Scenario where NumPM = ? and Name = ?"), {plan, name});
    if (q.numRowsAffected() != 1) {
        throw ScenarioError(
            QStringLiteral("Сценария «%1» на этом плане нет: удалять нечего.").arg(name));
    }
    t.commit();
}

void markScenarioUsed(Connection& c, int plan, const QString& name) {
    Transaction t(c);
    if (!lockPlan(c, plan)) {
        return;
    }
    // The highest mark of the plan is the last used scenario.
    c.exec(QStringLiteral("update Scenario set LastUsed = (select coalesce(max(LastUsed), 0) + 1 "
                          "from Scenario where NumPM = ?) where NumPM = ? and Name = ?"),
           {plan, plan, name});
    t.commit();
}

std::optional<QString> lastUsedScenario(Connection& c, int plan) {
    QSqlQuery q = c.exec(QStringLiteral("select Name from Scenario where NumPM = ? and "
                                        "LastUsed > 0 order by LastUsed desc"),
                         {plan});
    if (q.next()) {
        return Connection::field(q, QStringLiteral("Name")).toString();
    }
    return std::nullopt;
}

} // namespace kelmo::db
