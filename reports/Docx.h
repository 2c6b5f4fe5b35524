#pragma once

#include "reports/DocumentError.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPair>
#include <QSize>
#include <QSizeF>
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
    bool keepNext = false; // stays on the page of the paragraph (or table row) that follows
    int outlineLevel = -1; // 0, 1, …: a heading the reader's navigation lists; -1: body text
    double rightTabPt = 0; // a right-aligned tab stop with a dotted leader there, when > 0

    bool operator==(const ParaFormat&) const = default;
};

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
    QStringList cells;         // row by row, rows × cols texts
    QList<double> widthsPt;    // one per column, or empty for equal widths over the text width
    bool autoFit = true;       // false: fixed layout, the stated widths are final
    bool headerRow = false;    // row 0 repeats at the top of every page the table spans
    bool keepTogether = false; // no row splits and the rows stay on one page
    double cellMarginPt = -1;  // left and right cell margin; -1 for the reader's default
    // When > 0, the rows after the header are written as consecutive tables of this many
    // rows, each beginning with the header row. Readers lay out one huge table in time that
    // grows with the square of its rows; a sequence of short ones opens in seconds.
    int rowsPerPart = 0;
    TableBorders borders;  // the default: single, 0.5 pt, automatic colour
    ParaFormat cellFormat; // the paragraph the table was added in

    QString& cell(int r, int c) { return cells[r * cols + c]; } // 0-based
};

struct PageSetup {
    double leftPt = 90, rightPt = 90, topPt = 72, bottomPt = 72; // Word's defaults
    bool landscape = false; // A4, portrait unless a wide table asks for landscape
};

// Width of the text between the side margins of the A4 page.
double textWidthPt(const PageSetup& page);

// The document properties written with the package (docProps/core.xml).
struct Properties {
    QString title;
    QDateTime created = QDateTime::currentDateTimeUtc();
    bool updateFieldsOnOpen = false; // Word refreshes the fields (page references) on opening
};

// A Word document built in memory and written as an OOXML package. Everything is appended
// at the end, to the last paragraph, and a range of it is formatted at once.
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
    std::vector<QSizeF> m_pictureSizesPt;
    std::size_t m_rangeStart = 0;
    PageSetup m_page;
    Properties m_properties;
};

// Bounds of a package the program reads: a report template is a few hundred kilobytes, so
// anything far above these is damaged or hostile.
inline constexpr qint64 kMaxPackageBytes = 64 << 20;          // the file itself
inline constexpr qint64 kMaxPartBytes = 64 << 20;             // one part, unpacked
inline constexpr qint64 kMaxPackageUnpackedBytes = 256 << 20; // all parts, unpacked
inline constexpr qint64 kMaxPackageEntries = 10000;

// Entries of a zip package, by name. Throws DocumentError, or FileError for a path that is
// not a regular file.
QHash<QString, QByteArray> readPackage(const QString& path);
QHash<QString, QByteArray> readPackage(const QByteArray& data);
QByteArray writePackage(const QList<QPair<QString, QByteArray>>& entries);

// A copy of a package (a document written by this program or by Word) with its body kept,
// the page set-up replaced (its header and footer kept) and the text of the named bookmarks
// replaced. Runs in the character style "Число" are fixed numbers of the template's text:
// their decimal commas take the given separator, so the document has one. The core
// properties, when the package has them, get the given title and time. Throws DocumentError
// naming any bookmark the document lacks.
QByteArray fillTemplate(const QHash<QString, QByteArray>& package, const PageSetup& page,
                        const QList<QPair<QString, QString>>& bookmarks,
                        QChar decimalSeparator = u',', const Properties& properties = {});

// Name of the character style that marks the fixed numbers of a template's text.
inline constexpr const char* kNumberStyleId = "Number";

// Names of the bookmarks of a document's body, in order.
QStringList bookmarkNames(const QByteArray& documentXml);

// Writes bytes to a file through a temporary file and one rename, so a failed write leaves
// the old file as it was. Throws FileError.
void writeFile(const QString& path, const QByteArray& data);

} // namespace kelmo::docx
