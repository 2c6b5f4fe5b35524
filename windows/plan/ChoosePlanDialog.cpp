#include "windows/plan/ChoosePlanDialog.h"

#include "data/SitePlan.h"
#include "ui/Messages.h"

#include "ui_ChoosePlanDialog.h"

namespace kelmo::plan {

namespace {
const QString kTitle = QStringLiteral("Внимание!");
}

ChoosePlanDialog::ChoosePlanDialog(PlanSession& session, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ChoosePlanDialog>())
    , m_session(session) {
    m_ui->setupUi(this);
    setModal(false);
    connect(m_ui->Command1, &QPushButton::clicked, this, &ChoosePlanDialog::choosePlan);
    connect(m_ui->Command2, &QPushButton::clicked, this, &ChoosePlanDialog::close);
    connect(m_ui->cmdCreate, &QPushButton::clicked, this, [this] {
        emit createPlanRequested();
        close();
    });
    load();
}

ChoosePlanDialog::~ChoosePlanDialog() = default;

void ChoosePlanDialog::load() {
    QList<db::PlanEntry> plans;
    try {
        db::Connection c(m_session.connectionString);
        plans = db::listPlans(c);
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("Не удалось прочитать список планов местности.\n") +
                                   QString::fromStdString(e.what()));
    }
    m_ui->Combo1->clear();
    for (const db::PlanEntry& plan : plans) {
        m_ui->Combo1->addItem(plan.name, plan.number);
    }
    const bool empty = plans.isEmpty();
    m_ui->Combo1->setCurrentIndex(empty ? -1 : 0);
    m_ui->Combo1->setEnabled(!empty);
    m_ui->Command1->setEnabled(!empty);
    m_ui->lblEmpty->setVisible(empty);
    m_ui->cmdCreate->setVisible(empty);
}

bool ChoosePlanDialog::choosePlan() {
    if (m_ui->Combo1->currentIndex() < 0) {
        return false;
    }
    const int number = m_ui->Combo1->currentData().toInt();
    try {
        db::Connection c(m_session.connectionString);
        if (!db::planExists(c, number)) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Плана «%1» больше нет в базе данных. Список "
                                                 "планов прочитан заново.")
                                      .arg(m_ui->Combo1->currentText()));
            load();
            return false;
        }
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("План местности не выбран.\n") +
                                   QString::fromStdString(e.what()));
        return false;
    }
    m_session.planNumber = number;
    emit planActivated(number);
    close();
    return true;
}

} // namespace kelmo::plan
