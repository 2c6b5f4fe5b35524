#include "windows/zone/CalculationParametersWindow.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "session/ZoneSession.h"
#include "ui/Messages.h"
#include "ui/Settings.h"

#include "ui_CalculationParametersWindow.h"

#include <QCloseEvent>

namespace kelmo::zone {

CalculationParametersWindow::CalculationParametersWindow(Session& session, ui::Settings* settings, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::CalculationParametersWindow>())
    , m_session(session)
    , m_settings(settings) {
    m_ui->setupUi(this);

    connect(m_ui->Command1, &QPushButton::clicked, this, &CalculationParametersWindow::accept);
    connect(m_ui->mnuIsh, &QAction::triggered, this, &CalculationParametersWindow::resetTexts);
    for (QLineEdit* field : {m_ui->Text5, m_ui->Text2, m_ui->Text1, m_ui->Text7, m_ui->Text8}) {
        connect(field, &QLineEdit::returnPressed, this, &CalculationParametersWindow::accept);
    }
    // Wide enough for the whole title in the frame.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 200);

    load();
}

CalculationParametersWindow::~CalculationParametersWindow() = default;

void CalculationParametersWindow::load() {
    const CalcState& s = m_session.state();
    m_ui->Text5->setText(numtext::general(s.step));
    m_ui->Text2->setText(numtext::general(s.chartLimitKPa));
    m_ui->Text1->setText(numtext::general(s.chartDivKPa));
    m_ui->Text7->setText(numtext::general(s.chartLimitKgf));
    m_ui->Text8->setText(numtext::general(s.chartDivKgf));
}

void CalculationParametersWindow::resetTexts() {
    const CalcParameters p = CalcParameters::resetValues();
    m_ui->Text5->setText(numtext::general(p.step));
    m_ui->Text2->setText(numtext::general(p.chartLimitKPa));
    m_ui->Text1->setText(numtext::general(p.chartDivKPa));
    m_ui->Text7->setText(numtext::general(p.chartLimitKgf));
    m_ui->Text8->setText(numtext::general(p.chartDivKgf));
}

bool CalculationParametersWindow::accept() {
    CalcState& s = m_session.state();
    struct Field {
        QLineEdit* edit;
        const char* name;
        double* target;
    };
    const Field fields[] = {
        {m_ui->Text5, "Шаг расчета, м", &s.step},
        {m_ui->Text2, "Ограничение графика (кПа)", &s.chartLimitKPa},
        {m_ui->Text1, "Число разбиений (кПа)", &s.chartDivKPa},
        {m_ui->Text7, "Ограничение графика (кгс)", &s.chartLimitKgf},
        {m_ui->Text8, "Число разбиений (кгс)", &s.chartDivKgf},
    };
    for (const Field& f : fields) {
        try {
            *f.target = numtext::parseField(f.edit->text(), QString::fromUtf8(f.name));
        } catch (const ConversionError& e) {
            ui::Messages::warning(this, QStringLiteral("Внимание!"),
                                  QString::fromStdString(e.what()));
            ui::refuseField(f.edit);
            return false;
        }
    }
    if (m_settings != nullptr) {
        m_settings->setParameters(s.parameters());
        m_settings->sync();
    }
    emit parametersAccepted();
    hide();
    return true;
}

void CalculationParametersWindow::closeEvent(QCloseEvent* event) {
    // Closing through the frame keeps the dialog (it is only ever hidden) and brings the
    // input window back, which would otherwise stay hidden with no way to reach it.
    event->ignore();
    emit backRequested();
    hide();
}

} // namespace kelmo::zone
