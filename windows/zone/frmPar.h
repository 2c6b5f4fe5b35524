#pragma once

#include <QMainWindow>

#include <memory>

namespace Ui {
class frmPar;
}

namespace kelmo::zone {

// The calculation parameters: the distance step and the two pressure axes. Loaded once,
// afterwards only hidden and shown, so it keeps its texts between openings.
class frmPar : public QMainWindow {
    Q_OBJECT

public:
    explicit frmPar(QWidget* parent = nullptr);
    ~frmPar() override;

    // "Ok": stores the fields in order; false when one of them is not a number.
    bool accept();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void load();
    void resetTexts();
    void backToInput();

    std::unique_ptr<Ui::frmPar> ui;
};

} // namespace kelmo::zone
