// Writes the user manual "Инструкция пользователя.docx" into the program folder at build time,
// from the manual's text and the pictures beside it. The main menu item "Инструкция" opens it.
// Given the text of a laid-out edition of the manual (its PDF, as pdftotext -layout reads
// it), the contents gets that edition's page numbers, so that they show before Word has
// updated a field.
#include "reports/ManualText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

std::optional<QString> readText(const char* path) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fputs("usage: kelmo-make-manual OUTPUT.docx MANUAL.txt [LAID-OUT-TEXT.txt]\n", stderr);
        return 2;
    }
    const std::optional<QString> text = readText(argv[2]);
    if (!text) {
        return 1;
    }
    QStringList pages;
    if (argc == 4) {
        const std::optional<QString> laidOut = readText(argv[3]);
        if (!laidOut) {
            return 1;
        }
        pages = kelmo::reports::contentsPageNumbers(*text, *laidOut);
        if (pages.isEmpty()) {
            std::fputs("kelmo-make-manual: the contents of the laid-out manual do not match its "
                       "headings; the page numbers are left to Word\n",
                       stderr);
        }
    }
    try {
        QStringList missing;
        const auto doc = kelmo::reports::buildManual(
            *text, QFileInfo(QString::fromLocal8Bit(argv[2])).absolutePath(), &missing, pages);
        for (const QString& name : missing) {
            std::fprintf(stderr, "kelmo-make-manual: no picture %s\n", qPrintable(name));
        }
        doc.save(QString::fromLocal8Bit(argv[1]));
    } catch (const kelmo::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
