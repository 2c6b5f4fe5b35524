#include "data/PlanPicture.h"

#include "data/DatabaseFile.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace kelmo::db {

namespace {

const QString kTable = QStringLiteral("PlanPicture");

bool tableExists(Connection& c) {
    // A server folds unquoted names to its own case.
    for (const QString& name : c.database().tables(QSql::Tables)) {
        if (name.compare(kTable, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

double number(const QSqlQuery& q, const char* name) {
    return Connection::field(q, QLatin1String(name)).toDouble();
}

} // namespace

void ensurePlanPictureTable(Connection& c) {
    if (tableExists(c)) {
        return;
    }
    static const QRegularExpression create(QStringLiteral("^CREATE\\s+TABLE\\s+PlanPicture\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (const QString& statement : schemaStatements(c.dialect())) {
        if (create.match(statement).hasMatch()) {
            c.exec(statement);
            return;
        }
    }
    throw DatabaseError(QStringLiteral("В схеме базы данных нет таблицы рисунков планов."));
}

std::optional<PlanPicture> readPlanPicture(Connection& c, int plan) {
    if (!tableExists(c)) {
        return std::nullopt;
    }
    QSqlQuery q = c.exec(QStringLiteral("select Picture, PixX1, PixY1, PlanX1, PlanY1, PixX2, "
                                        "PixY2, PlanX2, PlanY2, Rotation, Opacity, Shown from "
                                        "PlanPicture where NumPM = ?"),
                         {plan});
    if (!q.next()) {
        return std::nullopt;
    }
    PlanPicture p;
    p.bytes = Connection::field(q, QStringLiteral("Picture")).toByteArray();
    p.pixelX1 = number(q, "PixX1");
    p.pixelY1 = number(q, "PixY1");
    p.planX1 = number(q, "PlanX1");
    p.planY1 = number(q, "PlanY1");
    p.pixelX2 = number(q, "PixX2");
    p.pixelY2 = number(q, "PixY2");
    p.planX2 = number(q, "PlanX2");
    p.planY2 = number(q, "PlanY2");
    p.rotation = number(q, "Rotation") != 0;
    p.opacity = number(q, "Opacity");
    p.shown = number(q, "Shown") != 0;
    return p;
}

void storePlanPicture(Connection& c, int plan, const PlanPicture& p) {
    ensurePlanPictureTable(c);
    Transaction t(c);
    // The plan's row is taken first, so that a plan deleted meanwhile gets no picture.
    QSqlQuery lock =
        c.exec(QStringLiteral("update MnuPM set MnuPM = MnuPM where NumPM = ?"), {plan});
    if (lock.numRowsAffected() != 1) {
        throw DatabaseError(
            QStringLiteral("Плана местности №%1 нет в базе данных: рисунок не сохранён.")
                .arg(plan));
    }
    c.exec(QStringLiteral("delete from PlanPicture where NumPM = ?"), {plan});
    c.exec(QStringLiteral("insert into PlanPicture (NumPM, Picture, PixX1, PixY1, PlanX1, PlanY1, "
                          "PixX2, PixY2, PlanX2, PlanY2, Rotation, Opacity, Shown) values (?, ?, "
                          "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
           {plan, p.bytes, p.pixelX1, p.pixelY1, p.planX1, p.planY1, p.pixelX2, p.pixelY2, p.planX2,
            p.planY2, p.rotation ? 1 : 0, std::clamp(p.opacity, 0.0, 1.0), p.shown ? 1 : 0});
    t.commit();
}

void setPlanPictureLook(Connection& c, int plan, double opacity, bool shown) {
    if (!tableExists(c)) {
        return;
    }
    c.exec(QStringLiteral("update PlanPicture set Opacity = ?, Shown = ? where NumPM = ?"),
           {std::clamp(opacity, 0.0, 1.0), shown ? 1 : 0, plan});
}

void removePlanPicture(Connection& c, int plan) {
    if (tableExists(c)) {
        c.exec(QStringLiteral("delete from PlanPicture where NumPM = ?"), {plan});
    }
}

} // namespace kelmo::db
