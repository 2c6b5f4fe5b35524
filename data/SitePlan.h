#pragma once

#include "data/Database.h"
#include "data/StructureKinds.h"
#include "engine/PlanGeometry.h"

#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace kelmo::db {

// The largest plan or structure number: both are 16-bit numbers in the tables.
inline constexpr int kMaxPlanNumber = 32767;
inline constexpr int kMaxStructureNumber = 32767;

// A site plan of the catalogue (table MnuPM).
struct PlanEntry {
    int number = 0; // NumPM
    QString name;   // MnuPM
};

// A structure type (BTypes) and one of its kinds (BSubTypes) with the overpressure ranges of
// the four degrees of destruction, in kPa, in the order weak, medium, strong, complete.
struct PressureRange {
    double min = 0;
    double max = 0;
};

struct KindEntry {
    int type = 0; // Type
    QString name; // STName
    std::array<PressureRange, 4> ranges{};
};

// A structure of a plan (one row of IDPM, with its rows of StructureVertex). Storeys, staff
// and the corners are kept as the text the record stores; the window checks them before they
// get here.
//
// The outline: a structure of four vertices keeps them in the corner fields and has no vertex
// rows (`vertices` empty), as every structure did before other shapes were possible. A
// structure of any other number of vertices keeps them in StructureVertex (`vertices`, in
// order, at least three), and its corner fields hold the corners of the rectangle around it,
// 1 lower left, 2 upper left, 3 upper right, 4 lower right: what an earlier version of the
// program or another reader of IDPM sees is a rectangle that encloses the building, so the
// distance it finds is never longer than the true one. outlineOf() and setOutline() keep the
// two apart for the callers.
struct StructureRecord {
    int plan = 0;                     // NumPrim
    int number = 0;                   // NumSoor
    QString type;                     // Combo2
    QString kind;                     // Combo3
    QString storeys;                  // Text1
    QString staff;                    // Text2
    std::array<bool, 4> selected{};   // optSla, optSre, optSul, optPol
    std::array<int, 4> pressure{};    // txtSla, txtSre, txtSul, txtPol, kPa
    std::array<QString, 8> corners{}; // txtX1, txtY1, … txtX4, txtY4, m
    std::vector<PlanPoint> vertices;  // StructureVertex X, Y by Seq; empty for four corners

    bool operator==(const StructureRecord&) const = default;
};

// The structure's outline: its vertices, or its four corners read as numbers (with a comma or
// a point); nothing when a corner field is not a number.
std::optional<StructureOutline> outlineOf(const StructureRecord& record);

// Gives the structure this outline: four vertices go into the corner fields, any other number
// into `vertices` with the enclosing rectangle in the corner fields. The outline is taken as
// it is; the writes below refuse one that outlineDefect() finds fault with.
void setOutline(StructureRecord& record, const StructureOutline& outline);

// An outline refused when a structure is stored: fewer than three vertices, crossed sides, no
// area, or coordinates beyond the plan's range. The message names the structure; nothing is
// stored.
class StructureOutlineError final : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// ---- Plan catalogue ----

// Every plan in the catalogue's own order (by number).
QList<PlanEntry> listPlans(Connection& c);

// The number of the plan with exactly this name, if there is one.
std::optional<int> findPlan(Connection& c, const QString& name);

// Whether a plan with this number exists.
bool planExists(Connection& c, int plan);

// The name of the plan with this number, if there is one.
std::optional<QString> planName(Connection& c, int plan);

// Takes the plan's row for the rest of the transaction, so that two engineers changing one
// plan's structures take turns. False when there is no such plan.
bool lockPlan(Connection& c, int plan);

// Creates a plan under the name and returns its number. A plan of the same name is replaced:
// it and all its structures are removed in the same transaction. An empty or blank name is
// refused with a DatabaseError and nothing changes.
int createPlan(Connection& c, const QString& name);

// Removes the plan and all its structures in one transaction. Throws DatabaseError when the
// plan does not exist.
void deletePlan(Connection& c, int plan);

// ---- The plan's coordinate system (table PlanCrs) ----

// The EPSG code of the coordinate system the plan's coordinates are in; nothing for a plan in
// local metres (and for a plan that does not exist).
std::optional<int> planCrs(Connection& c, int plan);

// Sets the plan's coordinate system by its EPSG code, or makes it local metres (nullopt), in
// one transaction that takes the plan's row. DatabaseError when the plan does not exist or
// the code is not a positive number; whether the code names a known system is the caller's to
// check. Deleting or replacing the plan removes it too.
void setPlanCrs(Connection& c, int plan, std::optional<int> epsg);

// ---- Structure records ----

// The structure with this number on the plan, found by its key.
std::optional<StructureRecord> readStructure(Connection& c, int plan, int number);

// Every structure of the plan, in number order.
QList<StructureRecord> readStructures(Connection& c, int plan);

// The largest structure number of the plan, 0 for a plan without structures.
int lastStructureNumber(Connection& c, int plan);

// A structure number that is taken, out of range, or would leave a gap in the numbering.
class StructureNumberError final : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// A structure changed or deleted by another user since it was shown: nothing is stored, and
// the window shows what the database holds now.
class StructureConflictError final : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// Every change of a plan's structures runs in one transaction that first takes the plan's row
// (on a server a row lock held to the end of the transaction, on the file the write lock), so
// two users' changes to one plan run one after the other and each sees the other's committed
// rows: renumbering never meets a concurrent add, and nothing is added to a plan deleted
// meanwhile.

// Each write below stores the structure's vertex rows with its row of IDPM and refuses an
// outline of vertices that outlineDefect() finds fault with (StructureOutlineError, nothing
// stored). A record given with `vertices` is stored as setOutline() would make it: four of
// them as the corner fields, any other number with the rectangle around them.

// Adds the structure under its number. The number must be free, between 1 and 32767, and at
// most one past the plan's last structure; the plan must exist. Otherwise StructureNumberError
// (nothing stored).
void addStructure(Connection& c, const StructureRecord& record);

// Replaces the fields of the stored structure (record.plan, record.number) in place, in one
// statement. StructureNumberError when the plan has no structure with that number.
void changeStructure(Connection& c, const StructureRecord& record);

// The editor's change: as above, but only while the stored structure is still the one the
// user saw (`shown`); otherwise StructureConflictError and nothing changes.
void changeStructure(Connection& c, const StructureRecord& shown, const StructureRecord& record);

// Deletes the structure and moves each later structure of the plan down by one, all in one
// transaction. progress, when given, is called between the steps (tests use it to stop the
// program half-way). StructureNumberError when there is no such structure.
void deleteStructure(Connection& c, int plan, int number,
                     const std::function<void()>& progress = {});

// The editor's delete: as above, but only while the stored structure is still the one the
// user saw; otherwise StructureConflictError and nothing changes.
void deleteStructure(Connection& c, const StructureRecord& shown,
                     const std::function<void()>& progress = {});

// Puts the structure back under its number: the structure there and every later one move up
// by one, all in one transaction (the undoing of a delete). The number must be between 1 and
// one past the plan's last structure, and the plan must keep to 32767 structures; otherwise
// StructureNumberError and nothing changes.
void insertStructure(Connection& c, const StructureRecord& record);

// Adds the structures after the plan's last one, numbered on from it in the order given (their
// own plan and number are not used), all in one transaction. Returns the first new number.
// StructureNumberError when the plan is gone or the numbers would pass 32767 (nothing stored).
int appendStructures(Connection& c, int plan, const QList<StructureRecord>& records);

// A plan that has structures and was not to have them replaced: nothing is stored.
class PlanNotEmptyError final : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// A general plan's import, in one transaction: the plan of that name (created when there is
// none) gets the structures numbered 1… in the order given and the coordinate system (EPSG
// code, or none for local metres). A plan with structures has them replaced when `replace` is
// set and is refused with PlanNotEmptyError otherwise. Returns the plan's number. Throws
// DatabaseError (StructureOutlineError for an outline that cannot be stored); nothing is stored
// then, not even a new plan.
int storeImportedPlan(Connection& c, const QString& planName, const QList<StructureRecord>& records,
                      std::optional<int> epsg, bool replace);

// ---- Structure types for the editor's lists (the types themselves: readStructureTypes) ----

// The number of the type with this name (the last such row, as the lists show them).
std::optional<int> findTypeNumber(Connection& c, const QString& name);

// The kinds of the type, in the table's order.
QList<KindEntry> listKindsOfType(Connection& c, int type);

} // namespace kelmo::db
