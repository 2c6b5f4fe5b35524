// Writes the user manual "Инструкция пользователя.docx" into the program folder at build time,
// from the manual's text and the pictures beside it. The main menu item "Инструкция" opens it.
#include "reports/ManualText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: kelmo-make-manual OUTPUT.docx MANUAL.txt\n", stderr);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[2]);
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    try {
        QStringList missing;
        const auto doc = kelmo::reports::buildManual(QString::fromUtf8(file.readAll()),
                                                     QFileInfo(source).absolutePath(), &missing);
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
