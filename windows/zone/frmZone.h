#pragma once

#include "engine/BlastFormulas.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class frmZone;
}

namespace kelmo::zone {

// What the results window shows about the charge, taken from the input window at the run.
struct ChargeDescription {
    QString name;
    QString massText;
    QString energyCaption;
    QString energyText;
    QString placementText;
    Placement placement = Placement::Ground;
    double bodyMassKg = 70;
};

// The zone input window: the charge, its placement and the body mass of a person.
class frmZone : public QMainWindow {
    Q_OBJECT

public:
    explicit frmZone(QWidget* parent = nullptr);
    ~frmZone() override;

    // Converts the fields, runs the zone calculation and shows the results window.
    // Returns false (after a message; nothing else changed) when the run cannot be made.
    bool runCalculation();

private:
    void load();
    void setListMode();
    void setKeyboardMode();
    void setPerKg();
    void setPerMole();
    void showSelectedEnergy();
    void openParameters();
    void backToMenu();
    ChargeDescription describeCharge(Placement placement, double bodyMassKg) const;

    std::unique_ptr<Ui::frmZone> ui;
};

} // namespace kelmo::zone
