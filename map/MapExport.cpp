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
    // The drawing's physical size is that of its pixels on a 96 dpi screen.
    svg.setResolution(96);
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

double exportMapPdf(const QString& path, const PlanMapModel& model, const MapOptions& options,
                    Paper paper, const TitleBlock& title, double denominator) {
    SafeFile file(path);
    const QMarginsF margins(10, 10, 10, 10);
    const QSizeF sheet = paperMillimetres(paper);
    const SheetSet sheets = mapSheets(model, options,
                                      QSizeF(sheet.width() - margins.left() - margins.right(),
                                             sheet.height() - margins.top() - margins.bottom()),
                                      denominator);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(300);
        const QPageSize::PageSizeId ids[] = {QPageSize::A4, QPageSize::A3, QPageSize::A2,
                                             QPageSize::A1};
        pdf.setPageLayout(QPageLayout(QPageSize(ids[static_cast<int>(paper)]),
                                      QPageLayout::Landscape, margins, QPageLayout::Millimeter));
        pdf.setTitle(QStringLiteral("План местности «%1»").arg(title.plan));
        pdf.setCreator(QStringLiteral("Келмо"));
        QPainter p(&pdf);
        if (!p.isActive()) {
            throw FileError(QStringLiteral("Не удалось начать документ PDF."));
        }
        const QRectF page = pdf.pageLayout().paintRectPixels(pdf.resolution());
        for (int i = 0; i < static_cast<int>(sheets.planWindows.size()); ++i) {
            if (i > 0) {
                pdf.newPage();
            }
            renderMapSheet(p, model, QRectF(QPointF(0, 0), page.size()), pdf.resolution() / 25.4,
                           options, title, sheets, i);
        }
        p.end();
    }
    file.write(bytes);
    file.commit();
    return sheets.denominator;
}

void exportGeoJson(const QString& path, const PlanMapModel& model) {
    writeFileSafely(path, planGeoJson(model));
}

} // namespace kelmo::map
