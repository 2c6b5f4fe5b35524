#pragma once

// Database work of the plan windows, run on a worker thread with a connection of its own: a
// server that stops answering keeps the user waiting behind «Отмена», not in a frozen window.
// The screen thread never uses a connection to the plan's database.

#include "data/Database.h"
#include "ui/BackgroundWork.h"

#include <functional>
#include <utility>

namespace kelmo::plan {

// Runs work(connection) on a worker and returns what it returns; nothing when the user
// cancelled. What the work throws is thrown here. The work must capture by value.
// afterCancelled, when given, runs on the screen thread if cancelled work ends after all.
template <class Work>
auto onDatabase(QWidget* parent, const QString& label, const QString& connectionString, Work work,
                std::function<void()> afterCancelled = {}) {
    return ui::runInBackground(
        parent, label,
        [connectionString, work = std::move(work)]() mutable {
            db::Connection c(connectionString);
            return work(c);
        },
        std::move(afterCancelled));
}

} // namespace kelmo::plan
