#pragma once

#include "reports/DocumentError.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <variant>
#include <vector>

namespace kelmo::docx {

enum class Align { Left, Center };

// Formatting of a whole paragraph: every run in it carries the same size and weight.
struct ParaFormat {
    double sizePt = 12;
    bool bold = false;
    Align align = Align::Left;

    bool operator==(const ParaFormat&) const = default;
};

struct Run {
    QString text;
    int image = -1;   // index into the document's pictures, or -1 for a text run
    QString bookmark; // a bookmark around this run, when not empty
};

struct Paragraph {
    ParaFormat format;
    QList<Run> runs;
};

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
    QStringList cells;      // row by row, rows × cols texts
    QList<double> widthsPt; // one per column, or empty for equal widths over the text width
    bool autoFit = true;
    TableBorders borders;  // the default: single, 0.5 pt, automatic colour
    ParaFormat cellFormat; // the paragraph the table was added in

    QString& cell(int r, int c) { return cells[r * cols + c]; } // 0-based
};

struct PageSetup {
    double leftPt = 90, rightPt = 90, topPt = 72, bottomPt = 72; // Word's defaults
    // Portrait A4; the report never asks for anything else.
};

// A Word document built in memory and written as an OOXML package. Everything is appended
// at the end, to the last paragraph, and a range of it is formatted at once.
class Document {
public:
    Document();

    PageSetup& pageSetup() { return m_page; }

    // The last paragraph, the one text is appended to.
    Paragraph& last() { return std::get<Paragraph>(m_blocks.back()); }
    int paragraphCount() const;

    // Marks the last paragraph as the start of the range that format changes apply to.
    void startRange();
    void setRangeSize(double sizePt);
    void setRangeBold(bool bold);
    void setRangeAlign(Align align);

    // Appends text to the last paragraph; each CR LF starts a new paragraph with the
    // formatting of the one before. The range grows over the new paragraphs.
    void append(const QString& text);
    // A bookmarked run at the end of the last paragraph.
    void appendBookmark(const QString& name, const QString& text);
    // A picture in line with the text of the last paragraph.
    void appendPicture(const QImage& image);

    // Adds the table before the last paragraph (which stays after it, as Word keeps a
    // paragraph after every table). The cells take the last paragraph's formatting.
    Table& addTable(int rows, int cols);

    // The whole package. Throws DocumentError.
    QByteArray toBytes() const;
    void save(const QString& path) const;

private:
    friend class Writer;
    using Block = std::variant<Paragraph, Table>;
    std::vector<Block> m_blocks;
    std::vector<QByteArray> m_pictures; // PNG data
    std::vector<QSize> m_pictureSizes;
    std::size_t m_rangeStart = 0;
    PageSetup m_page;
};

// Entries of a zip package, by name. Throws DocumentError.
QHash<QString, QByteArray> readPackage(const QString& path);
QHash<QString, QByteArray> readPackage(const QByteArray& data);
QByteArray writePackage(const QList<QPair<QString, QByteArray>>& entries);

// A copy of a package (a document written by this program or by Word) with its body kept,
// the page set-up replaced and the text of the named bookmarks replaced. Throws
// DocumentError naming any bookmark the document lacks.
QByteArray fillTemplate(const QHash<QString, QByteArray>& package, const PageSetup& page,
                        const QList<QPair<QString, QString>>& bookmarks);

// Names of the bookmarks of a document's body, in order.
QStringList bookmarkNames(const QByteArray& documentXml);

// Writes bytes to a file through a temporary file, so a failed write leaves no half file.
void writeFile(const QString& path, const QByteArray& data);

} // namespace kelmo::docx
