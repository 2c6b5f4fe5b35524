#pragma once

#include <QImage>
#include <QString>

#include <functional>

class QChartView;
class QWidget;

namespace kelmo::ui {
class Settings;
}

namespace kelmo::charts {

// Gives a chart view a context menu: "Копировать" puts the chart as a picture on the
// clipboard, "Сохранить изображение…" writes it to a PNG or JPEG file the user names.
// defaultName is the file name the save dialog proposes, without a suffix. With settings the
// dialog starts in the folder a chart picture was last saved in.
void installChartMenu(QChartView* view, const QString& defaultName,
                      ui::Settings* settings = nullptr);

// The chart as the view shows it.
QImage chartImage(QChartView* view);

// Asks for a file name and writes the picture there (the format follows the suffix, PNG when
// there is none). The file is replaced only once the whole picture is written; a failure is
// shown and leaves an existing file as it was. False on Cancel or failure.
bool saveChartImage(QWidget* parent, const QImage& image, const QString& defaultName,
                    ui::Settings* settings = nullptr);

// Writes the picture; an empty string on success, else the reason.
QString writeImageFile(const QImage& image, const QString& path);

// Tests replace the save dialog: it gets the proposed path and returns the chosen one, or ""
// for Cancel.
using ImageDialogHook = std::function<QString(const QString& proposedPath)>;
void setImageDialogForTesting(ImageDialogHook hook);

} // namespace kelmo::charts
