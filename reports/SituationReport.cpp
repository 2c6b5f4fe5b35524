#include "reports/SituationReport.h"

#include "core/NumberText.h"
#include "reports/ReportBlocks.h"

#include <charconv>
#include <cmath>

namespace kelmo::reports {

namespace {

using docx::Align;
using docx::Document;
using docx::Table;

// Column widths of the structure table over the 761.9 pt of text of a landscape page, at 8 pt.
const QList<double> kTableWidthsPt{22, 90, 95, 45, 52, 52, 52, 52, 56, 38, 38, 38, 56, 75.9};

// Rows of the structure table in one part: the plans of most sites make one table, which the
// reader breaks at the pages itself; a plan of thousands of structures is written in parts,
// each starting a page, so that a reader still opens it in seconds.
constexpr int kStructureRowsPerPart = 1000;

} // namespace

QStringList situationHeader() {
    return {QStringLiteral("№"),
            QStringLiteral("Тип"),
            QStringLiteral("Вид"),
            QStringLiteral("Этажность"),
            QStringLiteral("Сотрудники, чел."),
            QStringLiteral("Расстояние, м"),
            QStringLiteral("ΔP, кПа"),
            QStringLiteral("Импульс, Па·с"),
            QStringLiteral("Степень разрушения"),
            QStringLiteral("P а), %"),
            QStringLiteral("P б), %"),
            QStringLiteral("P в), %"),
            QStringLiteral("Пострадавшие, чел."),
            QStringLiteral("Примечание")};
}

QString degreeName(std::optional<DestructionDegree> degree) {
    if (!degree) {
        return QStringLiteral("не определена");
    }
    switch (*degree) {
    case DestructionDegree::Complete:
        return QStringLiteral("полное");
    case DestructionDegree::Strong:
        return QStringLiteral("сильное");
    case DestructionDegree::Medium:
        return QStringLiteral("среднее");
    case DestructionDegree::Weak:
        return QStringLiteral("слабое");
    case DestructionDegree::None:
        break;
    }
    return QStringLiteral("нет");
}

QString situationWarning(const SituationRow& row) {
    QStringList parts;
    if (!row.impact) {
        parts << QString::fromStdString(row.refusal) + QStringLiteral(": сооружение не рассчитано");
    } else if (row.impact->atMinimumDistance) {
        parts << (row.impact->distance == 0
                      ? QStringLiteral("место хранения внутри сооружения: расчет на 1 м")
                      : QStringLiteral("расстояние меньше 1 м: расчет на 1 м"));
    }
    if (row.structure.staffUnreadable) {
        parts << QStringLiteral("число сотрудников не является целым числом не меньше 0; "
                                "принято 0");
    }
    return parts.join(QStringLiteral("; "));
}

int situationDecimals(int column) {
    switch (column) {
    case kSitDistance:
    case kSitImpulse:
    case kSitPercentHeavy:
    case kSitPercentTotal:
    case kSitPercentPeople:
        return 1;
    case kSitDeltaP:
    case kSitInjured:
        return 2;
    default:
        return 0;
    }
}

std::optional<double> situationValue(const SituationRow& row, int column) {
    const StructureRecord& s = row.structure;
    switch (column) {
    case kSitNumber:
        return s.number;
    case kSitStaff:
        return s.staff;
    case kSitStoreys:
        return numtext::parse(QString::fromStdString(s.storeys), QLocale::c());
    default:
        break;
    }
    if (!row.impact) {
        return std::nullopt;
    }
    const StructureImpact& i = *row.impact;
    switch (column) {
    case kSitDistance:
        return numtext::shownValue(i.distance, 1);
    case kSitDeltaP:
        return numtext::shownValue(i.deltaPkPa, 2);
    case kSitImpulse:
        return numtext::shownValue(i.impulse, 1);
    case kSitDegree:
        if (!i.degree) {
            return std::nullopt;
        }
        return static_cast<double>(*i.degree);
    case kSitPercentHeavy:
        return numtext::shownValue(i.percentHeavy, 1);
    case kSitPercentTotal:
        return numtext::shownValue(i.percentTotal, 1);
    case kSitPercentPeople:
        return numtext::shownValue(i.percentPeople, 1);
    case kSitInjured:
        return numtext::shownValue(i.injured, 2);
    default:
        return std::nullopt;
    }
}

QString situationCell(const SituationRow& row, int column, const QLocale& locale) {
    const StructureRecord& s = row.structure;
    switch (column) {
    case kSitNumber:
        return QString::number(s.number);
    case kSitType:
        return QString::fromStdString(s.type);
    case kSitKind:
        return QString::fromStdString(s.kind);
    case kSitStoreys:
        return QString::fromStdString(s.storeys);
    case kSitStaff:
        return QString::number(s.staff);
    case kSitWarning:
        return situationWarning(row);
    case kSitDegree:
        return row.impact ? degreeName(row.impact->degree) : QString();
    default:
        break;
    }
    if (!row.impact) {
        return {};
    }
    const StructureImpact& i = *row.impact;
    const int decimals = situationDecimals(column);
    switch (column) {
    case kSitDistance:
        return numtext::fixed(i.distance, decimals, locale);
    case kSitDeltaP:
        return numtext::fixed(i.deltaPkPa, decimals, locale);
    case kSitImpulse:
        return numtext::fixed(i.impulse, decimals, locale);
    case kSitPercentHeavy:
        return numtext::fixed(i.percentHeavy, decimals, locale);
    case kSitPercentTotal:
        return numtext::fixed(i.percentTotal, decimals, locale);
    case kSitPercentPeople:
        return numtext::fixed(i.percentPeople, decimals, locale);
    case kSitInjured:
        return numtext::fixed(i.injured, decimals, locale);
    default:
        return {};
    }
}

QStringList situationTotalsLines(const SituationTotals& totals, const QLocale& locale) {
    const auto count = [&](DestructionDegree d) {
        return totals.byDegree[static_cast<std::size_t>(d)];
    };
    QString degrees = QStringLiteral("Сооружений по степени разрушения: полное — %1, сильное — "
                                     "%2, среднее — %3, слабое — %4, нет — %5")
                          .arg(count(DestructionDegree::Complete))
                          .arg(count(DestructionDegree::Strong))
                          .arg(count(DestructionDegree::Medium))
                          .arg(count(DestructionDegree::Weak))
                          .arg(count(DestructionDegree::None));
    if (totals.undetermined > 0) {
        degrees += QStringLiteral(", не определена — %1").arg(totals.undetermined);
    }
    if (totals.refused > 0) {
        // The reason is in each such row's note.
        degrees += QStringLiteral(", не рассчитано — %1").arg(totals.refused);
    }
    return {degrees + u'.', QStringLiteral("Сотрудников в сооружениях: %1 чел.").arg(totals.staff),
            QStringLiteral("Ожидаемое число пострадавших в сооружениях: %1 чел.")
                .arg(numtext::fixed(totals.injured, 2, locale))};
}

QString situationNote(const SituationReportInput& in, std::size_t row, const QLocale& locale) {
    const QString warning = situationCell(in.result->rows[row], kSitWarning, locale);
    if (row >= in.rowScenarios.size()) {
        return warning;
    }
    const QString scenario = QStringLiteral("сценарий «%1»").arg(in.rowScenarios[row]);
    return warning.isEmpty() ? scenario : scenario + QStringLiteral("; ") + warning;
}

docx::Document buildSituationReport(const SituationReportInput& in, const QLocale& locale,
                                    const Progress& progress) {
    if (in.result == nullptr) {
        throw DocumentError(QStringLiteral("Отчет не построен: нет результатов расчета."));
    }
    const SituationResult& r = *in.result;
    // The numbers as typed, with the separator of the document's other numbers.
    const auto typed = [&locale](const QString& text) {
        return numtext::typedNumber(text, locale);
    };
    Document d;
    // Landscape: fourteen columns need the width.
    d.pageSetup() = {40, 40, 50, 50, true};
    d.properties().title = QString::fromUtf8(kSituationTitle);

    appendBlock(
        d, 14, true, Align::Center, true,
        {QString::fromUtf8(kSituationTitle) + kCrLf, "План «" + in.planName + "»" + kCrLf + kCrLf});
    appendBlock(
        d, 12, false, Align::Left, false,
        {"Наименование КВВ:     " + in.charge.name + kCrLf,
         "Масса конденсированного ВВ (кг):     " + typed(in.charge.massText) + kCrLf,
         in.charge.energyCaption + "     " + typed(in.charge.energyText) + kCrLf,
         "Условие размещения сосредоточенного заряда:     " + in.charge.placementText + kCrLf,
         "Тротиловый эквивалент заряда (кг):     " + numtext::fixed(r.massTNT, 1, locale) + kCrLf,
         "Координаты места хранения КВВ (м):     Х = " + typed(in.xText) +
             ",  У = " + typed(in.yText) + kCrLf,
         "Масса тела человека (кг):     " + typed(in.charge.bodyMassText) + kCrLf,
         "Сооружений на плане:     " + QString::number(r.rows.size()) + kCrLf + kCrLf});
    appendByline(d, in.byline, locale);

    if (!in.scenarioLines.isEmpty()) {
        appendBlock(d, 12, true, Align::Left, true,
                    {"Сценарии (худший случай для каждого сооружения)" + kCrLf});
        QStringList lines;
        for (const QString& line : in.scenarioLines) {
            lines << line + kCrLf;
        }
        lines.back() += kCrLf;
        appendBlock(d, 12, false, Align::Left, false, lines);
    }

    // The summary first: what the table and the map show in detail follows on pages of
    // their own.
    appendBlock(d, 12, true, Align::Left, true, {"Итоги" + kCrLf});
    QStringList totals;
    for (const QString& line : situationTotalsLines(r.totals, locale)) {
        totals << line + kCrLf;
    }
    appendBlock(d, 12, false, Align::Left, false, totals);

    appendBlock(d, 12, true, Align::Left, true, {kCrLf + "Методика расчета" + kCrLf});
    appendBlock(
        d, 12, false, Align::Left, false,
        {"Для каждого сооружения определяется кратчайшее расстояние от места хранения КВВ до "
         "его контура — четырехугольника, заданного углами 1–2–3–4 на плане; если место "
         "хранения лежит внутри контура, расстояние равно нулю, а расчет ведется на "
         "расстоянии 1 м. На этом расстоянии по тротиловому эквиваленту заряда и условию его "
         "размещения вычисляются избыточное давление на фронте ударной волны ΔP и удельный "
         "импульс фазы сжатия I по тем же формулам, что и в расчете зон поражения "
         "(НПБ 107-97)." +
             kCrLf,
         "По ΔP и I вычисляются пробит-функции тяжелых разрушений зданий (критерий а) и "
         "полного разрушения промышленных зданий (критерий б), а по таблице пробит-функций "
         "базы данных — соответствующие вероятности P а) и P б). По тем же ΔP и I с учетом "
         "массы тела человека вычисляется пробит-функция поражения людей вне зданий, а по "
         "таблице — вероятность P в) для человека вне зданий на расстоянии сооружения. "
         "Степень разрушения "
         "сооружения — наибольшая из степеней (слабое, среднее, сильное, полное), пороговое "
         "давление которой, заданное для сооружения на плане, не превышает ΔP. Ожидаемое "
         "число пострадавших в сооружении равно числу сотрудников, умноженному на P а) / 100." +
             kCrLf});
    if (!in.map.isNull()) {
        // The picture is drawn at 300 dots per inch, on a page of its own; its caption stays
        // under it.
        appendBlock(d, 12, false, Align::Center, true);
        d.startPage();
        d.appendPicture(in.map, QSizeF(in.map.width() * 72.0 / 300, in.map.height() * 72.0 / 300));
        d.append(kCrLf);
        appendBlock(d, 12, true, Align::Center, false,
                    {figureCaption(1, QStringLiteral("План местности и место хранения КВВ")) +
                     kCrLf + kCrLf});
    }

    appendBlock(d, 12, true, Align::Center, true);
    if (in.map.isNull()) {
        d.append(kCrLf);
    } else {
        // After the map's page the table starts a page of its own.
        d.startPage();
    }
    d.append(tableCaption(1, QStringLiteral("Воздействие взрыва на сооружения плана")) + kCrLf);
    appendBlock(d, 8, false, Align::Left, false);
    const QStringList header = situationHeader();
    const int rows = static_cast<int>(r.rows.size());
    Table& t = d.addTable(rows + 1, kSitColumnCount);
    // Fixed layout and the header at the top of every page.
    t.autoFit = false;
    t.headerRow = true;
    t.rowsPerPart = kStructureRowsPerPart;
    t.widthsPt = kTableWidthsPt;
    t.cellMarginPt = 2;
    for (int c = 0; c < kSitColumnCount; ++c) {
        const bool text = c == kSitType || c == kSitKind || c == kSitDegree || c == kSitWarning;
        t.columnAlign << (text ? Align::Left : Align::Right);
    }
    for (int c = 0; c < kSitColumnCount; ++c) {
        t.cell(0, c) = header[c];
    }
    for (int i = 0; i < rows; ++i) {
        for (int c = 0; c < kSitColumnCount; ++c) {
            t.cell(i + 1, c) = c == kSitWarning
                                   ? situationNote(in, static_cast<std::size_t>(i), locale)
                                   : situationCell(r.rows[static_cast<std::size_t>(i)], c, locale);
        }
        if (progress && (i + 1) % 500 == 0) {
            progress(i + 1, rows);
        }
    }
    if (progress) {
        progress(rows, rows);
    }

    return d;
}

} // namespace kelmo::reports
