#pragma once

// The OOXML package: a zip archive of parts, read and written in memory; the parts this
// program writes around a document's body (content types, relationships, properties,
// settings, styles, the footer); and the safe write of the finished file.

#include "reports/DocumentError.h"
#include "reports/DocxModel.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include <vector>

namespace kelmo::docx {

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

// Writes bytes to a file through a temporary file and one rename, so a failed write leaves
// the old file as it was. Throws FileError.
void writeFile(const QString& path, const QByteArray& data);

// docProps/core.xml: title, author, language and the time of writing.
QByteArray corePropertiesXml(const Properties& p);

// Every part of a document this program writes, in the order of the archive: the body
// (word/document.xml), its pictures as PNG data, the paragraph styles of its table cells
// (Cell1, Cell2, …) and the document's properties.
QList<QPair<QString, QByteArray>> documentParts(const QByteArray& documentXml,
                                                const std::vector<QByteArray>& pictures,
                                                const std::vector<ParaFormat>& cellFormats,
                                                const Properties& properties);

} // namespace kelmo::docx
