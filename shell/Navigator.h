#pragma once

#include "session/ZoneSession.h"
#include "shell/frmAbout.h"
#include "shell/frmDataSourse.h"
#include "shell/frmMain.h"
#include "windows/editors/frmBDKvv.h"
#include "windows/editors/frmBDZ.h"
#include "windows/plan/PlanSession.h"
#include "windows/plan/SituationWindow.h"
#include "windows/plan/frmPlan.h"
#include "windows/plan/frmSozdPM.h"
#include "windows/plan/frmViborPM.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmOutput.h"
#include "windows/zone/frmPar.h"
#include "windows/zone/frmZone.h"

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

    // The zone windows' database services; by default made from the connection string.
    void setZoneServices(zone::Services services);
    zone::Session& zoneSession() { return *m_zoneSession; }
    // The site-plan numbers of this run (gPlanNum, gStructureNum, gTypeNum).
    plan::PlanSession& planSession() { return m_planSession; }

    // Each creates the window if needed, shows and raises it.
    frmMain* showMainMenu();
    frmAbout* showAbout();
    frmDataSourse* showDataSourceDialog();
    zone::frmZone* showZoneInput();
    zone::frmPar* showZoneParameters();
    // A fresh results window for the session's last run; an older one is closed first.
    zone::frmOutput* showZoneResults();
    // The reference database editors, on the database of start-up.
    editors::frmBDKvv* showExplosivesEditor();
    editors::frmBDZ* showStructureTypesEditor();
    plan::frmPlan* showPlanEditor();
    // The plan dialogs belong to the editor and close with it; without an editor, nullptr.
    plan::frmSozdPM* showCreatePlan();
    plan::frmViborPM* showChoosePlan();
    // A fresh situation window for a calculated situation; an older one is closed first.
    plan::SituationWindow* showSituation(std::shared_ptr<situation::Session> situation);

    // The windows that exist now; nullptr for a window that is closed.
    frmMain* mainMenu() const { return m_mainMenu; }
    frmAbout* about() const { return m_about; }
    frmDataSourse* dataSourceDialog() const { return m_dataSource; }
    zone::frmZone* zoneInput() const { return m_zoneInput; }
    zone::frmPar* zoneParameters() const { return m_zoneParameters; }
    zone::frmOutput* zoneResults() const { return m_zoneResults; }
    editors::frmBDKvv* explosivesEditor() const { return m_explosivesEditor; }
    editors::frmBDZ* structureTypesEditor() const { return m_structureTypesEditor; }
    plan::frmPlan* planEditor() const { return m_planEditor; }
    plan::frmSozdPM* createPlanDialog() const { return m_createPlan; }
    plan::frmViborPM* choosePlanDialog() const { return m_choosePlan; }
    plan::SituationWindow* situationWindow() const { return m_situation; }

    // Closes and destroys every window.
    void closeAll();
    // "Выход": every window closes without a question and the program ends.
    void exitProgram();

private:
    zone::Services zoneServices() const;
    // A new top-level window that is destroyed when it is closed and keeps its place.
    template <typename W, typename... Args> W* create(Args&&... args);
    void openWorkWindow(int window);

    ui::Settings* m_settings;
    QString m_connectionString;
    std::optional<zone::Services> m_zoneServices;
    std::unique_ptr<zone::Session> m_zoneSession;
    plan::PlanSession m_planSession;
    bool m_closingAll = false;

    QPointer<frmMain> m_mainMenu;
    QPointer<frmAbout> m_about;
    QPointer<frmDataSourse> m_dataSource;
    QPointer<zone::frmZone> m_zoneInput;
    QPointer<zone::frmPar> m_zoneParameters;
    QPointer<zone::frmOutput> m_zoneResults;
    QPointer<editors::frmBDKvv> m_explosivesEditor;
    QPointer<editors::frmBDZ> m_structureTypesEditor;
    QPointer<plan::frmPlan> m_planEditor;
    QPointer<plan::frmSozdPM> m_createPlan;
    QPointer<plan::frmViborPM> m_choosePlan;
    QPointer<plan::SituationWindow> m_situation;
};

} // namespace kelmo::shell
