#include "cli/CommandLine.h"

#include "core/FileError.h"
#include "core/NumberText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kelmo::cli {

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

void ZoneOptions::addTo(QCommandLineParser& parser) {
    parser.addOptions(
        {m_mass, m_heat, m_heatMol, m_molarMass, m_ground, m_air, m_step, m_bodyMass});
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
    return parser.isSet(m_step) ? optionNumber(parser, "step") : CalcParameters::loadValues().gStep;
}

} // namespace kelmo::cli
