// The plan map: where things land and in what colour, the circles' radii, the picture's
// calibration and storage, the structures file, GeoJSON read back by Python, the exports and
// the command line's map files.

#include "core/FileError.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/PlanPicture.h"
#include "data/SitePlan.h"
#include "data/StructureImport.h"
#include "engine/WorstCase.h"
#include "engine/ZoneRun.h"
#include "gis/GisExport.h"
#include "map/Calibration.h"
#include "map/GeoJson.h"
#include "map/MapExport.h"
#include "map/MapStyle.h"
#include "map/PlanMapRender.h"
#include "session/ScenarioSituation.h"
#include "tests/support/BusySign.h"
#include "tests/support/GuiTest.h"
#include "ui/BackgroundWork.h"
#include "windows/map/PlanMapPage.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/PlanEditorWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QGraphicsEllipseItem>
#include <QGraphicsPolygonItem>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QXmlStreamReader>

#include <atomic>
#include <limits>
#include <map>
#include <memory>
#include <set>

using namespace kelmo;
using namespace kelmo::map;

namespace {

MapStructure square(int number, QRectF r, std::optional<int> degree) {
    MapStructure s;
    s.number = number;
    s.type = QStringLiteral("Здания");
    s.kind = QStringLiteral("Кирпичные");
    s.outline << r.bottomLeft() << r.bottomRight() << r.topRight() << r.topLeft();
    s.evaluated = true;
    s.degree = degree;
    return s;
}

// A plan of one 100 m square at the origin: drawn into 220 × 220 pixels with the 5 % margin
// it takes 2 pixels a metre, plan (0, 0) at pixel (10, 210).
PlanMapModel oneSquare(std::optional<int> degree) {
    PlanMapModel m;
    m.structures.push_back(square(1, QRectF(0, 0, 100, 100), degree));
    return m;
}

QByteArray pictureFile(QSize size, QColor colour, const char* format) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray pngBytes(QSize size, QColor colour) {
    return pictureFile(size, colour, "PNG");
}

StructureRecord record(int number, StructureOutline outline, bool readable = true) {
    StructureRecord r;
    r.number = number;
    r.type = "Здания";
    r.kind = "Кирпичные";
    r.outline = outline;
    r.outlineUnreadable = !readable;
    r.thresholds = {10, 20, 30, 40};
    return r;
}

StructureOutline box(double x0, double y0, double x1, double y1) {
    return {PlanPoint{x0, y0}, PlanPoint{x1, y0}, PlanPoint{x1, y1}, PlanPoint{x0, y1}};
}

} // namespace

Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(kelmo::map::Calibration)
Q_DECLARE_METATYPE(kelmo::Placement)
Q_DECLARE_METATYPE(kelmo::map::Paper)

namespace {

TitleBlock titled(const QString& plan) {
    TitleBlock t;
    t.plan = plan;
    return t;
}

// A site of 300 structures in 20 rows of 15, from 3 m sheds to 30 m halls 40 m apart, with
// a ton of TNT among them: the zones and pressure circles of that charge lie over them.
PlanMapModel site300() {
    ChargeInput charge;
    charge.chargeMassKg = 1000;
    std::vector<StructureRecord> records;
    for (int i = 0; i < 300; ++i) {
        const double x0 = (i % 15) * 40 - 300;
        const double y0 = (i / 15) * 30 - 300;
        const double size = i % 7 == 0 ? 30 : (i % 3 == 0 ? 8 : 3);
        records.push_back(record(i + 1, box(x0, y0, x0 + size, y0 + size * 0.6)));
    }
    const SituationResult result =
        evaluateSituation(charge, PlanPoint{0, 5}, records, [](float) { return 1.0; });
    return mapOfSituation(result, charge);
}

// What is wrong with a layout of the labels over a drawing of the map: two boxes that
// overlap (a number covered), a box over the charge mark or outside the drawing, a structure
// in view without its number, a circle label off its circle. Empty when all is well.
QStringList layoutFaults(const LabelLayout& layout, const PlanMapModel& m, Criterion criterion) {
    const QRectF& drawing = layout.target;
    const QTransform& planToDrawing = layout.planToTarget;
    const double unitsPerMetre = layout.unitsPerMetre;
    QStringList faults;
    const auto& labels = layout.labels;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const QRectF a = labels[i].box;
        if (!drawing.contains(a)) {
            faults << QStringLiteral("«%1» outside the drawing").arg(labels[i].text);
        }
        if (a.intersects(layout.chargeMark)) {
            faults << QStringLiteral("«%1» over the charge").arg(labels[i].text);
        }
        for (const QRectF& mark : layout.scenarioMarks) {
            if (a.intersects(mark)) {
                faults << QStringLiteral("«%1» over a scenario's charge").arg(labels[i].text);
            }
        }
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            const QRectF both = a & labels[j].box;
            if (both.width() > 1e-6 && both.height() > 1e-6) {
                faults << QStringLiteral("«%1» over «%2»").arg(labels[i].text, labels[j].text);
            }
        }
    }
    std::set<int> numbered;
    for (const PlacedLabel& l : labels) {
        if (l.kind == LabelKind::Number) {
            numbered.insert(l.structure);
        }
    }
    for (const MapStructure& s : m.structures) {
        if (planToDrawing.mapRect(s.outline.boundingRect()).intersects(drawing) &&
            numbered.count(s.number) == 0) {
            faults << QStringLiteral("structure %1 has no number").arg(s.number);
        }
    }
    if (layout.droppedCircleLabels > 0) {
        faults << QStringLiteral("%1 circle labels found no room").arg(layout.droppedCircleLabels);
    }
    // Each zone label lies within a letter's height of its circle (of one of the scenarios'
    // circles on a map of scenarios).
    std::vector<std::pair<QPointF, std::array<double, 4>>> circles;
    if (m.charge) {
        circles.push_back({planToDrawing.map(*m.charge), m.zoneRadii[std::size_t(criterion) - 1]});
    }
    for (const ScenarioCircles& scenario : m.scenarios) {
        circles.push_back(
            {planToDrawing.map(scenario.point), scenario.zoneRadii[std::size_t(criterion) - 1]});
    }
    for (const PlacedLabel& l : labels) {
        if (l.kind != LabelKind::Zone) {
            continue;
        }
        const int zone = l.text.section(u' ', 0, 0).toInt();
        // A label moved off a crowded circle points to it with its leader.
        const QPointF at = l.leader ? l.leader->p1() : l.box.center();
        double off = std::numeric_limits<double>::max();
        for (const auto& [c, radii] : circles) {
            const double r = radii[std::size_t(std::min(zone, 4) - 1)] * unitsPerMetre;
            off = std::min(off, std::abs(QLineF(c, at).length() - r));
        }
        if (off > l.box.height() * 1.5) {
            faults << QStringLiteral("«%1» %2 units off its circle").arg(l.text).arg(off);
        }
    }
    return faults;
}

// Two storehouses 600 m apart on one plan, 100 kg in the west one and 2 t in the east one, with
// a structure beside each and one between them nearer the east.
struct TwoScenarios {
    ChargeInput west;
    ChargeInput east;
    SituationResult westResult;
    SituationResult eastResult;

    TwoScenarios() {
        west.chargeMassKg = 100;
        east.chargeMassKg = 2000;
        east.placement = Placement::Air;
        const std::vector<StructureRecord> structures{record(1, box(10, -5, 20, 5)),
                                                      record(2, box(580, -5, 590, 5)),
                                                      record(3, box(400, 100, 410, 110))};
        const auto percent = [](float) {
            return 10.0;
        };
        westResult = evaluateSituation(west, PlanPoint{0, 0}, structures, percent);
        eastResult = evaluateSituation(east, PlanPoint{600, 0}, structures, percent);
    }

    std::vector<ScenarioOnMap> both() const {
        return {{QStringLiteral("Склад ВВ западный"), west, &westResult},
                {QStringLiteral("Склад ВВ восточный"), east, &eastResult}};
    }

    situation::AllScenarios all() const {
        situation::AllScenarios all;
        for (const ScenarioOnMap& s : both()) {
            db::ScenarioRecord record;
            record.name = s.name;
            record.charge = s.charge;
            record.point = s.result->chargePoint;
            all.outcomes.push_back({record, *s.result});
        }
        all.worst = worstCase({&westResult, &eastResult});
        return all;
    }
};

const char* const kType = "Производственные, административные и жилые здания";
const char* const kKind = "Здания с легким металлическим каркасом и бескаркасной конструкции";

} // namespace

class tst_map final : public test::GuiTest {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_db;
    int m_plan = 0;

    std::unique_ptr<db::Connection> connect() {
        return std::make_unique<db::Connection>(db::fileConnectionString(m_db));
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Russian));
        QVERIFY(m_dir.isValid());
    }

    void init() {
        startRecording();
        static int count = 0;
        m_db = m_dir.filePath(QStringLiteral("map%1.db").arg(++count));
        db::createDatabaseFile(m_db, false);
        auto c = connect();
        m_plan = db::createPlan(*c, QStringLiteral("Склад"));
    }

    void cleanup() { stopRecording(); }

    // ---- The drawing ----

    void structureLandsInItsPlaceAndColour_data() {
        QTest::addColumn<std::optional<int>>("degree");
        QTest::newRow("нет") << std::optional<int>(0);
        QTest::newRow("слабое") << std::optional<int>(1);
        QTest::newRow("среднее") << std::optional<int>(2);
        QTest::newRow("сильное") << std::optional<int>(3);
        QTest::newRow("полное") << std::optional<int>(4);
        QTest::newRow("не определена") << std::optional<int>();
    }
    void structureLandsInItsPlaceAndColour() {
        QFETCH(std::optional<int>, degree);
        MapOptions o;
        o.grid = o.legend = o.scaleBar = o.labels = false;
        const QImage image = renderPlanMapImage(oneSquare(degree), QSize(220, 220), o);
        // Plan (5, 95), near the top left corner inside the square, is pixel (20, 20).
        QCOMPARE(image.pixelColor(20, 20), degreeColour(degree));
        QCOMPARE(image.pixelColor(200, 200), degreeColour(degree));
        // Just outside the square: left of x = 0 and below y = 0.
        QCOMPARE(image.pixelColor(5, 110), QColor(Qt::white));
        QCOMPARE(image.pixelColor(110, 215), QColor(Qt::white));
    }

    void degreesHaveDistinctColours() {
        QSet<QRgb> colours;
        for (int d = 0; d < 5; ++d) {
            colours.insert(degreeColour(d).rgb());
        }
        colours.insert(degreeColour(std::nullopt).rgb());
        QCOMPARE(colours.size(), 6);
    }

    // The map writes its numbers as the rest of the screen does: with the locale's separator.
    void numbersFollowTheLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("pressure");
        QTest::newRow("point locale") << "C"
                                      << "12.5 м"
                                      << "7.5 кПа: 8.5 м";
        QTest::newRow("comma locale") << "ru_RU"
                                      << "12,5 м"
                                      << "7,5 кПа: 8,5 м";
    }
    void numbersFollowTheLocale() {
        QFETCH(QString, locale);
        QFETCH(QString, zone);
        QFETCH(QString, pressure);
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Russian)); });
        PlanMapModel m = oneSquare(3);
        m.charge = QPointF(200, 50);
        m.hasZones = true;
        m.zoneRadii[0] = {12.5, 20, 30, 40};
        m.pressures = {{7.5, 8.5}};
        PlanMapView view;
        view.setModel(m, true);
        QVERIFY2(view.zoneItem(1)->toolTip().endsWith(zone),
                 qPrintable(view.zoneItem(1)->toolTip()));
        QVERIFY2(view.pressureItem(7.5)->toolTip().endsWith(pressure),
                 qPrintable(view.pressureItem(7.5)->toolTip()));
        QCOMPARE(mapNumber(1000, 1), QStringLiteral("1000"));
    }

    // The view keeps the labels of its last repaint while nothing changed; after each kind of
    // change it must paint what a new view of the changed plan paints.
    void repaintAfterAChangeMatchesANewView_data() {
        QTest::addColumn<int>("change");
        QTest::newRow("structure moved") << 0;
        QTest::newRow("structure removed") << 1;
        QTest::newRow("structure added") << 2;
        QTest::newRow("charge moved") << 3;
        QTest::newRow("criterion") << 4;
        QTest::newRow("another plan") << 5;
        QTest::newRow("legend hidden") << 6;
    }
    void repaintAfterAChangeMatchesANewView() {
        QFETCH(int, change);
        PlanMapModel before = oneSquare(3);
        before.structures.push_back(square(2, QRectF(150, 0, 40, 40), 1));
        before.structures.push_back(square(3, QRectF(0, 150, 40, 40), 2));
        before.charge = QPointF(120, 120);
        before.hasZones = true;
        before.zoneRadii[0] = {20, 60, 90, 120};
        before.zoneRadii[1] = {10, 30, 50, 70};
        before.pressures = {{100, 15}, {10, 80}};
        PlanMapModel after = before;
        Criterion criterion = Criterion::Heavy;
        bool legend = true;
        PlanMapView edited;
        const auto paint = [](PlanMapView& view) {
            view.resize(500, 400);
            view.show();
            view.setTransform(QTransform::fromScale(1.5, -1.5));
            view.centerOn(100, 100);
            return view.viewport()->grab().toImage();
        };
        edited.setModel(before, false);
        const QImage first = paint(edited);
        switch (change) {
        case 0:
            after.structures[1] = square(2, QRectF(150, 120, 40, 40), 1);
            edited.setStructure(after.structures[1]);
            break;
        case 1:
            after.structures.erase(after.structures.begin() + 1);
            after.structures[1].number = 2;
            edited.removeStructure(2);
            break;
        case 2:
            after.structures.push_back(square(4, QRectF(150, 150, 30, 30), 0));
            edited.setStructure(after.structures.back());
            break;
        case 3:
            after.charge = QPointF(60, 60);
            edited.setCharge(after.charge);
            break;
        case 4:
            criterion = Criterion::Total;
            edited.setCriterion(criterion);
            break;
        case 5:
            after = oneSquare(0);
            after.structures.push_back(square(7, QRectF(60, 130, 50, 20), 4));
            edited.setModel(after, false);
            break;
        case 6:
            legend = false;
            edited.setLegendShown(false);
            break;
        }
        const QImage changed = paint(edited);
        QVERIFY(changed != first);
        PlanMapView fresh;
        fresh.setCriterion(criterion);
        fresh.setLegendShown(legend);
        fresh.setModel(after, false);
        QCOMPARE(changed, paint(fresh));
    }

    void viewPutsPlanYUpAndCirclesAtTheirRadii() {
        PlanMapModel m = oneSquare(3);
        m.structures.push_back(square(2, QRectF(300, 0, 20, 20), 1));
        m.charge = QPointF(200, 50);
        m.hasZones = true;
        m.zoneRadii[0] = {10, 20, 30, 40};
        m.zoneRadii[1] = {5, 15, 25, 35};
        m.zoneRadii[2] = {0, 12, 22, 32};
        m.pressures = {{100, 8}, {3, 0}};
        PlanMapView view;
        view.setLegendShown(false);
        view.resize(800, 600);
        view.setModel(m, true);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.fitToPlan();

        // North is up: a higher y is nearer the top of the screen.
        const QPoint high = view.mapFromScene(QPointF(5, 95));
        const QPoint low = view.mapFromScene(QPointF(5, 5));
        QVERIFY(high.y() < low.y());
        QCOMPARE(high.x(), low.x());
        // A fitted map fills the view without scroll bars; it still pans by dragging.
        QVERIFY(!view.horizontalScrollBar()->isVisible());
        QVERIFY(!view.verticalScrollBar()->isVisible());
        const QPoint unmoved = view.mapFromScene(QPointF(5, 5));
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(400, 300));
        QMouseEvent move(QEvent::MouseMove, QPointF(450, 330),
                         view.viewport()->mapToGlobal(QPointF(450, 330)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &move);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(450, 330));
        QCOMPARE(view.mapFromScene(QPointF(5, 5)), unmoved + QPoint(50, 30));
        view.fitToPlan();
        const QImage shot = view.viewport()->grab().toImage();
        QCOMPARE(shot.pixelColor(high), degreeColour(3));
        QCOMPARE(shot.pixelColor(view.mapFromScene(QPointF(302, 2))), degreeColour(1));
        QVERIFY(view.structureItem(1)->toolTip().contains(QStringLiteral("сильное")));

        const auto radiusOf = [](QGraphicsEllipseItem* item) {
            return item ? item->rect().width() / 2 : -1.0;
        };
        const auto centreOf = [](QGraphicsEllipseItem* item) {
            return item->rect().center();
        };
        for (int k = 1; k <= 4; ++k) {
            QCOMPARE(radiusOf(view.zoneItem(k)), m.zoneRadii[0][static_cast<std::size_t>(k - 1)]);
            QCOMPARE(centreOf(view.zoneItem(k)), QPointF(200, 50));
        }
        QCOMPARE(radiusOf(view.pressureItem(100)), 8.0);
        QVERIFY(!view.pressureItem(3)); // never reached: no circle

        view.setCriterion(Criterion::People);
        QVERIFY(!view.zoneItem(1)); // the run never reached zone 1's boundary
        QCOMPARE(radiusOf(view.zoneItem(4)), 32.0);

        // The view stays where the user left it when hidden and shown again.
        view.scale(2, 2);
        const QTransform before = view.transform();
        view.hide();
        view.show();
        QCOMPARE(view.transform(), before);
        view.setModel(m); // a new result keeps the view too
        QCOMPARE(view.transform(), before);
    }

    // The map's circles lie where the run puts its own levels, the ones past the table too.
    void pressureRadiiAgreeWithTheRunsOwnLevels_data() {
        QTest::addColumn<Placement>("placement");
        QTest::newRow("air") << Placement::Air;
        QTest::newRow("ground") << Placement::Ground;
    }
    void pressureRadiiAgreeWithTheRunsOwnLevels() {
        QFETCH(Placement, placement);
        auto run = std::make_unique<CalcState>();
        run->setParameters(CalcParameters::loadValues());
        ChargeInput charge;
        charge.chargeMassKg = 1000;
        charge.placement = placement;
        RunZoneCalculation(*run, charge);
        QCOMPARE(pressureRadius(*run, placement, 100), run->radiiKPa[1]);
        QCOMPARE(pressureRadius(*run, placement, 53), run->radius53kPa);
        QCOMPARE(pressureRadius(*run, placement, 28), run->radius28kPa);
        QCOMPARE(pressureRadius(*run, placement, 12), run->radius12kPa);
        QCOMPARE(pressureRadius(*run, placement, 3), run->radiiKPa[9]);
        QCOMPARE(pressureRadius(*run, placement, 1), run->radiiKPa[10]);
        QVERIFY(run->radiiKPa[10] > run->profile.row(run->pointCount).r); // past the table
        QCOMPARE(pressureRadius(*run, placement, 1.0e9), 0.0);            // never reached
    }

    void situationMapCarriesDegreesAndZones() {
        ChargeInput charge;
        charge.chargeMassKg = 500;
        const std::vector<StructureRecord> structures{record(1, box(5, -5, 15, 5)),
                                                      record(2, box(0, 0, 0, 0), false),
                                                      record(3, box(400, 0, 410, 10))};
        const SituationResult result =
            evaluateSituation(charge, PlanPoint{0, 0}, structures, [](float) { return 50.0; });
        const PlanMapModel m = mapOfSituation(result, charge);
        QCOMPARE(m.structures.size(), std::size_t(2)); // unreadable corners are not drawn
        QCOMPARE(m.structures[0].number, 1);
        QCOMPARE(m.structures[0].degree, std::optional<int>(4));
        QCOMPARE(m.structures[1].degree, std::optional<int>(0));
        auto run = std::make_unique<CalcState>();
        run->setParameters(CalcParameters::loadValues());
        RunZoneCalculation(*run, charge);
        for (int j = 1; j <= 3; ++j) {
            for (int k = 1; k <= 4; ++k) {
                QCOMPARE(m.zoneRadius(static_cast<Criterion>(j), k),
                         static_cast<double>(run->zoneRadii(k, j)));
            }
        }
        QCOMPARE(m.pressures.size(), std::size_t(6));
        QVERIFY(m.bounds(Criterion::Heavy).contains(QPointF(405, 5)));
    }

    // Each scenario's circles lie around its own storage point at the radii of its own zone
    // run, and each structure shows the scenario that harms it the most.
    void scenarioMapHoldsEachScenariosCirclesAndTheWorstCase() {
        const TwoScenarios two;
        const PlanMapModel m = mapOfScenarios(two.both(), {100, 12, 3});
        QVERIFY(!m.charge); // no single charge: each scenario has its own
        QVERIFY(m.hasZones);
        QCOMPARE(m.scenarios.size(), std::size_t(2));
        const std::array<ChargeInput, 2> charges{two.west, two.east};
        const std::array<QPointF, 2> points{QPointF(0, 0), QPointF(600, 0)};
        for (std::size_t i = 0; i < 2; ++i) {
            const ScenarioCircles& circles = m.scenarios[i];
            QCOMPARE(circles.name, two.both()[i].name);
            QCOMPARE(circles.point, points[i]);
            auto run = std::make_unique<CalcState>();
            run->setParameters(CalcParameters::loadValues());
            RunZoneCalculation(*run, charges[i]);
            for (int j = 1; j <= 3; ++j) {
                for (int k = 1; k <= 4; ++k) {
                    QCOMPARE(circles.zoneRadius(static_cast<Criterion>(j), k),
                             static_cast<double>(run->zoneRadii(k, j)));
                }
            }
            QCOMPARE(circles.pressures.size(), std::size_t(3));
            QCOMPARE(circles.pressures[1].kPa, 12.0);
            QCOMPARE(circles.pressures[1].radius, pressureRadius(*run, charges[i].placement, 12));
        }
        // The east charge is the heavier: its zones reach farther.
        QVERIFY(m.scenarios[1].zoneRadius(Criterion::Heavy, 4) >
                m.scenarios[0].zoneRadius(Criterion::Heavy, 4));
        const double eastReach = m.scenarios[1].zoneRadius(Criterion::Heavy, 4);
        QVERIFY(m.bounds(Criterion::Heavy).contains(QPointF(600 + eastReach - 1, 0)));
        QVERIFY(m.bounds(Criterion::Heavy).contains(QPointF(600 - eastReach + 1, 0)));

        // Structure by structure: the scenario named and the degree it gives.
        const std::array<const SituationResult*, 2> results{&two.westResult, &two.eastResult};
        const std::array<std::size_t, 3> worstOf{0, 1, 1};
        QCOMPARE(m.structures.size(), std::size_t(3));
        for (std::size_t row = 0; row < 3; ++row) {
            const MapStructure& s = m.structures[row];
            const std::size_t from = worstOf[row];
            QCOMPARE(s.scenario, m.scenarios[from].name);
            const auto& impact = results[from]->rows[row].impact;
            QCOMPARE(s.deltaPkPa, impact->deltaPkPa);
            QCOMPARE(s.degree, std::optional<int>(static_cast<int>(*impact->degree)));
            QVERIFY(structureTip(s).contains(m.scenarios[from].name));
        }
        // The one beside the west store is wrecked by its small charge, untouched by the far
        // heavy one: coloured by the west scenario, not by the heavier.
        QCOMPARE(m.structures[0].degree, std::optional<int>(4));
        QCOMPARE(two.eastResult.rows[0].impact->degree, std::optional(DestructionDegree(0)));

        QVERIFY(mapOfScenarios({}).structures.empty());
    }

    // On the drawings each scenario's name stands beside its mark, and no label covers
    // another or a mark.
    void scenarioNamesAreLaidOutWithTheOtherLabels() {
        const TwoScenarios two;
        const PlanMapModel m = mapOfScenarios(two.both());
        const auto names = [](const LabelLayout& layout) {
            QStringList out;
            for (const PlacedLabel& l : layout.labels) {
                if (l.kind == LabelKind::Charge) {
                    out << l.text;
                }
            }
            return out;
        };
        const QStringList expected{QStringLiteral("Склад ВВ западный"),
                                   QStringLiteral("Склад ВВ восточный")};
        LabelLayout layout;
        reportMapPicture(m, Criterion::Heavy, kReportMapMillimetres, 150, &layout);
        QCOMPARE(names(layout), expected);
        QCOMPARE(layout.scenarioMarks.size(), std::size_t(2));
        QStringList faults = layoutFaults(layout, m, Criterion::Heavy);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        // The report map holds both scenarios' outer zones.
        for (const ScenarioCircles& scenario : m.scenarios) {
            const double r = scenario.zoneRadius(Criterion::Heavy, 4) * layout.unitsPerMetre;
            const QPointF c = layout.planToTarget.map(scenario.point);
            QVERIFY(layout.target.contains(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r)));
        }

        // Two stores 15 m apart: the second name goes farther out, still clear of the first.
        TwoScenarios near;
        near.eastResult.chargePoint = PlanPoint{15, 0};
        const PlanMapModel close = mapOfScenarios(near.both());
        QImage image(QSize(800, 600), QImage::Format_RGB32);
        QPainter p(&image);
        MapOptions options;
        options.planWindow = QRectF(-60, -45, 120, 90);
        const LabelLayout crowded = renderPlanMap(p, close, QRectF(0, 0, 800, 600), options);
        p.end();
        QCOMPARE(names(crowded), expected);
        faults = layoutFaults(crowded, close, Criterion::Heavy);
        faults.removeIf([](const QString& f) { return f.contains(QStringLiteral("no room")); });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // The page offers the situation's charge, each scenario and all of them; each choice
    // changes what the view, the exports and the report map show.
    void pageShowsTheChosenScenarios() {
        const TwoScenarios two;
        PlanMapPage page;
        page.setSituation(QStringLiteral("Склады"), two.westResult, two.west);
        auto* choice = page.findChild<QComboBox*>(QStringLiteral("cboScenario"));
        QVERIFY(choice);
        QVERIFY(choice->isHidden()); // no scenarios, nothing to choose
        page.setScenarios(two.all(), false);
        QVERIFY(!choice->isHidden());
        QCOMPARE(choice->count(), 4);
        QCOMPARE(choice->itemText(3), QStringLiteral("Все сценарии"));
        QVERIFY(page.model().charge); // the situation's own charge first
        QVERIFY(page.model().scenarios.empty());

        QVERIFY(page.chooseScenario(1));
        QCOMPARE(page.model().scenarios.size(), std::size_t(1));
        QCOMPARE(page.model().scenarios[0].name, QStringLiteral("Склад ВВ восточный"));
        QCOMPARE(page.model().structures[0].scenario, QStringLiteral("Склад ВВ восточный"));
        QVERIFY(page.titleBlock().charge.contains(QStringLiteral("«Склад ВВ восточный»")));

        QVERIFY(page.chooseScenario(PlanMapPage::kAllScenarios));
        QCOMPARE(page.model().scenarios.size(), std::size_t(2));
        QCOMPARE(page.model().structures[0].scenario, QStringLiteral("Склад ВВ западный"));
        QVERIFY(page.titleBlock().charge.startsWith(QStringLiteral("худший случай")));
        // Both scenarios' circles are in the view.
        int circles = 0;
        for (QGraphicsItem* item : page.view()->scene()->items()) {
            circles += qgraphicsitem_cast<QGraphicsEllipseItem*>(item) != nullptr;
        }
        QVERIFY(circles >= 2 * 4);
        // The pressures typed apply to every scenario.
        QVERIFY(page.applyPressures(QStringLiteral("50")));
        for (const ScenarioCircles& scenario : page.model().scenarios) {
            QCOMPARE(scenario.pressures.size(), std::size_t(1));
        }

        // A worst-case situation starts with all of them and has no charge of its own.
        page.setScenarios(two.all(), true);
        QCOMPARE(choice->count(), 3);
        QCOMPARE(choice->currentText(), QStringLiteral("Все сценарии"));
        QCOMPARE(page.model().scenarios.size(), std::size_t(2));
        QVERIFY(!page.chooseScenario(-1));
    }

    // ---- Calibration of the picture ----

    void calibration_data() {
        QTest::addColumn<QPointF>("pixel1");
        QTest::addColumn<QPointF>("plan1");
        QTest::addColumn<QPointF>("pixel2");
        QTest::addColumn<QPointF>("plan2");
        QTest::addColumn<bool>("rotation");
        QTest::addColumn<QPointF>("pixel");
        QTest::addColumn<QPointF>("expected");
        // 2 pixels a metre, picture y down, plan y up.
        QTest::newRow("scale and offset")
            << QPointF(0, 0) << QPointF(100, 200) << QPointF(200, 0) << QPointF(200, 200) << false
            << QPointF(100, 100) << QPointF(150, 150);
        QTest::newRow("points on a diagonal")
            << QPointF(10, 10) << QPointF(0, 0) << QPointF(110, 110) << QPointF(50, -50) << false
            << QPointF(60, 60) << QPointF(25, -25);
        // The picture's x axis points north on the plan.
        QTest::newRow("turned a quarter")
            << QPointF(0, 0) << QPointF(0, 0) << QPointF(100, 0) << QPointF(0, 100) << true
            << QPointF(0, 100) << QPointF(100, 0);
        QTest::newRow("rotation asked, none needed")
            << QPointF(0, 0) << QPointF(100, 200) << QPointF(200, 0) << QPointF(200, 200) << true
            << QPointF(100, 100) << QPointF(150, 150);
    }
    void calibration() {
        QFETCH(QPointF, pixel1);
        QFETCH(QPointF, plan1);
        QFETCH(QPointF, pixel2);
        QFETCH(QPointF, plan2);
        QFETCH(bool, rotation);
        QFETCH(QPointF, pixel);
        QFETCH(QPointF, expected);
        const QTransform t = pictureToPlan({{pixel1, plan1}, {pixel2, plan2}, rotation});
        const QPointF got = t.map(pixel);
        QVERIFY2(QLineF(got, expected).length() < 1e-9,
                 qPrintable(QStringLiteral("(%1, %2)").arg(got.x()).arg(got.y())));
        QVERIFY(QLineF(t.map(pixel1), plan1).length() < 1e-9);
    }

    void calibrationRefusesPointsThatCannotPlaceAPicture_data() {
        QTest::addColumn<Calibration>("calibration");
        QTest::newRow("same pixel twice")
            << Calibration{{QPointF(5, 5), QPointF(0, 0)}, {QPointF(5, 5), QPointF(10, 0)}, false};
        QTest::newRow("same plan point twice")
            << Calibration{{QPointF(0, 0), QPointF(3, 3)}, {QPointF(50, 5), QPointF(3, 3)}, true};
        QTest::newRow("not a number") << Calibration{
            {QPointF(0, 0), QPointF(qQNaN(), 0)}, {QPointF(5, 5), QPointF(1, 1)}, false};
    }
    void calibrationRefusesPointsThatCannotPlaceAPicture() {
        QFETCH(Calibration, calibration);
        QVERIFY_THROWS_EXCEPTION(CalibrationError, pictureToPlan(calibration));
    }

    // ---- The picture stored with the plan ----

    void pictureIsStoredAndReadBack() {
        const QByteArray bytes = pngBytes(QSize(40, 30), Qt::blue);
        {
            PlanMapPage page;
            page.setPictureStore(
                std::make_shared<db::DatabasePictureStore>(db::fileConnectionString(m_db)), m_plan);
            const Calibration c{
                {QPointF(0, 0), QPointF(0, 30)}, {QPointF(40, 0), QPointF(40, 30)}, false};
            QVERIFY(page.setBackgroundPicture(bytes, c));
            page.setBackgroundLook(false, 0.4);
        }
        PlanMapPage again;
        again.setPictureStore(
            std::make_shared<db::DatabasePictureStore>(db::fileConnectionString(m_db)), m_plan);
        QVERIFY(again.model().background);
        const MapBackground& b = *again.model().background;
        QCOMPARE(b.picture.size(), QSize(40, 30));
        QCOMPARE(b.pictureToPlan.map(QPointF(40, 30)), QPointF(40, 0));
        QVERIFY(!b.visible);
        QCOMPARE(b.opacity, 0.4);
        QCOMPARE(messages().count(), 0);

        // Deleting the plan takes its picture along.
        auto c = connect();
        db::deletePlan(*c, m_plan);
        QVERIFY(!db::readPlanPicture(*c, m_plan));
    }

    // The page keeps its picture only through the store it is given; a store that refuses a
    // change leaves the map as it was and says why.
    void pageWorksThroughItsPictureStore() {
        struct MemoryStore final : db::PlanPictureStore {
            std::map<int, db::PlanPicture> pictures;
            bool refuse = false;
            // A store that does not answer; it does after 8 s in any case, so that a page that
            // waits on the window's thread fails the test instead of hanging it.
            std::atomic<bool> stall{false};
            std::atomic<bool> refuseAfterStall{false};
            std::atomic<int> stalled{0};
            void check() {
                if (stall) {
                    for (int waited = 0; stall && waited < 8000; waited += 5) {
                        QThread::msleep(5);
                    }
                    ++stalled;
                    if (refuseAfterStall) {
                        throw DatabaseError(QStringLiteral("Сервер недоступен."));
                    }
                }
                if (refuse) {
                    throw DatabaseError(QStringLiteral("Сервер недоступен."));
                }
            }
            std::optional<db::PlanPicture> read(int plan) override {
                const auto it = pictures.find(plan);
                return it == pictures.end() ? std::nullopt : std::optional(it->second);
            }
            void store(int plan, const db::PlanPicture& p) override {
                check();
                pictures[plan] = p;
            }
            void setLook(int plan, double opacity, bool shown) override {
                check();
                pictures[plan].opacity = opacity;
                pictures[plan].shown = shown;
            }
            void remove(int plan) override {
                check();
                pictures.erase(plan);
            }
        };
        const auto store = std::make_shared<MemoryStore>();
        PlanMapPage page;
        page.setPictureStore(store, 7);
        QVERIFY(!page.model().background);
        const Calibration c{
            {QPointF(0, 0), QPointF(0, 30)}, {QPointF(40, 0), QPointF(40, 30)}, false};
        QVERIFY(page.setBackgroundPicture(pngBytes(QSize(40, 30), Qt::blue), c));
        QCOMPARE(store->pictures.size(), std::size_t(1));
        QCOMPARE(store->pictures.at(7).planX2, 40.0);
        page.setBackgroundLook(false, 0.25);
        QCOMPARE(store->pictures.at(7).opacity, 0.25);
        QVERIFY(!store->pictures.at(7).shown);

        store->refuse = true;
        QVERIFY(!page.setBackgroundPicture(pngBytes(QSize(8, 8), Qt::red), c));
        QVERIFY(messages().last().text.contains(QStringLiteral("Сервер недоступен.")));
        QCOMPARE(page.model().background->picture.size(), QSize(40, 30)); // the old picture
        QCOMPARE(store->pictures.at(7).planX2, 40.0);

        // A store that does not answer: the page waits behind «Отмена», and giving up keeps the
        // picture it showed.
        store->refuse = false;
        store->stall = true;
        QString waitedFor;
        test::cancelBusySignWhenShown(&page, &waitedFor);
        QVERIFY(!page.setBackgroundPicture(pngBytes(QSize(8, 8), Qt::red), c));
        QCOMPARE(waitedFor, QStringLiteral("Сохранение рисунка плана…"));
        QVERIFY(messages().last().text.contains(QStringLiteral("ожидание сервера")));
        QCOMPARE(page.model().background->picture.size(), QSize(40, 30));
        // The write given up on fails when the store answers at last.
        store->refuseAfterStall = true;
        store->stall = false;
        QTRY_COMPARE(store->stalled.load(), 1);

        // Another page on the same store shows what was stored.
        PlanMapPage again;
        again.setPictureStore(store, 7);
        QVERIFY(again.model().background);
        QCOMPARE(again.model().background->opacity, 0.25);
    }

    void badPictureOrPointsStoreNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Calibration>("calibration");
        QTest::addColumn<QString>("message");
        const Calibration good{
            {QPointF(0, 0), QPointF(0, 0)}, {QPointF(10, 0), QPointF(5, 0)}, false};
        QTest::newRow("not a picture") << QByteArray("GIF89a не рисунок") << good
                                       << QStringLiteral("не является рисунком PNG или JPEG");
        QTest::newRow("cut off PNG")
            << pngBytes(QSize(64, 64), Qt::red).left(60) << good << QStringLiteral("не читается");
        // The JPEG decoder fills the missing part with grey and calls it read.
        QByteArray jpeg = pictureFile(QSize(64, 64), Qt::red, "JPEG");
        QTest::newRow("cut off JPEG")
            << jpeg.left(jpeg.size() - 40) << good << QStringLiteral("файл обрезан");
        QByteArray png = pngBytes(QSize(64, 64), Qt::red);
        QTest::newRow("PNG without its end")
            << png.left(png.size() - 12) << good << QStringLiteral("файл обрезан");
        QTest::newRow("identical points")
            << pngBytes(QSize(8, 8), Qt::red)
            << Calibration{{QPointF(2, 2), QPointF(0, 0)}, {QPointF(2, 2), QPointF(5, 0)}, false}
            << QStringLiteral("в одном месте рисунка");
    }
    void badPictureOrPointsStoreNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(Calibration, calibration);
        QFETCH(QString, message);
        PlanMapPage page;
        page.setPictureStore(
            std::make_shared<db::DatabasePictureStore>(db::fileConnectionString(m_db)), m_plan);
        QVERIFY(!page.setBackgroundPicture(bytes, calibration));
        QCOMPARE(messages().count(), 1);
        QVERIFY2(messages().last().text.contains(message), qPrintable(messages().last().text));
        auto c = connect();
        QVERIFY(!db::readPlanPicture(*c, m_plan));
        QVERIFY(!page.model().background);
    }

    // What follows a picture's end in its file is not stored; a scan of an A1 sheet at 300 dpi
    // (above Qt's own allocation limit) is taken.
    void pictureIsStoredToItsEnd_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QByteArray>("tail");
        const QByteArray junk(1 << 20, '\xff');
        for (const char* format : {"PNG", "JPEG"}) {
            const QByteArray picture = pictureFile(QSize(32, 24), Qt::green, format);
            QTest::addRow("%s", format) << picture << QByteArray();
            QTest::addRow("%s and junk", format) << picture << junk;
            QTest::addRow("%s and a second picture", format) << picture << picture;
        }
        QTest::newRow("A1 at 300 dpi")
            << pictureFile(QSize(7016, 9933), Qt::white, "JPEG") << QByteArray();
    }
    void pictureIsStoredToItsEnd() {
        QFETCH(QByteArray, picture);
        QFETCH(QByteArray, tail);
        PlanMapPage page;
        page.setPictureStore(
            std::make_shared<db::DatabasePictureStore>(db::fileConnectionString(m_db)), m_plan);
        const Calibration c{
            {QPointF(0, 0), QPointF(0, 30)}, {QPointF(40, 0), QPointF(40, 30)}, false};
        QVERIFY2(page.setBackgroundPicture(picture + tail, c),
                 qPrintable(messages().count() == 0 ? QString() : messages().last().text));
        auto connection = connect();
        const auto stored = db::readPlanPicture(*connection, m_plan);
        QVERIFY(stored);
        QCOMPARE(stored->bytes.size(), picture.size());
        QVERIFY(stored->bytes == picture);
        db::removePlanPicture(*connection, m_plan);
    }

    // A database from before the picture table gets it when the page opens it.
    void databaseWithoutThePictureTableGetsIt() {
        {
            db::Connection c(db::fileConnectionString(m_db), db::SchemaCheck::None);
            c.exec(QStringLiteral("DROP TABLE PlanPicture"));
            c.exec(QStringLiteral("PRAGMA user_version = 0"));
        }
        PlanMapPage page;
        page.setPictureStore(
            std::make_shared<db::DatabasePictureStore>(db::fileConnectionString(m_db)), m_plan);
        QVERIFY(page.setBackgroundPicture(
            pngBytes(QSize(8, 8), Qt::green),
            {{QPointF(0, 0), QPointF(0, 0)}, {QPointF(8, 0), QPointF(8, 0)}, false}));
        auto c = connect();
        QVERIFY(db::readPlanPicture(*c, m_plan));
    }

    // ---- Structures from a file ----

    void importOfAGoodFile_data() {
        QTest::addColumn<QByteArray>("file");
        const QByteArray t = QByteArray(kType);
        const QByteArray k = QByteArray(kKind);
        QTest::newRow("semicolons, decimal commas, header, BOM")
            << QByteArray("\xEF\xBB\xBFномер;тип;вид;этажей;сотрудников;x1;y1;x2;y2;x3;y3;x4;y4\r\n"
                          "2;" +
                          t + ";" + k +
                          ";3;12;10,5;0;20;0;20;10;10,5;10\r\n"
                          "1;" +
                          t + ";" + k + ";1;0;-5;-5;0;-5;0;0;-5;0\r\n\r\n");
        QTest::newRow("commas, decimal points, quotes")
            << QByteArray("1,\"" + t + "\",\"" + k +
                          "\",1,0,-5,-5,0,-5,0,0,-5,0\n"
                          "2,\"" +
                          t + "\",\"" + k + "\",3,12,\"10,5\",0,20,0,20,10,10.5,10\n");
    }
    void importOfAGoodFile() {
        QFETCH(QByteArray, file);
        auto c = connect();
        db::StructureRecord existing;
        existing.plan = m_plan;
        existing.number = 1;
        existing.type = QString::fromUtf8(kType);
        existing.kind = QString::fromUtf8(kKind);
        existing.corners = {"0", "0", "1", "0", "1", "1", "0", "1"};
        db::addStructure(*c, existing);

        const db::StructureImport result = db::importStructures(*c, m_plan, file);
        QVERIFY2(result.refused.isEmpty(), qPrintable(db::refusalReport(result.refused)));
        QCOMPARE(result.firstNumber, 2); // after the structure the plan had
        QCOMPARE(db::lastStructureNumber(*c, m_plan), 3);
        // In the order of the file's numbers.
        const auto first = db::readStructure(*c, m_plan, 2);
        const auto second = db::readStructure(*c, m_plan, 3);
        QCOMPARE(first->corners[0], QStringLiteral("-5"));
        QCOMPARE(second->corners[0], QStringLiteral("10.5"));
        QCOMPARE(second->staff, QStringLiteral("12"));
        QCOMPARE(second->storeys, QStringLiteral("3"));
        // The kind's pressures are the middle of its ranges, as the editor sets them.
        QCOMPARE(second->pressure, (std::array<int, 4>{15, 25, 40, 60}));
    }

    void importRefusesBadLinesAndStoresNothing() {
        const QByteArray t = QByteArray(kType);
        const QByteArray k = QByteArray(kKind);
        const QByteArray good = ";" + t + ";" + k + ";1;2;0;0;1;0;1;1;0;1\n";
        const QByteArray file = "1" + good +                                      // line 1
                                "2;" + t + ";" + k + ";1;2;0;0;1;0;1;1;0\n" +     // 2: 12 fields
                                "x" + good +                                      // 3: number
                                "4;Замки;" + k + ";1;2;0;0;1;0;1;1;0;1\n" +       // 4: type
                                "1" + good +                                      // 5: repeated
                                "6;" + t + ";" + k + ";1;-2;0;0;1;0;1;1;0;1\n" +  // 6: staff
                                "7;" + t + ";" + k + ";1;2;0;0;1;0;1;1;0;abc\n" + // 7: Y4
                                "8;" + t + ";Шалаш;1;2;0;0;1;0;1;1;0;1\n" +       // 8: kind
                                "9;\"" + t + ";" + k + ";1;2;0;0;1;0;1;1;0;1\n";  // 9: quote
        auto c = connect();
        const db::StructureImport result = db::importStructures(*c, m_plan, file);
        QList<int> lines;
        for (const db::RefusedLine& r : result.refused) {
            lines << r.line;
        }
        QCOMPARE(lines, (QList<int>{2, 3, 4, 5, 6, 7, 8, 9}));
        QVERIFY(result.refused[3].reason.contains(QStringLiteral("строке 1")));
        QVERIFY(result.refused[5].reason.contains(QStringLiteral("Y4")));
        QCOMPARE(db::lastStructureNumber(*c, m_plan), 0); // nothing stored
        QVERIFY(db::refusalReport(result.refused).startsWith(QStringLiteral("строка 2: ")));
    }

    // Reading stops at the structure no plan can hold, and a value quoted in a reason is
    // shortened, so that neither a huge file nor a huge field makes the message unreadable.
    void importOfAHugeFileStopsWithAShortMessage() {
        const QByteArray tk = ";" + QByteArray(kType) + ";" + QByteArray(kKind) + ";1;2;";
        QByteArray file;
        for (int n = 1; n <= 40000; ++n) {
            file += QByteArray::number(n) + tk + "0;0;1;0;1;1;0;1\n";
        }
        auto c = connect();
        db::StructureImport result = db::importStructures(*c, m_plan, file);
        QCOMPARE(result.refused.size(), 1);
        QCOMPARE(result.refused[0].line, 32768);
        QVERIFY(result.refused[0].reason.contains(QStringLiteral("32767")));
        QCOMPARE(db::lastStructureNumber(*c, m_plan), 0);

        const QByteArray longKind(12000, 'k');
        result = db::importStructures(
            *c, m_plan, "1;" + QByteArray(kType) + ";" + longKind + ";1;2;0;0;1;0;1;1;0;1\n");
        QCOMPARE(result.refused.size(), 1);
        QVERIFY2(db::refusalReport(result.refused).size() < 300,
                 qPrintable(db::refusalReport(result.refused)));
    }

    // The first line is column names only when its fields name the columns; anything else is
    // a structure like every other line. Lines of separators only are passed over.
    void importFirstLineAndLimits_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("refusedLines");
        QTest::addColumn<int>("stored");
        const QByteArray tk = ";" + QByteArray(kType) + ";" + QByteArray(kKind) + ";1;2;";
        const QByteArray square = "0;0;1;0;1;1;0;1\n";
        const QByteArray second = "2" + tk + square;
        QTest::newRow("number sign before the number")
            << QByteArray("№1" + tk + square + second) << QList<int>{1} << 0;
        QTest::newRow("letter after the number")
            << QByteArray("1a" + tk + square + second) << QList<int>{1} << 0;
        QTest::newRow("column names with units and words")
            << QByteArray("№;Тип сооружения;Вид;Этажность;Сотрудники, чел.;X1, м;Y1, м;Х2;У2;x3;y3;"
                          "x4;y4\n1" +
                          tk + square + second)
            << QList<int>{} << 2;
        QTest::newRow("trailing separators as a spreadsheet writes them")
            << QByteArray("1" + tk + square + second + ";;;;;;;;;;;;\n;;;;;;;;;;;;\n")
            << QList<int>{} << 2;
        QTest::newRow("coordinate beyond the plan's limit")
            << QByteArray("1" + tk + "0;0;1e30;0;1;1;0;1\n" + second) << QList<int>{1} << 0;
        QTest::newRow("coordinate of a zone-prefixed easting")
            << QByteArray("1" + tk + "7500000;0;7500001;0;7500001;1;7500000;1\n" + second)
            << QList<int>{} << 2;
        QTest::newRow("negative coordinate beyond the limit")
            << QByteArray("1" + tk + "0;-100000001;1;0;1;1;0;1\n" + second) << QList<int>{1} << 0;
        QTest::newRow("line of a megabyte between good ones")
            << QByteArray("1" + tk + square + "\"" + QByteArray(1 << 20, 'x') + "\"\n" + second)
            << QList<int>{2} << 0;
        QTest::newRow("old Mac line ends")
            << QByteArray("1" + tk + "0;0;1;0;1;1;0;1\r2" + tk + "0;0;1;0;1;1;0;1\r")
            << QList<int>{} << 2;
        QTest::newRow("bytes that are not UTF-8")
            << QByteArray("1" + tk + square + "2;\xCF\xF0\xEE\xE8\xE7" + tk + square)
            << QList<int>{2} << 0;
    }
    void importFirstLineAndLimits() {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, refusedLines);
        QFETCH(int, stored);
        auto c = connect();
        const db::StructureImport result = db::importStructures(*c, m_plan, file);
        QList<int> lines;
        for (const db::RefusedLine& r : result.refused) {
            lines << r.line;
        }
        QCOMPARE(lines, refusedLines);
        QCOMPARE(db::lastStructureNumber(*c, m_plan), stored);
    }

    void importRefusesAFileThatIsNotUtf8() {
        auto c = connect();
        const db::StructureImport result = db::importStructures(
            *c, m_plan, QByteArray("1;\xc7\xe4\xe0\xed\xe8\xff;x;1;1;0;0;1;0;1;1;0;1\n"));
        QCOMPARE(result.refused.size(), 1);
        QVERIFY(result.refused[0].reason.contains(QStringLiteral("UTF-8")));
        QCOMPARE(db::lastStructureNumber(*c, m_plan), 0);
    }

    void planWindowMapFollowsTheEditing() {
        plan::PlanSession session;
        session.planNumber = m_plan;
        plan::PlanEditorWindow window(WindowContext::forDatabase(db::fileConnectionString(m_db)),
                                      session);
        window.showPlanAreas();
        QVERIFY(window.planMap()->model().structures.empty());

        const QByteArray t = QByteArray(kType);
        const QByteArray k = QByteArray(kKind);
        const QString good = m_dir.filePath(QStringLiteral("good.csv"));
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1;" + t + ";" + k + ";1;4;0;0;10;0;10;10;0;10\n2;" + t + ";" + k +
                   ";2;8;20;0;30;0;30;10;20;10\n");
        file.close();
        QVERIFY(window.importStructuresFile(good));
        QCOMPARE(messages().last().text, QStringLiteral("Добавлено сооружений: 2 (№1–№2)."));
        QCOMPARE(messages().last().icon, QMessageBox::Information);
        QVERIFY(messages().last().title != QStringLiteral("Внимание!")); // news, not a warning
        const QString one = m_dir.filePath(QStringLiteral("one.csv"));
        QFile oneFile(one);
        QVERIFY(oneFile.open(QIODevice::WriteOnly));
        oneFile.write("7;" + t + ";" + k + ";1;4;40;0;50;0;50;10;40;10\n");
        oneFile.close();
        QVERIFY(window.importStructuresFile(one));
        QCOMPARE(messages().last().text, QStringLiteral("Добавлено сооружений: 1 (№3)."));
        QCOMPARE(window.planMap()->model().structures.size(), std::size_t(3));
        QVERIFY(window.planMap()->structureItem(2));

        // The charge appears once both of its fields are numbers.
        type(&window, "Text16", QString());
        QVERIFY(!window.planMap()->model().charge);
        type(&window, "Text15", QStringLiteral("5,5"));
        type(&window, "Text16", QStringLiteral("абв"));
        QVERIFY(!window.planMap()->model().charge);
        type(&window, "Text16", QStringLiteral("-3"));
        QCOMPARE(window.planMap()->model().charge, std::optional<QPointF>(QPointF(5.5, -3)));

        const QString bad = m_dir.filePath(QStringLiteral("bad.csv"));
        QFile badFile(bad);
        QVERIFY(badFile.open(QIODevice::WriteOnly));
        badFile.write("1;" + t + ";" + k + ";1;4;0;0;10;0;10;10;0;10\n2;" + t + ";" + k + ";2\n");
        badFile.close();
        QVERIFY(!window.importStructuresFile(bad));
        QVERIFY(messages().last().text.contains(QStringLiteral("строка 2: 4 полей вместо 13")));
        auto c = connect();
        QCOMPARE(db::lastStructureNumber(*c, m_plan), 3);
        QCOMPARE(window.planMap()->model().structures.size(), std::size_t(3));
    }

    // A structure stored with corners beyond the plan's range (written by an older program or
    // by hand) is left off the map, as the situation leaves it off; the view keeps the rest.
    void planWindowMapLeavesOffAStructureBeyondThePlan() {
        const QByteArray t = QByteArray(kType);
        const QByteArray k = QByteArray(kKind);
        {
            auto c = connect();
            const db::StructureImport result =
                db::importStructures(*c, m_plan,
                                     "1;" + t + ";" + k + ";1;4;0;0;10;0;10;10;0;10\n2;" + t + ";" +
                                         k + ";2;8;20;0;30;0;30;10;20;10\n");
            QVERIFY(result.refused.isEmpty());
            c->exec(QStringLiteral("update IDPM set txtX2 = '1e30', txtX3 = '1e30' "
                                   "where NumPrim = ? and NumSoor = 2"),
                    {m_plan});
        }
        plan::PlanSession session;
        session.planNumber = m_plan;
        plan::PlanEditorWindow window(WindowContext::forDatabase(db::fileConnectionString(m_db)),
                                      session);
        window.showPlanAreas();
        const map::PlanMapModel& model = window.planMap()->model();
        QCOMPARE(model.structures.size(), std::size_t(1));
        QCOMPARE(model.structures[0].number, 1);
        const QRectF bounds = model.bounds(map::Criterion::Heavy);
        QVERIFY2(bounds.width() < 100 && bounds.height() < 100,
                 qPrintable(QStringLiteral("%1 × %2").arg(bounds.width()).arg(bounds.height())));
    }

    // ---- GeoJSON, exports, command line ----

    void geoJsonReadsBackInPython() {
        if (QString(KELMO_PYTHON).isEmpty()) {
            QSKIP("python3 is not installed");
        }
        ChargeInput charge;
        charge.chargeMassKg = 200;
        const SituationResult result = evaluateSituation(
            charge, PlanPoint{1, 2}, {record(1, box(5, -5, 15, 5)), record(2, box(30, 30, 45, 38))},
            [](float) { return 10.0; });
        PlanMapModel m = mapOfSituation(result, charge, {100, 3, 1.0e9});
        m.planName = QStringLiteral("Склад №1");
        const QString path = m_dir.filePath(QStringLiteral("plan.geojson"));
        exportGeoJson(path, m);
        int zones = 0;
        for (int j = 1; j <= 3; ++j) {
            for (int k = 1; k <= 4; ++k) {
                zones += m.zoneRadius(static_cast<Criterion>(j), k) > 0 ? 1 : 0;
            }
        }
        const QString script = QStringLiteral(R"(
import json, sys
d = json.load(open(sys.argv[1], encoding='utf-8'))
assert d['type'] == 'FeatureCollection' and d['name'] == 'Склад №1'
kinds = {}
for f in d['features']:
    kinds.setdefault(f['properties']['feature'], []).append(f)
    g = f['geometry']
    if g['type'] == 'Polygon':
        for ring in g['coordinates']:
            assert ring[0] == ring[-1], 'ring not closed'
            assert len(ring) >= 4
s = kinds['structure']
assert [f['properties']['number'] for f in s] == [1, 2]
assert s[0]['geometry']['coordinates'][0][:4] == [[5, -5], [15, -5], [15, 5], [5, 5]]
assert s[0]['properties']['degree'] == 4 and s[0]['properties']['degreeName'] == 'полное'
assert kinds['charge'][0]['geometry'] == {'type': 'Point', 'coordinates': [1, 2]}
print(len(kinds['zone']), len(kinds['pressure']))
)");
        QProcess python;
        python.start(QStringLiteral(KELMO_PYTHON), {QStringLiteral("-c"), script, path});
        QVERIFY(python.waitForFinished(30000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        // Every zone boundary of the three criteria, and the two pressures that were reached.
        QCOMPARE(python.readAllStandardOutput().trimmed(),
                 QStringLiteral("%1 2").arg(zones).toUtf8());
    }

    // A plan's name is the user's text: in the SVG it stays text, whatever it holds.
    void svgKeepsThePlanNameAsText_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("ampersand") << QStringLiteral("Цех 1 & 2");
        QTest::newRow("markup") << QStringLiteral("</title><script>alert(1)</script>");
        QTest::newRow("quotes and brackets") << QStringLiteral("Склад \"А\" <№2> 'север'");
    }
    void svgKeepsThePlanNameAsText() {
        QFETCH(QString, name);
        PlanMapModel m = oneSquare(2);
        m.planName = name;
        QXmlStreamReader xml(mapSvg(m, {}, QSize(320, 240)));
        QStringList elements;
        QString title;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement) {
                elements << xml.name().toString();
                if (xml.name() == QLatin1String("title")) {
                    title = xml.readElementText();
                }
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(!elements.contains(QStringLiteral("script")));
        QCOMPARE(title, name);
    }

    void exportsWriteTheirFormatsAndKeepTheOldFileOnFailure() {
        PlanMapModel m = oneSquare(2);
        m.charge = QPointF(-20, 50);
        const QString png = m_dir.filePath(QStringLiteral("map.png"));
        const QString svg = m_dir.filePath(QStringLiteral("map.svg"));
        const QString pdf = m_dir.filePath(QStringLiteral("map.pdf"));
        exportMapPng(png, m, {}, QSize(640, 480));
        exportMapSvg(svg, m, {}, QSize(640, 480));
        exportMapPdf(pdf, m, {}, Paper::A3, titled(QStringLiteral("План")));
        QCOMPARE(QImage(png).size(), QSize(640, 480));
        QFile svgFile(svg);
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        QVERIFY(svgFile.readAll().contains("<svg"));
        // The drawing declares the size its pixels have on a 96 dpi screen: 960 px, 254 mm.
        const QByteArray svgText = mapSvg(m, {}, QSize(960, 480));
        QVERIFY2(svgText.contains("width=\"254mm\" height=\"127mm\""),
                 svgText.left(400).constData());
        QFile pdfFile(pdf);
        QVERIFY(pdfFile.open(QIODevice::ReadOnly));
        QVERIFY(pdfFile.read(5) == "%PDF-");
        pdfFile.close();

        // A size nobody can draw: a message, and the picture already there stays.
        const QByteArray before = [&] {
            QFile f(png);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QVERIFY_THROWS_EXCEPTION(FileError, exportMapPng(png, m, {}, QSize(0, 480)));
        QFile after(png);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
        QVERIFY_THROWS_EXCEPTION(
            FileError,
            exportMapSvg(m_dir.filePath(QStringLiteral("нет/map.svg")), m, {}, QSize(64, 64)));
    }

    // The report's picture and a printed sheet of a 300-structure site: every structure in
    // the drawing carries its number, no label covers another or the charge, each zone and
    // pressure label found a place on its circle.
    void labelsOfASiteNeitherOverlapNorGoMissing() {
        const PlanMapModel m = site300();
        QVERIFY(m.hasZones);
        for (const Criterion criterion : {Criterion::Heavy, Criterion::People}) {
            LabelLayout layout;
            const QImage picture =
                reportMapPicture(m, criterion, kReportMapMillimetres, 150, &layout);
            QVERIFY(!picture.isNull());
            QVERIFY2(layout.unplaced.empty(), "numbers left off the report map");
            const QStringList faults = layoutFaults(layout, m, criterion);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(u'\n')));
        }

        // A4 sheets, at 10 units a millimetre: fitted to the whole site, and at 1:2 000 over
        // several sheets.
        TitleBlock title;
        title.plan = QStringLiteral("Площадка");
        for (const double scale : {0.0, 2000.0}) {
            const SheetSet sheets = mapSheets(m, {}, QSizeF(277, 190), scale);
            std::set<int> numbered;
            for (int i = 0; i < static_cast<int>(sheets.planWindows.size()); ++i) {
                QImage page(QSize(2770, 1900), QImage::Format_RGB32);
                page.fill(Qt::white);
                QPainter p(&page);
                const LabelLayout layout =
                    renderMapSheet(p, m, QRectF(0, 0, 2770, 1900), 10, {}, title, sheets, i);
                p.end();
                QVERIFY2(layout.unplaced.empty(), "numbers left off the sheet");
                const QStringList faults = layoutFaults(layout, m, Criterion::Heavy);
                QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(u'\n')));
                for (const PlacedLabel& l : layout.labels) {
                    if (l.kind == LabelKind::Number) {
                        numbered.insert(l.structure);
                    }
                }
            }
            QCOMPARE(numbered.size(), std::size_t(300));
        }
    }

    // On a map without a side column the legend and the scale bar take corners clear of the
    // grid's coordinate labels along the left and bottom edges: no label is written over.
    void legendAndScaleBarLeaveTheGridLabels_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("picture 1920 × 1080") << QSize(1920, 1080);
        QTest::newRow("small picture 640 × 480") << QSize(640, 480);
        QTest::newRow("tall picture 600 × 1200") << QSize(600, 1200);
    }
    void legendAndScaleBarLeaveTheGridLabels() {
        QFETCH(QSize, size);
        const PlanMapModel m = site300();
        MapOptions o;
        o.textHeight = 14;
        QImage image(size, QImage::Format_RGB32);
        QPainter p(&image);
        const QRectF target(QPointF(0, 0), QSizeF(size));
        const LabelLayout layout = renderPlanMap(p, m, target, o);
        p.end();
        QVERIFY(!layout.scaleBox.isEmpty());
        QVERIFY(!layout.legendBox.isEmpty());
        const std::vector<QRectF> labels = metreGridLabelBoxes(target, mapFrame(m, target, o), 14);
        QVERIFY(labels.size() > 4);
        for (const QRectF& label : labels) {
            QVERIFY2(!label.intersects(layout.scaleBox),
                     qPrintable(QStringLiteral("%1,%2").arg(label.x()).arg(label.y())));
            QVERIFY(!label.intersects(layout.legendBox));
        }
    }

    // The stated scale is true on paper: two structures 300 m apart lie 300 000 / N mm apart
    // in the PDF (as poppler reads the positions of their numbers), on a page of the size
    // chosen.
    void pdfSheetKeepsTheChosenScale_data() {
        QTest::addColumn<Paper>("paper");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QSizeF>("pagePoints");
        QTest::newRow("A4 1:2000") << Paper::A4 << 2000.0 << QSizeF(841.89, 595.28);
        QTest::newRow("A3 1:1000") << Paper::A3 << 1000.0 << QSizeF(1190.55, 841.89);
        QTest::newRow("A1 1:500") << Paper::A1 << 500.0 << QSizeF(2383.94, 1683.78);
    }

    void pdfSheetKeepsTheChosenScale() {
        QFETCH(Paper, paper);
        QFETCH(double, scale);
        QFETCH(QSizeF, pagePoints);
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        QVERIFY2(!pdftotext.isEmpty() && !pdfinfo.isEmpty(),
                 "poppler-utils (scripts/install-deps.sh) reads the PDF");
        PlanMapModel m;
        m.planName = QStringLiteral("Две башни");
        m.structures.push_back(square(41, QRectF(0, 0, 20, 12), 1));
        m.structures.push_back(square(42, QRectF(300, 0, 20, 12), 1));
        for (MapStructure& s : m.structures) {
            s.labelAt = s.outline.boundingRect().center();
        }
        const QString path = m_dir.filePath(QStringLiteral("scale.pdf"));
        QCOMPARE(exportMapPdf(path, m, {}, paper, titled(m.planName), scale), scale);

        QProcess info;
        info.start(pdfinfo, {path});
        QVERIFY(info.waitForFinished(30000));
        const QString infoText = QString::fromUtf8(info.readAllStandardOutput());
        const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"))
                .match(infoText);
        QVERIFY2(size.hasMatch(), qPrintable(infoText));
        QVERIFY(std::abs(size.captured(1).toDouble() - pagePoints.width()) < 1);
        QVERIFY(std::abs(size.captured(2).toDouble() - pagePoints.height()) < 1);

        QProcess text;
        text.start(pdftotext, {QStringLiteral("-bbox"), path, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        std::map<QString, double> centres;
        const QRegularExpression word(QStringLiteral(
            "<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" [^>]*>(4[12])</word>"));
        for (auto it = word.globalMatch(words); it.hasNext();) {
            const QRegularExpressionMatch w = it.next();
            centres[w.captured(3)] = (w.captured(1).toDouble() + w.captured(2).toDouble()) / 2;
        }
        QVERIFY2(centres.size() == 2, qPrintable(words.left(2000)));
        const double paperMm =
            (centres[QStringLiteral("42")] - centres[QStringLiteral("41")]) * 25.4 / 72;
        const double stated = 300 * 1000 / scale;
        QVERIFY2(
            std::abs(paperMm - stated) <= stated * 0.005,
            qPrintable(QStringLiteral("%1 mm on paper, %2 mm stated").arg(paperMm).arg(stated)));
    }

    // A scale at which the site does not fit one sheet gives as many sheets as cover it.
    void chosenScaleSpreadsOverSheets() {
        const PlanMapModel m = site300();
        const QRectF all = m.bounds(Criterion::Heavy);
        const SheetSet sheets = mapSheets(m, {}, QSizeF(277, 190), 1000);
        QCOMPARE(sheets.denominator, 1000.0);
        QCOMPARE(static_cast<int>(sheets.planWindows.size()), sheets.columns * sheets.rows);
        QVERIFY(sheets.planWindows.size() > 1);
        QRectF covered;
        for (const QRectF& w : sheets.planWindows) {
            covered |= w;
        }
        QVERIFY(covered.contains(all));
        const QString path = m_dir.filePath(QStringLiteral("sheets.pdf"));
        exportMapPdf(path, m, {}, Paper::A4, titled(QStringLiteral("Площадка")), 1000);
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        QVERIFY(!pdfinfo.isEmpty());
        QProcess info;
        info.start(pdfinfo, {path});
        QVERIFY(info.waitForFinished(30000));
        const QRegularExpressionMatch pages =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                .match(QString::fromUtf8(info.readAllStandardOutput()));
        QVERIFY(pages.hasMatch());
        QCOMPARE(pages.captured(1).toInt(), static_cast<int>(sheets.planWindows.size()));
    }

    void sheetStatesARoundScale() {
        PlanMapModel m = oneSquare(1);
        // A4 landscape less its margins: 110 m of plan over about 140 mm of map (the legend
        // takes a column beside it) is 1:786, rounded up to 1:1000.
        const SheetSet fitted = mapSheets(m, {}, QSizeF(277, 190), 0);
        QCOMPARE(fitted.denominator, 1000.0);
        QCOMPARE(fitted.planWindows.size(), std::size_t(1));
        QCOMPARE(roundScaleDenominator(2001), 2500.0);
        QCOMPARE(roundScaleDenominator(500), 500.0);
    }

    // The view after «Весь план» shows the plan with a margin its shape leaves: printed, the
    // sheets hold the plan as without a window (the fitted scale no coarser, no sheets of
    // margin only). A view zoomed in on a part prints that part.
    void wholePlanViewPrintsThePlan() {
        const PlanMapModel m = site300();
        const QRectF drawn = m.bounds(Criterion::Heavy);
        MapOptions view;
        view.planWindow =
            QRectF(drawn.center().x() - drawn.width() * 1.5, drawn.center().y() - drawn.height(),
                   drawn.width() * 3, drawn.height() * 2);
        for (const double scale : {0.0, 2000.0}) {
            const SheetSet plain = mapSheets(m, {}, QSizeF(277, 190), scale);
            const SheetSet shown = mapSheets(m, view, QSizeF(277, 190), scale);
            QCOMPARE(shown.denominator, plain.denominator);
            QCOMPARE(shown.planWindows.size(), plain.planWindows.size());
            QCOMPARE(shown.planWindows.front().center(), plain.planWindows.front().center());
        }
        MapOptions part;
        part.planWindow = QRectF(drawn.center(), QSizeF(100, 60));
        const SheetSet zoomed = mapSheets(m, part, QSizeF(277, 190), 0);
        QVERIFY(zoomed.denominator < mapSheets(m, {}, QSizeF(277, 190), 0).denominator);
        QVERIFY(zoomed.planWindows.front().contains(part.planWindow));
    }

    void pageTakesChosenPressuresAndPrintsASheet() {
        ChargeInput charge;
        charge.chargeMassKg = 300;
        const SituationResult result = evaluateSituation(
            charge, PlanPoint{0, 0}, {record(1, box(5, -5, 15, 5))}, [](float) { return 1.0; });
        PlanMapPage page;
        page.setSituation(QStringLiteral("Склад"), result, charge);
        QCOMPARE(page.model().pressures.size(), std::size_t(6));

        QVERIFY(page.applyPressures(QStringLiteral("50; 7,5")));
        QCOMPARE(page.model().pressures.size(), std::size_t(2));
        QCOMPARE(page.model().pressures[1].kPa, 7.5);
        QVERIFY(page.model().pressures[1].radius > page.model().pressures[0].radius);
        QVERIFY(!page.applyPressures(QStringLiteral("50; много")));
        QVERIFY(messages().last().text.contains(QStringLiteral("«много»")));
        QCOMPARE(page.model().pressures.size(), std::size_t(2)); // unchanged

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = m_dir.filePath(QStringLiteral("printed.pdf"));
        printer.setOutputFileName(pdf);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A3), QPageLayout::Landscape,
                                          QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        page.printOn(printer);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");

        const QImage picture = page.reportPicture();
        QCOMPARE(picture.size(), QSize(3012, 1772)); // 255 × 150 mm at 300 dpi
        QCOMPARE(picture.dotsPerMeterX(), 11811);
    }

    // "Сохранить" → GeoJSON of a plan in local metres: the page says why it cannot and offers
    // GeoPackage instead; with a coordinate system the GIS files are written.
    void pageExportsForGis() {
        ChargeInput charge;
        charge.chargeMassKg = 300;
        const SituationResult result = evaluateSituation(
            charge, PlanPoint{0, 0}, {record(1, box(5, -5, 15, 5))}, [](float) { return 1.0; });
        PlanMapPage page;
        page.setSituation(QStringLiteral("Склад"), result, charge);
        auto* button = page.findChild<QToolButton*>(QStringLiteral("cmdExport"));
        QVERIFY(button && button->menu());
        QAction* geoJson = nullptr;
        for (QAction* a : button->menu()->actions()) {
            if (a->text().startsWith(QStringLiteral("GeoJSON"))) {
                geoJson = a;
            }
        }
        QVERIFY(geoJson);
        answerNextMessage(QMessageBox::No);
        geoJson->trigger();
        QCOMPARE(messages().count(), 1);
        QCOMPARE(messages().last().icon, QMessageBox::Question);
        QVERIFY2(messages().last().text.contains(QStringLiteral("нет системы координат")) &&
                     messages().last().text.contains(QStringLiteral("GeoPackage?")),
                 qPrintable(messages().last().text));

        const QString gpkg = m_dir.filePath(QStringLiteral("page.gpkg"));
        const QString json = m_dir.filePath(QStringLiteral("page.geojson"));
        QVERIFY_THROWS_EXCEPTION(gis::GisExportError,
                                 page.exportTo(json, PlanMapPage::Format::GeoJson));
        QVERIFY(!QFile::exists(json));
        page.setPlanCrs(32637);
        page.exportTo(gpkg, PlanMapPage::Format::GeoPackage);
        page.exportTo(json, PlanMapPage::Format::GeoJson);
        QFile file(gpkg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(16).startsWith("SQLite format 3"));
        QVERIFY(QFile::exists(json));
    }

    void commandLineWritesTheMapFiles() {
        auto c = connect();
        db::StructureRecord s;
        s.plan = m_plan;
        s.number = 1;
        s.type = QString::fromUtf8(kType);
        s.kind = QString::fromUtf8(kKind);
        s.staff = QStringLiteral("5");
        s.corners = {"10", "0", "20", "0", "20", "10", "10", "10"};
        db::addStructure(*c, s);
        const QString svg = m_dir.filePath(QStringLiteral("cli.svg"));
        const QString geojson = m_dir.filePath(QStringLiteral("cli.geojson"));
        const QString gpkg = m_dir.filePath(QStringLiteral("cli.gpkg"));
        const QString dxf = m_dir.filePath(QStringLiteral("cli.dxf"));
        const auto run = [&](QProcess& cli) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            cli.setProcessEnvironment(env);
            cli.start(QStringLiteral(KELMO_CALC_PATH),
                      {QStringLiteral("situation"), QStringLiteral("--db"), m_db,
                       QStringLiteral("--plan"), QStringLiteral("Склад"), QStringLiteral("--mass"),
                       QStringLiteral("100"), QStringLiteral("--x"), QStringLiteral("0"),
                       QStringLiteral("--y"), QStringLiteral("0"), QStringLiteral("--svg"), svg,
                       QStringLiteral("--geojson"), geojson, QStringLiteral("--gpkg"), gpkg,
                       QStringLiteral("--dxf"), dxf});
            return cli.waitForFinished(60000);
        };
        // A plan in local metres has no longitude and latitude for GeoJSON: exit 1, the
        // reason in Russian, and no file at all.
        {
            QProcess cli;
            QVERIFY(run(cli));
            QCOMPARE(cli.exitCode(), 1);
            QVERIFY2(QString::fromUtf8(cli.readAllStandardError())
                         .contains(QStringLiteral("нет системы координат")),
                     "the refusal must say why");
            for (const QString& file : {svg, geojson, gpkg, dxf}) {
                QVERIFY2(!QFile::exists(file), qPrintable(file));
            }
        }
        db::setPlanCrs(*c, m_plan, 32637);
        QProcess cli;
        QVERIFY(run(cli));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        QVERIFY(cli.readAllStandardOutput().contains("\"structures\""));
        QFile svgFile(svg);
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        QVERIFY(svgFile.readAll().contains("<svg"));
        QFile json(geojson);
        QVERIFY(json.open(QIODevice::ReadOnly));
        QVERIFY(json.readAll().contains("FeatureCollection"));
        QFile gpkgFile(gpkg);
        QVERIFY(gpkgFile.open(QIODevice::ReadOnly));
        QVERIFY(gpkgFile.read(16).startsWith("SQLite format 3"));
        QFile dxfFile(dxf);
        QVERIFY(dxfFile.open(QIODevice::ReadOnly));
        QVERIFY(dxfFile.readAll().contains("LWPOLYLINE"));
    }
};

QTEST_MAIN(tst_map)
#include "tst_map.moc"
