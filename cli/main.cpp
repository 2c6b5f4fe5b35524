#include "cli/CommandLine.h"
#include "cli/DataCommands.h"
#include "cli/ReportCommands.h"
#include "cli/ZonesCommand.h"
#include "engine/Errors.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
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
    "\n"
    "kelmo-calc КОМАНДА --help описывает параметры команды.\n"
    "Коды завершения: 0 — успешно, 1 — расчёт невозможен, 2 — неверные параметры.\n";

void printError(const QString& text) {
    QTextStream err(stderr);
    err << "kelmo-calc: " << text << Qt::endl;
}

} // namespace

int main(int argc, char* argv[]) {
    // The full report draws the charts, which needs a GUI application; without a display it
    // draws offscreen.
    const bool drawsCharts = argc > 1 && std::string_view(argv[1]) == "report";
    if (drawsCharts && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = drawsCharts
                                                ? std::make_unique<QApplication>(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("kelmo-calc");
    kelmo::cli::installRussianParserTexts();

    using Command = std::function<int(const QStringList&)>;
    const std::map<QString, Command> commands{
        {"zones", kelmo::cli::runZonesCommand},    {"point", kelmo::cli::runPointCommand},
        {"init-db", kelmo::cli::runInitDbCommand}, {"report", kelmo::cli::runReportCommand},
        {"expert", kelmo::cli::runExpertCommand},  {"table", kelmo::cli::runTableCommand},
    };

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments[1] == "--help" || arguments[1] == "-h") {
        std::fputs(kUsage, arguments.size() < 2 ? stderr : stdout);
        return arguments.size() < 2 ? kelmo::cli::kExitUsageError : kelmo::cli::kExitOk;
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
