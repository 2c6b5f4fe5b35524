#include "windows/plan/SituationWindow.h"

#include "windows/map/PlanMapPage.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "data/SitePlan.h"
#include "reports/ExcelExport.h"
#include "reports/SituationReport.h"
#include "session/ScenarioSituation.h"
#include "session/SituationSession.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"
#include "ui/ReportAuthorDialog.h"
#include "ui/TableCopy.h"
#include "windows/plan/DatabaseWork.h"

#include "ui_SituationWindow.h"

#include <QAbstractTableModel>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QStatusBar>

#include <algorithm>
#include <limits>

namespace kelmo::plan {

namespace {

const QString kTitle = QStringLiteral("Внимание!");

bool isTextColumn(int column) {
    return column == reports::kSitType || column == reports::kSitKind ||
           column == reports::kSitWarning;
}

} // namespace

// The rows of the situation, each cell as the reports write it. The sort role holds the
// number of a numeric column, so that sorting goes by value, not by text.
class SituationModel final : public QAbstractTableModel {
public:
    static constexpr int kSortRole = Qt::UserRole;

    explicit SituationModel(QObject* parent)
        : QAbstractTableModel(parent) {}

    // With sources (one per row), a last column names the scenario that gives the row.
    void setResult(const SituationResult* result, const std::vector<QString>* sources = nullptr) {
        beginResetModel();
        m_result = result;
        m_sources = sources != nullptr && !sources->empty() ? sources : nullptr;
        endResetModel();
    }
    bool hasSources() const { return m_sources != nullptr; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || m_result == nullptr ? 0
                                                       : static_cast<int>(m_result->rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : reports::kSitColumnCount + (m_sources ? 1 : 0);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || m_result == nullptr) {
            return {};
        }
        const SituationRow& row = m_result->rows[static_cast<std::size_t>(index.row())];
        const int column = index.column();
        if (column == reports::kSitColumnCount) {
            const bool shown =
                role == Qt::DisplayRole || role == kSortRole || role == Qt::ToolTipRole;
            return shown ? QVariant((*m_sources)[static_cast<std::size_t>(index.row())])
                         : QVariant();
        }
        switch (role) {
        case Qt::DisplayRole:
            return reports::situationCell(row, column);
        case kSortRole:
            if (isTextColumn(column)) {
                return reports::situationCell(row, column);
            }
            // A row without a value goes before every number.
            return reports::situationValue(row, column)
                .value_or(-std::numeric_limits<double>::infinity());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(isTextColumn(column) || column == reports::kSitDegree
                                           ? Qt::AlignLeft | Qt::AlignVCenter
                                           : Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ToolTipRole:
            if (isTextColumn(column)) {
                return reports::situationCell(row, column);
            }
            return {};
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole &&
            section == reports::kSitColumnCount) {
            return QStringLiteral("Сценарий");
        }
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            // Two lines where a heading has a unit, so the columns stay as narrow as numbers.
            QString heading = reports::situationHeader().value(section);
            const qsizetype unit = heading.indexOf(QStringLiteral(", "));
            const qsizetype space = heading.indexOf(u' ');
            if (unit > 0) {
                heading.replace(unit + 1, 1, u'\n');
            } else if (space > 0 && heading.size() > 12) {
                heading[space] = u'\n';
            }
            return heading;
        }
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    const SituationResult* m_result = nullptr;
    const std::vector<QString>* m_sources = nullptr;
};

SituationWindow::SituationWindow(const WindowContext& context,
                                 std::shared_ptr<situation::Session> session, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::SituationWindow>())
    , m_session(std::move(session))
    , m_settings(context.settings) {
    m_ui->setupUi(this);
    m_model = new SituationModel(this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(SituationModel::kSortRole);
    m_sorted->setSortLocaleAware(true);
    m_ui->tblStructures->setModel(m_sorted);
    m_ui->tblStructures->sortByColumn(-1, Qt::AscendingOrder); // the plan's own order first
    m_ui->tblStructures->verticalHeader()->setVisible(false);
    m_ui->tblStructures->horizontalHeader()->setStretchLastSection(true);
    ui::installTableCopy(m_ui->tblStructures);
    m_ui->txtBodyMass->setText(m_session->description().bodyMassText);

    connect(m_ui->cmdRecalc, &QPushButton::clicked, this, &SituationWindow::recalculate);
    connect(m_ui->txtBodyMass, &QLineEdit::returnPressed, this, &SituationWindow::recalculate);
    connect(m_ui->cmdCopy, &QPushButton::clicked, this, &SituationWindow::copyTable);
    connect(m_ui->cmdReport, &QPushButton::clicked, this, &SituationWindow::writeReport);
    connect(m_ui->cmdExcel, &QPushButton::clicked, this, &SituationWindow::writeTable);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QWidget::close);

    m_mapPage = new map::PlanMapPage(this);
    m_mapPage->setObjectName(QStringLiteral("pageMap"));
    m_mapPage->setSettings(m_settings);
    // The plan's coordinate system and its scenarios, read together on a worker.
    struct PlanExtras {
        std::optional<int> crs;
        bool crsRead = false;
        QList<db::ScenarioRecord> scenarios;
    };
    std::optional<PlanExtras> extras;
    QString scenarioError;
    if (!context.connectionString.isEmpty()) {
        m_mapPage->setPictureStore(
            std::make_shared<db::DatabasePictureStore>(context.connectionString),
            m_session->plan().number);
        try {
            extras = onDatabase(this, QStringLiteral("Чтение сценариев плана…"),
                                context.connectionString,
                                [plan = m_session->plan().number](db::Connection& c) {
                                    PlanExtras e;
                                    try {
                                        e.crs = db::planCrs(c, plan);
                                        e.crsRead = true;
                                    } catch (const std::exception&) {
                                        // Unread, the plan counts as local metres: a picture
                                        // is placed by its own placement whatever its system,
                                        // and GeoJSON says it needs a system when asked for.
                                    }
                                    e.scenarios = db::listScenarios(c, plan);
                                    return e;
                                });
        } catch (const std::exception& e) {
            scenarioError = QString::fromUtf8(e.what());
        }
        if (extras && extras->crsRead) {
            m_mapPage->setPlanCrs(extras->crs);
        }
    }
    m_ui->tabSituation->addTab(m_mapPage, QStringLiteral("Карта"));
    if (!scenarioError.isEmpty()) {
        ui::Messages::warning(
            this, kTitle, QStringLiteral("Сценарии плана не показаны на карте.\n") + scenarioError);
    } else if (!context.connectionString.isEmpty() && !extras) {
        statusBar()->showMessage(QStringLiteral("Чтение сценариев плана отменено: сценарии не "
                                                "показаны на карте."));
    } else if (extras && !extras->scenarios.isEmpty()) {
        // The plan's scenarios on the map, each evaluated aside: the window's own situation
        // stays as it was calculated.
        try {
            situation::Session aside = *m_session;
            m_mapPage->setScenarios(situation::evaluateScenarios(aside, extras->scenarios),
                                    !m_session->rowSources().empty());
        } catch (const std::exception& e) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Сценарии плана не показаны на карте.\n") +
                                      QString::fromUtf8(e.what()));
        }
    }

    showResult();
}

SituationWindow::~SituationWindow() = default;

QTabWidget* SituationWindow::tabs() const {
    return m_ui->tabSituation;
}

QTableView* SituationWindow::table() const {
    return m_ui->tblStructures;
}

void SituationWindow::showResult() {
    const reports::ChargeDescription& c = m_session->description();
    const SituationResult& r = *m_session->result();
    const situation::StoragePoint& p = m_session->storagePoint();
    setWindowTitle(QStringLiteral("Инженерная обстановка: план «%1»").arg(m_session->plan().name));
    m_ui->lblCharge->setText(
        QStringLiteral("Наименование КВВ:  %1\nМасса конденсированного ВВ (кг):  %2\n%3  %4\n"
                       "Условие размещения сосредоточенного заряда:  %5\n"
                       "Тротиловый эквивалент заряда (кг):  %6\n"
                       "Место хранения КВВ (м):  Х = %7,  У = %8")
            .arg(c.name, numtext::typedNumber(c.massText), c.energyCaption,
                 numtext::typedNumber(c.energyText), c.placementText, numtext::fixed(r.massTNT, 1),
                 numtext::typedNumber(p.xText), numtext::typedNumber(p.yText)));
    m_ui->lblTotals->setText(reports::situationTotalsLines(r.totals).join(u'\n'));
    m_model->setResult(&r, &m_session->rowSources());
    // A worst case mixes charges: its body mass is each scenario's own.
    m_ui->txtBodyMass->setEnabled(!m_model->hasSources());
    m_ui->cmdRecalc->setEnabled(!m_model->hasSources());
    if (m_model->hasSources()) {
        // The scenario beside the number, where it is seen without scrolling.
        QHeaderView* header = m_ui->tblStructures->horizontalHeader();
        header->moveSection(header->visualIndex(reports::kSitColumnCount), 1);
    }
    try {
        m_mapPage->setSituation(m_session->plan().name, r, m_session->charge());
    } catch (const Error& e) {
        // The table stands without the map; the message says why the map is empty.
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Карта не построена.\n") +
                                  QString::fromStdString(e.what()));
    }
    QTableView* view = m_ui->tblStructures;
    // Each column as wide as its widest text: the header's own hint keeps room for a sort
    // arrow beside the heading, which makes the table wider than the window.
    const QFontMetrics cells = view->fontMetrics();
    const QFontMetrics heads = view->horizontalHeader()->fontMetrics();
    for (int column = 0; column < m_model->columnCount(); ++column) {
        int width = heads
                        .boundingRect(
                            QRect(), 0,
                            m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString())
                        .width();
        for (int row = 0; row < m_model->rowCount(); ++row) {
            width = std::max(
                width, cells.horizontalAdvance(
                           m_model->data(m_model->index(row, column), Qt::DisplayRole).toString()));
        }
        view->setColumnWidth(column, width + 16);
    }
    // Long names of types and kinds must not push the numbers out of sight: their columns are
    // narrowed, and the whole text is in the cell's tooltip.
    for (const int column : {reports::kSitType, reports::kSitKind}) {
        view->setColumnWidth(column, std::min(view->columnWidth(column), 160));
    }
    view->setColumnWidth(reports::kSitWarning,
                         std::min(view->columnWidth(reports::kSitWarning), 320));
}

bool SituationWindow::recalculate() {
    ChargeInput charge = m_session->charge();
    reports::ChargeDescription description = m_session->description();
    try {
        charge.bodyMassKg = numtext::parseField(m_ui->txtBodyMass->text(),
                                                QStringLiteral("Масса тела человека, кг"));
        description.bodyMassText = m_ui->txtBodyMass->text();
        // The table lets go of the old rows before the session replaces them.
        m_model->setResult(nullptr);
        m_session->evaluate(charge, m_session->storagePoint(), description);
    } catch (const ConversionError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        ui::refuseField(m_ui->txtBodyMass);
        return false;
    } catch (const ArithmeticError& e) {
        showResult();
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        ui::refuseField(m_ui->txtBodyMass);
        return false;
    } catch (const Error& e) {
        showResult();
        ui::Messages::critical(this, kTitle, QString::fromStdString(e.what()));
        return false;
    }
    showResult();
    return true;
}

QString SituationWindow::copyTable() {
    QTableView* view = m_ui->tblStructures;
    view->selectAll();
    QStringList header = reports::situationHeader();
    if (m_model->hasSources()) {
        header << QStringLiteral("Сценарий");
    }
    const QString text = header.join(u'\t') + u'\n' + ui::selectionText(view);
    QGuiApplication::clipboard()->setText(text);
    return text;
}

bool SituationWindow::writeReport() {
    try {
        const ui::ReportAuthor author = ui::reportAuthor(this, m_settings);
        reports::ReportByline byline;
        byline.organisation = author.organisation;
        byline.author = author.author;
        ui::ProgressDialog progress(this, QStringLiteral("Подготовка отчета"),
                                    QStringLiteral("Подготовка отчета..."));
        const docx::Document doc = m_session->report(
            m_mapPage->reportPicture(), QLocale(),
            [&](int done, int total) { progress.update(done, total); }, byline);
        return ui::saveAndOpen(
            this, QStringLiteral("Инженерная обстановка.docx"),
            QString::fromUtf8(reports::kWordFilter), [&](const QString& path) { doc.save(path); },
            m_settings, QStringLiteral("situationReport"));
    } catch (const Error& e) {
        ui::Messages::critical(
            this, kTitle, QStringLiteral("Отчет не построен.\n") + QString::fromUtf8(e.what()));
        return false;
    }
}

bool SituationWindow::writeTable() {
    return ui::saveAndOpen(
        this, QStringLiteral("Инженерная обстановка.xlsx"),
        QString::fromUtf8(reports::kWorkbookFilter),
        [&](const QString& path) { m_session->writeTable(path); }, m_settings,
        QStringLiteral("situationTable"));
}

} // namespace kelmo::plan
