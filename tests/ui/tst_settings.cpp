// The remembered settings survive a restart (a new Settings on the same file), read the same in
// every locale, and a damaged file never gives values a run should not use.
#include "ui/Settings.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace kelmo;
using kelmo::ui::RememberedCharge;
using kelmo::ui::Settings;

Q_DECLARE_METATYPE(std::optional<double>)

class TestSettings final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file() const { return m_dir.filePath("kelmo.conf"); }

    void write(const QByteArray& content) {
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    static QByteArray parameterLines(const QByteArray& step, const QByteArray& limitKPa,
                                     const QByteArray& divKPa, const QByteArray& limitKgf,
                                     const QByteArray& divKgf) {
        return "[parameters]\nstep=" + step + "\nchartLimitKPa=" + limitKPa +
               "\nchartDivKPa=" + divKPa + "\nchartLimitKgf=" + limitKgf +
               "\nchartDivKgf=" + divKgf + "\n";
    }

private slots:
    void cleanup() {
        QFile::remove(file());
        QLocale::setDefault(QLocale::c());
    }

    void nothingRememberedAtFirst() {
        const Settings s(file());
        QVERIFY(!s.charge());
        QVERIFY(!s.parameters());
        QCOMPARE(s.saveFolder("expert"), QString());
        QCOMPARE(s.windowGeometry("frmZone"), QByteArray());
    }

    void survivesARestart() {
        RememberedCharge charge;
        charge.keyboard = true;
        charge.explosive = "Тротил";
        charge.typedName = "Смесь \"А\"; №2, [x]=y";
        charge.mass = 12.5;
        charge.heat = 4520;
        charge.molarDivisor = 0.1 + 0.2; // every digit kept
        charge.perMole = true;
        charge.air = true;
        charge.bodyMass = 80;
        charge.objectName = "Склад [3]";
        const CalcParameters parameters{0.1, 2500, 5, 2.5, 4};
        const QByteArray geometry("\x01\x02\x00\xff", 4);
        {
            QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
            Settings s(file());
            s.setCharge(charge);
            s.setParameters(parameters);
            s.setSaveFolder("expert", m_dir.path() + "/./");
            s.setWindowGeometry("frmZone", geometry);
        }
        QLocale::setDefault(QLocale::c());
        const Settings s(file());
        QCOMPARE(s.charge(), charge);
        const auto p = s.parameters();
        QVERIFY(p);
        QCOMPARE(p->step, 0.1);
        QCOMPARE(p->chartLimitKPa, 2500.0);
        QCOMPARE(p->chartDivKPa, 5.0);
        QCOMPARE(p->chartLimitKgf, 2.5);
        QCOMPARE(p->chartDivKgf, 4.0);
        QCOMPARE(s.saveFolder("expert"), m_dir.path());
        QCOMPARE(s.saveFolder("table"), QString());
        QCOMPARE(s.windowGeometry("frmZone"), geometry);
        // Numbers are kept with a point, so any locale reads them alike.
        QFile f(file());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        QVERIFY(content.contains("mass=12.5\n"));
        QVERIFY(content.contains("step=0.1\n"));
    }

    // A new charge replaces the old one whole: a number not given now is not the old one.
    void chargeReplacedWhole() {
        Settings s(file());
        RememberedCharge first;
        first.mass = 10;
        first.molarDivisor = 200;
        s.setCharge(first);
        RememberedCharge second;
        second.mass = 20;
        s.setCharge(second);
        QCOMPARE(s.charge(), second);
    }

    void damagedParameters_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("one missing")
            << QByteArray("[parameters]\nstep=1\nchartLimitKPa=3000\nchartDivKPa=10\n"
                          "chartLimitKgf=3\n");
        QTest::newRow("not a number") << parameterLines("abc", "3000", "10", "3", "10");
        QTest::newRow("empty") << parameterLines("", "3000", "10", "3", "10");
        QTest::newRow("infinite") << parameterLines("inf", "3000", "10", "3", "10");
        QTest::newRow("too large for a double") << parameterLines("1", "1e999", "10", "3", "10");
        QTest::newRow("step zero") << parameterLines("0", "3000", "10", "3", "10");
        QTest::newRow("step negative") << parameterLines("-1", "3000", "10", "3", "10");
        QTest::newRow("step beyond the longest run")
            << parameterLines("40000", "3000", "10", "3", "10");
        QTest::newRow("limit zero") << parameterLines("1", "0", "10", "3", "10");
        QTest::newRow("limit negative") << parameterLines("1", "3000", "10", "-3", "10");
        QTest::newRow("divisions fractional") << parameterLines("1", "3000", "2.5", "3", "10");
        QTest::newRow("divisions zero") << parameterLines("1", "3000", "10", "3", "0");
        QTest::newRow("divisions too many") << parameterLines("1", "3000", "101", "3", "10");
        // An unquoted comma makes a list of a hand-edited value.
        QTest::newRow("a list") << parameterLines("0,5", "3000", "10", "3", "10");
        QTest::newRow("grouped") << parameterLines("1", "\"3 000\"", "10", "3", "10");
    }
    void damagedParameters() {
        QFETCH(QByteArray, content);
        write(content);
        QVERIFY(!Settings(file()).parameters());
    }

    // Hand-edited, but sound: taken as meant, in any locale.
    void handEditedParameters_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QByteArray>("step");
        QTest::addColumn<double>("expected");
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        QTest::newRow("point, C") << QLocale::c() << QByteArray("0.5") << 0.5;
        QTest::newRow("point, Russian") << ru << QByteArray("0.5") << 0.5;
        QTest::newRow("quoted comma, C") << QLocale::c() << QByteArray("\"0,5\"") << 0.5;
        QTest::newRow("quoted comma, Russian") << ru << QByteArray("\"0,5\"") << 0.5;
        QTest::newRow("exponent") << ru << QByteArray("2e1") << 20.0;
        QTest::newRow("blanks") << ru << QByteArray("  3  ") << 3.0;
    }
    void handEditedParameters() {
        QFETCH(QLocale, locale);
        QFETCH(QByteArray, step);
        QFETCH(double, expected);
        QLocale::setDefault(locale);
        write(parameterLines(step, "3000", "10", "3", "10"));
        const auto p = Settings(file()).parameters();
        QVERIFY(p);
        QCOMPARE(p->step, expected);
    }

    void damagedChargeNumbers_data() {
        QTest::addColumn<QByteArray>("mass");
        QTest::addColumn<std::optional<double>>("expected");
        QTest::newRow("sound") << QByteArray("250") << std::optional<double>(250);
        QTest::newRow("text") << QByteArray("много") << std::optional<double>();
        QTest::newRow("zero") << QByteArray("0") << std::optional<double>();
        QTest::newRow("negative") << QByteArray("-5") << std::optional<double>();
        QTest::newRow("nan") << QByteArray("nan") << std::optional<double>();
        QTest::newRow("a list") << QByteArray("12,5") << std::optional<double>();
        QTest::newRow("a byte array") << QByteArray("@ByteArray(250)") << std::optional<double>();
        QTest::newRow("a rectangle") << QByteArray("@Rect(1 2 3 4)") << std::optional<double>();
    }
    void damagedChargeNumbers() {
        QFETCH(QByteArray, mass);
        QFETCH(std::optional<double>, expected);
        write("[charge]\nmass=" + mass + "\nbodyMass=80\nkeyboard=1\nair=yes\nperMole=true\n");
        const auto c = Settings(file()).charge();
        QVERIFY(c);
        QCOMPARE(c->mass, expected);
        // The other values of the charge are kept; a flag is only true when it says "true".
        QCOMPARE(c->bodyMass, std::optional<double>(80));
        QVERIFY(!c->keyboard);
        QVERIFY(!c->air);
        QVERIFY(c->perMole);
    }

    // A folder that has gone since, or one that is not a folder at all, is not offered again.
    void unusableSaveFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("gone") << m_dir.filePath("gone");
        QTest::newRow("a file") << m_dir.filePath("kelmo.conf");
        QTest::newRow("relative") << QString(".");
        QTest::newRow("empty") << QString();
    }
    void unusableSaveFolder() {
        QFETCH(QString, folder);
        {
            Settings s(file());
            s.setSaveFolder("table", folder);
        }
        QCOMPARE(Settings(file()).saveFolder("table"), QString());
    }

    void damagedWindowPlace() {
        write("[windows]\nfrmZone=12\nfrmPar=@Rect(1 2 3 4)\n");
        const Settings s(file());
        QCOMPARE(s.windowGeometry("frmZone"), QByteArray());
        QCOMPARE(s.windowGeometry("frmPar"), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
