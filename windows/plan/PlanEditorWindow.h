#pragma once

#include "data/SitePlan.h"
#include "windows/plan/PlanSession.h"

#include <QMainWindow>

#include <memory>
#include <optional>

namespace Ui {
class PlanEditorWindow;
}

class QGroupBox;
class QLabel;
class QPushButton;

namespace kelmo::ui {
class ChargePanel;
}

namespace kelmo::map {
class PlanMapView;
}

namespace kelmo::situation {
class Session;
}

namespace kelmo::plan {

class StructureEditor;

// The site plan editor: the charge of the situation and the structures of the current plan,
// one at a time by number.
class PlanEditorWindow final : public QMainWindow {
    Q_OBJECT

public:
    explicit PlanEditorWindow(PlanSession& session, QWidget* parent = nullptr);
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

    // "РАСЧЕТ": checks the charge fields as the zone input window does and calculates the
    // situation of the current plan; on success asks for its window. Returns false after a
    // message (a field that is not a number, a plan without structures, a database error).
    bool requestCalculation();

signals:
    void backRequested();
    void exitRequested();
    void createPlanRequested();
    void choosePlanRequested();
    // "РАСЧЕТ" calculated the situation of the current plan: it is to be shown.
    void calculationRequested(std::shared_ptr<kelmo::situation::Session> situation);

private:
    void bindControls();
    void hidePlanAreas();
    std::optional<QString> currentPlanName(db::Connection& c) const;
    void showPlanTitle();
    // Reads the plan's structures again and draws them; showMapCharge() only moves the charge.
    void refreshMap(bool fit = false);
    void showMapCharge();

    std::unique_ptr<Ui::PlanEditorWindow> m_ui;
    PlanSession& m_session;

    // The form's controls by role, bound once after setupUi.
    ui::ChargePanel* m_chargePanel = nullptr;
    StructureEditor* m_structureEditor = nullptr;
    QLabel* m_chargeDrawing = nullptr;
    QPushButton* m_calculateButton = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_exitButton = nullptr;

    bool m_planShown = false;
    QGroupBox* m_mapDock = nullptr;
    map::PlanMapView* m_map = nullptr;
    struct MapStructures; // the plan's structures as last read for the map
    std::unique_ptr<MapStructures> m_mapStructures;
};

} // namespace kelmo::plan
