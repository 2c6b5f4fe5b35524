#include "reports/DocxParagraphs.h"

#include "reports/DocxPictures.h"
#include "reports/DocxXml.h"

#include <QXmlStreamWriter>

namespace kelmo::docx {

void writeRunProps(QXmlStreamWriter& w, const ParaFormat& f, bool fixedNumber) {
    w.writeStartElement("w:rPr");
    if (fixedNumber) {
        writeEmpty(w, "w:rStyle", {{"w:val", kNumberStyleId}});
    }
    if (f.bold) {
        w.writeEmptyElement("w:b");
        w.writeEmptyElement("w:bCs");
    }
    writeEmpty(w, "w:sz", {{"w:val", halfPoints(f.sizePt)}});
    writeEmpty(w, "w:szCs", {{"w:val", halfPoints(f.sizePt)}});
    w.writeEndElement();
}

void writeTextRun(QXmlStreamWriter& w, const QString& text, const ParaFormat* f, bool fixedNumber) {
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

void writeField(QXmlStreamWriter& w, const QString& instruction, const QString& shown,
                const ParaFormat* f) {
    auto fieldChar = [&](const char* type) {
        w.writeStartElement("w:r");
        if (f) {
            writeRunProps(w, *f);
        }
        writeEmpty(w, "w:fldChar", {{"w:fldCharType", type}});
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

void writeParagraphProps(QXmlStreamWriter& w, const ParaFormat& f, const PageSetup* endsSection) {
    w.writeStartElement("w:pPr");
    if (f.keepNext) {
        w.writeEmptyElement("w:keepNext");
    }
    if (f.pageBreakBefore) {
        w.writeEmptyElement("w:pageBreakBefore");
    }
    if (f.rightTabPt > 0) {
        w.writeStartElement("w:tabs");
        writeEmpty(w, "w:tab",
                   {{"w:val", "right"}, {"w:leader", "dot"}, {"w:pos", num(dxa(f.rightTabPt))}});
        w.writeEndElement();
    }
    if (f.align == Align::Center) {
        writeEmpty(w, "w:jc", {{"w:val", "center"}});
    } else if (f.align == Align::Right) {
        writeEmpty(w, "w:jc", {{"w:val", "right"}});
    }
    if (f.outlineLevel >= 0) {
        writeEmpty(w, "w:outlineLvl", {{"w:val", num(f.outlineLevel)}});
    }
    writeRunProps(w, f);
    if (endsSection) {
        writeSectionProps(w, *endsSection);
    }
    w.writeEndElement();
}

void ParagraphWriter::write(QXmlStreamWriter& w, const Paragraph& p) {
    w.writeStartElement("w:p");
    writeParagraphProps(w, p.format, p.endsSection ? &*p.endsSection : nullptr);
    for (const Run& run : p.runs) {
        if (!run.bookmark.isEmpty()) {
            writeEmpty(w, "w:bookmarkStart",
                       {{"w:id", num(m_bookmarkId)}, {"w:name", run.bookmark}});
        }
        if (run.image >= 0) {
            m_pictures.write(w, run.image);
        } else if (!run.field.isEmpty()) {
            writeField(w, run.field, run.text, &p.format);
        } else {
            writeTextRun(w, run.text, &p.format, run.fixedNumber);
        }
        if (!run.bookmark.isEmpty()) {
            writeEmpty(w, "w:bookmarkEnd", {{"w:id", num(m_bookmarkId++)}});
        }
    }
    w.writeEndElement();
}

} // namespace kelmo::docx
