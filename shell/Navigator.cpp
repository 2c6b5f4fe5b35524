#include "shell/Navigator.h"

#include "data/DataSource.h"
#include "data/DatabaseFile.h"
#include "shell/AboutDialog.h"
#include "shell/DataSourceDialog.h"
#include "shell/MainWindow.h"
#include "ui/BackgroundWork.h"
#include "ui/Messages.h"
#include "ui/WindowPlacement.h"
#include "windows/zone/CalculationParametersWindow.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include <QCoreApplication>

namespace kelmo::shell {

namespace {

template <typename W> W* present(W* window) {
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

// The name a window's place is kept under: its class name without the namespaces.
QString placementKey(const QWidget* window) {
    const QString name = QString::fromLatin1(window->metaObject()->className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}

} // namespace

template <typename W, typename... Args> W* Navigator::create(Args&&... args) {
    auto* window = new W(std::forward<Args>(args)...);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (m_settings != nullptr) {
        ui::WindowPlacement::attach(window, placementKey(window), *m_settings);
    }
    return window;
}

Navigator::Navigator(ui::Settings* settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_zoneSession(std::make_unique<zone::Session>()) {}

Navigator::~Navigator() {
    closeAll();
}

void Navigator::setConnectionString(const QString& connectionString) {
    m_connectionString = connectionString;
}

void Navigator::setReferenceLookups(ReferenceLookups reference) {
    m_reference = std::move(reference);
}

WindowContext Navigator::windowContext() const {
    if (m_reference) {
        return {m_connectionString, *m_reference, m_settings};
    }
    return WindowContext::forDatabase(m_connectionString, m_settings);
}

bool Navigator::start() {
    // An installed program makes the user's working database from the seed on its first start.
    try {
        db::prepareWorkingDatabase();
    } catch (const DatabaseError& e) {
        ui::Messages::critical(nullptr, QStringLiteral("Внимание!"), QString::fromUtf8(e.what()));
    }
    const QString name = readDataSourceName();
    // A database that was reached but refused as it stands (made by a newer program, not the
    // program's, an upgrade that failed) is named with its reason; start-up goes on with the
    // next connection string.
    // Each test runs on a thread of its own: a server that never answers shows the busy sign
    // with «Отмена», which gives up on that connection string.
    const auto reaches = [](const QString& connectionString) {
        struct Test {
            bool reached = false;
            QString refusal;
        };
        const std::optional<Test> test = ui::runInBackground(
            nullptr, QStringLiteral("Подключение к базе данных…"), [connectionString] {
                Test t;
                t.reached = testConnectionString(connectionString, &t.refusal);
                return t;
            });
        if (!test) {
            return false;
        }
        if (test->reached) {
            return true;
        }
        const QString& refusal = test->refusal;
        if (!refusal.isEmpty()) {
            ui::Messages::critical(nullptr, QStringLiteral("Внимание!"), refusal);
        }
        return false;
    };
    if (reaches(defaultConnectionString())) {
        m_connectionString = defaultConnectionString();
    } else if (reaches(namedConnectionString(name))) {
        m_connectionString = namedConnectionString(name);
    } else {
        ui::Messages::critical(nullptr, QStringLiteral("Внимание!"),
                               QStringLiteral("Невозможно подключиться к базе данных, установите "
                                              "имя источника данных ODBC!"));
        showDataSourceDialog()->setDataSourceName(name);
        return false;
    }
    showMainMenu();
    return true;
}

MainWindow* Navigator::showMainMenu() {
    if (!m_mainMenu) {
        m_mainMenu = create<MainWindow>(QList<MainWindow::WorkWindow>{
            MainWindow::WorkWindow::Zone, MainWindow::WorkWindow::Plan,
            MainWindow::WorkWindow::StructureTypes, MainWindow::WorkWindow::Explosives});
        connect(m_mainMenu, &MainWindow::workWindowRequested, this,
                [this](MainWindow::WorkWindow w) { openWorkWindow(static_cast<int>(w)); });
        connect(m_mainMenu, &MainWindow::aboutRequested, this, &Navigator::showAbout);
        connect(m_mainMenu, &MainWindow::exitRequested, this, &Navigator::exitProgram);
    }
    return present(m_mainMenu.data());
}

void Navigator::openWorkWindow(int window) {
    QWidget* opened = nullptr;
    switch (static_cast<MainWindow::WorkWindow>(window)) {
    case MainWindow::WorkWindow::Zone:
        opened = showZoneInput();
        break;
    case MainWindow::WorkWindow::StructureTypes:
        opened = showStructureTypesEditor();
        break;
    case MainWindow::WorkWindow::Explosives:
        opened = showExplosivesEditor();
        break;
    case MainWindow::WorkWindow::Plan:
        opened = showPlanEditor();
        break;
    default:
        break;
    }
    // The work window is shown first, so that the program never has no window open.
    if (opened != nullptr && m_mainMenu) {
        m_mainMenu->close();
    }
}

AboutDialog* Navigator::showAbout() {
    if (!m_about) {
        m_about = create<AboutDialog>();
    }
    return present(m_about.data());
}

DataSourceDialog* Navigator::showDataSourceDialog() {
    if (!m_dataSource) {
        m_dataSource = create<DataSourceDialog>();
        connect(m_dataSource, &DataSourceDialog::dataSourceConnected, this, [this] {
            if (start() && m_dataSource) {
                m_dataSource->close();
            }
        });
    }
    return present(m_dataSource.data());
}

zone::ZoneInputWindow* Navigator::showZoneInput() {
    if (!m_zoneInput) {
        m_zoneInput = create<zone::ZoneInputWindow>(windowContext(), *m_zoneSession);
        connect(m_zoneInput, &zone::ZoneInputWindow::resultsRequested, this,
                &Navigator::showZoneResults);
        connect(m_zoneInput, &zone::ZoneInputWindow::parametersRequested, this,
                &Navigator::showZoneParameters);
        connect(m_zoneInput, &zone::ZoneInputWindow::backRequested, this, &Navigator::showMainMenu);
        connect(m_zoneInput, &zone::ZoneInputWindow::exitRequested, this, &Navigator::exitProgram);
    }
    return present(m_zoneInput.data());
}

zone::CalculationParametersWindow* Navigator::showZoneParameters() {
    if (!m_zoneParameters) {
        m_zoneParameters =
            create<zone::CalculationParametersWindow>(windowContext(), *m_zoneSession);
        const auto back = [this] {
            if (!m_closingAll) {
                showZoneInput();
            }
        };
        connect(m_zoneParameters, &zone::CalculationParametersWindow::parametersAccepted, this,
                back);
        connect(m_zoneParameters, &zone::CalculationParametersWindow::backRequested, this, back);
    }
    return present(m_zoneParameters.data());
}

zone::ZoneResultsWindow* Navigator::showZoneResults() {
    if (m_zoneResults) {
        // Not later: the next line would find it again.
        const QPointer<zone::ZoneResultsWindow> old = m_zoneResults;
        m_zoneResults = nullptr;
        old->disconnect(this);
        old->close();
        delete old.data();
    }
    m_zoneResults = create<zone::ZoneResultsWindow>(windowContext(), *m_zoneSession);
    connect(m_zoneResults, &zone::ZoneResultsWindow::backRequested, this, [this] {
        if (!m_closingAll) {
            showZoneInput();
        }
    });
    m_zoneResults->present();
    return present(m_zoneResults.data());
}

editors::ExplosivesEditor* Navigator::showExplosivesEditor() {
    if (!m_explosivesEditor) {
        m_explosivesEditor = create<editors::ExplosivesEditor>(windowContext());
        connect(m_explosivesEditor, &editors::ExplosivesEditor::backRequested, this,
                &Navigator::showMainMenu);
        connect(m_explosivesEditor, &editors::ExplosivesEditor::exitRequested, this,
                &Navigator::exitProgram);
    }
    return present(m_explosivesEditor.data());
}

editors::StructureTypesEditor* Navigator::showStructureTypesEditor() {
    if (!m_structureTypesEditor) {
        m_structureTypesEditor = create<editors::StructureTypesEditor>(windowContext());
        connect(m_structureTypesEditor, &editors::StructureTypesEditor::backRequested, this,
                &Navigator::showMainMenu);
        connect(m_structureTypesEditor, &editors::StructureTypesEditor::exitRequested, this,
                &Navigator::exitProgram);
    }
    return present(m_structureTypesEditor.data());
}

plan::PlanEditorWindow* Navigator::showPlanEditor() {
    if (!m_planEditor) {
        m_planEditor = create<plan::PlanEditorWindow>(windowContext(), m_planSession);
        connect(m_planEditor, &plan::PlanEditorWindow::backRequested, this, [this] {
            showMainMenu();
            m_planEditor->close();
        });
        connect(m_planEditor, &plan::PlanEditorWindow::exitRequested, this,
                &Navigator::exitProgram);
        connect(m_planEditor, &plan::PlanEditorWindow::createPlanRequested, this,
                &Navigator::showCreatePlan);
        connect(m_planEditor, &plan::PlanEditorWindow::choosePlanRequested, this,
                &Navigator::showChoosePlan);
        connect(m_planEditor, &plan::PlanEditorWindow::calculationRequested, this,
                &Navigator::showSituation);
    }
    return present(m_planEditor.data());
}

plan::SituationWindow* Navigator::showSituation(std::shared_ptr<situation::Session> situation) {
    if (m_situation) {
        const QPointer<plan::SituationWindow> old = m_situation;
        m_situation = nullptr;
        old->close();
    }
    m_situation = create<plan::SituationWindow>(windowContext(), std::move(situation));
    return present(m_situation.data());
}

plan::CreatePlanDialog* Navigator::showCreatePlan() {
    if (!m_planEditor) {
        return nullptr;
    }
    if (!m_createPlan) {
        m_createPlan =
            create<plan::CreatePlanDialog>(windowContext(), m_planSession, m_planEditor.data());
        connect(m_createPlan, &plan::CreatePlanDialog::planActivated, m_planEditor.data(),
                &plan::PlanEditorWindow::showPlanAreas);
    }
    return present(m_createPlan.data());
}

plan::ChoosePlanDialog* Navigator::showChoosePlan() {
    if (!m_planEditor) {
        return nullptr;
    }
    if (!m_choosePlan) {
        m_choosePlan =
            create<plan::ChoosePlanDialog>(windowContext(), m_planSession, m_planEditor.data());
        connect(m_choosePlan, &plan::ChoosePlanDialog::planActivated, m_planEditor.data(),
                &plan::PlanEditorWindow::showPlanAreas);
        connect(m_choosePlan, &plan::ChoosePlanDialog::createPlanRequested, this,
                &Navigator::showCreatePlan);
    }
    return present(m_choosePlan.data());
}

void Navigator::closeAll() {
    m_closingAll = true;
    if (m_situation) {
        m_situation->close();
    }
    const QList<QPointer<QWidget>> windows{m_createPlan.data(),
                                           m_choosePlan.data(),
                                           m_planEditor.data(),
                                           m_zoneResults.data(),
                                           m_zoneParameters.data(),
                                           m_zoneInput.data(),
                                           m_explosivesEditor.data(),
                                           m_structureTypesEditor.data(),
                                           m_about.data(),
                                           m_dataSource.data(),
                                           m_mainMenu.data()};
    for (const QPointer<QWidget>& window : windows) {
        if (window) {
            window->close();
            delete window.data(); // a hidden window, or one that refuses to close, goes too
        }
    }
    m_closingAll = false;
}

void Navigator::exitProgram() {
    closeAll();
    QCoreApplication::quit();
}

} // namespace kelmo::shell
