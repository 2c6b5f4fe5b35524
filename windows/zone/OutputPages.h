#pragma once

#include "windows/zone/FormWidget.h"

#include "ui_GridPage.h"
#include "ui_PressureKPaPage.h"
#include "ui_PressureKgfPage.h"
#include "ui_ProbitPage.h"
#include "ui_ResultsPage.h"

namespace kelmo::zone {

// The pages of the results window (ZoneResultsWindow.ui), each with its own form.
using ResultsPage = FormWidget<Ui::ResultsPage>;         // radii, zones and the point
using PressureKgfPage = FormWidget<Ui::PressureKgfPage>; // kgf/cm² chart, range and lookup
using PressureKPaPage = FormWidget<Ui::PressureKPaPage>; // kPa chart
using GridPage = FormWidget<Ui::GridPage>;               // the profile table
using ProbitPage = FormWidget<Ui::ProbitPage>;           // the three probit charts

} // namespace kelmo::zone
