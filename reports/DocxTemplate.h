#pragma once

// A report template filled in: a copy of a Word document (one written by this program or by
// Word) with the text of its bookmarks replaced.

#include "reports/DocumentError.h"
#include "reports/DocxModel.h"

#include <QByteArray>
#include <QChar>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace kelmo::docx {

// A copy of a package with its body kept, the page set-up replaced (its header and footer
// kept) and the text of the named bookmarks replaced. Runs in the character style "Число" are
// fixed numbers of the template's text: their decimal commas take the given separator, so the
// document has one. The core properties, when the package has them, get the given title and
// time. The leading lines, when given, open the body as paragraphs of 12 pt text with an
// empty one after them. Throws DocumentError naming any bookmark the document lacks.
QByteArray fillTemplate(const QHash<QString, QByteArray>& package, const PageSetup& page,
                        const QList<QPair<QString, QString>>& bookmarks,
                        QChar decimalSeparator = u',', const Properties& properties = {},
                        const QStringList& leadingLines = {});

// Names of the bookmarks of a document's body, in order.
QStringList bookmarkNames(const QByteArray& documentXml);

} // namespace kelmo::docx
