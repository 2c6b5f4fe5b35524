#pragma once

// Work the window must wait for but need not freeze for: it runs on a thread of its own while
// the window keeps answering, with a «Отмена» dialog after a moment. Cancelling leaves the
// thread to finish (or hang, inside a library that never returns) on its own; what it makes
// is then dropped. The work must own everything it touches: capture by value.

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QString>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <exception>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

namespace kelmo::ui {

// Runs work() and returns what it returns; nothing when the user cancelled. An exception
// thrown by the work is thrown here.
template <class Work>
auto runInBackground(QWidget* parent, const QString& label, Work work)
    -> std::optional<decltype(work())> {
    using Result = decltype(work());
    struct Shared {
        std::atomic<bool> done{false};
        std::optional<Result> result;
        std::exception_ptr error;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread thread([shared, work = std::move(work)]() mutable {
        try {
            shared->result.emplace(work());
        } catch (...) {
            shared->error = std::current_exception();
        }
        shared->done = true;
    });

    // Short work finishes before anything is shown.
    QElapsedTimer waited;
    waited.start();
    while (!shared->done && waited.elapsed() < 200) {
        QThread::msleep(2);
    }
    if (!shared->done) {
        QProgressDialog progress(label, QStringLiteral("Отмена"), 0, 0, parent);
        progress.setWindowTitle(QApplication::applicationDisplayName());
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        progress.show();
        while (!shared->done && !progress.wasCanceled()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(10);
        }
        if (!shared->done) {
            thread.detach();
            return std::nullopt;
        }
    }
    thread.join();
    if (shared->error) {
        std::rethrow_exception(shared->error);
    }
    return std::move(shared->result);
}

} // namespace kelmo::ui
