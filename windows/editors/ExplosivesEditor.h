#pragma once

#include "windows/WindowContext.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QGroupBox;

namespace Ui {
class ExplosivesEditor;
}

namespace kelmo::editors {

// The explosives editor: browse, add, change and delete the catalogue of condensed explosives.
// An explosive being changed stays in the table until "OK" replaces it, so closing the window
// or losing the process while the input frame is open loses nothing.
class ExplosivesEditor final : public QWidget {
    Q_OBJECT

public:
    explicit ExplosivesEditor(const WindowContext& context, QWidget* parent = nullptr);
    ~ExplosivesEditor() override;

    // FillExplosivesGrid: the grid from the table, hiding the explosive being changed.
    void fillGrid();

signals:
    void backRequested();
    void exitRequested();

private:
    void selectRow(int row);
    void addRecord();
    void changeRecord();
    void storeRecord();
    void cancelInput();
    void deleteRecord();
    void showInputFrame();
    void returnToBrowsing();
    void enableRowButtons(bool enabled);
    // Scrolls the grid to the explosive, without selecting it.
    void showRow(const QString& name);
    // The name in the first column of the grid's current row.
    std::optional<QString> selectedName() const;

    QString m_connectionString;
    // The explosive taken out by "Изменить запись" while the frame is open.
    std::optional<QString> m_changing;
    bool m_filling = false;
    std::unique_ptr<Ui::ExplosivesEditor> m_ui;
    QGroupBox* m_inputFrame = nullptr; // the name and heat of the explosive being edited
};

} // namespace kelmo::editors
