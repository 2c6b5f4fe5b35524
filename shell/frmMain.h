#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

namespace Ui {
class frmMain;
}

namespace kelmo::shell {

// The main menu: the hub from which every task starts.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    // The work windows the menu opens. Each is opened through a function that shows it (through
    // the window registry) and returns it; an item whose window is not wired stays disabled.
    enum class WorkWindow { Zone, Plan, StructureTypes, Explosives };
    using Opener = std::function<QWidget*()>;
    static void setWorkWindow(WorkWindow window, Opener opener);

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

private:
    void openWorkWindow(WorkWindow window);
    void openManual();
    void exitProgram();

    std::unique_ptr<Ui::frmMain> ui;
};

// The user manual in the program folder, or an empty string when none is there.
QString userManualPath();

} // namespace kelmo::shell
