#include "windows/plan/ScenarioPanel.h"

#include "ui/Messages.h"
#include "windows/plan/DatabaseWork.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace kelmo::plan {

namespace {

const QString kTitle = QStringLiteral("Внимание!");

const QString kReading = QStringLiteral("Чтение сценариев плана…");

struct PlanScenarios {
    QList<db::ScenarioRecord> list;
    std::optional<QString> lastUsed;
};

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& tip) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tip);
    return b;
}

} // namespace

ScenarioPanel::ScenarioPanel(QString connectionString, ChargeFields fields, QWidget* parent)
    : QGroupBox(QStringLiteral("Сценарии (места хранения и заряды)"), parent)
    , m_connectionString(std::move(connectionString))
    , m_fields(std::move(fields)) {
    setObjectName(QStringLiteral("fraScenarios"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstScenarios"));
    m_list->setMinimumHeight(70);
    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("txtScenarioName"));
    m_nameEdit->setPlaceholderText(QStringLiteral("Имя сценария"));
    m_addButton = button(this, "cmdScenarioAdd", QStringLiteral("Добавить"),
                         QStringLiteral("Сохранить заряд и место хранения как новый сценарий"));
    m_saveButton = button(this, "cmdScenarioSave", QStringLiteral("Сохранить"),
                          QStringLiteral("Записать заряд и место хранения в выбранный сценарий"));
    m_renameButton = button(this, "cmdScenarioRename", QStringLiteral("Переименовать"),
                            QStringLiteral("Дать выбранному сценарию введённое имя"));
    m_copyButton = button(this, "cmdScenarioCopy", QStringLiteral("Копировать"),
                          QStringLiteral("Копия выбранного сценария под введённым именем"));
    m_deleteButton = button(this, "cmdScenarioDelete", QStringLiteral("Удалить"),
                            QStringLiteral("Удалить выбранный сценарий"));
    m_allOption = new QCheckBox(QStringLiteral("РАСЧЕТ по всем сценариям (худший случай)"), this);
    m_allOption->setObjectName(QStringLiteral("chkAllScenarios"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_list, 0, 0, 1, 3);
    grid->addWidget(m_nameEdit, 1, 0, 1, 3);
    grid->addWidget(m_addButton, 2, 0);
    grid->addWidget(m_saveButton, 2, 1);
    grid->addWidget(m_deleteButton, 2, 2);
    grid->addWidget(m_renameButton, 3, 0);
    grid->addWidget(m_copyButton, 3, 1);
    grid->addWidget(m_allOption, 4, 0, 1, 3);

    connect(m_addButton, &QPushButton::clicked, this, &ScenarioPanel::addScenario);
    connect(m_saveButton, &QPushButton::clicked, this, &ScenarioPanel::saveScenario);
    connect(m_renameButton, &QPushButton::clicked, this, &ScenarioPanel::renameScenario);
    connect(m_copyButton, &QPushButton::clicked, this, &ScenarioPanel::copyScenario);
    connect(m_deleteButton, &QPushButton::clicked, this, &ScenarioPanel::deleteScenario);
    connect(m_list, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        if (!m_filling && !name.isEmpty()) {
            choose(name);
        }
    });
}

void ScenarioPanel::openPlan(int plan) {
    m_plan = plan;
    m_allOption->setChecked(false);
    m_nameEdit->clear();
    m_scenarios.clear();
    std::optional<QString> last;
    try {
        const auto read =
            onDatabase(window(), kReading, m_connectionString, [plan](db::Connection& c) {
                return PlanScenarios{db::listScenarios(c, plan), db::lastUsedScenario(c, plan)};
            });
        if (read) {
            m_scenarios = read->list;
            last = read->lastUsed;
        }
    } catch (const std::exception& e) {
        refuse(QStringLiteral("Сценарии плана не прочитаны."), e);
    }
    showList({});
    if (last) {
        choose(*last);
    }
}

void ScenarioPanel::reload() {
    const auto current = chosen();
    try {
        const int plan = m_plan;
        const auto read =
            onDatabase(window(), kReading, m_connectionString,
                       [plan](db::Connection& c) { return db::listScenarios(c, plan); });
        if (!read) {
            return; // the user gave up waiting: the list shown stays
        }
        m_scenarios = *read;
    } catch (const std::exception& e) {
        ui::Messages::critical(window(), kTitle,
                               QStringLiteral("Сценарии плана не прочитаны.\n") +
                                   QString::fromUtf8(e.what()));
        return;
    }
    showList(current ? current->name : QString());
}

bool ScenarioPanel::write(const QString& refused,
                          const std::function<void(db::Connection&)>& change) {
    std::optional<bool> done;
    try {
        done = onDatabase(window(), QStringLiteral("Запись сценария…"), m_connectionString,
                          [change](db::Connection& c) {
                              change(c);
                              return true;
                          });
    } catch (const std::exception& e) {
        refuse(refused, e);
        reload();
        return false;
    }
    if (!done) {
        // The worker may still store the change once the database lets it: the list read
        // again shows what is there now.
        ui::Messages::warning(window(), kTitle,
                              refused + u'\n' +
                                  QStringLiteral("Ожидание базы данных прервано: изменение не "
                                                 "подтверждено и может записаться позже. Список "
                                                 "сценариев прочитан заново."));
        reload();
        return false;
    }
    return true;
}

void ScenarioPanel::showList(const QString& keep) {
    m_filling = true;
    m_list->clear();
    for (const db::ScenarioRecord& s : m_scenarios) {
        m_list->addItem(s.name);
        if (s.name == keep) {
            m_list->setCurrentRow(m_list->count() - 1);
        }
    }
    m_filling = false;
}

std::optional<db::ScenarioRecord> ScenarioPanel::chosen() const {
    const QListWidgetItem* item = m_list->currentItem();
    if (item == nullptr) {
        return std::nullopt;
    }
    for (const db::ScenarioRecord& s : m_scenarios) {
        if (s.name == item->text()) {
            return s;
        }
    }
    return std::nullopt;
}

bool ScenarioPanel::allScenarios() const {
    return m_allOption->isChecked();
}

QString ScenarioPanel::typedName() const {
    return m_nameEdit->text().trimmed();
}

void ScenarioPanel::refuse(const QString& what, const std::exception& e) {
    ui::Messages::warning(window(), kTitle, what + u'\n' + QString::fromUtf8(e.what()));
}

bool ScenarioPanel::choose(const QString& name) {
    const auto it = std::find_if(m_scenarios.cbegin(), m_scenarios.cend(),
                                 [&name](const db::ScenarioRecord& s) { return s.name == name; });
    if (it == m_scenarios.cend()) {
        return false;
    }
    m_filling = true;
    m_list->setCurrentRow(static_cast<int>(it - m_scenarios.cbegin()));
    m_filling = false;
    m_nameEdit->setText(name);
    m_fields.fill(*it);
    try {
        const int plan = m_plan;
        onDatabase(window(), QStringLiteral("Запись сценария…"), m_connectionString,
                   [plan, name](db::Connection& c) {
                       db::markScenarioUsed(c, plan, name);
                       return true;
                   });
    } catch (const std::exception&) {
        // Only the choice of the next opening is lost; the charge is in the fields.
    }
    return true;
}

bool ScenarioPanel::addScenario() {
    std::optional<db::ScenarioRecord> record = m_fields.read();
    if (!record) {
        return false;
    }
    record->plan = m_plan;
    record->name = typedName();
    if (!write(QStringLiteral("Сценарий не добавлен."),
               [added = *record](db::Connection& c) { db::addScenario(c, added); })) {
        return false;
    }
    reload();
    return choose(record->name);
}

bool ScenarioPanel::saveScenario() {
    const auto shown = chosen();
    if (!shown) {
        ui::Messages::warning(window(), kTitle, QStringLiteral("Выберите сценарий в списке."));
        return false;
    }
    std::optional<db::ScenarioRecord> record = m_fields.read();
    if (!record) {
        return false;
    }
    record->plan = m_plan;
    record->name = shown->name;
    // The plan window has no body mass field: the scenario keeps its own.
    record->charge.bodyMassKg = shown->charge.bodyMassKg;
    if (!write(QStringLiteral("Сценарий не сохранён."),
               [was = *shown, now = *record](db::Connection& c) {
                   db::changeScenario(c, was, now);
               })) {
        return false;
    }
    reload();
    return true;
}

bool ScenarioPanel::renameScenario() {
    const auto shown = chosen();
    if (!shown) {
        ui::Messages::warning(window(), kTitle, QStringLiteral("Выберите сценарий в списке."));
        return false;
    }
    db::ScenarioRecord renamed = *shown;
    renamed.name = typedName();
    if (renamed.name == shown->name) {
        ui::Messages::warning(window(), kTitle,
                              QStringLiteral("Введите в поле имени новое имя сценария."));
        return false;
    }
    if (!write(
            QStringLiteral("Сценарий не переименован."),
            [was = *shown, renamed](db::Connection& c) { db::changeScenario(c, was, renamed); })) {
        return false;
    }
    reload();
    return choose(renamed.name);
}

bool ScenarioPanel::copyScenario() {
    const auto shown = chosen();
    if (!shown) {
        ui::Messages::warning(window(), kTitle, QStringLiteral("Выберите сценарий в списке."));
        return false;
    }
    db::ScenarioRecord copy = *shown;
    copy.name = typedName();
    if (copy.name == shown->name || copy.name.isEmpty()) {
        copy.name = shown->name + QStringLiteral(" (копия)");
    }
    if (!write(QStringLiteral("Сценарий не скопирован."),
               [copy](db::Connection& c) { db::addScenario(c, copy); })) {
        return false;
    }
    reload();
    return choose(copy.name);
}

bool ScenarioPanel::deleteScenario() {
    const auto shown = chosen();
    if (!shown) {
        ui::Messages::warning(window(), kTitle, QStringLiteral("Выберите сценарий в списке."));
        return false;
    }
    ui::Message question;
    question.title = kTitle;
    question.text = QStringLiteral("Удалить сценарий «%1»?").arg(shown->name);
    question.icon = QMessageBox::Question;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::No;
    if (ui::Messages::show(window(), question) != QMessageBox::Yes) {
        return false;
    }
    if (!write(QStringLiteral("Сценарий не удалён."),
               [was = *shown](db::Connection& c) { db::deleteScenario(c, was); })) {
        return false;
    }
    m_nameEdit->clear();
    reload();
    return true;
}

} // namespace kelmo::plan
