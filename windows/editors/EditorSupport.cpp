#include "windows/editors/EditorSupport.h"

#include "ui/Messages.h"

#include <QComboBox>
#include <QLineEdit>

namespace kelmo::editors {

void showDatabaseError(QWidget* parent, const QString& action, const Error& error) {
    ui::Messages::critical(
        parent, kMessageTitle,
        QStringLiteral("%1\n%2").arg(action, QString::fromStdString(error.what())));
}

void focusField(QWidget* field) {
    if (field == nullptr) {
        return;
    }
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        edit->selectAll();
    } else if (auto* combo = qobject_cast<QComboBox*>(field); combo && combo->lineEdit()) {
        combo->lineEdit()->selectAll();
    }
}

} // namespace kelmo::editors
