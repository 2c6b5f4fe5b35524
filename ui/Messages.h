#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace kelmo::ui {

// One message as it would be shown.
struct Message {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// Every message box of the program goes through here, so that tests can see and answer it
// without a modal loop.
class Messages {
public:
    using Interceptor = std::function<QMessageBox::StandardButton(const Message&)>;

    static QMessageBox::StandardButton show(QWidget* parent, const Message& message);

    // Shortcuts for the usual cases: OK only.
    static void info(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void critical(QWidget* parent, const QString& title, const QString& text);
    static void plain(QWidget* parent, const QString& title, const QString& text);

    // Tests only: replace the dialog by a function; an empty function restores it.
    static void setInterceptor(Interceptor interceptor);
    static Interceptor currentInterceptor();
};

// Records the messages shown while it lives and answers each with the next queued answer,
// or OK when none is queued. Recorders nest: the one made last records until it goes.
class MessageRecorder final {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void queueAnswer(QMessageBox::StandardButton answer) { m_answers.append(answer); }
    const QList<Message>& messages() const { return m_messages; }
    Message last() const { return m_messages.isEmpty() ? Message{} : m_messages.last(); }
    int count() const { return static_cast<int>(m_messages.size()); }
    void clear() { m_messages.clear(); }

private:
    QList<Message> m_messages;
    QList<QMessageBox::StandardButton> m_answers;
    Messages::Interceptor m_previous;
};

} // namespace kelmo::ui
