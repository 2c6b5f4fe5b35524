#include "ui/BackgroundWork.h"

#include <QThreadPool>

#include <thread>

namespace kelmo::ui::detail {

void startBackgroundJob(std::function<void()> job) {
    // Kept threads: a server's connection is kept per thread, so work started again on one of
    // them goes on with its connection instead of logging in anew. The pool is never
    // destroyed, so that quitting does not wait for a job stuck in a library that never
    // returns; such a job keeps its thread, and when every kept thread is busy a job gets a
    // thread of its own.
    static QThreadPool* const kept = [] {
        auto* pool = new QThreadPool;
        pool->setMaxThreadCount(4);
        pool->setExpiryTimeout(-1);
        return pool;
    }();
    if (!kept->tryStart(job)) {
        std::thread(std::move(job)).detach();
    }
}

} // namespace kelmo::ui::detail
