// Screenshots of the plan window with the scenarios of a plan around three stores of
// explosives, and of the worst-case situation window that "РАСЧЕТ" over every scenario opens
// with its map of all the scenarios, for looking at them and for the README and the manual. Works
// on a copy of the program folder's database. Usage: kelmo-scenario-screens <folder>.

#include "data/Scenarios.h"
#include "data/SitePlan.h"
#include "session/SituationSession.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
#include "windows/map/PlanMapPage.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/ScenarioPanel.h"
#include "windows/plan/SituationWindow.h"
#include "windows/plan/tools/ScratchDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

using namespace kelmo;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tools::reportMessagesOnStderr();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    QTemporaryDir temp;
    const QString connection = tools::scratchDatabase(temp);
    if (connection.isEmpty()) {
        return 1;
    }
    plan::PlanSession session;
    try {
        db::Connection c(connection);
        session.planNumber = tools::addSampleStorePlan(c);
        const struct {
            const char* name;
            double mass;
            double x;
            double y;
        } stores[] = {{"Хранилище №1", 1000, 0, 0},
                      {"Хранилище №2", 2500, 150, -150},
                      {"Площадка разгрузки", 300, -240, 40}};
        for (const auto& store : stores) {
            db::ScenarioRecord r;
            r.plan = session.planNumber;
            r.name = QString::fromUtf8(store.name);
            r.explosive = QStringLiteral("Тротил");
            r.charge.chargeMassKg = store.mass;
            r.point = {store.x, store.y};
            db::addScenario(c, r);
        }
        db::markScenarioUsed(c, session.planNumber, QStringLiteral("Хранилище №2"));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    const WindowContext context = WindowContext::forDatabase(connection);
    plan::PlanEditorWindow editor(context, session);
    editor.resize(1340, 740);
    editor.show();
    editor.showPlanAreas();
    if (!ui::saveScreenshot(&editor, folder, QStringLiteral("plan-scenarios"), 200)) {
        return 1;
    }

    std::unique_ptr<plan::SituationWindow> window;
    QObject::connect(&editor, &plan::PlanEditorWindow::calculationRequested,
                     [&](std::shared_ptr<situation::Session> calculated) {
                         window = std::make_unique<plan::SituationWindow>(context, calculated);
                     });
    editor.findChild<QCheckBox*>(QStringLiteral("chkAllScenarios"))->setChecked(true);
    if (!editor.requestCalculation() || !window) {
        return 1;
    }
    editor.hide();
    window->resize(1340, 640);
    window->show();
    if (!ui::saveScreenshot(window.get(), folder, QStringLiteral("situation-worst"), 200)) {
        return 1;
    }
    // Its map: every scenario's circles around its store, the structures by the worst case.
    window->tabs()->setCurrentWidget(window->mapPage());
    window->resize(1340, 740);
    if (!ui::saveScreenshot(window.get(), folder, QStringLiteral("situation-worst-map"), 200)) {
        return 1;
    }
    // Its documents, for looking at them.
    window->session()
        .report(window->mapPage()->reportPicture())
        .save(QDir(folder).filePath(QStringLiteral("situation-worst.docx")));
    window->session().writeTable(QDir(folder).filePath(QStringLiteral("situation-worst.xlsx")));
    return 0;
}
