#pragma once

#include "tests/support/WidgetLookup.h"
#include "ui/Messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace kelmo::test {

// The base of every window test: controls found by objectName and driven as a user drives
// them, and the messages the windows show, recorded and answered without a modal loop.
// A missing control ends the test at once (see child()).
class GuiTest : public QObject {
protected:
    // The text of a label or a line edit.
    static QString text(QWidget* window, const char* name) {
        if (auto* label = window->findChild<QLabel*>(QString::fromLatin1(name))) {
            return label->text();
        }
        return child<QLineEdit>(window, name)->text();
    }

    // Replaces the text of a line edit, as typing over a selected text does.
    static void type(QWidget* window, const char* name, const QString& value) {
        child<QLineEdit>(window, name)->setText(value);
    }

    static void click(QWidget* window, const char* name) {
        QTest::mouseClick(child<QAbstractButton>(window, name), Qt::LeftButton);
    }

    // Selects a radio button.
    static void choose(QWidget* window, const char* name) {
        child<QRadioButton>(window, name)->setChecked(true);
    }

    // Triggers a menu item.
    static void trigger(QWidget* window, const char* name) {
        child<QAction>(window, name)->trigger();
    }

    // Whether the control would be seen when its window is shown.
    static bool shown(QWidget* window, const char* name) {
        return child<QWidget>(window, name)->isVisibleTo(window);
    }

    // Windows closed with delete-on-close are gone after this.
    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Call from init(): from here on every message is recorded, not shown. A recorder made
    // later inside a test takes over until it goes.
    void startRecording() {
        m_messages.reset();
        m_messages = std::make_unique<ui::MessageRecorder>();
    }
    // Call from cleanup().
    void stopRecording() { m_messages.reset(); }

    // The messages shown since startRecording().
    ui::MessageRecorder& messages() {
        if (!m_messages) {
            qFatal("startRecording() was not called");
        }
        return *m_messages;
    }

    // The next message shown is answered with this button; later ones with OK.
    void answerNextMessage(QMessageBox::StandardButton answer) { messages().queueAnswer(answer); }

private:
    std::unique_ptr<ui::MessageRecorder> m_messages;
};

} // namespace kelmo::test
