#include "reports/DocxPackage.h"

#include "core/SafeFile.h"
#include "reports/DocxParagraphs.h"
#include "reports/DocxPictures.h"
#include "reports/DocxXml.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamWriter>

#include <zip.h>

#include <memory>

namespace kelmo::docx {

namespace {

// The footer of every page: "N из M", centred. The fields hold a shown value, as Word writes
// them, so that a reader that does not update fields still prints a number.
QByteArray footerXml() {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("w:ftr");
    w.writeAttribute("xmlns:w", kNsW);
    w.writeAttribute("xmlns:r", kNsR);
    w.writeStartElement("w:p");
    const ParaFormat f{10, false, Align::Center};
    writeParagraphProps(w, f);
    writeField(w, QStringLiteral("PAGE"), QStringLiteral("1"), &f);
    writeTextRun(w, QStringLiteral(" из "), &f);
    writeField(w, QStringLiteral("NUMPAGES"), QStringLiteral("1"), &f);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

// Settings of a current Word (compatibility mode 15), so Word does not open the document in
// compatibility mode; Russian as the language of the text and its decimal comma.
QByteArray settingsXml(const Properties& p) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("w:settings");
    w.writeAttribute("xmlns:w", kNsW);
    writeEmpty(w, "w:zoom", {{"w:percent", "100"}});
    writeEmpty(w, "w:defaultTabStop", {{"w:val", "708"}});
    writeEmpty(w, "w:characterSpacingControl", {{"w:val", "doNotCompress"}});
    if (p.updateFieldsOnOpen) {
        writeEmpty(w, "w:updateFields", {{"w:val", "true"}});
    }
    w.writeStartElement("w:compat");
    writeEmpty(w, "w:compatSetting",
               {{"w:name", "compatibilityMode"},
                {"w:uri", "http://schemas.microsoft.com/office/word"},
                {"w:val", "15"}});
    w.writeEndElement();
    writeEmpty(w, "w:themeFontLang", {{"w:val", "ru-RU"}});
    writeEmpty(w, "w:decimalSymbol", {{"w:val", ","}});
    writeEmpty(w, "w:listSeparator", {{"w:val", ";"}});
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

const char* const kAppProperties =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties" )"
    R"(xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes">)"
    R"(<Application>Kelmo</Application><DocSecurity>0</DocSecurity>)"
    R"(</Properties>)";

QByteArray stylesXml(const std::vector<ParaFormat>& cellFormats) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("w:styles");
    w.writeAttribute("xmlns:w", kNsW);
    w.writeStartElement("w:docDefaults");
    w.writeStartElement("w:rPrDefault");
    w.writeStartElement("w:rPr");
    w.writeEmptyElement("w:rFonts");
    for (const char* a : {"w:ascii", "w:hAnsi", "w:cs", "w:eastAsia"}) {
        w.writeAttribute(a, "Times New Roman");
    }
    writeEmpty(w, "w:sz", {{"w:val", "24"}});
    writeEmpty(w, "w:szCs", {{"w:val", "24"}});
    writeEmpty(w, "w:lang", {{"w:val", "ru-RU"}});
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement("w:pPrDefault");
    w.writeStartElement("w:pPr");
    writeEmpty(w, "w:spacing", {{"w:after", "0"}, {"w:line", "240"}, {"w:lineRule", "auto"}});
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement(); // docDefaults

    w.writeStartElement("w:style");
    w.writeAttribute("w:type", "paragraph");
    w.writeAttribute("w:default", "1");
    w.writeAttribute("w:styleId", "Normal");
    writeEmpty(w, "w:name", {{"w:val", "Normal"}});
    w.writeEndElement();
    // The fixed numbers of a template: a character style that looks like the text around it.
    w.writeStartElement("w:style");
    w.writeAttribute("w:type", "character");
    w.writeAttribute("w:customStyle", "1");
    w.writeAttribute("w:styleId", kNumberStyleId);
    writeEmpty(w, "w:name", {{"w:val", "Число"}});
    w.writeEndElement();
    for (std::size_t i = 0; i < cellFormats.size(); ++i) {
        const ParaFormat& f = cellFormats[i];
        w.writeStartElement("w:style");
        w.writeAttribute("w:type", "paragraph");
        w.writeAttribute("w:customStyle", "1");
        w.writeAttribute("w:styleId", QStringLiteral("Cell%1").arg(i + 1));
        writeEmpty(w, "w:name", {{"w:val", QStringLiteral("Ячейка таблицы %1").arg(i + 1)}});
        writeEmpty(w, "w:basedOn", {{"w:val", "Normal"}});
        w.writeStartElement("w:pPr");
        writeEmpty(w, "w:jc",
                   {{"w:val", f.align == Align::Center  ? "center"
                              : f.align == Align::Right ? "right"
                                                        : "left"}});
        w.writeEndElement();
        writeRunProps(w, f);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

const char* const kContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Default Extension="png" ContentType="image/png"/>)"
    R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
    R"(<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>)"
    R"(<Override PartName="/word/settings.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"/>)"
    R"(<Override PartName="/word/footer1.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml"/>)"
    R"(<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>)"
    R"(<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>)"
    R"(</Types>)";

const char* const kPackageRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>)"
    R"(</Relationships>)";

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};

} // namespace

QByteArray corePropertiesXml(const Properties& p) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument("1.0", true);
    w.writeStartElement("cp:coreProperties");
    w.writeAttribute("xmlns:cp",
                     "http://schemas.openxmlformats.org/package/2006/metadata/core-properties");
    w.writeAttribute("xmlns:dc", "http://purl.org/dc/elements/1.1/");
    w.writeAttribute("xmlns:dcterms", "http://purl.org/dc/terms/");
    w.writeAttribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    w.writeTextElement("dc:title", p.title);
    w.writeTextElement("dc:creator", QStringLiteral("Келмо"));
    w.writeTextElement("dc:language", QStringLiteral("ru-RU"));
    const QString when = p.created.toUTC().toString(Qt::ISODate);
    for (const char* name : {"dcterms:created", "dcterms:modified"}) {
        w.writeStartElement(name);
        w.writeAttribute("xsi:type", "dcterms:W3CDTF");
        w.writeCharacters(when);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QList<QPair<QString, QByteArray>> documentParts(const QByteArray& documentXml,
                                                const std::vector<QByteArray>& pictures,
                                                const std::vector<ParaFormat>& cellFormats,
                                                const Properties& properties) {
    QByteArray rels =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rIdStyles" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)";
    rels +=
        R"(<Relationship Id="rIdSettings" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings" Target="settings.xml"/>)"
        R"(<Relationship Id="rIdFooter" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer" Target="footer1.xml"/>)";
    QList<QPair<QString, QByteArray>> entries{
        {"[Content_Types].xml", kContentTypes},
        {"_rels/.rels", kPackageRels},
        {"docProps/core.xml", corePropertiesXml(properties)},
        {"docProps/app.xml", kAppProperties},
        {"word/document.xml", documentXml},
        {"word/styles.xml", stylesXml(cellFormats)},
        {"word/settings.xml", settingsXml(properties)},
        {"word/footer1.xml", footerXml()},
    };
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        rels += QStringLiteral("<Relationship Id=\"%1\" "
                               "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                               "relationships/image\" Target=\"media/%2\"/>")
                    .arg(pictureRelationshipId(i), pictureFileName(i))
                    .toUtf8();
        entries.append({"word/media/" + pictureFileName(i), pictures[i]});
    }
    rels += "</Relationships>";
    entries.append({"word/_rels/document.xml.rels", rels});
    return entries;
}

QByteArray writePackage(const QList<QPair<QString, QByteArray>>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!source) {
        throw DocumentError(QStringLiteral("Не удалось создать архив документа."));
    }
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(source);
        throw DocumentError(QStringLiteral("Не удалось создать архив документа."));
    }
    zip_source_keep(source);
    std::unique_ptr<zip_t, ZipCloser> guard(archive);
    for (const auto& [name, data] : entries) {
        zip_source_t* part =
            zip_source_buffer(archive, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
        const zip_int64_t index =
            part ? zip_file_add(archive, name.toUtf8().constData(), part, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (part) {
                zip_source_free(part);
            }
            zip_source_free(source);
            throw DocumentError(
                QStringLiteral("Не удалось добавить в архив часть «%1».").arg(name));
        }
        // Fast deflate: the parts are large and repetitive, level 1 shrinks them well enough.
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    }
    if (zip_close(guard.release()) < 0) {
        zip_source_free(source);
        throw DocumentError(QStringLiteral("Не удалось записать архив документа."));
    }
    QByteArray out;
    if (zip_source_open(source) == 0) {
        zip_source_seek(source, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(source);
        zip_source_seek(source, 0, SEEK_SET);
        out.resize(static_cast<qsizetype>(size));
        const zip_int64_t got =
            zip_source_read(source, out.data(), static_cast<zip_uint64_t>(size));
        zip_source_close(source);
        if (got != size) {
            out.clear();
        }
    }
    zip_source_free(source);
    if (out.isEmpty()) {
        throw DocumentError(QStringLiteral("Не удалось прочитать собранный архив документа."));
    }
    return out;
}

QHash<QString, QByteArray> readPackage(const QByteArray& data) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(
        data.constData(), static_cast<zip_uint64_t>(data.size()), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        if (source) {
            zip_source_free(source);
        }
        throw DocumentError(QStringLiteral("Файл не является документом Word (.docx)."));
    }
    std::unique_ptr<zip_t, ZipCloser> guard(archive);
    const auto damaged = [](const QString& why) {
        return DocumentError(QStringLiteral("Документ Word поврежден: %1").arg(why));
    };
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0 || count > kMaxPackageEntries) {
        throw damaged(QStringLiteral("в архиве %1 частей, допустимо не более %2.")
                          .arg(count)
                          .arg(kMaxPackageEntries));
    }
    QHash<QString, QByteArray> parts;
    qint64 total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE)) {
            throw damaged(QStringLiteral("не читается оглавление архива."));
        }
        const QString name = QString::fromUtf8(st.name);
        // The sizes in the archive's directory are only claims: they are checked against
        // what a report can sensibly hold before any memory is taken for them.
        if (st.size > static_cast<zip_uint64_t>(kMaxPartBytes) ||
            total + static_cast<qint64>(st.size) > kMaxPackageUnpackedBytes) {
            throw damaged(
                QStringLiteral("часть «%1» слишком велика (%2 байт).").arg(name).arg(st.size));
        }
        total += static_cast<qint64>(st.size);
        QByteArray content(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        zip_file_t* f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        zip_int64_t got = f ? 0 : -1;
        while (f && got < content.size()) {
            const zip_int64_t n =
                zip_fread(f, content.data() + got, static_cast<zip_uint64_t>(content.size() - got));
            if (n <= 0) {
                got = n < 0 ? -1 : got;
                break;
            }
            got += n;
        }
        // The part must end where the directory says it does.
        char extra = 0;
        const bool longer = f && got == content.size() && zip_fread(f, &extra, 1) > 0;
        if (f) {
            zip_fclose(f);
        }
        if (got != content.size() || longer) {
            throw damaged(QStringLiteral("не читается часть «%1».").arg(name));
        }
        parts.insert(name, content);
    }
    return parts;
}

QHash<QString, QByteArray> readPackage(const QString& path) {
    checkReadableFile(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw DocumentError(QStringLiteral("Не удалось открыть файл «%1»: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    if (file.size() > kMaxPackageBytes) {
        throw DocumentError(QStringLiteral("Файл «%1» больше %2 МБ: это не шаблон отчета.")
                                .arg(QDir::toNativeSeparators(path))
                                .arg(kMaxPackageBytes >> 20));
    }
    // Read no more than a document may hold, even if the file grows meanwhile.
    const QByteArray data = file.read(kMaxPackageBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        throw DocumentError(QStringLiteral("Не удалось прочитать файл «%1»: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    if (data.size() > kMaxPackageBytes) {
        throw DocumentError(QStringLiteral("Файл «%1» больше %2 МБ: это не шаблон отчета.")
                                .arg(QDir::toNativeSeparators(path))
                                .arg(kMaxPackageBytes >> 20));
    }
    return readPackage(data);
}

void writeFile(const QString& path, const QByteArray& data) {
    writeFileSafely(path, data);
}
} // namespace kelmo::docx
