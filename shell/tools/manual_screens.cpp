// Pictures of the windows for the user manual: the main menu, About, the zone input window,
// the parameters dialog and every page of the results window after the worked run (1000 kg,
// 4520 kJ/kg, in the air) with a point calculation at 50 m and a range chart from 1 to 101 m;
// the two reference editors, each with a record open for a change; the site plan dialogs and
// the plan editor with a structure of a new plan. The plan is made in a copy of the program
// folder's database, which stays as it was. Usage: kelmo-manual-screens <folder>. Run it with
// QT_SCALE_FACTOR=2, so that a picture printed at the manual's text width has about 200 dots per
// inch (scripts/manual-pictures.sh).

#include "data/DataSource.h"
#include "data/Database.h"
#include "shell/Navigator.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
#include "windows/editors/ExplosivesEditor.h"
#include "windows/editors/StructureTypesEditor.h"
#include "windows/plan/ChoosePlanDialog.h"
#include "windows/plan/CreatePlanDialog.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/zone/CalculationParametersWindow.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace kelmo::zone;

namespace {

void save(QWidget* w, const QString& folder, const char* name) {
    kelmo::ui::saveScreenshot(w, folder, QString::fromLatin1(name));
}

template <typename T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

void setText(QWidget* w, const char* name, const QString& text) {
    child<QLineEdit>(w, name)->setText(text);
}

// The reference editors, each with its first record open for a change.
void editorScreens(kelmo::shell::Navigator& navigator, const QString& folder) {
    auto* explosives = navigator.showExplosivesEditor();
    explosives->resize(explosives->sizeHint().expandedTo(QSize(460, 560)));
    child<QTableWidget>(explosives, "grdTable")->selectRow(0);
    child<QTableWidget>(explosives, "grdTable")->cellClicked(0, 0);
    child<QPushButton>(explosives, "cmdIzm")->click();
    save(explosives, folder, "editor-explosives");
    child<QPushButton>(explosives, "cmdCansel")->click();
    explosives->close();

    auto* kinds = navigator.showStructureTypesEditor();
    kinds->resize(1080, 720);
    child<QTableWidget>(kinds, "grdTable")->selectRow(0);
    child<QTableWidget>(kinds, "grdTable")->cellClicked(0, 0);
    child<QPushButton>(kinds, "cmdIzm")->click();
    save(kinds, folder, "editor-structures");
    child<QPushButton>(kinds, "cmdCansel")->click();
    kinds->close();
}

// The plan dialogs, and the editor with the first structure of a new plan.
void planScreens(kelmo::shell::Navigator& navigator, const QString& folder) {
    auto* editor = navigator.showPlanEditor();
    editor->resize(1340, 640);
    auto* create = navigator.showCreatePlan();
    setText(create, "Text1", QStringLiteral("Склад ВВ №1"));
    save(create, folder, "plan-create");
    if (!create->createPlan()) {
        return;
    }
    auto* explosives = child<QComboBox>(editor, "Combo4");
    const int tnt = explosives->findText(QStringLiteral("Тротил"), Qt::MatchStartsWith);
    if (tnt >= 0) {
        explosives->setCurrentIndex(tnt);
    }
    setText(editor, "Text11", QStringLiteral("1000"));
    setText(editor, "Text15", QStringLiteral("0"));
    setText(editor, "Text16", QStringLiteral("0"));
    setText(editor, "Text1", QStringLiteral("2"));
    setText(editor, "Text2", QStringLiteral("25"));
    const char* corners[] = {"txtX1", "txtY1", "txtX2", "txtY2",
                             "txtX3", "txtY3", "txtX4", "txtY4"};
    const char* values[] = {"40", "30", "40", "55", "70", "55", "70", "30"};
    for (int i = 0; i < 8; ++i) {
        setText(editor, corners[i], QString::fromLatin1(values[i]));
    }
    if (!editor->addStructure()) {
        return;
    }
    save(editor, folder, "plan-editor");
    save(navigator.showChoosePlan(), folder, "plan-choose");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Келмо"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    kelmo::shell::Navigator navigator;
    if (!kelmo::testConnectionString(kelmo::defaultConnectionString())) {
        std::fprintf(stderr, "the database in the program folder cannot be opened\n");
        return 1;
    }
    // A copy of the program's database: the pictures add a plan to it.
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("bdKelmo.db"));
    const QString original =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("bdKelmo.db"));
    if (!scratch.isValid() || !QFile::copy(original, copy)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(original));
        return 1;
    }
    navigator.setConnectionString(kelmo::db::fileConnectionString(copy));
    kelmo::ui::Messages::setInterceptor([](const kelmo::ui::Message& m) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        return QMessageBox::Ok;
    });

    auto* menu = navigator.showMainMenu();
    save(menu, folder, "main-menu");
    auto* about = navigator.showAbout();
    save(about, folder, "about");
    about->close();

    auto* zone = navigator.showZoneInput();
    auto* combo = zone->findChild<QComboBox*>(QStringLiteral("Combo4"));
    const int tnt = combo->findText(QStringLiteral("Тротил"), Qt::MatchStartsWith);
    if (tnt >= 0) {
        combo->setCurrentIndex(tnt);
    }
    zone->findChild<QRadioButton*>(QStringLiteral("Option5"))->setChecked(true);
    save(zone, folder, "zone-input");
    auto* par = navigator.showZoneParameters();
    save(par, folder, "zone-parameters");
    par->close();
    zone = navigator.showZoneInput();

    if (!zone->runCalculation()) {
        return 1;
    }
    auto* out = navigator.zoneResults();
    out->resize(1366, 740);
    out->findChild<QLineEdit*>(QStringLiteral("GOX"))->setText(QStringLiteral("50"));
    out->calculatePoint();
    auto* tabs = out->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    const char* pages[] = {"results", "chart-kgf", "chart-kpa", "grid", "probit"};
    for (int i = 0; i < tabs->count() && i < 5; ++i) {
        tabs->setCurrentIndex(i);
        save(out, folder, pages[i]);
    }
    tabs->setCurrentIndex(1);
    out->findChild<QLineEdit*>(QStringLiteral("Rast1"))->setText(QStringLiteral("1"));
    out->findChild<QLineEdit*>(QStringLiteral("Rast2"))->setText(QStringLiteral("101"));
    out->buildRangeChart();
    save(out, folder, "chart-range");
    out->close();

    editorScreens(navigator, folder);
    planScreens(navigator, folder);
    return 0;
}
