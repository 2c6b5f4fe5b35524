// Speed of the reports: the full Word report of a 32,767-row profile and the Excel table of
// 50,000 rows, with python-docx and openpyxl writing the same tables for comparison.
#include "charts/ChartPicture.h"
#include "core/ProfileText.h"
#include "engine/ZoneRun.h"
#include "reports/Docx.h"
#include "reports/ExcelExport.h"
#include "reports/FullReport.h"
#include "tests/support/Runs.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include <sys/resource.h>

using namespace kelmo;

namespace {

// A run of the worked charge with a step fine enough to fill the rows asked for.
std::unique_ptr<CalcState> profileOf(int rows) {
    // A step a little coarse, so the run never hits the row limit.
    auto s = test::stateAfterRun(1000, 330.0 / rows);
    // Top up to the exact count with rows further out.
    for (int i = s->pointCount + 1; i <= rows; ++i) {
        s->profile.row(i) = s->profile.row(i - 1);
        s->profile.row(i).r += s->step;
    }
    s->pointCount = rows;
    return s;
}

const reports::ChargeDescription kCharge{
    "Тротил", "1000", "Энергия взрыва, кДж/кг:", "4520", "в воздухе", "70"};

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

void fullReport(const CalcState& s) {
    const auto doc = reports::buildFullReport(s, kCharge, charts::renderReportCharts(s));
    doc.save(scratch().filePath("full.docx"));
}

// The numeric table alone, as the python-docx comparison writes it.
void tableOnly(const CalcState& s) {
    docx::Document d;
    auto& t = d.addTable(s.pointCount, 5);
    for (int i = 1; i <= s.pointCount; ++i) {
        const QStringList cells = profile::rowTexts(s, i);
        for (int c = 0; c < 5; ++c) {
            t.cell(i - 1, c) = cells[c];
        }
    }
    d.save(scratch().filePath("table.docx"));
}

void BM_FullReport32767(benchmark::State& state) {
    state.counters["goal_ms"] = 2000; // processor time
    const auto s = profileOf(32767);
    for (auto _ : state) {
        fullReport(*s);
    }
    state.counters["rows"] = s->pointCount;
}
BENCHMARK(BM_FullReport32767)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Workbook50000(benchmark::State& state) {
    state.counters["goal_ms"] = 500; // processor time
    const auto s = profileOf(50000);
    for (auto _ : state) {
        reports::writeProfileWorkbook(*s, scratch().filePath("t.xlsx"));
    }
    state.counters["rows"] = s->pointCount;
}
BENCHMARK(BM_Workbook50000)->Unit(benchmark::kMillisecond)->Iterations(5);

// Processor time, user and system, of this process or of the child processes waited for.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
double ownCpuSeconds() {
    return cpuSeconds(RUSAGE_SELF);
}
double childCpuSeconds() {
    return cpuSeconds(RUSAGE_CHILDREN);
}

// The least processor time of this process over a few calls.
template <typename F> double bestSeconds(F f, int times = 3) {
    double best = 1e9;
    for (int i = 0; i < times; ++i) {
        const double before = ownCpuSeconds();
        f();
        best = std::min(best, ownCpuSeconds() - before);
    }
    return best;
}

// The processor time of the Python writer run to its end, interpreter start included; -1 when
// it failed.
double pythonSeconds(const char* kind, int rows) {
    const double before = childCpuSeconds();
    QProcess p;
    p.start(KELMO_PYTHON, {KELMO_BENCH_DIR "/python_writers.py", kind, QString::number(rows),
                           scratch().filePath(QString("py.") + kind)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        return -1;
    }
    return childCpuSeconds() - before;
}

// A line of the benchmark table that make bench prints: figure, value, goal and whether lower
// or higher is better.
void goalLine(const char* figure, double value, double goal, const char* unit, bool higherBetter) {
    std::printf("GOAL\t%s\t%.4g\t%.4g\t%s\t%s\n", figure, value, goal, unit,
                higherBetter ? "higher" : "lower");
}

void comparisons() {
    // python-docx grows quadratically with the rows of one table (32,767 rows take hours),
    // so the comparison is made on a table both can write in a few seconds.
    constexpr int kDocxRows = 500;
    const auto small = profileOf(kDocxRows);
    const auto big = profileOf(32767);
    const auto wide = profileOf(50000);

    // Processor time throughout, steadier than the clock on a shared machine; the Python
    // figures include starting the interpreter.
    const double report = bestSeconds([&] { fullReport(*big); });
    const double ourTable = bestSeconds([&] { tableOnly(*small); });
    const double pyDocx = pythonSeconds("docx", kDocxRows);
    const double book =
        bestSeconds([&] { reports::writeProfileWorkbook(*wide, scratch().filePath("w.xlsx")); });
    const double pyXlsx = pythonSeconds("xlsx", 50000);
    const double pyXlsxNormal = pythonSeconds("xlsx-normal", 50000);

    // The report as a reader opens it: LibreOffice lays out the 32,767 rows and writes a PDF.
    fullReport(*big);
    const double cpuBefore = childCpuSeconds();
    QProcess office;
    office.setWorkingDirectory(scratch().path());
    office.start("soffice",
                 {"--headless", "-env:UserInstallation=file://" + scratch().filePath("lo"),
                  "--convert-to", "pdf", "full.docx"});
    const bool converted = office.waitForFinished(-1) && office.exitCode() == 0;
    const double officeCpu = childCpuSeconds() - cpuBefore;

    std::printf("\nReports against the Python writers (processor time, best of 3):\n");
    std::printf("  full report of %d rows to PDF by LibreOffice: %s%.1f s (goal <= 60 s)\n",
                big->pointCount, converted ? "" : "FAILED ", officeCpu);
    std::printf("  full report, %d rows, charts included: %.3f s (goal < 2 s)\n", big->pointCount,
                report);
    std::printf(
        "  numeric table of %d rows: ours %.4f s, python-docx %.3f s, ratio %.0fx (goal >= 10x)\n",
        small->pointCount, ourTable, pyDocx, pyDocx / ourTable);
    std::printf("  workbook of %d rows: ours %.3f s (goal < 0.5 s), openpyxl (write-only) %.3f s, "
                "ratio %.1fx (goal >= 5x)\n",
                wide->pointCount, book, pyXlsx, pyXlsx / book);
    std::printf("  openpyxl with an ordinary workbook: %.3f s, ratio %.1fx\n", pyXlsxNormal,
                pyXlsxNormal / book);

    goalLine("report 32,767 rows to PDF by LibreOffice", converted ? officeCpu * 1000 : 1e12, 60000,
             "ms", false);
    goalLine("full report 32,767 rows with charts", report * 1000, 2000, "ms", false);
    goalLine("numeric table 500 rows, python-docx / ours", pyDocx / ourTable, 10, "x", true);
    goalLine("workbook 50,000 rows", book * 1000, 500, "ms", false);
    goalLine("workbook 50,000 rows, openpyxl / ours", pyXlsx / book, 5, "x", true);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    comparisons();
    return 0;
}
