#pragma once

#include "engine/Errors.h"

#include <QString>

namespace kelmo {

// A file could not be read, written or replaced. The text is Russian and names the file; the
// operating system's own words follow after "Ошибка файла:".
class FileError : public Error {
public:
    explicit FileError(const QString& message)
        : Error(message.toStdString()) {}
    FileError(const QString& message, const QString& systemText)
        : Error((systemText.trimmed().isEmpty()
                     ? message
                     : QStringLiteral("%1\nОшибка файла: %2").arg(message, systemText.trimmed()))
                    .toStdString()) {}
};

} // namespace kelmo
