#include "windows/zone/CalculationParametersWindow.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "session/ZoneSession.h"
#include "ui/Messages.h"
#include "ui/Settings.h"

#include "ui_CalculationParametersWindow.h"

#include <QCloseEvent>

namespace kelmo::zone {

// The dialog's controls, named by what they are. Only the constructor below knows their
// objectNames, which stay those of the documented form; docs/glossary.md lists both.
struct CalculationParametersWindow::Controls {
    explicit Controls(QMainWindow* window);

    QLineEdit* stepEdit = nullptr;              // m
    QLineEdit* kPaChartLimitEdit = nullptr;     // the top of the kPa axis
    QLineEdit* kPaChartDivisionsEdit = nullptr; // of the kPa axis
    QLineEdit* kgfChartLimitEdit = nullptr;     // the top of the kgf/cm² axis
    QLineEdit* kgfChartDivisionsEdit = nullptr; // of the kgf/cm² axis
    QPushButton* okButton = nullptr;
    QAction* resetAction = nullptr; // "Исходные значения": puts back the starting values
};

CalculationParametersWindow::Controls::Controls(QMainWindow* window) {
    Ui::CalculationParametersWindow form;
    form.setupUi(window);
    stepEdit = form.Text5;
    kPaChartLimitEdit = form.Text2;
    kPaChartDivisionsEdit = form.Text1;
    kgfChartLimitEdit = form.Text7;
    kgfChartDivisionsEdit = form.Text8;
    okButton = form.Command1;
    resetAction = form.mnuIsh;
}

CalculationParametersWindow::CalculationParametersWindow(const WindowContext& context,
                                                         Session& session, QWidget* parent)
    : QMainWindow(parent)
    , m_session(session)
    , m_settings(context.settings) {
    m_ui = std::make_unique<Controls>(this);

    connect(m_ui->okButton, &QPushButton::clicked, this, &CalculationParametersWindow::accept);
    connect(m_ui->resetAction, &QAction::triggered, this, &CalculationParametersWindow::resetTexts);
    for (QLineEdit* field : {m_ui->stepEdit, m_ui->kPaChartLimitEdit, m_ui->kPaChartDivisionsEdit,
                             m_ui->kgfChartLimitEdit, m_ui->kgfChartDivisionsEdit}) {
        connect(field, &QLineEdit::returnPressed, this, &CalculationParametersWindow::accept);
    }
    // Wide enough for the whole title in the frame.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 200);

    load();
}

CalculationParametersWindow::~CalculationParametersWindow() = default;

void CalculationParametersWindow::load() {
    const CalcState& s = m_session.state();
    m_ui->stepEdit->setText(numtext::general(s.step));
    m_ui->kPaChartLimitEdit->setText(numtext::general(s.chartLimitKPa));
    m_ui->kPaChartDivisionsEdit->setText(numtext::general(s.chartDivKPa));
    m_ui->kgfChartLimitEdit->setText(numtext::general(s.chartLimitKgf));
    m_ui->kgfChartDivisionsEdit->setText(numtext::general(s.chartDivKgf));
}

void CalculationParametersWindow::resetTexts() {
    const CalcParameters p = CalcParameters::resetValues();
    m_ui->stepEdit->setText(numtext::general(p.step));
    m_ui->kPaChartLimitEdit->setText(numtext::general(p.chartLimitKPa));
    m_ui->kPaChartDivisionsEdit->setText(numtext::general(p.chartDivKPa));
    m_ui->kgfChartLimitEdit->setText(numtext::general(p.chartLimitKgf));
    m_ui->kgfChartDivisionsEdit->setText(numtext::general(p.chartDivKgf));
}

bool CalculationParametersWindow::accept() {
    CalcState& s = m_session.state();
    struct Field {
        QLineEdit* edit;
        const char* name;
        double* target;
    };
    const Field fields[] = {
        {m_ui->stepEdit, "Шаг расчета, м", &s.step},
        {m_ui->kPaChartLimitEdit, "Ограничение графика (кПа)", &s.chartLimitKPa},
        {m_ui->kPaChartDivisionsEdit, "Число разбиений (кПа)", &s.chartDivKPa},
        {m_ui->kgfChartLimitEdit, "Ограничение графика (кгс)", &s.chartLimitKgf},
        {m_ui->kgfChartDivisionsEdit, "Число разбиений (кгс)", &s.chartDivKgf},
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
