// The zone windows as the shell wires them, on a session of their own and services that
// stand in for the database.

#include "core/NumberText.h"
#include "data/ReferenceLookups.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "session/ZoneSession.h"
#include "shell/MainWindow.h"
#include "shell/Navigator.h"
#include "ui/BackgroundWork.h"
#include "ui/Messages.h"
#include "windows/zone/CalculationParametersWindow.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include "tests/support/BusySign.h"
#include "tests/support/GuiTest.h"
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QValueAxis>

#include <atomic>
#include <cmath>
#include <memory>

using namespace kelmo;
using namespace kelmo::zone;
using kelmo::ui::MessageRecorder;

using kelmo::test::child;

namespace {

int seriesCount(QWidget* w, const char* name) {
    auto* view = child<QChartView>(w, name);
    return static_cast<int>(
        qobject_cast<QLineSeries*>(view->chart()->series().constFirst())->count());
}

// Percentages without a database: the normal distribution of the probit, cut at the bounds
// the probit table uses.
std::array<double, 3> fakePercent(const std::array<float, 3>& probits) {
    std::array<double, 3> out{};
    for (std::size_t i = 0; i < 3; ++i) {
        const double p = probits[i];
        out[i] = p >= 8.09 ? 100 : p <= 2.67 ? 0 : 50 * std::erfc(-(p - 5) / std::sqrt(2.0));
    }
    return out;
}

} // namespace

class TestZoneWindows : public test::GuiTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void modes();
    void workedRun();
    void perMoleDescription();
    void oneStoredRow();
    void runFailures_data();
    void runFailures();
    void parameters();
    void parametersRefuseText();
    void backToMenuResetsParameters();
    void pointCalculation_data();
    void pointCalculation();
    void pointCalculationFailures();
    void pointCalculationWaitsBehindCancel();
    void rangeChart();
    void validation_data();
    void validation();
    void refusedFieldBlocksButton();
    void lookup();
    void lookupWithLargerStep();
    void returnToInput();
    void windowsOnlySignal();
    void windowsExistOnce();
    void objectNamesOnce();

private:
    ZoneInputWindow* openZone();
    ZoneResultsWindow* runWorked(ZoneInputWindow* zone);

    const PointResult& lastPoint() const { return m_navigator->zoneSession().lastPoint().value(); }

    std::unique_ptr<shell::Navigator> m_navigator;
    CalcState* m_state = nullptr;
    bool m_databaseFails = false;
    std::atomic<bool> m_databaseStalls{false};
};

void TestZoneWindows::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestZoneWindows::init() {
    m_databaseFails = false;
    m_databaseStalls = false;
    m_navigator = std::make_unique<shell::Navigator>();
    m_state = &m_navigator->zoneSession().state();
    ReferenceLookups s;
    s.explosiveNames = [] {
        return QStringList{QStringLiteral("Тротил"), QStringLiteral("Тэн")};
    };
    s.explosiveHeat = [](const QString& name) -> std::optional<double> {
        if (name == QStringLiteral("Тротил")) {
            return 4520;
        }
        if (name == QStringLiteral("Тэн")) {
            return 5800;
        }
        return std::nullopt;
    };
    s.probitsToPercent = [this](const std::array<float, 3>& p) {
        // A stall ends by itself, so that a window that waits on its own thread fails the
        // test instead of hanging it.
        for (int waited = 0; m_databaseStalls && waited < 8000; waited += 5) {
            QThread::msleep(5);
        }
        if (m_databaseFails) {
            throw Error("Нет связи с базой данных.");
        }
        return fakePercent(p);
    };
    m_navigator->setReferenceLookups(s);
    startRecording();
}

void TestZoneWindows::cleanup() {
    m_navigator.reset();
    stopRecording();
    flushDeletes();
    m_state = nullptr;
}

ZoneInputWindow* TestZoneWindows::openZone() {
    return m_navigator->showZoneInput();
}

ZoneResultsWindow* TestZoneWindows::runWorked(ZoneInputWindow* zone) {
    choose(zone, "Option5");
    click(zone, "cmdRasch");
    auto* out = m_navigator->zoneResults();
    if (out == nullptr) {
        qFatal("the worked run did not open the results window");
    }
    return out;
}

void TestZoneWindows::modes() {
    ZoneInputWindow* w = openZone();
    QCOMPARE(w->windowTitle(),
             QStringLiteral("Расчет зон поражения при взрыве конденсированных ВВ"));
    // Load state: list mode, first explosive, its heat, per kg, ground.
    QVERIFY(child<QRadioButton>(w, "Option8")->isChecked());
    QCOMPARE(child<QComboBox>(w, "Combo4")->currentText(), QStringLiteral("Тротил"));
    QCOMPARE(text(w, "Text12"), QStringLiteral("4520"));
    QVERIFY(!child<QLineEdit>(w, "Text12")->isEnabled());
    QVERIFY(!child<QGroupBox>(w, "Frame4")->isEnabled());
    QVERIFY(child<QRadioButton>(w, "Option6")->isChecked());
    QVERIFY(!child<QLineEdit>(w, "Text14")->isVisible());
    QCOMPARE(m_state->chartDivKPa, 10.0);

    child<QComboBox>(w, "Combo4")->setCurrentIndex(1);
    QCOMPARE(text(w, "Text12"), QStringLiteral("5800"));

    child<QRadioButton>(w, "Option9")->setChecked(true);
    QVERIFY(child<QLineEdit>(w, "Text12")->isEnabled());
    QVERIFY(!child<QComboBox>(w, "Combo4")->isVisible());
    QVERIFY(child<QLineEdit>(w, "Text14")->isVisible());
    QVERIFY(child<QGroupBox>(w, "Frame4")->isEnabled());

    child<QRadioButton>(w, "Option2")->setChecked(true);
    QVERIFY(child<QLineEdit>(w, "Text15")->isVisible());
    QVERIFY(!child<QLineEdit>(w, "Text12")->isVisible());
    QCOMPARE(text(w, "Text12"), QStringLiteral("5800")); // kept out of sight

    // Back to list mode: first explosive, per kg forced, unit locked.
    child<QRadioButton>(w, "Option8")->setChecked(true);
    QCOMPARE(child<QComboBox>(w, "Combo4")->currentIndex(), 0);
    QCOMPARE(text(w, "Text12"), QStringLiteral("4520"));
    QVERIFY(child<QRadioButton>(w, "Option1")->isChecked());
    QVERIFY(!child<QLineEdit>(w, "Text15")->isVisible());
    QVERIFY(child<QLineEdit>(w, "Text12")->isVisible());
    QVERIFY(!child<QGroupBox>(w, "Frame4")->isEnabled());
}

void TestZoneWindows::workedRun() {
    ZoneInputWindow* zone = openZone();
    MessageRecorder messages;
    ZoneResultsWindow* out = runWorked(zone);
    QCOMPARE(messages.count(), 0);
    QVERIFY(out->isVisible());
    QVERIFY(!zone->isVisible());
    QCOMPARE(out->windowTitle(), QStringLiteral("Вывод результатов"));
    QCOMPARE(m_state->pointCount, 325);

    const char* zoneLabels[] = {"Rad1",  "Rad2",  "Rad3",  "Rad4",  "Rad5",
                                "Rad11", "Rad12", "Rad13", "Rad14", "Rad15"};
    const char* zoneValues[] = {"38", "74", "85", "167", "167", "21", "44", "51", "115", "115"};
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(text(out, zoneLabels[i]), QString::fromLatin1(zoneValues[i]));
    }
    // The kgf/cm² column heads follow the locale's decimal separator, as the values do.
    const char* kgfHeads[] = {"1", "0,7", "0,5", "0,3", "0,2", "0,1", "0,03"};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(text(out, QByteArray("Rez_1" + QByteArray::number(i + 1)).constData()),
                 QString::fromUtf8(kgfHeads[i]));
    }
    const char* kgfValues[] = {"27", "32", "39", "53", "68", "113", "311"};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(text(out, QByteArray("Rez_" + QByteArray::number(i + 1)).constData()),
                 QString::fromLatin1(kgfValues[i]));
    }
    const char* kpaLabels[] = {"R100", "R70", "R53", "R50", "R30", "R28", "R20",
                               "R12",  "R10", "R7",  "R5",  "R3",  "R1"};
    const char* kpaValues[] = {"27", "32",  "37",  "39",  "52",  "54", "68",
                               "97", "111", "147", "195", "305", "855"};
    for (int i = 0; i < 13; ++i) {
        QCOMPARE(text(out, kpaLabels[i]), QString::fromLatin1(kpaValues[i]));
    }

    QCOMPARE(text(out, "Label11"), QStringLiteral("Тротил"));
    QCOMPARE(text(out, "Label15"), QStringLiteral("1000"));
    QCOMPARE(text(out, "Lab1"), QStringLiteral("Энергия взрыва, кДж/кг:"));
    QCOMPARE(text(out, "Lab2"), QStringLiteral("4520"));
    QCOMPARE(text(out, "Label12"), QStringLiteral("в воздухе"));
    QCOMPARE(text(out, "Rast2"), QStringLiteral("325"));
    QCOMPARE(text(out, "Text8"), QStringLiteral("10"));

    QAbstractItemModel* grid = child<QTableView>(out, "tabDavl1")->model();
    QCOMPARE(grid->rowCount(), 325);
    QCOMPARE(grid->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Импульс, Па·с"));
    QCOMPARE(grid->index(9, 0).data().toString(), QStringLiteral("10"));
    const ProfileRow& row10 = m_state->profile.row(10);
    QCOMPARE(grid->index(9, 1).data().toString(), numtext::fixed(row10.deltaPkgf, 3));
    QVERIFY(grid->index(9, 1).data().toString().contains(QLatin1Char(',')));
    QCOMPARE(grid->index(9, 4).data().toString(), numtext::fixed(row10.probitHeavy, 2));

    QCOMPARE(seriesCount(out, "Graf_Davl"), 324);
    QCOMPARE(seriesCount(out, "Graf_Davl1"), 324);
    QCOMPARE(seriesCount(out, "chrProbit0"), 6);
    QCOMPARE(seriesCount(out, "chrProbit1"), 136);
    QCOMPARE(seriesCount(out, "chrProbit2"), 99);
    for (const char* name : {"chrProbit0", "chrProbit1", "chrProbit2"}) {
        QVERIFY(!child<QChartView>(out, name)->isHidden());
        QVERIFY(child<QLabel>(out, QByteArray(name).append("Note").constData())->isHidden());
    }

    QCOMPARE(child<QTabWidget>(out, "SSTab1")->currentIndex(), 0);
    QCOMPARE(child<QTabWidget>(out, "SSTab2")->currentIndex(), 0);
    QVERIFY(!child<QTabWidget>(out, "SSTab2")->isTabEnabled(1));
    QVERIFY(!child<QGroupBox>(out, "Frame18")->isVisible());
    // The reports are available from the start (tested in tests/reports).
    QVERIFY(child<QAction>(out, "mnuWord")->isEnabled());
    QVERIFY(child<QPushButton>(out, "Command3")->isEnabled());
}

void TestZoneWindows::perMoleDescription() {
    ZoneInputWindow* zone = openZone();
    child<QRadioButton>(zone, "Option9")->setChecked(true);
    child<QRadioButton>(zone, "Option2")->setChecked(true);
    type(zone, "Text14", QStringLiteral("ВВ-1"));
    type(zone, "Text12", QStringLiteral("809000"));
    type(zone, "Text15", QStringLiteral("179"));
    ZoneResultsWindow* out = runWorked(zone);
    QCOMPARE(text(out, "Label11"), QStringLiteral("ВВ-1"));
    QCOMPARE(text(out, "Lab1"), QStringLiteral("Энергия взрыва, кДж/моль:"));
    QCOMPARE(text(out, "Lab2"), QStringLiteral("179"));
    // 809000 / 179 × 1000 kJ/kg.
    QCOMPARE(m_state->massTnt, 809000.0 / 179 * 1000 / 4520 * 1000);
}

void TestZoneWindows::oneStoredRow() {
    ZoneInputWindow* zone = openZone();
    m_state->step = 1000;
    ZoneResultsWindow* out = runWorked(zone);
    QCOMPARE(m_state->pointCount, 1);
    QCOMPARE(child<QTableView>(out, "tabDavl1")->model()->rowCount(), 1);
    for (const char* name : {"chrProbit0", "chrProbit1", "chrProbit2"}) {
        QVERIFY(child<QChartView>(out, name)->isHidden());
        QVERIFY(!child<QLabel>(out, QByteArray(name).append("Note").constData())->isHidden());
    }
    QCOMPARE(seriesCount(out, "Graf_Davl"), 0);
    // No distance lies between row 1 and row N − 1: every point is refused.
    MessageRecorder messages;
    type(out, "GOX", QStringLiteral("1"));
    QVERIFY(!out->calculatePoint());
    QCOMPARE(messages.count(), 1);
}

void TestZoneWindows::runFailures_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("perMole");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("expected");

    QTest::newRow("mass not a number")
        << "Text2"
        << "1000кг" << false << 1.0 << "Масса конденсированного ВВ (кг)";
    QTest::newRow("heat not a number") << "Text12"
                                       << "" << false << 1.0 << "Энергия взрыва, кДж/кг";
    QTest::newRow("divisor not a number") << "Text15"
                                          << "x" << true << 1.0 << "Энергия взрыва, кДж/моль";
    QTest::newRow("body mass not a number") << "txtMch"
                                            << "семьдесят" << false << 1.0 << "Масса тела человека";
    QTest::newRow("body mass 0") << "txtMch"
                                 << "0" << false << 1.0
                                 << "масса тела человека должна быть больше нуля";
    QTest::newRow("mass 0") << "Text2"
                            << "0" << false << 1.0 << "тротиловый эквивалент";
    QTest::newRow("divisor 0") << "Text15"
                               << "0" << true << 1.0 << "делитель равен нулю";
    QTest::newRow("negative step")
        << "Text2"
        << "1000" << false << -1.0 << "Шаг расчёта должен быть больше нуля";
    QTest::newRow("row limit") << "Text2"
                               << "1000" << false << 0.0 << "Увеличьте шаг";
}

void TestZoneWindows::runFailures() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, perMole);
    QFETCH(double, step);
    QFETCH(QString, expected);

    ZoneInputWindow* zone = openZone();
    m_state->step = step;
    if (perMole) {
        child<QRadioButton>(zone, "Option9")->setChecked(true);
        child<QRadioButton>(zone, "Option2")->setChecked(true);
    }
    type(zone, field.toLatin1().constData(), value);
    MessageRecorder messages;
    click(zone, "cmdRasch");
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.last().title, QStringLiteral("Внимание!"));
    QVERIFY2(messages.last().text.contains(expected), qPrintable(messages.last().text));
    QVERIFY(zone->isVisible());
    QCOMPARE(text(zone, field.toLatin1().constData()), value);
    QVERIFY(m_navigator->zoneResults() == nullptr);
}

void TestZoneWindows::parameters() {
    ZoneInputWindow* zone = openZone();
    zone->findChild<QAction*>(QStringLiteral("mnuPar"))->trigger();
    auto* par = m_navigator->zoneParameters();
    QVERIFY(par && par->isVisible());
    QVERIFY(!zone->isVisible());
    QCOMPARE(par->windowTitle(), QStringLiteral("Параметры расчета — Программа \"Келмо\""));
    const char* fields[] = {"Text5", "Text2", "Text1", "Text7", "Text8"};
    const QStringList loaded{"1", "3000", "10", "3", "10"};
    const QStringList reset{"1", "3000", "2", "3", "2"};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(text(par, fields[i]), loaded[i]);
    }
    par->findChild<QAction*>(QStringLiteral("mnuIsh"))->trigger();
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(text(par, fields[i]), reset[i]);
    }
    QCOMPARE(m_state->chartDivKPa, 10.0); // not stored before "Ok"
    click(par, "Command1");
    QVERIFY(!par->isVisible());
    QVERIFY(zone->isVisible());
    QCOMPARE(m_state->step, 1.0);
    QCOMPARE(m_state->chartLimitKPa, 3000.0);
    QCOMPARE(m_state->chartDivKPa, 2.0);
    QCOMPARE(m_state->chartLimitKgf, 3.0);
    QCOMPARE(m_state->chartDivKgf, 2.0);

    ZoneResultsWindow* out = runWorked(zone);
    for (const char* name : {"Graf_Davl", "Graf_Davl1"}) {
        auto* y = qobject_cast<QValueAxis*>(
            child<QChartView>(out, name)->chart()->axes(Qt::Vertical).constFirst());
        QCOMPARE(y->tickCount(), 3);
    }
    QCOMPARE(text(out, "Text8"), QStringLiteral("2"));

    // A step of 0,5 makes the next run store 1; 1,5; 2; …
    out->close();
    zone->findChild<QAction*>(QStringLiteral("mnuPar"))->trigger();
    type(par, "Text5", QStringLiteral("0,5"));
    click(par, "Command1");
    out = runWorked(zone);
    QCOMPARE(m_state->profile.row(2).r, 1.5);
    QCOMPARE(child<QTableView>(out, "tabDavl1")->model()->index(1, 0).data().toString(),
             QStringLiteral("1,5"));
}

void TestZoneWindows::parametersRefuseText() {
    ZoneInputWindow* zone = openZone();
    zone->findChild<QAction*>(QStringLiteral("mnuPar"))->trigger();
    auto* par = m_navigator->zoneParameters();
    type(par, "Text5", QStringLiteral("2"));
    type(par, "Text2", QStringLiteral("2500"));
    type(par, "Text1", QStringLiteral("пять"));
    type(par, "Text7", QStringLiteral("4"));
    MessageRecorder messages;
    click(par, "Command1");
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.last().text.contains(QStringLiteral("Число разбиений")));
    QVERIFY(par->isVisible());
    QVERIFY(!zone->isVisible());
    // Fields before the refused one are stored, the later ones are not.
    QCOMPARE(m_state->step, 2.0);
    QCOMPARE(m_state->chartLimitKPa, 2500.0);
    QCOMPARE(m_state->chartDivKPa, 10.0);
    QCOMPARE(m_state->chartLimitKgf, 3.0);

    // Closing through the frame brings the input window back.
    par->close();
    QVERIFY(!par->isVisible());
    QVERIFY(zone->isVisible());
}

void TestZoneWindows::backToMenuResetsParameters() {
    ZoneInputWindow* zone = openZone();
    m_state->chartDivKgf = 2;
    child<QLineEdit>(zone, "Text2")->setText(QStringLiteral("5"));
    click(zone, "cmdNazad");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    shell::MainWindow* menu = m_navigator->mainMenu();
    QVERIFY(menu != nullptr);
    QVERIFY(menu->isVisible());
    QVERIFY(m_navigator->zoneInput() == nullptr);
    zone = openZone();
    QCOMPARE(m_state->chartDivKgf, 10.0);
    QCOMPARE(text(zone, "Text2"), QStringLiteral("1000"));
}

void TestZoneWindows::pointCalculation_data() {
    QTest::addColumn<QString>("distance");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("first row 1") << "1" << true;
    QTest::newRow("0,5 below") << "0,5" << false;
    QTest::newRow("row N-1") << "324" << true;
    QTest::newRow("row N") << "325" << false;
    QTest::newRow("between rows") << "10,25" << true;
}

void TestZoneWindows::pointCalculation() {
    QFETCH(QString, distance);
    QFETCH(bool, accepted);
    ZoneResultsWindow* out = runWorked(openZone());
    QCOMPARE(text(out, "GOX"), QStringLiteral("10"));
    type(out, "GOX", distance);
    MessageRecorder messages;
    click(out, "Command9");
    QCOMPARE(child<QGroupBox>(out, "Frame18")->isVisibleTo(out), accepted);
    if (!accepted) {
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("В н и м а н и е ! ! !"));
        QCOMPARE(messages.last().text,
                 QStringLiteral("Указанное расстояние выходит за границы расчета!"));
        QCOMPARE(messages.last().icon, QMessageBox::Warning);
        return;
    }
    QCOMPARE(messages.count(), 0);
    const double d = numtext::parse(distance).value();
    CalcState check;
    check.massTnt = m_state->massTnt;
    const ProbitTerms terms = evaluateAtDistance(check, Placement::Air, d, 70);
    QCOMPARE(text(out, "Label61"), numtext::fixed(check.deltaPkPa, 3));
    QCOMPARE(lastPoint().ptArgHeavy, terms.vHeavy);
    QCOMPARE(lastPoint().ptArgPeople, terms.sPeople);
    if (d == 1) {
        QCOMPARE(text(out, "Label62"), QStringLiteral("100,0")); // probit above 8,09
    }
    if (d == 324) {
        QCOMPARE(text(out, "Label25"), QStringLiteral("0,0")); // probit at or below 2,67
    }
}

void TestZoneWindows::pointCalculationFailures() {
    ZoneResultsWindow* out = runWorked(openZone());
    MessageRecorder messages;
    type(out, "GOX", QStringLiteral("десять"));
    click(out, "Command9");
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.last().text.contains(QStringLiteral("не является числом")));
    QVERIFY(!child<QGroupBox>(out, "Frame18")->isVisibleTo(out));

    m_databaseFails = true;
    type(out, "GOX", QStringLiteral("10"));
    click(out, "Command9");
    QCOMPARE(messages.count(), 2);
    QCOMPARE(messages.last().icon, QMessageBox::Critical);
    QVERIFY(messages.last().text.contains(QStringLiteral("базе данных")));
    QVERIFY(!child<QGroupBox>(out, "Frame18")->isVisibleTo(out));
}

// The probit table comes from a database that does not answer: the window keeps answering, the
// wait can be given up on without a message, and the next try shows the percents.
void TestZoneWindows::pointCalculationWaitsBehindCancel() {
    ZoneResultsWindow* out = runWorked(openZone());
    MessageRecorder messages;
    type(out, "GOX", QStringLiteral("10"));
    m_databaseStalls = true;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20);
    QString waitedFor;
    test::cancelBusySignWhenShown(out, &waitedFor);
    click(out, "Command9");
    m_databaseStalls = false;
    QCOMPARE(waitedFor, QStringLiteral("Чтение таблицы вероятностей поражения…"));
    QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
    QCOMPARE(messages.count(), 0);
    QVERIFY(!child<QGroupBox>(out, "Frame18")->isVisibleTo(out));

    click(out, "Command9");
    QCOMPARE(messages.count(), 0);
    QVERIFY(child<QGroupBox>(out, "Frame18")->isVisibleTo(out));
}

void TestZoneWindows::rangeChart() {
    ZoneResultsWindow* out = runWorked(openZone());
    MessageRecorder messages;
    type(out, "Rast1", QStringLiteral("50"));
    type(out, "Rast2", QStringLiteral("50"));
    click(out, "Command1");
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.last().text,
             QStringLiteral("Значение слева должно быть меньше значения справа!!!"));
    QCOMPARE(messages.last().title, QStringLiteral("Внимание!"));
    QCOMPARE(messages.last().icon, QMessageBox::NoIcon);
    QVERIFY(!child<QTabWidget>(out, "SSTab2")->isTabEnabled(1));

    type(out, "Rast1", QStringLiteral("1"));
    type(out, "Rast2", QStringLiteral("101"));
    click(out, "Command1");
    QCOMPARE(messages.count(), 1);
    QCOMPARE(seriesCount(out, "Graf_Davl_Diap"), 101); // 1 to 101 m, both bounds drawn
    QVERIFY(child<QTabWidget>(out, "SSTab2")->isTabEnabled(1));
    QCOMPARE(child<QTabWidget>(out, "SSTab2")->currentIndex(), 1);
    QCOMPARE(text(out, "Label5"),
             QStringLiteral("График зависимости давления от расстояния (от 1 м до 101 м)"));
    auto* chart = child<QChartView>(out, "Graf_Davl_Diap")->chart();
    auto* y = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).constFirst());
    QCOMPARE(y->min(), m_state->profile.row(101).deltaPkgf);
    QCOMPARE(y->max(), m_state->profile.row(1).deltaPkgf);
    QCOMPARE(y->tickCount(), 11);
    auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).constFirst());
    QCOMPARE(x->tickInterval(), 10.0);
}

void TestZoneWindows::validation_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("pressure");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("corrected");

    QTest::newRow("Rast1 0") << "Rast1" << false << "0"
                             << "Значение должно быть >= 1 м!"
                             << "1";
    QTest::newRow("Rast2 too far") << "Rast2" << false << "400"
                                   << "Значение должно быть <= 325 м!"
                                   << "325";
    QTest::newRow("Text1 not a number") << "Text1" << false << "abc"
                                        << "Проверте правильность ввода!"
                                        << "abc";
    QTest::newRow("Text1 0,5") << "Text1" << false << "0,5"
                               << "Значение должно быть >= 1 м!"
                               << "1";
    QTest::newRow("pressure too low") << "Text1" << true << "0,001"
                                      << ""
                                      << "";
    QTest::newRow("pressure too high") << "Text1" << true << "10000000"
                                       << ""
                                       << "";
    QTest::newRow("Rast1 ok") << "Rast1" << false << "12,5"
                              << ""
                              << "12,5";
}

void TestZoneWindows::validation() {
    QFETCH(QString, field);
    QFETCH(bool, pressure);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(QString, corrected);

    ZoneResultsWindow* out = runWorked(openZone());
    QVERIFY(QTest::qWaitForWindowActive(out));
    child<QTabWidget>(out, "SSTab1")->setCurrentIndex(1);
    if (pressure) {
        child<QRadioButton>(out, "Option2")->setChecked(true);
        const double pMin = m_state->profile.row(325).deltaPkgf;
        const double pMax = m_state->profile.row(1).deltaPkgf;
        QCOMPARE(text(out, "Text1"), numtext::fixed(pMin, 4));
        const bool low = numtext::parse(value).value() < pMin;
        message = low ? QStringLiteral("Значение должно быть >= ") + numtext::fixed(pMin, 4) +
                            QStringLiteral(" кгс/кв. см!")
                      : QStringLiteral("Значение должно быть <= ") + numtext::fixed(pMax, 4) +
                            QStringLiteral(" кгс/кв. см!");
        corrected = numtext::fixed(low ? pMin : pMax, 4);
    }
    auto* edit = child<QLineEdit>(out, field.toLatin1().constData());
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    edit->setText(value);
    MessageRecorder messages;
    child<QLineEdit>(out, "Text8")->setFocus();
    if (message.isEmpty()) {
        QCOMPARE(messages.count(), 0);
        QVERIFY(!edit->hasFocus());
    } else {
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text, message);
        QCOMPARE(messages.last().title, QStringLiteral("Внимание!!!"));
        QCOMPARE(messages.last().icon, value == "abc" ? QMessageBox::Warning : QMessageBox::NoIcon);
        QVERIFY(edit->hasFocus());
    }
    QCOMPARE(edit->text(), corrected);
}

void TestZoneWindows::refusedFieldBlocksButton() {
    ZoneResultsWindow* out = runWorked(openZone());
    QVERIFY(QTest::qWaitForWindowActive(out));
    child<QTabWidget>(out, "SSTab1")->setCurrentIndex(1);
    auto* t1 = child<QLineEdit>(out, "Text1");
    t1->setFocus();
    t1->setText(QStringLiteral("5000"));
    MessageRecorder messages;
    click(out, "Command2");
    QCOMPARE(messages.count(), 1);
    QVERIFY(t1->hasFocus());
    QCOMPARE(t1->text(), QStringLiteral("325"));
    QCOMPARE(text(out, "Text2"), QString()); // the lookup did not happen
    // The corrected value passes the next time the focus leaves.
    click(out, "Command2");
    QCOMPARE(messages.count(), 1);
    QCOMPARE(text(out, "Text2"), numtext::fixed(m_state->profile.row(325).deltaPkgf, 4));
}

void TestZoneWindows::lookup() {
    ZoneResultsWindow* out = runWorked(openZone());
    const auto look = [&](const QString& v) -> QString {
        type(out, "Text1", v);
        if (!text(out, "Text2").isEmpty() || !out->lookUp()) {
            return QStringLiteral("(lookup failed)");
        }
        return text(out, "Text2");
    };
    const auto pressure = [&](int row) {
        return numtext::fixed(m_state->profile.row(row).deltaPkgf, 4);
    };
    QCOMPARE(look(QStringLiteral("10,4")), pressure(10));
    QCOMPARE(look(QStringLiteral("10,5")), pressure(10));
    QCOMPARE(look(QStringLiteral("11,5")), pressure(12));

    child<QRadioButton>(out, "Option2")->setChecked(true);
    QCOMPARE(text(out, "Label9"), QStringLiteral("Давление, кгс/кв. см"));
    QCOMPARE(text(out, "Label10"), QStringLiteral("Расстояние, м"));
    QVERIFY(text(out, "Text2").isEmpty());
    const double p50 = m_state->profile.row(50).deltaPkgf;
    const double p51 = m_state->profile.row(51).deltaPkgf;
    QCOMPARE(look(numtext::roundTrip(p50)), QStringLiteral("50"));
    QCOMPARE(look(numtext::roundTrip((p50 + p51) / 2)), QStringLiteral("51"));
    child<QRadioButton>(out, "Option1")->setChecked(true);
    QCOMPARE(text(out, "Label9"), QStringLiteral("Расстояние, м"));
}

void TestZoneWindows::lookupWithLargerStep() {
    // With a step of 10 m the rows are found by their stored distance, not by number.
    ZoneInputWindow* zone = openZone();
    m_state->step = 10;
    ZoneResultsWindow* out = runWorked(zone);
    QCOMPARE(m_state->pointCount, 33);
    type(out, "Text1", QStringLiteral("24"));
    QVERIFY(out->lookUp());
    QCOMPARE(text(out, "Text2"), numtext::fixed(m_state->profile.row(3).deltaPkgf, 4));
    type(out, "Rast1", QStringLiteral("1"));
    type(out, "Rast2", QStringLiteral("101"));
    QVERIFY(out->buildRangeChart());
    QCOMPARE(seriesCount(out, "Graf_Davl_Diap"), 11); // 1, 11, …, 101 m
}

void TestZoneWindows::returnToInput() {
    ZoneInputWindow* zone = openZone();
    ZoneResultsWindow* out = runWorked(zone);
    child<QLineEdit>(out, "GOX")->setText(QStringLiteral("20"));
    QVERIFY(out->calculatePoint());
    out->findChild<QAction*>(QStringLiteral("mnuReturn"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_navigator->zoneResults() == nullptr);
    QVERIFY(zone->isVisible());
    QVERIFY(m_navigator->mainMenu() == nullptr);
    // The next run starts with a fresh window: point results hidden again.
    out = runWorked(zone);
    QVERIFY(!child<QGroupBox>(out, "Frame18")->isVisibleTo(out));
    QCOMPARE(text(out, "GOX"), QStringLiteral("10"));
}

// Outside the shell a window only says what the user asked for: nothing else opens.
void TestZoneWindows::windowsOnlySignal() {
    zone::Session session;
    const auto visibleWindows = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            n += w->isVisible() ? 1 : 0;
        }
        return n;
    };
    const WindowContext context;
    ZoneInputWindow input(context, session);
    input.show();
    QSignalSpy results(&input, &ZoneInputWindow::resultsRequested);
    QSignalSpy parameters(&input, &ZoneInputWindow::parametersRequested);
    QSignalSpy back(&input, &ZoneInputWindow::backRequested);
    type(&input, "Text12", QStringLiteral("4520"));
    click(&input, "cmdRasch");
    QCOMPARE(results.count(), 1);
    QVERIFY(!input.isVisible());
    QCOMPARE(session.state().pointCount, 410); // 1000 kg on the ground
    QCOMPARE(session.description().massText, QStringLiteral("1000"));
    QCOMPARE(visibleWindows(), 0);

    input.show();
    trigger(&input, "mnuPar");
    QCOMPARE(parameters.count(), 1);
    QVERIFY(!input.isVisible());
    QCOMPARE(visibleWindows(), 0);

    CalculationParametersWindow dialog(context, session);
    dialog.show();
    QSignalSpy accepted(&dialog, &CalculationParametersWindow::parametersAccepted);
    type(&dialog, "Text5", QStringLiteral("2"));
    click(&dialog, "Command1");
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(session.state().step, 2.0);
    QCOMPARE(visibleWindows(), 0);

    ZoneResultsWindow output(context, session);
    output.present();
    output.show();
    QSignalSpy outputBack(&output, &ZoneResultsWindow::backRequested);
    trigger(&output, "mnuReturn");
    QCOMPARE(outputBack.count(), 1);
    QCOMPARE(visibleWindows(), 0);
    QCOMPARE(back.count(), 0);
}

// Each window exists at most once and loses its contents when closed; the session stays.
void TestZoneWindows::windowsExistOnce() {
    ZoneInputWindow* zone = openZone();
    QCOMPARE(openZone(), zone);
    type(zone, "Text2", QStringLiteral("500"));
    trigger(zone, "mnuPar");
    CalculationParametersWindow* par = m_navigator->zoneParameters();
    QVERIFY(par != nullptr);
    type(par, "Text5", QStringLiteral("0,5"));
    par->close(); // only hidden: the texts stay, nothing is stored
    QCOMPARE(m_navigator->zoneParameters(), par);
    trigger(zone, "mnuPar");
    QCOMPARE(m_navigator->zoneParameters(), par);
    QCOMPARE(text(par, "Text5"), QStringLiteral("0,5"));
    QCOMPARE(m_state->step, 1.0);
    par->close();

    ZoneResultsWindow* first = runWorked(zone);
    first->close();
    flushDeletes();
    QVERIFY(m_navigator->zoneResults() == nullptr);
    ZoneResultsWindow* second = runWorked(zone);
    QVERIFY(second != nullptr);
    QVERIFY(second->isVisible());
    int outputs = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        outputs += qobject_cast<ZoneResultsWindow*>(w) != nullptr ? 1 : 0;
    }
    QCOMPARE(outputs, 1);
    QCOMPARE(m_state->massTnt, 500.0); // the input window kept its text between the runs
}

// The tests and the remembered window places find a control by its objectName, which is the
// first of its name: a name used twice in a window (two forms of its pages giving the same one)
// would let them read another control than the one meant.
void TestZoneWindows::objectNamesOnce() {
    ZoneInputWindow* zone = openZone();
    trigger(zone, "mnuPar");
    CalculationParametersWindow* par = m_navigator->zoneParameters();
    par->close();
    ZoneResultsWindow* out = runWorked(zone);
    for (QWidget* window : {static_cast<QWidget*>(out), static_cast<QWidget*>(par)}) {
        QStringList names;
        for (const QObject* o : window->findChildren<QObject*>()) {
            const QString name = o->objectName();
            // Qt names the inner parts of its widgets itself (qt_scrollarea_viewport, the tab
            // bars' scroll buttons), and each chart has its own menu, found through the chart.
            const QObject* parent = o->parent();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
                qobject_cast<const QTabBar*>(parent) != nullptr ||
                qobject_cast<const QChartView*>(parent) != nullptr) {
                continue;
            }
            names << name;
        }
        QStringList twice;
        for (const QString& name : names) {
            if (names.count(name) > 1 && !twice.contains(name)) {
                twice << name;
            }
        }
        QVERIFY2(twice.isEmpty(), qPrintable(window->objectName() + QStringLiteral(": ") +
                                             twice.join(QStringLiteral(", "))));
        QVERIFY(!names.isEmpty());
    }
}

QTEST_MAIN(TestZoneWindows)
#include "tst_zonewindows.moc"
