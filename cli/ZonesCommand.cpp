#include "cli/ZonesCommand.h"

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "core/NumberText.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "session/ZoneSession.h"

#include <QFile>
#include <QTextStream>

#include <memory>

namespace kelmo::cli {

namespace {

template <std::size_t N> std::vector<double> values(const OneBasedArray<double, N>& a) {
    return {a.values().begin(), a.values().end()};
}

std::vector<float> zoneColumn(const CalcState& s, int j) {
    std::vector<float> column;
    for (int k = 1; k <= ZoneRadiiTable::kBoundaries; ++k) {
        column.push_back(s.zoneRadii(k, j));
    }
    return column;
}

} // namespace

void writeZoneResults(JsonWriter& json, const CalcState& s, double endDistance, bool withProfile) {
    json.number("massTNT", s.massTnt);
    json.integer("pointCount", s.pointCount);
    json.number("endDistance", endDistance);
    json.number("maxDistance", s.maxDistance);
    json.numbers("radiiKgf", values(s.radiiKgf));
    json.numbers("radiiKPa", values(s.radiiKPa));
    json.number("radius53kPa", s.radius53kPa);
    json.number("radius28kPa", s.radius28kPa);
    json.number("radius12kPa", s.radius12kPa);
    json.numbers("radiiCriteria", values(s.radiiCriteria));
    json.key("zoneRadii");
    json.beginObject();
    json.singleNumbers("heavy", zoneColumn(s, kHeavy));
    json.singleNumbers("total", zoneColumn(s, kTotal));
    json.singleNumbers("people", zoneColumn(s, kPeople));
    json.endObject();

    if (withProfile) {
        json.beginArray("profile");
        for (int i = 1; i <= s.pointCount; ++i) {
            const ProfileRow& row = s.profile.row(i);
            json.beginArray();
            json.number(row.r);
            json.number(row.deltaPkPa);
            json.number(row.deltaPkgf);
            json.number(row.impulse);
            json.singleNumber(static_cast<float>(row.probitHeavy));
            json.singleNumber(static_cast<float>(row.probitTotal));
            json.singleNumber(static_cast<float>(row.probitPeople));
            json.endArray();
        }
        json.endArray();
    }
}

QByteArray profileCsv(const CalcState& s) {
    QByteArray out = "r_m,deltaP_kPa,deltaP_kgf_cm2,impulse_Pa_s,probit_heavy,probit_total,"
                     "probit_people\n";
    out.reserve(out.size() + s.pointCount * 120);
    for (int i = 1; i <= s.pointCount; ++i) {
        const ProfileRow& row = s.profile.row(i);
        out += numtext::roundTrip(row.r).toLatin1() + ',' +
               numtext::roundTrip(row.deltaPkPa).toLatin1() + ',' +
               numtext::roundTrip(row.deltaPkgf).toLatin1() + ',' +
               numtext::roundTrip(row.impulse).toLatin1() + ',' +
               numtext::roundTripSingle(static_cast<float>(row.probitHeavy)).toLatin1() + ',' +
               numtext::roundTripSingle(static_cast<float>(row.probitTotal)).toLatin1() + ',' +
               numtext::roundTripSingle(static_cast<float>(row.probitPeople)).toLatin1() + '\n';
    }
    return out;
}

int runZonesCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Расчёт зон поражения при взрыве заряда конденсированного ВВ."));
    addHelpOption(parser);
    ZoneOptions zoneOptions;
    zoneOptions.addTo(parser);
    const QCommandLineOption profileOption(
        "profile", "Включить в JSON таблицу расстояний: [r, кПа, кгс/см², импульс, сильные, "
                   "полные, люди] для каждой строки.");
    const QCommandLineOption formatOption("format", "Формат вывода: json (по умолчанию) или csv.",
                                          "json|csv", "json");
    parser.addOption(profileOption);
    parser.addOption(formatOption);
    parseOrThrow(parser, arguments);
    if (parser.isSet("help")) {
        writeOut(commandHelp(parser, QStringLiteral("zones")));
        return kExitOk;
    }

    const QString format = parser.value(formatOption);
    if (format != "json" && format != "csv") {
        throw UsageError(
            QStringLiteral("--format: ожидается json или csv, задано «%1».").arg(format));
    }
    const ChargeInput input = zoneOptions.chargeInput(parser);

    zone::Session session;
    session.loadParameters();
    session.state().step = zoneOptions.step(parser);
    const double endDistance = session.run(input, {});
    const CalcState* state = &session.state();

    if (format == "csv") {
        writeOut(profileCsv(*state));
        return kExitOk;
    }
    JsonWriter json;
    json.beginObject();
    writeZoneResults(json, *state, endDistance, parser.isSet(profileOption));
    json.endObject();
    writeOut(json.text() + '\n');
    return kExitOk;
}

} // namespace kelmo::cli
