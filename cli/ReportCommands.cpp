#include "cli/ReportCommands.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/PointCalculation.h"
#include "engine/ZoneRun.h"
#include "reports/ChargeText.h"
#include "reports/ExcelExport.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "reports/ReportHandover.h"

#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace kelmo::cli {

namespace {

struct Command {
    QCommandLineParser parser;
    ZoneOptions zone;
    QCommandLineOption output;
    QCommandLineOption name{"name", "Наименование КВВ для отчета (по умолчанию «Тротил»).",
                            "ТЕКСТ"};

    QString command;

    Command(const QString& commandName, const QString& description, const QString& outputOption,
            const QString& outputHelp)
        : output(outputOption, outputHelp, "ФАЙЛ")
        , command(commandName) {
        parser.setApplicationDescription(description);
        addHelpOption(parser);
        zone.addTo(parser);
        parser.addOption(output);
        parser.addOption(name);
    }

    // False when only the help was asked for.
    bool parse(const QStringList& arguments) {
        parseOrThrow(parser, arguments);
        if (parser.isSet("help")) {
            writeOut(commandHelp(parser, command));
            return false;
        }
        if (!parser.isSet(output))
            throw UsageError(
                QStringLiteral("--%1: укажите файл для записи.").arg(output.names()[0]));
        return true;
    }

    QString outputPath() const { return QFileInfo(parser.value(output)).absoluteFilePath(); }

    std::unique_ptr<CalcState> run(ChargeInput& input) const {
        input = zone.chargeInput(parser);
        auto state = std::make_unique<CalcState>();
        state->setParameters(CalcParameters::loadValues());
        state->gStep = zone.step(parser);
        RunZoneCalculation(*state, input);
        return state;
    }

    // The charge as the results window would describe it; numbers as they were typed.
    reports::ReportCharge charge(const ChargeInput& input) const {
        reports::ChargeFields f;
        f.name = parser.isSet(name) ? parser.value(name) : QStringLiteral("Тротил");
        f.massText = parser.value("mass");
        f.heatUnit = input.heatUnit;
        if (input.heatUnit == HeatUnit::PerMole) {
            f.heatText = parser.value("heat-mol");
            f.secondHeatText = parser.value("molar-mass");
        } else {
            f.heatText = parser.isSet("heat") ? parser.value("heat") : QStringLiteral("4520");
        }
        f.placement = input.placement;
        return reports::describeCharge(f);
    }
};

void printResult(const QString& path, int rows) {
    JsonWriter json;
    json.beginObject();
    json.string("file", path);
    json.integer("rows", rows);
    json.endObject();
    writeOut(json.text() + '\n');
}

} // namespace

int runReportCommand(const QStringList& arguments) {
    Command cmd(QStringLiteral("report"),
                QStringLiteral("Полный отчет о результатах расчета в документе Word (.docx)."),
                "docx", QStringLiteral("Файл отчета .docx (обязательно)."));
    if (!cmd.parse(arguments))
        return kExitOk;
    ChargeInput input;
    const auto state = cmd.run(input);
    const auto doc =
        reports::buildFullReport(*state, cmd.charge(input), reports::renderReportCharts(*state));
    doc.save(cmd.outputPath());
    printResult(cmd.outputPath(), state->gPointCount);
    return kExitOk;
}

int runExpertCommand(const QStringList& arguments) {
    Command cmd(
        QStringLiteral("expert"),
        QStringLiteral("Частный отчет для эксперта по расчету на заданном удалении (.docx)."),
        "docx", QStringLiteral("Файл отчета .docx (обязательно)."));
    const QCommandLineOption at("at", "Расстояние от эпицентра, м (обязательно).", "М");
    const QCommandLineOption dbOption(
        "db", "Файл базы данных (по умолчанию bdKelmo.db в папке программы).", "ПУТЬ");
    const QCommandLineOption templ(
        "template", "Шаблон отчета (по умолчанию otchet.docx в папке программы).", "ПУТЬ");
    cmd.parser.addOption(at);
    cmd.parser.addOption(dbOption);
    cmd.parser.addOption(templ);
    if (!cmd.parse(arguments))
        return kExitOk;
    if (!cmd.parser.isSet(at))
        throw UsageError(QStringLiteral("--at: укажите расстояние от эпицентра, м."));
    const double distance = optionNumber(cmd.parser, "at");
    const QString dbPath = cmd.parser.isSet(dbOption)
                               ? QFileInfo(cmd.parser.value(dbOption)).absoluteFilePath()
                               : programFile(QLatin1String(db::kDatabaseFileName));
    gConnectionString = QStringLiteral("Data Source=%1;Initial Catalog=%2")
                            .arg(QLatin1String(db::kStandardDataSource), dbPath);

    ChargeInput input;
    const auto state = cmd.run(input);
    const PointResult r = CalculatePoint(*state, {distance, input.placement, input.bodyMassKg});

    reports::ExpertInput in;
    in.distanceText = cmd.parser.value(at);
    in.bodyMassText =
        cmd.parser.isSet("body-mass") ? cmd.parser.value("body-mass") : QStringLiteral("70");
    in.placement = input.placement;
    in.massTNT = state->gMassTNT;
    in.point = r;
    in.percentHeavyText = numtext::fixed(r.percentHeavy, 1);
    in.percentTotalText = numtext::fixed(r.percentTotal, 1);
    in.percentPeopleText = numtext::fixed(r.percentPeople, 1);
    const QString templatePath = cmd.parser.isSet(templ)
                                     ? QFileInfo(cmd.parser.value(templ)).absoluteFilePath()
                                     : programFile(QLatin1String(reports::kExpertTemplateName));
    docx::writeFile(cmd.outputPath(), reports::buildExpertReport(templatePath, in));
    printResult(cmd.outputPath(), state->gPointCount);
    return kExitOk;
}

int runTableCommand(const QStringList& arguments) {
    Command cmd(QStringLiteral("table"),
                QStringLiteral("Таблица расстояний и давлений в книге Excel (.xlsx)."), "xlsx",
                QStringLiteral("Файл книги .xlsx (обязательно)."));
    if (!cmd.parse(arguments))
        return kExitOk;
    ChargeInput input;
    const auto state = cmd.run(input);
    reports::writeProfileWorkbook(*state, cmd.outputPath());
    printResult(cmd.outputPath(), state->gPointCount);
    return kExitOk;
}

} // namespace kelmo::cli
