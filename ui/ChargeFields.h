#pragma once

#include "engine/Errors.h"
#include "engine/ZoneRun.h"

#include <QString>

#include <optional>

class QLineEdit;
class QWidget;

namespace kelmo::ui {

// The fields in which a window describes a charge. With kJ/mol the heat field may be out of
// sight: its value still enters the conversion, divided by the second field's.
struct ChargeFields {
    QLineEdit* mass = nullptr;
    QLineEdit* heat = nullptr;         // kJ/kg, or the hidden number of the per-mole conversion
    QLineEdit* molarDivisor = nullptr; // the second number, shown with kJ/mol
    QLineEdit* bodyMass = nullptr;     // none on a window without the field
    HeatUnit heatUnit = HeatUnit::PerKg;
    Placement placement = Placement::Ground;
};

// The charge the fields describe, every field read with the user's locale. A field that is not
// a number gets a message naming it, takes the focus when it is in sight, and nullopt comes
// back. A window without a body-mass field gets the given default.
std::optional<ChargeInput> readChargeFields(QWidget* parent, const QString& title,
                                            const ChargeFields& fields,
                                            double bodyMassKg = kDefaultBodyMassKg);

// The message of a calculation with the charge that could not be made; the field to blame,
// when it is in sight, takes the focus. The hint is added when the distance was to blame.
void reportChargeError(QWidget* parent, const QString& title, const ChargeFields& fields,
                       const ArithmeticError& error, const QString& distanceHint = {});

} // namespace kelmo::ui
