#pragma once

// Work the window must wait for but need not freeze for: it runs on a thread of its own while
// the window keeps answering, with a «Отмена» dialog after a moment. Cancelling leaves the
// thread to finish (or hang, inside a library that never returns) on its own; what it makes
// is then dropped. The work must own everything it touches: capture by value. The threads are
// kept for the next work, and with them the server connection each keeps.

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kelmo::ui {

namespace detail {
// Runs the job on one of the threads kept for background work, or on a thread of its own when
// they are all busy.
void startBackgroundJob(std::function<void()> job);
} // namespace detail

// How long work may take before its dialog with «Отмена» shows, in ms. Until then the window
// goes on painting and running its timers, but holds back clicks and keys for afterwards, so
// that a quick action looks like any other.
inline constexpr int kBackgroundDialogAfterMs = 200;

// The objectName of the dialog, for tests and screenshots.
inline constexpr const char* kBackgroundDialogName = "backgroundWorkDialog";

// How far the work has come in percent, set by the work on its own thread for the dialog's
// bar; below 0 (as made) the bar only shows that the work goes on.
using BackgroundProgress = std::shared_ptr<std::atomic<int>>;
inline BackgroundProgress makeBackgroundProgress() {
    return std::make_shared<std::atomic<int>>(-1);
}

// Runs work() and returns what it returns; nothing when the user cancelled. An exception
// thrown by the work is thrown here.
//
// Work that was cancelled may still end on its own later (a write that reached the database
// after all): afterCancelled, when given, is then called on the screen thread, provided the
// parent still exists, so that the window can read again what the database now holds.
template <class Work>
auto runInBackground(QWidget* parent, const QString& label, Work work,
                     std::function<void()> afterCancelled = {},
                     BackgroundProgress progressMade = {}) -> std::optional<decltype(work())> {
    using Result = decltype(work());
    struct Shared {
        std::mutex mutex;
        bool done = false;          // guarded by mutex
        bool cancelled = false;     // guarded by mutex
        std::function<void()> late; // posted to the screen thread when cancelled work ends
        std::atomic<bool> finished{false};
        std::optional<Result> result;
        std::exception_ptr error;
    };
    const auto shared = std::make_shared<Shared>();
    detail::startBackgroundJob([shared, work = std::move(work)]() mutable {
        try {
            shared->result.emplace(work());
        } catch (...) {
            shared->error = std::current_exception();
        }
        std::function<void()> late;
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->done = true;
            if (shared->cancelled) {
                late = std::move(shared->late);
            }
        }
        shared->finished = true;
        if (late && QCoreApplication::instance() != nullptr) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(late),
                                      Qt::QueuedConnection);
        }
    });

    // Short work finishes before anything is shown; the window keeps painting meanwhile.
    QElapsedTimer waited;
    waited.start();
    while (!shared->finished && waited.elapsed() < kBackgroundDialogAfterMs) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(2);
    }
    if (!shared->finished) {
        QProgressDialog progress(label, QStringLiteral("Отмена"), 0, 0, parent);
        progress.setObjectName(QLatin1String(kBackgroundDialogName));
        progress.setWindowTitle(QApplication::applicationDisplayName());
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        progress.setAutoReset(false);
        progress.setAutoClose(false);
        progress.show();
        while (!shared->finished && !progress.wasCanceled()) {
            if (progressMade && *progressMade >= 0) {
                progress.setMaximum(100);
                progress.setValue(std::min(progressMade->load(), 100));
            }
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        if (!shared->finished) {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            // Work that ended as «Отмена» was pressed counts as done.
            if (!shared->done) {
                shared->cancelled = true;
                if (afterCancelled) {
                    shared->late = [guard = QPointer<QWidget>(parent),
                                    hadParent = parent != nullptr,
                                    afterCancelled = std::move(afterCancelled)] {
                        if (guard || !hadParent) {
                            afterCancelled();
                        }
                    };
                }
                return std::nullopt;
            }
        }
    }
    if (shared->error) {
        std::rethrow_exception(shared->error);
    }
    return std::move(shared->result);
}

} // namespace kelmo::ui
