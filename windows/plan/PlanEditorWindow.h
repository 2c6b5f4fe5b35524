#pragma once

#include "data/SitePlan.h"
#include "windows/plan/PlanSession.h"

#include <QList>
#include <QMainWindow>

#include <memory>
#include <optional>

namespace Ui {
class PlanEditorWindow;
}

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollBar;

namespace kelmo::map {
class PlanMapView;
}

namespace kelmo::situation {
class Session;
}

namespace kelmo::plan {

// The site plan editor: the charge of the situation and the structures of the current plan,
// one at a time by number.
class PlanEditorWindow final : public QMainWindow {
    Q_OBJECT

public:
    explicit PlanEditorWindow(PlanSession& session, QWidget* parent = nullptr);
    ~PlanEditorWindow() override;

    // A plan was created or chosen (its number is in the session): the plan's frames and
    // "РАСЧЕТ" appear; the structure shown and its number stay as they are.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct DegreeControls {
        QRadioButton* option;
        QScrollBar* slider;
        QLineEdit* value;
        QLabel* labels[3];
    };

    void load();
    void fillExplosiveList();
    void showExplosiveEnergy();
    void fillStructureTypes();
    void fillStructureKinds();
    void applyKindRanges();
    void showDegree(int degree);
    void showCornerPicture(int corner);
    void hidePlanAreas();
    void resetStructureArea();

    bool showStructure();
    void clearStructureFields();
    std::optional<QString> currentPlanName(db::Connection& c) const;
    void showPlanTitle();
    void setShowingState(int number);
    void setOfferingState(int number);
    void updateNextEnabled();
    // The record the window describes, or nullopt after a message naming the bad field.
    std::optional<db::StructureRecord> recordFromWindow(int number);
    void showRecord(const db::StructureRecord& record);
    void reportError(const QString& what, const std::exception& e);
    void refreshAfterConflict();
    // Reads the plan's structures again and draws them; showMapCharge() only moves the charge.
    void refreshMap(bool fit = false);
    void showMapCharge();

    std::unique_ptr<Ui::PlanEditorWindow> m_ui;
    PlanSession& m_session;
    QList<db::KindEntry> m_kinds;
    DegreeControls m_degrees[4]{};
    QLineEdit* m_corners[8]{};
    bool m_planShown = false;
    QGroupBox* m_mapDock = nullptr;
    map::PlanMapView* m_map = nullptr;
    struct MapStructures; // the plan's structures as last read for the map
    std::unique_ptr<MapStructures> m_mapStructures;
    // The structure as it was last read from the database: a change or delete goes through
    // only while the database still holds it so.
    std::optional<db::StructureRecord> m_shown;
};

} // namespace kelmo::plan
