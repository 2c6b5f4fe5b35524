#include "ui/Messages.h"

namespace kelmo::ui {

namespace {
Messages::Interceptor& interceptor() {
    static Messages::Interceptor instance;
    return instance;
}
} // namespace

QMessageBox::StandardButton Messages::show(QWidget* parent, const Message& message) {
    if (interceptor()) {
        return interceptor()(message);
    }
    QMessageBox box(message.icon, message.title, message.text, message.buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void Messages::info(QWidget* parent, const QString& title, const QString& text) {
    show(parent, {title, text, QMessageBox::Information, QMessageBox::Ok});
}

void Messages::warning(QWidget* parent, const QString& title, const QString& text) {
    show(parent, {title, text, QMessageBox::Warning, QMessageBox::Ok});
}

void Messages::critical(QWidget* parent, const QString& title, const QString& text) {
    show(parent, {title, text, QMessageBox::Critical, QMessageBox::Ok});
}

void Messages::plain(QWidget* parent, const QString& title, const QString& text) {
    show(parent, {title, text, QMessageBox::NoIcon, QMessageBox::Ok});
}

void Messages::setInterceptor(Interceptor i) {
    interceptor() = std::move(i);
}

Messages::Interceptor Messages::currentInterceptor() {
    return interceptor();
}

MessageRecorder::MessageRecorder()
    : m_previous(Messages::currentInterceptor()) {
    Messages::setInterceptor([this](const Message& m) {
        m_messages.append(m);
        return m_answers.isEmpty() ? QMessageBox::Ok : m_answers.takeFirst();
    });
}

MessageRecorder::~MessageRecorder() {
    Messages::setInterceptor(std::move(m_previous));
}

} // namespace kelmo::ui
