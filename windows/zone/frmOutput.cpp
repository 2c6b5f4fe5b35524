#include "windows/zone/frmOutput.h"

#include "charts/ZoneCharts.h"
#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "data/PointCalculation.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "reports/ExcelExport.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "reports/ReportHandover.h"
#include "ui/Messages.h"
#include "ui/WindowRegistry.h"
#include "windows/zone/ProfileModel.h"
#include "windows/zone/ZoneServices.h"

#include "ui_frmOutput.h"

#include <QChart>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QHeaderView>

#include <cmath>

namespace kelmo::zone {

namespace {

const QString kRangeTitle = QStringLiteral("Внимание!!!");
const QString kPointTitle = QString::fromUtf8(kPointRangeTitle);

QString radiusText(float v) {
    return numtext::generalSingle(v);
}

} // namespace

frmOutput::frmOutput(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::frmOutput>()) {
    ui->setupUi(this);

    m_model = new ProfileModel(this);
    ui->tabDavl1->setModel(m_model);
    QHeaderView* rows = ui->tabDavl1->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(ui->tabDavl1->fontMetrics().height() + 6);
    rows->setVisible(false);
    // Column widths of the grid: 1200 and 2000 twips at 96 dpi.
    ui->tabDavl1->setColumnWidth(0, 80);
    for (int c = 1; c <= 3; ++c) {
        ui->tabDavl1->setColumnWidth(c, 160);
    }
    ui->tabDavl1->setColumnWidth(4, 100);

    for (QChartView* view : {ui->Graf_Davl1, ui->Graf_Davl, ui->Graf_Davl_Diap, ui->chrProbit0,
                             ui->chrProbit1, ui->chrProbit2}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setChart(charts::createChart(charts::ChartData{}));
    }
    ui->Frame18->setVisible(false);
    for (QLabel* note : {ui->chrProbit0Note, ui->chrProbit1Note, ui->chrProbit2Note}) {
        note->setVisible(false);
        note->setAlignment(Qt::AlignCenter);
    }

    for (QLineEdit* field : {ui->Text1, ui->Rast1, ui->Rast2}) {
        field->installEventFilter(this);
    }

    connect(ui->mnuReturn, &QAction::triggered, this, &QWidget::close);
    connect(ui->Command9, &QPushButton::clicked, this, &frmOutput::calculatePoint);
    connect(ui->Command1, &QPushButton::clicked, this, &frmOutput::buildRangeChart);
    connect(ui->Command2, &QPushButton::clicked, this, &frmOutput::lookUp);
    connect(ui->mnuWord, &QAction::triggered, this, &frmOutput::writeWordReport);
    connect(ui->Command10, &QPushButton::clicked, this, &frmOutput::writeExpertReport);
    connect(ui->Command3, &QPushButton::clicked, this, &frmOutput::exportTable);
    connect(ui->Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            chooseDistanceInput();
        }
    });
    connect(ui->Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            choosePressureInput();
        }
    });
    connect(ui->Text1, &QLineEdit::textChanged, ui->Text2, &QLineEdit::clear);

    load();
}

frmOutput::~frmOutput() = default;

void frmOutput::load() {
    ui->SSTab1->setCurrentIndex(0);
    ui->SSTab2->setCurrentIndex(0);
    ui->SSTab3->setCurrentIndex(0);
    ui->SSTab2->setTabEnabled(1, false);
}

void frmOutput::present(const CalcState& s, const ChargeDescription& charge) {
    m_charge = charge;

    m_model->setProfile(&s);

    using charts::ZoneChart;
    const std::pair<QChartView*, ZoneChart> views[] = {
        {ui->Graf_Davl, ZoneChart::PressureKPa},  {ui->chrProbit0, ZoneChart::ProbitPeople},
        {ui->chrProbit1, ZoneChart::ProbitHeavy}, {ui->chrProbit2, ZoneChart::ProbitTotal},
        {ui->Graf_Davl1, ZoneChart::PressureKgf},
    };
    for (const auto& [view, kind] : views) {
        const charts::ChartData info = charts::chartData(kind, s);
        charts::applyChartData(view->chart(), info);
        view->setVisible(info.visible);
    }
    // A hidden probit chart leaves its page with a note instead of a blank area.
    ui->chrProbit0Note->setVisible(ui->chrProbit0->isHidden());
    ui->chrProbit1Note->setVisible(ui->chrProbit1->isHidden());
    ui->chrProbit2Note->setVisible(ui->chrProbit2->isHidden());

    QLabel* const zoneHeavy[] = {ui->Rad1, ui->Rad2, ui->Rad3, ui->Rad4, ui->Rad5};
    QLabel* const zoneTotal[] = {ui->Rad11, ui->Rad12, ui->Rad13, ui->Rad14, ui->Rad15};
    for (int k = 1; k <= 5; ++k) {
        const int boundary = std::min(k, 4); // zone 5 starts where zone 4 ends
        zoneHeavy[k - 1]->setText(radiusText(s.gZoneRadii(boundary, kHeavy)));
        zoneTotal[k - 1]->setText(radiusText(s.gZoneRadii(boundary, kTotal)));
    }

    QLabel* const rez[] = {ui->Rez_1, ui->Rez_2, ui->Rez_3, ui->Rez_4,
                           ui->Rez_5, ui->Rez_6, ui->Rez_7};
    for (std::size_t k = 1; k <= 7; ++k) {
        rez[k - 1]->setText(numtext::general(s.gRadiiKgf[k]));
    }
    QLabel* const kpa[] = {ui->R100, ui->R70, ui->R50, ui->R30, ui->R20,
                           ui->R10,  ui->R7,  ui->R5,  ui->R3,  ui->R1};
    for (std::size_t k = 1; k <= 10; ++k) {
        kpa[k - 1]->setText(numtext::general(s.gRadiiKPa[k]));
    }
    ui->R53->setText(numtext::general(s.gRadius53kPa));
    ui->R28->setText(numtext::general(s.gRadius28kPa));
    ui->R12->setText(numtext::general(s.gRadius12kPa));

    ui->Rast2->setText(numtext::general(s.gMaxDistance));
    ui->Text8->setText(numtext::general(s.gChartDivKgf));

    ui->Label15->setText(charge.massText);
    ui->Label11->setText(charge.name);
    ui->Lab1->setText(charge.energyCaption);
    ui->Lab2->setText(charge.energyText);
    ui->Label12->setText(charge.placementText);
}

bool frmOutput::blockedByRefusal() const {
    return m_refused != nullptr || m_validating;
}

// ---- point calculation

bool frmOutput::calculatePoint() {
    if (blockedByRefusal()) {
        return false;
    }
    CalcState& s = calcState();
    const std::optional<double> parsed = numtext::parse(ui->GOX->text());
    if (!parsed) {
        ui::Messages::warning(this, kPointTitle,
                              QStringLiteral("Расстояние от эпицентра «%1» не является числом. "
                                             "Введите расстояние в метрах, например 12,5.")
                                  .arg(ui->GOX->text()));
        ui->GOX->setFocus();
        return false;
    }
    const double d = *parsed;
    if (!PointInRange(s, d)) {
        ui::Messages::warning(this, kPointTitle, QString::fromUtf8(kPointRangeMessage));
        return false;
    }

    PointResult result;
    try {
        if (!services().probitsToPercent) {
            throw Error("Таблица вероятностей поражения недоступна: база данных не подключена.");
        }
        result = CalculatePoint(s, {d, m_charge.placement, m_charge.bodyMassKg},
                                services().probitsToPercent);
    } catch (const ArithmeticError& e) {
        ui::Messages::warning(this, kPointTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const Error& e) {
        ui::Messages::critical(this, kPointTitle,
                               QStringLiteral("Не удалось определить вероятности поражения по "
                                              "базе данных.\n") +
                                   QString::fromStdString(e.what()));
        return false;
    }
    m_point = {result.ptArgHeavy, result.ptArgTotal, result.ptRelPressure, result.ptRelImpulse,
               result.ptArgPeople};
    const std::array<double, 3> percent{result.percentHeavy, result.percentTotal,
                                        result.percentPeople};
    ui->Label62->setText(numtext::fixed(percent[0], 1));
    ui->Label22->setText(numtext::fixed(percent[1], 1));
    ui->Label25->setText(numtext::fixed(percent[2], 1));
    ui->Label61->setText(numtext::fixed(s.gDeltaPkPa, 3));
    m_pointDistanceText = ui->GOX->text();
    ui->Frame18->setVisible(true);
    return true;
}

// ---- range chart and lookup

double frmOutput::pressureAtDistance(double distance) const {
    const CalcState& s = calcState();
    const int row = charts::rowForDistance(s, distance);
    return row >= 1 ? s.gProfile.row(row).deltaPkgf : 0;
}

bool frmOutput::buildRangeChart() {
    if (blockedByRefusal()) {
        return false;
    }
    const auto a = numtext::parse(ui->Rast1->text());
    const auto b = numtext::parse(ui->Rast2->text());
    if (!a || !b) {
        ui::Messages::warning(this, kRangeTitle, QStringLiteral("Проверте правильность ввода!"));
        (a ? ui->Rast2 : ui->Rast1)->setFocus();
        return false;
    }
    if (*b <= *a) {
        ui::Messages::plain(this, QStringLiteral("Внимание!"),
                            QStringLiteral("Значение слева должно быть меньше значения справа!!!"));
        return false;
    }
    const auto divisions = numtext::parse(ui->Text8->text());
    if (!divisions || !(*divisions >= 1) || *divisions > 100) {
        ui::Messages::warning(this, kRangeTitle,
                              QStringLiteral("Число разбиений по шкале давления должно быть целым "
                                             "числом от 1 до 100."));
        ui->Text8->setFocus();
        return false;
    }
    const charts::ChartData info =
        charts::rangeChartData(calcState(), *a, *b, static_cast<int>(std::nearbyint(*divisions)));
    charts::applyChartData(ui->Graf_Davl_Diap->chart(), info);
    m_rangeChart = info;
    ui->SSTab2->setTabEnabled(1, true);
    ui->SSTab2->setCurrentIndex(1);
    ui->Label5->setText(QStringLiteral("График зависимости давления от расстояния (от ") +
                        ui->Rast1->text() + QStringLiteral(" м до ") + ui->Rast2->text() +
                        QStringLiteral(" м)"));
    return true;
}

bool frmOutput::lookUp() {
    if (blockedByRefusal()) {
        return false;
    }
    const CalcState& s = calcState();
    const auto value = numtext::parse(ui->Text1->text());
    if (!value) {
        ui::Messages::warning(this, kRangeTitle, QStringLiteral("Проверте правильность ввода!"));
        ui->Text1->setFocus();
        return false;
    }
    if (s.gPointCount < 1) {
        return false;
    }
    if (ui->Option1->isChecked()) {
        ui->Text2->setText(numtext::fixed(pressureAtDistance(*value), 4));
        return true;
    }
    // The pressure falls with the distance: the first row at or below the value.
    int row = s.gPointCount;
    for (int i = 1; i <= s.gPointCount; ++i) {
        if (s.gProfile.row(i).deltaPkgf <= *value) {
            row = i;
            break;
        }
    }
    ui->Text2->setText(numtext::general(s.gProfile.row(row).r));
    return true;
}

void frmOutput::chooseDistanceInput() {
    ui->Label9->setText(QStringLiteral("Расстояние, м"));
    ui->Label10->setText(QStringLiteral("Давление, кгс/кв. см"));
}

void frmOutput::choosePressureInput() {
    ui->Label10->setText(QStringLiteral("Расстояние, м"));
    ui->Label9->setText(QStringLiteral("Давление, кгс/кв. см"));
    ui->Text1->setText(numtext::fixed(pressureAtDistance(calcState().gMaxDistance), 4));
    ui->Text2->clear();
}

// ---- validation on focus loss

bool frmOutput::validateDistanceField(QLineEdit* field) {
    const double maxDistance = calcState().gMaxDistance;
    const auto value = numtext::parse(field->text());
    if (!value) {
        ui::Messages::warning(this, kRangeTitle, QStringLiteral("Проверте правильность ввода!"));
        return false;
    }
    if (*value < 1) {
        ui::Messages::plain(this, kRangeTitle, QStringLiteral("Значение должно быть >= 1 м!"));
        field->setText(QStringLiteral("1"));
        return false;
    }
    if (*value > maxDistance) {
        const QString text = numtext::general(maxDistance);
        ui::Messages::plain(this, kRangeTitle,
                            QStringLiteral("Значение должно быть <= ") + text +
                                QStringLiteral(" м!"));
        field->setText(text);
        return false;
    }
    return true;
}

bool frmOutput::validatePressureField(QLineEdit* field) {
    const CalcState& s = calcState();
    const auto value = numtext::parse(field->text());
    if (!value) {
        ui::Messages::warning(this, kRangeTitle, QStringLiteral("Проверте правильность ввода!"));
        return false;
    }
    const double pMin = pressureAtDistance(s.gMaxDistance);
    const double pMax = s.gPointCount >= 1 ? s.gProfile.row(1).deltaPkgf : 0;
    if (*value < pMin) {
        const QString text = numtext::fixed(pMin, 4);
        ui::Messages::plain(this, kRangeTitle,
                            QStringLiteral("Значение должно быть >= ") + text +
                                QStringLiteral(" кгс/кв. см!"));
        field->setText(text);
        return false;
    }
    if (*value > pMax) {
        const QString text = numtext::fixed(pMax, 4);
        ui::Messages::plain(this, kRangeTitle,
                            QStringLiteral("Значение должно быть <= ") + text +
                                QStringLiteral(" кгс/кв. см!"));
        field->setText(text);
        return false;
    }
    return true;
}

bool frmOutput::validate(QLineEdit* field) {
    if (field == ui->Text1 && ui->Option2->isChecked()) {
        return validatePressureField(field);
    }
    return validateDistanceField(field);
}

bool frmOutput::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !m_validating) {
        auto* field = qobject_cast<QLineEdit*>(watched);
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching to another window or opening a menu is not leaving the field.
        if (field != nullptr && isVisible() && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason) {
            m_validating = true;
            const bool ok = validate(field);
            m_validating = false;
            if (ok) {
                if (m_refused == field) {
                    m_refused = nullptr;
                }
            } else {
                m_refused = field;
                field->setFocus();
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmOutput::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (auto* input = ui::WindowRegistry::find<frmZone>()) {
        input->show();
    }
}

// ---- reports

bool frmOutput::writeWordReport() {
    const CalcState& s = calcState();
    if (s.gPointCount > reports::kLongReportRows) {
        // About 40 rows of the numeric table go on a page.
        const QString text =
            QStringLiteral("В таблице расстояний %1 строк: отчет займет около %2 страниц, и "
                           "программа для документов Word будет открывать его долго.\n\n"
                           "Таблицу расстояний удобнее сохранить в книгу Excel (кнопка «Вывод "
                           "таблицы в Microsoft Excel» на странице «Параметры ударной "
                           "волны»).\n\nПостроить полный отчет?")
                .arg(s.gPointCount)
                .arg(s.gPointCount / 40 + 10);
        if (ui::Messages::show(this, {QStringLiteral("Внимание!"), text, QMessageBox::Warning,
                                      QMessageBox::Yes | QMessageBox::No}) != QMessageBox::Yes) {
            return false;
        }
    }
    try {
        reports::ReportCharts pictures = reports::renderReportCharts(s);
        if (m_rangeChart && ui->SSTab2->isTabEnabled(1)) {
            // The caption reads the range fields as they are now; the picture is as drawn.
            pictures.range = reports::RangeChartPicture{
                charts::renderChartForPrint(*m_rangeChart, reports::kReportChartSizePt,
                                            reports::kReportChartDpi),
                ui->Rast1->text(), ui->Rast2->text()};
        }
        const reports::ReportCharge charge{m_charge.name, m_charge.massText, m_charge.energyCaption,
                                           m_charge.energyText, m_charge.placementText};
        reports::ReportProgress progress(this, QStringLiteral("Подготовка отчета..."));
        const docx::Document doc =
            reports::buildFullReport(s, charge, pictures, QLocale(),
                                     [&](int done, int total) { progress.update(done, total); });
        return reports::saveAndOpen(this, QStringLiteral("Результаты расчета.docx"),
                                    QString::fromUtf8(reports::kWordFilter),
                                    [&](const QString& path) { doc.save(path); });
    } catch (const Error& e) {
        ui::Messages::critical(this, QStringLiteral("Внимание!"),
                               QStringLiteral("Отчет не построен.\n") +
                                   QString::fromUtf8(e.what()));
        return false;
    }
}

bool frmOutput::writeExpertReport() {
    const CalcState& s = calcState();
    reports::ExpertInput in;
    in.distanceText = m_pointDistanceText;
    in.bodyMassText = numtext::general(m_charge.bodyMassKg);
    in.placement = m_charge.placement;
    in.massTNT = s.gMassTNT;
    in.point.deltaPkPa = s.gDeltaPkPa;
    in.point.deltaPkgf = s.gDeltaPkgf;
    in.point.impulse = s.gImpulse;
    in.point.probitHeavy = s.gProbitHeavy;
    in.point.probitTotal = s.gProbitTotal;
    in.point.probitPeople = s.gProbitPeople;
    in.point.ptArgHeavy = m_point.ptArgHeavy;
    in.point.ptArgTotal = m_point.ptArgTotal;
    in.point.ptRelPressure = m_point.ptRelPressure;
    in.point.ptRelImpulse = m_point.ptRelImpulse;
    in.point.ptArgPeople = m_point.ptArgPeople;
    in.percentHeavyText = ui->Label62->text();
    in.percentTotalText = ui->Label22->text();
    in.percentPeopleText = ui->Label25->text();
    try {
        const QByteArray bytes = reports::buildExpertReport(
            programFile(QLatin1String(reports::kExpertTemplateName)), in);
        return reports::saveAndOpen(this, QStringLiteral("Отчет для эксперта.docx"),
                                    QString::fromUtf8(reports::kWordFilter),
                                    [&](const QString& path) { docx::writeFile(path, bytes); });
    } catch (const Error& e) {
        ui::Messages::critical(this, QStringLiteral("Внимание!"),
                               QStringLiteral("Отчет для эксперта не построен.\n") +
                                   QString::fromUtf8(e.what()));
        return false;
    }
}

bool frmOutput::exportTable() {
    const CalcState& s = calcState();
    return reports::saveAndOpen(
        this, QStringLiteral("Числовые результаты расчета.xlsx"),
        QString::fromUtf8(reports::kWorkbookFilter),
        [&](const QString& path) { reports::writeProfileWorkbook(s, path); });
}

} // namespace kelmo::zone
