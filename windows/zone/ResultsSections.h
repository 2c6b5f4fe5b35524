#pragma once

#include "windows/zone/FormWidget.h"

#include "ui_ChargeSection.h"
#include "ui_HeavyDamageZonesSection.h"
#include "ui_KPaRadiiSection.h"
#include "ui_KgfRadiiSection.h"
#include "ui_PointCalculationSection.h"
#include "ui_TotalDestructionZonesSection.h"

namespace kelmo::zone {

// The sections of the results page (ResultsPage.ui), each with its own form.
using ChargeSection = FormWidget<Ui::ChargeSection>; // the charge the run was made for
using HeavyDamageZonesSection =
    FormWidget<Ui::HeavyDamageZonesSection>; // a) zones by heavy damage of buildings
using TotalDestructionZonesSection =
    FormWidget<Ui::TotalDestructionZonesSection>; // b) zones by complete destruction
using PointCalculationSection =
    FormWidget<Ui::PointCalculationSection>;             // the calculation at a given distance
using KgfRadiiSection = FormWidget<Ui::KgfRadiiSection>; // c) radii of kgf/cm² thresholds
using KPaRadiiSection = FormWidget<Ui::KPaRadiiSection>; // d) radii of kPa thresholds

} // namespace kelmo::zone
