#include "reports/ChargeText.h"

namespace kelmo::reports {

ReportCharge describeCharge(const ChargeFields& fields) {
    ReportCharge c;
    c.name = fields.name;
    c.massText = fields.massText;
    if (fields.heatUnit == HeatUnit::PerMole) {
        c.energyCaption = QStringLiteral("Энергия взрыва, кДж/моль:");
        c.energyText = fields.secondHeatText;
    } else {
        c.energyCaption = QStringLiteral("Энергия взрыва, кДж/кг:");
        c.energyText = fields.heatText;
    }
    c.placementText = fields.placement == Placement::Air ? QStringLiteral("в воздухе")
                                                         : QStringLiteral("на поверхности земли");
    return c;
}

} // namespace kelmo::reports
