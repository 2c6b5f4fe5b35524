#include "planimport/GeoPicture.h"

#include "planimport/GdalSupport.h"
#include "planimport/PlanSource.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cmath>

namespace kelmo::planimport {

namespace {

[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw PlanSourceError(QStringLiteral("Рисунок «%1» не размещается сам: %2 Привяжите его "
                                         "двумя точками.")
                              .arg(QDir::toNativeSeparators(path), why)
                              .toStdString());
}

bool near(double a, double b, double scale) {
    return std::abs(a - b) <= 1e-9 * scale;
}

// The raster as a PNG file's bytes, written by GDAL into memory.
QByteArray asPng(GDALDataset& ds, const QString& path) {
    GDALDriver* png = GetGDALDriverManager()->GetDriverByName("PNG");
    const QByteArray name = QByteArrayLiteral("/vsimem/kelmo-picture-") +
                            QByteArray::number(reinterpret_cast<quintptr>(&ds)) + ".png";
    GDALDatasetUniquePtr copy(
        png ? png->CreateCopy(name.constData(), &ds, FALSE, nullptr, nullptr, nullptr) : nullptr);
    if (!copy) {
        const QString detail = GdalErrorCapture::lastError();
        VSIUnlink(name.constData());
        throw PlanSourceError(
            QStringLiteral("Рисунок «%1» не переводится в PNG%2: нужен рисунок из 1, 3 или 4 "
                           "каналов по 8 бит.")
                .arg(QDir::toNativeSeparators(path),
                     detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail))
                .toStdString());
    }
    copy.reset();
    vsi_l_offset size = 0;
    GByte* data = VSIGetMemFileBuffer(name.constData(), &size, TRUE);
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CPLFree(data);
    return bytes;
}

} // namespace

std::optional<GeoPicture> readGeoPicture(const QString& path) {
    registerGdal();
    GdalErrorCapture capture;
    GDALDatasetUniquePtr ds(GDALDataset::Open(
        path.toUtf8().constData(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!ds) {
        throw PlanSourceError(
            QStringLiteral("Файл «%1» не читается как рисунок%2.")
                .arg(QDir::toNativeSeparators(path),
                     GdalErrorCapture::lastError().isEmpty()
                         ? QString()
                         : QStringLiteral(": %1").arg(GdalErrorCapture::lastError()))
                .toStdString());
    }
    double gt[6] = {0, 1, 0, 0, 0, 1};
    if (ds->GetGeoTransform(gt) != CE_None) {
        return std::nullopt;
    }
    GeoPicture out;
    if (const OGRSpatialReference* srs = ds->GetSpatialRef(); srs && !srs->IsEmpty()) {
        if (srs->IsGeographic()) {
            refuse(path,
                   QStringLiteral("он привязан в долготе и широте, а план ведётся в метрах."));
        }
        if (std::abs(srs->GetLinearUnits() - 1.0) > 1e-9) {
            refuse(path, QStringLiteral("его координаты не в метрах."));
        }
        out.epsg = epsgOf(*srs);
    }

    const int width = ds->GetRasterXSize();
    const int height = ds->GetRasterYSize();
    // x = gt0 + col·a + row·b, y = gt3 + col·d + row·e; the plan takes a picture that is only
    // scaled, turned and moved, with y up: a = −e and b = d.
    const double a = gt[1], b = gt[2], d = gt[4], e = gt[5];
    const double scale = std::max({std::abs(a), std::abs(b), std::abs(d), std::abs(e)});
    if (!(scale > 0) || !std::isfinite(scale)) {
        refuse(path, QStringLiteral("размер его точки на местности равен нулю."));
    }
    const bool northUp = b == 0 && d == 0 && a > 0;
    const QString driver = QString::fromLatin1(ds->GetDriver()->GetDescription());
    const bool keepsFile = driver == QLatin1String("PNG") || driver == QLatin1String("JPEG");

    double rowStep = e; // metres along y of one row of the picture that is stored
    int storedHeight = height;
    if (northUp && e < 0 && !near(a, -e, scale)) {
        // Pixels longer than wide: the picture is stretched to square ones.
        storedHeight = static_cast<int>(std::lround(height * -e / a));
        if (storedHeight < 1) {
            storedHeight = 1;
        }
        rowStep = e * height / storedHeight;
        QImage image = map::decodePicture(keepsFile ? [&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }()
                                                    : asPng(*ds, path));
        image = image.scaled(width, storedHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QBuffer buffer(&out.bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    } else if (near(a, -e, scale) && near(b, d, scale) && a * -e + b * d > 0) {
        if (keepsFile) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) {
                throw PlanSourceError(QStringLiteral("Файл «%1» не открывается: %2")
                                          .arg(QDir::toNativeSeparators(path), f.errorString())
                                          .toStdString());
            }
            out.bytes = f.readAll();
        } else {
            out.bytes = asPng(*ds, path);
        }
    } else {
        refuse(path, QStringLiteral("он перекошен или отражён (точки рисунка не квадратные)."));
    }

    out.calibration.first = {QPointF(0, 0), QPointF(gt[0], gt[3])};
    out.calibration.second = {QPointF(width, storedHeight),
                              QPointF(gt[0] + width * a + storedHeight * (northUp ? 0 : b),
                                      gt[3] + width * d + storedHeight * (northUp ? rowStep : e))};
    out.calibration.rotation = !northUp;
    return out;
}

} // namespace kelmo::planimport
