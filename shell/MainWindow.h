#pragma once

#include <QList>
#include <QMainWindow>

#include <memory>

namespace Ui {
class MainWindow;
}

namespace kelmo::shell {

// The main menu: the hub from which every task starts. It says through its signals what the
// user asked for; the shell opens the windows.
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    // The work windows the menu opens; an item whose window is not available stays disabled.
    enum class WorkWindow { Zone, Plan, StructureTypes, Explosives };

    explicit MainWindow(const QList<WorkWindow>& available, QWidget* parent = nullptr);
    ~MainWindow() override;

signals:
    // The shell shows the work window, then closes the menu.
    void workWindowRequested(kelmo::shell::MainWindow::WorkWindow window);
    void aboutRequested();
    void exitRequested();

private:
    void openManual();

    std::unique_ptr<Ui::MainWindow> m_ui;
};

// The user manual in the program folder, or an empty string when none is there.
QString userManualPath();

} // namespace kelmo::shell
