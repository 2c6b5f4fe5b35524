#include "map/MapExport.h"

#include "core/SafeFile.h"
#include "map/GeoJson.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace kelmo::map {

namespace {

void checkSize(QSize size) {
    // 20 000 pixels a side is far beyond any print; it keeps a typo from eating the memory.
    if (size.width() < 16 || size.height() < 16 || size.width() > 20000 || size.height() > 20000) {
        throw FileError(QStringLiteral("Размер рисунка %1 × %2 точек: допустимо от 16 до 20 000 "
                                       "точек по каждой стороне.")
                            .arg(size.width())
                            .arg(size.height()));
    }
}

} // namespace

void exportMapPng(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  QSize size) {
    checkSize(size);
    SafeFile file(path); // a path that cannot be written is refused before the drawing
    const QImage image = renderPlanMapImage(model, size, options);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        throw FileError(QStringLiteral("Не удалось построить рисунок PNG %1 × %2 точек: "
                                       "не хватает памяти.")
                            .arg(size.width())
                            .arg(size.height()));
    }
    file.write(bytes);
    file.commit();
}

QByteArray mapSvg(const PlanMapModel& model, const MapOptions& options, QSize size) {
    checkSize(size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    // QSvgGenerator writes the title as it is given, into the markup: the user's text is
    // escaped first, so that «&» or «</title>» in a plan's name stays text.
    svg.setTitle((model.planName.isEmpty() ? QStringLiteral("План местности") : model.planName)
                     .toHtmlEscaped());
    svg.setDescription(QStringLiteral("План местности, зоны поражения и давления"));
    QPainter p(&svg);
    renderPlanMap(p, model, QRectF(QPointF(0, 0), QSizeF(size)), options);
    p.end();
    return bytes;
}

void exportMapSvg(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  QSize size) {
    SafeFile file(path);
    file.write(mapSvg(model, options, size));
    file.commit();
}

void exportMapPdf(const QString& path, const PlanMapModel& model, const MapOptions& options,
                  Paper paper, const QString& heading) {
    SafeFile file(path);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(paper == Paper::A3 ? QPageSize::A3 : QPageSize::A4),
                                      QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                      QPageLayout::Millimeter));
        pdf.setTitle(heading);
        pdf.setCreator(QStringLiteral("Келмо"));
        QPainter p(&pdf);
        if (!p.isActive()) {
            throw FileError(QStringLiteral("Не удалось начать документ PDF."));
        }
        const QRectF page = pdf.pageLayout().paintRectPixels(pdf.resolution());
        renderMapSheet(p, model, QRectF(QPointF(0, 0), page.size()), pdf.resolution() / 25.4,
                       options, heading);
        p.end();
    }
    file.write(bytes);
    file.commit();
}

void exportGeoJson(const QString& path, const PlanMapModel& model) {
    writeFileSafely(path, planGeoJson(model));
}

} // namespace kelmo::map
