#include "windows/plan/PlanPictures.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

#include <array>

namespace kelmo::plan {

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 220;

// The outline of the structure on the sketch, corners 1 … 4 clockwise from the lower left.
const std::array<QPointF, 4> kCorners = {QPointF(90, 160), QPointF(90, 60), QPointF(240, 60),
                                         QPointF(240, 160)};

void drawAxes(QPainter& p) {
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
    const QPointF origin(30, 200);
    p.drawLine(origin, QPointF(285, 200));
    p.drawLine(origin, QPointF(30, 12));
    // Arrow heads.
    p.setBrush(QColor(0x40, 0x40, 0x40));
    p.drawPolygon(QPolygonF({QPointF(290, 200), QPointF(280, 196), QPointF(280, 204)}));
    p.drawPolygon(QPolygonF({QPointF(30, 7), QPointF(26, 17), QPointF(34, 17)}));
    p.setBrush(Qt::NoBrush);
    QFont f = p.font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(270, 204, 24, 16), Qt::AlignCenter, QStringLiteral("Х"));
    p.drawText(QRectF(6, 2, 20, 16), Qt::AlignCenter, QStringLiteral("У"));
    p.drawText(QRectF(12, 202, 16, 16), Qt::AlignCenter, QStringLiteral("0"));
}

void drawOutline(QPainter& p) {
    p.setPen(QPen(QColor(0x20, 0x40, 0x80), 2.5));
    p.setBrush(QColor(0xd8, 0xe4, 0xf4));
    p.drawPolygon(QPolygonF({kCorners[0], kCorners[1], kCorners[2], kCorners[3]}));
    p.setBrush(Qt::NoBrush);
}

void drawCornerNumbers(QPainter& p, int marked) {
    QFont f = p.font();
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    for (int i = 0; i < 4; ++i) {
        const QPointF c = kCorners[i];
        const bool isMarked = marked == i + 1;
        if (isMarked) {
            // The corner in question: a red ring with its coordinates dropped to the axes.
            p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1, Qt::DashLine));
            p.drawLine(c, QPointF(c.x(), 200));
            p.drawLine(c, QPointF(30, c.y()));
            p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 3));
            p.setBrush(QColor(0xff, 0xd0, 0xd0));
            p.drawEllipse(c, 11, 11);
            p.setBrush(Qt::NoBrush);
            f.setPixelSize(12);
            p.setFont(f);
            p.drawText(QRectF(c.x() - 20, 202, 40, 16), Qt::AlignCenter,
                       QStringLiteral("Х%1").arg(i + 1));
            p.drawText(QRectF(32, c.y() - 16, 30, 14), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("У%1").arg(i + 1));
            f.setPixelSize(14);
            p.setFont(f);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x20, 0x40, 0x80));
            p.drawEllipse(c, 4, 4);
            p.setBrush(Qt::NoBrush);
        }
        // The number sits outside the outline, away from the centre.
        const QPointF centre(165, 110);
        QPointF away = c - centre;
        away /= std::max(1.0, std::hypot(away.x(), away.y()));
        const QPointF at = c + away * 22;
        p.setPen(isMarked ? QColor(0xc0, 0x20, 0x20) : QColor(0x20, 0x40, 0x80));
        p.drawText(QRectF(at.x() - 10, at.y() - 9, 20, 18), Qt::AlignCenter,
                   QString::number(i + 1));
    }
}

} // namespace

QImage cornerDrawing(int corner) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawAxes(p);
    drawOutline(p);
    drawCornerNumbers(p, corner);
    if (corner >= 1 && corner <= 4) {
        QFont f = p.font();
        f.setPixelSize(12);
        f.setBold(false);
        p.setFont(f);
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.drawText(QRectF(100, 2, 195, 18), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Угол %1 сооружения").arg(corner));
    }
    return image;
}

QString cornerPictureFile(int corner) {
    if (corner >= 1 && corner <= 4) {
        return QStringLiteral("p%1.jpg").arg(corner);
    }
    return QString::fromLatin1(kSketchFile);
}

bool writeCornerPictures(const QString& folder, QString* error) {
    QDir dir(folder);
    if (!dir.exists() && !dir.mkpath(QStringLiteral("."))) {
        if (error) {
            *error = QStringLiteral("Не удалось создать папку «%1».").arg(folder);
        }
        return false;
    }
    for (int corner = 0; corner <= 4; ++corner) {
        const QString path = dir.filePath(cornerPictureFile(corner));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !cornerDrawing(corner).save(&file, "JPG", 92) ||
            !file.commit()) {
            if (error) {
                *error = QStringLiteral("Не удалось записать рисунок «%1».").arg(path);
            }
            return false;
        }
    }
    return true;
}

} // namespace kelmo::plan
