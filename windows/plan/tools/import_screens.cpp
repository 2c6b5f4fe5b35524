// Screenshots of "Импорт генплана…": the dialog over a small general plan in longitude and
// latitude (a GeoJSON written here), and the plan editor after the import.
// Usage: kelmo-import-screens <folder>.

#include "data/SitePlan.h"
#include "ui/Screenshot.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/PlanImportDialog.h"
#include "windows/plan/tools/ScratchDatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>

using namespace kelmo;

namespace {

void save(QWidget* w, const QString& folder, const QString& name) {
    ui::saveScreenshot(w, folder, name);
}

struct Building {
    int number;
    const char* kind;
    int staff;
    int storeys;
    QList<QPointF> metres; // east and north of the site's corner
};

// A site near 55.75° N, 37.6° E: metres become degrees on the sphere, as near enough here.
QString lonLat(QPointF m) {
    const double lat0 = 55.75;
    const double lon0 = 37.60;
    const double perDegreeLat = 111320.0;
    const double perDegreeLon = perDegreeLat * std::cos(lat0 * M_PI / 180);
    return QStringLiteral("[%1, %2]")
        .arg(lon0 + m.x() / perDegreeLon, 0, 'f', 8)
        .arg(lat0 + m.y() / perDegreeLat, 0, 'f', 8);
}

QByteArray generalPlan() {
    const QList<Building> buildings = {
        {1, "Складские кирпичные здания", 12, 1, {{0, 0}, {60, 0}, {60, 25}, {0, 25}}},
        {2,
         "Массивные промышленные здания с металлическим каркасом и крановым оборудованием "
         "грузоподъемностью 25–50 т",
         85,
         2,
         {{90, 0}, {170, 0}, {170, 30}, {125, 30}, {125, 70}, {90, 70}}},
        {3,
         "Кирпичные многоэтажные жилые здания",
         40,
         5,
         {{0, 60}, {35, 60}, {50, 80}, {35, 100}, {0, 100}}},
        {4, "Резервуары и трубопроводы стальные наземные", 0, 1, {}},
        {5, "Деревянные дома", 3, 1, {{-50, 20}, {-30, 20}, {-40, 35}}},
    };
    QStringList features;
    for (const Building& b : buildings) {
        QList<QPointF> ring = b.metres;
        if (ring.isEmpty()) { // a round tank of 24 m drawn with 12 vertices
            for (int i = 0; i < 12; ++i) {
                ring << QPointF(-40 + 12 * std::cos(i * M_PI / 6),
                                80 + 12 * std::sin(i * M_PI / 6));
            }
        }
        QStringList points;
        for (const QPointF& p : ring + QList<QPointF>{ring.first()}) {
            points << lonLat(p);
        }
        features << QStringLiteral(
                        "{\"type\":\"Feature\",\"properties\":{\"номер\":%1,\"вид\":\"%2\","
                        "\"сотрудники\":%3,\"этажность\":%4},\"geometry\":{\"type\":\"Polygon\","
                        "\"coordinates\":[[%5]]}}")
                        .arg(b.number)
                        .arg(QString::fromUtf8(b.kind))
                        .arg(b.staff)
                        .arg(b.storeys)
                        .arg(points.join(QStringLiteral(",")));
    }
    features << QStringLiteral("{\"type\":\"Feature\",\"properties\":{\"номер\":null},"
                               "\"geometry\":{\"type\":\"LineString\",\"coordinates\":[%1,%2]}}")
                    .arg(lonLat({-60, -15}), lonLat({180, -15}));
    features << QStringLiteral("{\"type\":\"Feature\",\"properties\":{\"номер\":null},"
                               "\"geometry\":{\"type\":\"Point\",\"coordinates\":%1}}")
                    .arg(lonLat({70, 40}));
    return QStringLiteral("{\"type\":\"FeatureCollection\",\"features\":[%1]}")
        .arg(features.join(QStringLiteral(",\n")))
        .toUtf8();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tools::reportMessagesOnStderr();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    QTemporaryDir temp;
    const QString connection = tools::scratchDatabase(temp);
    if (connection.isEmpty()) {
        return 1;
    }
    plan::PlanSession session;
    try {
        db::Connection c(connection);
        session.planNumber = db::createPlan(c, QStringLiteral("Склад ВВ №3"));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const QString file = temp.filePath(QStringLiteral("генплан.geojson"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(generalPlan()) < 0) {
            std::fprintf(stderr, "the general plan cannot be written\n");
            return 1;
        }
    }

    plan::PlanEditorWindow editor(WindowContext::forDatabase(connection), session);
    editor.resize(1340, 700);
    editor.show();
    editor.showPlanAreas();

    plan::PlanImportDialog dialog(connection, session.planNumber, &editor);
    dialog.show();
    if (!dialog.openFile(file)) {
        return 1;
    }
    save(&dialog, folder, QStringLiteral("plan-import"));
    dialog.accept();
    editor.planImported();
    // The store of explosives on the site, south of the buildings.
    editor.findChild<QLineEdit*>(QStringLiteral("Text15"))->setText(QStringLiteral("412170"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text16"))->setText(QStringLiteral("6179120"));
    editor.planMap()->fitToPlan();
    save(&editor, folder, QStringLiteral("plan-imported"));
    return 0;
}
