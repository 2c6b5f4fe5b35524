#pragma once

#include "charts/ZoneCharts.h"
#include "windows/zone/frmZone.h"

#include <QMainWindow>

#include <memory>
#include <optional>

namespace Ui {
class frmOutput;
}
class QLabel;
class QLineEdit;

namespace kelmo {
struct CalcState;
}

namespace kelmo::zone {

class ProfileModel;

// Intermediate values of the last point calculation; the expert report prints them.
struct PointState {
    double ptArgHeavy = 0;
    double ptArgTotal = 0;
    double ptRelPressure = 0;
    double ptRelImpulse = 0;
    double ptArgPeople = 0;
};

// The results window: tables, grid and charts of the last run, with its tools.
class frmOutput : public QMainWindow {
    Q_OBJECT

public:
    explicit frmOutput(QWidget* parent = nullptr);
    ~frmOutput() override;

    // Fills the window from the state of a finished run.
    void present(const CalcState& s, const ChargeDescription& charge);

    const ChargeDescription& charge() const { return m_charge; }
    const PointState& pointState() const { return m_point; }

    // The actions, also reachable from tests.
    bool calculatePoint();
    bool buildRangeChart();
    bool lookUp();
    // The reports: each asks where to save and opens the saved file; false when nothing
    // was written (Cancel or a failure, which is shown).
    bool writeWordReport();
    bool writeExpertReport();
    bool exportTable();

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

    std::unique_ptr<Ui::frmOutput> ui;
    ProfileModel* m_model = nullptr;
    QLabel* m_lookupNote = nullptr;
    QLabel* m_noResults = nullptr;
    ChargeDescription m_charge;
    PointState m_point;
    // The distance of the last point calculation as it was typed, for the expert report.
    QString m_pointDistanceText;
    // The range chart as drawn, for the full report; empty until one is built.
    std::optional<charts::ChartData> m_rangeChart;
    QString m_rangeFromText, m_rangeToText;
    // A field whose value was refused keeps the focus; until it passes its check on the next
    // focus loss, the buttons that took the focus from it do nothing.
    QLineEdit* m_refused = nullptr;
    bool m_validating = false;
};

} // namespace kelmo::zone
