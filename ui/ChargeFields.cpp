#include "ui/ChargeFields.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "ui/Messages.h"

#include <QLineEdit>

namespace kelmo::ui {

std::optional<ChargeInput> readChargeFields(QWidget* parent, const QString& title,
                                            const ChargeFields& fields, double bodyMassKg) {
    using numtext::parseField;
    ChargeInput in;
    in.heatUnit = fields.heatUnit;
    in.placement = fields.placement;
    in.bodyMassKg = bodyMassKg;
    QLineEdit* field = nullptr;
    try {
        field = fields.mass;
        in.chargeMassKg =
            parseField(fields.mass->text(), QStringLiteral("Масса конденсированного ВВ (кг)"));
        field = fields.heat;
        if (fields.heatUnit == HeatUnit::PerKg) {
            in.heat = parseField(fields.heat->text(), QStringLiteral("Энергия взрыва, кДж/кг"));
        } else {
            // The heat field is out of sight here, but its value still enters the conversion.
            in.heat = parseField(fields.heat->text(),
                                 QStringLiteral("Энергия взрыва (поле «кДж/кг», скрыто при выборе "
                                                "«кДж/моль»)"));
            field = fields.molarDivisor;
            in.molarDivisor =
                parseField(fields.molarDivisor->text(), QStringLiteral("Энергия взрыва, кДж/моль"));
        }
        if (fields.bodyMass != nullptr) {
            field = fields.bodyMass;
            in.bodyMassKg =
                parseField(fields.bodyMass->text(), QStringLiteral("Масса тела человека, кг"));
        }
    } catch (const ConversionError& e) {
        Messages::warning(parent, title, QString::fromStdString(e.what()));
        if (field != nullptr && field->isVisible()) {
            refuseField(field);
        }
        return std::nullopt;
    }
    return in;
}

void reportChargeError(QWidget* parent, const QString& title, const ChargeFields& fields,
                       const ArithmeticError& error, const QString& distanceHint) {
    using Cause = ArithmeticError::Cause;
    QLineEdit* culprit = nullptr;
    switch (error.cause()) {
    case Cause::ChargeMass:
        culprit = fields.mass;
        break;
    case Cause::MolarDivisor:
        culprit = fields.molarDivisor;
        break;
    case Cause::BodyMass:
        culprit = fields.bodyMass;
        break;
    default:
        break;
    }
    QString text = QString::fromStdString(error.what());
    if (error.cause() == Cause::Distance && !distanceHint.isEmpty()) {
        text += u' ' + distanceHint;
    }
    Messages::warning(parent, title, text);
    if (culprit != nullptr && culprit->isVisible()) {
        refuseField(culprit);
    }
}

} // namespace kelmo::ui
