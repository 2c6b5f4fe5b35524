#pragma once

#include "reports/ReportData.h"
#include "windows/WindowContext.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class ZoneInputWindow;
}

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelmo::ui {
class ChargePanel;
class Settings;
} // namespace kelmo::ui

namespace kelmo::zone {

class Session;

// The zone input window: the charge, its placement and the body mass of a person. It runs the
// calculation in the session it is given and says through its signals what the user asks for.
// With the context's settings it opens with the charge of the last successful run and the
// remembered calculation parameters, and remembers each successful run's charge.
class ZoneInputWindow final : public QMainWindow {
    Q_OBJECT

public:
    ZoneInputWindow(const WindowContext& context, Session& session, QWidget* parent = nullptr);
    ~ZoneInputWindow() override;

    // Converts the fields and runs the zone calculation; on success hides the window and
    // asks for the results. Returns false (after a message; nothing else changed) when the
    // run cannot be made.
    bool runCalculation();

signals:
    // "РАСЧЕТ" made a run: the results of the session are to be shown.
    void resultsRequested();
    // "Параметры расчета": the window has hidden itself.
    void parametersRequested();
    // "Назад": the window closes itself after the signal.
    void backRequested();
    // "ВЫХОД": the program ends at once, without a question.
    void exitRequested();

private:
    void bindControls();
    void load();
    void restoreCharge();
    void rememberCharge(const ChargeInput& in);
    void openParameters();
    void backToMenu();
    reports::ChargeDescription describeCharge(HeatUnit unit, Placement placement) const;

    std::unique_ptr<Ui::ZoneInputWindow> m_ui;
    Session& m_session;
    ReferenceLookups m_reference;
    ui::Settings* m_settings;

    // The form's controls by role, bound once after setupUi.
    ui::ChargePanel* m_chargePanel = nullptr;
    QLabel* m_placementDrawing = nullptr;
    QLineEdit* m_objectNameEdit = nullptr; // the name of the object, carried into the reports
    QPushButton* m_calculateButton = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_exitButton = nullptr;
};

} // namespace kelmo::zone
