#pragma once

#include "engine/ZoneRun.h"
#include "reports/ReportData.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace kelmo::cli {

// Exit codes of kelmo-calc.
enum ExitCode { kExitOk = 0, kExitCalculationError = 1, kExitUsageError = 2 };

// A bad argument: the message names the option.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message)
        : std::runtime_error(message.toStdString()) {}
};

// The options that describe a charge and a run, shared by every command that calculates.
class ZoneOptions {
public:
    enum class Step { With, Without };
    void addTo(QCommandLineParser& parser, Step step = Step::With);

    // Throws UsageError.
    ChargeInput chargeInput(const QCommandLineParser& parser) const;
    double step(const QCommandLineParser& parser) const;
    // The charge as the results window would describe it; numbers as they were typed.
    reports::ChargeDescription description(const QCommandLineParser& parser,
                                           const ChargeInput& input, const QString& name) const;

private:
    QCommandLineOption m_mass{"mass", "Масса заряда, кг (обязательно).", "КГ"};
    QCommandLineOption m_heat{
        "heat", QStringLiteral("Теплота взрыва, кДж/кг (по умолчанию %1).").arg(kDefaultHeatPerKg),
        "КДЖ_НА_КГ"};
    QCommandLineOption m_heatMol{"heat-mol", "Теплота взрыва, кДж/моль; вместе с --molar-mass.",
                                 "КДЖ_НА_МОЛЬ"};
    QCommandLineOption m_molarMass{
        "molar-mass",
        "Второе число пересчёта из кДж/моль (молярная масса, г/моль): E = A / B × 1000; в "
        "отчёте показывается как энергия в кДж/моль, как в окне исходных данных.",
        "Г_НА_МОЛЬ"};
    QCommandLineOption m_ground{"ground", "Заряд на поверхности земли (по умолчанию)."};
    QCommandLineOption m_air{"air", "Заряд в воздухе."};
    QCommandLineOption m_step{"step", "Шаг расчёта, м (по умолчанию 1).", "М"};
    QCommandLineOption m_bodyMass{
        "body-mass",
        QStringLiteral("Масса тела человека, кг (по умолчанию %1).").arg(kDefaultBodyMassKg), "КГ"};
};

// The password of the server's user: read from the first line of --password-file (a file, or
// "-" for standard input), else --password, else none, and then the PostgreSQL driver takes
// it from PGPASSWORD or ~/.pgpass. Throws UsageError when both options are given or the file
// cannot be read.
QString serverPassword(const QCommandLineParser& parser, const QCommandLineOption& password,
                       const QCommandLineOption& passwordFile);

inline const char* const kPasswordHelp =
    "Пароль пользователя сервера (вместе с --dsn). Виден другим пользователям компьютера в "
    "списке процессов: лучше --password-file, PGPASSWORD или ~/.pgpass.";
inline const char* const kPasswordFileHelp =
    "Файл, первая строка которого — пароль пользователя сервера; «-» — стандартный ввод.";

// Where a command finds the database: --db PATH (the embedded file; by default the program
// folder's bdKelmo.db) or --dsn NAME of a server's ODBC data source, with --user and the
// password (see serverPassword) when the DSN entry does not name them.
class DatabaseOptions {
public:
    void addTo(QCommandLineParser& parser);

    // The connection string the options name. Throws UsageError.
    QString connectionString(const QCommandLineParser& parser) const;

private:
    QCommandLineOption m_db{
        "db", "Файл базы данных (по умолчанию рабочая база bdKelmo.db, см. kelmo-calc paths).",
        "PATH"};
    QCommandLineOption m_dsn{"dsn", "Источник данных ODBC сервера базы данных (вместо --db).",
                             "NAME"};
    QCommandLineOption m_user{"user", "Пользователь сервера (вместе с --dsn).", "USER"};
    QCommandLineOption m_password{"password", kPasswordHelp, "PASSWORD"};
    QCommandLineOption m_passwordFile{"password-file", kPasswordFileHelp, "FILE"};
    QCommandLineOption m_timeout{"timeout",
                                 "Сколько секунд ждать ответа сервера при подключении (вместе с "
                                 "--dsn; по умолчанию 10).",
                                 "SEC"};
};

// Who made a Word report, for the lines under its heading (the window asks it once in
// «Сведения для отчетов»): --organisation and --author; an option left out leaves its line out.
class BylineOptions {
public:
    void addTo(QCommandLineParser& parser) { parser.addOptions({m_organisation, m_author}); }

    reports::ReportByline byline(const QCommandLineParser& parser) const {
        reports::ReportByline byline;
        byline.organisation = parser.value(m_organisation).trimmed();
        byline.author = parser.value(m_author).trimmed();
        return byline;
    }

private:
    QCommandLineOption m_organisation{
        QStringList{"organisation", "organization"},
        "Организация — для заголовка отчета Word (по умолчанию строки нет).", "ТЕКСТ"};
    QCommandLineOption m_author{
        "author", "Исполнитель — для заголовка отчета Word (по умолчанию строки нет).", "ТЕКСТ"};
};

// A number given as an option's value: a point or a comma as the decimal separator.
// Throws UsageError naming the option.
double optionNumber(const QCommandLineParser& parser, const QString& option);

// Writes text to standard output as it is (UTF-8 bytes, no conversion) and flushes it.
// Throws FileError when the output cannot take it (a full disk, a closed pipe).
void writeOut(const QByteArray& text);

// Puts Russian texts in place of the parser's own (usage line, headings, the help option,
// the errors of unknown options and missing values). Call once the application exists.
void installRussianParserTexts();

// The option -h, --help, described in Russian (Qt's own would add --help-all and its texts).
void addHelpOption(QCommandLineParser& parser);

// The help of a command: the parser's text with the command named in its usage line.
QByteArray commandHelp(const QCommandLineParser& parser, const QString& command);

// Parses the arguments of a command (the first is the command's name); throws UsageError
// for an unknown option or a missing value.
void parseOrThrow(QCommandLineParser& parser, const QStringList& arguments);

} // namespace kelmo::cli
