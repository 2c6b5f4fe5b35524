#include "reports/DocxPictures.h"

#include "reports/DocumentError.h"
#include "reports/DocxXml.h"

#include <QBuffer>
#include <QImage>
#include <QXmlStreamWriter>

namespace kelmo::docx {

QByteArray pngData(const QImage& image) {
    if (image.isNull()) {
        throw DocumentError(QStringLiteral("Рисунок для отчета не построен."));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        throw DocumentError(QStringLiteral("Рисунок для отчета не удалось сохранить в PNG."));
    }
    return png;
}

QString pictureFileName(std::size_t index) {
    return QStringLiteral("image%1.png").arg(index + 1);
}

QString pictureRelationshipId(std::size_t index) {
    return QStringLiteral("rIdImg%1").arg(index + 1);
}

void PictureWriter::write(QXmlStreamWriter& w, int index) const {
    const auto at = static_cast<std::size_t>(index);
    const QSizeF pt = m_sizesPt[at];
    double cx = pt.width() * kEmuPerPt;
    double cy = pt.height() * kEmuPerPt;
    const double maxCx = m_textWidthDxa / 20.0 * kEmuPerPt;
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
    writeEmpty(w, "wp:extent", {{"cx", cxs}, {"cy", cys}});
    writeEmpty(w, "wp:docPr", {{"id", id}, {"name", QStringLiteral("Рисунок %1").arg(id)}});
    w.writeStartElement("wp:cNvGraphicFramePr");
    writeEmpty(w, "a:graphicFrameLocks", {{"noChangeAspect", "1"}});
    w.writeEndElement();
    w.writeStartElement("a:graphic");
    w.writeStartElement("a:graphicData");
    w.writeAttribute("uri", "http://schemas.openxmlformats.org/drawingml/2006/picture");
    w.writeStartElement("pic:pic");
    w.writeStartElement("pic:nvPicPr");
    writeEmpty(w, "pic:cNvPr", {{"id", "0"}, {"name", pictureFileName(at)}});
    w.writeEmptyElement("pic:cNvPicPr");
    w.writeEndElement();
    w.writeStartElement("pic:blipFill");
    writeEmpty(w, "a:blip", {{"r:embed", pictureRelationshipId(at)}});
    w.writeStartElement("a:stretch");
    w.writeEmptyElement("a:fillRect");
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement("pic:spPr");
    w.writeStartElement("a:xfrm");
    writeEmpty(w, "a:off", {{"x", "0"}, {"y", "0"}});
    writeEmpty(w, "a:ext", {{"cx", cxs}, {"cy", cys}});
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

} // namespace kelmo::docx
