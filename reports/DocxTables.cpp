#include "reports/DocxTables.h"

#include "reports/DocxParagraphs.h"
#include "reports/DocxXml.h"

#include <QXmlStreamWriter>

#include <algorithm>

namespace kelmo::docx {

namespace {

void writeBorder(QXmlStreamWriter& w, const char* name, const BorderLine& b, bool shadow) {
    w.writeEmptyElement(name);
    if (!b.single) {
        w.writeAttribute("w:val", "nil");
        return;
    }
    w.writeAttribute("w:val", "single");
    w.writeAttribute("w:sz", eighths(b.widthPt));
    w.writeAttribute("w:space", "0");
    w.writeAttribute("w:color", "auto");
    if (shadow) {
        w.writeAttribute("w:shadow", "1");
    }
}

} // namespace

QString TableWriter::cellStyle(const ParaFormat& f) {
    for (std::size_t i = 0; i < m_cellFormats.size(); ++i) {
        if (m_cellFormats[i] == f) {
            return QStringLiteral("Cell%1").arg(i + 1);
        }
    }
    m_cellFormats.push_back(f);
    return QStringLiteral("Cell%1").arg(m_cellFormats.size());
}

void TableWriter::write(QXmlStreamWriter& w, const Table& t) {
    QStringList widths;
    for (int c = 0; c < t.cols; ++c) {
        const int tw =
            t.widthsPt.size() == t.cols ? dxa(t.widthsPt[c]) : m_textWidthDxa / std::max(1, t.cols);
        widths << num(tw);
    }
    ParaFormat cellFormat = t.cellFormat;
    cellFormat.keepNext = false; // set row by row below
    cellFormat.pageBreakBefore = false;
    cellFormat.outlineLevel = -1;
    cellFormat.rightTabPt = 0;
    QStringList styles{cellStyle(cellFormat)};
    for (int c = 0; c < t.cols; ++c) {
        ParaFormat column = cellFormat;
        if (t.columnAlign.size() == t.cols) {
            column.align = t.columnAlign[c];
        }
        styles << cellStyle(column);
    }

    const int body = t.rows - (t.headerRow ? 1 : 0);
    if (t.rowsPerPart <= 0 || !t.headerRow || body <= t.rowsPerPart) {
        writePart(w, t, widths, styles, 0, t.rows);
        return;
    }
    for (int first = 1; first < t.rows; first += t.rowsPerPart) {
        if (first > 1) {
            // Two tables with nothing between them are one table to a reader: a hairline
            // empty paragraph keeps them apart and begins the page the next part starts on.
            ParaFormat separator{1, false, Align::Left};
            separator.pageBreakBefore = true;
            w.writeStartElement("w:p");
            writeParagraphProps(w, separator);
            w.writeEndElement();
        }
        writePart(w, t, widths, styles, first, std::min(t.rows, first + t.rowsPerPart));
    }
}

// One table of rows [from, to), after the header row when the table has one.
void TableWriter::writePart(QXmlStreamWriter& w, const Table& t, const QStringList& widths,
                            const QStringList& styles, int from, int to) const {
    const TableBorders& b = t.borders;
    w.writeStartElement("w:tbl");
    w.writeStartElement("w:tblPr");
    writeEmpty(w, "w:tblW", {{"w:w", "0"}, {"w:type", "auto"}});
    w.writeStartElement("w:tblBorders");
    writeBorder(w, "w:top", b.top, b.shadow);
    writeBorder(w, "w:left", b.left, b.shadow);
    writeBorder(w, "w:bottom", b.bottom, b.shadow);
    writeBorder(w, "w:right", b.right, b.shadow);
    writeBorder(w, "w:insideH", b.insideH, b.shadow);
    writeBorder(w, "w:insideV", b.insideV, b.shadow);
    w.writeEndElement();
    writeEmpty(w, "w:tblLayout", {{"w:type", t.autoFit ? "autofit" : "fixed"}});
    if (t.cellMarginPt >= 0) {
        w.writeStartElement("w:tblCellMar");
        for (const char* side : {"w:left", "w:right"}) {
            writeEmpty(w, side, {{"w:w", num(dxa(t.cellMarginPt))}, {"w:type", "dxa"}});
        }
        w.writeEndElement();
    }
    writeEmpty(w, "w:tblLook", {{"w:val", "0000"}});
    w.writeEndElement(); // tblPr

    w.writeStartElement("w:tblGrid");
    for (const QString& tw : widths) {
        writeEmpty(w, "w:gridCol", {{"w:w", tw}});
    }
    w.writeEndElement();

    if (t.headerRow && from > 0) {
        writeRow(w, t, widths, styles, 0, t.keepTogether);
    }
    for (int r = from; r < to; ++r) {
        writeRow(w, t, widths, styles, r, t.keepTogether && r + 1 < to);
    }
    w.writeEndElement(); // tbl
}

void TableWriter::writeRow(QXmlStreamWriter& w, const Table& t, const QStringList& widths,
                           const QStringList& styles, int r, bool keepWithNext) const {
    const TableBorders& b = t.borders;
    const bool diagonals = b.diagonalDown.single || b.diagonalUp.single;
    const bool header = t.headerRow && r == 0;
    w.writeStartElement("w:tr");
    // No row is cut by a page break: a row of numbers read across two pages misleads.
    w.writeStartElement("w:trPr");
    w.writeEmptyElement("w:cantSplit");
    if (header) {
        w.writeEmptyElement("w:tblHeader");
    }
    w.writeEndElement();
    // The header row stays with the first row under it.
    const bool keep = keepWithNext || (header && t.rows > 1);
    for (int c = 0; c < t.cols; ++c) {
        w.writeStartElement("w:tc");
        w.writeStartElement("w:tcPr");
        writeEmpty(w, "w:tcW", {{"w:w", widths[c]}, {"w:type", "dxa"}});
        if (diagonals) {
            w.writeStartElement("w:tcBorders");
            writeBorder(w, "w:tl2br", b.diagonalDown, b.shadow);
            writeBorder(w, "w:tr2bl", b.diagonalUp, b.shadow);
            w.writeEndElement();
        }
        w.writeEndElement();
        w.writeStartElement("w:p");
        w.writeStartElement("w:pPr");
        writeEmpty(w, "w:pStyle", {{"w:val", header ? styles[0] : styles[c + 1]}});
        if (keep) {
            w.writeEmptyElement("w:keepNext");
        }
        w.writeEndElement();
        const QString& text = t.cells[r * t.cols + c];
        if (!text.isEmpty()) {
            writeTextRun(w, text, nullptr);
        }
        w.writeEndElement(); // p
        w.writeEndElement(); // tc
    }
    w.writeEndElement(); // tr
}

} // namespace kelmo::docx
