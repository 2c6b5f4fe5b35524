#include "map/Calibration.h"

#include <QBuffer>
#include <QImageReader>
#include <QLineF>

#include <algorithm>
#include <cmath>
#include <complex>

namespace kelmo::map {

namespace {

bool finite(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// A pixel as a complex number on the plan's axes: the picture's y grows downwards.
std::complex<double> upright(QPointF pixel) {
    return {pixel.x(), -pixel.y()};
}

} // namespace

QTransform pictureToPlan(const Calibration& c) {
    for (const QPointF p : {c.first.pixel, c.second.pixel, c.first.plan, c.second.plan}) {
        if (!finite(p)) {
            throw CalibrationError("Координаты точек привязки должны быть числами.");
        }
    }
    const double pixels = QLineF(c.first.pixel, c.second.pixel).length();
    const double metres = QLineF(c.first.plan, c.second.plan).length();
    if (!(pixels > 0)) {
        throw CalibrationError("Обе точки привязки указаны в одном месте рисунка: укажите две "
                               "разные точки, лучше подальше друг от друга.");
    }
    if (!(metres > 0)) {
        throw CalibrationError("У обеих точек привязки одинаковые координаты на плане: введите "
                               "координаты двух разных точек.");
    }
    const std::complex<double> z1 = upright(c.first.pixel);
    const std::complex<double> z2 = upright(c.second.pixel);
    const std::complex<double> w1(c.first.plan.x(), c.first.plan.y());
    const std::complex<double> w2(c.second.plan.x(), c.second.plan.y());
    std::complex<double> a;
    std::complex<double> b;
    if (c.rotation) {
        a = (w2 - w1) / (z2 - z1);
        b = w1 - a * z1;
    } else {
        a = metres / pixels;
        b = ((w1 - a * z1) + (w2 - a * z2)) / 2.0;
    }
    if (!std::isfinite(a.real()) || !std::isfinite(a.imag()) || !std::isfinite(b.real()) ||
        !std::isfinite(b.imag())) {
        throw CalibrationError("Точки привязки не позволяют разместить рисунок на плане.");
    }
    // plan = a · (x − i·y) + b, written out for the x and y of the picture.
    return QTransform(a.real(), a.imag(), a.imag(), -a.real(), b.real(), b.imag());
}

QImage decodePicture(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "jpg") {
        throw CalibrationError("Файл не является рисунком PNG или JPEG: рисунок не загружен.");
    }
    // A scan of a plan is large, but a picture of more than 200 million pixels is a mistake.
    const QSize size = reader.size();
    if (size.isValid() && static_cast<double>(size.width()) * size.height() > 2.0e8) {
        throw CalibrationError("Рисунок слишком велик (больше 200 миллионов точек): рисунок не "
                               "загружен.");
    }
    QImage picture = reader.read();
    if (picture.isNull()) {
        throw CalibrationError(QStringLiteral("Рисунок не читается (%1): рисунок не загружен.")
                                   .arg(reader.errorString())
                                   .toStdString());
    }
    return picture;
}

MapBackground makeBackground(const QByteArray& bytes, const Calibration& calibration,
                             double opacity, bool shown) {
    QImage picture = decodePicture(bytes);
    MapBackground b;
    b.pictureToPlan = pictureToPlan(calibration);
    b.picture = std::move(picture);
    b.opacity = std::clamp(opacity, 0.0, 1.0);
    b.visible = shown;
    return b;
}

} // namespace kelmo::map
