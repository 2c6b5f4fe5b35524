#pragma once

#include "engine/ZoneRun.h"
#include "reports/ReportData.h"

#include <QString>

namespace kelmo::reports {

// The fields that describe a charge, as the user typed them.
struct ChargeFields {
    QString name;
    QString massText;
    HeatUnit heatUnit = HeatUnit::PerKg;
    QString heatText;       // the heat of explosion field (kJ/kg, or kJ/mol before the switch)
    QString secondHeatText; // the second energy field, shown once kJ/mol is chosen
    Placement placement = Placement::Ground;
    QString bodyMassText;
};

// The charge as the results window shows it and every report writes it. With kJ/mol the energy
// shown is the second field's text, under the caption "Энергия взрыва, кДж/моль:". The window
// and kelmo-calc both describe a charge through this one function.
ChargeDescription describeCharge(const ChargeFields& fields);

} // namespace kelmo::reports
