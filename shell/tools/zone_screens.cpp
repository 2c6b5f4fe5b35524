// Screenshots of the zone windows after the worked run (1000 kg, 4520 kJ/kg, in the air),
// for looking at the layout and for the README. Usage: kelmo-zone-screens <folder>.

#include "data/DataSource.h"
#include "shell/Navigator.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
#include "windows/zone/CalculationParametersWindow.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include <QAbstractButton>
#include <QAction>
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

void save(QWidget* w, const QString& folder, const QString& name) {
    kelmo::ui::saveScreenshot(w, folder, name, 0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    // The database beside the program, as the start-up finds it.
    kelmo::shell::Navigator navigator;
    if (!kelmo::testConnectionString(kelmo::defaultConnectionString())) {
        std::fprintf(stderr, "the database in the program folder cannot be opened\n");
        return 1;
    }
    navigator.setConnectionString(kelmo::defaultConnectionString());

    // Messages are printed, not shown: nothing may wait for a click here.
    kelmo::ui::Messages::setInterceptor([](const kelmo::ui::Message& m) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        return QMessageBox::Ok;
    });

    auto* zone = navigator.showZoneInput();
    // The worked charge: 1000 kg of TNT (4520 kJ/kg) in the air.
    auto* combo = zone->findChild<QComboBox*>(QStringLiteral("Combo4"));
    const int tnt = combo->findText(QStringLiteral("Тротил"), Qt::MatchStartsWith);
    if (tnt >= 0) {
        combo->setCurrentIndex(tnt);
    }
    if (zone->findChild<QLineEdit*>(QStringLiteral("Text12"))->text() != QStringLiteral("4520")) {
        zone->findChild<QRadioButton*>(QStringLiteral("Option9"))->setChecked(true);
        zone->findChild<QLineEdit*>(QStringLiteral("Text14"))->setText(QStringLiteral("Тротил"));
        zone->findChild<QLineEdit*>(QStringLiteral("Text12"))->setText(QStringLiteral("4520"));
    }
    zone->findChild<QRadioButton*>(QStringLiteral("Option5"))->setChecked(true);
    QTest::qWait(200);
    save(zone, folder, QStringLiteral("01-input"));

    zone->findChild<QAction*>(QStringLiteral("mnuPar"))->trigger();
    QTest::qWait(200);
    save(navigator.zoneParameters(), folder, QStringLiteral("08-parameters"));
    navigator.zoneParameters()->close();

    if (!zone->runCalculation()) {
        return 1;
    }
    auto* out = navigator.zoneResults();
    out->resize(1366, 740);
    out->findChild<QLineEdit*>(QStringLiteral("GOX"))->setText(QStringLiteral("50"));
    out->calculatePoint();
    QTest::qWait(200);

    auto* tabs = out->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    const char* names[] = {"02-results", "03-kgf-chart", "04-kpa-chart", "05-grid", "06-probit"};
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        save(out, folder, QString::fromLatin1(names[i]));
    }
    // The results page whole, also the part below the fold of its scroll area.
    tabs->setCurrentIndex(0);
    save(out->findChild<QWidget*>(QStringLiteral("resultsContents")), folder,
         QStringLiteral("02-results-whole"));
    // Narrower than the screen: the page scrolls, the point calculation keeps its width.
    out->resize(1000, 640);
    save(out, folder, QStringLiteral("02-results-narrow"));
    out->resize(1366, 740);
    tabs->setCurrentIndex(tabs->count() - 1);
    auto* probit = out->findChild<QTabWidget*>(QStringLiteral("SSTab3"));
    for (int i = 1; i < probit->count(); ++i) {
        probit->setCurrentIndex(i);
        save(out, folder, QStringLiteral("06-probit-%1").arg(i));
    }
    tabs->setCurrentIndex(1);
    out->findChild<QLineEdit*>(QStringLiteral("Rast1"))->setText(QStringLiteral("1"));
    out->findChild<QLineEdit*>(QStringLiteral("Rast2"))->setText(QStringLiteral("101"));
    out->buildRangeChart();
    save(out, folder, QStringLiteral("07-range-chart"));
    navigator.closeAll();
    return 0;
}
