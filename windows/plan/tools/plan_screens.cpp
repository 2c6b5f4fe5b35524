// Screenshots of the site plan editor with a plan of three structures, for looking at the
// layout and for the README. Works on a copy of the program folder's database.
// Usage: kelmo-plan-screens <folder>.

#include "data/SitePlan.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
#include "windows/plan/ChoosePlanDialog.h"
#include "windows/plan/CreatePlanDialog.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/tools/ScratchDatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace kelmo;

namespace {

void save(QWidget* w, const QString& folder, const QString& name) {
    kelmo::ui::saveScreenshot(w, folder, name);
}

} // namespace

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
        session.planNumber = db::createPlan(c, QStringLiteral("Склад ВВ №3"));
        // Three structures around a store of explosives.
        tools::addSampleStructures(c, session.planNumber,
                                   {{-40, 30, -10, 60, 15, 2},
                                    {25, -15, 70, 10, 30, 3},
                                    {-35, -70, 5, -45, 45, 4, false}});
        db::createPlan(c, QStringLiteral("Цех сборки"));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    const WindowContext context = WindowContext::forDatabase(connection);
    plan::PlanEditorWindow editor(context, session);
    editor.resize(1340, 700);
    editor.show();
    save(&editor, folder, QStringLiteral("plan-01-opened"));

    editor.showPlanAreas();
    editor.findChild<QComboBox*>(QStringLiteral("Combo4"))->setCurrentIndex(0);
    editor.findChild<QLineEdit*>(QStringLiteral("Text11"))->setText(QStringLiteral("500"));
    save(&editor, folder, QStringLiteral("plan-02-chosen")); // opens on its first structure
    editor.nextStructure();
    editor.nextStructure();
    save(&editor, folder, QStringLiteral("plan-02-structure"));

    QTest::mouseClick(editor.findChild<QLineEdit*>(QStringLiteral("txtX3")), Qt::LeftButton);
    save(&editor, folder, QStringLiteral("plan-03-corner"));

    editor.nextStructure();
    editor.nextStructure();
    save(&editor, folder, QStringLiteral("plan-04-offer"));

    plan::CreatePlanDialog create(context, session);
    create.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("Склад ВВ №4"));
    create.show();
    save(&create, folder, QStringLiteral("plan-05-create"));
    plan::ChoosePlanDialog choose(context, session);
    choose.show();
    save(&choose, folder, QStringLiteral("plan-06-choose"));
    choose.close();

    // A new plan created while another one is shown: the editor opens on its empty №1.
    QObject::connect(&create, &plan::CreatePlanDialog::planActivated, &editor,
                     &plan::PlanEditorWindow::showPlanAreas);
    editor.nextStructure(); // back on a structure of the old plan first
    editor.previousStructure();
    create.findChild<QPushButton*>(QStringLiteral("cmdOk"))->click();
    save(&editor, folder, QStringLiteral("plan-07-created"));
    return 0;
}
