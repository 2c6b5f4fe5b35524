#pragma once

#include "ui/BackgroundWork.h"

#include <QElapsedTimer>
#include <QList>
#include <QProgressDialog>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace kelmo::test {

// Once the window's busy sign (of ui::runInBackground) shows, presses its «Отмена» and notes
// its text in `label`. Looked for every 50 ms, for 30 s at most: under the sanitizers on a
// loaded machine the sign may take far longer than its 0.2 s to show.
inline void cancelBusySignWhenShown(QWidget* window, QString* label) {
    auto* poll = new QTimer(window);
    const auto looking = std::make_shared<QElapsedTimer>();
    looking->start();
    QObject::connect(poll, &QTimer::timeout, window, [window, label, poll, looking] {
        auto* busy = window->findChild<QProgressDialog*>(QLatin1String(ui::kBackgroundDialogName));
        if (!busy || !busy->isVisible()) {
            if (looking->elapsed() > 30000) {
                poll->stop();
                poll->deleteLater();
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        *label = busy->labelText();
        const QList<QPushButton*> buttons = busy->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.first()->text(), QStringLiteral("Отмена"));
        QTest::mouseClick(buttons.first(), Qt::LeftButton);
    });
    poll->start(50);
}

} // namespace kelmo::test
