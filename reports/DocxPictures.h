#pragma once

// Pictures in line with the text: the PNG data a document keeps of each, its names in the
// package, and the drawing that shows it in a paragraph. For the Docx*.cpp writers, not for
// the reports.

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <cstddef>
#include <vector>

class QImage;
class QXmlStreamWriter;

namespace kelmo::docx {

// The picture as PNG. Throws DocumentError for an empty picture or one that cannot be encoded.
QByteArray pngData(const QImage& image);

// The file of the index-th picture (0-based) in word/media, and the relationship by which the
// document's body refers to it.
QString pictureFileName(std::size_t index);
QString pictureRelationshipId(std::size_t index);

// Draws the document's pictures, each at its size but never wider than the text.
class PictureWriter {
public:
    PictureWriter(const std::vector<QSizeF>& sizesPt, int textWidthDxa)
        : m_sizesPt(sizesPt)
        , m_textWidthDxa(textWidthDxa) {}

    // One run holding the index-th picture.
    void write(QXmlStreamWriter& w, int index) const;

private:
    const std::vector<QSizeF>& m_sizesPt;
    int m_textWidthDxa;
};

} // namespace kelmo::docx
