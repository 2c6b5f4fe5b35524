#pragma once

// kelmo-calc run as a script runs it, for the tests of the command line. The test's target
// defines KELMO_CALC_PATH, the program built beside it.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kelmo::test {

struct CalcResult {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

inline CalcResult runCalc(const QStringList& arguments, int timeoutMs = 60000) {
    QProcess p;
    p.start(QStringLiteral(KELMO_CALC_PATH), arguments);
    p.waitForFinished(timeoutMs);
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace kelmo::test
