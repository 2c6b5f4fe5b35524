#pragma once

#include "windows/WindowContext.h"
#include "windows/plan/PlanSession.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace Ui {
class ChoosePlanDialog;
}

namespace kelmo::plan {

// The dialog that chooses an existing site plan. Modeless; it closes after a plan is chosen.
class ChoosePlanDialog final : public QDialog {
    Q_OBJECT

public:
    ChoosePlanDialog(const WindowContext& context, PlanSession& session, QWidget* parent = nullptr);
    ~ChoosePlanDialog() override;

    // Makes the plan selected in the list current. Returns true when the dialog closed with it.
    bool choosePlan();

signals:
    // The chosen plan is the session's current plan.
    void planActivated(int plan);
    // The catalogue is empty and the user asked to create a plan instead.
    void createPlanRequested();

private:
    void load();

    std::unique_ptr<Ui::ChoosePlanDialog> m_ui;
    const QString m_connectionString;
    PlanSession& m_session;
    QComboBox* m_planCombo = nullptr; // the plans, each with its number as data
    QPushButton* m_chooseButton = nullptr;
    QPushButton* m_createButton = nullptr; // offered while there is no plan
    QLabel* m_emptyNote = nullptr;         // says there is no plan yet
};

} // namespace kelmo::plan
