// The worst case of several charges on one plan, structure by structure.

#include "engine/WorstCase.h"

#include <QTest>

#include <optional>

using namespace kelmo;

Q_DECLARE_METATYPE(std::optional<DestructionDegree>)

namespace {

using Degree = std::optional<DestructionDegree>;

// One structure's row: evaluated with the overpressure and degree, or refused (deltaP < 0).
SituationRow row(double deltaP, Degree degree, int staff = 10) {
    SituationRow r;
    r.structure.number = 1;
    r.structure.staff = staff;
    if (deltaP < 0) {
        r.refusal = "отказ";
        return r;
    }
    StructureImpact impact;
    impact.deltaPkPa = deltaP;
    impact.degree = degree;
    impact.injured = deltaP / 10;
    r.impact = impact;
    return r;
}

SituationResult situationOf(std::vector<SituationRow> rows, double massTnt = 1) {
    SituationResult s;
    s.massTNT = massTnt;
    s.rows = std::move(rows);
    s.totals = totalsOf(s.rows);
    return s;
}

constexpr auto weak = DestructionDegree::Weak;
constexpr auto strong = DestructionDegree::Strong;

} // namespace

class TestWorstCase final : public QObject {
    Q_OBJECT

private slots:
    // Two charges A and B, one structure; which one is its worst case.
    void chosenCharge_data() {
        QTest::addColumn<double>("deltaA");
        QTest::addColumn<Degree>("degreeA");
        QTest::addColumn<double>("deltaB");
        QTest::addColumn<Degree>("degreeB");
        QTest::addColumn<int>("expected");
        QTest::newRow("higher degree wins over higher pressure")
            << 40.0 << Degree(strong) << 90.0 << Degree(weak) << 0;
        QTest::newRow("tie on degree: higher pressure")
            << 40.0 << Degree(strong) << 45.0 << Degree(strong) << 1;
        QTest::newRow("tie on degree, the first higher")
            << 50.0 << Degree(weak) << 45.0 << Degree(weak) << 0;
        QTest::newRow("no thresholds: pressure alone") << 12.0 << Degree() << 30.0 << Degree() << 1;
        QTest::newRow("equal in all: the first")
            << 30.0 << Degree(weak) << 30.0 << Degree(weak) << 0;
        QTest::newRow("refused under A, evaluated under B")
            << -1.0 << Degree() << 3.0 << Degree() << 1;
        QTest::newRow("refused under both: the first") << -1.0 << Degree() << -1.0 << Degree() << 0;
    }
    void chosenCharge() {
        QFETCH(double, deltaA);
        QFETCH(Degree, degreeA);
        QFETCH(double, deltaB);
        QFETCH(Degree, degreeB);
        QFETCH(int, expected);
        const SituationResult a = situationOf({row(deltaA, degreeA)}, 5);
        const SituationResult b = situationOf({row(deltaB, degreeB)}, 7);
        const WorstCaseResult worst = worstCase({&a, &b});
        QCOMPARE(worst.source, std::vector<int>{expected});
        const SituationRow& chosen = (expected == 0 ? a : b).rows[0];
        QCOMPARE(worst.situation.rows[0].impact.has_value(), chosen.impact.has_value());
        if (chosen.impact) {
            QCOMPARE(worst.situation.rows[0].impact->deltaPkPa, chosen.impact->deltaPkPa);
        }
        QCOMPARE(worst.situation.massTNT, 7.0);
    }

    // The totals count each structure once, as its worst case gives it, and no charge alone
    // gives these totals.
    void totalsOfTheWorstCase() {
        const SituationResult a =
            situationOf({row(80, strong, 4), row(5, weak, 6), row(-1, Degree(), 1)});
        const SituationResult b = situationOf(
            {row(20, weak, 4), row(9, DestructionDegree::Medium, 6), row(2, Degree(), 1)});
        const WorstCaseResult worst = worstCase({&a, &b});
        QCOMPARE(worst.source, (std::vector<int>{0, 1, 1}));
        const SituationTotals& t = worst.situation.totals;
        QCOMPARE(t.byDegree[static_cast<int>(strong)], 1);
        QCOMPARE(t.byDegree[static_cast<int>(DestructionDegree::Medium)], 1);
        QCOMPARE(t.byDegree[static_cast<int>(weak)], 0);
        QCOMPARE(t.undetermined, 1);
        QCOMPARE(t.refused, 0);
        QCOMPARE(t.staff, 11LL);
        QCOMPARE(t.injured, 8.0 + 0.9 + 0.2);
    }

    void noCharges() {
        const WorstCaseResult worst = worstCase({});
        QVERIFY(worst.situation.rows.empty());
        QVERIFY(worst.source.empty());
    }
};

QTEST_GUILESS_MAIN(TestWorstCase)
#include "tst_worstcase.moc"
