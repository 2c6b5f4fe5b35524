#include "cli/CommandLine.h"

#include "core/FileError.h"
#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "core/SafeFile.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "reports/ChargeText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTranslator>

namespace kelmo::cli {

namespace {

// The parser's texts in Russian; every other context is left to Qt.
class RussianParserTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (context == nullptr || std::strcmp(context, "QCommandLineParser") != 0 ||
            source == nullptr) {
            return {};
        }
        static const struct {
            const char* source;
            const char* text;
        } texts[] = {
            {"Usage: %1", "Использование: %1"},
            {"[options]", "[параметры]"},
            {"Options:", "Параметры:"},
            {"Arguments:", "Аргументы:"},
            {"Displays help on commandline options.", "Показать эту справку."},
            {"Displays help including Qt specific options.",
             "Показать справку вместе с общими параметрами Qt."},
            {"Displays version information.", "Показать версию программы."},
            {"Unknown option '%1'.", "Неизвестный параметр «%1»."},
            {"Unknown options: %1.", "Неизвестные параметры: %1."},
            {"Missing value after '%1'.", "Не задано значение после «%1»."},
            {"Unexpected value after '%1'.", "Лишнее значение после «%1»."},
        };
        for (const auto& t : texts) {
            if (std::strcmp(source, t.source) == 0) {
                return QString::fromUtf8(t.text);
            }
        }
        return {};
    }

    bool isEmpty() const override { return false; }
};

} // namespace

void installRussianParserTexts() {
    auto* texts = new RussianParserTexts(QCoreApplication::instance());
    QCoreApplication::installTranslator(texts);
}

void addHelpOption(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Показать эту справку.")));
}

QByteArray commandHelp(const QCommandLineParser& parser, const QString& command) {
    QString text = parser.helpText();
    // The usage line names the program as it was started; it says "kelmo-calc COMMAND".
    const qsizetype lineEnd = text.indexOf(u'\n');
    const qsizetype options = text.left(lineEnd).indexOf(QStringLiteral("[параметры]"));
    if (options >= 0) {
        text.replace(0, options,
                     QStringLiteral("Использование: %1 %2 ")
                         .arg(QCoreApplication::applicationName(), command));
    }
    return text.toUtf8();
}

double optionNumber(const QCommandLineParser& parser, const QString& option) {
    const QString text = parser.value(option);
    const auto v = numtext::parse(text, QLocale(QLocale::Russian, QLocale::Russia));
    if (!v) {
        throw UsageError(QStringLiteral("--%1: «%2» не является числом.").arg(option, text));
    }
    return *v;
}

void writeOut(const QByteArray& text) {
    errno = 0;
    const auto size = static_cast<std::size_t>(text.size());
    if (std::fwrite(text.constData(), 1, size, stdout) != size || std::fflush(stdout) != 0 ||
        std::ferror(stdout)) {
        const int error = errno;
        std::clearerr(stdout);
        throw FileError(QStringLiteral("не удалось записать результат в стандартный вывод."),
                        error ? QString::fromLocal8Bit(std::strerror(error)) : QString());
    }
}

void parseOrThrow(QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.parse(arguments)) {
        throw UsageError(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        throw UsageError(QStringLiteral("Лишний аргумент: «%1».")
                             .arg(parser.positionalArguments().constFirst()));
    }
}

QString serverPassword(const QCommandLineParser& parser, const QCommandLineOption& password,
                       const QCommandLineOption& passwordFile) {
    if (parser.isSet(password) && parser.isSet(passwordFile)) {
        throw UsageError(QStringLiteral("--password и --password-file: укажите что-то одно."));
    }
    if (!parser.isSet(passwordFile)) {
        return parser.value(password);
    }
    const QString path = parser.value(passwordFile);
    QFile file;
    bool opened = false;
    if (path == QLatin1String("-")) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        try {
            checkReadableFile(path);
        } catch (const FileError& e) {
            throw UsageError(QStringLiteral("--password-file: ") + QString::fromUtf8(e.what()));
        }
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        throw UsageError(QStringLiteral("--password-file: файл «%1» не открывается: %2")
                             .arg(path, file.errorString()));
    }
    // One line is a password; more would be a file given by mistake.
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    if (line.isEmpty()) {
        throw UsageError(QStringLiteral("--password-file: в «%1» нет пароля.").arg(path));
    }
    return QString::fromUtf8(line);
}

void DatabaseOptions::addTo(QCommandLineParser& parser) {
    parser.addOptions({m_db, m_dsn, m_user, m_password, m_passwordFile, m_timeout});
}

QString DatabaseOptions::connectionString(const QCommandLineParser& parser) const {
    if (parser.isSet(m_db) && parser.isSet(m_dsn)) {
        throw UsageError(QStringLiteral("--db и --dsn: укажите что-то одно."));
    }
    if (!parser.isSet(m_dsn)) {
        for (const QCommandLineOption* o : {&m_user, &m_password, &m_passwordFile, &m_timeout}) {
            if (parser.isSet(*o)) {
                throw UsageError(
                    QStringLiteral("--%1: только вместе с --dsn.").arg(o->names().constFirst()));
            }
        }
        const QString path = parser.isSet(m_db) ? QFileInfo(parser.value(m_db)).absoluteFilePath()
                                                : db::prepareWorkingDatabase();
        return QStringLiteral("Data Source=%1;Initial Catalog=%2")
            .arg(QLatin1String(db::kStandardDataSource), path);
    }
    const QString dsn = parser.value(m_dsn).trimmed();
    if (dsn.isEmpty()) {
        throw UsageError(QStringLiteral("--dsn: укажите имя источника данных ODBC."));
    }
    if (parser.isSet(m_timeout)) {
        bool ok = false;
        const int seconds = parser.value(m_timeout).trimmed().toInt(&ok);
        if (!ok || seconds < 1 || seconds > 600) {
            throw UsageError(QStringLiteral("--timeout: укажите целое число секунд от 1 до 600."));
        }
        db::setServerTimeout(seconds);
    }
    try {
        return db::serverConnectionString(dsn, parser.value(m_user),
                                          serverPassword(parser, m_password, m_passwordFile));
    } catch (const DatabaseError& e) {
        throw UsageError(QString::fromUtf8(e.what()));
    }
}

void ZoneOptions::addTo(QCommandLineParser& parser, Step step) {
    parser.addOptions({m_mass, m_heat, m_heatMol, m_molarMass, m_ground, m_air, m_bodyMass});
    if (step == Step::With) {
        parser.addOption(m_step);
    }
}

reports::ChargeDescription ZoneOptions::description(const QCommandLineParser& parser,
                                                    const ChargeInput& input,
                                                    const QString& name) const {
    const auto typed = [&parser](const QCommandLineOption& option, double byDefault) {
        return parser.isSet(option) ? parser.value(option) : numtext::general(byDefault);
    };
    reports::ChargeFields f;
    f.name = name;
    f.massText = parser.value(m_mass);
    f.heatUnit = input.heatUnit;
    f.heatText = input.heatUnit == HeatUnit::PerMole ? parser.value(m_heatMol)
                                                     : typed(m_heat, kDefaultHeatPerKg);
    f.secondHeatText = parser.value(m_molarMass);
    f.placement = input.placement;
    f.bodyMassText = typed(m_bodyMass, kDefaultBodyMassKg);
    return reports::describeCharge(f);
}

ChargeInput ZoneOptions::chargeInput(const QCommandLineParser& parser) const {
    ChargeInput in;
    if (!parser.isSet(m_mass)) {
        throw UsageError(QStringLiteral("--mass: не задана масса заряда."));
    }
    in.chargeMassKg = optionNumber(parser, "mass");

    if (parser.isSet(m_heat) && parser.isSet(m_heatMol)) {
        throw UsageError(QStringLiteral("--heat и --heat-mol нельзя задавать вместе."));
    }
    if (parser.isSet(m_heatMol)) {
        if (!parser.isSet(m_molarMass)) {
            throw UsageError(QStringLiteral("--heat-mol: нужен также --molar-mass."));
        }
        in.heatUnit = HeatUnit::PerMole;
        in.heat = optionNumber(parser, "heat-mol");
        in.molarDivisor = optionNumber(parser, "molar-mass");
    } else {
        if (parser.isSet(m_molarMass)) {
            throw UsageError(QStringLiteral("--molar-mass задаётся только вместе с --heat-mol."));
        }
        in.heatUnit = HeatUnit::PerKg;
        if (parser.isSet(m_heat)) {
            in.heat = optionNumber(parser, "heat");
        }
    }

    if (parser.isSet(m_ground) && parser.isSet(m_air)) {
        throw UsageError(QStringLiteral("--ground и --air нельзя задавать вместе."));
    }
    in.placement = parser.isSet(m_air) ? Placement::Air : Placement::Ground;

    if (parser.isSet(m_bodyMass)) {
        in.bodyMassKg = optionNumber(parser, "body-mass");
    }
    return in;
}

double ZoneOptions::step(const QCommandLineParser& parser) const {
    return parser.isSet(m_step) ? optionNumber(parser, "step") : CalcParameters::loadValues().step;
}

} // namespace kelmo::cli
