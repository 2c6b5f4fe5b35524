#include "cli/CommandLine.h"
#include "cli/DataCommands.h"
#include "cli/PlanImportCommand.h"
#include "cli/ReportCommands.h"
#include "cli/ScenarioCommand.h"
#include "cli/SituationCommand.h"
#include "cli/ZonesCommand.h"
#include "core/Version.h"
#include "engine/Errors.h"

#include <QStringDecoder>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string_view>

namespace {

const char* const kUsage =
    "Использование: kelmo-calc КОМАНДА [ПАРАМЕТРЫ]\n"
    "\n"
    "Команды:\n"
    "  zones   расчёт зон поражения: тротиловый эквивалент, радиусы, таблица расстояний\n"
    "  point   расчёт на заданном удалении: давление, импульс, вероятности поражения\n"
    "  init-db создание новой базы данных со справочными данными\n"
    "  report  полный отчет о результатах расчета (Word, .docx)\n"
    "  expert  частный отчет для эксперта по расчету на заданном удалении (Word, .docx)\n"
    "  table   таблица расстояний и давлений (Excel, .xlsx)\n"
    "  paths   версия программы и папки её файлов\n"
    "  situation инженерная обстановка на плане местности: ущерб каждому сооружению\n"
    "  import-plan импорт генплана (DXF, Shapefile, GeoPackage, GeoJSON) в план местности\n"
    "  scenario сценарии плана местности: add, list, delete\n"
    "\n"
    "kelmo-calc КОМАНДА --help описывает параметры команды, kelmo-calc --version — версию.\n"
    "Коды завершения: 0 — успешно, 1 — расчёт невозможен, 2 — неверные параметры.\n";

void printError(const QString& text) {
    QTextStream err(stderr);
    err << "kelmo-calc: " << text << Qt::endl;
}

// File names reach the program as bytes; bytes that are not UTF-8 would be silently replaced
// and another file written or read than the one given.
int firstArgumentNotUtf8(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decode(QByteArrayView(argv[i]));
        if (decode.hasError()) {
            return i;
        }
    }
    return 0;
}

int run(int argc, char* argv[]);

} // namespace

int main(int argc, char* argv[]) {
    // Every failure ends with a message and an exit code, never with an abort.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        printError(QStringLiteral("не хватает памяти; расчёт прерван."));
    } catch (const std::exception& e) {
        printError(QStringLiteral("внутренняя ошибка: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        printError(QStringLiteral("внутренняя ошибка."));
    }
    return kelmo::cli::kExitCalculationError;
}

namespace {

// "situation … --svg FILE" or "--docx FILE" draws the plan map, which needs fonts from a GUI
// application.
bool drawsPlanMap(int argc, char* argv[]) {
    if (std::string_view(argv[1]) != "situation") {
        return false;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string_view a(argv[i]);
        if (a == "--svg" || a.starts_with("--svg=") || a == "--docx" || a.starts_with("--docx=")) {
            return true;
        }
    }
    return false;
}

int run(int argc, char* argv[]) {
#ifndef Q_OS_WIN
    if (const int bad = firstArgumentNotUtf8(argc, argv)) {
        printError(QStringLiteral("параметр №%1 не в кодировке UTF-8. Имена файлов и тексты "
                                  "задавайте в UTF-8.")
                       .arg(bad));
        return kelmo::cli::kExitUsageError;
    }
#endif
    // The full report's charts and the plan map are drawn with QPainter, whose fonts need a GUI
    // application (no widgets); without a display it draws offscreen.
    const bool drawsCharts =
        argc > 1 && (std::string_view(argv[1]) == "report" || drawsPlanMap(argc, argv));
    if (drawsCharts && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::unique_ptr<QCoreApplication> app = drawsCharts
                                                ? std::make_unique<QGuiApplication>(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("kelmo-calc");
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kelmo::kVersion));
    kelmo::cli::installRussianParserTexts();

    using Command = std::function<int(const QStringList&)>;
    const std::map<QString, Command> commands{
        {"zones", kelmo::cli::runZonesCommand},
        {"point", kelmo::cli::runPointCommand},
        {"init-db", kelmo::cli::runInitDbCommand},
        {"report", kelmo::cli::runReportCommand},
        {"expert", kelmo::cli::runExpertCommand},
        {"table", kelmo::cli::runTableCommand},
        {"paths", kelmo::cli::runPathsCommand},
        {"situation", kelmo::cli::runSituationCommand},
        {"import-plan", kelmo::cli::runImportPlanCommand},
        {"scenario", kelmo::cli::runScenarioCommand},
    };

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments[1] == "--help" || arguments[1] == "-h") {
        if (arguments.size() < 2) {
            std::fputs(kUsage, stderr);
            return kelmo::cli::kExitUsageError;
        }
        try {
            kelmo::cli::writeOut(kUsage);
        } catch (const kelmo::Error& e) {
            printError(QString::fromUtf8(e.what()));
            return kelmo::cli::kExitCalculationError;
        }
        return kelmo::cli::kExitOk;
    }
    if (arguments[1] == "--version" || arguments[1] == "-v") {
        std::printf("kelmo-calc %s\n", kelmo::kVersion);
        return kelmo::cli::kExitOk;
    }
    const auto command = commands.find(arguments[1]);
    if (command == commands.end()) {
        printError(QStringLiteral("неизвестная команда «%1». Список команд: kelmo-calc --help.")
                       .arg(arguments[1]));
        return kelmo::cli::kExitUsageError;
    }

    try {
        return command->second(arguments.mid(1));
    } catch (const kelmo::cli::UsageError& e) {
        printError(QString::fromUtf8(e.what()));
        return kelmo::cli::kExitUsageError;
    } catch (const kelmo::Error& e) {
        printError(QString::fromUtf8(e.what()));
        return kelmo::cli::kExitCalculationError;
    }
}

} // namespace
