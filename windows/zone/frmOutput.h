#pragma once

#include "charts/ZoneCharts.h"
#include "data/PointCalculation.h"

#include <QMainWindow>

#include <memory>
#include <optional>

namespace Ui {
class frmOutput;
}
class QLineEdit;

namespace kelmo::zone {

class ProfileModel;
class Session;

// The results window: tables, grid and charts of the session's last run, with its tools and
// reports. Made for one run; the next run gets a new window.
class frmOutput final : public QMainWindow {
    Q_OBJECT

public:
    // The percentages of the point calculation come from the lookup.
    frmOutput(Session& session, PercentLookup percents, QWidget* parent = nullptr);
    ~frmOutput() override;

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
    double pressureAtDistance(double distance) const;
    bool blockedByRefusal() const;

    std::unique_ptr<Ui::frmOutput> m_ui;
    Session& m_session;
    PercentLookup m_percents;
    ProfileModel* m_model = nullptr;
    // The range chart as drawn, for the full report; empty until one is built.
    std::optional<charts::ChartData> m_rangeChart;
    QString m_rangeFromText, m_rangeToText;
    // A field whose value was refused keeps the focus; until it passes its check on the next
    // focus loss, the buttons that took the focus from it do nothing.
    QLineEdit* m_refused = nullptr;
    bool m_validating = false;
};

} // namespace kelmo::zone
