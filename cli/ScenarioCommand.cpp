#include "cli/ScenarioCommand.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "core/NumberText.h"
#include "data/Scenarios.h"
#include "data/SitePlan.h"
#include "data/SituationPlan.h"
#include "engine/BlastFormulas.h"
#include "engine/CalcState.h"

#include <memory>

namespace kelmo::cli {

namespace {

const QCommandLineOption kPlanOption("plan", "Название плана местности (обязательно).", "NAME");
const QCommandLineOption kNameOption("name", "Имя сценария (обязательно).", "NAME");

QString requiredText(const QCommandLineParser& parser, const QCommandLineOption& option,
                     const QString& what) {
    if (!parser.isSet(option) || parser.value(option).trimmed().isEmpty()) {
        throw UsageError(
            QStringLiteral("--%1: укажите %2.").arg(option.names().constFirst(), what));
    }
    return parser.value(option);
}

int planNumber(db::Connection& c, const QString& name) {
    if (const auto plan = db::findPlan(c, name)) {
        return *plan;
    }
    throw PlanNotFoundError(name);
}

double massTntOf(const ChargeInput& charge) {
    auto state = std::make_unique<CalcState>();
    ComputeMassTNT(*state, heatPerKg(charge), charge.chargeMassKg);
    return state->massTnt;
}

int runAdd(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Новый сценарий плана местности: заряд и место его хранения."));
    addHelpOption(parser);
    ZoneOptions zoneOptions;
    zoneOptions.addTo(parser, ZoneOptions::Step::Without);
    const QCommandLineOption xOption("x", "Координата X места хранения ВВ, м (обязательно).", "X");
    const QCommandLineOption yOption("y", "Координата Y места хранения ВВ, м (обязательно).", "Y");
    const QCommandLineOption explosiveOption(
        "explosive", "Наименование ВВ (по умолчанию не задано: в отчетах «Тротил»).", "ТЕКСТ");
    parser.addOptions({kPlanOption, kNameOption, xOption, yOption, explosiveOption});
    DatabaseOptions database;
    database.addTo(parser);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("scenario add")));
        return kExitOk;
    }
    db::ScenarioRecord record;
    const QString plan =
        requiredText(parser, kPlanOption, QStringLiteral("название плана местности"));
    record.name = requiredText(parser, kNameOption, QStringLiteral("имя сценария"));
    for (const QCommandLineOption* option : {&xOption, &yOption}) {
        if (!parser.isSet(*option)) {
            throw UsageError(QStringLiteral("--%1: укажите координату места хранения ВВ, м.")
                                 .arg(option->names().constFirst()));
        }
    }
    record.charge = zoneOptions.chargeInput(parser);
    record.point = {optionNumber(parser, QStringLiteral("x")),
                    optionNumber(parser, QStringLiteral("y"))};
    record.explosive = parser.value(explosiveOption);
    // A charge the formulas cannot take is refused before anything is stored.
    if (const QString problem = db::scenarioProblem(record); !problem.isEmpty()) {
        throw UsageError(problem);
    }
    db::Connection c(database.connectionString(parser));
    record.plan = planNumber(c, plan);
    db::addScenario(c, record);
    return kExitOk;
}

int runList(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Сценарии плана местности."));
    addHelpOption(parser);
    const QCommandLineOption formatOption(
        "format", "Формат вывода: text (по умолчанию, строка на сценарий) или json.", "text|json",
        "text");
    parser.addOptions({kPlanOption, formatOption});
    DatabaseOptions database;
    database.addTo(parser);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("scenario list")));
        return kExitOk;
    }
    const QString plan =
        requiredText(parser, kPlanOption, QStringLiteral("название плана местности"));
    const QString format = parser.value(formatOption);
    if (format != QLatin1String("text") && format != QLatin1String("json")) {
        throw UsageError(
            QStringLiteral("--format: ожидается text или json, задано «%1».").arg(format));
    }
    db::Connection c(database.connectionString(parser));
    const QList<db::ScenarioRecord> scenarios = db::listScenarios(c, planNumber(c, plan));
    if (format == QLatin1String("text")) {
        QString out;
        for (const db::ScenarioRecord& s : scenarios) {
            out += QStringLiteral("%1\t%2 кг\t%3\tX %4\tY %5\n")
                       .arg(s.name, numtext::roundTrip(s.charge.chargeMassKg),
                            s.charge.placement == Placement::Air ? QStringLiteral("в воздухе")
                                                                 : QStringLiteral("на земле"),
                            numtext::roundTrip(s.point.x), numtext::roundTrip(s.point.y));
        }
        writeOut(out.toUtf8());
        return kExitOk;
    }
    JsonWriter json;
    json.beginObject();
    json.string("plan", plan);
    json.beginArray("scenarios");
    for (const db::ScenarioRecord& s : scenarios) {
        json.beginObject();
        json.string("name", s.name);
        json.string("explosive", s.explosive);
        json.number("mass", s.charge.chargeMassKg);
        if (s.charge.heatUnit == HeatUnit::PerMole) {
            json.number("heatMol", s.charge.heat);
            json.number("molarMass", s.charge.molarDivisor);
        } else {
            json.number("heat", s.charge.heat);
        }
        json.string("placement", s.charge.placement == Placement::Air ? QStringLiteral("air")
                                                                      : QStringLiteral("ground"));
        json.number("x", s.point.x);
        json.number("y", s.point.y);
        json.number("bodyMass", s.charge.bodyMassKg);
        json.number("massTNT", massTntOf(s.charge));
        json.endObject();
    }
    json.endArray();
    json.endObject();
    writeOut(json.text() + '\n');
    return kExitOk;
}

int runDelete(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Удаление сценария плана местности."));
    addHelpOption(parser);
    parser.addOptions({kPlanOption, kNameOption});
    DatabaseOptions database;
    database.addTo(parser);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("scenario delete")));
        return kExitOk;
    }
    const QString plan =
        requiredText(parser, kPlanOption, QStringLiteral("название плана местности"));
    const QString name = requiredText(parser, kNameOption, QStringLiteral("имя сценария"));
    db::Connection c(database.connectionString(parser));
    db::deleteScenario(c, planNumber(c, plan), name);
    return kExitOk;
}

} // namespace

int runScenarioCommand(const QStringList& arguments) {
    const QString action = arguments.value(1);
    const QStringList rest = arguments.mid(1);
    if (action == QLatin1String("add")) {
        return runAdd(rest);
    }
    if (action == QLatin1String("list")) {
        return runList(rest);
    }
    if (action == QLatin1String("delete")) {
        return runDelete(rest);
    }
    if (action == QLatin1String("--help") || action == QLatin1String("-h")) {
        writeOut("Использование: kelmo-calc scenario add|list|delete [ПАРАМЕТРЫ]\n"
                 "  add     новый сценарий плана местности (заряд и место хранения)\n"
                 "  list    сценарии плана местности\n"
                 "  delete  удаление сценария\n"
                 "kelmo-calc scenario ДЕЙСТВИЕ --help описывает параметры.\n");
        return kExitOk;
    }
    throw UsageError(
        QStringLiteral("scenario: ожидается действие add, list или delete, задано «%1».")
            .arg(action));
}

} // namespace kelmo::cli
