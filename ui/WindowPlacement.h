#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace kelmo::ui {

class Settings;

// Keeps a window where the user left it. The first show ever centres the window on its
// screen; after that every show puts it back at the place and size it had when it was last
// moved, resized or hidden, in this run or an earlier one (kept in the program's Settings).
// A stored place that cannot be used (damaged, or on a screen that is gone) centres it again.
class WindowPlacement final : public QObject {
    Q_OBJECT

public:
    // Attaches to the window, which owns the helper; key names the window in the settings,
    // which must outlive the window.
    static WindowPlacement* attach(QWidget* window, const QString& key, Settings& settings);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowPlacement(QWidget* window, QString key, Settings& settings);
    void restore();
    void save() const;

    QWidget* m_window;
    QString m_key;
    Settings& m_settings;
    bool m_placed = false; // shown at least once: its geometry is worth keeping
};

} // namespace kelmo::ui
