#pragma once

#include "planimport/PlanImport.h"
#include "planimport/PlanSource.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace kelmo::map {
class PlanMapView;
}

namespace kelmo::plan {

// "Импорт генплана…": the user picks a CAD or GIS file, its layer and the fields that hold
// the number, kind, staff and storeys (or one kind for all), sees the outlines on a map with
// what was skipped and why, and stores them in the current plan: all or nothing.
class PlanImportDialog final : public QDialog {
    Q_OBJECT

public:
    PlanImportDialog(QString connectionString, int plan, QWidget* parent = nullptr);
    ~PlanImportDialog() override;

    // Opens the file and lists its layers; false after a message when it cannot be read.
    bool openFile(const QString& path);
    // Reads the chosen layer with the chosen fields again and shows the outcome.
    void preview();

    // The map of the outlines as they will be stored.
    map::PlanMapView* previewMap() const { return m_map; }
    // How many structures the current preview would store (0 when something is refused).
    int structureCount() const;

    // Stores the structures, after asking when the plan has structures already; stays open
    // after a message when nothing could be stored.
    void accept() override;

private:
    void chooseFile();
    void showLayerFields();
    planimport::FieldMapping mapping() const;

    QString m_connectionString;
    int m_plan = 0;
    QString m_path;
    std::optional<planimport::SourceContents> m_contents;
    std::optional<planimport::SourceReading> m_reading;
    std::optional<planimport::PlanStructures> m_structures;

    QLineEdit* m_file = nullptr;
    QComboBox* m_layer = nullptr;
    QComboBox* m_numberField = nullptr;
    QRadioButton* m_kindFromField = nullptr;
    QComboBox* m_kindField = nullptr;
    QRadioButton* m_kindForAll = nullptr;
    QComboBox* m_kind = nullptr;
    QComboBox* m_staffField = nullptr;
    QComboBox* m_storeysField = nullptr;
    map::PlanMapView* m_map = nullptr;
    QPlainTextEdit* m_summary = nullptr;
    QPushButton* m_importButton = nullptr;
};

} // namespace kelmo::plan
