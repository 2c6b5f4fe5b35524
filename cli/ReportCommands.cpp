#include "cli/ReportCommands.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "core/SafeFile.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/PointCalculation.h"
#include "engine/ZoneRun.h"
#include "reports/ChargeText.h"
#include "reports/ExpertReport.h"
#include "session/ZoneSession.h"

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
    BylineOptions byline;
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

    // For the Word reports only.
    void addBylineOptions() { byline.addTo(parser); }

    // False when only the help was asked for.
    bool parse(const QStringList& arguments) {
        parseOrThrow(parser, arguments);
        if (parser.isSet("help")) {
            writeOut(commandHelp(parser, command));
            return false;
        }
        if (!parser.isSet(output)) {
            throw UsageError(
                QStringLiteral("--%1: укажите файл для записи.").arg(output.names()[0]));
        }
        // A path no file can be written to is refused before the long work; the writer
        // checks again when it writes.
        writeTarget(outputPath());
        return true;
    }

    QString outputPath() const { return QFileInfo(parser.value(output)).absoluteFilePath(); }

    // The run in a new session, as "РАСЧЕТ" makes it.
    std::unique_ptr<zone::Session> run() const {
        const ChargeInput input = zone.chargeInput(parser);
        auto session = std::make_unique<zone::Session>();
        session->loadParameters();
        session->state().step = zone.step(parser);
        session->run(input, description(input));
        return session;
    }

    // The charge as the results window would describe it; numbers as they were typed.
    reports::ChargeDescription description(const ChargeInput& input) const {
        return zone.description(parser, input,
                                parser.isSet(name) ? parser.value(name) : QStringLiteral("Тротил"));
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
    cmd.addBylineOptions();
    if (!cmd.parse(arguments)) {
        return kExitOk;
    }
    const auto session = cmd.run();
    session->fullReport(session->reportCharts(), QLocale(), {}, cmd.byline.byline(cmd.parser))
        .save(cmd.outputPath());
    printResult(cmd.outputPath(), session->state().pointCount);
    return kExitOk;
}

int runExpertCommand(const QStringList& arguments) {
    Command cmd(
        QStringLiteral("expert"),
        QStringLiteral("Частный отчет для эксперта по расчету на заданном удалении (.docx)."),
        "docx", QStringLiteral("Файл отчета .docx (обязательно)."));
    const QCommandLineOption at("at", "Расстояние от эпицентра, м (обязательно).", "M");
    DatabaseOptions database;
    const QCommandLineOption templ(
        "template", "Шаблон отчета (по умолчанию otchet.docx среди файлов программы).", "PATH");
    cmd.parser.addOption(at);
    database.addTo(cmd.parser);
    cmd.parser.addOption(templ);
    cmd.addBylineOptions();
    if (!cmd.parse(arguments)) {
        return kExitOk;
    }
    if (!cmd.parser.isSet(at)) {
        throw UsageError(QStringLiteral("--at: укажите расстояние от эпицентра, м."));
    }
    const double distance = optionNumber(cmd.parser, "at");
    const QString connection = database.connectionString(cmd.parser);

    const auto session = cmd.run();
    session->calculatePoint(distance, cmd.parser.value(at), probitsToPercentLookup(connection));
    const QString templatePath = cmd.parser.isSet(templ)
                                     ? QFileInfo(cmd.parser.value(templ)).absoluteFilePath()
                                     : sharedFile(QLatin1String(reports::kExpertTemplateName));
    docx::writeFile(cmd.outputPath(),
                    session->expertReport(templatePath, QLocale(), cmd.byline.byline(cmd.parser)));
    printResult(cmd.outputPath(), session->state().pointCount);
    return kExitOk;
}

int runTableCommand(const QStringList& arguments) {
    Command cmd(QStringLiteral("table"),
                QStringLiteral("Таблица расстояний и давлений в книге Excel (.xlsx)."), "xlsx",
                QStringLiteral("Файл книги .xlsx (обязательно)."));
    if (!cmd.parse(arguments)) {
        return kExitOk;
    }
    const auto session = cmd.run();
    session->writeTable(cmd.outputPath());
    printResult(cmd.outputPath(), session->state().pointCount);
    return kExitOk;
}

} // namespace kelmo::cli
