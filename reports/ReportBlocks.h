#pragma once

// Blocks of a report's text: ranges of paragraphs appended in one formatting.

#include "reports/Docx.h"
#include "reports/ReportData.h"

#include <QLocale>

#include <QString>
#include <QStringList>

namespace kelmo::reports {

// Document::append starts a new paragraph at each CR LF.
inline const QString kCrLf = QStringLiteral("\r\n");

// Starts a range at the last paragraph in this size, weight and alignment, kept or not on the
// page of the paragraph after it, and appends the lines to it. Without lines it only sets the
// formatting of what comes next (a table, a picture).
void appendBlock(docx::Document& d, double sizePt, bool bold, docx::Align align, bool keepNext,
                 const QStringList& lines = {});

// The byline's lines ("Организация: …", "Исполнитель: …", "Дата: …", "Программа: …",
// "Шаг расчета (м): …"), without the empty ones.
QStringList bylineLines(const ReportByline& byline, const QLocale& locale);
// Those lines as a left-aligned block, with an empty line after them.
void appendByline(docx::Document& d, const ReportByline& byline, const QLocale& locale);

// Numbered captions: "Таблица 1 — …", "Рисунок 1 — …".
QString tableCaption(int number, const QString& title);
QString figureCaption(int number, const QString& title);

} // namespace kelmo::reports
