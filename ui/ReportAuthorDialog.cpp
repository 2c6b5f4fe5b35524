#include "ui/ReportAuthorDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace kelmo::ui {

ReportAuthorDialog::ReportAuthorDialog(const ReportAuthor& shown, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("reportAuthorDialog"));
    setWindowTitle(QStringLiteral("Сведения для отчетов"));
    auto* form = new QFormLayout(this);
    auto* note = new QLabel(QStringLiteral("Эти сведения войдут в заголовок каждого отчета и "
                                           "в штамп листа карты."),
                            this);
    note->setWordWrap(true);
    form->addRow(note);
    m_organisation = new QLineEdit(shown.organisation, this);
    m_organisation->setObjectName(QStringLiteral("txtOrganisation"));
    m_organisation->setMinimumWidth(360);
    m_author = new QLineEdit(shown.author, this);
    m_author->setObjectName(QStringLiteral("txtAuthor"));
    form->addRow(QStringLiteral("Организация:"), m_organisation);
    form->addRow(QStringLiteral("Исполнитель:"), m_author);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

ReportAuthor ReportAuthorDialog::author() const {
    return {m_organisation->text().trimmed(), m_author->text().trimmed()};
}

ReportAuthor reportAuthor(QWidget* parent, Settings* settings) {
    if (settings == nullptr) {
        return {};
    }
    if (const std::optional<ReportAuthor> kept = settings->reportAuthor()) {
        return *kept;
    }
    ReportAuthorDialog dialog({}, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    settings->setReportAuthor(dialog.author());
    return dialog.author();
}

} // namespace kelmo::ui
