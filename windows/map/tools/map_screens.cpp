// Pictures of the plan map for looking at it and for the README: the plan window with its map,
// the situation map without and with a background picture of the site.
// Usage: kelmo-map-screens <folder>.

#include "data/DatabaseFile.h"
#include "data/ProbitPercentTable.h"
#include "data/SitePlan.h"
#include "data/SituationPlan.h"
#include "data/StructureImport.h"
#include "map/Calibration.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
#include "windows/map/PlanMapPage.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/PlanEditorWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace kelmo;

namespace {

void save(QWidget* w, const QString& folder, const QString& name) {
    kelmo::ui::saveScreenshot(w, folder, name, 200);
}

// A works site: rows of buildings around a store, as a CSV file of the import.
QByteArray siteFile(db::Connection& c) {
    const auto types = db::readStructureTypes(c);
    const auto kinds = db::listKindsOfType(c, types.front().number);
    QByteArray out = "номер;тип;вид;этажей;сотрудников;x1;y1;x2;y2;x3;y3;x4;y4\n";
    int n = 0;
    const double xs[] = {-150, -95, -40, 35, 90, 145};
    const double ys[] = {-120, -60, 45, 100};
    for (const double y : ys) {
        for (const double x : xs) {
            ++n;
            const double w = 28 + (n % 3) * 8;
            const double h = 20 + (n % 4) * 5;
            const auto& kind = kinds[n % kinds.size()];
            out += QString::number(n).toUtf8() + ';' + types.front().name.toUtf8() + ';' +
                   kind.name.toUtf8() + ";2;" + QByteArray::number(5 * (n % 7)) + ';' +
                   QByteArray::number(x) + ';' + QByteArray::number(y) + ';' +
                   QByteArray::number(x + w) + ';' + QByteArray::number(y) + ';' +
                   QByteArray::number(x + w) + ';' + QByteArray::number(y + h) + ';' +
                   QByteArray::number(x) + ';' + QByteArray::number(y + h) + '\n';
        }
    }
    return out;
}

// A scanned plan of the site: grass, roads, a rail spur, the buildings' footprints, and two
// crosses with their coordinates written by the surveyor. 2 pixels a metre, (0, 0) at pixel
// (440, 340).
QByteArray sitePicture() {
    QImage image(880, 680, QImage::Format_RGB32);
    image.fill(QColor(0xe8, 0xf0, 0xd8));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const auto px = [](double x, double y) {
        return QPointF(440 + 2 * x, 340 - 2 * y);
    };
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0xc8, 0xc0));
    p.drawRect(QRectF(px(-220, 25), px(220, 5)));  // the main road
    p.drawRect(QRectF(px(10, 170), px(25, -170))); // the cross road
    p.setBrush(QColor(0xa8, 0xd0, 0xf0));
    p.drawEllipse(px(-185, 150), 50, 30); // a pond
    p.setPen(QPen(QColor(0x60, 0x50, 0x40), 3, Qt::DashLine));
    p.drawLine(px(-220, -150), px(220, -140)); // the rail spur
    p.setPen(QPen(QColor(0x90, 0x80, 0x70), 1));
    p.setBrush(QColor(0xf0, 0xe6, 0xd0));
    const double xs[] = {-150, -95, -40, 35, 90, 145};
    const double ys[] = {-120, -60, 45, 100};
    int n = 0;
    for (const double y : ys) {
        for (const double x : xs) {
            ++n;
            const double w = 28 + (n % 3) * 8;
            const double h = 20 + (n % 4) * 5;
            p.drawRect(QRectF(px(x - 3, y + h + 3), px(x + w + 3, y - 3)));
        }
    }
    p.setPen(QPen(Qt::black, 2));
    QFont f = p.font();
    f.setPixelSize(14);
    p.setFont(f);
    for (const QPointF plan : {QPointF(-200, -160), QPointF(200, 160)}) {
        const QPointF at = px(plan.x(), plan.y());
        p.drawLine(at - QPointF(8, 0), at + QPointF(8, 0));
        p.drawLine(at - QPointF(0, 8), at + QPointF(0, 8));
        p.drawText(at + QPointF(plan.x() > 0 ? -90 : 10, plan.y() > 0 ? 22 : -10),
                   QStringLiteral("%1; %2").arg(plan.x()).arg(plan.y()));
    }
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    ui::MessageRecorder messages; // nothing modal while taking pictures

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bdKelmo.db"));
    db::createDatabaseFile(path, false);
    const QString connection =
        QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + path;
    db::Connection c(connection);
    const int plan = db::createPlan(c, QStringLiteral("Склад ВВ"));
    db::importStructures(c, plan, siteFile(c));

    {
        plan::PlanSession session;
        session.planNumber = plan;
        session.structureNumber = 1;
        plan::PlanEditorWindow window(WindowContext::forDatabase(connection), session);
        window.resize(1366, 768);
        window.show();
        window.showPlanAreas();
        window.findChild<QLineEdit*>(QStringLiteral("Text15"))->setText(QStringLiteral("0"));
        window.findChild<QLineEdit*>(QStringLiteral("Text16"))->setText(QStringLiteral("15"));
        window.nextStructure();
        QApplication::processEvents();
        window.planMap()->fitToPlan();
        save(&window, folder, QStringLiteral("plan-window-map"));
    }

    ChargeInput charge;
    charge.chargeMassKg = 1000;
    charge.placement = Placement::Ground;
    const SituationPlan situationPlan = loadSituationPlan(c, QStringLiteral("Склад ВВ"));
    const ProbitPercentTable table = ProbitPercentTable::load(c);
    const SituationResult result =
        evaluateSituation(charge, PlanPoint{0, 15}, situationPlan.structures,
                          [&table](float probit) { return table.percent(probit); });

    map::PlanMapPage page;
    page.resize(1200, 800);
    page.setPictureStore(std::make_shared<db::DatabasePictureStore>(connection), plan);
    page.setSituation(situationPlan.name, result, charge);
    page.show();
    page.view()->fitToPlan();
    save(&page, folder, QStringLiteral("situation-map"));

    const map::Calibration calibration{
        {QPointF(40, 660), QPointF(-200, -160)}, {QPointF(840, 20), QPointF(200, 160)}, false};
    page.setBackgroundPicture(sitePicture(), calibration);
    page.setBackgroundLook(true, 0.8);
    page.view()->fitToPlan();
    save(&page, folder, QStringLiteral("situation-map-background"));

    // The Word report's picture and a PDF sheet, as the report and the export make them.
    page.reportPicture().save(QDir(folder).filePath(QStringLiteral("report-map.png")));
    page.exportTo(QDir(folder).filePath(QStringLiteral("map.pdf")), map::PlanMapPage::Format::Pdf);
    return 0;
}
