// "Файл → Импорт генплана…": the layer and field choice, the preview on the map with the
// summary of what is skipped, and all or nothing when the structures are stored.

#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/PlanPicture.h"
#include "data/SitePlan.h"
#include "planimport/GdalSupport.h"
#include "tests/planimport/PlanFixtures.h"
#include "tests/support/WidgetLookup.h"
#include "ui/BackgroundWork.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapPage.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/PlanImportDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGraphicsPolygonItem>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>

using namespace kelmo;
using namespace kelmo::testing;
using kelmo::test::child;
using kelmo::ui::MessageRecorder;

namespace {

const QList<GisField> kFields{{QStringLiteral("num"), GisField::Type::Integer},
                              {QStringLiteral("kind"), GisField::Type::Text},
                              {QStringLiteral("staff"), GisField::Type::Integer},
                              {QStringLiteral("floors"), GisField::Type::Integer}};

int indexOfData(QComboBox* box, const QString& data) {
    return box->findData(data);
}

} // namespace

class TestPlanImportDialog final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_connection;
    QString m_layers;
    QString m_drawing;
    int m_plan = 0;
    std::unique_ptr<MessageRecorder> m_messages;

    QStringList stored() const {
        db::Connection c(m_connection);
        QSqlQuery q = c.exec(QStringLiteral("select NumSoor, Combo3, Text2 from IDPM where "
                                            "NumPrim = ? order by NumSoor"),
                             {m_plan});
        QStringList out;
        while (q.next()) {
            out << QStringLiteral("%1 %2 %3")
                       .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
        }
        return out;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        setProgramFolderForTesting(m_dir->path());
        const QString dbPath = m_dir->filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(dbPath, false);
        m_connection = db::fileConnectionString(dbPath);
        {
            db::Connection c(m_connection);
            m_plan = db::createPlan(c, QStringLiteral("Цех"));
            db::StructureRecord r;
            r.plan = m_plan;
            r.number = 1;
            r.type = QStringLiteral("Резервуары и емкости");
            r.kind = QStringLiteral("Резервуарные парки (заполненные)");
            r.storeys = QStringLiteral("1");
            r.staff = QStringLiteral("3");
            r.corners = {"0", "0", "5", "0", "5", "5", "0", "5"};
            db::addStructure(c, r);
        }
        m_layers = m_dir->filePath(QStringLiteral("plan.gpkg"));
        GisLayer good{QStringLiteral("buildings"), 32637, kFields, {}, {}};
        good.features << GisFeature{QStringLiteral("POLYGON ((0 0, 30 0, 30 10, 20 10, 20 20, 0 "
                                                   "20, 0 0))"),
                                    {2, "Деревянные дома", 4, 1}}
                      << GisFeature{QStringLiteral("POLYGON ((40 0, 50 0, 45 9, 40 0))"),
                                    {1, "Складские кирпичные здания", 30, 2}}
                      << GisFeature{QStringLiteral("LINESTRING (0 -5, 50 -5)"),
                                    {9, "Деревянные дома", 0, 0}};
        GisLayer bad{QStringLiteral("bad"), 32637, kFields, good.features, {}};
        bad.features << GisFeature{QStringLiteral("POLYGON ((60 0, 70 0, 65 9, 60 0))"),
                                   {1, "Деревянные дома", 1, 1}};
        writeGis(m_layers, QStringLiteral("GPKG"), {good, bad});
        m_drawing = m_dir->filePath(QStringLiteral("genplan.dxf"));
        writeDrawing(m_drawing, {{DrawingObject::Kind::Polyline,
                                  QStringLiteral("Здания"),
                                  {{0, 0}, {10, 0}, {10, 10}, {0, 10}},
                                  true,
                                  {}},
                                 {DrawingObject::Kind::Polyline,
                                  QStringLiteral("Здания"),
                                  {{0, 20}, {10, 30}},
                                  false,
                                  {}},
                                 {DrawingObject::Kind::Text,
                                  QStringLiteral("Подписи"),
                                  {{1, 1}},
                                  true,
                                  QStringLiteral("Склад")}});
        m_messages = std::make_unique<MessageRecorder>();
    }

    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            delete w;
        }
        m_messages.reset();
        setProgramFolderForTesting({});
        m_dir.reset();
    }

    // The layer and the fields are guessed from their names, the preview shows the outlines
    // numbered by the number field, and the import replaces the plan's structures only after
    // the user agrees.
    void previewAndReplace() {
        plan::PlanImportDialog dialog(m_connection, m_plan);
        QVERIFY(dialog.openFile(m_layers));
        auto* layer = child<QComboBox>(&dialog, "cboLayer");
        QCOMPARE(layer->count(), 2);
        QCOMPARE(layer->currentData().toString(), QStringLiteral("buildings"));
        QCOMPARE(child<QComboBox>(&dialog, "cboNumberField")->currentData().toString(),
                 QStringLiteral("num"));
        QCOMPARE(child<QComboBox>(&dialog, "cboStaffField")->currentData().toString(),
                 QStringLiteral("staff"));
        QVERIFY(child<QRadioButton>(&dialog, "optKindField")->isChecked());

        QCOMPARE(dialog.structureCount(), 2);
        const QString summary = child<QPlainTextEdit>(&dialog, "txtSummary")->toPlainText();
        QVERIFY2(summary.contains(QStringLiteral("EPSG:32637")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("открытые линии — 1")), qPrintable(summary));
        // Number 1 is the triangle, number 2 the L-shaped building.
        QGraphicsPolygonItem* triangle = dialog.previewMap()->structureItem(1);
        QVERIFY(triangle);
        QCOMPARE(triangle->polygon().size(), 3);
        QVERIFY(triangle->polygon().contains(QPointF(50, 0)));
        QCOMPARE(dialog.previewMap()->structureItem(2)->polygon().size(), 6);
        auto* importButton = child<QPushButton>(&dialog, "cmdImport");
        QVERIFY(importButton->isEnabled());

        m_messages->queueAnswer(QMessageBox::No);
        QTest::mouseClick(importButton, Qt::LeftButton);
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->last().text.contains(QStringLiteral("Заменить")));
        QCOMPARE(stored(), QStringList{"1 Резервуарные парки (заполненные) 3"});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        m_messages->queueAnswer(QMessageBox::Yes);
        QTest::mouseClick(importButton, Qt::LeftButton);
        QCOMPARE(stored(), (QStringList{"1 Складские кирпичные здания 30", "2 Деревянные дома 4"}));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // One bad object in the layer: the summary names it, import is not offered and nothing is
    // stored; without the number field the same layer imports in the file's order.
    void badObjectStoresNothing() {
        plan::PlanImportDialog dialog(m_connection, m_plan);
        QVERIFY(dialog.openFile(m_layers));
        auto* layer = child<QComboBox>(&dialog, "cboLayer");
        layer->setCurrentIndex(indexOfData(layer, QStringLiteral("bad")));
        const QString summary = child<QPlainTextEdit>(&dialog, "txtSummary")->toPlainText();
        QVERIFY2(summary.contains(QStringLiteral("объект 4: номер 1 уже у объекта 2")),
                 qPrintable(summary));
        auto* importButton = child<QPushButton>(&dialog, "cmdImport");
        QVERIFY(!importButton->isEnabled());
        dialog.accept();
        QCOMPARE(m_messages->count(), 0);
        QCOMPARE(stored().size(), 1);

        child<QComboBox>(&dialog, "cboNumberField")->setCurrentIndex(0); // "(нет)"
        QCOMPARE(dialog.structureCount(), 3);
        QVERIFY(importButton->isEnabled());
    }

    // A damaged drawing that kept the reading busy for ever (two carriage returns) is refused
    // at once with the line at fault, and the dialog keeps no file.
    void damagedDrawingRefused() {
        const QString broken = m_dir->filePath(QStringLiteral("broken.dxf"));
        {
            QFile file(broken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\r\r");
        }
        plan::PlanImportDialog dialog(m_connection, m_plan);
        QVERIFY(!dialog.openFile(broken));
        QCOMPARE(m_messages->count(), 1);
        QVERIFY2(
            m_messages->last().text.contains(QStringLiteral("broken.dxf» повреждён, строка 1")),
            qPrintable(m_messages->last().text));
        QVERIFY(child<QLineEdit>(&dialog, "txtFile")->text().isEmpty());
    }

    // A well-formed drawing that GDAL expands without end (blocks inserted into one another a
    // hundred million times): «Отмена» gives the dialog back with no message, a good file
    // opens after it, and the program still ends (this test's own exit) with the abandoned
    // reading still inside GDAL.
    void stuckReadingCancelled() {
        const QString nested = m_dir->filePath(QStringLiteral("nested.dxf"));
        {
            QFile file(nested);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(nestedBlocksDrawing(9, 10));
        }
        plan::PlanImportDialog dialog(m_connection, m_plan);
        QString waitedFor;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &dialog, [&dialog, &waitedFor, &poll] {
            auto* busy =
                dialog.findChild<QProgressDialog*>(QLatin1String(ui::kBackgroundDialogName));
            if (!busy || !busy->isVisible()) {
                return;
            }
            poll.stop();
            waitedFor = busy->labelText();
            const QList<QPushButton*> buttons = busy->findChildren<QPushButton*>();
            QCOMPARE(buttons.size(), 1);
            QTest::mouseClick(buttons.first(), Qt::LeftButton);
        });
        poll.start(50);
        QVERIFY(!dialog.openFile(nested));
        QCOMPARE(waitedFor, QStringLiteral("Чтение файла генплана…"));
        QCOMPARE(m_messages->count(), 0);
        QVERIFY(dialog.openFile(m_drawing));
        QCOMPARE(dialog.structureCount(), 1);
    }

    // A drawing: every drawing layer or one of them, one kind for all, and the summary of
    // what is not an outline.
    void drawingWithOneKind() {
        plan::PlanImportDialog dialog(m_connection, m_plan);
        QVERIFY(dialog.openFile(m_drawing));
        auto* layer = child<QComboBox>(&dialog, "cboLayer");
        QCOMPARE(layer->count(), 3); // all, «Здания», «Подписи»
        QCOMPARE(layer->currentData().toString(), QStringLiteral("Здания"));
        QVERIFY(child<QRadioButton>(&dialog, "optKindAll")->isChecked());
        auto* kind = child<QComboBox>(&dialog, "cboKind");
        kind->setCurrentIndex(kind->findText(QStringLiteral("Деревянные дома")));
        QCOMPARE(dialog.structureCount(), 1);
        layer->setCurrentIndex(0);
        const QString summary = child<QPlainTextEdit>(&dialog, "txtSummary")->toPlainText();
        QVERIFY2(summary.contains(QStringLiteral("открытые линии — 1, тексты — 1")),
                 qPrintable(summary));
    }

    // The plan editor's menu opens the dialog; after the import the editor's map shows the new
    // outlines.
    void editorMenu() {
        plan::PlanSession session;
        session.planNumber = m_plan;
        plan::PlanEditorWindow editor(WindowContext::forDatabase(m_connection), session);
        editor.show();
        editor.showPlanAreas();
        auto* action = editor.findChild<QAction*>(QStringLiteral("mnuImportPlan"));
        QVERIFY(action);
        QCOMPARE(action->text(), QStringLiteral("Импорт генплана…"));
        bool driven = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<plan::PlanImportDialog*>(QApplication::activeModalWidget());
            if (dialog) {
                driven = dialog->openFile(m_layers);
                m_messages->queueAnswer(QMessageBox::Yes);
                dialog->accept();
            }
        });
        action->trigger();
        QVERIFY(driven);
        QCOMPARE(stored().size(), 2);
        QVERIFY(editor.planMap()->structureItem(2));
        QCOMPARE(editor.planMap()->structureItem(2)->polygon().size(), 6);
    }
    // A picture beside its world file is placed on the map page without the two-point dialog,
    // and the plan keeps it with the two points derived from the world file.
    void worldFilePlacedWithoutClicking() {
        QImage image(40, 20, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString png = m_dir->filePath(QStringLiteral("site.png"));
        QVERIFY(image.save(png, "PNG"));
        QFile world(m_dir->filePath(QStringLiteral("site.pgw")));
        QVERIFY(world.open(QIODevice::WriteOnly));
        world.write("0.5\n0\n0\n-0.5\n412000.25\n6180009.75\n");
        world.close();

        map::PlanMapPage page;
        page.setPictureStore(std::make_shared<db::DatabasePictureStore>(m_connection), m_plan);
        QVERIFY(page.loadBackgroundPicture(png));
        QCOMPARE(m_messages->count(), 0);
        QVERIFY(page.model().background);
        const QPointF corner = page.model().background->pictureToPlan.map(QPointF(40, 20));
        QCOMPARE(corner, QPointF(412020, 6180000));

        db::Connection c(m_connection);
        const auto stored = db::readPlanPicture(c, m_plan);
        QVERIFY(stored);
        QCOMPARE(stored->planX1, 412000.0);
        QCOMPARE(stored->planY1, 6180010.0);
        QCOMPARE(stored->pixelX2, 40.0);
        QCOMPARE(stored->planY2, 6180000.0);
    }
    // A GeoTIFF in the plan's own system is placed by itself; in another system it is not,
    // and the user is told so (a GeoTIFF then cannot be placed by two points either).
    void geoTiffOfAnotherSystem() {
        planimport::registerGdal();
        const QString tif = m_dir->filePath(QStringLiteral("ortho.tif"));
        {
            GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
                tif.toUtf8().constData(), 20, 10, 1, GDT_Byte, nullptr));
            QVERIFY(ds);
            double gt[6] = {500000, 1, 0, 6000010, 0, -1};
            ds->SetGeoTransform(gt);
            OGRSpatialReference utm;
            utm.importFromEPSG(32637);
            ds->SetSpatialRef(&utm);
        }
        map::PlanMapPage page;
        page.setPictureStore(std::make_shared<db::DatabasePictureStore>(m_connection), m_plan);
        page.setPlanCrs(32638);
        QVERIFY(!page.loadBackgroundPicture(tif));
        QVERIFY(m_messages->count() >= 1);
        const QString text = m_messages->messages().first().text;
        QVERIFY2(text.contains(QStringLiteral("EPSG:32637")) &&
                     text.contains(QStringLiteral("EPSG:32638")),
                 qPrintable(text));
        {
            db::Connection c(m_connection);
            QVERIFY(!db::readPlanPicture(c, m_plan));
        }

        m_messages->clear();
        page.setPlanCrs(32637);
        QVERIFY(page.loadBackgroundPicture(tif));
        QCOMPARE(m_messages->count(), 0);
        QCOMPARE(page.model().background->pictureToPlan.map(QPointF(20, 10)),
                 QPointF(500020, 6000000));
    }
};

QTEST_MAIN(TestPlanImportDialog)
#include "tst_planimportdialog.moc"
