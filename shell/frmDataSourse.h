#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmDataSourse;
}

namespace kelmo::shell {

// The data-source dialog: shown when no connection works; the user names the ODBC data
// source, and a name that connects is saved in "Data Source.txt".
class frmDataSourse : public QDialog {
    Q_OBJECT

public:
    explicit frmDataSourse(QWidget* parent = nullptr);
    ~frmDataSourse() override;

    void setDataSourceName(const QString& name);

private:
    void connectDataSource();

    std::unique_ptr<Ui::frmDataSourse> ui;
};

} // namespace kelmo::shell
