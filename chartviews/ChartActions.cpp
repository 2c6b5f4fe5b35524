#include "chartviews/ChartActions.h"

#include "ui/FileHandover.h"
#include "ui/Messages.h"

#include <QAction>
#include <QChartView>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <QStandardPaths>

namespace kelmo::charts {

namespace {

ImageDialogHook& dialogHook() {
    static ImageDialogHook hook;
    return hook;
}

QString askForPath(QWidget* parent, const QString& proposed) {
    if (dialogHook()) {
        return dialogHook()(proposed);
    }
    return QFileDialog::getSaveFileName(
        parent, QStringLiteral("Сохранить изображение"), proposed,
        QStringLiteral("Рисунок PNG (*.png);;Рисунок JPEG (*.jpg *.jpeg)"));
}

} // namespace

void setImageDialogForTesting(ImageDialogHook hook) {
    dialogHook() = std::move(hook);
}

QImage chartImage(QChartView* view) {
    return view->grab().toImage();
}

QString writeImageFile(const QImage& image, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QByteArray format =
        suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") ? "jpg" : "png";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    QImageWriter writer(&file, format);
    if (!writer.write(image)) {
        file.cancelWriting();
        return writer.errorString();
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

namespace {
const QString kImageDialog = QStringLiteral("chartImage");
}

bool saveChartImage(QWidget* parent, const QImage& image, const QString& defaultName,
                    ui::Settings* settings) {
    const QString folder =
        ui::startFolder(settings, kImageDialog, QStandardPaths::PicturesLocation);
    QString path = askForPath(parent, QDir(folder).filePath(defaultName + QStringLiteral(".png")));
    if (path.isEmpty()) {
        return false;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".png");
    }
    const QString error = writeImageFile(image, path);
    if (!error.isEmpty()) {
        ui::Messages::critical(parent, QStringLiteral("Внимание!"),
                               QStringLiteral("Изображение не сохранено в файл «%1».\n%2")
                                   .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    ui::rememberFolder(settings, kImageDialog, path);
    return true;
}

void installChartMenu(QChartView* view, const QString& defaultName, ui::Settings* settings) {
    auto* copy = new QAction(QStringLiteral("Копировать"), view);
    copy->setObjectName(QStringLiteral("actCopyChart"));
    QObject::connect(copy, &QAction::triggered, view,
                     [view] { QGuiApplication::clipboard()->setImage(chartImage(view)); });
    auto* save = new QAction(QStringLiteral("Сохранить изображение…"), view);
    save->setObjectName(QStringLiteral("actSaveChart"));
    QObject::connect(save, &QAction::triggered, view, [view, defaultName, settings] {
        saveChartImage(view->window(), chartImage(view), defaultName, settings);
    });
    view->addAction(copy);
    view->addAction(save);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace kelmo::charts
