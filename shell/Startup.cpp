#include "shell/Startup.h"

#include "data/DataSource.h"
#include "data/DatabaseFile.h"
#include "shell/frmDataSourse.h"
#include "shell/frmMain.h"
#include "ui/Messages.h"
#include "ui/WindowRegistry.h"

namespace kelmo::shell {

void showMainMenu() {
    ui::WindowRegistry::show<frmMain>();
}

bool Main() {
    // An installed program makes the user's working database from the seed on its first start.
    try {
        db::prepareWorkingDatabase();
    } catch (const DatabaseError& e) {
        ui::Messages::critical(nullptr, QStringLiteral("Внимание!"), QString::fromUtf8(e.what()));
    }
    const QString name = readDataSourceName();
    if (testConnectionString(defaultConnectionString()) || TestDataSource(name)) {
        showMainMenu();
        return true;
    }
    ui::Messages::critical(
        nullptr, QStringLiteral("Внимание!"),
        QStringLiteral(
            "Не возможно подключиться к базе данных, установите имя источника данных ODBC!"));
    auto* dialog = ui::WindowRegistry::show<frmDataSourse>();
    dialog->setDataSourceName(name);
    return false;
}

} // namespace kelmo::shell
