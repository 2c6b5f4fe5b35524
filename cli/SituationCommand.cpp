#include "cli/SituationCommand.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "core/NumberText.h"
#include "core/SafeFile.h"
#include "data/Database.h"
#include "data/PlanPicture.h"
#include "data/Scenarios.h"
#include "data/SitePlan.h"
#include "data/SituationPlan.h"
#include "gis/GisExport.h"
#include "map/MapExport.h"
#include "map/PictureRecord.h"
#include "map/PlanMapRender.h"
#include "session/ScenarioSituation.h"
#include "session/SituationSession.h"

#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <optional>

namespace kelmo::cli {

namespace {

void writeTotals(JsonWriter& json, const SituationTotals& totals) {
    json.key("totals");
    json.beginObject();
    json.beginArray("byDegree");
    for (const int count : totals.byDegree) {
        json.number(count);
    }
    json.endArray();
    json.integer("staff", totals.staff);
    json.number("injured", totals.injured);
    json.integer("refused", totals.refused);
    json.endObject();
}

} // namespace

QByteArray situationJson(const SituationPlan& plan, const SituationResult& result,
                         const situation::AllScenarios* all) {
    JsonWriter json;
    json.beginObject();
    json.string("plan", plan.name);
    json.number("massTNT", result.massTNT);
    if (!all) {
        json.number("x", result.chargePoint.x);
        json.number("y", result.chargePoint.y);
    }
    json.beginArray("structures");
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        const SituationRow& row = result.rows[r];
        const StructureRecord& s = row.structure;
        json.beginObject();
        json.integer("number", s.number);
        if (all) {
            json.string("scenario", all->sourceOf(r));
        }
        json.string("type", QString::fromStdString(s.type));
        json.string("kind", QString::fromStdString(s.kind));
        json.integer("staff", s.staff);
        if (s.staffUnreadable) {
            json.string("warning", QStringLiteral("число сотрудников не является целым числом "
                                                  "не меньше 0; принято 0"));
        }
        if (!row.impact) {
            json.string("skipped", QString::fromStdString(row.refusal));
            json.endObject();
            continue;
        }
        const StructureImpact& impact = *row.impact;
        json.number("distance", impact.distance);
        json.number("evaluatedAt", impact.evaluatedAt);
        json.number("deltaPkPa", impact.deltaPkPa);
        json.number("impulse", impact.impulse);
        json.key("probitHeavy");
        json.singleNumber(impact.probitHeavy);
        json.number("percentHeavy", impact.percentHeavy);
        json.key("probitTotal");
        json.singleNumber(impact.probitTotal);
        json.number("percentTotal", impact.percentTotal);
        json.key("probitPeople");
        json.singleNumber(impact.probitPeople);
        json.number("percentPeople", impact.percentPeople);
        if (impact.degree) {
            json.integer("degree", static_cast<int>(*impact.degree));
        } else {
            json.null("degree");
        }
        json.number("injured", impact.injured);
        json.endObject();
    }
    json.endArray();
    writeTotals(json, result.totals);
    if (all) {
        json.beginArray("scenarios");
        for (const situation::ScenarioOutcome& outcome : all->outcomes) {
            json.beginObject();
            json.string("name", outcome.scenario.name);
            json.number("massTNT", outcome.result.massTNT);
            json.number("x", outcome.result.chargePoint.x);
            json.number("y", outcome.result.chargePoint.y);
            writeTotals(json, outcome.result.totals);
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
    return json.text();
}

namespace {

void writeCsv(const SituationResult& result, const situation::AllScenarios* all = nullptr) {
    QByteArray out = "number,type,kind,staff,distance_m,evaluated_at_m,deltaP_kPa,impulse_Pa_s,"
                     "probit_heavy,percent_heavy,probit_total,percent_total,degree,injured,"
                     "probit_people,percent_people";
    out += all ? ",scenario\n" : "\n";
    const auto quoted = [](const std::string& text) {
        QByteArray field = QByteArray::fromStdString(text);
        field.replace('"', "\"\"");
        return '"' + field + '"';
    };
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        const SituationRow& row = result.rows[r];
        const StructureRecord& s = row.structure;
        out += QByteArray::number(s.number) + ',' + quoted(s.type) + ',' + quoted(s.kind) + ',' +
               QByteArray::number(s.staff);
        if (row.impact) {
            const StructureImpact& i = *row.impact;
            out += ',' + numtext::roundTrip(i.distance).toLatin1() + ',' +
                   numtext::roundTrip(i.evaluatedAt).toLatin1() + ',' +
                   numtext::roundTrip(i.deltaPkPa).toLatin1() + ',' +
                   numtext::roundTrip(i.impulse).toLatin1() + ',' +
                   numtext::roundTripSingle(i.probitHeavy).toLatin1() + ',' +
                   numtext::roundTrip(i.percentHeavy).toLatin1() + ',' +
                   numtext::roundTripSingle(i.probitTotal).toLatin1() + ',' +
                   numtext::roundTrip(i.percentTotal).toLatin1() + ',' +
                   (i.degree ? QByteArray::number(static_cast<int>(*i.degree)) : QByteArray()) +
                   ',' + numtext::roundTrip(i.injured).toLatin1() + ',' +
                   numtext::roundTripSingle(i.probitPeople).toLatin1() + ',' +
                   numtext::roundTrip(i.percentPeople).toLatin1();
        } else {
            out += ",,,,,,,,,,,,";
        }
        if (all) {
            out += ',' + quoted(all->sourceOf(r).toStdString());
        }
        out += '\n';
    }
    writeOut(out);
}

// The map of the situation with the zones of criterion а), over the plan's picture when it has
// one and the picture can be placed.
map::PlanMapModel situationMap(db::Connection& connection, const SituationPlan& plan,
                               map::PlanMapModel model) {
    model.planName = plan.name;
    if (const auto picture = db::readPlanPicture(connection, plan.number)) {
        try {
            model.background = map::backgroundOf(*picture);
        } catch (const map::CalibrationError& e) {
            const QByteArray note = QStringLiteral("Рисунок плана не показан: %1\n")
                                        .arg(QString::fromStdString(e.what()))
                                        .toUtf8();
            std::fputs(note.constData(), stderr);
        }
    }
    return model;
}

struct MapFiles {
    QString svg;
    QString geojson;
    QString gpkg;
    QString dxf;
};

// The map files of the situation: the drawing with its picture, and the plan with every zone
// for GIS (GeoJSON, GeoPackage) and CAD (DXF).
void writeMapFiles(const map::PlanMapModel& model, gis::PlanCrs crs, const MapFiles& files) {
    if (!files.svg.isEmpty()) {
        map::exportMapSvg(files.svg, model, map::MapOptions{}, QSize(1600, 1200));
    }
    if (!files.geojson.isEmpty()) {
        gis::exportGeoJson(files.geojson, model, crs);
    }
    if (!files.gpkg.isEmpty()) {
        gis::exportGeoPackage(files.gpkg, model, crs);
    }
    if (!files.dxf.isEmpty()) {
        gis::exportDxf(files.dxf, model);
    }
}

} // namespace

int runSituationCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Инженерная обстановка на плане местности: что заряд делает с каждым сооружением."));
    addHelpOption(parser);
    ZoneOptions zoneOptions;
    zoneOptions.addTo(parser, ZoneOptions::Step::Without);
    const QCommandLineOption planOption("plan", "Название плана местности (обязательно).", "NAME");
    const QCommandLineOption xOption("x", "Координата X места хранения ВВ, м (обязательно).", "X");
    const QCommandLineOption yOption("y", "Координата Y места хранения ВВ, м (обязательно).", "Y");
    DatabaseOptions database;
    const QCommandLineOption formatOption("format", "Формат вывода: json (по умолчанию) или csv.",
                                          "json|csv", "json");
    const QCommandLineOption svgOption("svg", "Записать карту плана с зонами поражения в файл SVG.",
                                       "ФАЙЛ");
    const QCommandLineOption geojsonOption(
        "geojson",
        "Записать план с зонами в файл GeoJSON (RFC 7946: долгота и широта WGS 84); план "
        "должен иметь систему координат.",
        "ФАЙЛ");
    const QCommandLineOption gpkgOption(
        "gpkg", "Записать план с зонами в GeoPackage для ГИС (в системе координат плана, м).",
        "ФАЙЛ");
    const QCommandLineOption dxfOption(
        "dxf", "Записать план с зонами в DXF для САПР (в метрах плана, слой на вид объектов).",
        "ФАЙЛ");
    const QCommandLineOption docxOption(
        "docx", "Записать также отчет об обстановке в документ Word (.docx).", "ФАЙЛ");
    const QCommandLineOption xlsxOption(
        "xlsx", "Записать также таблицу сооружений в книгу Excel (.xlsx).", "ФАЙЛ");
    const QCommandLineOption nameOption(
        "name", "Наименование КВВ для отчета (по умолчанию «Тротил»).", "ТЕКСТ");
    const QCommandLineOption scenarioOption(
        "scenario",
        "Заряд и место хранения из сценария плана с этим именем (вместо --mass, --x, …).", "NAME");
    const QCommandLineOption allScenariosOption(
        "all-scenarios",
        "Все сценарии плана: для каждого сооружения худший случай и его сценарий.");
    parser.addOptions({planOption, xOption, yOption, formatOption, docxOption, xlsxOption,
                       nameOption, svgOption, geojsonOption, gpkgOption, dxfOption, scenarioOption,
                       allScenariosOption});
    database.addTo(parser);
    BylineOptions bylineOptions;
    bylineOptions.addTo(parser);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("situation")));
        return kExitOk;
    }
    if (!parser.isSet(planOption) || parser.value(planOption).trimmed().isEmpty()) {
        throw UsageError(QStringLiteral("--plan: укажите название плана местности."));
    }
    const bool fromScenario = parser.isSet(scenarioOption);
    const bool allScenarios = parser.isSet(allScenariosOption);
    if (fromScenario && allScenarios) {
        throw UsageError(QStringLiteral("--scenario и --all-scenarios нельзя задавать вместе."));
    }
    if (fromScenario || allScenarios) {
        // The charge and the storage point are the scenario's own.
        for (const char* name :
             {"mass", "heat", "heat-mol", "molar-mass", "ground", "air", "body-mass", "x", "y"}) {
            if (parser.isSet(QLatin1String(name))) {
                throw UsageError(
                    QStringLiteral("--%1: заряд и место хранения берутся из "
                                   "сценария; не задавайте их вместе с --%2.")
                        .arg(QLatin1String(name), fromScenario ? QStringLiteral("scenario")
                                                               : QStringLiteral("all-scenarios")));
            }
        }
    }
    if (allScenarios) {
        // The report and the table hold the worst case as the window writes them; the map
        // files are written for one charge.
        for (const QCommandLineOption* option :
             {&svgOption, &geojsonOption, &gpkgOption, &dxfOption}) {
            if (parser.isSet(*option)) {
                throw UsageError(QStringLiteral("--%1: с --all-scenarios карта не записывается; "
                                                "запишите её для каждого сценария (--scenario).")
                                     .arg(option->names().constFirst()));
            }
        }
    }
    for (const QCommandLineOption* option : {&xOption, &yOption}) {
        if (fromScenario || allScenarios) {
            break;
        }
        if (!parser.isSet(*option)) {
            throw UsageError(QStringLiteral("--%1: укажите координату места хранения ВВ, м.")
                                 .arg(option->names().constFirst()));
        }
    }
    const QString format = parser.value(formatOption);
    if (format != QLatin1String("json") && format != QLatin1String("csv")) {
        throw UsageError(
            QStringLiteral("--format: ожидается json или csv, задано «%1».").arg(format));
    }
    // The files to write, refused before the calculation when no file can be written there.
    QString docxPath;
    QString xlsxPath;
    for (const auto& [option, path] :
         {std::pair{&docxOption, &docxPath}, {&xlsxOption, &xlsxPath}}) {
        if (!parser.isSet(*option)) {
            continue;
        }
        if (parser.value(*option).trimmed().isEmpty()) {
            throw UsageError(
                QStringLiteral("--%1: укажите файл для записи.").arg(option->names().constFirst()));
        }
        *path = QFileInfo(parser.value(*option)).absoluteFilePath();
        writeTarget(*path);
    }
    if (!docxPath.isEmpty() && docxPath == xlsxPath) {
        throw UsageError(QStringLiteral("--docx и --xlsx: укажите два разных файла."));
    }
    db::Connection connection(database.connectionString(parser));
    situation::Session session = situation::Session::open(connection, parser.value(planOption));
    if (allScenarios) {
        const situation::AllScenarios all = situation::evaluateScenarios(
            session, db::listScenarios(connection, session.plan().number), QLocale::c());
        if (!docxPath.isEmpty() || !xlsxPath.isEmpty()) {
            // As in the window: the rows name their scenarios, and the map draws every
            // scenario's circles around its storage point, the structures by the worst case.
            situation::showWorstCase(session, all);
            if (!docxPath.isEmpty()) {
                std::vector<map::ScenarioOnMap> scenarios;
                for (const situation::ScenarioOutcome& o : all.outcomes) {
                    scenarios.push_back({o.scenario.name, o.scenario.charge, &o.result});
                }
                const map::PlanMapModel model =
                    situationMap(connection, session.plan(), map::mapOfScenarios(scenarios));
                session
                    .report(map::reportMapPicture(model, map::Criterion::Heavy,
                                                  map::kReportMapMillimetres),
                            QLocale(), {}, bylineOptions.byline(parser))
                    .save(docxPath);
            }
            if (!xlsxPath.isEmpty()) {
                session.writeTable(xlsxPath);
            }
        }
        if (format == QLatin1String("csv")) {
            writeCsv(all.worst.situation, &all);
        } else {
            writeOut(situationJson(session.plan(), all.worst.situation, &all) + '\n');
        }
        return kExitOk;
    }
    std::optional<db::ScenarioRecord> scenario;
    if (fromScenario) {
        scenario =
            db::readScenario(connection, session.plan().number, parser.value(scenarioOption));
        if (!scenario) {
            throw situation::ScenarioNotFoundError(session.plan().name,
                                                   parser.value(scenarioOption));
        }
    }
    const ChargeInput charge = scenario ? scenario->charge : zoneOptions.chargeInput(parser);
    const situation::StoragePoint point =
        scenario ? situation::storagePointOf(*scenario, QLocale::c())
                 : situation::StoragePoint{{optionNumber(parser, QStringLiteral("x")),
                                            optionNumber(parser, QStringLiteral("y"))},
                                           parser.value(xOption),
                                           parser.value(yOption)};
    // GeoJSON holds longitude and latitude: a plan in local metres has none, and then nothing
    // at all is written.
    const gis::PlanCrs crs = db::planCrs(connection, session.plan().number);
    if (parser.isSet(geojsonOption) && !crs) {
        throw gis::GisExportError(gis::geoJsonNeedsCrsMessage(session.plan().name).toStdString());
    }
    reports::ChargeDescription description;
    if (scenario) {
        description = situation::descriptionOf(*scenario, QLocale::c());
        if (parser.isSet(nameOption)) {
            description.name = parser.value(nameOption);
        }
    } else {
        description = zoneOptions.description(parser, charge,
                                              parser.isSet(nameOption) ? parser.value(nameOption)
                                                                       : QStringLiteral("Тротил"));
    }
    const SituationResult& result = session.evaluate(charge, point, description);

    if (!docxPath.isEmpty() || parser.isSet(svgOption) || parser.isSet(geojsonOption) ||
        parser.isSet(gpkgOption) || parser.isSet(dxfOption)) {
        const map::PlanMapModel model =
            situationMap(connection, session.plan(), map::mapOfSituation(result, charge));
        if (!docxPath.isEmpty()) {
            // The map goes into the report at 300 dpi across the page: the zones of criterion а).
            session
                .report(
                    map::reportMapPicture(model, map::Criterion::Heavy, map::kReportMapMillimetres),
                    QLocale(), {}, bylineOptions.byline(parser))
                .save(docxPath);
        }
        writeMapFiles(model, crs,
                      {parser.value(svgOption), parser.value(geojsonOption),
                       parser.value(gpkgOption), parser.value(dxfOption)});
    }
    if (!xlsxPath.isEmpty()) {
        session.writeTable(xlsxPath);
    }
    if (format == QLatin1String("csv")) {
        writeCsv(result);
    } else {
        writeOut(situationJson(session.plan(), result) + '\n');
    }
    return kExitOk;
}

} // namespace kelmo::cli
