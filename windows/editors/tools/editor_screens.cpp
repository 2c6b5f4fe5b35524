// Screenshots of the two reference database editors with a change open, for looking at the
// layout and for the README and the manual. Usage: kelmo-editor-screens <folder>.

#include "data/DataSource.h"
#include "data/Database.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
#include "windows/editors/ExplosivesEditor.h"
#include "windows/editors/StructureTypesEditor.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <cstdio>

namespace {

void save(QWidget* w, const QString& folder, const QString& name) {
    kelmo::ui::saveScreenshot(w, folder, name, 0);
}

// Selects the row whose cell in the column reads `text` and presses "Изменить запись".
void startChange(QWidget* w, int column, const QString& text) {
    auto* grid = w->findChild<QTableWidget*>(QStringLiteral("grdTable"));
    for (int row = 0; row < grid->rowCount(); ++row) {
        if (grid->item(row, column)->text() == text) {
            grid->scrollToItem(grid->item(row, column));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualItemRect(grid->item(row, column)).center());
            break;
        }
    }
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdIzm")), Qt::LeftButton);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    // The database beside the program; nothing is stored, only changes are started.
    const QString connection = kelmo::defaultConnectionString();
    if (!kelmo::testConnectionString(connection)) {
        std::fprintf(stderr, "the database in the program folder cannot be opened\n");
        return 1;
    }
    kelmo::ui::Messages::setInterceptor([](const kelmo::ui::Message& m) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        return QMessageBox::Ok;
    });

    kelmo::editors::ExplosivesEditor explosives(kelmo::WindowContext::forDatabase(connection));
    explosives.show();
    (void)QTest::qWaitForWindowExposed(&explosives);
    startChange(&explosives, 0, QStringLiteral("Тротил (ТНТ)"));
    save(&explosives, folder, QStringLiteral("editor-explosives"));
    explosives.close();

    kelmo::editors::StructureTypesEditor structures(kelmo::WindowContext::forDatabase(connection));
    structures.resize(1060, 720);
    structures.show();
    (void)QTest::qWaitForWindowExposed(&structures);
    startChange(&structures, 1, QStringLiteral("Деревянные дома"));
    save(&structures, folder, QStringLiteral("editor-structures"));
    structures.close();
    return 0;
}
