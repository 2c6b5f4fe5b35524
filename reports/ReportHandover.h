#pragma once

#include "engine/CalcState.h"
#include "reports/ReportData.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QWidget;
class QProgressDialog;

namespace kelmo::reports {

inline constexpr const char* kWordFilter = "Документ Word (*.docx)";

// Pictures of the five charts of the results window drawn from the state; the range chart is
// added by the caller when one has been built.
ReportCharts renderReportCharts(const CalcState& s);

// Hand-over of a finished document: a save dialog with a default name in the user's
// documents folder; Cancel writes nothing. On saving, write(path) makes the file, which is
// then opened in the desktop's default application. A failure shows a clear message and
// returns false; the program keeps running. Returns true when the file was written.
bool saveAndOpen(QWidget* parent, const QString& defaultName, const QString& filter,
                 const std::function<void(const QString& path)>& write);

// Tests replace the dialog (return "" for Cancel) and the opening of the saved file.
using SaveDialogHook = std::function<QString(const QString& defaultPath, const QString& filter)>;
using OpenHook = std::function<void(const QString& path)>;
void setSaveDialogForTesting(SaveDialogHook hook);
void setOpenerForTesting(OpenHook hook);

// A progress dialog for a report that takes more than a moment; shows itself only after
// half a second.
class ReportProgress {
public:
    ReportProgress(QWidget* parent, const QString& label);
    ~ReportProgress();
    void update(int done, int total);

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace kelmo::reports
