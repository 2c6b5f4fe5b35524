// A screenshot of the situation window after "РАСЧЕТ" on a plan of six structures around a
// store of explosives, and its Word report, for looking at both and for the README. Works on
// a copy of the program folder's database.
// Usage: kelmo-situation-screens <folder>.

#include "data/SitePlan.h"
#include "session/SituationSession.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
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
        // An L-shaped workshop south of the store: an outline of six vertices.
        if (auto l = db::readStructure(c, session.planNumber, 2)) {
            l->number = 7;
            l->staff = QStringLiteral("30");
            db::setOutline(
                *l, {{-60, -100}, {40, -100}, {40, -80}, {-35, -80}, {-35, -30}, {-60, -30}});
            db::addStructure(c, *l);
        }
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    const WindowContext context = WindowContext::forDatabase(connection);
    plan::PlanEditorWindow editor(context, session);
    editor.show();
    editor.showPlanAreas();
    editor.findChild<QRadioButton*>(QStringLiteral("Option4"))->setChecked(true);
    editor.findChild<QLineEdit*>(QStringLiteral("Text14"))->setText(QStringLiteral("Тротил"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text12"))->setText(QStringLiteral("4520"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text11"))->setText(QStringLiteral("1000"));
    std::unique_ptr<plan::SituationWindow> window;
    QObject::connect(&editor, &plan::PlanEditorWindow::calculationRequested,
                     [&](std::shared_ptr<situation::Session> calculated) {
                         window = std::make_unique<plan::SituationWindow>(context, calculated);
                     });
    if (!editor.requestCalculation() || !window) {
        return 1;
    }
    editor.hide();
    window->resize(1340, 640);
    window->show();
    if (!ui::saveScreenshot(window.get(), folder, QStringLiteral("situation"), 200)) {
        return 1;
    }
    // The map page of the same window, fitted to the plan.
    window->tabs()->setCurrentWidget(window->mapPage());
    if (!ui::saveScreenshot(window.get(), folder, QStringLiteral("situation-map"), 200)) {
        return 1;
    }
    window->session()
        .report(window->mapPage()->reportPicture())
        .save(QDir(folder).filePath(QStringLiteral("situation.docx")));
    window->session().writeTable(QDir(folder).filePath(QStringLiteral("situation.xlsx")));
    return 0;
}
