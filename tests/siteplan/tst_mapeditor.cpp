// The plan editor's map as an editor, driven by the mouse on the map's viewport: the charge,
// drawing structures with snapping, selecting, dragging, undo and redo, measuring, and what
// the database holds after each step.

#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/SitePlan.h"
#include "map/EditGeometry.h"
#include "tests/support/GuiTest.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/PlanEditorWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QGraphicsPolygonItem>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUndoStack>

#include <memory>

using namespace kelmo;
using kelmo::test::child;
using map::MapTool;

Q_DECLARE_METATYPE(QPolygonF)

namespace {

QPolygonF polygon(std::initializer_list<QPointF> points) {
    return QPolygonF(QList<QPointF>(points));
}

} // namespace

class TestMapEditor : public test::GuiTest {
    Q_OBJECT

    QTemporaryDir m_template;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<db::Connection> m_c;
    plan::PlanSession m_session;
    QString m_connection;
    std::unique_ptr<plan::PlanEditorWindow> m_editor;
    int m_plan = 0;

    map::PlanMapView* view() const { return m_editor->planMap(); }
    QWidget* port() const { return view()->viewport(); }

    // The editor on an empty plan, its map at 10 pixels a metre with the plan's (0, 0) in the
    // middle, so that every pixel is a whole tenth of a metre.
    void openEditor() {
        m_session.planNumber = m_plan;
        m_editor = std::make_unique<plan::PlanEditorWindow>(
            WindowContext::forDatabase(m_connection), m_session);
        m_editor->resize(1300, 900);
        m_editor->show();
        m_editor->showPlanAreas();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
        m_editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_editor.get()));
        QApplication::processEvents();
        view()->setTransform(QTransform::fromScale(10, -10));
        view()->centerOn(0, 0);
    }

    QPoint at(QPointF plan) const { return view()->mapFromScene(plan); }

    void click(QPointF plan, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(port(), Qt::LeftButton, modifiers, at(plan));
    }
    // As QTest sends it: the double-click puts its point and ends.
    void doubleClick(QPointF plan) { QTest::mouseDClick(port(), Qt::LeftButton, {}, at(plan)); }
    void drag(QPointF from, QPointF to) {
        QTest::mousePress(port(), Qt::LeftButton, {}, at(from));
        const QPointF step = (to - from) / 4;
        for (int i = 1; i <= 4; ++i) {
            QTest::mouseMove(port(), at(from + step * i));
        }
        QTest::mouseRelease(port(), Qt::LeftButton, {}, at(to));
    }
    void useTool(MapTool tool) { m_editor->toolAction(tool)->trigger(); }

    // The outline the database holds for the structure, as numbers.
    QPolygonF stored(int number) {
        const auto r = db::readStructure(*m_c, m_plan, number);
        if (!r) {
            return {};
        }
        QPolygonF out;
        for (int i = 0; i < 8; i += 2) {
            out << QPointF(r->corners[i].toDouble(), r->corners[i + 1].toDouble());
        }
        return out;
    }
    int storedCount() { return db::lastStructureNumber(*m_c, m_plan); }
    // The vertex rows of a structure of other than four vertices.
    QPolygonF vertices(int number) {
        QPolygonF out;
        if (const auto r = db::readStructure(*m_c, m_plan, number)) {
            for (const PlanPoint& p : r->vertices) {
                out << QPointF(p.x, p.y);
            }
        }
        return out;
    }
    QPolygonF drawn(int number) {
        auto* item = view()->structureItem(number);
        return item ? item->polygon() : QPolygonF();
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QVERIFY(m_template.isValid());
        const QString path = m_template.filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(path, false);
        db::Connection c(db::fileConnectionString(path));
        c.exec(QStringLiteral("delete from BSubTypes"));
        c.exec(QStringLiteral("delete from BTypes"));
        c.exec(QStringLiteral("insert into BTypes (TNum, TName) values (7, 'Склады')"));
        c.exec(QStringLiteral("insert into BSubTypes (Type, STName, Slamin, Slamax, Sremin, "
                              "Sremax, Sulmin, Sulmax, Polmin, Polmax) values "
                              "(7, 'Первый', 10, 15, 20, 30, 30, 40, 40, 60), "
                              "(7, 'Второй', 100, 200, 200, 300, 300, 400, 400, 600)"));
    }

    void init() {
        startRecording();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        setProgramFolderForTesting(m_dir->path());
        const QString path = m_dir->filePath(QStringLiteral("bdKelmo.db"));
        QVERIFY(QFile::copy(m_template.filePath(QStringLiteral("bdKelmo.db")), path));
        QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_c = std::make_unique<db::Connection>(db::fileConnectionString(path));
        m_plan = db::createPlan(*m_c, QStringLiteral("Склад"));
        m_session = plan::PlanSession{};
        m_connection = db::fileConnectionString(path);
    }

    void cleanup() {
        m_editor.reset();
        m_c.reset();
        setProgramFolderForTesting({});
        m_dir.reset();
        stopRecording();
    }

    // ---- The geometry of editing ----

    void rightAngleSnap_data() {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<bool>("hasBefore");
        QTest::addColumn<QPointF>("expected");
        // From (10, 0), the segment before coming from (0, 0).
        QTest::newRow("nearly on along") << QPointF(20, 0.5) << true << QPointF(20, 0);
        QTest::newRow("nearly square up") << QPointF(10.6, 10) << true << QPointF(10, 10);
        QTest::newRow("nearly square down") << QPointF(9.5, -8) << true << QPointF(10, -8);
        QTest::newRow("nearly back") << QPointF(2, 0.4) << true << QPointF(2, 0);
        QTest::newRow("far from square") << QPointF(15, 4) << true << QPointF(15, 4);
        // The first segment is made level or upright.
        QTest::newRow("first nearly level") << QPointF(20, 0.3) << false << QPointF(20, 0);
        QTest::newRow("first slanting") << QPointF(15, 5) << false << QPointF(15, 5);
    }
    void rightAngleSnap() {
        QFETCH(QPointF, point);
        QFETCH(bool, hasBefore);
        QFETCH(QPointF, expected);
        const QPointF got =
            map::snapToRightAngle(point, QPointF(10, 0),
                                  hasBefore ? std::optional<QPointF>(QPointF(0, 0)) : std::nullopt);
        QVERIFY2(QLineF(got, expected).length() < 1e-9,
                 qPrintable(QStringLiteral("(%1, %2)").arg(got.x()).arg(got.y())));
    }

    void measuresAndOutlines_data() {
        QTest::addColumn<QPolygonF>("points");
        QTest::addColumn<double>("length");
        QTest::addColumn<double>("area");
        QTest::newRow("3-4-5 triangle") << polygon({{0, 0}, {3, 0}, {3, 4}}) << 7.0 << 6.0;
        QTest::newRow("L-shape, clockwise")
            << polygon({{0, 0}, {0, 20}, {10, 20}, {10, 10}, {20, 10}, {20, 0}}) << 60.0 << 300.0;
        // Far from the origin, as plans in a national grid are: no digits lost.
        QTest::newRow("square far out") << polygon({{6.5e6, 5.4e6},
                                                    {6.5e6 + 10, 5.4e6},
                                                    {6.5e6 + 10, 5.4e6 + 10},
                                                    {6.5e6, 5.4e6 + 10}})
                                        << 30.0 << 100.0;
    }
    void measuresAndOutlines() {
        QFETCH(QPolygonF, points);
        QFETCH(double, length);
        QFETCH(double, area);
        QCOMPARE(map::pathLength(points), length);
        QCOMPARE(map::polygonArea(points), area);
    }

    // A double-click adds the point twice; a click on the first vertex repeats it.
    void closedOutlineDropsRepeatedPoints() {
        QCOMPARE(map::closedOutline(polygon({{0, 0}, {10, 0}, {10, 10}, {10, 10.01}}), 0.05),
                 polygon({{0, 0}, {10, 0}, {10, 10}}));
        QCOMPARE(map::closedOutline(polygon({{0, 0}, {10, 0}, {10, 10}, {0, 0.02}}), 0.05),
                 polygon({{0, 0}, {10, 0}, {10, 10}}));
    }

    // ---- The editor driven by the mouse ----

    void chargeClickFillsTheFieldsAndTheFieldsMoveTheMark() {
        openEditor();
        useTool(MapTool::Charge);
        click({5, -20});
        QCOMPARE(text(m_editor.get(), "Text15"), QStringLiteral("5"));
        QCOMPARE(text(m_editor.get(), "Text16"), QStringLiteral("-20"));
        QCOMPARE(view()->model().charge, std::optional<QPointF>(QPointF(5, -20)));
        type(m_editor.get(), "Text15", QStringLiteral("7,5"));
        QCOMPARE(view()->model().charge, std::optional<QPointF>(QPointF(7.5, -20)));
        // The charge's move is a step of the history as well.
        m_editor->undoStack()->undo();
        QCOMPARE(text(m_editor.get(), "Text15"), QStringLiteral("0"));
        QCOMPARE(view()->model().charge, std::optional<QPointF>(QPointF(0, 0)));
        m_editor->undoStack()->redo();
        QCOMPARE(text(m_editor.get(), "Text16"), QStringLiteral("-20"));
        QCOMPARE(messages().count(), 0);
    }

    // The whole path of the issue: two structures drawn, picked, dragged, undone and redone,
    // the database checked after each step.
    void drawSelectDragUndoRedo() {
        openEditor();
        auto* kinds = child<QComboBox>(m_editor.get(), "Combo3");
        kinds->setCurrentIndex(1);
        type(m_editor.get(), "Text1", QStringLiteral("3"));
        type(m_editor.get(), "Text2", QStringLiteral("12"));

        // №1: four clicks, the last one a little off square, closed by a click on the first.
        useTool(MapTool::Draw);
        click({0, 0});
        click({20, 0});
        click({20, 10});
        click({0, 10.4});  // snaps to the right angle at (20, 10)
        click({0.2, 0.1}); // on the first vertex: closes
        QCOMPARE(storedCount(), 1);
        QCOMPARE(stored(1), polygon({{0, 0}, {20, 0}, {20, 10}, {0, 10}}));
        const auto first = db::readStructure(*m_c, m_plan, 1);
        QCOMPARE(first->type, QStringLiteral("Склады"));
        QCOMPARE(first->kind, QStringLiteral("Второй"));
        QCOMPARE(first->storeys, QStringLiteral("3"));
        QCOMPARE(first->staff, QStringLiteral("12"));
        QCOMPARE(drawn(1), stored(1));
        QVERIFY(view()->drawnPoints().isEmpty());

        // №2 beside it: its first and last vertices snap to №1's corners; a double-click ends.
        click({20.3, 0.4});
        click({40, 0});
        click({40, 10});
        doubleClick({20.2, 9.7});
        QCOMPARE(storedCount(), 2);
        QCOMPARE(stored(2), polygon({{20, 0}, {40, 0}, {40, 10}, {20, 10}}));
        QCOMPARE(messages().count(), 0);

        // A click picks a structure: the form shows it; stepping in the form moves the mark.
        useTool(MapTool::Select);
        click({10, 5});
        QCOMPARE(text(m_editor.get(), "Text13"), QStringLiteral("1"));
        QCOMPARE(view()->selected(), 1);
        m_editor->nextStructure();
        QCOMPARE(view()->selected(), 2);
        QCOMPARE(text(m_editor.get(), "txtX3"), QStringLiteral("40"));

        // A vertex of №2 dragged; only №2 is drawn again.
        QGraphicsPolygonItem* itemOfFirst = view()->structureItem(1);
        drag({40, 10}, {45, 12});
        QCOMPARE(stored(2), polygon({{20, 0}, {40, 0}, {45, 12}, {20, 10}}));
        QCOMPARE(drawn(2), stored(2));
        QCOMPARE(view()->structureItem(1), itemOfFirst);
        QCOMPARE(text(m_editor.get(), "txtX3"), QStringLiteral("45"));

        // The whole of №1 dragged down by 10 m.
        drag({10, 5}, {10, -5});
        QCOMPARE(view()->selected(), 1);
        QCOMPARE(stored(1), polygon({{0, -10}, {20, -10}, {20, 0}, {0, 0}}));

        // Ctrl+Z twice: №1, then №2 back; Ctrl+Y: №2 dragged again.
        QTest::keyClick(m_editor.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(stored(1), polygon({{0, 0}, {20, 0}, {20, 10}, {0, 10}}));
        QCOMPARE(drawn(1), stored(1));
        QTest::keyClick(m_editor.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(stored(2), polygon({{20, 0}, {40, 0}, {40, 10}, {20, 10}}));
        QCOMPARE(drawn(2), stored(2));
        QTest::keyClick(m_editor.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(stored(2), polygon({{20, 0}, {40, 0}, {45, 12}, {20, 10}}));
        QCOMPARE(view()->selected(), 2);

        // Undo down to the drawing of №2, then of №1: the plan is empty again; redo both.
        m_editor->undoStack()->undo();
        m_editor->undoStack()->undo();
        QCOMPARE(storedCount(), 1);
        QVERIFY(!view()->structureItem(2));
        m_editor->undoStack()->undo();
        QCOMPARE(storedCount(), 0);
        m_editor->undoStack()->redo();
        m_editor->undoStack()->redo();
        QCOMPARE(storedCount(), 2);
        QCOMPARE(stored(2), polygon({{20, 0}, {40, 0}, {40, 10}, {20, 10}}));
        QCOMPARE(messages().count(), 0);
    }

    // Delete on the map asks; its undo puts the structure back under its number, with the
    // later ones moved up again; the form's own change is undone the same way.
    void deleteAndFormChangeAreUndone() {
        for (int n = 1; n <= 3; ++n) {
            db::StructureRecord r;
            r.plan = m_plan;
            r.number = n;
            r.type = QStringLiteral("Склады");
            r.kind = QStringLiteral("Первый");
            r.storeys = QString::number(n);
            r.staff = QStringLiteral("0");
            r.pressure = {12, 25, 35, 50};
            const double x = 30.0 * (n - 1);
            r.corners = {QString::number(x),      "0",  QString::number(x + 20), "0",
                         QString::number(x + 20), "10", QString::number(x),      "10"};
            db::addStructure(*m_c, r);
        }
        const QList<db::StructureRecord> before = db::readStructures(*m_c, m_plan);
        openEditor();
        click({40, 5}); // №2
        QCOMPARE(view()->selected(), 2);

        answerNextMessage(QMessageBox::No);
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(storedCount(), 3);
        answerNextMessage(QMessageBox::Yes);
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(messages().last().icon, QMessageBox::Question);
        QCOMPARE(storedCount(), 2);
        QCOMPARE(stored(2), polygon({{60, 0}, {80, 0}, {80, 10}, {60, 10}}));
        QCOMPARE(drawn(2), stored(2));
        QVERIFY(!view()->structureItem(3));

        QTest::keyClick(m_editor.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(db::readStructures(*m_c, m_plan), before);
        QCOMPARE(drawn(3), stored(3));
        QCOMPARE(view()->selected(), 2);

        // The form's "Изменить" is a step too.
        type(m_editor.get(), "Text1", QStringLiteral("9"));
        m_editor->changeStructure();
        QCOMPARE(db::readStructure(*m_c, m_plan, 2)->storeys, QStringLiteral("9"));
        m_editor->undoStack()->undo();
        QCOMPARE(db::readStructures(*m_c, m_plan), before);
        QCOMPARE(text(m_editor.get(), "Text1"), QStringLiteral("2"));
    }

    // Another engineer changed the structure meanwhile: the drag is refused with the message,
    // the database keeps the other engineer's outline and the map shows it; nothing to undo.
    void dragOfAStructureChangedElsewhereIsRefused() {
        db::StructureRecord r;
        r.plan = m_plan;
        r.number = 1;
        r.type = QStringLiteral("Склады");
        r.kind = QStringLiteral("Первый");
        r.storeys = QStringLiteral("1");
        r.staff = QStringLiteral("0");
        r.corners = {"0", "0", "20", "0", "20", "10", "0", "10"};
        db::addStructure(*m_c, r);
        openEditor();
        click({10, 5});
        m_c->exec(QStringLiteral("update IDPM set txtX2 = '25', txtX3 = '25' where NumPrim = ?"),
                  {m_plan});
        drag({20, 10}, {30, 10});
        QVERIFY2(messages().last().text.contains(QStringLiteral("другой пользователь")),
                 qPrintable(messages().last().text));
        QCOMPARE(stored(1), polygon({{0, 0}, {25, 0}, {25, 10}, {0, 10}}));
        QCOMPARE(drawn(1), stored(1));
        QVERIFY(!m_editor->undoStack()->canUndo());
    }

    // A structure of six vertices: drawn, a vertex inserted and taken away again, a vertex
    // dragged and the drag undone; the vertex rows and the corner fields checked each time.
    void sixVertexStructure() {
        openEditor();
        useTool(MapTool::Draw);
        const QPolygonF ell = polygon({{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}});
        for (const QPointF& p : ell) {
            click(p);
        }
        click({0, 0.3}); // the first vertex closes
        QCOMPARE(storedCount(), 1);
        QCOMPARE(vertices(1), ell);
        // The corner fields hold the rectangle around it, for readers of the four corners.
        QCOMPARE(stored(1), polygon({{0, 0}, {0, 30}, {30, 30}, {30, 0}}));
        QCOMPARE(drawn(1), ell);

        useTool(MapTool::Select);
        click({5, 5});
        QVERIFY(view()->insertVertexAt({20, 0.3}));
        QPolygonF seven = ell;
        seven.insert(1, QPointF(20, 0));
        QCOMPARE(vertices(1), seven);
        QVERIFY(view()->removeVertexAt({20, 0}));
        QCOMPARE(vertices(1), ell);

        drag({30, 10}, {30, 12});
        QPolygonF moved = ell;
        moved[2] = QPointF(30, 12);
        QCOMPARE(vertices(1), moved);
        QCOMPARE(drawn(1), moved);
        QTest::keyClick(m_editor.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(vertices(1), ell);
        QTest::keyClick(m_editor.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(vertices(1), moved);
        QCOMPARE(messages().count(), 0);
    }

    // An outline whose sides cross is refused by the database with the structure named;
    // nothing is stored and nothing is left to undo.
    void crossedOutlineIsRefused() {
        openEditor();
        useTool(MapTool::Draw);
        click({40, 0}, Qt::ShiftModifier);
        click({60, 20}, Qt::ShiftModifier);
        click({60, 0}, Qt::ShiftModifier);
        click({40, 20}, Qt::ShiftModifier);
        click({40, 0}, Qt::ShiftModifier);
        QCOMPARE(storedCount(), 0);
        QVERIFY2(messages().last().text.contains(QStringLiteral("№1")),
                 qPrintable(messages().last().text));
        QVERIFY(!view()->structureItem(1));
        QVERIFY(!m_editor->undoStack()->canUndo());
    }

    void measureTools_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QPolygonF>("clicks");
        QTest::addColumn<QString>("shown");
        QTest::newRow("distance") << int(MapTool::MeasureDistance)
                                  << polygon({{0, 0}, {30, 40}, {30, 50}})
                                  << QStringLiteral("Расстояние: 60 м");
        QTest::newRow("area") << int(MapTool::MeasureArea)
                              << polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}})
                              << QStringLiteral("Площадь: 100 м², периметр: 40 м");
    }
    void measureTools() {
        QFETCH(int, tool);
        QFETCH(QPolygonF, clicks);
        QFETCH(QString, shown);
        openEditor();
        useTool(static_cast<MapTool>(tool));
        for (qsizetype i = 0; i + 1 < clicks.size(); ++i) {
            click(clicks[i], Qt::ShiftModifier);
        }
        doubleClick(clicks.last());
        QCOMPARE(view()->measurement(), shown);
        QCOMPARE(storedCount(), 0);
    }
};

QTEST_MAIN(TestMapEditor)
#include "tst_mapeditor.moc"
