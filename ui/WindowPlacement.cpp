#include "ui/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QWidget>

namespace kelmo::ui {

WindowPlacement* WindowPlacement::attach(QWidget* window, const QString& key) {
    return new WindowPlacement(window, key);
}

WindowPlacement::WindowPlacement(QWidget* window, QString key)
    : QObject(window)
    , m_window(window)
    , m_key(std::move(key)) {
    window->installEventFilter(this);
}

QString WindowPlacement::settingsKey() const {
    return QStringLiteral("windows/") + m_key;
}

void WindowPlacement::restore() {
    const QSettings settings;
    const QByteArray stored = settings.value(settingsKey()).toByteArray();
    if (!stored.isEmpty() && m_window->restoreGeometry(stored)) {
        return;
    }
    QScreen* screen =
        m_window->screen() != nullptr ? m_window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    m_window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, m_window->size(),
                                              screen->availableGeometry()));
}

void WindowPlacement::save() const {
    QSettings settings;
    settings.setValue(settingsKey(), m_window->saveGeometry());
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
            // Every show, not only the first: a window system may place a window that is
            // shown again wherever it likes.
            restore();
            m_placed = true;
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (m_placed && m_window->isVisible()) {
                save();
            }
            break;
        case QEvent::Hide:
        case QEvent::Close:
            if (m_placed) {
                save();
            }
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kelmo::ui
