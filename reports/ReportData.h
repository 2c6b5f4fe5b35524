#pragma once

#include "charts/ReportCharts.h"
#include "core/Version.h"
#include "engine/ZoneRun.h"

#include <QDate>
#include <QImage>
#include <QString>

#include <optional>

namespace kelmo::reports {

inline constexpr const char* kWordFilter = "Документ Word (*.docx)";

// The charge as the user described it, in the texts typed: what the results window shows
// and the reports print. The numbers of the run are in ChargeInput.
struct ChargeDescription {
    QString name;     // the explosive
    QString massText; // the mass as typed, kg
    QString energyCaption; // "Энергия взрыва, кДж/кг:" or "Энергия взрыва, кДж/моль:"
    QString energyText;    // the energy as typed
    QString placementText; // "в воздухе" or "на поверхности земли"
    QString bodyMassText;  // the body mass of a person as typed, kg
};

inline QString energyCaption(HeatUnit unit) {
    return unit == HeatUnit::PerMole ? QStringLiteral("Энергия взрыва, кДж/моль:")
                                     : QStringLiteral("Энергия взрыва, кДж/кг:");
}

inline QString placementText(Placement placement) {
    return placement == Placement::Air ? QStringLiteral("в воздухе")
                                       : QStringLiteral("на поверхности земли");
}

// Who made a report, when and with what: the lines under its heading. An empty text leaves
// its line out.
struct ReportByline {
    QString organisation;
    QString author;
    QDate date = QDate::currentDate();
    QString program = QStringLiteral("Келмо ") + QString::fromLatin1(kVersion);
    QString stepText; // the calculation step as shown, m

    bool operator==(const ReportByline&) const = default;
};

// The chart pictures, drawn by the charts and placed by the full report.
using charts::RangeChartPicture;
using charts::ReportCharts;

} // namespace kelmo::reports
