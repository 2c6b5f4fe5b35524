#pragma once

#include "data/SitePlan.h"
#include "windows/WindowContext.h"
#include "windows/plan/PlanSession.h"

#include <QList>
#include <QMainWindow>
#include <QPolygonF>

#include <atomic>

#include <memory>
#include <optional>

namespace Ui {
class PlanEditorWindow;
}

class QAction;
class QActionGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QUndoStack;

namespace kelmo::ui {
class ChargePanel;
}

namespace kelmo::map {
class PlanMapView;
struct PlanMapModel;
enum class MapTool;
} // namespace kelmo::map

namespace kelmo::situation {
class Session;
}

namespace kelmo::plan {

class ScenarioPanel;
class StructureEditor;
struct PlanLoad;

// The site plan editor: the charge of the situation and the structures of the current plan,
// one at a time by number.
class PlanEditorWindow final : public QMainWindow {
    Q_OBJECT

public:
    PlanEditorWindow(const WindowContext& context, PlanSession& session, QWidget* parent = nullptr);
    ~PlanEditorWindow() override;

    // A plan was created or chosen (its number is in the session): the charge, the structures
    // on the plan's first one, the map and "РАСЧЕТ" appear.
    void showPlanAreas();
    bool planAreasShown() const { return m_planShown; }

    // The structure actions, as the buttons run them.
    void nextStructure();     // ">"
    void previousStructure(); // "<"
    bool addStructure();
    bool changeStructure();
    bool deleteStructure();
    // Deletes the current plan after a question naming it.
    bool deleteCurrentPlan();
    // Adds the structures of a CSV file to the current plan in one transaction; a file with a
    // bad line adds nothing and the message lists the refused lines.
    bool importStructuresFile(const QString& path);
    // The plan's structures were replaced by an imported general plan: the editor shows the
    // first of them and the map all of them.
    void planImported();

    // The map of the current plan beside the editor.
    map::PlanMapView* planMap() const { return m_map; }

    // ---- Editing on the map ----
    // Each edit of a structure, on the map or by the form's buttons, is one step of the undo
    // history and one database transaction; a step the database refuses leaves the map as
    // the database holds it, after a message.

    QUndoStack* undoStack() const { return m_undo; }
    // The map's tool and the toolbar action that chooses it.
    void setMapTool(map::MapTool tool);
    QAction* toolAction(map::MapTool tool) const;

    // The storage point moved to a plan point: the X/Y fields follow (to the centimetre).
    void placeCharge(QPointF planPoint);
    // The structure takes a new outline (a dragged vertex or the whole structure moved, a
    // vertex inserted or removed).
    bool editOutline(int number, const QPolygonF& outline);
    // A new structure with the outline and the form's type, kind, storeys, staff and
    // thresholds, after the plan's last one.
    bool addDrawnStructure(const QPolygonF& outline);

    // "РАСЧЕТ": checks the charge fields as the zone input window does and calculates the
    // situation of the current plan; on success asks for its window. Returns false after a
    // message (a field that is not a number, a plan without structures, a database error).
    bool requestCalculation();

    // The plan's scenarios beside the charge; with its option "все сценарии" checked,
    // "РАСЧЕТ" calculates every scenario and asks for the window of the worst case.
    ScenarioPanel* scenarioPanel() const { return m_scenarioPanel; }

    // Whether the plan's structures are being read for the map in the background (a plan of
    // many structures), with the busy sign and «Отмена» shown once it takes a moment.
    bool planLoading() const { return m_load != nullptr; }
    // Stops waiting for the plan being read: the map stays as it was, the form works on.
    void cancelPlanLoading();

    // Plans of at least this many structures are read for the map in the background.
    static constexpr int kBackgroundLoadFrom = 2000;

signals:
    void backRequested();
    void exitRequested();
    void createPlanRequested();
    void choosePlanRequested();
    // "РАСЧЕТ" calculated the situation of the current plan: it is to be shown.
    void calculationRequested(std::shared_ptr<kelmo::situation::Session> situation);
    // The map shows the plan's structures as read (or the reading failed or was cancelled).
    void planLoaded();

private:
    class StructureStep;
    class ChargeStep;
    enum class StepKind { Add, Change, Delete };
    // Stores a step forward or back; false after a message, with the map showing what the
    // database holds.
    bool applyStep(StepKind kind, const db::StructureRecord& before,
                   const db::StructureRecord& after, bool forward);
    void pushDone(StepKind kind, const db::StructureRecord& before,
                  const db::StructureRecord& after);
    // The map follows one structure stored under its number (added, changed or put back).
    void showStored(const db::StructureRecord& record, bool inserted);
    void forgetStored(int number);
    int recordIndex(int number) const;
    void buildMapTools();

    void bindControls();
    void buildScenarioPanel();
    // "РАСЧЕТ" over every scenario of the plan: the worst case for each structure.
    bool requestWorstCase();
    void calculationCancelled();
    void hidePlanAreas();
    // The window's title, naming the plan when its name is known.
    void showPlanTitle(std::optional<QString> name);
    // The current plan is gone from the database: the window offers to create or choose one.
    void planDeleted();
    // Reads the plan's structures again and draws them; showMapCharge() only moves the charge.
    void refreshMap(bool fit = false);
    void showMapCharge();
    // The map drawn from a fresh read of the plan.
    void showReadPlan(QList<db::StructureRecord> records, map::PlanMapModel&& model, bool fit);
    void startBackgroundLoad(bool fit);
    void backgroundLoadFinished();
    void setBusy(bool busy);

    std::unique_ptr<Ui::PlanEditorWindow> m_ui;
    const WindowContext m_context;
    PlanSession& m_session;

    // The form's controls by role, bound once after setupUi.
    ui::ChargePanel* m_chargePanel = nullptr;
    ScenarioPanel* m_scenarioPanel = nullptr;
    StructureEditor* m_structureEditor = nullptr;
    QLabel* m_chargeDrawing = nullptr;
    QPushButton* m_calculateButton = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_exitButton = nullptr;

    bool m_planShown = false;
    bool m_titleWanted = false; // the next read of the map brings the plan's name
    QGroupBox* m_mapDock = nullptr;
    map::PlanMapView* m_map = nullptr;
    // The plan's structures as the map shows them, in number order: what an edit on the map
    // expects the database still to hold.
    QList<db::StructureRecord> m_records;
    QUndoStack* m_undo = nullptr;
    QActionGroup* m_tools = nullptr;

    // The background read of the plan, while one runs. A change of the map meanwhile asks for
    // another read when it ends, as the running one may have missed it.
    std::shared_ptr<PlanLoad> m_load;
    bool m_reloadWanted = false;
    bool m_reloadFit = false;
    QWidget* m_busy = nullptr; // the busy sign with «Отмена»
};

} // namespace kelmo::plan
