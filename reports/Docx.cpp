#include "reports/Docx.h"

#include "core/SafeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zip.h>

#include <cmath>
#include <map>
#include <memory>

namespace kelmo::docx {

namespace {

// A4 portrait, in twentieths of a point.
constexpr int kPageWidthDxa = 11906;
constexpr int kPageHeightDxa = 16838;
constexpr double kEmuPerPt = 12700;

const char* const kNsW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char* const kNsR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const kNsWp = "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
const char* const kNsA = "http://schemas.openxmlformats.org/drawingml/2006/main";
const char* const kNsPic = "http://schemas.openxmlformats.org/drawingml/2006/picture";

// OOXML lengths of page and table are in twentieths of a point (dxa).
int dxa(double pt) {
    return static_cast<int>(std::lround(pt * 20));
}
QString num(long long v) {
    return QString::number(v);
}
QString halfPoints(double pt) {
    return num(std::lround(pt * 2));
}
QString eighths(double pt) {
    return num(std::lround(pt * 8));
}

void writeRunProps(QXmlStreamWriter& w, const ParaFormat& f, bool fixedNumber = false) {
    w.writeStartElement("w:rPr");
    if (fixedNumber) {
        w.writeEmptyElement("w:rStyle");
        w.writeAttribute("w:val", kNumberStyleId);
    }
    if (f.bold) {
        w.writeEmptyElement("w:b");
        w.writeEmptyElement("w:bCs");
    }
    w.writeEmptyElement("w:sz");
    w.writeAttribute("w:val", halfPoints(f.sizePt));
    w.writeEmptyElement("w:szCs");
    w.writeAttribute("w:val", halfPoints(f.sizePt));
    w.writeEndElement();
}

// XML cannot hold control characters other than tab and line breaks; a typed text that has
// one would make the whole document unreadable, so they are dropped.
QString xmlSafe(const QString& text) {
    for (const QChar ch : text) {
        if (ch.unicode() < 0x20 && ch != u'\t') {
            QString clean;
            clean.reserve(text.size());
            for (const QChar c : text) {
                if (c.unicode() >= 0x20 || c == u'\t') {
                    clean += c;
                }
            }
            return clean;
        }
    }
    return text;
}

void writeTextRun(QXmlStreamWriter& w, const QString& text, const ParaFormat* f,
                  bool fixedNumber = false) {
    w.writeStartElement("w:r");
    if (f) {
        writeRunProps(w, *f, fixedNumber);
    }
    w.writeStartElement("w:t");
    w.writeAttribute("xml:space", "preserve");
    w.writeCharacters(xmlSafe(text));
    w.writeEndElement();
    w.writeEndElement();
}

int pageWidthDxa(const PageSetup& page) {
    return page.landscape ? kPageHeightDxa : kPageWidthDxa;
}

void writePageSize(QXmlStreamWriter& w, const PageSetup& page) {
    w.writeEmptyElement("w:pgSz");
    w.writeAttribute("w:w", num(pageWidthDxa(page)));
    w.writeAttribute("w:h", num(page.landscape ? kPageWidthDxa : kPageHeightDxa));
    if (page.landscape) {
        w.writeAttribute("w:orient", "landscape");
    }
    w.writeEmptyElement("w:pgMar");
    w.writeAttribute("w:top", num(dxa(page.topPt)));
    w.writeAttribute("w:right", num(dxa(page.rightPt)));
    w.writeAttribute("w:bottom", num(dxa(page.bottomPt)));
    w.writeAttribute("w:left", num(dxa(page.leftPt)));
    w.writeAttribute("w:header", "708");
    w.writeAttribute("w:footer", "708");
    w.writeAttribute("w:gutter", "0");
}

void writeSectionProps(QXmlStreamWriter& w, const PageSetup& page) {
    w.writeStartElement("w:sectPr");
    w.writeEmptyElement("w:footerReference");
    w.writeAttribute("w:type", "default");
    w.writeAttribute("r:id", "rIdFooter");
    writePageSize(w, page);
    w.writeEndElement();
}

// A field as Word writes it: begin, instruction, separator, the shown result, end.
void writeField(QXmlStreamWriter& w, const QString& instruction, const QString& shown,
                const ParaFormat* f) {
    auto fieldChar = [&](const char* type) {
        w.writeStartElement("w:r");
        if (f) {
            writeRunProps(w, *f);
        }
        w.writeEmptyElement("w:fldChar");
        w.writeAttribute("w:fldCharType", type);
        w.writeEndElement();
    };
    fieldChar("begin");
    w.writeStartElement("w:r");
    if (f) {
        writeRunProps(w, *f);
    }
    w.writeStartElement("w:instrText");
    w.writeAttribute("xml:space", "preserve");
    w.writeCharacters(QStringLiteral(" ") + instruction + QStringLiteral(" "));
    w.writeEndElement();
    w.writeEndElement();
    fieldChar("separate");
    writeTextRun(w, shown, f);
    fieldChar("end");
}

void writeParagraphProps(QXmlStreamWriter& w, const ParaFormat& f) {
    w.writeStartElement("w:pPr");
    if (f.keepNext) {
        w.writeEmptyElement("w:keepNext");
    }
    if (f.rightTabPt > 0) {
        w.writeStartElement("w:tabs");
        w.writeEmptyElement("w:tab");
        w.writeAttribute("w:val", "right");
        w.writeAttribute("w:leader", "dot");
        w.writeAttribute("w:pos", num(dxa(f.rightTabPt)));
        w.writeEndElement();
    }
    if (f.align == Align::Center) {
        w.writeEmptyElement("w:jc");
        w.writeAttribute("w:val", "center");
    }
    if (f.outlineLevel >= 0) {
        w.writeEmptyElement("w:outlineLvl");
        w.writeAttribute("w:val", num(f.outlineLevel));
    }
    writeRunProps(w, f);
    w.writeEndElement();
}

// The footer of every page: the page number, centred.
QByteArray footerXml() {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("w:ftr");
    w.writeAttribute("xmlns:w", kNsW);
    w.writeAttribute("xmlns:r", kNsR);
    w.writeStartElement("w:p");
    const ParaFormat f{10, false, Align::Center};
    writeParagraphProps(w, f);
    writeField(w, QStringLiteral("PAGE"), QStringLiteral("1"), &f);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

// Settings of a current Word (compatibility mode 15), so Word does not open the document in
// compatibility mode; Russian as the language of the text and its decimal comma.
QByteArray settingsXml(const Properties& p) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("w:settings");
    w.writeAttribute("xmlns:w", kNsW);
    w.writeEmptyElement("w:zoom");
    w.writeAttribute("w:percent", "100");
    w.writeEmptyElement("w:defaultTabStop");
    w.writeAttribute("w:val", "708");
    w.writeEmptyElement("w:characterSpacingControl");
    w.writeAttribute("w:val", "doNotCompress");
    if (p.updateFieldsOnOpen) {
        w.writeEmptyElement("w:updateFields");
        w.writeAttribute("w:val", "true");
    }
    w.writeStartElement("w:compat");
    w.writeEmptyElement("w:compatSetting");
    w.writeAttribute("w:name", "compatibilityMode");
    w.writeAttribute("w:uri", "http://schemas.microsoft.com/office/word");
    w.writeAttribute("w:val", "15");
    w.writeEndElement();
    w.writeEmptyElement("w:themeFontLang");
    w.writeAttribute("w:val", "ru-RU");
    w.writeEmptyElement("w:decimalSymbol");
    w.writeAttribute("w:val", ",");
    w.writeEmptyElement("w:listSeparator");
    w.writeAttribute("w:val", ";");
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray corePropertiesXml(const Properties& p) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("cp:coreProperties");
    w.writeAttribute("xmlns:cp",
                     "http://schemas.openxmlformats.org/package/2006/metadata/core-properties");
    w.writeAttribute("xmlns:dc", "http://purl.org/dc/elements/1.1/");
    w.writeAttribute("xmlns:dcterms", "http://purl.org/dc/terms/");
    w.writeAttribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    w.writeTextElement("dc:title", p.title);
    w.writeTextElement("dc:creator", QStringLiteral("Келмо"));
    w.writeTextElement("dc:language", QStringLiteral("ru-RU"));
    const QString when = p.created.toUTC().toString(Qt::ISODate);
    for (const char* name : {"dcterms:created", "dcterms:modified"}) {
        w.writeStartElement(name);
        w.writeAttribute("xsi:type", "dcterms:W3CDTF");
        w.writeCharacters(when);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

const char* const kAppProperties =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties" )"
    R"(xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes">)"
    R"(<Application>Kelmo</Application><DocSecurity>0</DocSecurity>)"
    R"(</Properties>)";

QByteArray stylesXml(const std::vector<ParaFormat>& cellFormats) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("w:styles");
    w.writeAttribute("xmlns:w", kNsW);
    w.writeStartElement("w:docDefaults");
    w.writeStartElement("w:rPrDefault");
    w.writeStartElement("w:rPr");
    w.writeEmptyElement("w:rFonts");
    for (const char* a : {"w:ascii", "w:hAnsi", "w:cs", "w:eastAsia"}) {
        w.writeAttribute(a, "Times New Roman");
    }
    w.writeEmptyElement("w:sz");
    w.writeAttribute("w:val", "24");
    w.writeEmptyElement("w:szCs");
    w.writeAttribute("w:val", "24");
    w.writeEmptyElement("w:lang");
    w.writeAttribute("w:val", "ru-RU");
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement("w:pPrDefault");
    w.writeStartElement("w:pPr");
    w.writeEmptyElement("w:spacing");
    w.writeAttribute("w:after", "0");
    w.writeAttribute("w:line", "240");
    w.writeAttribute("w:lineRule", "auto");
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement(); // docDefaults

    w.writeStartElement("w:style");
    w.writeAttribute("w:type", "paragraph");
    w.writeAttribute("w:default", "1");
    w.writeAttribute("w:styleId", "Normal");
    w.writeEmptyElement("w:name");
    w.writeAttribute("w:val", "Normal");
    w.writeEndElement();
    // The fixed numbers of a template: a character style that looks like the text around it.
    w.writeStartElement("w:style");
    w.writeAttribute("w:type", "character");
    w.writeAttribute("w:customStyle", "1");
    w.writeAttribute("w:styleId", kNumberStyleId);
    w.writeEmptyElement("w:name");
    w.writeAttribute("w:val", "Число");
    w.writeEndElement();
    for (std::size_t i = 0; i < cellFormats.size(); ++i) {
        const ParaFormat& f = cellFormats[i];
        w.writeStartElement("w:style");
        w.writeAttribute("w:type", "paragraph");
        w.writeAttribute("w:customStyle", "1");
        w.writeAttribute("w:styleId", QStringLiteral("Cell%1").arg(i + 1));
        w.writeEmptyElement("w:name");
        w.writeAttribute("w:val", QStringLiteral("Ячейка таблицы %1").arg(i + 1));
        w.writeEmptyElement("w:basedOn");
        w.writeAttribute("w:val", "Normal");
        w.writeStartElement("w:pPr");
        w.writeEmptyElement("w:jc");
        w.writeAttribute("w:val", f.align == Align::Center ? "center" : "left");
        w.writeEndElement();
        writeRunProps(w, f);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

const char* const kContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Default Extension="png" ContentType="image/png"/>)"
    R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
    R"(<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>)"
    R"(<Override PartName="/word/settings.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"/>)"
    R"(<Override PartName="/word/footer1.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml"/>)"
    R"(<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>)"
    R"(<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>)"
    R"(</Types>)";

const char* const kPackageRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>)"
    R"(</Relationships>)";

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};

} // namespace

// Serialises a document; one instance per save.
class Writer {
public:
    explicit Writer(const Document& doc)
        : m_doc(doc) {}

    QByteArray documentXml() {
        QByteArray out;
        out.reserve(1 << 20);
        QXmlStreamWriter w(&out);
        w.writeStartDocument("1.0", true);
        w.writeStartElement("w:document");
        w.writeAttribute("xmlns:w", kNsW);
        w.writeAttribute("xmlns:r", kNsR);
        w.writeAttribute("xmlns:wp", kNsWp);
        w.writeAttribute("xmlns:a", kNsA);
        w.writeAttribute("xmlns:pic", kNsPic);
        w.writeStartElement("w:body");
        for (const auto& block : m_doc.m_blocks) {
            if (const auto* p = std::get_if<Paragraph>(&block)) {
                writeParagraph(w, *p);
            } else {
                writeTable(w, std::get<Table>(block));
            }
        }
        writeSectionProps(w, m_doc.m_page);
        w.writeEndElement();
        w.writeEndElement();
        w.writeEndDocument();
        return out;
    }

    const std::vector<ParaFormat>& cellFormats() const { return m_cellFormats; }

private:
    int textWidthDxa() const {
        return pageWidthDxa(m_doc.m_page) - dxa(m_doc.m_page.leftPt) - dxa(m_doc.m_page.rightPt);
    }

    void writeParagraph(QXmlStreamWriter& w, const Paragraph& p) {
        w.writeStartElement("w:p");
        writeParagraphProps(w, p.format);
        for (const Run& run : p.runs) {
            if (!run.bookmark.isEmpty()) {
                w.writeEmptyElement("w:bookmarkStart");
                w.writeAttribute("w:id", num(m_bookmarkId));
                w.writeAttribute("w:name", run.bookmark);
            }
            if (run.image >= 0) {
                writePicture(w, run.image);
            } else if (!run.field.isEmpty()) {
                writeField(w, run.field, run.text, &p.format);
            } else {
                writeTextRun(w, run.text, &p.format, run.fixedNumber);
            }
            if (!run.bookmark.isEmpty()) {
                w.writeEmptyElement("w:bookmarkEnd");
                w.writeAttribute("w:id", num(m_bookmarkId++));
            }
        }
        w.writeEndElement();
    }

    void writePicture(QXmlStreamWriter& w, int index) {
        const QSizeF pt = m_doc.m_pictureSizesPt[static_cast<std::size_t>(index)];
        double cx = pt.width() * kEmuPerPt;
        double cy = pt.height() * kEmuPerPt;
        const double maxCx = textWidthDxa() / 20.0 * kEmuPerPt;
        if (cx > maxCx) { // keep the picture inside the text width
            cy = cy * maxCx / cx;
            cx = maxCx;
        }
        const QString cxs = num(std::llround(cx)), cys = num(std::llround(cy));
        const QString id = num(index + 1);
        w.writeStartElement("w:r");
        w.writeStartElement("w:drawing");
        w.writeStartElement("wp:inline");
        for (const char* a : {"distT", "distB", "distL", "distR"}) {
            w.writeAttribute(a, "0");
        }
        w.writeEmptyElement("wp:extent");
        w.writeAttribute("cx", cxs);
        w.writeAttribute("cy", cys);
        w.writeEmptyElement("wp:docPr");
        w.writeAttribute("id", id);
        w.writeAttribute("name", QStringLiteral("Рисунок %1").arg(id));
        w.writeStartElement("wp:cNvGraphicFramePr");
        w.writeEmptyElement("a:graphicFrameLocks");
        w.writeAttribute("noChangeAspect", "1");
        w.writeEndElement();
        w.writeStartElement("a:graphic");
        w.writeStartElement("a:graphicData");
        w.writeAttribute("uri", "http://schemas.openxmlformats.org/drawingml/2006/picture");
        w.writeStartElement("pic:pic");
        w.writeStartElement("pic:nvPicPr");
        w.writeEmptyElement("pic:cNvPr");
        w.writeAttribute("id", "0");
        w.writeAttribute("name", QStringLiteral("image%1.png").arg(id));
        w.writeEmptyElement("pic:cNvPicPr");
        w.writeEndElement();
        w.writeStartElement("pic:blipFill");
        w.writeEmptyElement("a:blip");
        w.writeAttribute("r:embed", "rIdImg" + id);
        w.writeStartElement("a:stretch");
        w.writeEmptyElement("a:fillRect");
        w.writeEndElement();
        w.writeEndElement();
        w.writeStartElement("pic:spPr");
        w.writeStartElement("a:xfrm");
        w.writeEmptyElement("a:off");
        w.writeAttribute("x", "0");
        w.writeAttribute("y", "0");
        w.writeEmptyElement("a:ext");
        w.writeAttribute("cx", cxs);
        w.writeAttribute("cy", cys);
        w.writeEndElement();
        w.writeStartElement("a:prstGeom");
        w.writeAttribute("prst", "rect");
        w.writeEmptyElement("a:avLst");
        w.writeEndElement();
        w.writeEndElement(); // spPr
        w.writeEndElement(); // pic
        w.writeEndElement(); // graphicData
        w.writeEndElement(); // graphic
        w.writeEndElement(); // inline
        w.writeEndElement(); // drawing
        w.writeEndElement(); // r
    }

    static void writeBorder(QXmlStreamWriter& w, const char* name, const BorderLine& b,
                            bool shadow) {
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

    QString cellStyle(const ParaFormat& f) {
        for (std::size_t i = 0; i < m_cellFormats.size(); ++i) {
            if (m_cellFormats[i] == f) {
                return QStringLiteral("Cell%1").arg(i + 1);
            }
        }
        m_cellFormats.push_back(f);
        return QStringLiteral("Cell%1").arg(m_cellFormats.size());
    }

    void writeTable(QXmlStreamWriter& w, const Table& t) {
        QStringList widths;
        for (int c = 0; c < t.cols; ++c) {
            const int tw = t.widthsPt.size() == t.cols ? dxa(t.widthsPt[c])
                                                       : textWidthDxa() / std::max(1, t.cols);
            widths << num(tw);
        }
        ParaFormat cellFormat = t.cellFormat;
        cellFormat.keepNext = false; // set row by row below
        cellFormat.outlineLevel = -1;
        cellFormat.rightTabPt = 0;
        const QString style = cellStyle(cellFormat);

        const int body = t.rows - (t.headerRow ? 1 : 0);
        if (t.rowsPerPart <= 0 || !t.headerRow || body <= t.rowsPerPart) {
            writeTablePart(w, t, widths, style, 0, t.rows);
            return;
        }
        for (int first = 1; first < t.rows; first += t.rowsPerPart) {
            if (first > 1) {
                // Two tables with nothing between them are one table to a reader: a hairline
                // empty paragraph keeps them apart.
                w.writeStartElement("w:p");
                writeParagraphProps(w, ParaFormat{1, false, Align::Left});
                w.writeEndElement();
            }
            writeTablePart(w, t, widths, style, first, std::min(t.rows, first + t.rowsPerPart));
        }
    }

    // One table of the header row (when the table has one) and rows [from, to).
    void writeTablePart(QXmlStreamWriter& w, const Table& t, const QStringList& widths,
                        const QString& style, int from, int to) {
        const TableBorders& b = t.borders;
        w.writeStartElement("w:tbl");
        w.writeStartElement("w:tblPr");
        w.writeEmptyElement("w:tblW");
        w.writeAttribute("w:w", "0");
        w.writeAttribute("w:type", "auto");
        w.writeStartElement("w:tblBorders");
        writeBorder(w, "w:top", b.top, b.shadow);
        writeBorder(w, "w:left", b.left, b.shadow);
        writeBorder(w, "w:bottom", b.bottom, b.shadow);
        writeBorder(w, "w:right", b.right, b.shadow);
        writeBorder(w, "w:insideH", b.insideH, b.shadow);
        writeBorder(w, "w:insideV", b.insideV, b.shadow);
        w.writeEndElement();
        w.writeEmptyElement("w:tblLayout");
        w.writeAttribute("w:type", t.autoFit ? "autofit" : "fixed");
        if (t.cellMarginPt >= 0) {
            w.writeStartElement("w:tblCellMar");
            for (const char* side : {"w:left", "w:right"}) {
                w.writeEmptyElement(side);
                w.writeAttribute("w:w", num(dxa(t.cellMarginPt)));
                w.writeAttribute("w:type", "dxa");
            }
            w.writeEndElement();
        }
        w.writeEmptyElement("w:tblLook");
        w.writeAttribute("w:val", "0000");
        w.writeEndElement(); // tblPr

        w.writeStartElement("w:tblGrid");
        for (const QString& tw : widths) {
            w.writeEmptyElement("w:gridCol");
            w.writeAttribute("w:w", tw);
        }
        w.writeEndElement();

        if (from > 0) {
            writeRow(w, t, widths, style, 0, false);
        }
        for (int r = from; r < to; ++r) {
            writeRow(w, t, widths, style, r, t.keepTogether && r + 1 < to);
        }
        w.writeEndElement(); // tbl
    }

    void writeRow(QXmlStreamWriter& w, const Table& t, const QStringList& widths,
                  const QString& style, int r, bool keepWithNext) {
        const TableBorders& b = t.borders;
        const bool diagonals = b.diagonalDown.single || b.diagonalUp.single;
        const bool header = t.headerRow && r == 0;
        w.writeStartElement("w:tr");
        if (header || t.keepTogether) {
            w.writeStartElement("w:trPr");
            w.writeEmptyElement("w:cantSplit");
            if (header) {
                w.writeEmptyElement("w:tblHeader");
            }
            w.writeEndElement();
        }
        // The header row stays with the first row under it.
        const bool keep = keepWithNext || (header && t.rows > 1);
        for (int c = 0; c < t.cols; ++c) {
            w.writeStartElement("w:tc");
            w.writeStartElement("w:tcPr");
            w.writeEmptyElement("w:tcW");
            w.writeAttribute("w:w", widths[c]);
            w.writeAttribute("w:type", "dxa");
            if (diagonals) {
                w.writeStartElement("w:tcBorders");
                writeBorder(w, "w:tl2br", b.diagonalDown, b.shadow);
                writeBorder(w, "w:tr2bl", b.diagonalUp, b.shadow);
                w.writeEndElement();
            }
            w.writeEndElement();
            w.writeStartElement("w:p");
            w.writeStartElement("w:pPr");
            w.writeEmptyElement("w:pStyle");
            w.writeAttribute("w:val", style);
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

    const Document& m_doc;
    std::vector<ParaFormat> m_cellFormats;
    int m_bookmarkId = 0;
};

Document::Document() {
    m_blocks.emplace_back(Paragraph{});
}

double textWidthPt(const PageSetup& page) {
    return pageWidthDxa(page) / 20.0 - page.leftPt - page.rightPt;
}

int Document::paragraphCount() const {
    int n = 0;
    for (const auto& b : m_blocks) {
        n += std::holds_alternative<Paragraph>(b) ? 1 : 0;
    }
    return n;
}

void Document::startRange() {
    m_rangeStart = m_blocks.size() - 1;
}

namespace {
template <typename F>
void forRange(std::vector<std::variant<Paragraph, Table>>& blocks, std::size_t start, F f) {
    for (std::size_t i = start; i < blocks.size(); ++i) {
        if (auto* p = std::get_if<Paragraph>(&blocks[i])) {
            f(p->format);
        }
    }
}
} // namespace

void Document::setRangeSize(double sizePt) {
    forRange(m_blocks, m_rangeStart, [&](ParaFormat& f) { f.sizePt = sizePt; });
}
void Document::setRangeBold(bool bold) {
    forRange(m_blocks, m_rangeStart, [&](ParaFormat& f) { f.bold = bold; });
}
void Document::setRangeAlign(Align align) {
    forRange(m_blocks, m_rangeStart, [&](ParaFormat& f) { f.align = align; });
}
void Document::setRangeKeepNext(bool keep) {
    forRange(m_blocks, m_rangeStart, [&](ParaFormat& f) { f.keepNext = keep; });
}

void Document::append(const QString& text) {
    const QStringList parts = text.split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            m_blocks.emplace_back(Paragraph{last().format, {}});
        }
        if (!parts[i].isEmpty()) {
            last().runs.append(Run{parts[i], -1, {}, {}});
        }
    }
}

void Document::appendBookmark(const QString& name, const QString& text) {
    last().runs.append(Run{text, -1, name, {}});
}

void Document::appendNumber(const QString& text) {
    Run run{text, -1, {}, {}};
    run.fixedNumber = true;
    last().runs.append(run);
}

void Document::appendField(const QString& instruction, const QString& cachedText) {
    last().runs.append(Run{cachedText, -1, {}, instruction});
}

void Document::appendPicture(const QImage& image, QSizeF sizePt) {
    if (image.isNull()) {
        throw DocumentError(QStringLiteral("Рисунок для отчета не построен."));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        throw DocumentError(QStringLiteral("Рисунок для отчета не удалось сохранить в PNG."));
    }
    m_pictures.push_back(png);
    if (sizePt.isEmpty()) {
        sizePt = QSizeF(image.width() * 0.75, image.height() * 0.75); // 96 dpi
    }
    m_pictureSizesPt.push_back(sizePt);
    last().runs.append(Run{{}, static_cast<int>(m_pictures.size() - 1), {}, {}});
}

Table& Document::addTable(int rows, int cols) {
    Table t;
    t.rows = rows;
    t.cols = cols;
    t.cells.resize(static_cast<qsizetype>(rows) * cols);
    t.cellFormat = last().format;
    const std::size_t pos = m_blocks.size() - 1;
    m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(pos), std::move(t));
    if (m_rangeStart >= pos) {
        ++m_rangeStart;
    }
    return std::get<Table>(m_blocks[pos]);
}

QByteArray Document::toBytes() const {
    Writer writer(*this);
    const QByteArray document = writer.documentXml();
    QByteArray rels =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rIdStyles" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)";
    rels +=
        R"(<Relationship Id="rIdSettings" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings" Target="settings.xml"/>)"
        R"(<Relationship Id="rIdFooter" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer" Target="footer1.xml"/>)";
    QList<QPair<QString, QByteArray>> entries{
        {"[Content_Types].xml", kContentTypes},
        {"_rels/.rels", kPackageRels},
        {"docProps/core.xml", corePropertiesXml(m_properties)},
        {"docProps/app.xml", kAppProperties},
        {"word/document.xml", document},
        {"word/styles.xml", stylesXml(writer.cellFormats())},
        {"word/settings.xml", settingsXml(m_properties)},
        {"word/footer1.xml", footerXml()},
    };
    for (std::size_t i = 0; i < m_pictures.size(); ++i) {
        const QString n = QString::number(i + 1);
        rels += QStringLiteral("<Relationship Id=\"rIdImg%1\" "
                               "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                               "relationships/image\" Target=\"media/image%1.png\"/>")
                    .arg(n)
                    .toUtf8();
        entries.append({"word/media/image" + n + ".png", m_pictures[i]});
    }
    rels += "</Relationships>";
    entries.append({"word/_rels/document.xml.rels", rels});
    return writePackage(entries);
}

void Document::save(const QString& path) const {
    writeFile(path, toBytes());
}

QByteArray writePackage(const QList<QPair<QString, QByteArray>>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!source) {
        throw DocumentError(QStringLiteral("Не удалось создать архив документа."));
    }
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(source);
        throw DocumentError(QStringLiteral("Не удалось создать архив документа."));
    }
    zip_source_keep(source);
    std::unique_ptr<zip_t, ZipCloser> guard(archive);
    for (const auto& [name, data] : entries) {
        zip_source_t* part =
            zip_source_buffer(archive, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
        const zip_int64_t index =
            part ? zip_file_add(archive, name.toUtf8().constData(), part, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (part) {
                zip_source_free(part);
            }
            zip_source_free(source);
            throw DocumentError(
                QStringLiteral("Не удалось добавить в архив часть «%1».").arg(name));
        }
        // Fast deflate: the parts are large and repetitive, level 1 shrinks them well enough.
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    }
    if (zip_close(guard.release()) < 0) {
        zip_source_free(source);
        throw DocumentError(QStringLiteral("Не удалось записать архив документа."));
    }
    QByteArray out;
    if (zip_source_open(source) == 0) {
        zip_source_seek(source, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(source);
        zip_source_seek(source, 0, SEEK_SET);
        out.resize(static_cast<qsizetype>(size));
        const zip_int64_t got =
            zip_source_read(source, out.data(), static_cast<zip_uint64_t>(size));
        zip_source_close(source);
        if (got != size) {
            out.clear();
        }
    }
    zip_source_free(source);
    if (out.isEmpty()) {
        throw DocumentError(QStringLiteral("Не удалось прочитать собранный архив документа."));
    }
    return out;
}

QHash<QString, QByteArray> readPackage(const QByteArray& data) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(
        data.constData(), static_cast<zip_uint64_t>(data.size()), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        if (source) {
            zip_source_free(source);
        }
        throw DocumentError(QStringLiteral("Файл не является документом Word (.docx)."));
    }
    std::unique_ptr<zip_t, ZipCloser> guard(archive);
    const auto damaged = [](const QString& why) {
        return DocumentError(QStringLiteral("Документ Word поврежден: %1").arg(why));
    };
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0 || count > kMaxPackageEntries) {
        throw damaged(QStringLiteral("в архиве %1 частей, допустимо не более %2.")
                          .arg(count)
                          .arg(kMaxPackageEntries));
    }
    QHash<QString, QByteArray> parts;
    qint64 total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE)) {
            throw damaged(QStringLiteral("не читается оглавление архива."));
        }
        const QString name = QString::fromUtf8(st.name);
        // The sizes in the archive's directory are only claims: they are checked against
        // what a report can sensibly hold before any memory is taken for them.
        if (st.size > static_cast<zip_uint64_t>(kMaxPartBytes) ||
            total + static_cast<qint64>(st.size) > kMaxPackageUnpackedBytes) {
            throw damaged(
                QStringLiteral("часть «%1» слишком велика (%2 байт).").arg(name).arg(st.size));
        }
        total += static_cast<qint64>(st.size);
        QByteArray content(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        zip_file_t* f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        zip_int64_t got = f ? 0 : -1;
        while (f && got < content.size()) {
            const zip_int64_t n =
                zip_fread(f, content.data() + got, static_cast<zip_uint64_t>(content.size() - got));
            if (n <= 0) {
                got = n < 0 ? -1 : got;
                break;
            }
            got += n;
        }
        // The part must end where the directory says it does.
        char extra = 0;
        const bool longer = f && got == content.size() && zip_fread(f, &extra, 1) > 0;
        if (f) {
            zip_fclose(f);
        }
        if (got != content.size() || longer) {
            throw damaged(QStringLiteral("не читается часть «%1».").arg(name));
        }
        parts.insert(name, content);
    }
    return parts;
}

QHash<QString, QByteArray> readPackage(const QString& path) {
    checkReadableFile(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw DocumentError(QStringLiteral("Не удалось открыть файл «%1»: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    if (file.size() > kMaxPackageBytes) {
        throw DocumentError(QStringLiteral("Файл «%1» больше %2 МБ: это не шаблон отчета.")
                                .arg(QDir::toNativeSeparators(path))
                                .arg(kMaxPackageBytes >> 20));
    }
    // Read no more than a document may hold, even if the file grows meanwhile.
    const QByteArray data = file.read(kMaxPackageBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        throw DocumentError(QStringLiteral("Не удалось прочитать файл «%1»: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    if (data.size() > kMaxPackageBytes) {
        throw DocumentError(QStringLiteral("Файл «%1» больше %2 МБ: это не шаблон отчета.")
                                .arg(QDir::toNativeSeparators(path))
                                .arg(kMaxPackageBytes >> 20));
    }
    return readPackage(data);
}

void writeFile(const QString& path, const QByteArray& data) {
    writeFileSafely(path, data);
}

namespace {

// Copies one token keeping the prefixes as written: the documents use fixed prefixes and
// Word expects them.
void copyToken(QXmlStreamReader& r, QXmlStreamWriter& w) {
    switch (r.tokenType()) {
    case QXmlStreamReader::StartDocument:
        w.writeStartDocument(QStringLiteral("1.0"), true);
        break;
    case QXmlStreamReader::StartElement: {
        w.writeStartElement(r.qualifiedName().toString());
        QStringList written;
        for (const auto& ns : r.namespaceDeclarations()) {
            const QString name =
                ns.prefix().isEmpty() ? QStringLiteral("xmlns") : "xmlns:" + ns.prefix().toString();
            w.writeAttribute(name, ns.namespaceUri().toString());
            written << name;
        }
        for (const auto& a : r.attributes()) {
            const QString name = a.qualifiedName().toString();
            if (!written.contains(name)) {
                w.writeAttribute(name, a.value().toString());
            }
        }
        break;
    }
    case QXmlStreamReader::EndElement:
        w.writeEndElement();
        break;
    case QXmlStreamReader::Characters:
        w.writeCharacters(r.text().toString());
        break;
    case QXmlStreamReader::EndDocument:
        w.writeEndDocument();
        break;
    default:
        break;
    }
}

// Copies the current element of the reader, with all it holds, to the writer.
void copyElement(QXmlStreamReader& r, QXmlStreamWriter& w) {
    int depth = 0;
    do {
        copyToken(r, w);
        if (r.isStartElement()) {
            ++depth;
        } else if (r.isEndElement()) {
            --depth;
        }
        if (depth == 0) {
            break;
        }
        r.readNext();
    } while (!r.atEnd());
}

} // namespace

QStringList bookmarkNames(const QByteArray& documentXml) {
    QStringList names;
    QXmlStreamReader r(documentXml);
    r.setNamespaceProcessing(false);
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::StartElement &&
            r.qualifiedName() == u"w:bookmarkStart") {
            names << r.attributes().value("w:name").toString();
        }
    }
    return names;
}

QByteArray fillTemplate(const QHash<QString, QByteArray>& package, const PageSetup& page,
                        const QList<QPair<QString, QString>>& bookmarks, QChar decimalSeparator,
                        const Properties& properties) {
    const QByteArray source = package.value("word/document.xml");
    if (source.isEmpty()) {
        throw DocumentError(QStringLiteral("В шаблоне нет основного текста документа."));
    }

    std::map<QString, QString> texts;
    for (const auto& [name, text] : bookmarks) {
        texts[name] = text;
    }
    QStringList missing;
    const QStringList present = bookmarkNames(source);
    for (const auto& [name, text] : bookmarks) {
        if (!present.contains(name) && !missing.contains(name)) {
            missing << name;
        }
    }
    if (!missing.isEmpty()) {
        throw DocumentError(QStringLiteral("В шаблоне нет закладок: %1.").arg(missing.join(", ")));
    }

    QByteArray out;
    out.reserve(source.size() + 4096);
    QXmlStreamReader r(source);
    r.setNamespaceProcessing(false);
    QXmlStreamWriter w(&out);
    QString activeId; // id of the bookmark being filled
    QString activeText;
    bool numberRun = false; // inside a run of a fixed number
    bool inserted = false;
    int bodyDepth = -1, depth = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (r.hasError()) {
            break;
        }
        if (r.isStartElement()) {
            const auto name = r.qualifiedName();
            if (name == u"w:body") {
                bodyDepth = depth + 1;
            }
            if (name == u"w:sectPr" && depth == bodyDepth) {
                // The template's header and footer stay; size and margins are the report's.
                w.writeStartElement("w:sectPr");
                while (r.readNextStartElement()) {
                    const auto child = r.qualifiedName();
                    if (child == u"w:headerReference" || child == u"w:footerReference") {
                        copyElement(r, w);
                    } else {
                        r.skipCurrentElement();
                    }
                }
                writePageSize(w, page);
                w.writeEndElement();
                continue;
            }
            if (name == u"w:rStyle" &&
                r.attributes().value("w:val") == QLatin1String(kNumberStyleId)) {
                numberRun = true;
            }
            if (!activeId.isEmpty() && name == u"w:r") {
                if (inserted) {
                    r.skipCurrentElement();
                    continue;
                }
                // The first run keeps its formatting and takes the new text.
                w.writeStartElement("w:r");
                while (r.readNextStartElement()) {
                    if (r.qualifiedName() == u"w:rPr") {
                        copyElement(r, w);
                    } else {
                        r.skipCurrentElement();
                    }
                }
                w.writeStartElement("w:t");
                w.writeAttribute("xml:space", "preserve");
                w.writeCharacters(xmlSafe(activeText));
                w.writeEndElement();
                w.writeEndElement();
                inserted = true;
                continue;
            }
            if (name == u"w:bookmarkEnd" && !activeId.isEmpty() &&
                r.attributes().value("w:id") == activeId) {
                if (!inserted) {
                    writeTextRun(w, activeText, nullptr);
                }
                activeId.clear();
            }
            if (name == u"w:bookmarkStart") {
                const auto it = texts.find(r.attributes().value("w:name").toString());
                if (it != texts.end()) {
                    activeId = r.attributes().value("w:id").toString();
                    activeText = it->second;
                    inserted = false;
                }
            }
            ++depth;
        } else if (r.isEndElement()) {
            --depth;
            if (r.qualifiedName() == u"w:r") {
                numberRun = false;
            }
        } else if (numberRun && r.isCharacters() && decimalSeparator != u',') {
            w.writeCharacters(r.text().toString().replace(u',', decimalSeparator));
            continue;
        }
        copyToken(r, w);
    }
    if (r.hasError()) {
        throw DocumentError(QStringLiteral("Шаблон поврежден: %1").arg(r.errorString()));
    }

    QList<QPair<QString, QByteArray>> entries;
    entries.append({"[Content_Types].xml", package.value("[Content_Types].xml")});
    for (auto it = package.begin(); it != package.end(); ++it) {
        if (it.key() == "[Content_Types].xml") {
            continue;
        }
        if (it.key() == "word/document.xml") {
            entries.append({it.key(), out});
        } else if (it.key() == "docProps/core.xml") {
            entries.append({it.key(), corePropertiesXml(properties)});
        } else {
            entries.append({it.key(), it.value()});
        }
    }
    return writePackage(entries);
}

} // namespace kelmo::docx
