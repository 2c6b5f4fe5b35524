// Speed of the results presentation: "РАСЧЕТ" until the results window is filled and shown
// (run, grid model, five charts, labels). Goal: under 0.3 s for a 50,000-row run.

#include "chartviews/ChartViews.h"
#include "engine/ZoneRun.h"
#include "session/ZoneSession.h"
#include "shell/Navigator.h"
#include "ui/Messages.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace kelmo;

namespace {

// Worked charge in the air; the 50,000-row case is 3000 kg walked in steps of 9.37 mm
// (49,955 rows).
void pressCalculate(benchmark::State& bench, double massKg, double step) {
    shell::Navigator navigator;
    navigator.setReferenceLookups({}); // no database: the catalogue is not timed
    ui::Messages::setInterceptor([](const ui::Message&) { return QMessageBox::Ok; });
    CalcState* state = &navigator.zoneSession().state();

    auto* input = navigator.showZoneInput();
    input->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QString::number(massKg));
    input->findChild<QRadioButton*>(QStringLiteral("Option5"))->setChecked(true);
    state->step = step;

    for (auto _ : bench) {
        if (!input->runCalculation()) {
            bench.SkipWithError("the run failed");
            break;
        }
        QApplication::processEvents(); // layout and first paint of the shown page
        bench.PauseTiming();
        input->show();
        QApplication::processEvents();
        bench.ResumeTiming();
    }
    bench.counters["rows"] = state->pointCount;
}

void WorkedRunToResults(benchmark::State& bench) {
    pressCalculate(bench, 1000, 1);
}
void FiftyThousandRowsToResults(benchmark::State& bench) {
    bench.counters["goal_ms"] = 300; // processor time
    pressCalculate(bench, 3000, 0.0093615);
}

// The presentation alone on a finished 50,000-row run.
void PresentFiftyThousandRows(benchmark::State& bench) {
    zone::Session session;
    session.loadParameters();
    session.state().step = 0.0093615;
    ChargeInput charge;
    charge.chargeMassKg = 3000;
    charge.placement = Placement::Air;
    session.run(charge, {});
    zone::ZoneResultsWindow out(WindowContext{}, session);
    for (auto _ : bench) {
        out.present();
    }
    bench.counters["rows"] = session.state().pointCount;
}

// Drawing the kPa chart of 50,000 points, as when its page is opened or a report asks for it.
void RenderChartFiftyThousandRows(benchmark::State& bench) {
    zone::Session session;
    session.loadParameters();
    session.state().step = 0.0093615;
    ChargeInput charge;
    charge.chargeMassKg = 3000;
    charge.placement = Placement::Air;
    session.run(charge, {});
    const CalcState* state = &session.state();
    for (auto _ : bench) {
        benchmark::DoNotOptimize(
            charts::renderChart(charts::ZoneChart::PressureKPa, *state, QSize(1200, 600)));
    }
    bench.counters["rows"] = state->pointCount;
}

} // namespace

BENCHMARK(WorkedRunToResults)->Unit(benchmark::kMillisecond);
BENCHMARK(FiftyThousandRowsToResults)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(PresentFiftyThousandRows)->Unit(benchmark::kMillisecond);
BENCHMARK(RenderChartFiftyThousandRows)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // The offscreen platform warns about every raise(); keep the table readable.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg && type != QtWarningMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        }
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
