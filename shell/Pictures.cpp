#include "shell/Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>
#include <numbers>

namespace kelmo::shell {

namespace {

// One cloud: overlapping soft discs, lighter at the top.
void drawCloud(QPainter& p, QPointF centre, double width, QRandomGenerator& random) {
    const int puffs = 7;
    for (int i = 0; i < puffs; ++i) {
        const double x = centre.x() - width / 2 + width * i / (puffs - 1);
        const double radius = width * (0.12 + 0.08 * random.generateDouble());
        const double y = centre.y() - radius * 0.3 * std::sin(std::numbers::pi * i / (puffs - 1));
        QRadialGradient g(QPointF(x, y - radius * 0.3), radius);
        g.setColorAt(0, QColor(255, 255, 255, 235));
        g.setColorAt(0.7, QColor(236, 240, 246, 170));
        g.setColorAt(1, QColor(220, 228, 238, 0));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(x, y), radius * 1.3, radius);
    }
}

} // namespace

QPixmap cloudySky(const QSize& size) {
    QPixmap pixmap(size.expandedTo(QSize(1, 1)));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, pixmap.height());
    sky.setColorAt(0, QColor(70, 120, 190));
    sky.setColorAt(0.6, QColor(140, 180, 225));
    sky.setColorAt(1, QColor(205, 225, 245));
    p.fillRect(pixmap.rect(), sky);
    // A fixed seed: the same sky every time.
    QRandomGenerator random(1997);
    const double w = pixmap.width();
    const double h = pixmap.height();
    for (int i = 0; i < 9; ++i) {
        const QPointF centre(w * random.generateDouble(),
                             h * (0.08 + 0.8 * random.generateDouble()));
        drawCloud(p, centre, w * (0.18 + 0.14 * random.generateDouble()), random);
    }
    return pixmap;
}

QPixmap explosionDrawing(const QSize& size) {
    QPixmap pixmap(size.expandedTo(QSize(1, 1)));
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = pixmap.width();
    const double h = pixmap.height();
    const QPointF ground(w / 2, h * 0.85);

    // Ground line.
    p.setPen(QPen(QColor(90, 70, 50), std::max(2.0, h / 80)));
    p.drawLine(QPointF(w * 0.05, ground.y()), QPointF(w * 0.95, ground.y()));

    // Blast wave fronts: half circles around the charge.
    for (int i = 1; i <= 3; ++i) {
        const double r = w * 0.14 * i;
        QPen pen(QColor(200, 60, 30, 200 - i * 50), std::max(1.5, h / 120), Qt::DashLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(ground.x() - r, ground.y() - r, 2 * r, 2 * r), 0, 180 * 16);
    }

    // Smoke column and cap above the fireball.
    const double R = h * 0.2;
    const QPointF top(ground.x(), ground.y() - R * 3.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(95, 85, 80, 200));
    p.drawRect(QRectF(ground.x() - R * 0.35, top.y(), R * 0.7, R * 2.2));
    QRandomGenerator random(107);
    for (int i = 0; i < 9; ++i) {
        const double angle = std::numbers::pi * i / 8;
        const QPointF c(top.x() + R * 1.1 * std::cos(angle), top.y() - R * 0.35 * std::sin(angle));
        const double r = R * (0.45 + 0.15 * random.generateDouble());
        QRadialGradient smoke(c - QPointF(0, r * 0.3), r);
        smoke.setColorAt(0, QColor(150, 140, 135, 230));
        smoke.setColorAt(1, QColor(80, 70, 65, 210));
        p.setBrush(smoke);
        p.drawEllipse(c, r, r * 0.8);
    }

    // Fireball with a star of flames.
    QPainterPath star;
    const int rays = 14;
    for (int i = 0; i <= 2 * rays; ++i) {
        const double angle = std::numbers::pi * i / rays;
        const double radius = (i % 2 == 0) ? R * 1.35 : R * 0.75;
        const QPointF pt(ground.x() + radius * std::cos(angle),
                         ground.y() - R * 0.9 - radius * std::sin(angle));
        if (i == 0) {
            star.moveTo(pt);
        } else {
            star.lineTo(pt);
        }
    }
    star.closeSubpath();
    p.setPen(QPen(QColor(160, 40, 10), 1.5));
    p.setBrush(QColor(240, 120, 30));
    p.drawPath(star);
    QRadialGradient core(QPointF(ground.x(), ground.y() - R * 0.9), R);
    core.setColorAt(0, QColor(255, 250, 200));
    core.setColorAt(0.5, QColor(255, 200, 60));
    core.setColorAt(1, QColor(240, 120, 30, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(core);
    p.drawEllipse(QPointF(ground.x(), ground.y() - R * 0.9), R, R);
    return pixmap;
}

} // namespace kelmo::shell
