#include "map/Calibration.h"

#include <QBuffer>
#include <QImageReader>
#include <QLineF>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>

namespace kelmo::map {

namespace {

bool finite(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// A pixel as a complex number on the plan's axes: the picture's y grows downwards.
std::complex<double> upright(QPointF pixel) {
    return {pixel.x(), -pixel.y()};
}

unsigned byteAt(const char* data, qsizetype at) {
    return static_cast<unsigned char>(data[at]);
}

// A JPEG runs from its start mark through segments to the end mark; the compressed data after
// a start-of-scan holds 0xFF only before 0x00 or a restart mark, so the next other mark ends it.
std::optional<qsizetype> jpegLength(const char* data, qsizetype size) {
    qsizetype at = 2;
    while (true) {
        if (at >= size || byteAt(data, at) != 0xFF) {
            return std::nullopt;
        }
        while (at < size && byteAt(data, at) == 0xFF) {
            ++at;
        }
        if (at >= size) {
            return std::nullopt;
        }
        const unsigned mark = byteAt(data, at++);
        if (mark == 0xD9) {
            return at;
        }
        if (mark == 0x01 || (mark >= 0xD0 && mark <= 0xD7)) {
            continue;
        }
        if (at + 2 > size) {
            return std::nullopt;
        }
        const qsizetype length = (byteAt(data, at) << 8) | byteAt(data, at + 1);
        if (length < 2) {
            return std::nullopt;
        }
        at += length;
        if (mark != 0xDA) {
            continue;
        }
        while (true) {
            const void* ff = at < size ? std::memchr(data + at, 0xFF, size - at) : nullptr;
            if (!ff) {
                return std::nullopt;
            }
            at = static_cast<const char*>(ff) - data;
            if (at + 1 >= size) {
                return std::nullopt;
            }
            const unsigned next = byteAt(data, at + 1);
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                at += 2;
            } else if (next == 0xFF) {
                ++at;
            } else {
                break; // the mark after the scan
            }
        }
    }
}

// A PNG is its signature and chunks (length, type, data, check sum) to the IEND chunk.
std::optional<qsizetype> pngLength(const char* data, qsizetype size) {
    qsizetype at = 8;
    while (at + 12 <= size) {
        const quint64 length = (quint64(byteAt(data, at)) << 24) | (byteAt(data, at + 1) << 16) |
                               (byteAt(data, at + 2) << 8) | byteAt(data, at + 3);
        const bool end = std::memcmp(data + at + 4, "IEND", 4) == 0;
        if (length > quint64(size - at - 12)) {
            return std::nullopt;
        }
        at += 12 + static_cast<qsizetype>(length);
        if (end) {
            return at;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<qsizetype> pictureLength(const char* data, qsizetype size) {
    if (size >= 3 && byteAt(data, 0) == 0xFF && byteAt(data, 1) == 0xD8 &&
        byteAt(data, 2) == 0xFF) {
        return jpegLength(data, size);
    }
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        return pngLength(data, size);
    }
    return size;
}

QByteArray pictureBytes(const QByteArray& bytes) {
    const auto length = pictureLength(bytes.constData(), bytes.size());
    if (!length) {
        throw CalibrationError("Рисунок не читается: файл обрезан, конец рисунка в нём "
                               "отсутствует. Рисунок не загружен.");
    }
    return *length == bytes.size() ? bytes : bytes.left(*length);
}

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
    // The decoders fill a cut-off picture with grey and call it read.
    buffer.setData(pictureBytes(bytes));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "jpg") {
        throw CalibrationError("Файл не является рисунком PNG или JPEG: рисунок не загружен.");
    }
    // A scan of a plan is large, but a picture of more than 200 million pixels is a mistake.
    const QSize size = reader.size();
    if (size.isValid() && static_cast<double>(size.width()) * size.height() > kMaxPicturePixels) {
        throw CalibrationError("Рисунок слишком велик (больше 200 миллионов точек): рисунок не "
                               "загружен.");
    }
    // Qt's own limit would refuse a 300-dpi scan of an A1 sheet; the pixel limit above is ours.
    reader.setAllocationLimit(
        static_cast<int>(std::ceil(kMaxPicturePixels * 4 / (1024.0 * 1024.0))) + 64);
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
