#pragma once

// What the writers of a document's parts share: the XML namespaces, OOXML's units of length,
// the A4 page and the cleaning of typed text. For the Docx*.cpp writers, not for the reports.

#include "reports/DocxModel.h"

#include <QString>

#include <cmath>
#include <initializer_list>

class QXmlStreamWriter;

namespace kelmo::docx {

// A4 portrait, in twentieths of a point.
inline constexpr int kPageWidthDxa = 11906;
inline constexpr int kPageHeightDxa = 16838;
inline constexpr double kEmuPerPt = 12700;

inline constexpr const char* kNsW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr const char* kNsR =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kNsWp =
    "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
inline constexpr const char* kNsA = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kNsPic = "http://schemas.openxmlformats.org/drawingml/2006/picture";

// OOXML lengths of page and table are in twentieths of a point (dxa).
inline int dxa(double pt) {
    return static_cast<int>(std::lround(pt * 20));
}
inline QString num(long long v) {
    return QString::number(v);
}
inline QString halfPoints(double pt) {
    return num(std::lround(pt * 2));
}
inline QString eighths(double pt) {
    return num(std::lround(pt * 8));
}

// An attribute of writeEmpty.
struct XmlAttribute {
    const char* name;
    QString value;
};

// An empty element with its attributes in the order given.
void writeEmpty(QXmlStreamWriter& w, const char* name,
                std::initializer_list<XmlAttribute> attributes);

// XML cannot hold control characters other than tab and line breaks; a typed text that has
// one would make the whole document unreadable, so they are dropped.
QString xmlSafe(const QString& text);

int pageWidthDxa(const PageSetup& page);
// Width of the text between the side margins, as the writers round it.
int textWidthDxa(const PageSetup& page);
// The page's size, orientation and margins (w:pgSz and w:pgMar of a section).
void writePageSize(QXmlStreamWriter& w, const PageSetup& page);

// The properties of a section laid out on page, with the document's footer.
void writeSectionProps(QXmlStreamWriter& w, const PageSetup& page);

} // namespace kelmo::docx
