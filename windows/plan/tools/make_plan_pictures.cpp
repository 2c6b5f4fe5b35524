// Writes the plan editor's corner pictures and sketch into the program folder at build time.

#include "windows/plan/PlanPictures.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kelmo-make-plan-pictures FOLDER\n", stderr);
        return 2;
    }
    QString error;
    if (!kelmo::plan::writeCornerPictures(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
