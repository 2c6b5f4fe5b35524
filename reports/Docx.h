#pragma once

// A Word document built in memory and written as an OOXML package. The pieces are written by
// the writers of the package (DocxPackage), paragraphs and runs (DocxParagraphs), tables
// (DocxTables) and pictures (DocxPictures); a template is filled in by DocxTemplate.

#include "reports/DocumentError.h"
#include "reports/DocxModel.h"
#include "reports/DocxPackage.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <variant>
#include <vector>

namespace kelmo::docx {

// Everything is appended at the end, to the last paragraph, and a range of it is formatted at
// once.
class Document {
public:
    Document();

    PageSetup& pageSetup() { return m_page; }
    Properties& properties() { return m_properties; }

    // The last paragraph, the one text is appended to.
    Paragraph& last() { return std::get<Paragraph>(m_blocks.back()); }
    // The first paragraph of the range that format changes apply to.
    Paragraph& rangeFirst() { return std::get<Paragraph>(m_blocks[m_rangeStart]); }
    int paragraphCount() const;

    // Marks the last paragraph as the start of the range that format changes apply to.
    void startRange();
    void setRangeSize(double sizePt);
    void setRangeBold(bool bold);
    void setRangeAlign(Align align);
    void setRangeKeepNext(bool keep);
    // The last paragraph (and a table added before it) begins a new page.
    void startPage() { last().format.pageBreakBefore = true; }

    // Appends text to the last paragraph; each CR LF starts a new paragraph with the
    // formatting of the one before. The range grows over the new paragraphs.
    void append(const QString& text);
    // A bookmarked run at the end of the last paragraph.
    void appendBookmark(const QString& name, const QString& text);
    // A fixed number of a template's text (see fillTemplate).
    void appendNumber(const QString& text);
    // A field at the end of the last paragraph, showing cachedText until the reader updates it.
    void appendField(const QString& instruction, const QString& cachedText);
    // A picture in line with the text of the last paragraph, printed at sizePt (its pixels at
    // 96 dpi when empty); never wider than the text.
    void appendPicture(const QImage& image, QSizeF sizePt = {});
    // Ends a section here: everything since the previous end is laid out on page, and what
    // follows starts on a new page laid out on the next section's page (pageSetup() for the
    // last section).
    void endSection(const PageSetup& page);

    // Adds the table before the last paragraph (which stays after it, as Word keeps a
    // paragraph after every table). The cells take the last paragraph's formatting.
    Table& addTable(int rows, int cols);

    // The whole package. Throws DocumentError.
    QByteArray toBytes() const;
    void save(const QString& path) const;

private:
    // The body (word/document.xml); collects the formats of the table cells.
    QByteArray documentXml(std::vector<ParaFormat>& cellFormats) const;

    using Block = std::variant<Paragraph, Table>;
    std::vector<Block> m_blocks;
    std::vector<QByteArray> m_pictures; // PNG data
    std::vector<QSizeF> m_pictureSizesPt;
    std::size_t m_rangeStart = 0;
    PageSetup m_page;
    Properties m_properties;
};

} // namespace kelmo::docx
