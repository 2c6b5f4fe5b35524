#include "cli/CommandLine.h"

#include "core/NumberText.h"

#include <QFile>

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
    QFile out;
    if (out.open(stdout, QIODevice::WriteOnly)) {
        out.write(text);
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

void ZoneOptions::addTo(QCommandLineParser& parser, Step step) {
    parser.addOptions({m_mass, m_heat, m_heatMol, m_molarMass, m_ground, m_air, m_bodyMass});
    if (step == Step::With) {
        parser.addOption(m_step);
    }
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
