// The template reader: a package read from any bytes, its bookmarks listed and filled.

#include "reports/DocxPackage.h"
#include "reports/DocxTemplate.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto package = kelmo::docx::readPackage(bytes);
        const QStringList names =
            kelmo::docx::bookmarkNames(package.value(QStringLiteral("word/document.xml")));
        QList<QPair<QString, QString>> texts;
        for (const QString& name : names) {
            texts.append({name, QStringLiteral("1,5 & <текст>")});
        }
        (void)kelmo::docx::fillTemplate(package, {42.5, 42.5, 42.5, 42.5}, texts);
    } catch (const kelmo::Error&) {
        // a damaged template ends with a message
    }
    return 0;
}
