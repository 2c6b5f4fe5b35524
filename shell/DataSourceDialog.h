#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class DataSourceDialog;
}

namespace kelmo::shell {

// The data-source dialog: shown when no connection works; the user names the ODBC data
// source, and a name that connects is saved in "Data Source.txt".
class DataSourceDialog final : public QDialog {
    Q_OBJECT

public:
    explicit DataSourceDialog(QWidget* parent = nullptr);
    ~DataSourceDialog() override;

    void setDataSourceName(const QString& name);

signals:
    // A name that connects was entered and saved; the dialog has hidden itself. The shell
    // starts again and closes the dialog once the main menu is open.
    void dataSourceConnected();

private:
    void connectDataSource();

    std::unique_ptr<Ui::DataSourceDialog> m_ui;
};

} // namespace kelmo::shell
