// The plan map: 1,000 structures with their zones drawn into a 1920 × 1080 image (goal 50 ms),
// a repaint of the map view at that size (16 ms) and the 300 dpi A4 picture (0.5 s).

#include "map/PlanMapRender.h"
#include "windows/map/PlanMapView.h"

#include <QApplication>
#include <QImage>
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

void BM_MapPictureA4At300dpi(benchmark::State& state) {
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
