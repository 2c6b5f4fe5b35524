// A screenshot of the situation window after "РАСЧЕТ" on a plan of six structures around a
// store of explosives, and its Word report, for looking at both and for the README. Works on
// a copy of the program folder's database.
// Usage: kelmo-situation-screens <folder>.

#include "data/SitePlan.h"
#include "session/SituationSession.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapPage.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/SituationWindow.h"
#include "windows/plan/tools/ScratchDatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace kelmo;

namespace {

// Six structures of the catalogue's first type: the store itself, then walls farther out.
void fillPlan(db::Connection& c, int plan) {
    const auto types = db::readStructureTypes(c);
    if (types.empty()) {
        return;
    }
    const auto kinds = db::listKindsOfType(c, types.front().number);
    if (kinds.isEmpty()) {
        return;
    }
    struct Place {
        double x1, y1, x2, y2;
        int staff;
    };
    const Place places[] = {{-6, -4, 6, 4, 2},        {20, -10, 45, 10, 25},
                            {-70, 30, -40, 60, 40},   {60, -120, 100, -80, 12},
                            {-260, -40, -220, 0, 60}, {380, 200, 430, 240, 8}};
    int n = 0;
    for (const Place& p : places) {
        const db::KindEntry& kind = kinds[n % kinds.size()];
        ++n;
        db::StructureRecord r;
        r.plan = plan;
        r.number = n;
        r.type = types.front().name;
        r.kind = kind.name;
        r.storeys = QString::number(1 + n % 3);
        r.staff = QString::number(p.staff);
        r.selected = {false, false, true, false};
        for (int i = 0; i < 4; ++i) {
            r.pressure[i] = static_cast<int>((kind.ranges[i].min + kind.ranges[i].max) / 2);
        }
        const double xs[4] = {p.x1, p.x2, p.x2, p.x1};
        const double ys[4] = {p.y1, p.y1, p.y2, p.y2};
        for (int i = 0; i < 4; ++i) {
            r.corners[2 * i] = QString::number(xs[i]);
            r.corners[2 * i + 1] = QString::number(ys[i]);
        }
        db::addStructure(c, r);
    }
    // An L-shaped workshop south of the store: an outline of six vertices.
    if (auto l = db::readStructure(c, plan, 2)) {
        l->number = n + 1;
        l->staff = QStringLiteral("30");
        db::setOutline(*l,
                       {{-60, -100}, {40, -100}, {40, -80}, {-35, -80}, {-35, -30}, {-60, -30}});
        db::addStructure(c, *l);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tools::reportMessagesOnStderr();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    QTemporaryDir temp;
    plan::PlanSession session;
    session.connectionString = tools::scratchDatabase(temp);
    if (session.connectionString.isEmpty()) {
        return 1;
    }
    try {
        db::Connection c(session.connectionString);
        session.planNumber = db::createPlan(c, QStringLiteral("Склад ВВ №3"));
        fillPlan(c, session.planNumber);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    plan::PlanEditorWindow editor(session);
    editor.show();
    editor.showPlanAreas();
    editor.findChild<QRadioButton*>(QStringLiteral("Option4"))->setChecked(true);
    editor.findChild<QLineEdit*>(QStringLiteral("Text14"))->setText(QStringLiteral("Тротил"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text12"))->setText(QStringLiteral("4520"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text11"))->setText(QStringLiteral("1000"));
    std::unique_ptr<plan::SituationWindow> window;
    QObject::connect(&editor, &plan::PlanEditorWindow::calculationRequested,
                     [&](std::shared_ptr<situation::Session> calculated) {
                         window = std::make_unique<plan::SituationWindow>(calculated, nullptr,
                                                                          session.connectionString);
                     });
    if (!editor.requestCalculation() || !window) {
        return 1;
    }
    editor.hide();
    window->resize(1340, 640);
    window->show();
    QApplication::processEvents();
    QTest::qWait(200);
    const QString png = QDir(folder).filePath(QStringLiteral("situation.png"));
    if (!window->grab().save(png)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(png));
        return 1;
    }
    // The map page of the same window, fitted to the plan.
    window->tabs()->setCurrentWidget(window->mapPage());
    QApplication::processEvents();
    QTest::qWait(200);
    const QString mapPng = QDir(folder).filePath(QStringLiteral("situation-map.png"));
    if (!window->grab().save(mapPng)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(mapPng));
        return 1;
    }
    window->session()
        .report(window->mapPage()->reportPicture())
        .save(QDir(folder).filePath(QStringLiteral("situation.docx")));
    window->session().writeTable(QDir(folder).filePath(QStringLiteral("situation.xlsx")));
    return 0;
}
