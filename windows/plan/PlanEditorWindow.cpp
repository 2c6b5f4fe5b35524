#include "windows/plan/PlanEditorWindow.h"

#include "core/NumberText.h"
#include "data/ExplosiveCatalogue.h"
#include "data/SituationPlan.h"
#include "engine/PlanGeometry.h"
#include "map/PlanMapModel.h"
#include "reports/ChargeText.h"
#include "session/SituationSession.h"
#include "ui/ChargePanel.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/PlanImportDialog.h"
#include "windows/plan/StructureEditor.h"
#include "windows/plan/StructureFileImport.h"

#include "ui_PlanEditorWindow.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelmo::plan {

namespace {

const QString kTitle = QStringLiteral("Внимание!");
const QString kWindowTitle =
    QStringLiteral("Расчет инженерной обстановки с использованием плана местности");

// The small drawing beside the explosion parameters: a charge on the ground and its blast wave.
QPixmap chargeDrawing() {
    QPixmap pixmap(120, 70);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x60, 0x40, 0x20), 2));
    p.drawLine(4, 60, 116, 60);
    p.setPen(QPen(QColor(0xc0, 0x30, 0x20), 1.5));
    for (int radius = 14; radius <= 44; radius += 10) {
        p.drawArc(QRectF(60 - radius, 60 - radius, 2.0 * radius, 2.0 * radius), 0, 180 * 16);
    }
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(54, 52, 12, 8));
    return pixmap;
}

} // namespace

struct PlanEditorWindow::MapStructures {
    std::vector<StructureRecord> records;
};

PlanEditorWindow::PlanEditorWindow(PlanSession& session, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::PlanEditorWindow>())
    , m_session(session)
    , m_mapStructures(std::make_unique<MapStructures>()) {
    m_ui->setupUi(this);
    bindControls();

    m_chargeDrawing->setPixmap(chargeDrawing());
    connect(m_calculateButton, &QPushButton::clicked, this, &PlanEditorWindow::requestCalculation);
    connect(m_backButton, &QPushButton::clicked, this, &PlanEditorWindow::backRequested);
    connect(m_exitButton, &QPushButton::clicked, this, &PlanEditorWindow::exitRequested);
    connect(m_ui->mnuSozdPM, &QAction::triggered, this, &PlanEditorWindow::createPlanRequested);
    connect(m_ui->mnuViborPM, &QAction::triggered, this, &PlanEditorWindow::choosePlanRequested);
    connect(m_ui->mnuDelPM, &QAction::triggered, this, &PlanEditorWindow::deleteCurrentPlan);
    connect(m_structureEditor, &StructureEditor::structuresChanged, this, [this] { refreshMap(); });

    // The map of the plan as it is edited, in the room below the charge.
    m_map = new map::PlanMapView(this);
    m_map->setLegendShown(false);
    m_mapDock = new QGroupBox(QStringLiteral("Карта плана"), this);
    m_mapDock->setObjectName(QStringLiteral("frmMap"));
    auto* mapLayout = new QVBoxLayout(m_mapDock);
    mapLayout->setContentsMargins(4, 4, 4, 4);
    mapLayout->addWidget(m_map);
    const int spacer = m_ui->layLeft->indexOf(m_ui->spLeft);
    m_ui->layLeft->insertWidget(spacer, m_mapDock, 1);
    m_mapDock->setVisible(false);
    const ui::ChargePanel::Controls& charge = m_chargePanel->controls();
    connect(charge.storageXEdit, &QLineEdit::textChanged, this, &PlanEditorWindow::showMapCharge);
    connect(charge.storageYEdit, &QLineEdit::textChanged, this, &PlanEditorWindow::showMapCharge);
    auto* importCsv = new QAction(QStringLiteral("Импорт сооружений из CSV…"), this);
    importCsv->setObjectName(QStringLiteral("mnuImportCsv"));
    m_ui->mnuFile->addAction(importCsv);
    connect(importCsv, &QAction::triggered, this, [this] {
        if (!m_planShown || m_session.planNumber == 0) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Сначала создайте или выберите план местности "
                                                 "(объекта)."));
            return;
        }
        const QString path = chooseStructuresFile(this);
        if (!path.isEmpty()) {
            importStructuresFile(path);
        }
    });

    auto* importPlan = new QAction(QStringLiteral("Импорт генплана…"), this);
    importPlan->setObjectName(QStringLiteral("mnuImportPlan"));
    m_ui->mnuFile->addAction(importPlan);
    connect(importPlan, &QAction::triggered, this, [this] {
        if (!m_planShown || m_session.planNumber == 0) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Сначала создайте или выберите план местности "
                                                 "(объекта)."));
            return;
        }
        PlanImportDialog dialog(m_session.connectionString, m_session.planNumber, this);
        if (dialog.exec() == QDialog::Accepted) {
            planImported();
        }
    });

    hidePlanAreas();
    m_chargePanel->loadCatalogue();
    m_structureEditor->load();
}

PlanEditorWindow::~PlanEditorWindow() = default;

// The one place that knows the form's opaque names.
void PlanEditorWindow::bindControls() {
    m_chargePanel = m_ui->chargePanel;
    m_structureEditor = m_ui->Frame1;
    m_chargeDrawing = m_ui->vzr;
    m_calculateButton = m_ui->cmdRasch;
    m_backButton = m_ui->cmdNazad;
    m_exitButton = m_ui->cmdVihod;

    ui::ChargePanel::Controls charge;
    charge.fromListOption = m_ui->Option3;
    charge.typedOption = m_ui->Option4;
    charge.explosiveCombo = m_ui->Combo4;
    charge.typedNameEdit = m_ui->Text14;
    charge.massEdit = m_ui->Text11;
    charge.heatEdit = m_ui->Text12;
    charge.molarDivisorEdit = m_ui->Text17;
    charge.perKgOption = m_ui->Option5;
    charge.perMoleOption = m_ui->Option6;
    charge.airOption = m_ui->Option1;
    charge.groundOption = m_ui->Option2;
    charge.storageXEdit = m_ui->Text15;
    charge.storageYEdit = m_ui->Text16;
    const QString connection = m_session.connectionString;
    m_chargePanel->bind(charge, {[connection] {
                                     db::Connection c(connection);
                                     return explosiveNames(c);
                                 },
                                 [connection](const QString& name) {
                                     db::Connection c(connection);
                                     return explosiveHeat(c, name);
                                 }});

    StructureEditor::Controls s;
    s.numberEdit = m_ui->Text13;
    s.previousButton = m_ui->cmdMinN;
    s.nextButton = m_ui->cmdMaxN;
    s.addButton = m_ui->cmdDob;
    s.changeButton = m_ui->cmdRec;
    s.deleteButton = m_ui->cmdDel;
    s.typeCombo = m_ui->Combo2;
    s.kindCombo = m_ui->Combo3;
    s.storeysEdit = m_ui->Text1;
    s.staffEdit = m_ui->Text2;
    // Weak, medium, strong, complete: the option, the slider, the value, and the unit and
    // the range's ends beside them.
    s.degrees[0] = {
        m_ui->optSla, m_ui->hscSla, m_ui->txtSla, {m_ui->Label18, m_ui->Label19, m_ui->Label20}};
    s.degrees[1] = {
        m_ui->optSre, m_ui->hscSre, m_ui->txtSre, {m_ui->Label21, m_ui->Label22, m_ui->Label23}};
    s.degrees[2] = {
        m_ui->optSul, m_ui->hscSul, m_ui->txtSul, {m_ui->Label24, m_ui->Label25, m_ui->Label26}};
    s.degrees[3] = {
        m_ui->optPol, m_ui->hscPol, m_ui->txtPol, {m_ui->Label27, m_ui->Label28, m_ui->Label29}};
    s.degreesLayout = m_ui->layDegrees;
    QLineEdit* corners[8] = {m_ui->txtX1, m_ui->txtY1, m_ui->txtX2, m_ui->txtY2,
                             m_ui->txtX3, m_ui->txtY3, m_ui->txtX4, m_ui->txtY4};
    std::copy(std::begin(corners), std::end(corners), std::begin(s.cornerEdits));
    s.cornerPicture = m_ui->Picture1;
    s.pictureNote = m_ui->lblPictureNote;
    s.outlineNote = m_ui->lblOutline;
    m_structureEditor->bind(s, m_session);
}

// ---- The situation ----

bool PlanEditorWindow::requestCalculation() {
    const std::optional<ChargeInput> charge = m_chargePanel->readCharge(kTitle);
    if (!charge) {
        return false;
    }
    const std::optional<QPointF> storage = m_chargePanel->readStoragePoint(kTitle);
    if (!storage) {
        return false;
    }
    // The numbers of the charge as the situation window and its documents show every other
    // number: in the user's locale, whatever separator was typed.
    situation::StoragePoint point{{storage->x(), storage->y()},
                                  numtext::general(storage->x()),
                                  numtext::general(storage->y())};
    reports::ChargeFields typed;
    typed.name = m_chargePanel->explosiveName();
    typed.massText = numtext::general(charge->chargeMassKg);
    typed.heatUnit = charge->heatUnit;
    typed.heatText = numtext::general(charge->heat);
    typed.secondHeatText = numtext::general(charge->molarDivisor);
    typed.placement = charge->placement;
    typed.bodyMassText = numtext::general(charge->bodyMassKg);

    std::shared_ptr<situation::Session> calculated;
    try {
        db::Connection c(m_session.connectionString);
        calculated =
            std::make_shared<situation::Session>(situation::Session::open(c, m_session.planNumber));
        calculated->evaluate(*charge, point, reports::describeCharge(typed));
    } catch (const situation::EmptyPlanError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const PlanNotFoundError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const ArithmeticError& e) {
        m_chargePanel->reportError(kTitle, e);
        return false;
    } catch (const Error& e) {
        reportPlanError(this, QStringLiteral("Расчет инженерной обстановки не выполнен."), e);
        return false;
    }
    emit calculationRequested(calculated);
    return true;
}

// ---- Plan areas ----

void PlanEditorWindow::showPlanAreas() {
    m_structureEditor->openPlan();
    showPlanTitle();
    m_chargePanel->setVisible(true);
    m_structureEditor->setVisible(true);
    m_calculateButton->setVisible(true);
    m_backButton->setVisible(true);
    m_exitButton->setVisible(true);
    m_planShown = true;
    m_mapDock->setVisible(true);
    refreshMap(true);
}

void PlanEditorWindow::hidePlanAreas() {
    m_chargePanel->setVisible(false);
    m_structureEditor->setVisible(false);
    m_calculateButton->setVisible(false);
    m_planShown = false;
    m_mapDock->setVisible(false);
    m_mapStructures->records.clear();
}

std::optional<QString> PlanEditorWindow::currentPlanName(db::Connection& c) const {
    return db::planName(c, m_session.planNumber);
}

void PlanEditorWindow::showPlanTitle() {
    std::optional<QString> name;
    if (m_session.planNumber != 0) {
        try {
            db::Connection c(m_session.connectionString);
            name = currentPlanName(c);
        } catch (const Error&) {
            // The title only names the plan; the editor's own actions report database trouble.
        }
    }
    setWindowTitle(name ? QStringLiteral("%1 — %2").arg(kWindowTitle, *name) : kWindowTitle);
}

bool PlanEditorWindow::deleteCurrentPlan() {
    if (!m_planShown || m_session.planNumber == 0) {
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Сначала создайте или выберите план местности "
                                             "(объекта): удалять нечего."));
        return false;
    }
    try {
        db::Connection c(m_session.connectionString);
        const std::optional<QString> name = currentPlanName(c);
        if (!name) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Текущего плана местности уже нет в базе "
                                                 "данных."));
            m_session.planNumber = 0;
            hidePlanAreas();
            return false;
        }
        const auto answer = ui::Messages::show(
            this,
            {kTitle, QStringLiteral("Удалить план местности «%1» и все его сооружения?").arg(*name),
             QMessageBox::Question, QMessageBox::Yes | QMessageBox::No});
        if (answer != QMessageBox::Yes) {
            return false;
        }
        db::deletePlan(c, m_session.planNumber);
    } catch (const Error& e) {
        reportPlanError(this, QStringLiteral("План местности не удалён."), e);
        return false;
    }
    m_session.planNumber = 0;
    m_session.structureNumber = 0;
    hidePlanAreas();
    m_structureEditor->reset();
    showPlanTitle();
    return true;
}

// ---- Structures ----

void PlanEditorWindow::nextStructure() {
    m_structureEditor->next();
}

void PlanEditorWindow::previousStructure() {
    m_structureEditor->previous();
}

bool PlanEditorWindow::addStructure() {
    return m_structureEditor->add();
}

bool PlanEditorWindow::changeStructure() {
    return m_structureEditor->change();
}

bool PlanEditorWindow::deleteStructure() {
    return m_structureEditor->remove();
}

bool PlanEditorWindow::importStructuresFile(const QString& path) {
    if (!plan::importStructuresFile(this, m_session, path)) {
        return false;
    }
    m_structureEditor->allowNext();
    refreshMap(true);
    return true;
}

void PlanEditorWindow::planImported() {
    m_structureEditor->openPlan();
    refreshMap(true);
}

// ---- The map ----

void PlanEditorWindow::refreshMap(bool fit) {
    m_mapStructures->records.clear();
    if (!m_planShown || m_session.planNumber == 0) {
        showMapCharge();
        return;
    }
    try {
        db::Connection c(m_session.connectionString);
        if (const auto name = currentPlanName(c)) {
            m_mapStructures->records = loadSituationPlan(c, *name).structures;
        }
    } catch (const Error&) {
        // The map is a view of the plan: the editor's own actions report database trouble.
    }
    showMapCharge();
    if (fit) {
        m_map->setModel(m_map->model(), true); // another plan: show all of it
    }
}

void PlanEditorWindow::showMapCharge() {
    const ui::ChargePanel::Controls& charge = m_chargePanel->controls();
    std::optional<PlanPoint> point;
    const auto x = numtext::parse(charge.storageXEdit->text());
    const auto y = numtext::parse(charge.storageYEdit->text());
    if (x && y) {
        point = PlanPoint{*x, *y};
    }
    m_map->setModel(map::mapOfStructures(m_mapStructures->records, point));
}

} // namespace kelmo::plan
