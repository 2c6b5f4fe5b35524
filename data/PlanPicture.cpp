#include "data/PlanPicture.h"

#include "data/SitePlan.h"

#include <QSqlQuery>

#include <algorithm>

namespace kelmo::db {

namespace {

double number(const QSqlQuery& q, const char* name) {
    return Connection::field(q, QLatin1String(name)).toDouble();
}

} // namespace

std::optional<PlanPicture> readPlanPicture(Connection& c, int plan) {
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
    Transaction t(c);
    // The plan's row is taken first, so that a plan deleted meanwhile gets no picture.
    if (!lockPlan(c, plan)) {
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
    c.exec(QStringLiteral("update PlanPicture set Opacity = ?, Shown = ? where NumPM = ?"),
           {std::clamp(opacity, 0.0, 1.0), shown ? 1 : 0, plan});
}

void removePlanPicture(Connection& c, int plan) {
    c.exec(QStringLiteral("delete from PlanPicture where NumPM = ?"), {plan});
}

std::optional<PlanPicture> DatabasePictureStore::read(int plan) {
    Connection c(m_connectionString);
    return readPlanPicture(c, plan);
}

void DatabasePictureStore::store(int plan, const PlanPicture& picture) {
    Connection c(m_connectionString);
    storePlanPicture(c, plan, picture);
}

void DatabasePictureStore::setLook(int plan, double opacity, bool shown) {
    Connection c(m_connectionString);
    setPlanPictureLook(c, plan, opacity, shown);
}

void DatabasePictureStore::remove(int plan) {
    Connection c(m_connectionString);
    removePlanPicture(c, plan);
}

} // namespace kelmo::db
