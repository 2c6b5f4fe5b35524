// Writes the expert report template into the program folder at build time.
#include "reports/ExpertReport.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kelmo-make-template OUTPUT.docx\n", stderr);
        return 2;
    }
    try {
        kelmo::reports::buildExpertTemplate().save(QString::fromLocal8Bit(argv[1]));
    } catch (const kelmo::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
