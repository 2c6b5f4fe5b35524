#include "cli/PlanImportCommand.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "data/Database.h"
#include "planimport/PlanImport.h"
#include "planimport/PlanSource.h"

#include <QDir>
#include <QTextStream>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kelmo::cli {

namespace {

void note(const QString& text) {
    QTextStream err(stderr);
    err << text << Qt::endl;
}

// How long the reading of a file may go without reading an object before the command gives
// it up, in seconds. A drawing of hundreds of megabytes opens in well under a minute.
constexpr int kDefaultReadTimeoutSeconds = 120;

// Reads the file on a thread of its own and watches it: a reading stuck inside GDAL (a drawing
// whose blocks insert one another into billions of objects keeps GDAL busy for ever) ends the
// command with a message and exit code 1 once it has made no step for `timeoutSeconds` (0: no
// limit). A thread inside GDAL cannot be stopped, so the process then ends at once, before the
// database is opened and without the destructors the stuck thread may still be using.
planimport::SourceReading readWatched(const QString& path, const planimport::FieldMapping& mapping,
                                      int timeoutSeconds) {
    struct Shared {
        planimport::ReadProgress progress;
        std::mutex mutex;
        std::condition_variable ended;
        bool finished = false; // guarded by mutex
        std::optional<planimport::SourceReading> result;
        std::exception_ptr error;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread reader([shared, path, mapping] {
        std::optional<planimport::SourceReading> result;
        std::exception_ptr error;
        try {
            result = planimport::readPlanSource(path, mapping, &shared->progress);
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->result = std::move(result);
            shared->error = error;
            shared->finished = true;
        }
        shared->ended.notify_all();
    });

    using Clock = std::chrono::steady_clock;
    qint64 steps = -1;
    Clock::time_point lastStep = Clock::now();
    {
        std::unique_lock<std::mutex> lock(shared->mutex);
        while (!shared->ended.wait_for(lock, std::chrono::milliseconds(250),
                                       [&] { return shared->finished; })) {
            const Clock::time_point now = Clock::now();
            if (shared->progress.steps() != steps) {
                steps = shared->progress.steps();
                lastStep = now;
            } else if (timeoutSeconds > 0 &&
                       now - lastStep >= std::chrono::seconds(timeoutSeconds)) {
                QTextStream err(stderr);
                err << QStringLiteral(
                           "kelmo-calc: чтение файла «%1» остановлено: %2 с подряд "
                           "не прочитано ни одного объекта. Файл, по-видимому, повреждён "
                           "или слишком сложен (например, блоки чертежа вставлены "
                           "друг в друга много раз). Ничего не сохранено.")
                           .arg(QDir::toNativeSeparators(path))
                           .arg(timeoutSeconds)
                    << Qt::endl;
                std::fflush(stderr);
                std::_Exit(kExitCalculationError);
            }
        }
    }
    reader.join();
    if (shared->error) {
        std::rethrow_exception(shared->error);
    }
    return std::move(*shared->result);
}

} // namespace

int runImportPlanCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Импорт генплана: замкнутые контуры чертежа DXF или слоя Shapefile, GeoPackage, GeoJSON "
        "становятся сооружениями плана местности. Всё или ничего, одной транзакцией."));
    addHelpOption(parser);
    const QCommandLineOption planOption(
        "plan", "Название плана местности (обязательно); нет такого — он создаётся.", "NAME");
    const QCommandLineOption fromOption("from", "Файл генплана (обязательно).", "FILE");
    const QCommandLineOption layerOption(
        "layer", "Слой файла или чертежа (по умолчанию единственный слой; в чертеже — все).",
        "NAME");
    const QCommandLineOption numberOption(
        "number-field", "Поле номера сооружения (по умолчанию номера 1… по порядку файла).", "F");
    const QCommandLineOption kindFieldOption("kind-field", "Поле вида сооружения.", "F");
    const QCommandLineOption kindOption("kind", "Один вид сооружения для всех контуров.", "KIND");
    const QCommandLineOption staffOption("staff-field", "Поле числа сотрудников (по умолчанию 0).",
                                         "F");
    const QCommandLineOption floorsOption("floors-field", "Поле этажности (по умолчанию 0).", "F");
    const QCommandLineOption replaceOption(
        "replace", "Заменить сооружения плана; без него план с сооружениями не меняется.");
    const QCommandLineOption timeoutOption(
        "read-timeout",
        QStringLiteral("Сколько секунд чтение файла может идти, не прочитав ни одного объекта; "
                       "дольше — оно прерывается с сообщением (по умолчанию %1; 0 — без "
                       "ограничения).")
            .arg(kDefaultReadTimeoutSeconds),
        "SECONDS");
    DatabaseOptions database;
    parser.addOptions({planOption, fromOption, layerOption, numberOption, kindFieldOption,
                       kindOption, staffOption, floorsOption, replaceOption, timeoutOption});
    database.addTo(parser);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("import-plan")));
        return kExitOk;
    }
    for (const QCommandLineOption* required : {&planOption, &fromOption}) {
        if (!parser.isSet(*required) || parser.value(*required).trimmed().isEmpty()) {
            throw UsageError(QStringLiteral("--%1: %2")
                                 .arg(required->names().constFirst(),
                                      required == &planOption
                                          ? QStringLiteral("укажите название плана местности.")
                                          : QStringLiteral("укажите файл генплана.")));
        }
    }
    if (parser.isSet(kindFieldOption) == parser.isSet(kindOption)) {
        throw UsageError(QStringLiteral("укажите поле вида сооружения (--kind-field) или один вид "
                                        "для всех контуров (--kind), одно из двух."));
    }
    for (const QCommandLineOption* field : {&layerOption, &numberOption, &kindFieldOption,
                                            &kindOption, &staffOption, &floorsOption}) {
        if (parser.isSet(*field) && parser.value(*field).trimmed().isEmpty()) {
            throw UsageError(
                QStringLiteral("--%1: значение не задано.").arg(field->names().constFirst()));
        }
    }
    const QString connection = database.connectionString(parser);
    int timeoutSeconds = kDefaultReadTimeoutSeconds;
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        timeoutSeconds = parser.value(timeoutOption).trimmed().toInt(&ok);
        if (!ok || timeoutSeconds < 0) {
            throw UsageError(QStringLiteral("--read-timeout: «%1» — нужно целое число секунд, не "
                                            "меньше 0.")
                                 .arg(parser.value(timeoutOption)));
        }
    }

    planimport::FieldMapping mapping;
    mapping.layer = parser.value(layerOption);
    mapping.numberField = parser.value(numberOption);
    mapping.kindField = parser.value(kindFieldOption);
    mapping.staffField = parser.value(staffOption);
    mapping.storeysField = parser.value(floorsOption);
    const planimport::SourceReading reading =
        readWatched(parser.value(fromOption), mapping, timeoutSeconds);
    if (const QString skipped = planimport::skippedSummary(reading.skipped); !skipped.isEmpty()) {
        note(skipped);
    }
    if (reading.holes > 0) {
        note(QStringLiteral("Внутренние контуры многоугольников (дворы) не учитываются: %1.")
                 .arg(reading.holes));
    }
    if (reading.outlines.isEmpty() && reading.refused.isEmpty()) {
        throw Error(QStringLiteral("В файле «%1» нет ни одного замкнутого контура%2. Ничего не "
                                   "сохранено.")
                        .arg(parser.value(fromOption),
                             mapping.layer.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" в слое «%1»").arg(mapping.layer))
                        .toStdString());
    }

    db::Connection c(connection);
    const planimport::PlanStructures structures =
        planimport::structuresOf(c, reading, parser.value(kindOption));
    if (!structures.refused.isEmpty()) {
        throw Error(QStringLiteral("Не подходят объекты генплана (%1):\n%2\nНичего не сохранено.")
                        .arg(structures.refused.size())
                        .arg(planimport::refusalText(structures.refused))
                        .toStdString());
    }
    int plan = 0;
    try {
        plan = planimport::storePlanStructures(c, parser.value(planOption), structures.structures,
                                               reading.epsg, parser.isSet(replaceOption));
    } catch (const planimport::PlanNotEmptyError& e) {
        throw Error(QStringLiteral("%1 Чтобы заменить их, добавьте --replace.")
                        .arg(QString::fromUtf8(e.what()))
                        .toStdString());
    }
    if (structures.renumbered) {
        note(QStringLiteral("Номера файла идут не подряд от 1: сооружения пронумерованы 1…%1 в "
                            "порядке этих номеров.")
                 .arg(structures.structures.size()));
    }
    note(QStringLiteral("Система координат: %1.").arg(reading.crsDescription));

    JsonWriter json;
    json.beginObject();
    json.string("plan", parser.value(planOption));
    json.integer("planNumber", plan);
    json.integer("structures", structures.structures.size());
    json.integer("skipped", reading.skipped.size());
    if (reading.epsg) {
        json.integer("epsg", *reading.epsg);
    } else {
        json.null("epsg");
    }
    json.endObject();
    writeOut(json.text() + '\n');
    return kExitOk;
}

} // namespace kelmo::cli
