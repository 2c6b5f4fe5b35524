#pragma once

#include <QStandardPaths>
#include <QString>

#include <functional>
#include <memory>

class QWidget;
class QProgressDialog;

namespace kelmo::ui {

class Settings;

// Hand-over of a finished document: a save dialog with a default name in the folder this
// kind of file was last saved in (remembered in settings under the dialog's name), else in
// the user's documents folder; Cancel writes nothing. On saving, write(path) makes the file,
// which is then opened in the desktop's default application, and its folder is remembered.
// A failure shows a clear message and returns false; the program keeps running. Returns true
// when the file was written. Without settings no folder is remembered.
bool saveAndOpen(QWidget* parent, const QString& defaultName, const QString& filter,
                 const std::function<void(const QString& path)>& write,
                 Settings* settings = nullptr, const QString& dialog = {});

// The folder a save dialog starts in: the one remembered for it when it still exists, else
// the given standard location, else the home folder.
QString startFolder(const Settings* settings, const QString& dialog,
                    QStandardPaths::StandardLocation fallback);
// Remembers the folder of a file the user saved through the named dialog.
void rememberFolder(Settings* settings, const QString& dialog, const QString& savedPath);

// Hands a file to the desktop's program for its type. Where the desktop opener is xdg-open,
// its exit status is awaited in the background, so that "no program for this type" reaches
// the user as `failureText` instead of passing in silence; elsewhere Qt's answer is used.
void openWithDesktop(QWidget* parent, const QString& path, const QString& failureText);
// The same with the caller's own answer to a failure, which may be called after a window
// that asked for the file has gone.
void openWithDesktop(const QString& path, const std::function<void()>& onFailure);

// Tests replace the dialog (return "" for Cancel) and the opening of the saved file.
using SaveDialogHook = std::function<QString(const QString& defaultPath, const QString& filter)>;
using OpenHook = std::function<void(const QString& path)>;
void setSaveDialogForTesting(SaveDialogHook hook);
void setOpenerForTesting(OpenHook hook);

// A progress dialog for a job that takes more than a moment; shows itself only after half a
// second.
class ProgressDialog final {
public:
    ProgressDialog(QWidget* parent, const QString& title, const QString& label);
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    void update(int done, int total);

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace kelmo::ui
