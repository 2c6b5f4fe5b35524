#include "shell/DataSourceDialog.h"
#include "ui_DataSourceDialog.h"

#include "data/DataSource.h"
#include "ui/Messages.h"

#include <QApplication>

namespace kelmo::shell {

DataSourceDialog::DataSourceDialog(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::DataSourceDialog>()) {
    m_ui->setupUi(this);
    QPushButton* const connectButton = m_ui->Command1;
    QPushButton* const closeButton = m_ui->Command2;

    connect(connectButton, &QPushButton::clicked, this, &DataSourceDialog::connectDataSource);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

    setDataSourceName(readDataSourceName());
}

DataSourceDialog::~DataSourceDialog() = default;

void DataSourceDialog::setDataSourceName(const QString& name) {
    // Without a stored name the field keeps its example text.
    if (!name.isEmpty()) {
        m_ui->txtDataSourse->setText(name);
    }
}

void DataSourceDialog::connectDataSource() {
    const QString name = m_ui->txtDataSourse->text();
    QString refusal;
    const bool testA = testConnectionString(namedConnectionStringNoMode(name), &refusal);
    const bool testB = TestDataSource(name, &refusal);
    if (!testA && !testB) {
        // The database was reached but refused as it stands: say why first.
        if (!refusal.isEmpty()) {
            ui::Messages::critical(this, QStringLiteral("В н и м а н и е!!!"), refusal);
        }
        ui::Messages::critical(
            this, QStringLiteral("В н и м а н и е!!!"),
            QStringLiteral(
                "Невозможно подключиться к базе данных, измените имя источника данных ODBC!"));
        return;
    }
    if (!writeDataSourceName(name)) {
        // The connection works, but the name could not be kept for the next start.
        ui::Messages::warning(this, QStringLiteral("В н и м а н и е!!!"),
                              QStringLiteral("Не удалось записать имя источника данных в файл "
                                             "«%1» в папке программы. При следующем запуске его "
                                             "придётся ввести снова.")
                                  .arg(QLatin1String(kDataSourceFileName)));
    }
    m_ui->txtDataSourse->setText(name);
    ui::Messages::plain(this, QStringLiteral("В н и м а н и е!!!"),
                        QStringLiteral("База успешно подключена!"));
    // The main menu opens before this dialog closes, so the program never runs out of windows.
    const bool quitOnClose = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    hide();
    emit dataSourceConnected();
    QApplication::setQuitOnLastWindowClosed(quitOnClose);
}

} // namespace kelmo::shell
