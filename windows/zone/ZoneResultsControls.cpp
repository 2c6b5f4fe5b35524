#include "windows/zone/ZoneResultsControls.h"

#include "windows/zone/OutputPages.h"

#include "ui_ZoneResultsWindow.h"

namespace kelmo::zone {

// The one place of the window that names its controls by objectName: the form of the window,
// the forms of its pages and those of the results page's sections.
ZoneResultsWindow::Controls::Controls(QMainWindow* window) {
    Ui::ZoneResultsWindow main;
    main.setupUi(window);
    mainLayout = main.mainLayout;
    pages = main.SSTab1;
    backAction = main.mnuReturn;
    wordReportAction = main.mnuWord;

    const Ui::ResultsPage& results = main.tabResults->form();
    const Ui::ChargeSection& charge = results.chargeSection->form();
    explosiveName = charge.Label11;
    explosiveMass = charge.Label15;
    energyCaption = charge.Lab1;
    energyValue = charge.Lab2;
    placement = charge.Label12;
    const Ui::HeavyDamageZonesSection& heavy = results.heavyDamageZones->form();
    heavyDamageZoneRadii = {heavy.Rad1, heavy.Rad2, heavy.Rad3, heavy.Rad4, heavy.Rad5};
    const Ui::TotalDestructionZonesSection& total = results.totalDestructionZones->form();
    totalDestructionZoneRadii = {total.Rad11, total.Rad12, total.Rad13, total.Rad14, total.Rad15};
    const Ui::KgfRadiiSection& kgf = results.kgfRadii->form();
    kgfThresholdHeads = {kgf.Rez_11, kgf.Rez_12, kgf.Rez_13, kgf.Rez_14,
                         kgf.Rez_15, kgf.Rez_16, kgf.Rez_17};
    kgfThresholdRadii = {kgf.Rez_1, kgf.Rez_2, kgf.Rez_3, kgf.Rez_4,
                         kgf.Rez_5, kgf.Rez_6, kgf.Rez_7};
    const Ui::KPaRadiiSection& kPa = results.kPaRadii->form();
    kPaThresholdRadii = {kPa.R100, kPa.R70, kPa.R50, kPa.R30, kPa.R20,
                         kPa.R10,  kPa.R7,  kPa.R5,  kPa.R3,  kPa.R1};
    radius53kPa = kPa.R53;
    radius28kPa = kPa.R28;
    radius12kPa = kPa.R12;
    const Ui::PointCalculationSection& point = results.pointCalculation->form();
    pointGroup = point.Frame17;
    pointDistanceEdit = point.GOX;
    pointCalculateButton = point.Command9;
    pointResultsGroup = point.Frame18;
    pointPressureLabel = point.Label61;
    heavyDamagePercentLabel = point.Label62;
    totalDestructionPercentLabel = point.Label22;
    peopleOutsidePercentLabel = point.Label25;
    expertReportButton = point.Command10;

    const Ui::PressureKgfPage& kgfPage = main.tabKgf->form();
    kgfChartTabs = kgfPage.SSTab2;
    kgfChartView = kgfPage.Graf_Davl1;
    rangeGroup = kgfPage.Frame2;
    rangeFromEdit = kgfPage.Rast1;
    rangeToEdit = kgfPage.Rast2;
    rangeDivisionsEdit = kgfPage.Text8;
    rangeBuildButton = kgfPage.Command1;
    rangeChartTitle = kgfPage.Label5;
    rangeChartView = kgfPage.Graf_Davl_Diap;
    lookupGroup = kgfPage.Frame3;
    lookupByDistance = kgfPage.Option1;
    lookupByPressure = kgfPage.Option2;
    lookupValueCaption = kgfPage.Label9;
    lookupValueEdit = kgfPage.Text1;
    lookupResultCaption = kgfPage.Label10;
    lookupResultEdit = kgfPage.Text2;
    lookupButton = kgfPage.Command2;

    kPaChartView = main.tabKPa->form().Graf_Davl;

    const Ui::GridPage& grid = main.tabGrid->form();
    profileTable = grid.tabDavl1;
    excelExportButton = grid.Command3;

    const Ui::ProbitPage& probit = main.tabProbit->form();
    probitTabs = probit.SSTab3;
    probitChartViews = {probit.chrProbit0, probit.chrProbit1, probit.chrProbit2};
    probitNotes = {probit.chrProbit0Note, probit.chrProbit1Note, probit.chrProbit2Note};
}

} // namespace kelmo::zone
