#include "data/SitePlan.h"

#include "core/NumberText.h"
#include "data/BulkRows.h"
#include "data/PlanPicture.h"

#include <QSqlQuery>

#include <algorithm>

namespace kelmo::db {

namespace {

const QStringList kStructureColumnList{"NumPrim", "NumSoor", "Combo2", "Combo3", "Text1",  "Text2",
                                       "optSla",  "optSre",  "optSul", "optPol", "txtSla", "txtSre",
                                       "txtSul",  "txtPol",  "txtX1",  "txtY1",  "txtX2",  "txtY2",
                                       "txtX3",   "txtY3",   "txtX4",  "txtY4"};
const QString kStructureColumns = kStructureColumnList.join(QStringLiteral(", "));

// One placeholder for every column, so that the statement and the values cannot drift apart.
const QString kInsertStructure =
    QStringLiteral("insert into IDPM (%1) values (%2)")
        .arg(kStructureColumns, QStringList(kStructureColumnList.size(), QStringLiteral("?"))
                                    .join(QStringLiteral(", ")));

const char* const kKindRangeFields[4][2] = {
    {"Slamin", "Slamax"}, {"Sremin", "Sremax"}, {"Sulmin", "Sulmax"}, {"Polmin", "Polmax"}};

QString text(const QSqlQuery& q, const char* name) {
    return Connection::field(q, QLatin1String(name)).toString();
}

int integer(const QSqlQuery& q, const char* name) {
    return Connection::field(q, QLatin1String(name)).toInt();
}

// The values of the record's fields other than the key, in the order of kStructureColumns.
QVariantList recordValues(const StructureRecord& r) {
    QVariantList v{r.type, r.kind, r.storeys, r.staff};
    for (const bool on : r.selected) {
        v << (on ? 1 : 0);
    }
    for (const int p : r.pressure) {
        v << p;
    }
    for (const QString& corner : r.corners) {
        v << corner;
    }
    return v;
}

// The positions of the fields in kStructureColumnList, which every structure query selects in
// that order: a row is read by position, without looking a name up per field.
enum StructureColumn {
    PlanColumn,
    NumberColumn,
    TypeColumn,
    KindColumn,
    StoreysColumn,
    StaffColumn,
    FirstOptionColumn,
    FirstPressureColumn = FirstOptionColumn + 4,
    FirstCornerColumn = FirstPressureColumn + 4,
    StructureColumnCount = FirstCornerColumn + 8
};

// A row of a query that selects kStructureColumns.
template <typename Row> StructureRecord recordFrom(const Row& q) {
    StructureRecord r;
    r.plan = q.value(PlanColumn).toInt();
    r.number = q.value(NumberColumn).toInt();
    r.type = q.value(TypeColumn).toString();
    r.kind = q.value(KindColumn).toString();
    r.storeys = q.value(StoreysColumn).toString();
    r.staff = q.value(StaffColumn).toString();
    for (int i = 0; i < 4; ++i) {
        r.selected[i] = q.value(FirstOptionColumn + i).toInt() == 1;
        r.pressure[i] = q.value(FirstPressureColumn + i).toInt();
    }
    for (int i = 0; i < 8; ++i) {
        r.corners[i] = q.value(FirstCornerColumn + i).toString();
    }
    return r;
}

std::vector<PlanPoint> readVertices(Connection& c, int plan, int number) {
    std::vector<PlanPoint> out;
    QSqlQuery q = c.exec(QStringLiteral("select X, Y from StructureVertex where NumPM = ? and "
                                        "NumSoor = ? order by Seq"),
                         {plan, number});
    while (q.next()) {
        out.push_back({q.value(0).toDouble(), q.value(1).toDouble()});
    }
    return out;
}

// The record as it is stored: four vertices become the corner fields, and the corner fields
// of any other outline of vertices the rectangle around it.
StructureRecord stored(const StructureRecord& record) {
    if (record.vertices.empty()) {
        return record;
    }
    StructureRecord out = record;
    setOutline(out, record.vertices);
    return out;
}

// An outline of vertices must be a proper polygon within the plan; four corners are stored
// as typed, which the editor checks.
void checkVertices(const StructureRecord& record, int number) {
    if (record.vertices.empty()) {
        return;
    }
    if (const auto defect = outlineDefect(record.vertices)) {
        throw StructureOutlineError(QString::fromStdString(outlineDefectMessage(number, *defect)) +
                                    QStringLiteral(" Сооружение не сохранено."));
    }
    if (!isWithinPlan(record.vertices)) {
        throw StructureOutlineError(
            QString::fromStdString(outlineDefectMessage(
                number, "координаты вершин вне пределов плана (±100 000 000 м)")) +
            QStringLiteral(" Сооружение не сохранено."));
    }
}

void insertVertices(Connection& c, int plan, int number, const std::vector<PlanPoint>& vertices) {
    const QString insert = QStringLiteral(
        "insert into StructureVertex (NumPM, NumSoor, Seq, X, Y) values (?, ?, ?, ?, ?)");
    int seq = 1;
    for (const PlanPoint& p : vertices) {
        c.exec(insert, {plan, number, seq++, p.x, p.y});
    }
}

void insertStructure(Connection& c, int plan, int number, const StructureRecord& given) {
    const StructureRecord record = stored(given);
    QVariantList values{plan, number};
    values << recordValues(record);
    c.exec(kInsertStructure, values);
    insertVertices(c, plan, number, record.vertices);
}

bool structureExists(Connection& c, int plan, int number) {
    QSqlQuery q =
        c.exec(QStringLiteral("select NumSoor from IDPM where NumPrim = ? and NumSoor = ?"),
               {plan, number});
    return q.next();
}

void checkNumber(int number) {
    if (number < 1 || number > kMaxStructureNumber) {
        throw StructureNumberError(
            QStringLiteral("Номер сооружения должен быть от 1 до %1.").arg(kMaxStructureNumber));
    }
}

void lockExistingPlan(Connection& c, int plan, const QString& what) {
    if (!lockPlan(c, plan)) {
        throw StructureConflictError(
            QStringLiteral("Плана местности №%1 больше нет в базе данных (его удалил или заменил "
                           "другой пользователь): %2")
                .arg(plan)
                .arg(what));
    }
}

// The stored structure must still be the one the user saw.
void checkShown(Connection& c, const StructureRecord& shown, const QString& what) {
    const auto stored = readStructure(c, shown.plan, shown.number);
    if (!stored || *stored != shown) {
        throw StructureConflictError(
            QStringLiteral("Сооружение №%1 изменил или удалил другой пользователь: %2 Показаны "
                           "данные, которые сейчас в базе.")
                .arg(shown.number)
                .arg(what));
    }
}

void removePlan(Connection& c, int plan) {
    removePlanPicture(c, plan);
    c.exec(QStringLiteral("delete from Scenario where NumPM = ?"), {plan});
    c.exec(QStringLiteral("delete from PlanCrs where NumPM = ?"), {plan});
    c.exec(QStringLiteral("delete from StructureVertex where NumPM = ?"), {plan});
    c.exec(QStringLiteral("delete from IDPM where NumPrim = ?"), {plan});
    c.exec(QStringLiteral("delete from MnuPM where NumPM = ?"), {plan});
}

} // namespace

QList<PlanEntry> listPlans(Connection& c) {
    QList<PlanEntry> out;
    QSqlQuery q = c.select(QStringLiteral("select NumPM, MnuPM from MnuPM order by NumPM"));
    while (q.next()) {
        out.append({integer(q, "NumPM"), text(q, "MnuPM")});
    }
    return out;
}

std::optional<int> findPlan(Connection& c, const QString& name) {
    QSqlQuery q = c.exec(QStringLiteral("select NumPM from MnuPM where MnuPM = ?"), {name});
    if (q.next()) {
        return integer(q, "NumPM");
    }
    return std::nullopt;
}

bool planExists(Connection& c, int plan) {
    QSqlQuery q = c.exec(QStringLiteral("select NumPM from MnuPM where NumPM = ?"), {plan});
    return q.next();
}

std::optional<QString> planName(Connection& c, int plan) {
    QSqlQuery q = c.exec(QStringLiteral("select MnuPM from MnuPM where NumPM = ?"), {plan});
    if (q.next()) {
        return text(q, "MnuPM");
    }
    return std::nullopt;
}

// An update that changes nothing takes the row's write lock on every database.
bool lockPlan(Connection& c, int plan) {
    QSqlQuery q = c.exec(QStringLiteral("update MnuPM set MnuPM = MnuPM where NumPM = ?"), {plan});
    return q.numRowsAffected() == 1;
}

int createPlan(Connection& c, const QString& name) {
    if (name.trimmed().isEmpty()) {
        throw DatabaseError(QStringLiteral("Имя плана местности не задано."));
    }
    if (const QString problem = nameLengthProblem(QStringLiteral("План местности"), name);
        !problem.isEmpty()) {
        throw DatabaseError(problem);
    }
    Transaction t(c);
    if (const auto old = findPlan(c, name)) {
        lockPlan(c, *old);
        removePlan(c, *old);
    }
    c.exec(QStringLiteral("insert into MnuPM (MnuPM) values (?)"), {name});
    // The number is read back by the name, which is unique; this works on every server.
    const auto number = findPlan(c, name);
    if (!number) {
        throw DatabaseError(QStringLiteral("Новый план местности не найден в базе данных."));
    }
    t.commit();
    return *number;
}

void deletePlan(Connection& c, int plan) {
    Transaction t(c);
    if (!lockPlan(c, plan)) {
        throw DatabaseError(QStringLiteral("Плана местности №%1 нет в базе данных.").arg(plan));
    }
    removePlan(c, plan);
    t.commit();
}

std::optional<StructureRecord> readStructure(Connection& c, int plan, int number) {
    std::optional<StructureRecord> record;
    {
        QSqlQuery q = c.exec(QStringLiteral("select %1 from IDPM where NumPrim = ? and NumSoor = ?")
                                 .arg(kStructureColumns),
                             {plan, number});
        if (!q.next()) {
            return std::nullopt;
        }
        record = recordFrom(q);
    }
    record->vertices = readVertices(c, plan, number);
    return record;
}

std::optional<StructureOutline> outlineOf(const StructureRecord& record) {
    if (!record.vertices.empty()) {
        return record.vertices;
    }
    StructureOutline outline(4);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto x = numtext::parse(record.corners[2 * i]);
        const auto y = numtext::parse(record.corners[2 * i + 1]);
        if (!x || !y) {
            return std::nullopt;
        }
        outline[i] = {*x, *y};
    }
    return outline;
}

void setOutline(StructureRecord& record, const StructureOutline& outline) {
    const auto setCorners = [&record](const std::array<PlanPoint, 4>& corners) {
        for (std::size_t i = 0; i < 4; ++i) {
            record.corners[2 * i] = numtext::roundTrip(corners[i].x);
            record.corners[2 * i + 1] = numtext::roundTrip(corners[i].y);
        }
    };
    if (outline.size() == 4) {
        setCorners({outline[0], outline[1], outline[2], outline[3]});
        record.vertices.clear();
        return;
    }
    record.vertices = outline;
    if (outline.empty()) {
        setCorners({});
        return;
    }
    const auto [minX, maxX] = std::minmax_element(
        outline.begin(), outline.end(), [](PlanPoint a, PlanPoint b) { return a.x < b.x; });
    const auto [minY, maxY] = std::minmax_element(
        outline.begin(), outline.end(), [](PlanPoint a, PlanPoint b) { return a.y < b.y; });
    setCorners({PlanPoint{minX->x, minY->y}, PlanPoint{minX->x, maxY->y},
                PlanPoint{maxX->x, maxY->y}, PlanPoint{maxX->x, minY->y}});
}

std::optional<int> planCrs(Connection& c, int plan) {
    QSqlQuery q = c.exec(QStringLiteral("select Epsg from PlanCrs where NumPM = ?"), {plan});
    if (q.next()) {
        return integer(q, "Epsg");
    }
    return std::nullopt;
}

void setPlanCrs(Connection& c, int plan, std::optional<int> epsg) {
    if (epsg && *epsg <= 0) {
        throw DatabaseError(
            QStringLiteral("Код EPSG системы координат должен быть положительным числом, а не %1.")
                .arg(*epsg));
    }
    Transaction t(c);
    if (!lockPlan(c, plan)) {
        throw DatabaseError(QStringLiteral("Плана местности №%1 нет в базе данных: система "
                                           "координат не сохранена.")
                                .arg(plan));
    }
    c.exec(QStringLiteral("delete from PlanCrs where NumPM = ?"), {plan});
    if (epsg) {
        c.exec(QStringLiteral("insert into PlanCrs (NumPM, Epsg) values (?, ?)"), {plan, *epsg});
    }
    t.commit();
}

QList<StructureRecord> readStructures(Connection& c, int plan) {
    QList<StructureRecord> out;
    {
        BulkRows q(c, kStructureColumnList, QStringLiteral("IDPM where NumPrim = ?"),
                   QStringLiteral("NumSoor"), {plan});
        while (q.next()) {
            out.append(recordFrom(q));
        }
    }
    // The vertex rows of the plan in one read, handed to their structures.
    BulkRows v(c, {QStringLiteral("NumSoor"), QStringLiteral("X"), QStringLiteral("Y")},
               QStringLiteral("StructureVertex where NumPM = ?"), QStringLiteral("NumSoor, Seq"),
               {plan});
    qsizetype at = 0;
    while (v.next()) {
        const int number = v.value(0).toInt();
        while (at < out.size() && out[at].number < number) {
            ++at;
        }
        if (at < out.size() && out[at].number == number) {
            out[at].vertices.push_back({v.value(1).toDouble(), v.value(2).toDouble()});
        }
    }
    return out;
}

int lastStructureNumber(Connection& c, int plan) {
    QSqlQuery q = c.exec(
        QStringLiteral("select max(NumSoor) as LastNum from IDPM where NumPrim = ?"), {plan});
    return q.next() ? integer(q, "LastNum") : 0;
}

void addStructure(Connection& c, const StructureRecord& record) {
    checkNumber(record.number);
    checkVertices(record, record.number);
    Transaction t(c);
    if (!lockPlan(c, record.plan)) {
        throw StructureNumberError(
            QStringLiteral("Плана местности №%1 нет в базе данных: сооружение не сохранено.")
                .arg(record.plan));
    }
    if (structureExists(c, record.plan, record.number)) {
        throw StructureNumberError(
            QStringLiteral("На плане уже есть сооружение №%1. Сооружение не добавлено; "
                           "чтобы изменить его, перейдите к нему и нажмите «Изменить».")
                .arg(record.number));
    }
    const int last = lastStructureNumber(c, record.plan);
    if (record.number > last + 1) {
        throw StructureNumberError(
            QStringLiteral("На плане %1 сооружений: следующее можно добавить только под №%2, "
                           "чтобы номера шли подряд. Сооружение №%3 не добавлено.")
                .arg(last)
                .arg(last + 1)
                .arg(record.number));
    }
    insertStructure(c, record.plan, record.number, record);
    t.commit();
}

namespace {

void updateStructure(Connection& c, const StructureRecord& given) {
    const StructureRecord record = stored(given);
    QVariantList values = recordValues(record);
    values << record.plan << record.number;
    QSqlQuery q =
        c.exec(QStringLiteral("update IDPM set Combo2 = ?, Combo3 = ?, Text1 = ?, Text2 = ?, "
                              "optSla = ?, optSre = ?, optSul = ?, optPol = ?, "
                              "txtSla = ?, txtSre = ?, txtSul = ?, txtPol = ?, "
                              "txtX1 = ?, txtY1 = ?, txtX2 = ?, txtY2 = ?, "
                              "txtX3 = ?, txtY3 = ?, txtX4 = ?, txtY4 = ? "
                              "where NumPrim = ? and NumSoor = ?"),
               values);
    if (q.numRowsAffected() != 1) {
        throw StructureNumberError(
            QStringLiteral("На плане нет сооружения №%1: изменять нечего.").arg(record.number));
    }
    c.exec(QStringLiteral("delete from StructureVertex where NumPM = ? and NumSoor = ?"),
           {record.plan, record.number});
    insertVertices(c, record.plan, record.number, record.vertices);
}

void removeAndRenumber(Connection& c, int plan, int number, const std::function<void()>& progress);

} // namespace

void changeStructure(Connection& c, const StructureRecord& record) {
    checkVertices(record, record.number);
    Transaction t(c);
    lockExistingPlan(c, record.plan, QStringLiteral("сооружение не изменено."));
    updateStructure(c, record);
    t.commit();
}

void changeStructure(Connection& c, const StructureRecord& shown, const StructureRecord& record) {
    checkVertices(record, record.number);
    Transaction t(c);
    lockExistingPlan(c, record.plan, QStringLiteral("сооружение не изменено."));
    checkShown(c, shown, QStringLiteral("ваше изменение не сохранено."));
    updateStructure(c, record);
    t.commit();
}

void deleteStructure(Connection& c, int plan, int number, const std::function<void()>& progress) {
    Transaction t(c);
    lockExistingPlan(c, plan, QStringLiteral("сооружение не удалено."));
    removeAndRenumber(c, plan, number, progress);
    t.commit();
}

void deleteStructure(Connection& c, const StructureRecord& shown,
                     const std::function<void()>& progress) {
    Transaction t(c);
    lockExistingPlan(c, shown.plan, QStringLiteral("сооружение не удалено."));
    checkShown(c, shown, QStringLiteral("оно не удалено."));
    removeAndRenumber(c, shown.plan, shown.number, progress);
    t.commit();
}

namespace {

void removeAndRenumber(Connection& c, int plan, int number, const std::function<void()>& progress) {
    QSqlQuery q = c.exec(QStringLiteral("delete from IDPM where NumPrim = ? and NumSoor = ?"),
                         {plan, number});
    if (q.numRowsAffected() != 1) {
        throw StructureNumberError(
            QStringLiteral("На плане нет сооружения №%1: удалять нечего.").arg(number));
    }
    c.exec(QStringLiteral("delete from StructureVertex where NumPM = ? and NumSoor = ?"),
           {plan, number});
    if (progress) {
        progress();
    }
    // The later numbers move down by one, with their vertices. Under the unique keys a single
    // "NumSoor - 1" could meet a number not yet moved, depending on the order the server
    // updates rows in; going through the negative numbers keeps every step unique.
    c.exec(QStringLiteral("update IDPM set NumSoor = -NumSoor where NumPrim = ? and NumSoor > ?"),
           {plan, number});
    c.exec(QStringLiteral(
               "update StructureVertex set NumSoor = -NumSoor where NumPM = ? and NumSoor > ?"),
           {plan, number});
    if (progress) {
        progress();
    }
    c.exec(
        QStringLiteral("update IDPM set NumSoor = -NumSoor - 1 where NumPrim = ? and NumSoor < 0"),
        {plan});
    c.exec(QStringLiteral("update StructureVertex set NumSoor = -NumSoor - 1 where NumPM = ? and "
                          "NumSoor < 0"),
           {plan});
}

} // namespace

std::optional<int> findTypeNumber(Connection& c, const QString& name) {
    QSqlQuery q = c.exec(QStringLiteral("select TNum from BTypes where TName = ?"), {name});
    std::optional<int> found;
    while (q.next()) {
        found = integer(q, "TNum");
    }
    return found;
}

QList<KindEntry> listKindsOfType(Connection& c, int type) {
    QList<KindEntry> out;
    QSqlQuery q = c.exec(QStringLiteral("select Type, STName, Slamin, Slamax, Sremin, Sremax, "
                                        "Sulmin, Sulmax, Polmin, Polmax from BSubTypes "
                                        "where Type = ?"),
                         {type});
    while (q.next()) {
        KindEntry k;
        k.type = integer(q, "Type");
        k.name = text(q, "STName");
        for (int i = 0; i < 4; ++i) {
            k.ranges[i] = {Connection::field(q, QLatin1String(kKindRangeFields[i][0])).toDouble(),
                           Connection::field(q, QLatin1String(kKindRangeFields[i][1])).toDouble()};
        }
        out.append(k);
    }
    return out;
}

void insertStructure(Connection& c, const StructureRecord& record) {
    checkNumber(record.number);
    checkVertices(record, record.number);
    Transaction t(c);
    lockExistingPlan(c, record.plan, QStringLiteral("сооружение не восстановлено."));
    const int last = lastStructureNumber(c, record.plan);
    if (record.number > last + 1) {
        throw StructureNumberError(
            QStringLiteral("На плане %1 сооружений: сооружение №%2 нельзя вернуть на место, "
                           "номера разошлись бы. Ничего не изменено.")
                .arg(last)
                .arg(record.number));
    }
    if (last + 1 > kMaxStructureNumber) {
        throw StructureNumberError(
            QStringLiteral("На плане может быть не больше %1 сооружений: сооружение №%2 не "
                           "восстановлено.")
                .arg(kMaxStructureNumber)
                .arg(record.number));
    }
    // Up by one through the negative numbers, as a delete moves them down.
    c.exec(QStringLiteral("update IDPM set NumSoor = -NumSoor where NumPrim = ? and NumSoor >= ?"),
           {record.plan, record.number});
    c.exec(QStringLiteral(
               "update StructureVertex set NumSoor = -NumSoor where NumPM = ? and NumSoor >= ?"),
           {record.plan, record.number});
    c.exec(
        QStringLiteral("update IDPM set NumSoor = -NumSoor + 1 where NumPrim = ? and NumSoor < 0"),
        {record.plan});
    c.exec(QStringLiteral("update StructureVertex set NumSoor = -NumSoor + 1 where NumPM = ? and "
                          "NumSoor < 0"),
           {record.plan});
    insertStructure(c, record.plan, record.number, record);
    t.commit();
}

int storeImportedPlan(Connection& c, const QString& planName, const QList<StructureRecord>& records,
                      std::optional<int> epsg, bool replace) {
    if (planName.trimmed().isEmpty()) {
        throw DatabaseError(QStringLiteral("Имя плана местности не задано."));
    }
    if (epsg && *epsg <= 0) {
        throw DatabaseError(
            QStringLiteral("Код EPSG системы координат должен быть положительным числом, а не %1.")
                .arg(*epsg));
    }
    if (records.size() > kMaxStructureNumber) {
        throw StructureNumberError(
            QStringLiteral("На плане может быть не больше %1 сооружений, а их %2. Ничего не "
                           "сохранено.")
                .arg(kMaxStructureNumber)
                .arg(records.size()));
    }
    Transaction t(c);
    std::optional<int> plan = findPlan(c, planName);
    if (!plan) {
        c.exec(QStringLiteral("insert into MnuPM (MnuPM) values (?)"), {planName});
        plan = findPlan(c, planName);
        if (!plan) {
            throw DatabaseError(QStringLiteral("Новый план местности не найден в базе данных."));
        }
    }
    lockPlan(c, *plan);
    const int existing = lastStructureNumber(c, *plan);
    if (existing > 0 && !replace) {
        throw PlanNotEmptyError(
            QStringLiteral("На плане «%1» уже есть сооружения (%2): генплан их не заменил, "
                           "ничего не сохранено.")
                .arg(planName)
                .arg(existing));
    }
    c.exec(QStringLiteral("delete from StructureVertex where NumPM = ?"), {*plan});
    c.exec(QStringLiteral("delete from IDPM where NumPrim = ?"), {*plan});
    int number = 0;
    for (const StructureRecord& record : records) {
        ++number;
        checkVertices(record, number);
        insertStructure(c, *plan, number, record);
    }
    c.exec(QStringLiteral("delete from PlanCrs where NumPM = ?"), {*plan});
    if (epsg) {
        c.exec(QStringLiteral("insert into PlanCrs (NumPM, Epsg) values (?, ?)"), {*plan, *epsg});
    }
    t.commit();
    return *plan;
}

int appendStructures(Connection& c, int plan, const QList<StructureRecord>& records) {
    Transaction t(c);
    if (!lockPlan(c, plan)) {
        throw StructureNumberError(
            QStringLiteral("Плана местности №%1 нет в базе данных: сооружения не сохранены.")
                .arg(plan));
    }
    const int first = lastStructureNumber(c, plan) + 1;
    if (first + records.size() - 1 > kMaxStructureNumber) {
        throw StructureNumberError(
            QStringLiteral("На плане может быть не больше %1 сооружений: %2 новых не помещаются. "
                           "Ничего не добавлено.")
                .arg(kMaxStructureNumber)
                .arg(records.size()));
    }
    int number = first;
    for (const StructureRecord& record : records) {
        checkVertices(record, number);
        insertStructure(c, plan, number++, record);
    }
    t.commit();
    return first;
}

} // namespace kelmo::db
