#include "windows/zone/frmPar.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "ui/Messages.h"
#include "ui/WindowPlacement.h"
#include "ui/WindowRegistry.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmZone.h"

#include "ui_frmPar.h"

#include <QCloseEvent>

namespace kelmo::zone {

frmPar::frmPar(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::frmPar>()) {
    ui->setupUi(this);

    connect(ui->Command1, &QPushButton::clicked, this, &frmPar::accept);
    connect(ui->mnuIsh, &QAction::triggered, this, &frmPar::resetTexts);
    for (QLineEdit* field : {ui->Text5, ui->Text2, ui->Text1, ui->Text7, ui->Text8}) {
        connect(field, &QLineEdit::returnPressed, this, &frmPar::accept);
    }
    // Wide enough for the whole title in the frame.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 200);
    ui::WindowPlacement::attach(this, QStringLiteral("frmPar"));

    load();
}

frmPar::~frmPar() = default;

void frmPar::load() {
    const CalcState& s = calcState();
    ui->Text5->setText(numtext::general(s.gStep));
    ui->Text2->setText(numtext::general(s.gChartLimitKPa));
    ui->Text1->setText(numtext::general(s.gChartDivKPa));
    ui->Text7->setText(numtext::general(s.gChartLimitKgf));
    ui->Text8->setText(numtext::general(s.gChartDivKgf));
}

void frmPar::resetTexts() {
    const CalcParameters p = CalcParameters::resetValues();
    ui->Text5->setText(numtext::general(p.gStep));
    ui->Text2->setText(numtext::general(p.gChartLimitKPa));
    ui->Text1->setText(numtext::general(p.gChartDivKPa));
    ui->Text7->setText(numtext::general(p.gChartLimitKgf));
    ui->Text8->setText(numtext::general(p.gChartDivKgf));
}

bool frmPar::accept() {
    CalcState& s = calcState();
    struct Field {
        QLineEdit* edit;
        const char* name;
        double* target;
    };
    const Field fields[] = {
        {ui->Text5, "Шаг расчета, м", &s.gStep},
        {ui->Text2, "Ограничение графика (кПа)", &s.gChartLimitKPa},
        {ui->Text1, "Число разбиений (кПа)", &s.gChartDivKPa},
        {ui->Text7, "Ограничение графика (кгс)", &s.gChartLimitKgf},
        {ui->Text8, "Число разбиений (кгс)", &s.gChartDivKgf},
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
    backToInput();
    hide();
    return true;
}

void frmPar::backToInput() {
    if (auto* input = ui::WindowRegistry::find<frmZone>()) {
        input->show();
    }
}

void frmPar::closeEvent(QCloseEvent* event) {
    // Closing through the frame keeps the dialog (it is only ever hidden) and brings the
    // input window back, which would otherwise stay hidden with no way to reach it.
    event->ignore();
    hide();
    backToInput();
}

} // namespace kelmo::zone
