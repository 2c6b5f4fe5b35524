// What the program remembers between runs, seen through the shell's windows: the charge of
// the last run, the calculation parameters, the save folders and the window places. A restart
// is a new Settings on the same file and a new navigator; the settings file is a temporary
// one, never the user's.
#include "chartviews/ChartActions.h"
#include "session/ZoneSession.h"
#include "shell/Navigator.h"
#include "tests/support/GuiTest.h"
#include "ui/FileHandover.h"
#include "ui/Settings.h"

#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

using namespace kelmo;
using namespace kelmo::test;
using kelmo::zone::CalculationParametersWindow;
using kelmo::zone::ZoneInputWindow;
using kelmo::zone::ZoneResultsWindow;

Q_DECLARE_METATYPE(QList<double>)

namespace {

QList<double> listOf(const CalcParameters& p) {
    return {p.step, p.chartLimitKPa, p.chartDivKPa, p.chartLimitKgf, p.chartDivKgf};
}

const QList<double> kLoadValues = listOf(CalcParameters::loadValues());

// The texts the input window opens with when nothing is remembered.
struct Defaults {
    QString mass = QStringLiteral("1000");
    QString heat = QStringLiteral("4520");
    QString bodyMass = QStringLiteral("70");
};

} // namespace

class TestRemembered final : public GuiTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void chargeRestoredAfterRestart_data();
    void chargeRestoredAfterRestart();
    void listExplosiveTakesTodaysCatalogue();
    void refusedRunRemembersNothing();
    void parametersKeptAndDefaultsRemembered();
    void damagedFileFallsBackToDefaults_data();
    void damagedFileFallsBackToDefaults();
    void numbersReadTheSameInEveryLocale_data();
    void numbersReadTheSameInEveryLocale();
    void saveFolderPerKindOfFile();
    void windowPlacesKept_data();
    void windowPlacesKept();

private:
    void start();
    void restart();
    void writeFile(const QByteArray& content);
    ZoneInputWindow* zone() { return m_navigator->showZoneInput(); }
    ZoneResultsWindow* run(ZoneInputWindow* w);
    QList<double> parameters() { return listOf(m_navigator->zoneSession().state().parameters()); }

    QTemporaryDir m_dir;
    QString m_file;
    QMap<QString, double> m_catalogue;
    std::unique_ptr<ui::Settings> m_settings;
    std::unique_ptr<shell::Navigator> m_navigator;
};

void TestRemembered::init() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_file = m_dir.filePath(QStringLiteral("kelmo.conf"));
    QFile::remove(m_file);
    m_catalogue = {{QStringLiteral("Тротил"), 4520}, {QStringLiteral("Тэн"), 5800}};
    startRecording();
    start();
}

void TestRemembered::cleanup() {
    m_navigator.reset();
    flushDeletes();
    m_settings.reset();
    stopRecording();
    ui::setSaveDialogForTesting({});
    ui::setOpenerForTesting({});
    charts::setImageDialogForTesting({});
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestRemembered::start() {
    m_settings = std::make_unique<ui::Settings>(m_file);
    m_navigator = std::make_unique<shell::Navigator>(m_settings.get());
    ReferenceLookups s;
    s.explosiveNames = [this] {
        return QStringList(m_catalogue.keys());
    };
    s.explosiveHeat = [this](const QString& name) -> std::optional<double> {
        if (!m_catalogue.contains(name)) {
            return std::nullopt;
        }
        return m_catalogue.value(name);
    };
    s.probitsToPercent = [](const std::array<float, 3>&) {
        return std::array<double, 3>{50, 50, 50};
    };
    m_navigator->setReferenceLookups(s);
}

// The program ends (every window closes) and starts again.
void TestRemembered::restart() {
    m_navigator.reset();
    flushDeletes();
    m_settings.reset();
    start();
}

void TestRemembered::writeFile(const QByteArray& content) {
    m_navigator.reset();
    flushDeletes();
    m_settings.reset();
    QFile f(m_file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    start();
}

ZoneResultsWindow* TestRemembered::run(ZoneInputWindow* w) {
    const int before = messages().count();
    click(w, "cmdRasch");
    if (messages().count() != before) {
        return nullptr;
    }
    return m_navigator->zoneResults();
}

void TestRemembered::chargeRestoredAfterRestart_data() {
    QTest::addColumn<bool>("keyboard");
    QTest::addColumn<int>("explosive"); // index in the list
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("heat");
    QTest::addColumn<bool>("perMole");
    QTest::addColumn<QString>("divisor");
    QTest::addColumn<QString>("mass");
    QTest::addColumn<bool>("air");
    QTest::addColumn<QString>("bodyMass");
    QTest::addColumn<QString>("objectName");
    QTest::newRow("second explosive of the list, in the air")
        << false << 1 << ""
        << "5800" << false << "179"
        << "250" << true << "80"
        << "Склад №3 \"Северный\", корпус [2]";
    QTest::newRow("typed in, per mole, on the ground") << true << 0 << "Смесь А; 2"
                                                       << "3900" << true << "227,13"
                                                       << "12,5" << false << "65,5"
                                                       << "";
    QTest::newRow("typed in, per kilogram, tiny charge") << true << 0 << "Навеска"
                                                         << "4184,2" << false << "179"
                                                         << "0,001" << true << "70"
                                                         << "x";
}

void TestRemembered::chargeRestoredAfterRestart() {
    QFETCH(bool, keyboard);
    QFETCH(int, explosive);
    QFETCH(QString, typedName);
    QFETCH(QString, heat);
    QFETCH(bool, perMole);
    QFETCH(QString, divisor);
    QFETCH(QString, mass);
    QFETCH(bool, air);
    QFETCH(QString, bodyMass);
    QFETCH(QString, objectName);

    ZoneInputWindow* w = zone();
    if (keyboard) {
        choose(w, "Option9");
        type(w, "Text14", typedName);
        type(w, "Text12", heat);
        choose(w, perMole ? "Option2" : "Option1");
        type(w, "Text15", divisor);
    } else {
        child<QComboBox>(w, "Combo4")->setCurrentIndex(explosive);
    }
    type(w, "Text2", mass);
    choose(w, air ? "Option5" : "Option6");
    type(w, "txtMch", bodyMass);
    type(w, "Name_ob", objectName);
    QVERIFY(run(w));
    const ChargeInput first = m_navigator->zoneSession().charge();
    const double firstEnd = m_navigator->zoneSession().state().maxDistance;

    restart();
    w = zone();
    QCOMPARE(child<QRadioButton>(w, "Option9")->isChecked(), keyboard);
    QCOMPARE(shown(w, "Combo4"), !keyboard);
    if (keyboard) {
        QCOMPARE(text(w, "Text14"), typedName);
        QCOMPARE(child<QRadioButton>(w, "Option2")->isChecked(), perMole);
        QCOMPARE(shown(w, "Text15"), perMole);
    } else {
        QCOMPARE(child<QComboBox>(w, "Combo4")->currentIndex(), explosive);
    }
    QCOMPARE(text(w, "Text12"), heat);
    QCOMPARE(text(w, "Text15"), divisor);
    QCOMPARE(text(w, "Text2"), mass);
    QCOMPARE(child<QRadioButton>(w, "Option5")->isChecked(), air);
    QCOMPARE(text(w, "txtMch"), bodyMass);
    QCOMPARE(text(w, "Name_ob"), objectName);

    // The restored window runs the very same charge.
    QVERIFY(run(w));
    const ChargeInput again = m_navigator->zoneSession().charge();
    QCOMPARE(again.chargeMassKg, first.chargeMassKg);
    QCOMPARE(again.heatUnit, first.heatUnit);
    QCOMPARE(again.heat, first.heat);
    QCOMPARE(again.molarDivisor, first.molarDivisor);
    QCOMPARE(again.placement, first.placement);
    QCOMPARE(again.bodyMassKg, first.bodyMassKg);
    QCOMPARE(m_navigator->zoneSession().state().maxDistance, firstEnd);
}

// The heat of a listed explosive is never the remembered one: the catalogue may have changed.
void TestRemembered::listExplosiveTakesTodaysCatalogue() {
    ZoneInputWindow* w = zone();
    child<QComboBox>(w, "Combo4")->setCurrentIndex(1); // Тэн, 5800
    QVERIFY(run(w));

    m_catalogue[QStringLiteral("Тэн")] = 5900;
    restart();
    w = zone();
    QCOMPARE(child<QComboBox>(w, "Combo4")->currentText(), QStringLiteral("Тэн"));
    QCOMPARE(text(w, "Text12"), QStringLiteral("5900"));

    // Removed from the catalogue since: the first one, with its own heat.
    m_catalogue.remove(QStringLiteral("Тэн"));
    restart();
    w = zone();
    QCOMPARE(child<QComboBox>(w, "Combo4")->currentText(), QStringLiteral("Тротил"));
    QCOMPARE(text(w, "Text12"), QStringLiteral("4520"));
    QVERIFY((messages().count() == 0));
}

void TestRemembered::refusedRunRemembersNothing() {
    ZoneInputWindow* w = zone();
    type(w, "Text2", QStringLiteral("250"));
    QVERIFY(run(w));
    w = zone();
    type(w, "Text2", QStringLiteral("много"));
    QVERIFY(!run(w));
    type(w, "Text2", QStringLiteral("300"));
    type(w, "txtMch", QStringLiteral("0")); // stops the run at its first distance
    QVERIFY(!run(w));

    restart();
    w = zone();
    QCOMPARE(text(w, "Text2"), QStringLiteral("250"));
    QCOMPARE(text(w, "txtMch"), QStringLiteral("70"));
}

void TestRemembered::parametersKeptAndDefaultsRemembered() {
    zone();
    CalculationParametersWindow* par = m_navigator->showZoneParameters();
    const char* fields[] = {"Text5", "Text2", "Text1", "Text7", "Text8"};
    const QStringList typed{"0,5", "2500", "5", "2,5", "4"};
    for (int i = 0; i < 5; ++i) {
        type(par, fields[i], typed[i]);
    }
    click(par, "Command1");
    const QList<double> accepted{0.5, 2500, 5, 2.5, 4};
    QCOMPARE(parameters(), accepted);

    restart();
    ZoneInputWindow* w = zone();
    QCOMPARE(parameters(), accepted);
    par = m_navigator->showZoneParameters();
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(text(par, fields[i]), typed[i]);
    }
    // The run takes the remembered step.
    m_navigator->showZoneInput();
    QVERIFY(run(w));
    QCOMPARE(m_navigator->zoneSession().state().profile.row(2).r, 1.5);

    // "Исходные значения" alone changes nothing, now or after a restart.
    par = m_navigator->showZoneParameters();
    trigger(par, "mnuIsh");
    QCOMPARE(text(par, "Text1"), QStringLiteral("2"));
    restart();
    zone();
    QCOMPARE(parameters(), accepted);

    // Accepted, they are what the next run of the program starts with.
    par = m_navigator->showZoneParameters();
    trigger(par, "mnuIsh");
    click(par, "Command1");
    restart();
    zone();
    QCOMPARE(parameters(), listOf(CalcParameters::resetValues()));

    // A refused field stores nothing in the settings.
    par = m_navigator->showZoneParameters();
    type(par, "Text5", QStringLiteral("2"));
    type(par, "Text8", QStringLiteral("два"));
    click(par, "Command1");
    restart();
    zone();
    QCOMPARE(parameters(), listOf(CalcParameters::resetValues()));
}

void TestRemembered::damagedFileFallsBackToDefaults_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("mass");
    QTest::addColumn<QString>("bodyMass");
    QTest::addColumn<bool>("air");
    QTest::addColumn<QList<double>>("parameters");

    const QByteArray sound = "[parameters]\nstep=2\nchartLimitKPa=2000\nchartDivKPa=4\n"
                             "chartLimitKgf=2\nchartDivKgf=4\n";
    const QList<double> soundValues{2, 2000, 4, 2, 4};
    const Defaults d;
    static const char kJunk[] = "\x00\x01\xff\xfe garbage [[[ = \n==\n[charge\nmass";
    QTest::newRow("sound file") << "[charge]\nmass=250\nbodyMass=80\nair=true\n" + sound << "250"
                                << "80" << true << soundValues;
    QTest::newRow("text in the numbers")
        << QByteArray("[charge]\nmass=abc\nbodyMass=1e400\nair=yes\n"
                      "[parameters]\nstep=x\nchartLimitKPa=2000\nchartDivKPa=4\n"
                      "chartLimitKgf=2\nchartDivKgf=4\n")
        << d.mass << d.bodyMass << false << kLoadValues;
    QTest::newRow("numbers out of range")
        << QByteArray("[charge]\nmass=-5\nbodyMass=0\n"
                      "[parameters]\nstep=0\nchartLimitKPa=2000\nchartDivKPa=4\nchartLimitKgf=2\n"
                      "chartDivKgf=4\n")
        << d.mass << d.bodyMass << false << kLoadValues;
    QTest::newRow("fractional division count")
        << QByteArray("[parameters]\nstep=1\nchartLimitKPa=2000\nchartDivKPa=2.5\n"
                      "chartLimitKgf=2\nchartDivKgf=4\n")
        << d.mass << d.bodyMass << false << kLoadValues;
    QTest::newRow("negative step")
        << QByteArray("[parameters]\nstep=-1\nchartLimitKPa=2000\nchartDivKPa=2\n"
                      "chartLimitKgf=2\nchartDivKgf=4\n")
        << d.mass << d.bodyMass << false << kLoadValues;
    // An unquoted comma makes a list of a hand-edited value.
    QTest::newRow("unquoted comma") << "[charge]\nmass=12,5\nbodyMass=\"80,5\"\n" + sound << d.mass
                                    << "80,5" << false << soundValues;
    QTest::newRow("parameter missing")
        << QByteArray("[parameters]\nstep=2\nchartLimitKPa=2000\nchartDivKPa=4\n") << d.mass
        << d.bodyMass << false << kLoadValues;
    QTest::newRow("not a settings file")
        << QByteArray(kJunk, sizeof kJunk - 1) << d.mass << d.bodyMass << false << kLoadValues;
    QTest::newRow("damaged window place")
        << "[windows]\nfrmZone=@ByteArray(xyz)\nfrmPar=12\n" + sound << d.mass << d.bodyMass
        << false << soundValues;
}

void TestRemembered::damagedFileFallsBackToDefaults() {
    QFETCH(QByteArray, content);
    QFETCH(QString, mass);
    QFETCH(QString, bodyMass);
    QFETCH(bool, air);
    QFETCH(QList<double>, parameters);
    writeFile(content);

    ZoneInputWindow* w = zone();
    QCOMPARE(text(w, "Text2"), mass);
    QCOMPARE(text(w, "txtMch"), bodyMass);
    QCOMPARE(child<QRadioButton>(w, "Option5")->isChecked(), air);
    QCOMPARE(text(w, "Text12"), Defaults().heat);
    QCOMPARE(child<QComboBox>(w, "Combo4")->currentIndex(), 0);
    QCOMPARE(this->parameters(), parameters);
    QVERIFY((messages().count() == 0));
    // The window is where a window without a place goes: on the screen.
    QVERIFY(w->screen()->availableGeometry().intersects(w->frameGeometry()));
    m_navigator->showZoneParameters();
    QVERIFY(run(m_navigator->showZoneInput()));
}

void TestRemembered::numbersReadTheSameInEveryLocale_data() {
    QTest::addColumn<QLocale>("writing");
    QTest::addColumn<QLocale>("reading");
    QTest::addColumn<QString>("typedMass");
    QTest::addColumn<QString>("shownMass");
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale c = QLocale::c();
    QTest::newRow("comma locale, then point") << ru << c << "12,5"
                                              << "12.5";
    QTest::newRow("point locale, then comma") << c << ru << "12.5"
                                              << "12,5";
    QTest::newRow("comma typed in a point locale") << c << ru << "0,125"
                                                   << "0,125";
    QTest::newRow("seventeen digits") << ru << c << "0,10000000000000001"
                                      << "0.1";
    QTest::newRow("more digits than shown") << ru << c << "1234,5678901234567"
                                            << "1234.5678901234567";
}

void TestRemembered::numbersReadTheSameInEveryLocale() {
    QFETCH(QLocale, writing);
    QFETCH(QLocale, reading);
    QFETCH(QString, typedMass);
    QFETCH(QString, shownMass);

    QLocale::setDefault(writing);
    ZoneInputWindow* w = zone();
    type(w, "Text2", typedMass);
    QVERIFY(run(w));
    const double mass = m_navigator->zoneSession().charge().chargeMassKg;
    CalculationParametersWindow* par = m_navigator->showZoneParameters();
    type(par, "Text5", writing.decimalPoint() == QStringLiteral(",") ? "0,5" : "0.5");
    click(par, "Command1");

    QLocale::setDefault(reading);
    restart();
    w = zone();
    QCOMPARE(text(w, "Text2"), shownMass);
    QCOMPARE(m_navigator->zoneSession().state().step, 0.5);
    QVERIFY(run(w));
    QCOMPARE(m_navigator->zoneSession().charge().chargeMassKg, mass);
}

void TestRemembered::saveFolderPerKindOfFile() {
    QTemporaryDir folders;
    const QString tables = folders.filePath(QStringLiteral("Таблицы"));
    const QString pictures = folders.filePath(QStringLiteral("Рисунки"));
    QVERIFY(QDir().mkpath(tables));
    QVERIFY(QDir().mkpath(pictures));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);

    QString proposed;
    QString answer;
    ui::setSaveDialogForTesting([&](const QString& path, const QString&) {
        proposed = path;
        return answer;
    });
    ui::setOpenerForTesting([](const QString&) {});
    charts::setImageDialogForTesting([&](const QString& path) {
        proposed = path;
        return answer;
    });

    ZoneResultsWindow* out = run(zone());
    QVERIFY(out);
    const auto folderOf = [](const QString& path) {
        return QFileInfo(path).absolutePath();
    };

    // Cancel remembers nothing.
    answer.clear();
    QVERIFY(!out->exportTable());
    QCOMPARE(folderOf(proposed), QFileInfo(documents + "/x").absolutePath());
    answer = QDir(tables).filePath(QStringLiteral("Зоны.xlsx"));
    QVERIFY(out->exportTable());
    QVERIFY(out->exportTable());
    QCOMPARE(proposed, QDir(tables).filePath(QStringLiteral("Числовые результаты расчета.xlsx")));

    auto* chart = child<QChartView>(out, "Graf_Davl");
    answer = QDir(pictures).filePath(QStringLiteral("График.png"));
    QVERIFY(charts::saveChartImage(out, charts::chartImage(chart), "График", m_settings.get()));
    QVERIFY(QFile::exists(answer));

    // Each kind of file keeps its own folder, also after a restart.
    restart();
    out = run(zone());
    QVERIFY(out);
    answer.clear();
    QVERIFY(!out->exportTable());
    QCOMPARE(folderOf(proposed), tables);
    child<QChartView>(out, "Graf_Davl")->actions().at(1)->trigger(); // "Сохранить изображение…"
    QCOMPARE(folderOf(proposed), pictures);
    m_settings->setReportAuthor({}); // given once: the report asks no more
    QVERIFY(!out->writeWordReport());
    QCOMPARE(folderOf(proposed), QFileInfo(documents + "/x").absolutePath());

    // A failed write remembers nothing: the folder stays the one of the last saved file.
    answer = folders.filePath(QStringLiteral("нет такой папки/Зоны.xlsx"));
    QVERIFY(!out->exportTable());
    answer.clear();
    QVERIFY(!out->exportTable());
    QCOMPARE(folderOf(proposed), tables);

    // A folder that is gone: back to the documents folder, without a message.
    QVERIFY(QDir(tables).removeRecursively());
    restart();
    out = run(zone());
    QVERIFY(!out->exportTable());
    QCOMPARE(folderOf(proposed), QFileInfo(documents + "/x").absolutePath());
}

void TestRemembered::windowPlacesKept_data() {
    QTest::addColumn<int>("window");
    QTest::newRow("main menu") << 0;
    QTest::newRow("about") << 1;
    QTest::newRow("zone input") << 2;
    QTest::newRow("parameters") << 3;
    QTest::newRow("results") << 4;
}

void TestRemembered::windowPlacesKept() {
    QFETCH(int, window);
    const auto show = [this, window]() -> QWidget* {
        switch (window) {
        case 0:
            return m_navigator->showMainMenu();
        case 1:
            return m_navigator->showAbout();
        case 2:
            return m_navigator->showZoneInput();
        case 3:
            m_navigator->showZoneInput();
            return m_navigator->showZoneParameters();
        default:
            return run(m_navigator->showZoneInput());
        }
    };
    QWidget* w = show();
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect screen = w->screen()->availableGeometry();
    const QPoint place = screen.topLeft() + QPoint(37, 23);
    w->move(place);
    QCOMPARE(w->pos(), place);

    restart();
    w = show();
    QVERIFY(w);
    QCOMPARE(w->pos(), place);
}

QTEST_MAIN(TestRemembered)
#include "tst_remembered.moc"
