// The remembered settings survive a restart (a new Settings on the same file), and a damaged
// file never gives half-read values.
#include "ui/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kelmo;
using kelmo::ui::RememberedCharge;
using kelmo::ui::Settings;

class TestSettings final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file() const { return m_dir.filePath("kelmo.conf"); }

private slots:
    void cleanup() { QFile::remove(file()); }

    void nothingRememberedAtFirst() {
        const Settings s(file());
        QVERIFY(!s.charge());
        QVERIFY(!s.parameters());
        QCOMPARE(s.saveFolder("expert"), QString());
    }

    void survivesARestart() {
        RememberedCharge charge;
        charge.keyboard = true;
        charge.typedName = "Смесь \"А\"; №2";
        charge.mass = "12,5";
        charge.heat = "4520";
        charge.molarDivisor = "227,13";
        charge.perMole = true;
        charge.air = true;
        charge.bodyMass = "80";
        charge.objectName = "Склад [3]";
        const CalcParameters parameters{0.1, 2500, 5, 2.5, 4};
        {
            Settings s(file());
            s.setCharge(charge);
            s.setParameters(parameters);
            s.setSaveFolder("expert", m_dir.path());
        }
        const Settings s(file());
        QCOMPARE(s.charge(), charge);
        const auto p = s.parameters();
        QVERIFY(p);
        QCOMPARE(p->gStep, 0.1);
        QCOMPARE(p->gChartLimitKPa, 2500.0);
        QCOMPARE(p->gChartDivKPa, 5.0);
        QCOMPARE(p->gChartLimitKgf, 2.5);
        QCOMPARE(p->gChartDivKgf, 4.0);
        QCOMPARE(s.saveFolder("expert"), m_dir.path());
        QCOMPARE(s.saveFolder("table"), QString());
    }

    void damagedParameters_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("one missing") << QByteArray("[parameters]\nstep=1\nchartLimitKPa=3000\n"
                                                   "chartDivKPa=10\nchartLimitKgf=3\n");
        QTest::newRow("not a number") << QByteArray("[parameters]\nstep=abc\nchartLimitKPa=3000\n"
                                                    "chartDivKPa=10\nchartLimitKgf=3\n"
                                                    "chartDivKgf=10\n");
        QTest::newRow("infinite") << QByteArray("[parameters]\nstep=inf\nchartLimitKPa=3000\n"
                                                "chartDivKPa=10\nchartLimitKgf=3\n"
                                                "chartDivKgf=10\n");
    }
    void damagedParameters() {
        QFETCH(QByteArray, content);
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QVERIFY(!Settings(file()).parameters());
    }

    // A folder that has gone since is not offered again.
    void vanishedSaveFolder() {
        const QString gone = m_dir.filePath("gone");
        {
            Settings s(file());
            s.setSaveFolder("table", gone);
        }
        QCOMPARE(Settings(file()).saveFolder("table"), QString());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
