#pragma once

#include "charts/ZoneCharts.h"
#include "data/PointCalculation.h"
#include "windows/WindowContext.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;

namespace kelmo::ui {
class Settings;
}

namespace kelmo::zone {

class ProfileModel;
class Session;

// The results window: tables, grid and charts of the session's last run, with its tools and
// reports. Made for one run; the next run gets a new window.
class ZoneResultsWindow final : public QMainWindow {
    Q_OBJECT

public:
    // The percentages of the point calculation come from the context's probit lookup. With
    // settings the save dialogs start in the folder their kind of file was last saved in.
    ZoneResultsWindow(const WindowContext& context, Session& session, QWidget* parent = nullptr);
    ~ZoneResultsWindow() override;

    // Fills the window from the session's finished run.
    void present();

    // The actions, also reachable from tests.
    bool calculatePoint();
    bool buildRangeChart();
    bool lookUp();
    // The reports: each asks where to save and opens the saved file; false when nothing
    // was written (Cancel or a failure, which is shown).
    bool writeWordReport();
    bool writeExpertReport();
    bool exportTable();

signals:
    // The window was closed ("Вернуться в основное меню" or the frame): back to the input.
    void backRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void chooseDistanceInput();
    void choosePressureInput();
    bool validateDistanceField(QLineEdit* field);
    bool validatePressureField(QLineEdit* field);
    bool validate(QLineEdit* field);
    // Validates a field as leaving it does; a refused field keeps the focus.
    bool acceptField(QLineEdit* field);
    void showAvailableTools(const CalcState& s);
    double pressureAtDistance(double distance) const;
    bool blockedByRefusal() const;

    // The controls of the form and of its pages, named by what they are.
    struct Controls;
    std::unique_ptr<Controls> m_ui;
    Session& m_session;
    PercentLookup m_percents;
    ui::Settings* m_settings;
    ProfileModel* m_model = nullptr;
    QLabel* m_lookupNote = nullptr;
    QLabel* m_noResults = nullptr;
    // The range chart as drawn, for the full report; empty until one is built.
    std::optional<charts::ChartData> m_rangeChart;
    // A field whose value was refused keeps the focus; until it passes its check on the next
    // focus loss, the buttons that took the focus from it do nothing.
    QLineEdit* m_refused = nullptr;
    bool m_validating = false;
};

} // namespace kelmo::zone
