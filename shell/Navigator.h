#pragma once

#include "session/ZoneSession.h"
#include "shell/AboutDialog.h"
#include "shell/DataSourceDialog.h"
#include "shell/MainWindow.h"
#include "windows/WindowContext.h"
#include "windows/editors/ExplosivesEditor.h"
#include "windows/editors/StructureTypesEditor.h"
#include "windows/plan/ChoosePlanDialog.h"
#include "windows/plan/CreatePlanDialog.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/PlanSession.h"
#include "windows/plan/SituationWindow.h"
#include "windows/zone/CalculationParametersWindow.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

namespace kelmo::ui {
class Settings;
}

namespace kelmo::shell {

// The one place that creates the windows, hands them their sessions and services and wires
// their signals to each other. It holds the connection string of start-up.
//
// Every window exists at most once: it is created when first shown and destroyed when
// closed, so its contents are lost on close; the sessions live on. The parameters dialog is
// the exception the user sees: it is only ever hidden, and keeps its texts.
//
// With the program's settings, every window it creates takes back its last place and size,
// and the zone windows get the settings to remember the charge, the parameters and the save
// folders. Without settings (tests, tools) nothing is remembered.
class Navigator final : public QObject {
    Q_OBJECT

public:
    // The settings, when given, must outlive the navigator.
    explicit Navigator(ui::Settings* settings = nullptr, QObject* parent = nullptr);
    ~Navigator() override;

    // Start-up: finds a connection string that works and opens the main menu, or tells the
    // user and opens the data-source dialog. Returns true when the main menu opened.
    bool start();

    const QString& connectionString() const { return m_connectionString; }
    void setConnectionString(const QString& connectionString);

    // The reference lookups every window is given; by default made from the connection
    // string. Tests put their own in.
    void setReferenceLookups(ReferenceLookups reference);
    zone::Session& zoneSession() { return *m_zoneSession; }
    // The site-plan numbers of this run (planNumber, structureNumber, typeNumber).
    plan::PlanSession& planSession() { return m_planSession; }

    // Each creates the window if needed, shows and raises it.
    MainWindow* showMainMenu();
    AboutDialog* showAbout();
    DataSourceDialog* showDataSourceDialog();
    zone::ZoneInputWindow* showZoneInput();
    zone::CalculationParametersWindow* showZoneParameters();
    // A fresh results window for the session's last run; an older one is closed first.
    zone::ZoneResultsWindow* showZoneResults();
    // The reference database editors, on the database of start-up.
    editors::ExplosivesEditor* showExplosivesEditor();
    editors::StructureTypesEditor* showStructureTypesEditor();
    plan::PlanEditorWindow* showPlanEditor();
    // The plan dialogs belong to the editor and close with it; without an editor, nullptr.
    plan::CreatePlanDialog* showCreatePlan();
    plan::ChoosePlanDialog* showChoosePlan();
    // A fresh situation window for a calculated situation; an older one is closed first.
    plan::SituationWindow* showSituation(std::shared_ptr<situation::Session> situation);

    // The windows that exist now; nullptr for a window that is closed.
    MainWindow* mainMenu() const { return m_mainMenu; }
    AboutDialog* about() const { return m_about; }
    DataSourceDialog* dataSourceDialog() const { return m_dataSource; }
    zone::ZoneInputWindow* zoneInput() const { return m_zoneInput; }
    zone::CalculationParametersWindow* zoneParameters() const { return m_zoneParameters; }
    zone::ZoneResultsWindow* zoneResults() const { return m_zoneResults; }
    editors::ExplosivesEditor* explosivesEditor() const { return m_explosivesEditor; }
    editors::StructureTypesEditor* structureTypesEditor() const { return m_structureTypesEditor; }
    plan::PlanEditorWindow* planEditor() const { return m_planEditor; }
    plan::CreatePlanDialog* createPlanDialog() const { return m_createPlan; }
    plan::ChoosePlanDialog* choosePlanDialog() const { return m_choosePlan; }
    plan::SituationWindow* situationWindow() const { return m_situation; }

    // Closes and destroys every window.
    void closeAll();
    // "Выход": every window closes without a question and the program ends.
    void exitProgram();

private:
    // What each window is given: the connection string, the lookups and the settings.
    WindowContext windowContext() const;
    // A new top-level window that is destroyed when it is closed and keeps its place.
    template <typename W, typename... Args> W* create(Args&&... args);
    void openWorkWindow(int window);

    ui::Settings* m_settings;
    QString m_connectionString;
    std::optional<ReferenceLookups> m_reference;
    std::unique_ptr<zone::Session> m_zoneSession;
    plan::PlanSession m_planSession;
    bool m_closingAll = false;

    QPointer<MainWindow> m_mainMenu;
    QPointer<AboutDialog> m_about;
    QPointer<DataSourceDialog> m_dataSource;
    QPointer<zone::ZoneInputWindow> m_zoneInput;
    QPointer<zone::CalculationParametersWindow> m_zoneParameters;
    QPointer<zone::ZoneResultsWindow> m_zoneResults;
    QPointer<editors::ExplosivesEditor> m_explosivesEditor;
    QPointer<editors::StructureTypesEditor> m_structureTypesEditor;
    QPointer<plan::PlanEditorWindow> m_planEditor;
    QPointer<plan::CreatePlanDialog> m_createPlan;
    QPointer<plan::ChoosePlanDialog> m_choosePlan;
    QPointer<plan::SituationWindow> m_situation;
};

} // namespace kelmo::shell
