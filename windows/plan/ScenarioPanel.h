#pragma once

#include "data/Scenarios.h"

#include <QGroupBox>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kelmo::plan {

// The scenarios of the current plan beside its charge: the list, a name field and the
// buttons that add the charge as a scenario, store it into the chosen one, rename, copy and
// delete one. Choosing a scenario fills the charge fields; the one chosen last opens with the
// plan. Every change is one transaction that notices a change made by another user meanwhile:
// the list then shows what the database holds. The database is read and written on a worker
// thread, so that a busy server never freezes the window.
class ScenarioPanel final : public QGroupBox {
    Q_OBJECT

public:
    // What the panel needs of the window's charge fields: the charge they describe (nullopt
    // after the window's own message about a bad field), and filling them from a scenario.
    struct ChargeFields {
        std::function<std::optional<db::ScenarioRecord>()> read;
        std::function<void(const db::ScenarioRecord&)> fill;
    };

    ScenarioPanel(QString connectionString, ChargeFields fields, QWidget* parent = nullptr);

    // The plan's scenarios, the last used one chosen (its charge in the fields).
    void openPlan(int plan);
    // Reads the list again, keeping the chosen scenario when it still exists.
    void reload();

    // The buttons' actions; false after a message, with nothing stored.
    bool addScenario();    // the charge fields under the typed name
    bool saveScenario();   // the charge fields into the chosen scenario
    bool renameScenario(); // the chosen one to the typed name
    bool copyScenario();   // the chosen one under the typed name
    bool deleteScenario(); // the chosen one, after a question naming it

    // Chooses the scenario by name: its charge goes into the fields and it becomes the plan's
    // last used one. False when there is none of that name.
    bool choose(const QString& name);

    const QList<db::ScenarioRecord>& scenarios() const { return m_scenarios; }
    std::optional<db::ScenarioRecord> chosen() const;
    // "РАСЧЕТ" is to take every scenario of the plan and show the worst case.
    bool allScenarios() const;

    QListWidget* list() const { return m_list; }
    QLineEdit* nameEdit() const { return m_nameEdit; }

private:
    void showList(const QString& keep);
    QString typedName() const;
    // A refused operation: the message, and the list as the database holds it.
    void refuse(const QString& what, const std::exception& e);
    // Runs the change in the background; false after a message (`refused` first) when the
    // database refused it or the user gave up waiting, the list then read again.
    bool write(const QString& refused, const std::function<void(db::Connection&)>& change);

    QString m_connectionString;
    ChargeFields m_fields;
    int m_plan = 0;
    QList<db::ScenarioRecord> m_scenarios;
    bool m_filling = false;

    QListWidget* m_list = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_renameButton = nullptr;
    QPushButton* m_copyButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QCheckBox* m_allOption = nullptr;
};

} // namespace kelmo::plan
