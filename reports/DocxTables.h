#pragma once

// Tables of a document: grid, borders, rows and cells, and a long table written as a run of
// shorter tables, each on a new page under its own header row. The cells' paragraphs take styles
// named Cell1, Cell2, … (one for each distinct formatting), which the package's styles part
// defines. For the Docx*.cpp writers, not for the reports.

#include "reports/DocxModel.h"

#include <vector>

class QXmlStreamWriter;

namespace kelmo::docx {

// Writes the tables of one document body and collects the formats of their cells.
class TableWriter {
public:
    explicit TableWriter(int textWidthDxa)
        : m_textWidthDxa(textWidthDxa) {}

    void write(QXmlStreamWriter& w, const Table& t);

    // The cell formats met so far; the n-th is the style Cell<n+1>.
    const std::vector<ParaFormat>& cellFormats() const { return m_cellFormats; }

private:
    QString cellStyle(const ParaFormat& f);
    // Styles: the header row's, then one per column for the rows below it.
    void writePart(QXmlStreamWriter& w, const Table& t, const QStringList& widths,
                   const QStringList& styles, int from, int to) const;
    void writeRow(QXmlStreamWriter& w, const Table& t, const QStringList& widths,
                  const QStringList& styles, int r, bool keepWithNext) const;

    int m_textWidthDxa;
    std::vector<ParaFormat> m_cellFormats;
};

} // namespace kelmo::docx
