#pragma once

#include "data/PointCalculation.h"
#include "reports/Docx.h"
#include "reports/ReportData.h"

#include <QLocale>
#include <QString>

namespace kelmo::reports {

// File name of the expert report template in the program folder.
inline constexpr const char* kExpertTemplateName = "otchet.docx";

// What the expert report prints: the point calculation as the results window holds it.
struct ExpertInput {
    QString distanceText; // GOX, as typed
    QString bodyMassText; // txtMch, as typed
    Placement placement = Placement::Ground;
    double massTNT = 0;       // massTnt, kg
    PointResult point;        // overpressure, impulse, probits and their intermediate values
    QString percentHeavyText; // the shown percentages, already formatted
    QString percentTotalText;
    QString percentPeopleText;
};

// The 21 bookmarks and their texts, in the order they are filled.
QList<QPair<QString, QString>> expertBookmarks(const ExpertInput& in,
                                               const QLocale& locale = QLocale());

// The template written by the program: the method with a bookmark at every value.
docx::Document buildExpertTemplate();

// The report: who made it with what step, then the template's body, in a new document with
// 1.5 cm margins and the bookmarks filled. Throws DocumentError for a missing or damaged
// template or a missing bookmark.
QByteArray buildExpertReport(const QString& templatePath, const ExpertInput& in,
                             const QLocale& locale = QLocale(), const ReportByline& byline = {});

} // namespace kelmo::reports
