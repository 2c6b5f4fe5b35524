#pragma once

#include "windows/zone/ZoneResultsWindow.h"

#include <array>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;
class QVBoxLayout;
class QChartView;

namespace kelmo::zone {

// The results window's controls, named by what they are. Only its constructor, which makes the
// window's form, knows their objectNames; those stay the documented ones for the tests and the
// remembered window places. docs/glossary.md lists both.
struct ZoneResultsWindow::Controls {
    explicit Controls(QMainWindow* window);

    QVBoxLayout* mainLayout = nullptr;
    QTabWidget* pages = nullptr;
    QAction* backAction = nullptr;
    QAction* wordReportAction = nullptr;

    // "Результаты расчета": the charge, the zones, the radii and the point calculation.
    QLabel* explosiveName = nullptr;
    QLabel* explosiveMass = nullptr;
    QLabel* energyCaption = nullptr;
    QLabel* energyValue = nullptr;
    QLabel* placement = nullptr;
    // The outer radius of zones 1 to 5, by heavy damage and by complete destruction.
    std::array<QLabel*, 5> heavyDamageZoneRadii{};
    std::array<QLabel*, 5> totalDestructionZoneRadii{};
    // The kgf/cm² thresholds (1 … 0.03) and their radii.
    std::array<QLabel*, 7> kgfThresholdHeads{};
    std::array<QLabel*, 7> kgfThresholdRadii{};
    // The radii of 100, 70, 50, 30, 20, 10, 7, 5, 3 and 1 kPa, and of the three criteria.
    std::array<QLabel*, 10> kPaThresholdRadii{};
    QLabel* radius53kPa = nullptr;
    QLabel* radius28kPa = nullptr;
    QLabel* radius12kPa = nullptr;
    QGroupBox* pointGroup = nullptr;
    QLineEdit* pointDistanceEdit = nullptr; // m from the epicentre
    QPushButton* pointCalculateButton = nullptr;
    QGroupBox* pointResultsGroup = nullptr;
    QLabel* pointPressureLabel = nullptr; // overpressure at the point, kPa
    QLabel* heavyDamagePercentLabel = nullptr;
    QLabel* totalDestructionPercentLabel = nullptr;
    QLabel* peopleOutsidePercentLabel = nullptr;
    QPushButton* expertReportButton = nullptr;

    // "График Рф(R), кгс/кв.см": the chart, the chart over a range and the lookup.
    QTabWidget* kgfChartTabs = nullptr; // the whole chart, the range chart
    QChartView* kgfChartView = nullptr;
    QGroupBox* rangeGroup = nullptr;
    QLineEdit* rangeFromEdit = nullptr;      // m
    QLineEdit* rangeToEdit = nullptr;        // m
    QLineEdit* rangeDivisionsEdit = nullptr; // of the pressure axis
    QPushButton* rangeBuildButton = nullptr;
    QLabel* rangeChartTitle = nullptr;
    QChartView* rangeChartView = nullptr;
    QGroupBox* lookupGroup = nullptr;
    QRadioButton* lookupByDistance = nullptr;
    QRadioButton* lookupByPressure = nullptr;
    QLabel* lookupValueCaption = nullptr;
    QLineEdit* lookupValueEdit = nullptr; // distance or pressure as chosen
    QLabel* lookupResultCaption = nullptr;
    QLineEdit* lookupResultEdit = nullptr;
    QPushButton* lookupButton = nullptr;

    // "График Рф(R), кПа"
    QChartView* kPaChartView = nullptr;

    // "Параметры ударной волны"
    QTableView* profileTable = nullptr;
    QPushButton* excelExportButton = nullptr;

    // "Пробит-функции": people outside buildings, heavy damage, complete destruction; each
    // with the note shown instead of a chart that cannot be drawn.
    QTabWidget* probitTabs = nullptr;
    std::array<QChartView*, 3> probitChartViews{};
    std::array<QLabel*, 3> probitNotes{};
};

} // namespace kelmo::zone
