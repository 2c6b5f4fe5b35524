#include "reports/DocxTemplate.h"

#include "reports/DocxPackage.h"
#include "reports/DocxParagraphs.h"
#include "reports/DocxXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <map>

namespace kelmo::docx {

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
                        const Properties& properties, const QStringList& leadingLines) {
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
                copyToken(r, w);
                ++depth;
                if (!leadingLines.isEmpty()) {
                    const ParaFormat f{12, false, Align::Left};
                    for (const QString& line : leadingLines + QStringList{QString()}) {
                        w.writeStartElement("w:p");
                        writeParagraphProps(w, f);
                        if (!line.isEmpty()) {
                            writeTextRun(w, line, &f);
                        }
                        w.writeEndElement();
                    }
                }
                continue;
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
