#include "reports/DocxXml.h"

#include <QXmlStreamWriter>

namespace kelmo::docx {

void writeEmpty(QXmlStreamWriter& w, const char* name,
                std::initializer_list<XmlAttribute> attributes) {
    w.writeEmptyElement(name);
    for (const XmlAttribute& a : attributes) {
        w.writeAttribute(a.name, a.value);
    }
}

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

int pageWidthDxa(const PageSetup& page) {
    return page.landscape ? kPageHeightDxa : kPageWidthDxa;
}

int textWidthDxa(const PageSetup& page) {
    return pageWidthDxa(page) - dxa(page.leftPt) - dxa(page.rightPt);
}

double textWidthPt(const PageSetup& page) {
    return pageWidthDxa(page) / 20.0 - page.leftPt - page.rightPt;
}

void writePageSize(QXmlStreamWriter& w, const PageSetup& page) {
    w.writeEmptyElement("w:pgSz");
    w.writeAttribute("w:w", num(pageWidthDxa(page)));
    w.writeAttribute("w:h", num(page.landscape ? kPageWidthDxa : kPageHeightDxa));
    if (page.landscape) {
        w.writeAttribute("w:orient", "landscape");
    }
    writeEmpty(w, "w:pgMar",
               {{"w:top", num(dxa(page.topPt))},
                {"w:right", num(dxa(page.rightPt))},
                {"w:bottom", num(dxa(page.bottomPt))},
                {"w:left", num(dxa(page.leftPt))},
                {"w:header", "708"},
                {"w:footer", "708"},
                {"w:gutter", "0"}});
}

void writeSectionProps(QXmlStreamWriter& w, const PageSetup& page) {
    w.writeStartElement("w:sectPr");
    writeEmpty(w, "w:footerReference", {{"w:type", "default"}, {"r:id", "rIdFooter"}});
    writePageSize(w, page);
    w.writeEndElement();
}

} // namespace kelmo::docx
