#include "cli/DataCommands.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/PointCalculation.h"
#include "engine/ZoneRun.h"
#include "session/ZoneSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace kelmo::cli {

int runInitDbCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Создание новой базы данных с таблицами и справочными данными."));
    addHelpOption(parser);
    const QCommandLineOption force("force", "Заменить существующий файл.");
    parser.addOption(force);
    parser.addPositionalArgument("ПУТЬ", "Файл создаваемой базы данных.");
    if (!parser.parse(arguments)) {
        throw UsageError(parser.errorText());
    }
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("init-db")));
        return kExitOk;
    }
    if (parser.positionalArguments().size() != 1) {
        throw UsageError(QStringLiteral("укажите один путь к файлу базы данных."));
    }
    const QString path = parser.positionalArguments().first();
    db::createDatabaseFile(path, parser.isSet(force));
    writeOut(QStringLiteral("Создана база данных %1\n")
                 .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()))
                 .toUtf8());
    return kExitOk;
}

int runPointCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Расчёт на заданном удалении: давление, импульс, пробит-функции и вероятности."));
    addHelpOption(parser);
    ZoneOptions zoneOptions;
    zoneOptions.addTo(parser);
    const QCommandLineOption at("at", "Расстояние от эпицентра, м (обязательно).", "М");
    const QCommandLineOption dbOption(
        "db", "Файл базы данных (по умолчанию bdKelmo.db в папке программы).", "ПУТЬ");
    parser.addOption(at);
    parser.addOption(dbOption);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("point")));
        return kExitOk;
    }
    if (!parser.isSet(at)) {
        throw UsageError(QStringLiteral("--at: укажите расстояние от эпицентра, м."));
    }
    const double distance = optionNumber(parser, "at");
    const ChargeInput input = zoneOptions.chargeInput(parser);
    const QString dbPath = parser.isSet(dbOption)
                               ? QFileInfo(parser.value(dbOption)).absoluteFilePath()
                               : programFile(QLatin1String(db::kDatabaseFileName));

    zone::Session session;
    session.loadParameters();
    session.state().gStep = zoneOptions.step(parser);
    session.run(input, {});
    const PointResult r = session.calculatePoint(
        distance, parser.value(at), probitsToPercentLookup(db::fileConnectionString(dbPath)));

    JsonWriter json;
    json.beginObject();
    json.number("distance", distance);
    json.number("deltaPkPa", r.deltaPkPa);
    json.number("deltaPkgf", r.deltaPkgf);
    json.number("impulse", r.impulse);
    json.key("probitHeavy");
    json.singleNumber(r.probitHeavy);
    json.key("probitTotal");
    json.singleNumber(r.probitTotal);
    json.key("probitPeople");
    json.singleNumber(r.probitPeople);
    json.number("percentHeavy", r.percentHeavy);
    json.number("percentTotal", r.percentTotal);
    json.number("percentPeople", r.percentPeople);
    json.number("argHeavy", r.ptArgHeavy);
    json.number("argTotal", r.ptArgTotal);
    json.number("relPressure", r.ptRelPressure);
    json.number("relImpulse", r.ptRelImpulse);
    json.number("argPeople", r.ptArgPeople);
    json.endObject();
    writeOut(json.text() + '\n');
    return kExitOk;
}

} // namespace kelmo::cli
