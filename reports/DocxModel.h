#pragma once

// What a Word document holds before it is written: paragraphs of runs, tables, the page and
// the document's properties. Document (Docx.h) builds these; the writers of the package,
// paragraphs, tables and pictures turn them into OOXML.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kelmo::docx {

enum class Align { Left, Center, Right };

// Formatting of a whole paragraph: every run in it carries the same size and weight.
struct ParaFormat {
    double sizePt = 12;
    bool bold = false;
    Align align = Align::Left;
    bool keepNext = false; // stays on the page of the paragraph (or table row) that follows
    int outlineLevel = -1; // 0, 1, …: a heading the reader's navigation lists; -1: body text
    double rightTabPt = 0; // a right-aligned tab stop with a dotted leader there, when > 0
    bool pageBreakBefore = false; // starts a new page; never passed on to the next paragraph

    bool operator==(const ParaFormat&) const = default;
};

struct PageSetup {
    double leftPt = 90, rightPt = 90, topPt = 72, bottomPt = 72; // Word's defaults
    bool landscape = false; // A4, portrait unless a wide table asks for landscape
};

// Width of the text between the side margins of the A4 page.
double textWidthPt(const PageSetup& page);

struct Run {
    QString text;
    int image = -1;           // index into the document's pictures, or -1 for a text run
    QString bookmark;         // a bookmark around this run, when not empty
    QString field;            // a field instruction (PAGEREF …); text is then its shown result
    bool fixedNumber = false; // a number of the fixed text, in the character style "Число"
};

struct Paragraph {
    ParaFormat format;
    QList<Run> runs;
    // Set on the last paragraph of a section laid out on a page of its own kind (a wide
    // picture on a landscape page); what follows starts on a new page.
    std::optional<PageSetup> endsSection;
};

// Name of the character style that marks the fixed numbers of a template's text.
inline constexpr const char* kNumberStyleId = "Number";

struct BorderLine {
    bool single = true; // false: no line
    double widthPt = 0.5;
    // Colour is always automatic.
};

// The eight border lines of a table and their shadow.
struct TableBorders {
    BorderLine top, left, bottom, right, insideH, insideV;
    BorderLine diagonalDown{false, 0}, diagonalUp{false, 0};
    bool shadow = false;
};

struct Table {
    int rows = 0;
    int cols = 0;
    QStringList cells;         // row by row, rows × cols texts
    QList<double> widthsPt;    // one per column, or empty for equal widths over the text width
    bool autoFit = true;       // false: fixed layout, the stated widths are final
    bool headerRow = false;    // row 0 repeats at the top of every page the table spans
    bool keepTogether = false; // no row splits and the rows stay on one page
    double cellMarginPt = -1;  // left and right cell margin; -1 for the reader's default
    // When > 0, the rows after the header are written as consecutive tables of this many
    // rows. Readers lay out one huge table in time that grows with the square of its rows; a
    // sequence of shorter ones opens in seconds. Each part begins on a new page with its own
    // copy of the header row, which repeats on every page the part spans: every page of rows
    // has one header, at its top. Body rows never split across pages.
    int rowsPerPart = 0;
    // The alignment of each column's cells below the header (numbers to the right); empty:
    // all as the paragraph the table was added in.
    QList<Align> columnAlign;
    TableBorders borders;  // the default: single, 0.5 pt, automatic colour
    ParaFormat cellFormat; // the paragraph the table was added in

    QString& cell(int r, int c) { return cells[r * cols + c]; } // 0-based
};

// The document properties written with the package (docProps/core.xml).
struct Properties {
    QString title;
    QDateTime created = QDateTime::currentDateTimeUtc();
    bool updateFieldsOnOpen = false; // Word refreshes the fields (page references) on opening
};

} // namespace kelmo::docx
