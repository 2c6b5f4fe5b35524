#include "shell/Application.h"

#include <QCoreApplication>

namespace kelmo::shell {

void identifyApplication(const QString& version) {
    QCoreApplication::setApplicationName(QStringLiteral("kelmo"));
    QCoreApplication::setApplicationVersion(version);
}

} // namespace kelmo::shell
