#pragma once

#include "windows/WindowContext.h"

#include "data/StructureKinds.h"

#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QGroupBox;
class QLineEdit;

namespace Ui {
class StructureTypesEditor;
}

namespace kelmo::editors {

// The structure types editor: the kinds of structures with their type and the overpressures
// that bring them to weak, medium, strong and complete destruction.
class StructureTypesEditor final : public QWidget {
    Q_OBJECT

public:
    explicit StructureTypesEditor(const WindowContext& context, QWidget* parent = nullptr);
    ~StructureTypesEditor() override;

    // FillStructureTypesGrid: the grid from the tables.
    void fillGrid();

signals:
    void backRequested();
    void exitRequested();

private:
    void addRecord();
    void changeRecord();
    void storeRecord();
    void deleteRecord();
    void returnToBrowsing();
    void openInput();
    void loadTypes();
    void typeTextChanged(const QString& text);
    void fillKindList(const QString& typeName);
    std::optional<db::KindRecord> selectedKind() const;
    // The input of the frame, or nothing after a message that names the refused field.
    std::optional<db::KindInput> readInput();
    bool confirmRanges(const db::DestructionRanges& ranges);

    QString m_connectionString;
    std::vector<db::KindRecord> m_kinds; // the grid's rows
    std::vector<db::TypeRecord> m_types; // the types when the frame opened
    std::optional<db::KindRecord> m_changing;
    std::array<QLineEdit*, 8> m_rangeFields{};
    std::unique_ptr<Ui::StructureTypesEditor> m_ui;
    // The input frame and its lists and number field (docs/glossary.md names their objectNames).
    QGroupBox* m_inputFrame = nullptr;
    QComboBox* m_typeList = nullptr;
    QLineEdit* m_typeNumberEdit = nullptr;
    QComboBox* m_kindList = nullptr;
};

} // namespace kelmo::editors
