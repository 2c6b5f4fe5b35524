#pragma once

// Paragraphs and runs of a document: the character and paragraph formatting, text runs,
// fields and bookmarks. A picture in a paragraph is drawn by PictureWriter (DocxPictures.h).
// For the Docx*.cpp writers, not for the reports.

#include "reports/DocxModel.h"

class QXmlStreamWriter;

namespace kelmo::docx {

class PictureWriter;

// Size and weight of a run (w:rPr); a fixed number takes the character style "Число".
void writeRunProps(QXmlStreamWriter& w, const ParaFormat& f, bool fixedNumber = false);
// One run of text; without a format it takes its paragraph's.
void writeTextRun(QXmlStreamWriter& w, const QString& text, const ParaFormat* f,
                  bool fixedNumber = false);
// A field as Word writes it: begin, instruction, separator, the shown result, end.
void writeField(QXmlStreamWriter& w, const QString& instruction, const QString& shown,
                const ParaFormat* f);
// The paragraph's properties (w:pPr), with the run formatting of its mark.
// endsSection: the page of the section this paragraph closes, if it closes one.
void writeParagraphProps(QXmlStreamWriter& w, const ParaFormat& f,
                         const PageSetup* endsSection = nullptr);

// Writes the paragraphs of one document body, numbering their bookmarks in order.
class ParagraphWriter {
public:
    explicit ParagraphWriter(const PictureWriter& pictures)
        : m_pictures(pictures) {}

    void write(QXmlStreamWriter& w, const Paragraph& p);

private:
    const PictureWriter& m_pictures;
    int m_bookmarkId = 0;
};

} // namespace kelmo::docx
