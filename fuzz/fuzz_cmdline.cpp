// The command-line parser of kelmo-calc: the input is split at zero bytes into arguments.

#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QStringList arguments{QStringLiteral("zones")};
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QByteArray& part : bytes.split('\0')) {
        arguments << QString::fromUtf8(part);
    }
    QCommandLineParser parser;
    parser.addHelpOption();
    kelmo::cli::ZoneOptions options;
    options.addTo(parser);
    try {
        kelmo::cli::parseOrThrow(parser, arguments);
        (void)options.chargeInput(parser);
        (void)options.step(parser);
    } catch (const kelmo::cli::UsageError&) {
        // a clear message for a bad argument is the expected end
    }
    return 0;
}
