#include "ui/FileHandover.h"

#include "engine/Errors.h"
#include "ui/Messages.h"
#include "ui/Settings.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>

namespace kelmo::ui {

namespace {
SaveDialogHook& saveHook() {
    static SaveDialogHook hook;
    return hook;
}
OpenHook& openHook() {
    static OpenHook hook;
    return hook;
}
} // namespace

void setSaveDialogForTesting(SaveDialogHook hook) {
    saveHook() = std::move(hook);
}
void setOpenerForTesting(OpenHook hook) {
    openHook() = std::move(hook);
}

QString startFolder(const Settings* settings, const QString& dialog,
                    QStandardPaths::StandardLocation fallback) {
    QString folder = settings != nullptr ? settings->saveFolder(dialog) : QString();
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(fallback);
    }
    if (folder.isEmpty()) {
        folder = QDir::homePath();
    }
    return folder;
}

void rememberFolder(Settings* settings, const QString& dialog, const QString& savedPath) {
    if (settings != nullptr) {
        settings->setSaveFolder(dialog, QFileInfo(savedPath).absolutePath());
        settings->sync();
    }
}

bool saveAndOpen(QWidget* parent, const QString& defaultName, const QString& filter,
                 const std::function<void(const QString& path)>& write, Settings* settings,
                 const QString& dialog) {
    const QString defaultPath =
        QDir(startFolder(settings, dialog, QStandardPaths::DocumentsLocation))
            .filePath(defaultName);
    const QString path = saveHook()
                             ? saveHook()(defaultPath, filter)
                             : QFileDialog::getSaveFileName(parent, QStringLiteral("Сохранить как"),
                                                            defaultPath, filter);
    if (path.isEmpty()) {
        return false; // Cancel: nothing is written
    }
    try {
        write(path);
    } catch (const kelmo::Error& e) {
        Messages::critical(parent, QStringLiteral("Внимание!"), QString::fromUtf8(e.what()));
        return false;
    } catch (const std::exception& e) {
        Messages::critical(parent, QStringLiteral("Внимание!"),
                           QStringLiteral("Файл не записан: %1").arg(QString::fromUtf8(e.what())));
        return false;
    }
    rememberFolder(settings, dialog, path);
    if (openHook()) {
        openHook()(path);
    } else {
        openWithDesktop(parent, path,
                        QStringLiteral("Файл «%1» сохранен, но открыть его не удалось: нет "
                                       "программы для файлов этого типа.")
                            .arg(QDir::toNativeSeparators(path)));
    }
    return true;
}

void openWithDesktop(QWidget* parent, const QString& path, const QString& failureText) {
    const QPointer<QWidget> owner(parent);
    openWithDesktop(path, [owner, failureText] {
        Messages::warning(owner, QStringLiteral("Внимание!"), failureText);
    });
}

void openWithDesktop(const QString& path, const std::function<void()>& onFailure) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        // xdg-open reports a missing program only through its exit status. Without a desktop
        // of its own it waits for the viewer, so the process belongs to the application, not
        // to a window the user may close meanwhile; an opener stopped at the program's end is
        // no failure to report.
        auto* process = new QProcess(QCoreApplication::instance());
        QObject::connect(process, &QProcess::finished, process,
                         [process, onFailure](int exitCode, QProcess::ExitStatus status) {
                             if (status == QProcess::NormalExit && exitCode != 0) {
                                 onFailure();
                             }
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, onFailure](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) {
                                 onFailure();
                                 process->deleteLater();
                             }
                         });
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(opener, {path});
        return;
    }
#endif
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        onFailure();
    }
}

ProgressDialog::ProgressDialog(QWidget* parent, const QString& title, const QString& label)
    : m_dialog(std::make_unique<QProgressDialog>(label, QString(), 0, 100, parent)) {
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setValue(0);
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::update(int done, int total) {
    m_dialog->setValue(total > 0 ? done * 100 / total : 100);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace kelmo::ui
