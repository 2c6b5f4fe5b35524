#include "windows/plan/ChoosePlanDialog.h"

#include "data/SitePlan.h"
#include "ui/Messages.h"
#include "windows/plan/DatabaseWork.h"

#include "ui_ChoosePlanDialog.h"

namespace kelmo::plan {

namespace {
const QString kTitle = QStringLiteral("Внимание!");
}

ChoosePlanDialog::ChoosePlanDialog(const WindowContext& context, PlanSession& session,
                                   QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ChoosePlanDialog>())
    , m_connectionString(context.connectionString)
    , m_session(session) {
    m_ui->setupUi(this);
    // The form's controls by role.
    m_planCombo = m_ui->Combo1;
    m_chooseButton = m_ui->Command1;
    m_createButton = m_ui->cmdCreate;
    m_emptyNote = m_ui->lblEmpty;
    QPushButton* cancelButton = m_ui->Command2;

    setModal(false);
    connect(m_chooseButton, &QPushButton::clicked, this, &ChoosePlanDialog::choosePlan);
    connect(cancelButton, &QPushButton::clicked, this, &ChoosePlanDialog::close);
    connect(m_createButton, &QPushButton::clicked, this, [this] {
        emit createPlanRequested();
        close();
    });
    load();
}

ChoosePlanDialog::~ChoosePlanDialog() = default;

void ChoosePlanDialog::load() {
    QList<db::PlanEntry> plans;
    bool unread = false; // the note below would say that the database has no plans
    try {
        const auto read =
            onDatabase(this, QStringLiteral("Чтение списка планов местности…"), m_connectionString,
                       [](db::Connection& c) { return db::listPlans(c); });
        if (read) {
            plans = *read;
        } else {
            unread = true;
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Список планов местности не прочитан: ожидание "
                                                 "сервера базы данных прервано."));
        }
    } catch (const Error& e) {
        unread = true;
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("Не удалось прочитать список планов местности.\n") +
                                   QString::fromStdString(e.what()));
    }
    m_planCombo->clear();
    for (const db::PlanEntry& plan : plans) {
        m_planCombo->addItem(plan.name, plan.number);
    }
    const bool empty = plans.isEmpty();
    m_planCombo->setCurrentIndex(empty ? -1 : 0);
    m_planCombo->setEnabled(!empty);
    m_chooseButton->setEnabled(!empty);
    m_emptyNote->setVisible(empty && !unread);
    m_createButton->setVisible(empty);
}

bool ChoosePlanDialog::choosePlan() {
    if (m_planCombo->currentIndex() < 0) {
        return false;
    }
    const int number = m_planCombo->currentData().toInt();
    try {
        const auto exists =
            onDatabase(this, QStringLiteral("Чтение плана местности…"), m_connectionString,
                       [number](db::Connection& c) { return db::planExists(c, number); });
        if (!exists) {
            return false; // the user gave up waiting: the dialog stays
        }
        if (!*exists) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Плана «%1» больше нет в базе данных. Список "
                                                 "планов прочитан заново.")
                                      .arg(m_planCombo->currentText()));
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
