#include "reports/ReportBlocks.h"

namespace kelmo::reports {

void appendBlock(docx::Document& d, double sizePt, bool bold, docx::Align align, bool keepNext,
                 const QStringList& lines) {
    d.startRange();
    d.setRangeSize(sizePt);
    d.setRangeBold(bold);
    d.setRangeAlign(align);
    d.setRangeKeepNext(keepNext);
    for (const QString& line : lines) {
        d.append(line);
    }
}

QStringList bylineLines(const ReportByline& byline, const QLocale& locale) {
    QStringList lines;
    const auto line = [&](const char* caption, const QString& value) {
        if (!value.trimmed().isEmpty()) {
            lines << QString::fromUtf8(caption) + value.trimmed();
        }
    };
    line("Организация:     ", byline.organisation);
    line("Исполнитель:     ", byline.author);
    line("Дата:     ", byline.date.isValid()
                           ? locale.toString(byline.date, QStringLiteral("dd.MM.yyyy"))
                           : QString());
    line("Программа:     ", byline.program);
    line("Шаг расчета (м):     ", byline.stepText);
    return lines;
}

void appendByline(docx::Document& d, const ReportByline& byline, const QLocale& locale) {
    QStringList lines = bylineLines(byline, locale);
    if (lines.isEmpty()) {
        return;
    }
    for (QString& line : lines) {
        line += kCrLf;
    }
    lines << kCrLf;
    appendBlock(d, 12, false, docx::Align::Left, false, lines);
}

QString tableCaption(int number, const QString& title) {
    return QStringLiteral("Таблица %1 — %2").arg(number).arg(title);
}

QString figureCaption(int number, const QString& title) {
    return QStringLiteral("Рисунок %1 — %2").arg(number).arg(title);
}

} // namespace kelmo::reports
