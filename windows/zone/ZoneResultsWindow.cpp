#include "windows/zone/ZoneResultsWindow.h"

#include "charts/ChartPicture.h"
#include "charts/ProfileLookup.h"
#include "charts/ZoneCharts.h"
#include "chartviews/ChartActions.h"
#include "chartviews/ChartViews.h"
#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "data/PointCalculation.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "reports/ExcelExport.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "session/ZoneSession.h"
#include "ui/BackgroundWork.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"
#include "ui/ReportAuthorDialog.h"
#include "ui/TableCopy.h"
#include "windows/zone/ProfileModel.h"
#include "windows/zone/ZoneResultsControls.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace kelmo::zone {

namespace {

// The point calculation was given up on while it waited for the probit table.
class PointCancelled final : public Error {
public:
    PointCancelled()
        : Error("cancelled") {}
};

const QString kRangeTitle = QStringLiteral("Внимание!!!");
const QString kPointTitle = QString::fromUtf8(kPointRangeTitle);

QString radiusText(float v) {
    return numtext::generalSingle(v);
}

// Who makes the report: the organisation and author kept in the settings, asked the first time.
reports::ReportByline reportByline(QWidget* parent, ui::Settings* settings) {
    const ui::ReportAuthor author = ui::reportAuthor(parent, settings);
    reports::ReportByline byline;
    byline.organisation = author.organisation;
    byline.author = author.author;
    return byline;
}

} // namespace

ZoneResultsWindow::ZoneResultsWindow(const WindowContext& context, Session& session,
                                     QWidget* parent)
    : QMainWindow(parent)
    , m_session(session)
    , m_settings(context.settings) {
    m_ui = std::make_unique<Controls>(this);
    // The probit table is read from the database, which may be a server that does not
    // answer: the window waits behind «Отмена», not frozen.
    if (const PercentLookup lookup = context.reference.probitsToPercent) {
        m_percents = [this, lookup](const std::array<float, 3>& probits) {
            const auto found =
                ui::runInBackground(this, QStringLiteral("Чтение таблицы вероятностей поражения…"),
                                    [lookup, probits] { return lookup(probits); });
            if (!found) {
                throw PointCancelled();
            }
            return *found;
        };
    }

    // The kgf/cm² column heads are numbers: written with the locale's decimal separator, as
    // every other number of the window.
    for (std::size_t k = 0; k < kThresholdsKgf.size(); ++k) {
        m_ui->kgfThresholdHeads[k]->setText(numtext::general(kThresholdsKgf[k]));
    }

    QTableView* const table = m_ui->profileTable;
    m_model = new ProfileModel(this);
    table->setModel(m_model);
    QHeaderView* rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table->fontMetrics().height() + 6);
    rows->setVisible(false);
    // Column widths of the grid: the distance narrow, the three values wide; never narrower
    // than a column's heading with its unit.
    constexpr std::array<int, 5> widths{80, 160, 160, 160, 100};
    for (int c = 0; c < static_cast<int>(widths.size()); ++c) {
        table->setColumnWidth(c, std::max(widths[static_cast<std::size_t>(c)],
                                          table->horizontalHeader()->sectionSizeHint(c)));
    }

    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    ui::installTableCopy(table);

    const std::pair<QChartView*, QString> views[] = {
        {m_ui->kgfChartView, QStringLiteral("График давления, кгс на кв. см")},
        {m_ui->kPaChartView, QStringLiteral("График давления, кПа")},
        {m_ui->rangeChartView, QStringLiteral("График давления на диапазоне")},
        {m_ui->probitChartViews[0], QStringLiteral("Пробит-функция, человек вне здания")},
        {m_ui->probitChartViews[1], QStringLiteral("Пробит-функция, тяжелые разрушения")},
        {m_ui->probitChartViews[2], QStringLiteral("Пробит-функция, полное разрушение")},
    };
    for (const auto& [view, fileName] : views) {
        view->setRenderHint(QPainter::Antialiasing);
        charts::replaceChart(view, charts::createChart(charts::ChartData{}));
        charts::installChartMenu(view, fileName, m_settings);
    }

    // Which stored distance a lookup by distance read, when it is not the one typed.
    m_lookupNote = new QLabel(m_ui->lookupGroup);
    m_lookupNote->setObjectName(QStringLiteral("lblLookupRow"));
    m_lookupNote->setWordWrap(true);
    m_lookupNote->setVisible(false);
    if (auto* grid = qobject_cast<QGridLayout*>(m_ui->lookupGroup->layout())) {
        grid->addWidget(m_lookupNote, grid->rowCount(), 0, 1, 2);
    }
    // Why tools are unavailable after a run that stored (almost) nothing.
    m_noResults = new QLabel(centralWidget());
    m_noResults->setObjectName(QStringLiteral("lblNoResults"));
    m_noResults->setWordWrap(true);
    m_noResults->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    m_noResults->setVisible(false);
    m_ui->mainLayout->insertWidget(0, m_noResults);
    m_ui->pointResultsGroup->setVisible(false);
    for (QLabel* note : m_ui->probitNotes) {
        note->setVisible(false);
        note->setAlignment(Qt::AlignCenter);
    }

    for (QLineEdit* field : {m_ui->lookupValueEdit, m_ui->rangeFromEdit, m_ui->rangeToEdit}) {
        field->installEventFilter(this);
    }

    connect(m_ui->backAction, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->pointCalculateButton, &QPushButton::clicked, this,
            &ZoneResultsWindow::calculatePoint);
    connect(m_ui->rangeBuildButton, &QPushButton::clicked, this,
            &ZoneResultsWindow::buildRangeChart);
    connect(m_ui->lookupButton, &QPushButton::clicked, this, &ZoneResultsWindow::lookUp);
    connect(m_ui->wordReportAction, &QAction::triggered, this, &ZoneResultsWindow::writeWordReport);
    connect(m_ui->expertReportButton, &QPushButton::clicked, this,
            &ZoneResultsWindow::writeExpertReport);
    connect(m_ui->excelExportButton, &QPushButton::clicked, this, &ZoneResultsWindow::exportTable);
    connect(m_ui->lookupByDistance, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            chooseDistanceInput();
        }
    });
    connect(m_ui->lookupByPressure, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            choosePressureInput();
        }
    });
    connect(m_ui->lookupValueEdit, &QLineEdit::textChanged, m_ui->lookupResultEdit,
            &QLineEdit::clear);
    connect(m_ui->lookupValueEdit, &QLineEdit::textChanged, m_lookupNote, &QWidget::hide);
    // A point result no longer matches a distance the user has edited.
    connect(m_ui->pointDistanceEdit, &QLineEdit::textEdited, m_ui->pointResultsGroup,
            &QWidget::hide);
    // Enter in a field runs the action of its group.
    connect(m_ui->pointDistanceEdit, &QLineEdit::returnPressed, this,
            &ZoneResultsWindow::calculatePoint);
    for (QLineEdit* field : {m_ui->rangeFromEdit, m_ui->rangeToEdit}) {
        connect(field, &QLineEdit::returnPressed, this, [this, field] {
            if (acceptField(field)) {
                buildRangeChart();
            }
        });
    }
    connect(m_ui->rangeDivisionsEdit, &QLineEdit::returnPressed, this,
            &ZoneResultsWindow::buildRangeChart);
    connect(m_ui->lookupValueEdit, &QLineEdit::returnPressed, this, [this] {
        if (acceptField(m_ui->lookupValueEdit)) {
            lookUp();
        }
    });

    load();
}

ZoneResultsWindow::~ZoneResultsWindow() = default;

void ZoneResultsWindow::load() {
    m_ui->pages->setCurrentIndex(0);
    m_ui->kgfChartTabs->setCurrentIndex(0);
    m_ui->probitTabs->setCurrentIndex(0);
    m_ui->kgfChartTabs->setTabEnabled(1, false);
}

void ZoneResultsWindow::present() {
    const CalcState& s = m_session.state();
    const reports::ChargeDescription& charge = m_session.description();
    m_model->setProfile(&s);

    using charts::ZoneChart;
    const std::pair<QChartView*, ZoneChart> views[] = {
        {m_ui->kPaChartView, ZoneChart::PressureKPa},
        {m_ui->probitChartViews[0], ZoneChart::ProbitPeople},
        {m_ui->probitChartViews[1], ZoneChart::ProbitHeavy},
        {m_ui->probitChartViews[2], ZoneChart::ProbitTotal},
        {m_ui->kgfChartView, ZoneChart::PressureKgf},
    };
    for (const auto& [view, kind] : views) {
        const charts::ChartData info = charts::chartData(kind, s);
        charts::applyChartData(view->chart(), info);
        view->setVisible(info.visible);
    }
    // A hidden probit chart leaves its page with a note instead of a blank area.
    for (std::size_t k = 0; k < m_ui->probitNotes.size(); ++k) {
        m_ui->probitNotes[k]->setVisible(m_ui->probitChartViews[k]->isHidden());
    }

    for (int k = 1; k <= 5; ++k) {
        const int boundary = std::min(k, 4); // zone 5 starts where zone 4 ends
        const auto at = static_cast<std::size_t>(k - 1);
        m_ui->heavyDamageZoneRadii[at]->setText(radiusText(s.zoneRadii(boundary, kHeavy)));
        m_ui->totalDestructionZoneRadii[at]->setText(radiusText(s.zoneRadii(boundary, kTotal)));
    }

    for (std::size_t k = 1; k <= m_ui->kgfThresholdRadii.size(); ++k) {
        m_ui->kgfThresholdRadii[k - 1]->setText(numtext::distance(s.radiiKgf[k], s.step));
    }
    for (std::size_t k = 1; k <= m_ui->kPaThresholdRadii.size(); ++k) {
        m_ui->kPaThresholdRadii[k - 1]->setText(numtext::distance(s.radiiKPa[k], s.step));
    }
    m_ui->radius53kPa->setText(numtext::distance(s.radius53kPa, s.step));
    m_ui->radius28kPa->setText(numtext::distance(s.radius28kPa, s.step));
    m_ui->radius12kPa->setText(numtext::distance(s.radius12kPa, s.step));

    m_ui->rangeToEdit->setText(numtext::general(s.maxDistance));
    m_ui->rangeDivisionsEdit->setText(numtext::general(s.chartDivKgf));
    showAvailableTools(s);

    m_ui->explosiveMass->setText(charge.massText);
    m_ui->explosiveName->setText(charge.name);
    m_ui->energyCaption->setText(charge.energyCaption);
    m_ui->energyValue->setText(charge.energyText);
    m_ui->placement->setText(charge.placementText);
}

void ZoneResultsWindow::showAvailableTools(const CalcState& s) {
    // The lookup and range tools need at least one stored row and a range of 1 m or more;
    // the point calculation needs two rows (its range ends one row before the last).
    const bool tools = s.pointCount >= 1 && s.maxDistance >= 1;
    const bool point = s.pointCount >= 2;
    m_ui->rangeGroup->setEnabled(tools);
    m_ui->lookupGroup->setEnabled(tools);
    m_ui->pointGroup->setEnabled(point);
    if (!tools) {
        for (QLineEdit* field : {m_ui->rangeFromEdit, m_ui->rangeToEdit, m_ui->lookupValueEdit,
                                 m_ui->lookupResultEdit}) {
            field->clear();
        }
    }
    QString note;
    if (s.pointCount < 1) {
        note = QStringLiteral("Нет результатов расчета: уже на расстоянии 1 м пробит-функция "
                              "тяжелых разрушений меньше 1, в таблицу не попало ни одного "
                              "расстояния. Графики, определение параметров по графику и расчет "
                              "на заданном расстоянии недоступны.");
    } else if (!tools || !point) {
        note = QStringLiteral("В таблице расчета одна строка (1 м): ") +
               (tools ? QStringLiteral("расчет на заданном расстоянии недоступен.")
                      : QStringLiteral("построение графика на диапазоне, определение "
                                       "параметров по графику и расчет на заданном расстоянии "
                                       "недоступны.")) +
               QStringLiteral(" Уменьшите шаг расчета в меню «Параметры расчета» окна ввода.");
    }
    m_noResults->setText(note);
    m_noResults->setVisible(!note.isEmpty());
}

bool ZoneResultsWindow::acceptField(QLineEdit* field) {
    m_validating = true;
    const bool ok = validate(field);
    m_validating = false;
    if (ok) {
        if (m_refused == field) {
            m_refused = nullptr;
        }
    } else {
        m_refused = field;
        ui::refuseField(field);
    }
    return ok;
}

bool ZoneResultsWindow::blockedByRefusal() const {
    return m_refused != nullptr || m_validating;
}

// ---- point calculation

bool ZoneResultsWindow::calculatePoint() {
    if (blockedByRefusal()) {
        return false;
    }
    CalcState& s = m_session.state();
    const std::optional<double> parsed = numtext::parse(m_ui->pointDistanceEdit->text());
    if (!parsed) {
        ui::Messages::warning(this, kPointTitle,
                              QStringLiteral("Расстояние от эпицентра «%1» не является числом. "
                                             "Введите расстояние в метрах, например 12,5.")
                                  .arg(m_ui->pointDistanceEdit->text()));
        ui::refuseField(m_ui->pointDistanceEdit);
        return false;
    }
    const double d = *parsed;
    if (!pointInRange(s, d)) {
        ui::Messages::warning(this, kPointTitle, QString::fromUtf8(kPointRangeMessage));
        ui::refuseField(m_ui->pointDistanceEdit);
        return false;
    }

    PointResult result;
    try {
        if (!m_percents) {
            throw Error("Таблица вероятностей поражения недоступна: база данных не подключена.");
        }
        result = m_session.calculatePoint(d, m_ui->pointDistanceEdit->text(), m_percents);
    } catch (const ArithmeticError& e) {
        ui::Messages::warning(this, kPointTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const PointCancelled&) {
        return false; // the user gave up waiting for the database
    } catch (const Error& e) {
        ui::Messages::critical(this, kPointTitle,
                               QStringLiteral("Не удалось определить вероятности поражения по "
                                              "базе данных.\n") +
                                   QString::fromStdString(e.what()));
        return false;
    }
    m_ui->heavyDamagePercentLabel->setText(percentText(result.percentHeavy));
    m_ui->totalDestructionPercentLabel->setText(percentText(result.percentTotal));
    m_ui->peopleOutsidePercentLabel->setText(percentText(result.percentPeople));
    m_ui->pointPressureLabel->setText(numtext::fixed(result.deltaPkPa, 3));
    m_ui->pointResultsGroup->setVisible(true);
    return true;
}

// ---- range chart and lookup

double ZoneResultsWindow::pressureAtDistance(double distance) const {
    const CalcState& s = m_session.state();
    const int row = charts::rowForDistance(s, distance);
    return row >= 1 ? s.profile.row(row).deltaPkgf : 0;
}

bool ZoneResultsWindow::buildRangeChart() {
    if (blockedByRefusal()) {
        return false;
    }
    const auto a = numtext::parse(m_ui->rangeFromEdit->text());
    const auto b = numtext::parse(m_ui->rangeToEdit->text());
    if (!a || !b) {
        ui::Messages::warning(this, kRangeTitle, QStringLiteral("Проверте правильность ввода!"));
        ui::refuseField(a ? m_ui->rangeToEdit : m_ui->rangeFromEdit);
        return false;
    }
    if (*b <= *a) {
        ui::Messages::plain(this, QStringLiteral("Внимание!"),
                            QStringLiteral("Значение слева должно быть меньше значения справа!!!"));
        return false;
    }
    const auto divisions = numtext::parse(m_ui->rangeDivisionsEdit->text());
    if (!divisions || !(*divisions >= 1) || *divisions > 100) {
        ui::Messages::warning(this, kRangeTitle,
                              QStringLiteral("Число разбиений по шкале давления должно быть целым "
                                             "числом от 1 до 100."));
        ui::refuseField(m_ui->rangeDivisionsEdit);
        return false;
    }
    const charts::ChartData info = charts::rangeChartData(
        m_session.state(), *a, *b, static_cast<int>(std::nearbyint(*divisions)));
    charts::applyChartData(m_ui->rangeChartView->chart(), info);
    m_rangeChart = info;
    m_ui->kgfChartTabs->setTabEnabled(1, true);
    m_ui->kgfChartTabs->setCurrentIndex(1);
    m_ui->rangeChartTitle->setText(
        QStringLiteral("График зависимости давления от расстояния (от ") +
        m_ui->rangeFromEdit->text() + QStringLiteral(" м до ") + m_ui->rangeToEdit->text() +
        QStringLiteral(" м)"));
    return true;
}

bool ZoneResultsWindow::lookUp() {
    if (blockedByRefusal()) {
        return false;
    }
    const CalcState& s = m_session.state();
    const auto value = numtext::parse(m_ui->lookupValueEdit->text());
    if (!value) {
        ui::Messages::warning(this, kRangeTitle, QStringLiteral("Проверте правильность ввода!"));
        ui::refuseField(m_ui->lookupValueEdit);
        return false;
    }
    if (m_ui->lookupByDistance->isChecked()) {
        const auto found = charts::lookUpPressure(s, *value);
        if (!found) {
            return false;
        }
        m_ui->lookupResultEdit->setText(numtext::fixed(found->pressureKgf, 4));
        // The table holds the distances of the run's step only: say which one was read.
        m_lookupNote->setText(
            QStringLiteral("Давление взято из таблицы расчета для %1 м — "
                           "ближайшего к %2 м расстояния в ней.")
                .arg(numtext::distance(found->distance, s.step), numtext::general(*value)));
        m_lookupNote->setVisible(!found->exact);
        return true;
    }
    // The pressure falls with the distance: the first row at or below the value.
    const auto distance = charts::lookUpDistance(s, *value);
    if (!distance) {
        return false;
    }
    m_ui->lookupResultEdit->setText(numtext::distance(*distance, s.step));
    m_lookupNote->setVisible(false);
    return true;
}

void ZoneResultsWindow::chooseDistanceInput() {
    m_ui->lookupValueCaption->setText(QStringLiteral("Расстояние, м"));
    m_ui->lookupResultCaption->setText(QStringLiteral("Давление, кгс/кв. см"));
}

void ZoneResultsWindow::choosePressureInput() {
    m_ui->lookupResultCaption->setText(QStringLiteral("Расстояние, м"));
    m_ui->lookupValueCaption->setText(QStringLiteral("Давление, кгс/кв. см"));
    m_ui->lookupValueEdit->setText(
        numtext::fixed(pressureAtDistance(m_session.state().maxDistance), 4));
    m_ui->lookupResultEdit->clear();
    m_lookupNote->setVisible(false);
}

// ---- validation on focus loss

bool ZoneResultsWindow::validateDistanceField(QLineEdit* field) {
    const double maxDistance = m_session.state().maxDistance;
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

bool ZoneResultsWindow::validatePressureField(QLineEdit* field) {
    const CalcState& s = m_session.state();
    const auto value = numtext::parse(field->text());
    if (!value) {
        ui::Messages::warning(this, kRangeTitle, QStringLiteral("Проверте правильность ввода!"));
        return false;
    }
    const double pMin = pressureAtDistance(s.maxDistance);
    const double pMax = s.pointCount >= 1 ? s.profile.row(1).deltaPkgf : 0;
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

bool ZoneResultsWindow::validate(QLineEdit* field) {
    if (field == m_ui->lookupValueEdit && m_ui->lookupByPressure->isChecked()) {
        return validatePressureField(field);
    }
    return validateDistanceField(field);
}

bool ZoneResultsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !m_validating) {
        auto* field = qobject_cast<QLineEdit*>(watched);
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching to another window or opening a menu is not leaving the field.
        if (field != nullptr && isVisible() && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason) {
            acceptField(field);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void ZoneResultsWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    emit backRequested();
}

// ---- reports

bool ZoneResultsWindow::writeWordReport() {
    const int rows = m_session.state().pointCount;
    if (rows > reports::kLongReportRows) {
        // About 45 rows of the numeric table go on a page.
        const QString text =
            QStringLiteral("В таблице расстояний %1 строк: отчет займет около %2 страниц, и "
                           "программа для документов Word будет открывать его долго.\n\n"
                           "Таблицу расстояний удобнее сохранить в книгу Excel (кнопка «Вывод "
                           "таблицы в Microsoft Excel» на странице «Параметры ударной "
                           "волны»).\n\nПостроить полный отчет?")
                .arg(rows)
                .arg(rows / 45 + 10);
        if (ui::Messages::show(this, {QStringLiteral("Внимание!"), text, QMessageBox::Warning,
                                      QMessageBox::Yes | QMessageBox::No}) != QMessageBox::Yes) {
            return false;
        }
    }
    try {
        const reports::ReportByline byline = reportByline(this, m_settings);
        charts::ReportCharts pictures = m_session.reportCharts();
        if (m_rangeChart && m_ui->kgfChartTabs->isTabEnabled(1)) {
            // The caption reads the range fields as they are now; the picture is as drawn.
            pictures.range = charts::RangeChartPicture{
                charts::renderChartForPrint(charts::pressureChartForPrint(*m_rangeChart),
                                            charts::kReportChartSizePt, charts::kReportChartDpi),
                m_ui->rangeFromEdit->text(), m_ui->rangeToEdit->text()};
        }
        ui::ProgressDialog progress(this, QStringLiteral("Подготовка отчета"),
                                    QStringLiteral("Подготовка отчета..."));
        const docx::Document doc = m_session.fullReport(
            pictures, QLocale(), [&](int done, int total) { progress.update(done, total); },
            byline);
        return ui::saveAndOpen(
            this, QStringLiteral("Результаты расчета.docx"),
            QString::fromUtf8(reports::kWordFilter), [&](const QString& path) { doc.save(path); },
            m_settings, QStringLiteral("fullReport"));
    } catch (const Error& e) {
        ui::Messages::critical(this, QStringLiteral("Внимание!"),
                               QStringLiteral("Отчет не построен.\n") +
                                   QString::fromUtf8(e.what()));
        return false;
    } catch (const std::exception& e) {
        // A damaged picture or no memory: the results on screen stay.
        ui::Messages::critical(this, QStringLiteral("Внимание!"),
                               QStringLiteral("Отчет не построен: внутренняя ошибка (%1).")
                                   .arg(QString::fromLocal8Bit(e.what())));
        return false;
    }
}

bool ZoneResultsWindow::writeExpertReport() {
    try {
        const QByteArray bytes =
            m_session.expertReport(sharedFile(QLatin1String(reports::kExpertTemplateName)),
                                   QLocale(), reportByline(this, m_settings));
        return ui::saveAndOpen(
            this, QStringLiteral("Отчет для эксперта.docx"),
            QString::fromUtf8(reports::kWordFilter),
            [&](const QString& path) { docx::writeFile(path, bytes); }, m_settings,
            QStringLiteral("expertReport"));
    } catch (const Error& e) {
        ui::Messages::critical(this, QStringLiteral("Внимание!"),
                               QStringLiteral("Отчет для эксперта не построен.\n") +
                                   QString::fromUtf8(e.what()));
        return false;
    } catch (const std::exception& e) {
        // A hostile template or no memory: the results on screen stay.
        ui::Messages::critical(this, QStringLiteral("Внимание!"),
                               QStringLiteral("Отчет для эксперта не построен: внутренняя "
                                              "ошибка (%1).")
                                   .arg(QString::fromLocal8Bit(e.what())));
        return false;
    }
}

bool ZoneResultsWindow::exportTable() {
    return ui::saveAndOpen(
        this, QStringLiteral("Числовые результаты расчета.xlsx"),
        QString::fromUtf8(reports::kWorkbookFilter),
        [&](const QString& path) { m_session.writeTable(path); }, m_settings,
        QStringLiteral("excelTable"));
}

} // namespace kelmo::zone
