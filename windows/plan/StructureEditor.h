#pragma once

#include "data/SitePlan.h"
#include "windows/plan/PlanSession.h"

#include <QGroupBox>
#include <QList>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kelmo::plan {

// A database operation of the plan windows failed: a refused structure number or a structure
// another user changed meanwhile gets its own message, anything else the action that failed
// and the cause.
void reportPlanError(QWidget* parent, const QString& what, const std::exception& e);

// A structure as the form shows it: the record under a number and the kinds of its type, read
// together on one connection.
struct StructureRead {
    std::optional<db::StructureRecord> record; // nothing stored under the number
    // The kinds of the record's type, when the type is in the database.
    std::optional<int> typeNumber;
    QList<db::KindEntry> kinds;
};
StructureRead readStructureForForm(db::Connection& c, int plan, int number);

// The structures of the current plan, one at a time by number: its type and kind, storeys and
// staff, the threshold of the chosen damage degree, the four corners with their picture, and
// stepping, adding, changing and deleting. The controls come from the plan editor's form with
// their objectNames; the window hands them over once, after setupUi, with bind().
class StructureEditor final : public QGroupBox {
    Q_OBJECT

public:
    // The controls of one damage degree: weak, medium, strong, complete.
    struct DegreeControls {
        QRadioButton* option = nullptr;
        QScrollBar* slider = nullptr;   // within the kind's range, kPa
        QLineEdit* valueEdit = nullptr; // the threshold, kPa
        QLabel* labels[3]{};            // the unit and the range's ends
    };

    struct Controls {
        QLineEdit* numberEdit = nullptr; // the structure's number in the plan
        QPushButton* previousButton = nullptr;
        QPushButton* nextButton = nullptr;
        QPushButton* addButton = nullptr;
        QPushButton* changeButton = nullptr;
        QPushButton* deleteButton = nullptr;
        QComboBox* typeCombo = nullptr;
        QComboBox* kindCombo = nullptr;
        QLineEdit* storeysEdit = nullptr;
        QLineEdit* staffEdit = nullptr;
        DegreeControls degrees[4];
        QBoxLayout* degreesLayout = nullptr;
        QLineEdit* cornerEdits[8]{}; // X1, Y1, … X4, Y4, m
        QLabel* cornerPicture = nullptr;
        QLabel* pictureNote = nullptr; // why the sketch shows in place of a corner's picture
        QLabel* outlineNote = nullptr; // an outline of other than four vertices: edited on the map
    };

    explicit StructureEditor(QWidget* parent = nullptr);
    ~StructureEditor() override;

    // Takes the controls and the session the editor works in.
    void bind(const Controls& controls, const QString& connectionString, PlanSession& session);
    // Offers №1, shows the sketch and fills the structure types.
    void load();

    // A plan became current: its first structure, or an empty №1 when it has none yet.
    void openPlan();
    // No plan: №1 offered.
    void reset();
    // More structures came in meanwhile: ">" can step on.
    void allowNext();

    void next();     // ">"
    void previous(); // "<"
    bool add();
    bool change();
    bool remove();

    // Shows the structure under the number (picked on the map, or touched by an undo); a
    // number without a structure is offered for adding. The read runs on a worker; when the
    // user gives up waiting, the form stays as it was.
    void showNumber(int number);
    // The same with the structure already read (by the worker that stored it).
    void showNumber(int number, const StructureRead& read);
    // The number shown; 0 when the editor offers a new one.
    int currentStructure() const;
    // A structure under the number with the form's type, kind, storeys, staff and thresholds,
    // for an outline drawn on the map; nullopt after a message naming the bad field.
    std::optional<db::StructureRecord> recordForNew(int number);

signals:
    // The structures changed in a way the editor cannot describe (the map reads them again).
    void structuresChanged();
    // What the buttons stored, for the window's undo.
    void structureAdded(const kelmo::db::StructureRecord& record);
    void structureChanged(const kelmo::db::StructureRecord& before,
                          const kelmo::db::StructureRecord& after);
    void structureDeleted(const kelmo::db::StructureRecord& record);
    // Another structure is shown (0: a number is offered for adding).
    void currentChanged(int number);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillTypes();
    void fillKinds();
    // The kinds of the type just chosen, already read, when the list is to take them.
    void takeKinds(const QString& type, const StructureRead& read);
    void applyKindRanges();
    void showDegree(int degree);
    void showCornerPicture(int corner);
    // Reads the structure under the number on a worker, with the busy sign and «Отмена».
    // Nothing when the read was cancelled (the status bar says so, with formAfterCancel) or
    // failed (after a message): the form is then as it was.
    std::optional<StructureRead> readNumber(int number, const QString& formAfterCancel);
    // Reads and shows the structure under the current number; false when nothing is stored
    // there, nothing when the read did not end.
    std::optional<bool> showStructure();
    void clearFields();
    void setShowingState(int number);
    void setOfferingState(int number);
    void updateNextEnabled();
    // The record the editor describes, or nullopt after a message naming the bad field.
    std::optional<db::StructureRecord> recordFromFields(int number, bool withCorners = true);
    void showRecord(const db::StructureRecord& record);
    // The corner fields editable for four corners; read-only, with the note, for an outline
    // of `vertexCount` other vertices (0: four corners).
    void showOutlineKind(std::size_t vertexCount);
    void refreshAfterConflict();
    // Shows the structure as read; false when nothing is stored under the number.
    bool showReadStructure(const StructureRead& read);

    // A write of the form (add, change or delete of the structure under `number`), done on a
    // thread of its own with the busy sign and «Отмена», and the structure read back on the
    // same connection. Throws what the write throws. Nothing after «Отмена»: the user is told
    // that the outcome is unknown, and the form and the map follow the database once the
    // write ends.
    struct WriteOutcome;
    enum class WriteKind { Add, Change, Delete };
    std::shared_ptr<WriteOutcome> store(WriteKind kind, int number,
                                        std::function<void(db::Connection&)> write);
    // The form shows the structure the write left under the number.
    void showWritten(const WriteOutcome& outcome);
    // A cancelled write ended after all.
    void cancelledWriteEnded(WriteKind kind, int plan, int number,
                             const std::optional<db::StructureRecord>& before,
                             const WriteOutcome& outcome);

    Controls m_c;
    QString m_connectionString;
    PlanSession* m_session = nullptr;
    QList<db::KindEntry> m_kinds;
    QString m_kindsType; // the type whose kinds the list shows
    // Kinds read by a worker beside a structure, for the type the form is about to show.
    std::optional<std::pair<QString, StructureRead>> m_readKinds;
    // The structure as it was last read from the database: a change or delete goes through
    // only while the database still holds it so.
    std::optional<db::StructureRecord> m_shown;
};

} // namespace kelmo::plan
