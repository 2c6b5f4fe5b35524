#pragma once

#include "ui/Settings.h"

#include <QDialog>

class QLineEdit;

namespace kelmo::ui {

// «Сведения для отчетов»: the organisation and the author that every report's title block
// carries. Asked once; the settings keep the answer.
class ReportAuthorDialog final : public QDialog {
    Q_OBJECT

public:
    explicit ReportAuthorDialog(const ReportAuthor& shown, QWidget* parent = nullptr);

    ReportAuthor author() const;

private:
    QLineEdit* m_organisation = nullptr;
    QLineEdit* m_author = nullptr;
};

// The organisation and author kept in the settings; the first time (nothing kept yet) the
// dialog asks for them and the settings keep the answer. Cancelled, or without settings: empty
// texts, and the question comes again with the next report.
ReportAuthor reportAuthor(QWidget* parent, Settings* settings);

} // namespace kelmo::ui
