#include "shell/DataSourceDialog.h"
#include "ui_DataSourceDialog.h"

#include "data/DataSource.h"
#include "ui/BackgroundWork.h"
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
    // On a thread of its own: a server that never answers can be given up on with «Отмена».
    struct Tests {
        bool a = false;
        bool b = false;
        QString refusal;
    };
    const std::optional<Tests> tests =
        ui::runInBackground(this, QStringLiteral("Подключение к базе данных…"), [name] {
            Tests t;
            t.a = testConnectionString(namedConnectionStringNoMode(name), &t.refusal);
            t.b = TestDataSource(name, &t.refusal);
            return t;
        });
    if (!tests) {
        return;
    }
    const bool testA = tests->a;
    const bool testB = tests->b;
    const QString& refusal = tests->refusal;
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
