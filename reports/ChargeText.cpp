#include "reports/ChargeText.h"

namespace kelmo::reports {

ChargeDescription describeCharge(const ChargeFields& fields) {
    ChargeDescription c;
    c.name = fields.name;
    c.massText = fields.massText;
    c.energyCaption = energyCaption(fields.heatUnit);
    c.energyText = fields.heatUnit == HeatUnit::PerMole ? fields.secondHeatText : fields.heatText;
    c.placementText = placementText(fields.placement);
    c.bodyMassText = fields.bodyMassText;
    return c;
}

} // namespace kelmo::reports
