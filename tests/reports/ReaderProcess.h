#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs one of the Python readers (python-docx, openpyxl) on a file and returns what it saw.
inline QJsonObject readWithPython(const QString& script, const QString& file,
                                  const QStringList& extra = {}) {
    QProcess p;
    p.start(QStringLiteral(KELMO_PYTHON),
            QStringList{QStringLiteral(KELMO_TEST_SCRIPTS "/") + script, file} + extra);
    // Only a guard against a hung reader: a loaded machine may take minutes on a long report.
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}
