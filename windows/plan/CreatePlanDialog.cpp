#include "windows/plan/CreatePlanDialog.h"

#include "data/SitePlan.h"
#include "ui/Messages.h"
#include "windows/plan/DatabaseWork.h"

#include "ui_CreatePlanDialog.h"

namespace kelmo::plan {

namespace {
const QString kTitle = QStringLiteral("Внимание!");
}

CreatePlanDialog::CreatePlanDialog(const WindowContext& context, PlanSession& session,
                                   QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CreatePlanDialog>())
    , m_connectionString(context.connectionString)
    , m_session(session) {
    m_ui->setupUi(this);
    // The form's controls by role.
    m_nameEdit = m_ui->Text1;
    QPushButton* createButton = m_ui->cmdOk;
    QPushButton* cancelButton = m_ui->cmdOtm;

    setModal(false);
    connect(createButton, &QPushButton::clicked, this, &CreatePlanDialog::createPlan);
    connect(cancelButton, &QPushButton::clicked, this, &CreatePlanDialog::close);
}

CreatePlanDialog::~CreatePlanDialog() = default;

bool CreatePlanDialog::createPlan() {
    const QString name = m_nameEdit->text();
    if (name.trimmed().isEmpty()) {
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Задайте имя плана местности (объекта)."));
        m_nameEdit->setFocus();
        return false;
    }
    const QString connection = m_connectionString;
    std::optional<int> number;
    try {
        const std::optional<bool> taken =
            onDatabase(this, QStringLiteral("Проверка имени плана местности…"), connection,
                       [name](db::Connection& c) { return db::findPlan(c, name).has_value(); });
        if (!taken) {
            return false; // given up on: nothing was written
        }
        if (*taken) {
            const auto answer = ui::Messages::show(
                this, {kTitle,
                       QStringLiteral("План «%1» уже есть. Заменить его? Все его сооружения "
                                      "будут удалены.")
                           .arg(name),
                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No});
            if (answer != QMessageBox::Yes) {
                m_nameEdit->setFocus();
                m_nameEdit->selectAll();
                return false;
            }
        }
        number = onDatabase(this, QStringLiteral("Создание плана местности…"), connection,
                            [name](db::Connection& c) { return db::createPlan(c, name); });
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("План местности не создан.\n") +
                                   QString::fromStdString(e.what()));
        return false;
    }
    if (!number) {
        ui::Messages::warning(
            this, kTitle,
            QStringLiteral("Ожидание сервера базы данных прервано. Неизвестно, создан ли план "
                           "местности «%1»: проверьте список планов, когда сервер ответит.")
                .arg(name));
        return false;
    }
    m_session.planNumber = *number;
    emit planActivated(*number);
    close();
    return true;
}

} // namespace kelmo::plan
