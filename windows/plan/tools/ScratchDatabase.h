#pragma once

// Set-up shared by the plan screenshot tools: a Russian application whose messages go to
// stderr, and a copy of the program folder's database to draw on, so that the database the
// program uses stays as it was.

#include "core/ProgramFolder.h"
#include "data/SitePlan.h"
#include "data/StructureKinds.h"
#include "ui/Messages.h"

#include <QFile>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace kelmo::tools {

inline void reportMessagesOnStderr() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    ui::Messages::setInterceptor([](const ui::Message& m) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        return QMessageBox::Ok;
    });
}

// The connection string of a writable copy of the program's database in temp; empty after a
// message on stderr when it cannot be copied.
inline QString scratchDatabase(const QTemporaryDir& temp) {
    const QString copy = temp.filePath(QStringLiteral("bdKelmo.db"));
    if (!QFile::copy(userFile(QStringLiteral("bdKelmo.db")), copy)) {
        std::fprintf(stderr, "the database in the program folder cannot be copied\n");
        return {};
    }
    QFile(copy).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + copy;
}

// A rectangular structure of a sample plan: two opposite corners, its staff and storeys, and
// whether its degree is judged for the building (heavy damage) or for people.
struct SampleStructure {
    double x1, y1, x2, y2;
    int staff;
    int storeys;
    bool judgedForPeople = true;
};

// Adds the structures to the plan in order, numbered from 1, of the catalogue's first type,
// its kinds taken in turn, each threshold in the middle of its kind's range.
inline void addSampleStructures(db::Connection& c, int plan,
                                const std::vector<SampleStructure>& structures) {
    const auto types = db::readStructureTypes(c);
    if (types.empty()) {
        return;
    }
    const auto kinds = db::listKindsOfType(c, types.front().number);
    if (kinds.isEmpty()) {
        return;
    }
    int n = 0;
    for (const SampleStructure& s : structures) {
        const db::KindEntry& kind = kinds[n % kinds.size()];
        ++n;
        db::StructureRecord r;
        r.plan = plan;
        r.number = n;
        r.type = types.front().name;
        r.kind = kind.name;
        r.storeys = QString::number(s.storeys);
        r.staff = QString::number(s.staff);
        r.selected = {!s.judgedForPeople, false, s.judgedForPeople, false};
        for (int i = 0; i < 4; ++i) {
            r.pressure[i] = static_cast<int>((kind.ranges[i].min + kind.ranges[i].max) / 2);
        }
        const double xs[4] = {s.x1, s.x2, s.x2, s.x1};
        const double ys[4] = {s.y1, s.y1, s.y2, s.y2};
        for (int i = 0; i < 4; ++i) {
            r.corners[2 * i] = QString::number(xs[i]);
            r.corners[2 * i + 1] = QString::number(ys[i]);
        }
        db::addStructure(c, r);
    }
}

// The sample plan "Склад ВВ №3": the store itself, then structures farther out. Returns its
// number.
inline int addSampleStorePlan(db::Connection& c) {
    const int plan = db::createPlan(c, QStringLiteral("Склад ВВ №3"));
    addSampleStructures(c, plan,
                        {{-6, -4, 6, 4, 2, 2},
                         {20, -10, 45, 10, 25, 3},
                         {-70, 30, -40, 60, 40, 1},
                         {60, -120, 100, -80, 12, 2},
                         {-260, -40, -220, 0, 60, 3},
                         {380, 200, 430, 240, 8, 1}});
    return plan;
}

} // namespace kelmo::tools
