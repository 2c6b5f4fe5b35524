#pragma once

#include "engine/Errors.h"

#include <QString>

namespace kelmo {

// A document or workbook could not be built, read or written. The text is Russian.
class DocumentError : public Error {
public:
    explicit DocumentError(const QString& message)
        : Error(message.toStdString()) {}
};

} // namespace kelmo
