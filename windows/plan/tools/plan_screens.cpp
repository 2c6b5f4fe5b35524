// Screenshots of the site plan editor with a plan of three structures, for looking at the
// layout and for the README. Works on a copy of the program folder's database.
// Usage: kelmo-plan-screens <folder>.

#include "data/SitePlan.h"
#include "ui/Messages.h"
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
    QApplication::processEvents();
    QTest::qWait(150);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

// Three structures of the first type of the catalogue around a store of explosives.
void fillPlan(db::Connection& c, int plan) {
    const auto types = db::readStructureTypes(c);
    if (types.empty()) {
        return;
    }
    const auto kinds = db::listKindsOfType(c, types.front().number);
    const QList<std::array<double, 8>> corners = {{-40, 30, -40, 60, -10, 60, -10, 30},
                                                  {25, -15, 25, 10, 70, 10, 70, -15},
                                                  {-35, -70, -35, -45, 5, -45, 5, -70}};
    for (int n = 1; n <= 3 && n <= kinds.size(); ++n) {
        const db::KindEntry& kind = kinds[n - 1];
        db::StructureRecord r;
        r.plan = plan;
        r.number = n;
        r.type = types.front().name;
        r.kind = kind.name;
        r.storeys = QString::number(n + 1);
        r.staff = QString::number(15 * n);
        r.selected = {n == 3, false, n != 3, false};
        for (int i = 0; i < 4; ++i) {
            r.pressure[i] = static_cast<int>((kind.ranges[i].min + kind.ranges[i].max) / 2);
        }
        for (int i = 0; i < 8; ++i) {
            r.corners[i] = QString::number(corners[n - 1][i]);
        }
        db::addStructure(c, r);
    }
    // An L-shaped building north-east of the store: an outline of six vertices.
    if (const auto first = db::readStructure(c, plan, 1)) {
        db::StructureRecord l = *first;
        l.number = 4;
        l.staff = QStringLiteral("40");
        db::setOutline(l, {{20, 30}, {80, 30}, {80, 45}, {40, 45}, {40, 75}, {20, 75}});
        db::addStructure(c, l);
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
        db::createPlan(c, QStringLiteral("Цех сборки"));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    plan::PlanEditorWindow editor(session);
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
    save(&editor, folder, QStringLiteral("plan-04-outline"));
    editor.nextStructure();
    save(&editor, folder, QStringLiteral("plan-04-offer"));

    plan::CreatePlanDialog create(session);
    create.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("Склад ВВ №4"));
    create.show();
    save(&create, folder, QStringLiteral("plan-05-create"));
    plan::ChoosePlanDialog choose(session);
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
