#include "ui/WindowPlacement.h"

#include "ui/Settings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace kelmo::ui {

WindowPlacement* WindowPlacement::attach(QWidget* window, const QString& key, Settings& settings) {
    return new WindowPlacement(window, key, settings);
}

WindowPlacement::WindowPlacement(QWidget* window, QString key, Settings& settings)
    : QObject(window)
    , m_window(window)
    , m_key(std::move(key))
    , m_settings(settings) {
    window->installEventFilter(this);
}

void WindowPlacement::restore() {
    const QByteArray stored = m_settings.windowGeometry(m_key);
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
    m_settings.setWindowGeometry(m_key, m_window->saveGeometry());
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
