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
    parser.setApplicationDescription(QStringLiteral(
        "Создание новой базы данных с таблицами и справочными данными: файл PATH или база "
        "сервера, заданная источником данных ODBC (--dsn)."));
    parser.addHelpOption();
    const QCommandLineOption force("force", "Заменить существующий файл или таблицы программы "
                                            "на сервере (их данные будут потеряны).");
    const QCommandLineOption dsn("dsn", "Источник данных ODBC сервера базы данных.", "NAME");
    const QCommandLineOption user("user", "Пользователь сервера (вместе с --dsn).", "USER");
    const QCommandLineOption password("password", "Пароль пользователя сервера (вместе с --dsn).",
                                      "PASSWORD");
    parser.addOptions({force, dsn, user, password});
    parser.addPositionalArgument("PATH", "Файл создаваемой базы данных (без --dsn).");
    if (!parser.parse(arguments)) {
        throw UsageError(parser.errorText());
    }
    if (parser.isSet("help")) {
        writeOut(parser.helpText().toUtf8());
        return kExitOk;
    }
    if (parser.isSet(dsn)) {
        if (!parser.positionalArguments().isEmpty()) {
            throw UsageError(QStringLiteral("с --dsn путь к файлу не указывается."));
        }
        const QString name = parser.value(dsn).trimmed();
        if (name.isEmpty()) {
            throw UsageError(QStringLiteral("--dsn: укажите имя источника данных ODBC."));
        }
        QString connection;
        try {
            connection =
                db::serverConnectionString(name, parser.value(user), parser.value(password));
        } catch (const DatabaseError& e) {
            throw UsageError(QString::fromUtf8(e.what()));
        }
        db::initializeServerDatabase(connection, parser.isSet(force));
        writeOut(QStringLiteral("Созданы таблицы и справочные данные в базе источника данных %1\n")
                     .arg(name)
                     .toUtf8());
        return kExitOk;
    }
    for (const QCommandLineOption* o : {&user, &password}) {
        if (parser.isSet(*o)) {
            throw UsageError(
                QStringLiteral("--%1: только вместе с --dsn.").arg(o->names().constFirst()));
        }
    }
    if (parser.positionalArguments().size() != 1) {
        throw UsageError(QStringLiteral("укажите один путь к файлу базы данных или --dsn."));
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
    parser.addHelpOption();
    ZoneOptions zoneOptions;
    zoneOptions.addTo(parser);
    const QCommandLineOption at("at", "Расстояние от эпицентра, м (обязательно).", "M");
    DatabaseOptions database;
    parser.addOption(at);
    database.addTo(parser);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(parser.helpText().toUtf8());
        return kExitOk;
    }
    if (!parser.isSet(at)) {
        throw UsageError(QStringLiteral("--at: укажите расстояние от эпицентра, м."));
    }
    const double distance = optionNumber(parser, "at");
    const ChargeInput input = zoneOptions.chargeInput(parser);
    const QString connection = database.connectionString(parser);

    zone::Session session;
    session.loadParameters();
    session.state().gStep = zoneOptions.step(parser);
    session.run(input, {});
    const PointResult r =
        session.calculatePoint(distance, parser.value(at), probitsToPercentLookup(connection));

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
