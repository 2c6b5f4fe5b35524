#include "ui/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace kelmo::ui {

void paintProgramIcon(QPainter& p, double side) {
    const double s = side;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // Rounded tile with a night-blue sky.
    const QRectF tile(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
    QLinearGradient sky(0, tile.top(), 0, tile.bottom());
    sky.setColorAt(0, QColor(22, 44, 92));
    sky.setColorAt(1, QColor(58, 104, 168));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(tile, s * 0.16, s * 0.16);

    // Ground.
    const double groundY = s * 0.74;
    QPainterPath ground;
    ground.addRoundedRect(tile, s * 0.16, s * 0.16);
    QPainterPath below;
    below.addRect(QRectF(tile.left(), groundY, tile.width(), tile.bottom() - groundY));
    p.setBrush(QColor(92, 64, 40));
    p.drawPath(ground.intersected(below));

    // Blast wave fronts: half circles around the charge, fading outwards.
    const QPointF centre(s * 0.5, groundY);
    const double widths[] = {0.055, 0.045, 0.035};
    for (int i = 0; i < 3; ++i) {
        const double r = s * (0.25 + 0.1 * i);
        QPen pen(QColor(255, 196, 64, 235 - 60 * i), s * widths[i]);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 0, 180 * 16);
    }

    // Fireball: a star of flames with a bright core.
    const double R = s * 0.17;
    QPainterPath star;
    const int rays = 9;
    for (int i = 0; i <= 2 * rays; ++i) {
        const double angle = std::numbers::pi * i / (2 * rays);
        const double radius = (i % 2 == 0) ? R : R * 0.6;
        const QPointF pt(centre.x() + radius * std::cos(angle),
                         centre.y() - radius * std::sin(angle));
        if (i == 0) {
            star.moveTo(pt);
        } else {
            star.lineTo(pt);
        }
    }
    star.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(232, 84, 28));
    p.drawPath(star);
    QRadialGradient core(centre, R * 0.62);
    core.setColorAt(0, QColor(255, 250, 210));
    core.setColorAt(0.55, QColor(255, 214, 70));
    core.setColorAt(1, QColor(244, 132, 32));
    p.setBrush(core);
    p.drawChord(QRectF(centre.x() - R * 0.62, centre.y() - R * 0.62, R * 1.24, R * 1.24), 0,
                180 * 16);
    p.restore();
}

QImage programIconImage(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintProgramIcon(p, side);
    p.end();
    return image;
}

QIcon programIcon() {
    QIcon icon;
    for (const int side : kProgramIconSizes) {
        icon.addPixmap(QPixmap::fromImage(programIconImage(side)));
    }
    return icon;
}

} // namespace kelmo::ui
