#include "cli/DataCommands.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "core/ProgramFolder.h"
#include "core/Version.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/PointCalculation.h"
#include "engine/ZoneRun.h"
#include "reports/ExpertReport.h"
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
    addHelpOption(parser);
    const QCommandLineOption force("force", "Заменить существующий файл или таблицы программы "
                                            "на сервере (их данные будут потеряны).");
    const QCommandLineOption dsn("dsn", "Источник данных ODBC сервера базы данных.", "NAME");
    const QCommandLineOption user("user", "Пользователь сервера (вместе с --dsn).", "USER");
    const QCommandLineOption password("password", kPasswordHelp, "PASSWORD");
    const QCommandLineOption passwordFile("password-file", kPasswordFileHelp, "FILE");
    parser.addOptions({force, dsn, user, password, passwordFile});
    parser.addPositionalArgument(
        "PATH", "Файл создаваемой базы данных (без --dsn; по умолчанию рабочая база программы).",
        "[PATH]");
    if (!parser.parse(arguments)) {
        throw UsageError(parser.errorText());
    }
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("init-db")));
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
            connection = db::serverConnectionString(name, parser.value(user),
                                                    serverPassword(parser, password, passwordFile));
        } catch (const DatabaseError& e) {
            throw UsageError(QString::fromUtf8(e.what()));
        }
        db::initializeServerDatabase(connection, parser.isSet(force));
        writeOut(QStringLiteral("Созданы таблицы и справочные данные в базе источника данных %1\n")
                     .arg(name)
                     .toUtf8());
        return kExitOk;
    }
    for (const QCommandLineOption* o : {&user, &password, &passwordFile}) {
        if (parser.isSet(*o)) {
            throw UsageError(
                QStringLiteral("--%1: только вместе с --dsn.").arg(o->names().constFirst()));
        }
    }
    if (parser.positionalArguments().size() > 1) {
        throw UsageError(QStringLiteral("укажите один путь к файлу базы данных или --dsn."));
    }
    const QString path = parser.positionalArguments().isEmpty()
                             ? db::workingDatabasePath()
                             : parser.positionalArguments().first();
    if (path.isEmpty()) {
        throw UsageError(QStringLiteral("PATH: путь к файлу базы данных пуст."));
    }
    if (QFileInfo(path).fileName().isEmpty()) {
        throw UsageError(
            QStringLiteral("PATH: «%1» — это папка; укажите имя файла базы данных.").arg(path));
    }
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
    const QCommandLineOption at("at", "Расстояние от эпицентра, м (обязательно).", "M");
    DatabaseOptions database;
    parser.addOption(at);
    database.addTo(parser);
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
    const QString connection = database.connectionString(parser);

    zone::Session session;
    session.loadParameters();
    session.state().step = zoneOptions.step(parser);
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

int runPathsCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Версия программы и папки, в которых она держит свои файлы."));
    addHelpOption(parser);
    const QCommandLineOption format("format", "Вид вывода: text (по умолчанию) или json.", "FORMAT",
                                    "text");
    parser.addOption(format);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("paths")));
        return kExitOk;
    }
    const QString kind = parser.value(format);
    if (kind != QLatin1String("text") && kind != QLatin1String("json")) {
        throw UsageError(QStringLiteral("--format: «%1» — ожидается text или json.").arg(kind));
    }

    const ProgramFolders folders = programFolders();
    const bool portable = folders.layout == FileLayout::Portable;
    const auto native = [](const QString& path) {
        return QDir::toNativeSeparators(path);
    };
    const QString manual = findUserManual();
    struct Line {
        const char* key;
        const char* label;
        QString value;
    };
    const Line lines[] = {
        {"version", "Версия", QString::fromLatin1(kVersion)},
        {"layout", "Размещение",
         portable ? QStringLiteral("portable") : QStringLiteral("installed")},
        {"programFolder", "Папка программы", native(folders.program)},
        {"sharedFolder", "Файлы программы", native(folders.shared)},
        {"userFolder", "Данные пользователя", native(folders.user)},
        {"database", "База данных", native(db::workingDatabasePath())},
        {"dataSourceFile", "Источник данных", native(userFile(QLatin1String(kDataSourceFileName)))},
        {"template", "Шаблон отчета",
         native(sharedFile(QLatin1String(reports::kExpertTemplateName)))},
        {"manual", "Инструкция", native(manual)},
    };
    if (kind == QLatin1String("json")) {
        JsonWriter json;
        json.beginObject();
        for (const Line& line : lines) {
            json.string(line.key, line.value);
        }
        json.endObject();
        writeOut(json.text() + '\n');
        return kExitOk;
    }
    QString text;
    for (const Line& line : lines) {
        QString value = line.value;
        if (QLatin1String(line.key) == QLatin1String("layout")) {
            value = portable ? QStringLiteral("все файлы в папке программы")
                             : QStringLiteral("установленная программа");
        } else if (QLatin1String(line.key) == QLatin1String("manual") && value.isEmpty()) {
            value = QStringLiteral("нет (ожидается «%1.docx» в папке файлов программы)")
                        .arg(QString::fromUtf8(kUserManualBaseName));
        }
        text += QStringLiteral("%1: %2\n").arg(QString::fromUtf8(line.label), value);
    }
    writeOut(text.toUtf8());
    return kExitOk;
}

} // namespace kelmo::cli
