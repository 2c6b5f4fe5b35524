// Pictures of the windows for the user manual: the main menu, About, the zone input window,
// the parameters dialog and every page of the results window after the worked run (1000 kg,
// 4520 kJ/kg, in the air) with a point calculation at 50 m and a range chart from 1 to 101 m.
// Usage: kelmo-manual-screens <folder>. Run it with QT_SCALE_FACTOR=2, so that a picture
// printed at the manual's text width has about 200 dots per inch (scripts/manual-pictures.sh).

#include "data/DataSource.h"
#include "shell/Navigator.h"
#include "ui/Messages.h"
#include "windows/zone/frmOutput.h"
#include "windows/zone/frmPar.h"
#include "windows/zone/frmZone.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

using namespace kelmo::zone;

namespace {

void save(QWidget* w, const QString& folder, const char* name) {
    QTest::qWait(100);
    const QString path = QDir(folder).filePath(QString::fromLatin1(name) + ".png");
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Келмо"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    kelmo::shell::Navigator navigator;
    if (!kelmo::testConnectionString(kelmo::defaultConnectionString())) {
        std::fprintf(stderr, "the database in the program folder cannot be opened\n");
        return 1;
    }
    navigator.setConnectionString(kelmo::defaultConnectionString());
    kelmo::ui::Messages::setInterceptor([](const kelmo::ui::Message& m) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        return QMessageBox::Ok;
    });

    auto* menu = navigator.showMainMenu();
    save(menu, folder, "main-menu");
    auto* about = navigator.showAbout();
    save(about, folder, "about");
    about->close();

    auto* zone = navigator.showZoneInput();
    auto* combo = zone->findChild<QComboBox*>(QStringLiteral("Combo4"));
    const int tnt = combo->findText(QStringLiteral("Тротил"), Qt::MatchStartsWith);
    if (tnt >= 0) {
        combo->setCurrentIndex(tnt);
    }
    zone->findChild<QRadioButton*>(QStringLiteral("Option5"))->setChecked(true);
    save(zone, folder, "zone-input");
    auto* par = navigator.showZoneParameters();
    save(par, folder, "zone-parameters");
    par->close();
    zone = navigator.showZoneInput();

    if (!zone->runCalculation()) {
        return 1;
    }
    auto* out = navigator.zoneResults();
    out->resize(1366, 740);
    out->findChild<QLineEdit*>(QStringLiteral("GOX"))->setText(QStringLiteral("50"));
    out->calculatePoint();
    auto* tabs = out->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    const char* pages[] = {"results", "chart-kgf", "chart-kpa", "grid", "probit"};
    for (int i = 0; i < tabs->count() && i < 5; ++i) {
        tabs->setCurrentIndex(i);
        save(out, folder, pages[i]);
    }
    tabs->setCurrentIndex(1);
    out->findChild<QLineEdit*>(QStringLiteral("Rast1"))->setText(QStringLiteral("1"));
    out->findChild<QLineEdit*>(QStringLiteral("Rast2"))->setText(QStringLiteral("101"));
    out->buildRangeChart();
    save(out, folder, "chart-range");
    return 0;
}
