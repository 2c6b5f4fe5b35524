#pragma once

#include "windows/WindowContext.h"
#include "windows/plan/PlanSession.h"

#include <QDialog>

#include <memory>

class QLineEdit;

namespace Ui {
class CreatePlanDialog;
}

namespace kelmo::plan {

// The dialog that creates a site plan under a name. Modeless; it closes after a plan is made.
class CreatePlanDialog final : public QDialog {
    Q_OBJECT

public:
    CreatePlanDialog(const WindowContext& context, PlanSession& session, QWidget* parent = nullptr);
    ~CreatePlanDialog() override;

    // Creates the plan named in the name field (asking first before a plan of that name is
    // replaced). Returns true when a plan was made and the dialog closed.
    bool createPlan();

signals:
    // The new plan is the session's current plan.
    void planActivated(int plan);

private:
    std::unique_ptr<Ui::CreatePlanDialog> m_ui;
    const QString m_connectionString;
    PlanSession& m_session;
    QLineEdit* m_nameEdit = nullptr; // the new plan's name
};

} // namespace kelmo::plan
