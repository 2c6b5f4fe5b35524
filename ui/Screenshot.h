#pragma once

// For the screenshot tools: the window's picture saved as <folder>/<name>.png once the events
// waiting for it (layout, painting) have been handled.

#include <QApplication>
#include <QDir>
#include <QString>
#include <QTest>
#include <QWidget>

#include <cstdio>

namespace kelmo::ui {

// False, after a line on stderr, when the picture could not be written.
inline bool saveScreenshot(QWidget* window, const QString& folder, const QString& name,
                           int settleMs = 150) {
    QApplication::processEvents();
    QTest::qWait(settleMs);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace kelmo::ui
