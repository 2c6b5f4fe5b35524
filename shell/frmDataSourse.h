#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmDataSourse;
}

namespace kelmo::shell {

// The data-source dialog: shown when no connection works; the user names the ODBC data
// source, and a name that connects is saved in "Data Source.txt".
class frmDataSourse final : public QDialog {
    Q_OBJECT

public:
    explicit frmDataSourse(QWidget* parent = nullptr);
    ~frmDataSourse() override;

    void setDataSourceName(const QString& name);

signals:
    // A name that connects was entered and saved; the dialog has hidden itself. The shell
    // starts again and closes the dialog once the main menu is open.
    void dataSourceConnected();

private:
    void connectDataSource();

    std::unique_ptr<Ui::frmDataSourse> m_ui;
};

} // namespace kelmo::shell
