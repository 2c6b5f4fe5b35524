#pragma once

#include "engine/Errors.h"

#include <QString>

namespace kelmo {

// A text that should be a number is not one. Carries the name of the field for the message.
class ConversionError : public Error {
public:
    ConversionError(const QString& field, const QString& text)
        : Error(QStringLiteral("Поле «%1»: «%2» не является числом. Введите число, например 12,5.")
                    .arg(field, text)
                    .toStdString())
        , m_field(field)
        , m_text(text) {}

    const QString& field() const { return m_field; }
    const QString& text() const { return m_text; }

private:
    QString m_field;
    QString m_text;
};

} // namespace kelmo
