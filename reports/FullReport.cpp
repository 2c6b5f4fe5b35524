#include "reports/FullReport.h"

#include "core/NumberText.h"
#include "core/ProfileText.h"
#include "reports/ReportBlocks.h"

#include <algorithm>
#include <cmath>

namespace kelmo::reports {

namespace {

using docx::Align;
using docx::Document;
using docx::Table;

QString radiusCell(double v, double step, const QLocale& locale) {
    return v == 0 ? QStringLiteral("-") : numtext::distance(v, step, locale);
}

QString zoneCell(float v, const QLocale& locale) {
    return v == 0.0f ? QStringLiteral("-") : numtext::generalSingle(v, locale);
}

// Headings and captions stay on the page of what they introduce.
void headingBlock(Document& d, double size, const QStringList& texts) {
    appendBlock(d, size, true, Align::Center, true, texts);
}

void textBlock(Document& d, const QStringList& lines) {
    appendBlock(d, 14, false, Align::Left, false, lines);
}

// A table in the last paragraph, with the default border line all round and inside. The
// result tables are short: their rows stay together on one page.
Table& tableBlock(Document& d, const QList<QStringList>& rows, const QList<double>& widths,
                  double sizePt = 0) {
    d.startRange();
    if (sizePt > 0) {
        d.setRangeSize(sizePt);
    }
    d.setRangeBold(false);
    const int cols = static_cast<int>(rows.first().size());
    Table& t = d.addTable(static_cast<int>(rows.size()), cols);
    t.autoFit = true;
    t.keepTogether = true;
    for (int r = 0; r < t.rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            t.cell(r, c) = rows[r][c];
        }
    }
    t.widthsPt = widths;
    return t;
}

QStringList depthColumn(const CalcState& s, int function, const QLocale& locale) {
    QStringList out;
    for (int row = 1; row <= 5; ++row) {
        out << zoneDepthText(s, row, function, locale);
    }
    return out;
}

void chartSection(Document& d, int number, const QString& caption, const QImage& image) {
    d.startRange();
    d.setRangeSize(14);
    d.append(kCrLf + kCrLf);
    d.append(figureCaption(number, caption) + kCrLf);
    d.setRangeAlign(Align::Center);
    d.setRangeBold(true);
    d.setRangeKeepNext(true); // the caption goes with its chart
    // The range began at the picture before; it must not pull this section to its page.
    d.rangeFirst().format.keepNext = false;

    appendBlock(d, 14, true, Align::Center, false);
    d.appendPicture(image, charts::kReportChartSizePt);
}

} // namespace

QList<double> kPaTableWidthsPt() {
    // "Давление," at 12 pt and five digits in every value column, over the 495.3 pt of text.
    QList<double> widths{66};
    for (int i = 0; i < 13; ++i) {
        widths << 33;
    }
    return widths;
}

double kPaTableSizePt(const QStringList& radii) {
    // Thirteen value columns share the page: a radius of many digits (a far level, a fine
    // step) gets a smaller type rather than a break inside the number. In the report's serif
    // font a digit is half an em wide and a decimal separator a quarter.
    double widestEm = 0.5;
    for (const QString& r : radii) {
        double em = 0;
        for (const QChar ch : r) {
            em += ch.isDigit() ? 0.5 : 0.25;
        }
        widestEm = std::max(widestEm, em);
    }
    const double room = kPaTableWidthsPt().last() - 2 * kPaTableCellMarginPt - 1;
    const double fitting = std::floor(2 * room / widestEm) / 2; // whole or half points
    return std::clamp(fitting, 6.0, 12.0);
}

QList<double> numericTableWidthsPt() {
    // The digits of the report's serif font are half an em wide: 16 characters take 96 pt at
    // 12 pt, and the cell margins 10.8 pt more. The rest holds values of 13 digits.
    return {115, 95, 95, 95, 95};
}

QString zoneDepthText(const CalcState& s, int zoneRow, int function, const QLocale& locale) {
    const auto& z = s.zoneRadii;
    switch (zoneRow) {
    case 1: { // the safe zone lies beyond the last boundary
        const float v = z(4, function);
        return v == 0.0f ? QStringLiteral("-") : ">" + numtext::generalSingle(v, locale);
    }
    case 2:
        return zoneCell(z(4, function), locale);
    case 3:
        return zoneCell(z(3, function), locale);
    case 4:
        return zoneCell(z(2, function), locale);
    default:
        return zoneCell(z(1, function), locale);
    }
}

docx::Document buildFullReport(const CalcState& s, const ChargeDescription& charge,
                               const ReportCharts& charts, const QLocale& locale,
                               const Progress& progress, const ReportByline& byline) {
    Document d;
    d.pageSetup() = {50, 50, 60, 60};
    d.properties().title = QStringLiteral("Результаты расчета при взрыве КВВ");
    auto rc = [&](double v) {
        return radiusCell(v, s.step, locale);
    };
    auto gen = [&](double v) {
        return numtext::general(v, locale);
    };

    headingBlock(d, 14, {"Результаты расчета при взрыве КВВ" + kCrLf + kCrLf});
    textBlock(d, {"Наименование КВВ:     " + charge.name + kCrLf,
                  "Масса конденсированного ВВ (кг):     " + charge.massText + kCrLf,
                  charge.energyCaption + charge.energyText + kCrLf,
                  "Условие размещения сосредоточенного заряда:     " + charge.placementText + kCrLf,
                  kCrLf + kCrLf});
    appendByline(d, byline, locale);
    int table = 0;
    const auto numbered = [&table](const QString& heading) {
        return tableCaption(++table, heading);
    };

    // A: heavy damage of buildings and people inside.
    headingBlock(d, 14,
                 {numbered("Результаты расчета зон тяжелых разрушений зданий  и поражения "
                           "человека, находящегося в здании") +
                  kCrLf + kCrLf});
    {
        const QStringList depth = depthColumn(s, kHeavy, locale);
        tableBlock(d,
                   {{"Характеристика зоны поражения", "Вероятность поражения человека, Рпор",
                     "Глубина зоны, м"},
                    {"Зона безопасности", "Рпор<=0,01", depth[0]},
                    {"Зона возможного слабого поражения", "0,01<Рпор<=0,33", depth[1]},
                    {"Зона возможного среднего поражения", "0,33<Рпор<=0,5", depth[2]},
                    {"Зона возможного сильного поражения", "0,5<Рпор<=0,99", depth[3]},
                    {"Зона безусловного поражения", "Рпор>0,99", depth[4]}},
                   {235, 155, 110});
    }

    // B: radii in kgf/cm².
    headingBlock(
        d, 14,
        {kCrLf + kCrLf, numbered("Радиусы избыточного давления (кгс/кв.см), м") + kCrLf + kCrLf});
    {
        QStringList values{"Радиус зоны, м"};
        for (int k = 1; k <= 7; ++k) {
            values << rc(s.radiiKgf[k]);
        }
        QStringList heads{"Давление, кгс/кв.см"};
        for (const double kgf : kThresholdsKgf) {
            heads << gen(kgf);
        }
        tableBlock(d, {heads, values}, {100, 50, 50, 50, 50, 50, 50, 50});
    }

    // C: radii in kPa, with the three extra thresholds in their places.
    headingBlock(
        d, 12, {kCrLf + kCrLf, numbered("Радиусы избыточного давления (кПа), м") + kCrLf + kCrLf});
    {
        const auto& k = s.radiiKPa;
        const QStringList radii{"Радиус зоны, м",  rc(k[1]), rc(k[2]),          rc(s.radius53kPa),
                                rc(k[3]),          rc(k[4]), rc(s.radius28kPa), rc(k[5]),
                                rc(s.radius12kPa), rc(k[6]), rc(k[7]),          rc(k[8]),
                                rc(k[9]),          rc(k[10])};
        tableBlock(d,
                   {{"Давление, кПа", "100", "70", "53", "50", "30", "28", "20", "12", "10", "7",
                     "5", "3", "1"},
                    radii},
                   kPaTableWidthsPt(), kPaTableSizePt(radii.mid(1)))
            .cellMarginPt = kPaTableCellMarginPt;
    }

    // D: deterministic criteria for buildings.
    headingBlock(d, 14,
                 {kCrLf + kCrLf,
                  numbered("Детерминированные критерии разрушения зданий избыточным давлением при "
                           "взрыве КВВ на открытом пространстве") +
                      kCrLf + kCrLf});
    tableBlock(d,
               {{"Степень поражения", "Давление, кПа", "Радиус зоны, м"},
                {"Полное разрушение зданий", "100", rc(s.radiiKPa[1])},
                {"50% разрушение зданий", "53", rc(s.radius53kPa)},
                {"Средние повреждения зданий", "28", rc(s.radius28kPa)},
                {"Умеренные повреждения зданий (повреждение внутренних перегородок, рам, дверей и "
                 "т.п.)",
                 "12", rc(s.radius12kPa)},
                {"Нижний порог повреждения человека волной давления", "5", rc(s.radiiKPa[8])},
                {"Малые повреждения (разбита часть остекления)", "3", rc(s.radiiKPa[9])},
                {"Нижний порог безопасной зоны", "1", rc(s.radiiKPa[10])}},
               {});

    // E: deterministic criteria for people; ranges without a zero test.
    headingBlock(
        d, 14,
        {kCrLf + kCrLf,
         numbered("Детерминированные критерии поражения людей избыточным давлением при взрыве "
                  "КВВ на открытом пространстве") +
             kCrLf + kCrLf});
    {
        const auto& c = s.radiiCriteria; // 800, 500, 350, 300, 200, 133 kPa
        auto span = [&](double a, double b) {
            return numtext::distance(a, s.step, locale) + "..." +
                   numtext::distance(b, s.step, locale);
        };
        tableBlock(d,
                   {{"Уровень поражения", "Давление, кПа", "Радиус зоны, м"},
                    {"Безусловно смертельные поражения", "500…800", span(c[2], c[1])},
                    {"Летальный исход 50%", "350…500", span(c[3], c[2])},
                    {"Порог смертельного поражения", "200…300", span(c[5], c[4])},
                    {"Тяжелая степень поражения легких", "133…200", span(c[6], c[5])},
                    {"Разрыв барабанных перепонок", "100…133", span(s.radiiKgf[1], c[6])}},
                   {});
    }

    // F, G, H: zone depths of each damage function.
    struct DepthTable {
        QString heading;
        int function;
        QStringList labels;
    };
    const DepthTable depthTables[] = {
        {"Результаты расчета зон для тяжелых разрушений зданий (поражения человека, находящегося "
         "в здании)",
         kHeavy,
         {"Вероятность, P", "Р<=0,01", "0,01<Р<=0,33", "0,33<Р<=0,5", "0,5<Р<=0,99", "Р>0,99"}},
        {"Результаты расчета зон полного разрушения промышленных зданий ",
         kTotal,
         {"Вероятность разрушения здания, Рраз", "Рпор<=0,01", "0,01<Рраз<=0,33", "0,33<Рраз<=0,5",
          "0,5<Рраз<=0,99", "Рраз>0,99"}},
        {"Результаты расчета зон для воздействия волны давления на человека, находящегося вне "
         "здания",
         kPeople,
         {"Вероятность, P", "Р<=0,01", "0,01<Р<=0,33", "0,33<Р<=0,5", "0,5<Р<=0,99", "Р>0,99"}},
    };
    for (const DepthTable& t : depthTables) {
        headingBlock(d, 14, {kCrLf + kCrLf, numbered(t.heading) + kCrLf + kCrLf});
        const QStringList depth = depthColumn(s, t.function, locale);
        QList<QStringList> rows{{t.labels[0], "Глубина зоны, м"}};
        for (int i = 0; i < 5; ++i) {
            rows.append({t.labels[i + 1], depth[i]});
        }
        tableBlock(d, rows, {335, 155});
    }

    // Charts.
    int figure = 0;
    chartSection(d, ++figure,
                 "График зависимости давления (кгс/кв.см) от расстояния (м) (удаления от места "
                 "взрыва)",
                 charts.pressureKgf);
    if (charts.range) {
        chartSection(d, ++figure,
                     "График зависимости давления (кгс/кв.см) от расстояния (м) (удаления от места "
                     "взрыва) по заданному диапазону (от " +
                         charts.range->fromText + " м до " + charts.range->toText + " м)",
                     charts.range->image);
    }
    chartSection(d, ++figure, "График зависимости давления (кПа) от расстояния",
                 charts.pressureKPa);
    chartSection(d, ++figure,
                 "График пробит-функции для воздействия волны давления на человека, находящегося "
                 "вне здания",
                 charts.probitPeople);
    chartSection(d, ++figure,
                 "График пробит-функции для тяжелых разрушений зданий (поражения человека, "
                 "находящегося в здании)",
                 charts.probitHeavy);
    chartSection(d, ++figure, "График пробит-функции для полных разрушений зданий",
                 charts.probitTotal);

    // Numeric table: the grid's header and every row of the profile.
    appendBlock(d, 12, false, Align::Left, true,
                {numbered("Числовые результаты расчета на заданном удалении") + kCrLf});
    d.startRange();
    d.setRangeBold(false);
    d.setRangeSize(12);
    const QStringList header = profile::header();
    const int rows = std::max(0, s.pointCount);
    Table& t = d.addTable(rows + 1, static_cast<int>(header.size()));
    // Fixed layout over the text width, the header row on every page and parts of
    // kNumericRowsPerPart rows: a reader lays out each part on its own, so the time to open
    // the report grows only with its rows. A distance on one line keeps the rows one line
    // high, which halves the pages of a long table.
    t.autoFit = false;
    t.widthsPt = numericTableWidthsPt();
    t.headerRow = true;
    t.rowsPerPart = kNumericRowsPerPart;
    t.borders.top = t.borders.left = t.borders.bottom = t.borders.right = {true, 0.5};
    t.borders.insideH = t.borders.insideV = {true, 0.75};
    t.borders.diagonalDown = t.borders.diagonalUp = {false, 0};
    t.borders.shadow = false;
    for (int c = 0; c < t.cols; ++c) {
        t.cell(0, c) = header[c];
    }
    for (int i = 1; i <= rows; ++i) {
        const QStringList cells = profile::rowTexts(s, i, locale);
        for (int c = 0; c < t.cols; ++c) {
            t.cell(i, c) = cells[c];
        }
        if (progress && i % 2000 == 0) {
            progress(i, rows);
        }
    }
    if (progress) {
        progress(rows, rows);
    }
    return d;
}

} // namespace kelmo::reports
