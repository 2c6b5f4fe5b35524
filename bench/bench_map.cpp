// The plan map: 1,000 structures with their zones drawn into a 1920 × 1080 image (goal 50 ms),
// a repaint of the map view at that size (16 ms) and the 300 dpi A4 picture (0.5 s). The
// editor's map at 10,000 structures: a repaint, and one step of a vertex drag with the repaint
// it causes (16 ms each, processor time).

#include "map/PlanMapRender.h"
#include "windows/map/PlanMapView.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace kelmo;

// 1,000 structures scattered over 1.2 km around a 5 t charge, as a large works site.
const map::PlanMapModel& bigPlan() {
    static const map::PlanMapModel model = [] {
        std::mt19937 random(12);
        std::uniform_real_distribution<double> place(-600, 600);
        std::uniform_real_distribution<double> size(6, 30);
        std::vector<StructureRecord> structures;
        for (int i = 1; i <= 1000; ++i) {
            StructureRecord r;
            r.number = i;
            r.type = "Производственные здания";
            r.kind = "Кирпичные";
            const double x = place(random);
            const double y = place(random);
            const double w = size(random);
            const double h = size(random);
            r.outline = {PlanPoint{x, y}, PlanPoint{x + w, y}, PlanPoint{x + w, y + h},
                         PlanPoint{x, y + h}};
            r.thresholds = {10, 20, 30, 50};
            structures.push_back(r);
        }
        ChargeInput charge;
        charge.chargeMassKg = 5000;
        const SituationResult result =
            evaluateSituation(charge, PlanPoint{0, 0}, structures, [](float) { return 50.0; });
        return map::mapOfSituation(result, charge);
    }();
    return model;
}

void BM_MapImage1920x1080(benchmark::State& state) {
    state.counters["goal_ms"] = 50; // processor time
    const map::PlanMapModel& model = bigPlan();
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter p(&image);
        map::renderPlanMap(p, model, QRectF(0, 0, 1920, 1080), {});
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_MapImage1920x1080)->Unit(benchmark::kMillisecond);

// One paint of the view as the wheel zooms: the fitted plan, then zoomed in four times.
void BM_MapViewRepaint(benchmark::State& state) {
    state.counters["goal_ms"] = 16; // processor time
    map::PlanMapView view;
    view.resize(1920, 1080);
    view.setModel(bigPlan(), true);
    view.show();
    QApplication::processEvents();
    view.fitToPlan();
    const double zoom = std::pow(1.2, static_cast<double>(state.range(0)));
    view.scale(zoom, zoom);
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.viewport()->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_MapViewRepaint)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond);

// 10,000 buildings of 12 × 8 m in a grid of 100 × 100 at 20 m, as the editor draws a plan
// (no zones), the middle one current.
map::PlanMapModel editorPlan() {
    map::PlanMapModel model;
    int number = 0;
    for (int row = 0; row < 100; ++row) {
        for (int column = 0; column < 100; ++column) {
            map::MapStructure s;
            s.number = ++number;
            s.type = QStringLiteral("Производственные здания");
            s.kind = QStringLiteral("Кирпичные");
            const double x = column * 20.0;
            const double y = row * 20.0;
            s.outline << QPointF(x, y) << QPointF(x + 12, y) << QPointF(x + 12, y + 8)
                      << QPointF(x, y + 8);
            model.structures.push_back(s);
        }
    }
    model.charge = QPointF(1000, 1000);
    return model;
}

constexpr int kMiddle = 50 * 100 + 51; // the structure at (1000, 1000)

void showEditor(map::PlanMapView& view, int zoomSteps) {
    view.resize(1920, 1080);
    view.setEditable(true);
    view.setModel(editorPlan(), true);
    view.show();
    QApplication::processEvents();
    view.fitToPlan();
    const double zoom = std::pow(1.2, zoomSteps);
    view.scale(zoom, zoom);
    view.centerOn(1006, 1004);
    view.setSelected(kMiddle);
}

// The whole plan in view (Arg 0) and zoomed in eight steps (Arg 8).
void BM_EditorRepaint10k(benchmark::State& state) {
    state.counters["goal_ms"] = 16; // processor time
    map::PlanMapView view;
    showEditor(view, static_cast<int>(state.range(0)));
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.viewport()->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_EditorRepaint10k)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);

// One mouse move of a vertex drag: the snapping, the outline moved and the repaint.
void BM_EditorVertexDragStep10k(benchmark::State& state) {
    state.counters["goal_ms"] = 16; // processor time
    map::PlanMapView view;
    showEditor(view, static_cast<int>(state.range(0)));
    QWidget* port = view.viewport();
    const QPointF corner(1012, 1008);
    const QPointF grab = view.mapFromScene(corner);
    QMouseEvent press(QEvent::MouseButtonPress, grab, port->mapToGlobal(grab), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port, &press);
    QImage image(port->size(), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        const QPointF to = grab + QPointF(10 + step % 40, 5 + step % 30);
        ++step;
        QMouseEvent move(QEvent::MouseMove, to, port->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(port, &move);
        port->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    QMouseEvent release(QEvent::MouseButtonRelease, grab, port->mapToGlobal(grab), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    view.cancelEditing();
    QApplication::sendEvent(port, &release);
}
BENCHMARK(BM_EditorVertexDragStep10k)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_MapPictureA4At300dpi(benchmark::State& state) {
    state.counters["goal_ms"] = 500; // processor time
    const map::PlanMapModel& model = bigPlan();
    for (auto _ : state) {
        const QImage picture = map::mapPicture(model, {}, QSizeF(297, 210), 300);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_MapPictureA4At300dpi)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
