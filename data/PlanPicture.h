#pragma once

#include "data/Database.h"

#include <QByteArray>

#include <optional>
#include <utility>

namespace kelmo::db {

// The picture of a plan's site (table PlanPicture) and the two points that place it.
struct PlanPicture {
    QByteArray bytes; // the PNG or JPEG file as the user chose it
    double pixelX1 = 0, pixelY1 = 0, planX1 = 0, planY1 = 0;
    double pixelX2 = 0, pixelY2 = 0, planX2 = 0, planY2 = 0;
    bool rotation = false;
    double opacity = 1;
    bool shown = true;
};

// The plan's picture, if it has one. Throws DatabaseError.
std::optional<PlanPicture> readPlanPicture(Connection& c, int plan);

// Stores the picture of the plan in one transaction, replacing the one it had. The caller
// has checked the picture and the points. Throws DatabaseError (nothing changes then, also
// when the plan no longer exists).
void storePlanPicture(Connection& c, int plan, const PlanPicture& picture);

// Changes only whether the picture is shown and how opaque it is.
void setPlanPictureLook(Connection& c, int plan, double opacity, bool shown);

// Removes the plan's picture; nothing happens when it has none.
void removePlanPicture(Connection& c, int plan);

// Where the plans' pictures are kept, as the map page sees it: the page reads and changes a
// plan's picture through it and never opens a database itself. Each call throws what the
// store's own operations throw (DatabaseError for the database).
class PlanPictureStore {
public:
    virtual ~PlanPictureStore() = default;
    virtual std::optional<PlanPicture> read(int plan) = 0;
    virtual void store(int plan, const PlanPicture& picture) = 0;
    virtual void setLook(int plan, double opacity, bool shown) = 0;
    virtual void remove(int plan) = 0;
};

// The pictures in the database of the connection string: one connection for each call.
class DatabasePictureStore final : public PlanPictureStore {
public:
    explicit DatabasePictureStore(QString connectionString)
        : m_connectionString(std::move(connectionString)) {}

    std::optional<PlanPicture> read(int plan) override;
    void store(int plan, const PlanPicture& picture) override;
    void setLook(int plan, double opacity, bool shown) override;
    void remove(int plan) override;

private:
    QString m_connectionString;
};

} // namespace kelmo::db
