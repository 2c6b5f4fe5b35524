#include "reports/ExpertReport.h"

#include "core/NumberText.h"
#include "reports/DocxTemplate.h"
#include "reports/ReportBlocks.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace kelmo::reports {

namespace {

using docx::Align;

// One paragraph of the template; {name} marks a bookmark that holds "___" until filled. Numbers
// with a decimal comma are the method's constants: they are written as fixed numbers, which
// take the report's decimal separator when the template is filled.
void templateParagraph(docx::Document& d, const QString& text, double size = 12, bool bold = false,
                       Align align = Align::Left) {
    d.last().format = {size, bold, align};
    static const QRegularExpression mark(QStringLiteral("\\{(\\w+)\\}|(\\d+,\\d+)"));
    qsizetype pos = 0;
    for (auto it = mark.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (m.capturedStart() > pos) {
            d.append(text.mid(pos, m.capturedStart() - pos));
        }
        if (m.capturedLength(1) > 0) {
            d.appendBookmark(m.captured(1), QStringLiteral("___"));
        } else {
            d.appendNumber(m.captured(2));
        }
        pos = m.capturedEnd();
    }
    if (pos < text.size()) {
        d.append(text.mid(pos));
    }
    d.append(QStringLiteral("\r\n"));
}

} // namespace

QList<QPair<QString, QString>> expertBookmarks(const ExpertInput& in, const QLocale& locale) {
    auto f1 = [&](double v) {
        return numtext::fixed(v, 1, locale);
    };
    auto f3 = [&](double v) {
        return numtext::fixed(v, 3, locale);
    };
    const PointResult& p = in.point;
    const QString pressurePa = f1(p.deltaPkPa * 1000);
    const QString impulse = f1(p.impulse);
    const QString joint = QStringLiteral(", что соответствует ");
    return {
        {"mr1", in.distanceText},
        {"mr2", in.distanceText},
        {"mdeltP", pressurePa},
        {"mdeltP1", pressurePa},
        {"mdeltP2", pressurePa},
        {"mdeltP3", pressurePa},
        {"mF",
         in.placement == Placement::Ground
             ? QStringLiteral(", так как взрыв происходит на поверхности земли применяется "
                              "формула Ф-1")
             : QStringLiteral(", так как взрыв происходит в воздухе применяется формула Ф-1")},
        {"mIch", f1(p.ptRelImpulse)},
        {"mPch", f1(p.ptRelPressure)},
        {"mImp", impulse},
        {"mImp1", impulse},
        {"mImp2", impulse},
        {"mImp3", impulse},
        {"mM1", in.bodyMassText},
        {"mMassaVV", f1(in.massTNT)},
        {"mProbit0", f1(p.probitPeople) + joint + in.percentPeopleText + "%."},
        {"mProbit1", f1(p.probitHeavy) + joint + in.percentHeavyText + "%."},
        {"mProbit2", f1(p.probitTotal) + joint + in.percentTotalText + "%."},
        {"mV", f3(p.ptArgTotal)},
        {"mV1", f3(p.ptArgPeople)},
        // V of the heavy-damage probit: the one intermediate value no other bookmark shows.
        {"mS", f3(p.ptArgHeavy)},
    };
}

docx::Document buildExpertTemplate() {
    docx::Document d;
    d.pageSetup() = {42.525, 42.525, 42.525, 42.525};
    d.properties().title = QStringLiteral("Шаблон частного отчета для эксперта");
    auto para = [&](const QString& t) {
        templateParagraph(d, t);
    };
    auto heading = [&](const QString& t) {
        templateParagraph(d, t, 12, true);
    };

    templateParagraph(d, "Частный отчет для эксперта", 14, true, Align::Center);
    templateParagraph(d,
                      "Расчет параметров ударной волны и вероятностей поражения на заданном "
                      "удалении от места взрыва конденсированного ВВ (НПБ 107-97)",
                      12, false, Align::Center);
    para("");
    heading("1. Исходные данные");
    para("Расстояние от эпицентра взрыва: R = {mr1} м.");
    para("Масса тела человека, принятая для расчета поражения людей вне зданий: m = {mM1} кг.");
    para("Тротиловый эквивалент заряда: Mтнт = {mMassaVV} кг. Он получен пересчетом массы заряда "
         "M пропорционально теплоте взрыва: Mтнт = M · Qv / Qтнт, где Qv — теплота взрыва "
         "вещества, кДж/кг, Qтнт = 4520 кДж/кг — теплота взрыва тротила.");
    para("");
    heading("2. Избыточное давление на фронте ударной волны");
    para("Формула Ф-1: ΔP = c1 · Mтнт^(1/3) / R + c2 · Mтнт^(2/3) / R² + c3 · Mтнт / R³ "
         "(кгс/кв.см), "
         "где c1 = 0,84, c2 = 2,7, c3 = 7 для взрыва в воздухе и c1 = 1,06, c2 = 4,3, c3 = 14 для "
         "взрыва на поверхности земли; 1 кгс/кв.см = 98,0655 кПа.");
    para("Избыточное давление на расстоянии R = {mr2} м вычисляется по тротиловому "
         "эквиваленту{mF}.");
    para("Избыточное давление: ΔP = {mdeltP} Па.");
    para("");
    heading("3. Удельный импульс фазы сжатия");
    para("I = 6,3 · 98,0655 · Mтнт^(2/3) / R, Па·с.");
    para("Удельный импульс: I = {mImp} Па·с.");
    para("");
    heading("4. Пробит-функции и вероятности поражения");
    para("Вероятность поражения P находится по значению пробит-функции Pr через интеграл "
         "нормального распределения: Pr = 5 соответствует P = 50 %.");
    para("");
    heading("4.1. Тяжелые разрушения зданий (поражение человека, находящегося в здании)");
    para("Pr1 = 5 − 0,26·ln V, где V = (17500 / ΔP)^8,4 + (290 / I)^9,3.");
    para("При ΔP = {mdeltP1} Па и I = {mImp1} Па·с: V = {mS}.");
    para("Значение пробит-функции Pr1 = {mProbit1}");
    para("");
    heading("4.2. Полное разрушение промышленных зданий");
    para("Pr2 = 5 − 0,22·ln V, где V = (40000 / ΔP)^7,4 + (460 / I)^11,3.");
    para("При ΔP = {mdeltP2} Па и I = {mImp2} Па·с: V = {mV}.");
    para("Значение пробит-функции Pr2 = {mProbit2}");
    para("");
    heading("4.3. Поражение человека, находящегося вне здания");
    para("Pr3 = 5 − 5,74·ln S, где S = 4,2 / p̄ + 1,3 / ī; p̄ = ΔP / P0 — безразмерное "
         "давление, ī = I / (P0^0,5 · m^(1/3)) — безразмерный импульс, P0 = 101315 Па.");
    para("При ΔP = {mdeltP3} Па и I = {mImp3} Па·с: p̄ = {mPch}, ī = {mIch}, S = {mV1}.");
    para("Значение пробит-функции Pr3 = {mProbit0}");
    return d;
}

QByteArray buildExpertReport(const QString& templatePath, const ExpertInput& in,
                             const QLocale& locale, const ReportByline& byline) {
    if (!QFileInfo::exists(templatePath)) {
        throw DocumentError(QStringLiteral("Не найден шаблон отчета для эксперта «%1». Файл должен "
                                           "лежать в папке программы.")
                                .arg(QDir::toNativeSeparators(templatePath)));
    }
    const auto package = docx::readPackage(templatePath);
    docx::Properties properties;
    properties.title = QStringLiteral("Частный отчет для эксперта");
    const QString point = locale.decimalPoint();
    return docx::fillTemplate(package, {42.525, 42.525, 42.525, 42.525},
                              expertBookmarks(in, locale), point.isEmpty() ? u',' : point[0],
                              properties, bylineLines(byline, locale));
}

} // namespace kelmo::reports
