#include "windows/plan/PlanEditorWindow.h"

#include "core/NumberText.h"
#include "data/ExplosiveCatalogue.h"
#include "data/SituationPlan.h"
#include "engine/PlanGeometry.h"
#include "map/PlanMapModel.h"
#include "reports/ChargeText.h"
#include "session/ScenarioSituation.h"
#include "session/SituationSession.h"
#include "ui/BackgroundWork.h"
#include "ui/ChargePanel.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/DatabaseWork.h"
#include "windows/plan/PlanImportDialog.h"
#include "windows/plan/ScenarioPanel.h"
#include "windows/plan/StructureEditor.h"
#include "windows/plan/StructureFileImport.h"
#include "windows/plan/StructureOutline.h"

#include "ui_PlanEditorWindow.h"

#include <QActionGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

#include <cmath>

namespace kelmo::plan {

namespace {

const QString kTitle = QStringLiteral("Внимание!");
const QString kCalculating = QStringLiteral("Расчет инженерной обстановки…");
const QString kWindowTitle =
    QStringLiteral("Расчет инженерной обстановки с использованием плана местности");
const QString kMapCancelled =
    QStringLiteral("Загрузка плана на карту отменена: карта пуста, сооружения можно "
                   "просматривать и изменять по номерам.");

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

// A plan point to the centimetre: finer than a click can aim, and short in the fields.
QPointF toCentimetre(QPointF p) {
    return QPointF(std::round(p.x() * 100) / 100, std::round(p.y() * 100) / 100);
}

// What is wrong with an outline drawn or edited on the map (crossed sides, no area), in a
// message naming the structure; nothing when it can be stored. The database refuses such
// outlines of other than four vertices itself; four corners it takes as typed.
std::optional<QString> outlineFault(int number, const QPolygonF& outline) {
    StructureOutline vertices;
    for (const QPointF& p : outline) {
        vertices.push_back({p.x(), p.y()});
    }
    if (const auto defect = outlineDefect(vertices)) {
        return QString::fromStdString(outlineDefectMessage(number, *defect)) +
               QStringLiteral(" Сооружение не сохранено.");
    }
    return std::nullopt;
}

} // namespace

// One stored change of a structure. The first redo() finds it done: the window stores an
// edit before it becomes a step, so that a refused edit leaves no step behind.
class PlanEditorWindow::StructureStep final : public QUndoCommand {
public:
    StructureStep(PlanEditorWindow* window, StepKind kind, db::StructureRecord before,
                  db::StructureRecord after)
        : m_window(window)
        , m_kind(kind)
        , m_before(std::move(before))
        , m_after(std::move(after)) {
        const int number = kind == StepKind::Delete ? m_before.number : m_after.number;
        switch (kind) {
        case StepKind::Add:
            setText(QStringLiteral("добавление сооружения №%1").arg(number));
            break;
        case StepKind::Change:
            setText(QStringLiteral("изменение сооружения №%1").arg(number));
            break;
        case StepKind::Delete:
            setText(QStringLiteral("удаление сооружения №%1").arg(number));
            break;
        }
    }

    void redo() override {
        if (m_done) {
            m_done = false;
            return;
        }
        // A step the database refuses leaves the history: it cannot be done again either.
        if (!m_window->applyStep(m_kind, m_before, m_after, true)) {
            setObsolete(true);
        }
    }
    void undo() override {
        if (!m_window->applyStep(m_kind, m_before, m_after, false)) {
            setObsolete(true);
        }
    }

private:
    PlanEditorWindow* m_window;
    StepKind m_kind;
    db::StructureRecord m_before;
    db::StructureRecord m_after;
    bool m_done = true;
};

// The storage point put on the map: the fields are the form's, nothing is stored.
class PlanEditorWindow::ChargeStep final : public QUndoCommand {
public:
    ChargeStep(QLineEdit* x, QLineEdit* y, QString x1, QString y1)
        : QUndoCommand(QStringLiteral("перенос места хранения ВВ"))
        , m_x(x)
        , m_y(y)
        , m_x0(x->text())
        , m_y0(y->text())
        , m_x1(std::move(x1))
        , m_y1(std::move(y1)) {}

    void redo() override { set(m_x1, m_y1); }
    void undo() override { set(m_x0, m_y0); }

private:
    void set(const QString& x, const QString& y) {
        m_x->setText(x);
        m_y->setText(y);
    }
    QLineEdit* m_x;
    QLineEdit* m_y;
    QString m_x0, m_y0, m_x1, m_y1;
};

PlanEditorWindow::PlanEditorWindow(const WindowContext& context, PlanSession& session,
                                   QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::PlanEditorWindow>())
    , m_context(context)
    , m_session(session) {
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
    connect(m_structureEditor, &StructureEditor::structureAdded, this,
            [this](const db::StructureRecord& r) {
                showStored(r, false);
                m_map->setSelected(m_structureEditor->currentStructure());
                pushDone(StepKind::Add, r, r);
            });
    connect(m_structureEditor, &StructureEditor::structureChanged, this,
            [this](const db::StructureRecord& before, const db::StructureRecord& after) {
                showStored(after, false);
                pushDone(StepKind::Change, before, after);
            });
    connect(m_structureEditor, &StructureEditor::structureDeleted, this,
            [this](const db::StructureRecord& r) {
                forgetStored(r.number);
                m_map->setSelected(m_structureEditor->currentStructure());
                pushDone(StepKind::Delete, r, r);
            });

    // The map of the plan as it is edited, in the room below the charge, with its tools.
    m_undo = new QUndoStack(this);
    m_map = new map::PlanMapView(this);
    m_map->setLegendShown(false);
    m_map->setEditable(true);
    m_mapDock = new QGroupBox(QStringLiteral("Карта плана"), this);
    m_mapDock->setObjectName(QStringLiteral("frmMap"));
    auto* mapLayout = new QVBoxLayout(m_mapDock);
    mapLayout->setContentsMargins(4, 4, 4, 4);
    buildMapTools();
    mapLayout->addWidget(m_map);
    connect(m_map, &map::PlanMapView::chargePlaced, this, &PlanEditorWindow::placeCharge);
    connect(m_map, &map::PlanMapView::structureClicked, m_structureEditor,
            qOverload<int>(&StructureEditor::showNumber));
    connect(m_structureEditor, &StructureEditor::currentChanged, m_map,
            &map::PlanMapView::setSelected);
    connect(m_map, &map::PlanMapView::outlineEdited, this,
            [this](int number, const QPolygonF&, const QPolygonF& after) {
                editOutline(number, after);
            });
    connect(m_map, &map::PlanMapView::outlineDrawn, this, &PlanEditorWindow::addDrawnStructure);
    connect(m_map, &map::PlanMapView::deleteRequested, this, [this](int number) {
        if (m_structureEditor->currentStructure() != number) {
            m_structureEditor->showNumber(number);
        }
        if (m_structureEditor->currentStructure() == number) {
            m_structureEditor->remove(); // asks first
        }
    });
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
        PlanImportDialog dialog(m_context.connectionString, m_session.planNumber, this);
        if (dialog.exec() == QDialog::Accepted) {
            planImported();
        }
    });

    buildScenarioPanel();
    hidePlanAreas();
    m_chargePanel->loadCatalogue();
    m_structureEditor->load();
}

// A read of the plan's structures for the map on a thread of its own, with its own connection.
struct PlanLoad {
    int plan = 0;
    bool fit = false;
    std::atomic<bool> cancelled = false;
    QList<db::StructureRecord> records;
    map::PlanMapModel model;
    bool failed = false;
};

PlanEditorWindow::~PlanEditorWindow() {
    // A read under way ends on its own (or never, with a silent server): the window does not
    // wait for it, and what it reads is dropped.
    if (m_load) {
        m_load->cancelled = true;
    }
}

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
    m_chargePanel->bind(charge,
                        {m_context.reference.explosiveNames, m_context.reference.explosiveHeat});

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
    m_structureEditor->bind(s, m_context.connectionString, m_session);
}

// ---- Scenarios ----

void PlanEditorWindow::buildScenarioPanel() {
    ScenarioPanel::ChargeFields fields;
    fields.read = [this]() -> std::optional<db::ScenarioRecord> {
        const std::optional<ChargeInput> charge = m_chargePanel->readCharge(kTitle);
        if (!charge) {
            return std::nullopt;
        }
        const std::optional<QPointF> storage = m_chargePanel->readStoragePoint(kTitle);
        if (!storage) {
            return std::nullopt;
        }
        db::ScenarioRecord r;
        r.explosive = m_chargePanel->explosiveName();
        r.charge = *charge;
        r.point = {storage->x(), storage->y()};
        return r;
    };
    // The scenario's charge goes in as typed values: its heat is the one stored with it, even
    // when the catalogue's explosive of that name has another by now.
    fields.fill = [this](const db::ScenarioRecord& r) {
        const ui::ChargePanel::Controls& c = m_chargePanel->controls();
        c.typedOption->setChecked(true);
        c.typedNameEdit->setText(r.explosive);
        c.massEdit->setText(numtext::general(r.charge.chargeMassKg));
        c.heatEdit->setText(numtext::general(r.charge.heat));
        c.molarDivisorEdit->setText(numtext::general(r.charge.molarDivisor));
        (r.charge.heatUnit == HeatUnit::PerMole ? c.perMoleOption : c.perKgOption)
            ->setChecked(true);
        (r.charge.placement == Placement::Air ? c.airOption : c.groundOption)->setChecked(true);
        c.storageXEdit->setText(numtext::general(r.point.x));
        c.storageYEdit->setText(numtext::general(r.point.y));
    };
    m_scenarioPanel = new ScenarioPanel(m_context.connectionString, std::move(fields), this);
    // Below the structures, where the right column has room; the map keeps the left one.
    QGridLayout* grid = m_ui->layCentral;
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    grid->getItemPosition(grid->indexOf(m_structureEditor), &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(m_structureEditor);
    auto* right = new QVBoxLayout;
    right->addWidget(m_structureEditor, 1);
    right->addWidget(m_scenarioPanel);
    grid->addLayout(right, row, column, rowSpan, columnSpan);
}

bool PlanEditorWindow::requestWorstCase() {
    std::shared_ptr<situation::Session> calculated;
    try {
        const QString connection = m_context.connectionString;
        const int plan = m_session.planNumber;
        auto done = ui::runInBackground(this, kCalculating, [connection, plan] {
            db::Connection c(connection);
            auto session = std::make_shared<situation::Session>(situation::Session::open(c, plan));
            const situation::AllScenarios all =
                situation::evaluateScenarios(*session, db::listScenarios(c, plan));
            situation::showWorstCase(*session, all);
            return session;
        });
        if (!done) {
            calculationCancelled();
            return false;
        }
        calculated = std::move(*done);
    } catch (const situation::NoScenariosError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const situation::EmptyPlanError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const PlanNotFoundError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const ArithmeticError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        return false;
    } catch (const Error& e) {
        reportPlanError(this, QStringLiteral("Расчет инженерной обстановки не выполнен."), e);
        return false;
    }
    emit calculationRequested(calculated);
    return true;
}

// ---- The situation ----

// The plan is read and the situation calculated on a thread of their own, with a connection of
// their own: the window keeps answering, and a silent server can be given up on.
void PlanEditorWindow::calculationCancelled() {
    statusBar()->showMessage(QStringLiteral("Расчет инженерной обстановки отменен."));
}

bool PlanEditorWindow::requestCalculation() {
    if (m_scenarioPanel->allScenarios()) {
        return requestWorstCase();
    }
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
        const QString connection = m_context.connectionString;
        const int plan = m_session.planNumber;
        auto done = ui::runInBackground(this, kCalculating,
                                        [connection, plan, charge = *charge, point,
                                         description = reports::describeCharge(typed)] {
                                            db::Connection c(connection);
                                            auto session = std::make_shared<situation::Session>(
                                                situation::Session::open(c, plan));
                                            session->evaluate(charge, point, description);
                                            return session;
                                        });
        if (!done) {
            calculationCancelled();
            return false;
        }
        calculated = std::move(*done);
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
    // The plan's name comes with the map's read below.
    showPlanTitle(std::nullopt);
    m_titleWanted = true;
    m_chargePanel->setVisible(true);
    m_scenarioPanel->setVisible(true);
    m_scenarioPanel->openPlan(m_session.planNumber);
    m_structureEditor->setVisible(true);
    m_calculateButton->setVisible(true);
    m_backButton->setVisible(true);
    m_exitButton->setVisible(true);
    m_planShown = true;
    m_mapDock->setVisible(true);
    m_undo->clear(); // the steps of another plan
    refreshMap(true);
    m_map->setSelected(m_structureEditor->currentStructure());
}

void PlanEditorWindow::hidePlanAreas() {
    m_chargePanel->setVisible(false);
    m_scenarioPanel->setVisible(false);
    m_structureEditor->setVisible(false);
    m_calculateButton->setVisible(false);
    m_planShown = false;
    m_mapDock->setVisible(false);
    m_records.clear();
    m_undo->clear();
}

void PlanEditorWindow::showPlanTitle(std::optional<QString> name) {
    // A very long name (one stored before names were limited) is shortened in the middle.
    constexpr int kShownChars = 80;
    if (name && name->size() > kShownChars) {
        *name = name->left(kShownChars / 2) + QChar(0x2026) + name->right(kShownChars / 2 - 1);
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
    const int plan = m_session.planNumber;
    std::optional<std::optional<QString>> read;
    try {
        read =
            onDatabase(this, QStringLiteral("Чтение плана местности…"), m_context.connectionString,
                       [plan](db::Connection& c) { return db::planName(c, plan); });
    } catch (const Error& e) {
        reportPlanError(this, QStringLiteral("План местности не удалён."), e);
        return false;
    }
    if (!read) {
        statusBar()->showMessage(QStringLiteral("План местности не удалён: ожидание сервера базы "
                                                "данных прервано."));
        return false;
    }
    const std::optional<QString>& name = *read;
    if (!name) {
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Текущего плана местности уже нет в базе данных."));
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
    // Filled on the worker; read here only after it ended.
    struct Outcome {
        bool deleted = false;
        QString error;
    };
    const auto outcome = std::make_shared<Outcome>();
    auto work = [connection = m_context.connectionString, plan, outcome] {
        try {
            db::Connection c(connection);
            db::deletePlan(c, plan);
        } catch (const Error& e) {
            outcome->error = QString::fromStdString(e.what());
            throw;
        }
        outcome->deleted = true;
        return true;
    };
    // A delete given up on may still reach the database: the window follows when it ends.
    const auto ended = [this, plan, name = *name, outcome] {
        if (!outcome->deleted) {
            ui::Messages::warning(
                this, kTitle,
                QStringLiteral("План местности «%1» не удалён.\n%2").arg(name, outcome->error));
            return;
        }
        if (m_session.planNumber == plan) {
            planDeleted();
        }
        statusBar()->showMessage(QStringLiteral("План местности «%1» удалён.").arg(name));
    };
    std::optional<bool> deleted;
    try {
        deleted =
            ui::runInBackground(this, QStringLiteral("Удаление плана местности «%1»…").arg(*name),
                                std::move(work), ended);
    } catch (const Error& e) {
        reportPlanError(this, QStringLiteral("План местности не удалён."), e);
        return false;
    }
    if (!deleted) {
        ui::Messages::warning(
            this, kTitle,
            QStringLiteral("Ожидание сервера базы данных прервано. Неизвестно, удалён ли план "
                           "местности «%1»: когда сервер ответит, окно покажет то, что хранит база "
                           "данных.")
                .arg(*name));
        return false;
    }
    planDeleted();
    return true;
}

void PlanEditorWindow::planDeleted() {
    m_session.planNumber = 0;
    m_session.structureNumber = 0;
    hidePlanAreas();
    m_structureEditor->reset();
    showPlanTitle(std::nullopt);
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
    const int plan = m_session.planNumber;
    const auto storedLate = [this, plan] {
        if (m_session.planNumber == plan && m_planShown) {
            m_structureEditor->allowNext();
            m_undo->clear();
            refreshMap(true);
        }
    };
    if (!plan::importStructuresFile(this, m_context.connectionString, plan, path, storedLate)) {
        return false;
    }
    m_structureEditor->allowNext();
    // The import is no step of the history, and the steps before it may no longer fit.
    m_undo->clear();
    refreshMap(true);
    return true;
}

void PlanEditorWindow::planImported() {
    m_structureEditor->openPlan();
    refreshMap(true);
}

// ---- The map ----

void PlanEditorWindow::buildMapTools() {
    // A row of tool buttons rather than a toolbar: a toolbar would hide the last ones behind
    // its "more" arrow at the window's usual width.
    auto* bar = new QWidget(m_mapDock);
    bar->setObjectName(QStringLiteral("mapTools"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_tools = new QActionGroup(this);
    m_tools->setExclusive(true);
    struct Tool {
        map::MapTool tool;
        const char* name;
        QString text;
        QString tip;
    };
    const Tool tools[] = {
        {map::MapTool::Select, "actMapSelect", QStringLiteral("Выбор"),
         QStringLiteral("Выбор сооружения щелчком; перетаскивание сооружения или его вершины; "
                        "правая кнопка — добавить или удалить вершину, удалить сооружение")},
        {map::MapTool::Charge, "actMapCharge", QStringLiteral("Заряд"),
         QStringLiteral("Щелчок по карте ставит место хранения ВВ (поля X и Y)")},
        {map::MapTool::Draw, "actMapDraw", QStringLiteral("Новое сооружение"),
         QStringLiteral("Щелкайте по вершинам нового сооружения; двойной щелчок или щелчок по "
                        "первой вершине замыкает контур. Привязка к вершинам и прямым углам, "
                        "Shift — без привязки. Тип, вид, этажность и сотрудники — из формы")},
        {map::MapTool::MeasureDistance, "actMapDistance", QStringLiteral("Измерить расстояние"),
         QStringLiteral("Щелкайте по точкам ломаной; двойной щелчок заканчивает измерение")},
        {map::MapTool::MeasureArea, "actMapArea", QStringLiteral("Измерить площадь"),
         QStringLiteral("Щелкайте по вершинам контура; двойной щелчок заканчивает измерение")},
    };
    for (const Tool& t : tools) {
        auto* action = new QAction(t.text, this);
        action->setObjectName(QString::fromLatin1(t.name));
        action->setToolTip(t.tip);
        action->setCheckable(true);
        action->setData(static_cast<int>(t.tool));
        m_tools->addAction(action);
        auto* button = new QToolButton(bar);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        row->addWidget(button);
        connect(action, &QAction::triggered, this, [this, tool = t.tool] { setMapTool(tool); });
    }
    m_tools->actions().first()->setChecked(true);

    row->addStretch(1);
    QAction* undo = m_undo->createUndoAction(this, QStringLiteral("Отменить"));
    undo->setObjectName(QStringLiteral("actUndo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = m_undo->createRedoAction(this, QStringLiteral("Повторить"));
    redo->setObjectName(QStringLiteral("actRedo"));
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // In the menu, which says what they undo; the toolbar keeps its room for the tools.
    addAction(undo);
    addAction(redo);
    QMenu* edit = new QMenu(QStringLiteral("Правка"), this);
    edit->setObjectName(QStringLiteral("mnuEdit"));
    edit->addAction(undo);
    edit->addAction(redo);
    m_ui->menubar->addMenu(edit);
    m_mapDock->layout()->addWidget(bar);
}

void PlanEditorWindow::setMapTool(map::MapTool tool) {
    if (QAction* action = toolAction(tool)) {
        action->setChecked(true);
    }
    m_map->setTool(tool);
}

QAction* PlanEditorWindow::toolAction(map::MapTool tool) const {
    for (QAction* action : m_tools->actions()) {
        if (action->data().toInt() == static_cast<int>(tool)) {
            return action;
        }
    }
    return nullptr;
}

void PlanEditorWindow::refreshMap(bool fit) {
    if (m_load) {
        // The read under way may not see the latest change: read again once it ends.
        m_reloadWanted = true;
        m_reloadFit = m_reloadFit || fit;
        return;
    }
    QList<db::StructureRecord> records;
    if (m_planShown && m_session.planNumber != 0) {
        // The count decides whether the map is read here or in the background; the plan's
        // name for the title comes along when a plan has just been opened.
        struct MapRead {
            bool large = false;
            QList<db::StructureRecord> records;
            std::optional<QString> name;
        };
        const int plan = m_session.planNumber;
        const bool withName = m_titleWanted;
        m_titleWanted = false;
        std::optional<MapRead> read;
        try {
            read = onDatabase(
                this, QStringLiteral("Чтение плана местности…"), m_context.connectionString,
                [plan, withName](db::Connection& c) {
                    MapRead r;
                    if (withName) {
                        r.name = db::planName(c, plan);
                    }
                    QSqlQuery count = c.exec(
                        QStringLiteral("select count(*) from IDPM where NumPrim = ?"), {plan});
                    r.large = count.next() && count.value(0).toInt() >= kBackgroundLoadFrom;
                    if (!r.large) {
                        r.records = db::readStructures(c, plan);
                    }
                    return r;
                });
        } catch (const Error&) {
            // The map is a view of the plan: the editor's own actions report database trouble.
            read.emplace();
        }
        if (!read) {
            showReadPlan({}, map::PlanMapModel{}, false);
            statusBar()->showMessage(kMapCancelled);
            return;
        }
        if (withName) {
            showPlanTitle(read->name);
        }
        if (read->large) {
            startBackgroundLoad(fit);
            return;
        }
        records = std::move(read->records);
    }
    map::PlanMapModel model;
    for (const db::StructureRecord& record : std::as_const(records)) {
        if (const auto drawn = mapStructureOf(record)) {
            model.structures.push_back(*drawn);
        }
    }
    showReadPlan(std::move(records), std::move(model), fit);
}

void PlanEditorWindow::showReadPlan(QList<db::StructureRecord> records, map::PlanMapModel&& model,
                                    bool fit) {
    m_records = std::move(records);
    model.charge = m_map->model().charge;
    const int selected = m_map->selected();
    m_map->setModel(std::move(model), fit);
    m_map->setSelected(selected);
    showMapCharge();
}

void PlanEditorWindow::startBackgroundLoad(bool fit) {
    auto load = std::make_shared<PlanLoad>();
    load->plan = m_session.planNumber;
    load->fit = fit;
    m_load = load;
    m_reloadWanted = false;
    m_reloadFit = false;
    // The map shows nothing of another plan meanwhile.
    m_records.clear();
    map::PlanMapModel empty;
    empty.charge = m_map->model().charge;
    m_map->setModel(std::move(empty), false);
    // A short read shows no busy sign at all.
    QTimer::singleShot(300, this, [this, weak = std::weak_ptr<PlanLoad>(load)] {
        if (!weak.expired() && weak.lock() == m_load) {
            setBusy(true);
        }
    });
    const QString connection = m_context.connectionString;
    // Handed back to the window's thread; dropped when the window has gone meanwhile.
    auto finished = [window = QPointer<PlanEditorWindow>(this)] {
        if (window) {
            window->backgroundLoadFinished();
        }
    };
    ui::detail::startBackgroundJob([load, connection, finished = std::move(finished)] {
        try {
            db::Connection c(connection);
            load->records = db::readStructures(c, load->plan);
            for (const db::StructureRecord& record : std::as_const(load->records)) {
                if (load->cancelled) {
                    break;
                }
                if (const auto drawn = mapStructureOf(record)) {
                    load->model.structures.push_back(*drawn);
                }
            }
        } catch (...) {
            load->failed = true;
        }
        if (QCoreApplication::instance() != nullptr) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), finished, Qt::QueuedConnection);
        }
    });
}

void PlanEditorWindow::backgroundLoadFinished() {
    const std::shared_ptr<PlanLoad> load = std::move(m_load);
    m_load.reset();
    setBusy(false);
    if (!load || load->cancelled) {
        emit planLoaded();
        return;
    }
    if (m_reloadWanted || load->plan != m_session.planNumber) {
        const bool fit = load->fit || m_reloadFit;
        m_reloadWanted = false;
        refreshMap(fit);
        if (!m_load) {
            emit planLoaded();
        }
        return;
    }
    if (!load->failed) {
        showReadPlan(std::move(load->records), std::move(load->model), load->fit);
    }
    emit planLoaded();
}

void PlanEditorWindow::cancelPlanLoading() {
    if (!m_load) {
        return;
    }
    m_load->cancelled = true;
    m_reloadWanted = false;
    setBusy(false);
    statusBar()->showMessage(kMapCancelled);
}

void PlanEditorWindow::setBusy(bool busy) {
    if (!m_busy && busy) {
        m_busy = new QWidget(this);
        m_busy->setObjectName(QStringLiteral("planLoadingBusy"));
        m_busy->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
        auto* layout = new QHBoxLayout(m_busy);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* label = new QLabel(QStringLiteral("Загрузка плана на карту…"), m_busy);
        auto* bar = new QProgressBar(m_busy);
        bar->setRange(0, 0); // busy: the number of rows is not known ahead
        bar->setMaximumWidth(160);
        auto* cancel = new QPushButton(QStringLiteral("Отмена"), m_busy);
        cancel->setObjectName(QStringLiteral("cmdCancelLoading"));
        connect(cancel, &QPushButton::clicked, this, &PlanEditorWindow::cancelPlanLoading);
        layout->addWidget(label);
        layout->addWidget(bar);
        layout->addWidget(cancel);
        statusBar()->addPermanentWidget(m_busy);
    }
    if (m_busy) {
        m_busy->setVisible(busy);
        if (busy) {
            statusBar()->clearMessage();
        }
    }
}

void PlanEditorWindow::showMapCharge() {
    const ui::ChargePanel::Controls& charge = m_chargePanel->controls();
    std::optional<QPointF> point;
    const auto x = numtext::parse(charge.storageXEdit->text());
    const auto y = numtext::parse(charge.storageYEdit->text());
    if (x && y) {
        point = QPointF(*x, *y);
    }
    m_map->setCharge(point);
}

void PlanEditorWindow::placeCharge(QPointF planPoint) {
    const QPointF p = toCentimetre(planPoint);
    const ui::ChargePanel::Controls& charge = m_chargePanel->controls();
    const QString x = numtext::general(p.x());
    const QString y = numtext::general(p.y());
    if (x == charge.storageXEdit->text() && y == charge.storageYEdit->text()) {
        return;
    }
    m_undo->push(new ChargeStep(charge.storageXEdit, charge.storageYEdit, x, y));
}

int PlanEditorWindow::recordIndex(int number) const {
    for (qsizetype i = 0; i < m_records.size(); ++i) {
        if (m_records[i].number == number) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void PlanEditorWindow::showStored(const db::StructureRecord& record, bool inserted) {
    if (m_load) {
        m_reloadWanted = true; // the read under way may miss it
        return;
    }
    const int at = recordIndex(record.number);
    if (inserted || at < 0) {
        for (db::StructureRecord& r : m_records) {
            if (inserted && r.number >= record.number) {
                r.number += 1;
            }
        }
        qsizetype place = 0;
        while (place < m_records.size() && m_records[place].number < record.number) {
            ++place;
        }
        m_records.insert(place, record);
    } else {
        m_records[at] = record;
    }
    const auto drawn = mapStructureOf(record);
    if (inserted && drawn) {
        m_map->insertStructure(*drawn);
    } else if (drawn) {
        m_map->setStructure(*drawn);
    } else {
        refreshMap(); // not placeable: left off, as a fresh read leaves it off
    }
}

void PlanEditorWindow::forgetStored(int number) {
    if (m_load) {
        m_reloadWanted = true;
        return;
    }
    const int at = recordIndex(number);
    if (at >= 0) {
        m_records.removeAt(at);
    }
    for (db::StructureRecord& r : m_records) {
        if (r.number > number) {
            r.number -= 1;
        }
    }
    m_map->removeStructure(number);
}

void PlanEditorWindow::pushDone(StepKind kind, const db::StructureRecord& before,
                                const db::StructureRecord& after) {
    m_undo->push(new StructureStep(this, kind, before, after));
}

bool PlanEditorWindow::applyStep(StepKind kind, const db::StructureRecord& before,
                                 const db::StructureRecord& after, bool forward) {
    const int number = kind == StepKind::Delete ? before.number : after.number;
    // Stored on a thread of its own; a step given up on may still reach the database.
    struct Outcome {
        bool written = false;
        QString error;
        std::optional<StructureRead> shown; // the structure under the number afterwards
    };
    const auto outcome = std::make_shared<Outcome>();
    std::optional<bool> stored;
    try {
        auto write = [connection = m_context.connectionString, kind, before, after, forward, number,
                      outcome] {
            try {
                db::Connection c(connection);
                switch (kind) {
                case StepKind::Add:
                    forward ? db::addStructure(c, after) : db::deleteStructure(c, after);
                    break;
                case StepKind::Change:
                    forward ? db::changeStructure(c, before, after)
                            : db::changeStructure(c, after, before);
                    break;
                case StepKind::Delete:
                    forward ? db::deleteStructure(c, before) : db::insertStructure(c, before);
                    break;
                }
            } catch (const Error& e) {
                outcome->error = QString::fromStdString(e.what());
                throw;
            }
            outcome->written = true;
            try {
                db::Connection c(connection);
                outcome->shown = readStructureForForm(c, after.plan, number);
            } catch (const Error&) {
                // Stored all the same: the form reads it itself.
            }
            return true;
        };
        const auto ended = [this, number, outcome] {
            if (outcome->written) {
                refreshMap();
                m_structureEditor->showNumber(number);
                return;
            }
            ui::Messages::warning(
                this, kTitle,
                QStringLiteral("Изменение плана не выполнено.\n%1").arg(outcome->error));
        };
        stored = ui::runInBackground(this, QStringLiteral("Сохранение сооружения №%1…").arg(number),
                                     std::move(write), ended);
    } catch (const Error& e) {
        reportPlanError(this, QStringLiteral("Изменение плана не выполнено."), e);
        // The map and the form show what the database holds now.
        refreshMap();
        m_structureEditor->showNumber(number);
        return false;
    }
    if (!stored) {
        // The map goes back to what the database held before the step, as far as known.
        if (!m_load) {
            map::PlanMapModel model;
            for (const db::StructureRecord& record : std::as_const(m_records)) {
                if (const auto drawn = mapStructureOf(record)) {
                    model.structures.push_back(*drawn);
                }
            }
            showReadPlan(m_records, std::move(model), false);
        }
        ui::Messages::warning(
            this, kTitle,
            QStringLiteral("Ожидание сервера базы данных прервано. Неизвестно, сохранено ли "
                           "сооружение №%1: когда сервер ответит, форма и карта покажут то, что "
                           "хранит база данных.")
                .arg(number));
        return false;
    }
    const bool adds = (kind == StepKind::Add) == forward && kind != StepKind::Change;
    if (kind == StepKind::Change) {
        showStored(forward ? after : before, false);
    } else if (adds) {
        showStored(kind == StepKind::Add ? after : before, kind == StepKind::Delete);
    } else {
        forgetStored(number);
    }
    if (outcome->shown) {
        m_structureEditor->showNumber(number, *outcome->shown);
    } else {
        m_structureEditor->showNumber(number);
    }
    return true;
}

bool PlanEditorWindow::editOutline(int number, const QPolygonF& outline) {
    const int at = recordIndex(number);
    if (at < 0) {
        return false;
    }
    const db::StructureRecord before = m_records[at];
    db::StructureRecord after = before;
    QPolygonF rounded;
    for (const QPointF& p : outline) {
        rounded << toCentimetre(p);
    }
    if (const auto fault = outlineFault(number, rounded)) {
        ui::Messages::warning(this, kTitle, *fault);
        if (const auto drawn = mapStructureOf(before)) {
            m_map->setStructure(*drawn); // as it was
        }
        return false;
    }
    setOutlinePolygon(after, rounded);
    if (after == before) {
        return false;
    }
    if (!applyStep(StepKind::Change, before, after, true)) {
        return false;
    }
    pushDone(StepKind::Change, before, after);
    return true;
}

bool PlanEditorWindow::addDrawnStructure(const QPolygonF& outline) {
    if (!m_planShown || m_session.planNumber == 0) {
        return false;
    }
    std::optional<int> last;
    try {
        last = onDatabase(this, QStringLiteral("Чтение номеров сооружений плана…"),
                          m_context.connectionString,
                          [plan = m_session.planNumber](db::Connection& c) {
                              return db::lastStructureNumber(c, plan);
                          });
    } catch (const Error& e) {
        reportPlanError(this, QStringLiteral("Сооружение не добавлено."), e);
        return false;
    }
    if (!last) {
        statusBar()->showMessage(QStringLiteral("Сооружение не добавлено: ожидание сервера базы "
                                                "данных прервано."));
        return false;
    }
    const int number = *last + 1;
    std::optional<db::StructureRecord> record = m_structureEditor->recordForNew(number);
    if (!record) {
        return false;
    }
    QPolygonF rounded;
    for (const QPointF& p : outline) {
        rounded << toCentimetre(p);
    }
    if (const auto fault = outlineFault(number, rounded)) {
        ui::Messages::warning(this, kTitle, *fault);
        return false;
    }
    setOutlinePolygon(*record, rounded);
    if (!applyStep(StepKind::Add, *record, *record, true)) {
        return false;
    }
    pushDone(StepKind::Add, *record, *record);
    return true;
}

} // namespace kelmo::plan
