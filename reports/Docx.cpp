#include "reports/Docx.h"

#include "reports/DocxParagraphs.h"
#include "reports/DocxPictures.h"
#include "reports/DocxTables.h"
#include "reports/DocxXml.h"

#include <QXmlStreamWriter>

#include <algorithm>

namespace kelmo::docx {

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

Document::Document() {
    m_blocks.emplace_back(Paragraph{});
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
            m_blocks.emplace_back(Paragraph{last().format, {}, {}});
            last().format.pageBreakBefore = false;
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
    m_pictures.push_back(pngData(image));
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

void Document::endSection(const PageSetup& page) {
    last().endsSection = page;
    m_blocks.emplace_back(Paragraph{last().format, {}, {}});
    last().format.pageBreakBefore = false;
}

QByteArray Document::documentXml(std::vector<ParaFormat>& cellFormats) const {
    const int textWidth = textWidthDxa(m_page);
    // A picture is never wider than the text of the widest page it may stand on.
    int widestText = textWidth;
    for (const auto& block : m_blocks) {
        if (const auto* p = std::get_if<Paragraph>(&block); p && p->endsSection) {
            widestText = std::max(widestText, textWidthDxa(*p->endsSection));
        }
    }
    const PictureWriter pictures(m_pictureSizesPt, widestText);
    ParagraphWriter paragraphs(pictures);
    TableWriter tables(textWidth);

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
    for (const auto& block : m_blocks) {
        if (const auto* p = std::get_if<Paragraph>(&block)) {
            paragraphs.write(w, *p);
        } else {
            tables.write(w, std::get<Table>(block));
        }
    }
    writeSectionProps(w, m_page);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    cellFormats = tables.cellFormats();
    return out;
}

QByteArray Document::toBytes() const {
    std::vector<ParaFormat> cellFormats;
    const QByteArray document = documentXml(cellFormats);
    return writePackage(documentParts(document, m_pictures, cellFormats, m_properties));
}

void Document::save(const QString& path) const {
    writeFile(path, toBytes());
}

} // namespace kelmo::docx
