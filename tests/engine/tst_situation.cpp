// What a charge does to the structures of a site plan: geometry, the degree rule, the totals.

#include "engine/Errors.h"
#include "engine/Situation.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace kelmo;

Q_DECLARE_METATYPE(kelmo::StructureOutline)
Q_DECLARE_METATYPE(kelmo::PlanPoint)
Q_DECLARE_METATYPE(kelmo::DestructionThresholds)
Q_DECLARE_METATYPE(std::optional<kelmo::DestructionDegree>)
Q_DECLARE_METATYPE(kelmo::Placement)
Q_DECLARE_METATYPE(kelmo::ArithmeticError::Cause)

namespace {

StructureOutline square(double x0, double y0, double side) {
    return {{x0, y0}, {x0 + side, y0}, {x0 + side, y0 + side}, {x0, y0 + side}};
}

StructureOutline shifted(StructureOutline outline, double dx, double dy) {
    for (PlanPoint& p : outline) {
        p.x += dx;
        p.y += dy;
    }
    return outline;
}

// A regular polygon of `count` vertices around the origin, the first on the x axis.
StructureOutline regular(int count, double radius) {
    StructureOutline out;
    for (int i = 0; i < count; ++i) {
        const double a = 2 * M_PI * i / count;
        out.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
    return out;
}

// An L-shaped building, 30 × 30 m with the upper right 20 × 20 m cut away: the notch.
const StructureOutline kLShape{{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}};

// A five-pointed star drawn in one stroke: its sides cross.
const StructureOutline kStar{{0, 10}, {6, -8}, {-9.5, 3}, {9.5, 3}, {-6, -8}};

ChargeInput tnt(double mass, Placement placement) {
    ChargeInput in;
    in.chargeMassKg = mass;
    in.placement = placement;
    return in;
}

StructureRecord structureAt(int number, const StructureOutline& outline, int staff = 0,
                            DestructionThresholds thresholds = {}) {
    StructureRecord s;
    s.number = number;
    s.outline = outline;
    s.staff = staff;
    s.thresholds = thresholds;
    return s;
}

// A stand-in for the probit table: the probit itself scaled, so each call is traceable.
double fakePercent(float probit) {
    return static_cast<double>(probit) * 10;
}

} // namespace

class TestSituation final : public QObject {
    Q_OBJECT

private slots:
    void distanceToOutline_data() {
        QTest::addColumn<StructureOutline>("outline");
        QTest::addColumn<PlanPoint>("point");
        QTest::addColumn<double>("expected");

        const StructureOutline box = square(10, 10, 20); // 10..30 on both axes
        QTest::newRow("facing the middle of a wall") << box << PlanPoint{20, 0} << 10.0;
        QTest::newRow("facing a corner") << box << PlanPoint{0, 0} << std::hypot(10.0, 10.0);
        QTest::newRow("beyond the far wall") << box << PlanPoint{45, 20} << 15.0;
        QTest::newRow("inside") << box << PlanPoint{15, 25} << 0.0;
        QTest::newRow("on an edge") << box << PlanPoint{30, 17} << 0.0;
        QTest::newRow("on a corner") << box << PlanPoint{10, 30} << 0.0;

        // A dart: corner 4 points inwards, so the notch left of it lies outside.
        const StructureOutline dart{{{0, 0}, {20, 10}, {0, 20}, {5, 10}}};
        QTest::newRow("concave: in the notch") << dart << PlanPoint{2, 10} << std::sqrt(7.2);
        QTest::newRow("concave: inside") << dart << PlanPoint{10, 10} << 0.0;

        // A bow tie: corners crossed, the two triangles meet at (10, 10).
        const StructureOutline bowTie{{{0, 0}, {20, 20}, {20, 0}, {0, 20}}};
        QTest::newRow("bow tie: left triangle inside") << bowTie << PlanPoint{3, 10} << 0.0;
        QTest::newRow("bow tie: above the crossing")
            << bowTie << PlanPoint{10, 15} << std::sqrt(12.5);
        QTest::newRow("bow tie: far to the right") << bowTie << PlanPoint{30, 10} << 10.0;

        // In the notch of the L the nearest wall is 4 m away, though the point lies within the
        // rectangle around the building.
        QTest::newRow("L: in the notch, near its floor") << kLShape << PlanPoint{20, 14} << 4.0;
        QTest::newRow("L: in the notch, near its wall") << kLShape << PlanPoint{14, 22} << 4.0;
        QTest::newRow("L: in the notch, by the inner corner")
            << kLShape << PlanPoint{13, 14} << 3.0;
        QTest::newRow("L: inside the foot") << kLShape << PlanPoint{25, 5} << 0.0;
        QTest::newRow("L: inside the upright") << kLShape << PlanPoint{5, 25} << 0.0;

        const StructureOutline triangle{{0, 0}, {10, 0}, {0, 10}};
        QTest::newRow("triangle: facing the long side")
            << triangle << PlanPoint{10, 10} << 5 * std::sqrt(2.0);
        QTest::newRow("triangle: inside") << triangle << PlanPoint{2, 2} << 0.0;
        QTest::newRow("triangle: beyond a vertex") << triangle << PlanPoint{-3, -4} << 5.0;

        const StructureOutline heptagon = regular(7, 10);
        QTest::newRow("heptagon: centre") << heptagon << PlanPoint{0, 0} << 0.0;
        QTest::newRow("heptagon: beyond a vertex") << heptagon << PlanPoint{20, 0} << 10.0;
        const double a = M_PI / 7; // the middle of the first side
        QTest::newRow("heptagon: facing a side")
            << heptagon << PlanPoint{20 * std::cos(a), 20 * std::sin(a)} << 20 - 10 * std::cos(a);
    }

    void distanceToOutline() {
        QFETCH(StructureOutline, outline);
        QFETCH(PlanPoint, point);
        QFETCH(double, expected);
        QVERIFY2(std::abs(kelmo::distanceToOutline(point, outline) - expected) < 1e-12 * 20,
                 qPrintable(QString::number(kelmo::distanceToOutline(point, outline), 'g', 17)));
    }

    // What makes an outline no polygon, and outlines that are.
    void outlineDefects_data() {
        QTest::addColumn<StructureOutline>("outline");
        QTest::addColumn<QString>("defect"); // a part of the reason; empty: no defect
        QTest::newRow("L-shape") << kLShape << "";
        QTest::newRow("triangle") << StructureOutline{{0, 0}, {10, 0}, {0, 10}} << "";
        QTest::newRow("heptagon") << regular(7, 10) << "";
        QTest::newRow("dart") << StructureOutline{{0, 0}, {20, 10}, {0, 20}, {5, 10}} << "";
        QTest::newRow("small triangle far out in projected metres")
            << shifted({{0, 0}, {0.5, 0}, {0, 0.5}}, 7.5e6, 5.6e6) << "";

        QTest::newRow("nothing") << StructureOutline{} << "меньше трёх вершин";
        QTest::newRow("two vertices") << StructureOutline{{0, 0}, {1, 1}} << "меньше трёх вершин";
        QTest::newRow("a vertex repeated")
            << StructureOutline{{0, 0}, {10, 0}, {10, 0}, {0, 10}} << "вершины 2 и 3";
        QTest::newRow("closing vertex repeated")
            << StructureOutline{{0, 0}, {10, 0}, {0, 10}, {0, 0}} << "вершины 4 и 1";
        QTest::newRow("all on one line")
            << StructureOutline{{0, 0}, {5, 5}, {10, 10}, {3, 3}} << "нулевой площади";
        QTest::newRow("on one line far out in projected metres")
            << shifted({{0, 0}, {0.1, 0.3}, {0.2, 0.6}}, 7.5e6, 5.6e6) << "нулевой площади";
        QTest::newRow("bow tie") << StructureOutline{{0, 0}, {20, 20}, {20, 0}, {0, 20}}
                                 << "стороны контура пересекаются";
        QTest::newRow("star in one stroke") << kStar << "пересекаются";
        QTest::newRow("a vertex touching a far side")
            << StructureOutline{{0, 0}, {10, 0}, {10, 10}, {5, 0}, {0, 10}} << "пересекаются";
        QTest::newRow("a side turning back on itself")
            << StructureOutline{{0, 0}, {10, 0}, {5, 0}, {5, 10}} << "накладываются";
    }

    void outlineDefects() {
        QFETCH(StructureOutline, outline);
        QFETCH(QString, defect);
        const auto found = outlineDefect(outline);
        if (defect.isEmpty()) {
            QVERIFY2(!found, found ? found->c_str() : "");
            return;
        }
        QVERIFY(found);
        QVERIFY2(QString::fromStdString(*found).contains(defect), found->c_str());
        const QString message = QString::fromStdString(outlineDefectMessage(12, *found));
        QVERIFY2(message.startsWith(QStringLiteral("Контур сооружения №12 не принят: ")),
                 qPrintable(message));
    }

    // The number of a structure goes inside it, also where the middle of its extent is not.
    void labelPointLiesInside_data() {
        QTest::addColumn<StructureOutline>("outline");
        QTest::addColumn<PlanPoint>("expected");
        QTest::newRow("square: its centre") << square(10, 10, 20) << PlanPoint{20, 20};
        QTest::newRow("L: in its upright, not in the notch") << kLShape << PlanPoint{5, 15};
        QTest::newRow("U: in the wider leg")
            << StructureOutline{{0, 0},  {30, 0}, {30, 20}, {24, 20},
                                {24, 5}, {10, 5}, {10, 20}, {0, 20}}
            << PlanPoint{5, 10};
    }
    void labelPointLiesInside() {
        QFETCH(StructureOutline, outline);
        QFETCH(PlanPoint, expected);
        const PlanPoint at = labelPoint(outline);
        QCOMPARE(at.x, expected.x);
        QCOMPARE(at.y, expected.y);
    }

    void degreeRule_data() {
        QTest::addColumn<DestructionThresholds>("thresholds");
        QTest::addColumn<double>("deltaP");
        QTest::addColumn<std::optional<DestructionDegree>>("expected");

        const DestructionThresholds t{10, 20, 30, 40};
        using D = DestructionDegree;
        QTest::newRow("below weak") << t << 9.999 << std::optional(D::None);
        QTest::newRow("at weak") << t << 10.0 << std::optional(D::Weak);
        QTest::newRow("just below medium") << t << 19.999 << std::optional(D::Weak);
        QTest::newRow("at medium") << t << 20.0 << std::optional(D::Medium);
        QTest::newRow("at strong") << t << 30.0 << std::optional(D::Strong);
        QTest::newRow("just below complete") << t << 39.999 << std::optional(D::Strong);
        QTest::newRow("at complete") << t << 40.0 << std::optional(D::Complete);
        QTest::newRow("far above") << t << 1e6 << std::optional(D::Complete);

        const double nan = std::nan("");
        QTest::newRow("strong not given: medium holds")
            << DestructionThresholds{10, 20, 0, 40} << 35.0 << std::optional(D::Medium);
        QTest::newRow("negative and NaN ignored")
            << DestructionThresholds{-5, nan, 30, 0} << 31.0 << std::optional(D::Strong);
        QTest::newRow("only complete given, below it")
            << DestructionThresholds{0, 0, 0, 40} << 39.0 << std::optional(D::None);
        QTest::newRow("none given")
            << DestructionThresholds{0, -1, nan, 0} << 1e6 << std::optional<D>();
        // Degrees out of order: the highest degree whose threshold is reached wins.
        QTest::newRow("out of order")
            << DestructionThresholds{50, 20, 30, 40} << 45.0 << std::optional(D::Complete);
    }

    void degreeRule() {
        QFETCH(DestructionThresholds, thresholds);
        QFETCH(double, deltaP);
        QFETCH(std::optional<DestructionDegree>, expected);
        QCOMPARE(destructionDegree(deltaP, thresholds), expected);
    }

    // Each structure gets the zone calculation's own values at its distance.
    void valuesMatchTheZoneFormulas_data() {
        QTest::addColumn<Placement>("placement");
        QTest::newRow("air") << Placement::Air;
        QTest::newRow("ground") << Placement::Ground;
    }

    void valuesMatchTheZoneFormulas() {
        QFETCH(Placement, placement);
        const auto result = evaluateSituation(
            tnt(1000, placement), {0, 0}, {structureAt(1, square(50, -10, 20), 12)}, fakePercent);
        QCOMPARE(result.massTNT, 1000.0);
        const StructureImpact& impact = *result.rows.at(0).impact;
        QCOMPARE(impact.distance, 50.0);
        QCOMPARE(impact.evaluatedAt, 50.0);
        QVERIFY(!impact.atMinimumDistance);

        auto zone = std::make_unique<CalcState>();
        zone->massTnt = 1000;
        evaluateAtDistance(*zone, placement, 50, 70);
        QCOMPARE(impact.deltaPkPa, zone->deltaPkPa);
        QCOMPARE(impact.impulse, zone->impulse);
        QCOMPARE(impact.probitHeavy, zone->probitHeavy);
        QCOMPARE(impact.probitTotal, zone->probitTotal);
        QCOMPARE(impact.percentHeavy, fakePercent(zone->probitHeavy));
        QCOMPARE(impact.percentTotal, fakePercent(zone->probitTotal));
        QCOMPARE(impact.injured, 12 * fakePercent(zone->probitHeavy) / 100);
    }

    void groundHitsHarderThanAir() {
        const std::vector<StructureRecord> plan{structureAt(1, square(30, 0, 10))};
        const auto air = evaluateSituation(tnt(500, Placement::Air), {0, 0}, plan, fakePercent);
        const auto ground =
            evaluateSituation(tnt(500, Placement::Ground), {0, 0}, plan, fakePercent);
        QVERIFY(ground.rows[0].impact->deltaPkPa > air.rows[0].impact->deltaPkPa);
    }

    void insideIsEvaluatedAtOneMetre() {
        const auto result = evaluateSituation(tnt(100, Placement::Ground), {5, 5},
                                              {structureAt(1, square(0, 0, 10))}, fakePercent);
        const StructureImpact& impact = *result.rows[0].impact;
        QCOMPARE(impact.distance, 0.0);
        QCOMPARE(impact.evaluatedAt, 1.0);
        QVERIFY(impact.atMinimumDistance);
    }

    void totalsAndUnreadableRows() {
        StructureRecord unreadable = structureAt(2, square(0, 0, 1), 7);
        unreadable.outlineUnreadable = true;
        const std::vector<StructureRecord> plan{
            structureAt(1, square(10, 0, 10), 10, {1, 2, 3, 4}),    // close: complete
            unreadable,                                             // skipped, staff counted
            structureAt(3, square(5000, 0, 10), 5, {1e5, 0, 0, 0}), // far: none
            structureAt(4, square(20, 0, 10), 3),                   // no thresholds
        };
        const auto result = evaluateSituation(tnt(1000, Placement::Air), {0, 0}, plan, fakePercent);
        QCOMPARE(result.rows.size(), std::size_t{4});
        QVERIFY(!result.rows[1].impact.has_value());
        QCOMPARE(result.rows[1].structure.number, 2);
        QCOMPARE(result.totals.byDegree, (std::array<int, 5>{1, 0, 0, 0, 1}));
        QCOMPARE(result.totals.undetermined, 1);
        QCOMPARE(result.totals.staff, 25LL);
        const double injured = result.rows[0].impact->injured + result.rows[2].impact->injured +
                               result.rows[3].impact->injured;
        QCOMPARE(result.totals.injured, injured);
    }

    // A structure the formulas cannot take is refused in its own row with the reason; the
    // others are evaluated as if it were not there.
    void outOfRangeStructureIsRefusedAlone_data() {
        QTest::addColumn<StructureOutline>("outline");
        QTest::addColumn<QString>("reason");
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("1e30") << square(1e30, 0, 10) << "пределов плана";
        QTest::newRow("just past the limit") << square(0, -1.0000001e8, 1) << "пределов плана";
        QTest::newRow("infinite") << square(inf, 0, 1) << "пределов плана";
        QTest::newRow("far but inside the limit") << square(9e7, 9e7, 10) << "";
        QTest::newRow("star of vertices") << shifted(kStar, 50000, 0) << "контур не принят";
        QTest::newRow("two vertices") << StructureOutline{{50000, 0}, {50010, 0}} << "меньше трёх";
        QTest::newRow("L of vertices far away") << shifted(kLShape, 50000, 0) << "";
        // Four corners are evaluated as they always were, crossed ones too.
        QTest::newRow("bow tie of four corners")
            << shifted({{0, 0}, {20, 20}, {20, 0}, {0, 20}}, 50000, 0) << "";
    }
    void outOfRangeStructureIsRefusedAlone() {
        QFETCH(StructureOutline, outline);
        QFETCH(QString, reason);
        const std::vector<StructureRecord> plan{
            structureAt(1, square(10, 0, 10), 10, {1, 2, 3, 4}),
            structureAt(2, outline, 7, {1, 2, 3, 4}),
            structureAt(3, square(20, 0, 10), 3),
        };
        const auto alone =
            evaluateSituation(tnt(1000, Placement::Air), {0, 0}, {plan[0], plan[2]}, fakePercent);
        const auto result = evaluateSituation(tnt(1000, Placement::Air), {0, 0}, plan, fakePercent);
        QCOMPARE(result.rows.size(), std::size_t{3});
        QCOMPARE(result.rows[0].impact->deltaPkPa, alone.rows[0].impact->deltaPkPa);
        QCOMPARE(result.rows[2].impact->deltaPkPa, alone.rows[1].impact->deltaPkPa);
        if (reason.isEmpty()) {
            QVERIFY(result.rows[1].impact.has_value());
            QVERIFY(result.rows[1].refusal.empty());
            QCOMPARE(*result.rows[1].impact->degree, DestructionDegree::None);
            QCOMPARE(result.totals.refused, 0);
            return;
        }
        QVERIFY(!result.rows[1].impact.has_value());
        QVERIFY2(QString::fromStdString(result.rows[1].refusal).contains(reason),
                 result.rows[1].refusal.c_str());
        QCOMPARE(result.totals.byDegree, alone.totals.byDegree);
        QCOMPARE(result.totals.injured, alone.totals.injured);
        QCOMPARE(result.totals.refused, 1);
        QCOMPARE(result.totals.staff, 20LL);
    }

    // The body mass changes what people outside buildings suffer at each structure, and
    // nothing else.
    void bodyMassChangesOnlyPeopleOutside() {
        const std::vector<StructureRecord> plan{structureAt(1, square(30, 0, 10), 4, {1, 2, 3, 4})};
        ChargeInput light = tnt(1000, Placement::Ground);
        light.bodyMassKg = 40;
        ChargeInput heavy = light;
        heavy.bodyMassKg = 120;
        const StructureImpact a =
            *evaluateSituation(light, {0, 0}, plan, fakePercent).rows[0].impact;
        const StructureImpact b =
            *evaluateSituation(heavy, {0, 0}, plan, fakePercent).rows[0].impact;
        QVERIFY(a.probitPeople != b.probitPeople);
        QCOMPARE(a.percentPeople, fakePercent(a.probitPeople));
        QCOMPARE(b.percentPeople, fakePercent(b.probitPeople));
        QCOMPARE(a.deltaPkPa, b.deltaPkPa);
        QCOMPARE(a.percentHeavy, b.percentHeavy);
        QCOMPARE(a.injured, b.injured);
    }

    // What stops the whole situation: the charge, or a storage point beyond the plan's range
    // (every structure would be refused alone).
    void impossibleCharges_data() {
        QTest::addColumn<double>("mass");
        QTest::addColumn<double>("bodyMass");
        QTest::addColumn<PlanPoint>("point");
        QTest::addColumn<ArithmeticError::Cause>("cause");
        QTest::addColumn<QString>("messagePart");
        const PlanPoint origin{0, 0};
        QTest::newRow("zero mass")
            << 0.0 << 70.0 << origin << ArithmeticError::Cause::ChargeMass << "тротиловый";
        QTest::newRow("negative mass")
            << -5.0 << 70.0 << origin << ArithmeticError::Cause::ChargeMass << "тротиловый";
        QTest::newRow("zero body mass")
            << 100.0 << 0.0 << origin << ArithmeticError::Cause::BodyMass << "масса тела";
        QTest::newRow("storage point at 1e30")
            << 100.0 << 70.0 << PlanPoint{1e30, 0} << ArithmeticError::Cause::General
            << "места хранения";
        QTest::newRow("storage point not finite")
            << 100.0 << 70.0 << PlanPoint{0, std::numeric_limits<double>::quiet_NaN()}
            << ArithmeticError::Cause::General << "места хранения";
    }

    void impossibleCharges() {
        QFETCH(double, mass);
        QFETCH(double, bodyMass);
        QFETCH(PlanPoint, point);
        QFETCH(ArithmeticError::Cause, cause);
        QFETCH(QString, messagePart);
        ChargeInput charge = tnt(mass, Placement::Ground);
        charge.bodyMassKg = bodyMass;
        try {
            evaluateSituation(charge, point, {structureAt(1, square(10, 0, 5))}, fakePercent);
            QFAIL("no error");
        } catch (const ArithmeticError& e) {
            QCOMPARE(e.cause(), cause);
            QVERIFY2(QString::fromUtf8(e.what()).contains(messagePart), e.what());
        }
    }
};

QTEST_APPLESS_MAIN(TestSituation)
#include "tst_situation.moc"
