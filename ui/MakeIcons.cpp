// Writes the program's icon for the desktop: kelmo.svg and kelmo-<N>.png in the given folder.
#include "ui/ProgramIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Использование: kelmo-make-icons ПАПКА\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Не удалось создать папку %s\n", argv[1]);
        return 1;
    }

    QSaveFile svgFile(folder.filePath(QStringLiteral("kelmo.svg")));
    if (!svgFile.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "Не удалось записать kelmo.svg\n");
        return 1;
    }
    {
        const int side = 256;
        QSvgGenerator svg;
        svg.setOutputDevice(&svgFile);
        svg.setSize(QSize(side, side));
        svg.setViewBox(QRect(0, 0, side, side));
        svg.setTitle(QStringLiteral("Келмо"));
        svg.setDescription(QStringLiteral("Значок программы Келмо"));
        QPainter p(&svg);
        kelmo::ui::paintProgramIcon(p, side);
    }
    if (!svgFile.commit()) {
        std::fprintf(stderr, "Не удалось записать kelmo.svg\n");
        return 1;
    }

    for (const int side : kelmo::ui::kProgramIconSizes) {
        const QString path = folder.filePath(QStringLiteral("kelmo-%1.png").arg(side));
        QSaveFile png(path);
        if (!png.open(QIODevice::WriteOnly) ||
            !kelmo::ui::programIconImage(side).save(&png, "PNG") || !png.commit()) {
            std::fprintf(stderr, "Не удалось записать %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
