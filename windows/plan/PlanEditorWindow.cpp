#include "windows/plan/PlanEditorWindow.h"

#include "engine/PlanGeometry.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "data/ExplosiveCatalogue.h"
#include "data/SituationPlan.h"
#include "data/StructureImport.h"
#include "map/PlanMapModel.h"
#include "reports/ChargeText.h"
#include "session/SituationSession.h"
#include "ui/ChargeFields.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/PlanPictures.h"

#include "ui_PlanEditorWindow.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace kelmo::plan {

namespace {

const QString kTitle = QStringLiteral("Внимание!");
const QString kWindowTitle =
    QStringLiteral("Расчет инженерной обстановки с использованием плана местности");

// A range bound or a middle of the kind table as a slider position: rounded half to even,
// kept inside the 16-bit range the table is defined for.
int sliderPosition(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    const double rounded = std::nearbyint(value);
    return static_cast<int>(std::clamp(rounded, -32768.0, 32767.0));
}

// A whole number of storeys or people: 0 or more.
std::optional<int> wholeNumber(const QString& text) {
    const auto v = numtext::parse(text);
    if (!v || *v < 0 || *v > 1.0e6 || std::floor(*v) != *v) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

// A coordinate in metres, with a comma or a point whatever the locale.
std::optional<double> coordinate(const QString& text) {
    if (auto v = numtext::parse(text)) {
        return v;
    }
    QString swapped = text;
    swapped.replace(u',', u'.');
    return numtext::parse(swapped, QLocale::c());
}

// The small drawing of Frame3: a charge on the ground and its blast wave.
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

QPixmap sketch() {
    QPixmap stored;
    if (stored.load(sharedFile(QString::fromLatin1(kSketchFile)))) {
        return stored;
    }
    return QPixmap::fromImage(cornerDrawing(0));
}

const char* const kCornerNames[8] = {"Х1", "У1", "Х2", "У2", "Х3", "У3", "Х4", "У4"};

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

    // Readable names for the degree groups, in the order weak, medium, strong, complete.
    m_degrees[0] = {
        m_ui->optSla, m_ui->hscSla, m_ui->txtSla, {m_ui->Label18, m_ui->Label19, m_ui->Label20}};
    m_degrees[1] = {
        m_ui->optSre, m_ui->hscSre, m_ui->txtSre, {m_ui->Label21, m_ui->Label22, m_ui->Label23}};
    m_degrees[2] = {
        m_ui->optSul, m_ui->hscSul, m_ui->txtSul, {m_ui->Label24, m_ui->Label25, m_ui->Label26}};
    m_degrees[3] = {
        m_ui->optPol, m_ui->hscPol, m_ui->txtPol, {m_ui->Label27, m_ui->Label28, m_ui->Label29}};
    QLineEdit* corners[8] = {m_ui->txtX1, m_ui->txtY1, m_ui->txtX2, m_ui->txtY2,
                             m_ui->txtX3, m_ui->txtY3, m_ui->txtX4, m_ui->txtY4};
    std::copy(std::begin(corners), std::end(corners), std::begin(m_corners));

    // The fields that take each other's place keep the same size.
    m_ui->Text14->setSizePolicy(m_ui->Combo4->sizePolicy());
    m_ui->Text17->setSizePolicy(m_ui->Text12->sizePolicy());
    m_ui->vzr->setPixmap(chargeDrawing());
    // The degree and corner frames keep their own height; the room left goes below them.
    m_ui->layDegrees->addStretch(1);
    m_ui->Combo2->setPlaceholderText(QStringLiteral("в базе данных нет типов сооружений"));
    m_ui->Combo3->setPlaceholderText(QStringLiteral("у типа нет видов сооружений"));

    connect(m_ui->Option3, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            m_ui->Text12->setEnabled(false);
            m_ui->Combo4->setVisible(true);
            m_ui->Text14->setVisible(false);
        }
    });
    connect(m_ui->Option4, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            m_ui->Text12->setEnabled(true);
            m_ui->Combo4->setVisible(false);
            m_ui->Text14->setVisible(true);
        }
    });
    connect(m_ui->Option5, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            m_ui->Text17->setVisible(false);
            m_ui->Text12->setVisible(true);
        }
    });
    connect(m_ui->Option6, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            m_ui->Text17->setVisible(true);
            m_ui->Text12->setVisible(false);
        }
    });
    connect(m_ui->Combo4, &QComboBox::currentIndexChanged, this,
            &PlanEditorWindow::showExplosiveEnergy);
    connect(m_ui->Combo2, &QComboBox::currentIndexChanged, this,
            &PlanEditorWindow::fillStructureKinds);
    connect(m_ui->Combo3, &QComboBox::currentIndexChanged, this,
            &PlanEditorWindow::applyKindRanges);
    for (int i = 0; i < 4; ++i) {
        const DegreeControls& d = m_degrees[i];
        connect(d.slider, &QScrollBar::valueChanged, this,
                [field = d.value](int value) { field->setText(QString::number(value)); });
        connect(d.option, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) {
                showDegree(i);
            }
        });
    }
    for (QLineEdit* corner : m_corners) {
        corner->installEventFilter(this);
    }

    connect(m_ui->cmdMaxN, &QPushButton::clicked, this, &PlanEditorWindow::nextStructure);
    connect(m_ui->cmdMinN, &QPushButton::clicked, this, &PlanEditorWindow::previousStructure);
    connect(m_ui->cmdDob, &QPushButton::clicked, this, &PlanEditorWindow::addStructure);
    connect(m_ui->cmdRec, &QPushButton::clicked, this, &PlanEditorWindow::changeStructure);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &PlanEditorWindow::deleteStructure);
    connect(m_ui->cmdRasch, &QPushButton::clicked, this, &PlanEditorWindow::requestCalculation);
    connect(m_ui->cmdNazad, &QPushButton::clicked, this, &PlanEditorWindow::backRequested);
    connect(m_ui->cmdVihod, &QPushButton::clicked, this, &PlanEditorWindow::exitRequested);
    connect(m_ui->mnuSozdPM, &QAction::triggered, this, &PlanEditorWindow::createPlanRequested);
    connect(m_ui->mnuViborPM, &QAction::triggered, this, &PlanEditorWindow::choosePlanRequested);
    connect(m_ui->mnuDelPM, &QAction::triggered, this, &PlanEditorWindow::deleteCurrentPlan);

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
    connect(m_ui->Text15, &QLineEdit::textChanged, this, &PlanEditorWindow::showMapCharge);
    connect(m_ui->Text16, &QLineEdit::textChanged, this, &PlanEditorWindow::showMapCharge);
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
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Сооружения из файла CSV"), QString(),
                                         QStringLiteral("Файлы CSV (*.csv *.txt);;Все файлы (*)"));
        if (!path.isEmpty()) {
            importStructuresFile(path);
        }
    });

    load();
}

PlanEditorWindow::~PlanEditorWindow() = default;

void PlanEditorWindow::load() {
    hidePlanAreas();
    resetStructureArea();
    m_ui->Picture1->setPixmap(sketch());
    fillExplosiveList();
    fillStructureTypes();
}

void PlanEditorWindow::reportError(const QString& what, const std::exception& e) {
    if (dynamic_cast<const db::StructureNumberError*>(&e) != nullptr ||
        dynamic_cast<const db::StructureConflictError*>(&e) != nullptr) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        return;
    }
    ui::Messages::critical(this, kTitle, what + u'\n' + QString::fromStdString(e.what()));
}

// ---- Explosion parameters ----

void PlanEditorWindow::fillExplosiveList() {
    QStringList names;
    try {
        db::Connection c(m_session.connectionString);
        names = explosiveNames(c);
    } catch (const Error& e) {
        reportError(QStringLiteral("Не удалось прочитать список ВВ из базы данных. Данные ВВ "
                                   "можно ввести с клавиатуры."),
                    e);
        return;
    }
    {
        const QSignalBlocker block(m_ui->Combo4);
        m_ui->Combo4->addItems(names);
        m_ui->Combo4->setCurrentIndex(-1);
    }
    if (!names.isEmpty()) {
        m_ui->Combo4->setCurrentIndex(0);
    }
}

void PlanEditorWindow::showExplosiveEnergy() {
    if (m_ui->Combo4->currentIndex() < 0) {
        return;
    }
    try {
        db::Connection c(m_session.connectionString);
        // A name the catalogue does not have leaves the field as it is.
        if (const auto heat = explosiveHeat(c, m_ui->Combo4->currentText())) {
            m_ui->Text12->setText(numtext::general(*heat));
        }
    } catch (const Error& e) {
        reportError(QStringLiteral("Не удалось прочитать энергию взрыва ВВ из базы данных."), e);
    }
}

// ---- The situation ----

bool PlanEditorWindow::requestCalculation() {
    ui::ChargeFields fields;
    fields.mass = m_ui->Text11;
    fields.heat = m_ui->Text12;
    fields.molarDivisor = m_ui->Text17;
    fields.heatUnit = m_ui->Option5->isChecked() ? HeatUnit::PerKg : HeatUnit::PerMole;
    fields.placement = m_ui->Option1->isChecked() ? Placement::Air : Placement::Ground;
    const std::optional<ChargeInput> charge = ui::readChargeFields(this, kTitle, fields);
    if (!charge) {
        return false;
    }
    situation::StoragePoint point{{}, m_ui->Text15->text(), m_ui->Text16->text()};
    QLineEdit* field = m_ui->Text15;
    try {
        point.point.x =
            numtext::parseField(point.xText, QStringLiteral("Координата Х места хранения КВВ, м"));
        field = m_ui->Text16;
        point.point.y =
            numtext::parseField(point.yText, QStringLiteral("Координата У места хранения КВВ, м"));
    } catch (const ConversionError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        if (field->isVisible()) {
            ui::refuseField(field);
        }
        return false;
    }

    // The numbers of the charge as the situation window and its documents show every other
    // number: in the user's locale, whatever separator was typed.
    point.xText = numtext::general(point.point.x);
    point.yText = numtext::general(point.point.y);
    reports::ChargeFields typed;
    typed.name = m_ui->Option3->isChecked() ? m_ui->Combo4->currentText() : m_ui->Text14->text();
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
        ui::reportChargeError(this, kTitle, fields, e);
        return false;
    } catch (const Error& e) {
        reportError(QStringLiteral("Расчет инженерной обстановки не выполнен."), e);
        return false;
    }
    emit calculationRequested(calculated);
    return true;
}

// ---- Types, kinds and the degree sliders ----

void PlanEditorWindow::fillStructureTypes() {
    QList<db::TypeEntry> types;
    try {
        db::Connection c(m_session.connectionString);
        types = db::listStructureTypes(c);
    } catch (const Error& e) {
        reportError(QStringLiteral("Не удалось прочитать типы сооружений из базы данных."), e);
        return;
    }
    {
        const QSignalBlocker block(m_ui->Combo2);
        for (const db::TypeEntry& type : types) {
            m_ui->Combo2->addItem(type.name);
        }
        m_ui->Combo2->setCurrentIndex(-1);
    }
    if (!types.isEmpty()) {
        m_ui->Combo2->setCurrentIndex(0);
    }
}

void PlanEditorWindow::fillStructureKinds() {
    m_kinds.clear();
    if (m_ui->Combo2->currentIndex() >= 0) {
        try {
            db::Connection c(m_session.connectionString);
            if (const auto number = db::findTypeNumber(c, m_ui->Combo2->currentText())) {
                m_session.typeNumber = *number;
            }
            m_kinds = db::listKindsOfType(c, m_session.typeNumber);
        } catch (const Error& e) {
            reportError(QStringLiteral("Не удалось прочитать виды сооружений из базы данных."), e);
        }
    }
    {
        const QSignalBlocker block(m_ui->Combo3);
        m_ui->Combo3->clear();
        for (const db::KindEntry& kind : m_kinds) {
            m_ui->Combo3->addItem(kind.name);
        }
        m_ui->Combo3->setCurrentIndex(m_kinds.isEmpty() ? -1 : 0);
    }
    applyKindRanges();
}

void PlanEditorWindow::applyKindRanges() {
    const int index = m_ui->Combo3->currentIndex();
    if (index < 0 || index >= m_kinds.size()) {
        return;
    }
    const db::KindEntry& kind = m_kinds[index];
    for (int i = 0; i < 4; ++i) {
        const db::PressureRange r = kind.ranges[i];
        QScrollBar* slider = m_degrees[i].slider;
        slider->setRange(sliderPosition(r.min), sliderPosition(r.max));
        slider->setValue(sliderPosition((r.min + r.max) / 2));
        m_degrees[i].value->setText(QString::number(slider->value()));
    }
}

void PlanEditorWindow::showDegree(int degree) {
    for (int i = 0; i < 4; ++i) {
        const bool visible = i == degree;
        const DegreeControls& d = m_degrees[i];
        d.slider->setVisible(visible);
        d.value->setVisible(visible);
        for (QLabel* label : d.labels) {
            label->setVisible(visible);
        }
    }
}

// ---- Corner pictures ----

bool PlanEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn) {
        for (int i = 0; i < 8; ++i) {
            if (watched == m_corners[i]) {
                showCornerPicture(i / 2 + 1);
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void PlanEditorWindow::showCornerPicture(int corner) {
    const QString file = cornerPictureFile(corner);
    QPixmap picture;
    if (picture.load(sharedFile(file))) {
        m_ui->Picture1->setPixmap(picture);
        m_ui->lblPictureNote->setVisible(false);
        return;
    }
    m_ui->Picture1->setPixmap(sketch());
    m_ui->lblPictureNote->setText(
        QStringLiteral("Рисунок «%1» не найден в папке программы или не читается; показана "
                       "общая схема: угол %2 отмечен на ней цифрой %2.")
            .arg(file)
            .arg(corner));
    m_ui->lblPictureNote->setVisible(true);
}

// ---- Plan areas ----

void PlanEditorWindow::showPlanAreas() {
    // A plan opens on its first structure, or on an empty №1 when it has none yet.
    m_session.structureNumber = 1;
    m_ui->Text13->setText(QStringLiteral("1"));
    m_ui->cmdMinN->setEnabled(true);
    m_ui->cmdMaxN->setEnabled(true);
    if (!showStructure()) {
        clearStructureFields();
        setOfferingState(1);
        m_ui->cmdMaxN->setEnabled(false);
    }
    showPlanTitle();
    // No corner field has been entered yet in this plan: the sketch of all four corners.
    m_ui->Picture1->setPixmap(sketch());
    m_ui->lblPictureNote->setVisible(false);
    m_ui->Frame1->setVisible(true);
    m_ui->Frame3->setVisible(true);
    m_ui->Frame4->setVisible(true);
    m_ui->cmdRasch->setVisible(true);
    m_ui->cmdNazad->setVisible(true);
    m_ui->cmdVihod->setVisible(true);
    m_planShown = true;
    m_mapDock->setVisible(true);
    refreshMap(true);
}

void PlanEditorWindow::clearStructureFields() {
    m_shown.reset();
    m_ui->Text1->setText(QStringLiteral("0"));
    m_ui->Text2->setText(QStringLiteral("0"));
    for (QLineEdit* corner : m_corners) {
        corner->setText(QStringLiteral("0"));
    }
}

std::optional<QString> PlanEditorWindow::currentPlanName(db::Connection& c) const {
    for (const db::PlanEntry& plan : db::listPlans(c)) {
        if (plan.number == m_session.planNumber) {
            return plan.name;
        }
    }
    return std::nullopt;
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

void PlanEditorWindow::hidePlanAreas() {
    m_ui->Frame1->setVisible(false);
    m_ui->Frame3->setVisible(false);
    m_ui->Frame4->setVisible(false);
    m_ui->cmdRasch->setVisible(false);
    m_planShown = false;
    m_mapDock->setVisible(false);
    m_mapStructures->records.clear();
}

void PlanEditorWindow::resetStructureArea() {
    m_ui->Text13->setText(QStringLiteral("1"));
    setOfferingState(1);
    m_ui->cmdMinN->setEnabled(true);
    m_ui->cmdMaxN->setEnabled(true);
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
        reportError(QStringLiteral("План местности не удалён."), e);
        return false;
    }
    m_session.planNumber = 0;
    m_session.structureNumber = 0;
    hidePlanAreas();
    resetStructureArea();
    showPlanTitle();
    return true;
}

// ---- Structure records ----

void PlanEditorWindow::setShowingState(int number) {
    m_ui->cmdRec->setText(QStringLiteral("Изменить №%1").arg(number));
    m_ui->cmdDel->setText(QStringLiteral("Удалить №%1").arg(number));
    m_ui->cmdRec->setVisible(true);
    m_ui->cmdDel->setVisible(true);
    m_ui->cmdDob->setVisible(false);
    m_ui->cmdMaxN->setEnabled(true);
    updateNextEnabled();
}

void PlanEditorWindow::setOfferingState(int number) {
    m_ui->cmdDob->setText(QStringLiteral("Добавить №%1").arg(number));
    m_ui->cmdDob->setVisible(true);
    m_ui->cmdRec->setVisible(false);
    m_ui->cmdDel->setVisible(false);
}

void PlanEditorWindow::updateNextEnabled() {
    // No structure number comes after the largest one.
    if (m_session.structureNumber >= db::kMaxStructureNumber) {
        m_ui->cmdMaxN->setEnabled(false);
    }
}

bool PlanEditorWindow::showStructure() {
    if (m_session.planNumber == 0) {
        return false;
    }
    std::optional<db::StructureRecord> record;
    m_shown.reset();
    try {
        db::Connection c(m_session.connectionString);
        record = db::readStructure(c, m_session.planNumber, m_session.structureNumber);
    } catch (const Error& e) {
        reportError(QStringLiteral("Не удалось прочитать сооружение из базы данных."), e);
        return false;
    }
    if (!record) {
        return false;
    }
    m_shown = record;
    showRecord(*record);
    setShowingState(m_session.structureNumber);
    return true;
}

void PlanEditorWindow::showRecord(const db::StructureRecord& r) {
    // The type first: a new type refills the kinds and their ranges.
    m_ui->Combo2->setCurrentIndex(m_ui->Combo2->findText(r.type, Qt::MatchExactly));
    if (m_ui->Combo2->currentIndex() < 0) {
        const QSignalBlocker block(m_ui->Combo3);
        m_ui->Combo3->clear();
        m_kinds.clear();
    }
    m_ui->Combo3->setCurrentIndex(m_ui->Combo3->findText(r.kind, Qt::MatchExactly));
    m_ui->Text1->setText(r.storeys);
    m_ui->Text2->setText(r.staff);
    for (int i = 0; i < 4; ++i) {
        if (r.selected[i]) {
            m_degrees[i].option->setChecked(true);
        }
    }
    for (int i = 0; i < 4; ++i) {
        // The stored value stays in the field even where the kind's range has changed since
        // and the slider cannot reach it.
        m_degrees[i].value->setText(QString::number(r.pressure[i]));
        const QSignalBlocker block(m_degrees[i].slider);
        m_degrees[i].slider->setValue(r.pressure[i]);
    }
    for (int i = 0; i < 8; ++i) {
        const auto v = coordinate(r.corners[i]);
        m_corners[i]->setText(v ? numtext::general(*v) : r.corners[i]);
    }
}

std::optional<db::StructureRecord> PlanEditorWindow::recordFromWindow(int number) {
    db::StructureRecord r;
    r.plan = m_session.planNumber;
    r.number = number;
    if (m_ui->Combo2->currentIndex() < 0) {
        ui::Messages::warning(this, kTitle, QStringLiteral("Выберите тип сооружения."));
        m_ui->Combo2->setFocus();
        return std::nullopt;
    }
    if (m_ui->Combo3->currentIndex() < 0) {
        ui::Messages::warning(this, kTitle, QStringLiteral("Выберите вид сооружения."));
        m_ui->Combo3->setFocus();
        return std::nullopt;
    }
    r.type = m_ui->Combo2->currentText();
    r.kind = m_ui->Combo3->currentText();

    const auto refuse = [this](QLineEdit* field, const QString& text) {
        ui::Messages::warning(this, kTitle, text);
        field->setFocus();
        field->selectAll();
    };
    const std::pair<QLineEdit*, QString> wholeFields[] = {
        {m_ui->Text1, QStringLiteral("Этажность здания")},
        {m_ui->Text2, QStringLiteral("Количество сотрудников в здании")}};
    QString whole[2];
    for (int i = 0; i < 2; ++i) {
        const auto& [field, name] = wholeFields[i];
        const auto v = wholeNumber(field->text());
        if (!v) {
            refuse(field, QStringLiteral("Поле «%1»: «%2» — введите целое число, не меньше 0.")
                              .arg(name, field->text()));
            return std::nullopt;
        }
        whole[i] = QString::number(*v);
    }
    r.storeys = whole[0];
    r.staff = whole[1];

    for (int i = 0; i < 4; ++i) {
        r.selected[i] = m_degrees[i].option->isChecked();
        bool ok = false;
        r.pressure[i] = m_degrees[i].value->text().toInt(&ok);
        if (!ok) {
            r.pressure[i] = m_degrees[i].slider->value();
        }
    }
    for (int i = 0; i < 8; ++i) {
        const auto v = coordinate(m_corners[i]->text());
        if (!v) {
            refuse(m_corners[i],
                   QStringLiteral("Поле «%1» (координата угла сооружения, м): «%2» не является "
                                  "числом. Введите число, например -12,5.")
                       .arg(QString::fromUtf8(kCornerNames[i]), m_corners[i]->text()));
            return std::nullopt;
        }
        if (!std::isfinite(*v) || std::abs(*v) > kMaxPlanCoordinate) {
            refuse(m_corners[i],
                   QStringLiteral("Поле «%1» (координата угла сооружения, м): «%2» вне "
                                  "пределов плана. Введите число от -100 000 000 до "
                                  "100 000 000.")
                       .arg(QString::fromUtf8(kCornerNames[i]), m_corners[i]->text()));
            return std::nullopt;
        }
        // Stored with a point, so that a number column on a server takes it as well.
        r.corners[i] = numtext::roundTrip(*v);
    }
    return r;
}

void PlanEditorWindow::nextStructure() {
    if (m_session.structureNumber >= db::kMaxStructureNumber) {
        m_ui->cmdMaxN->setEnabled(false);
        return;
    }
    m_session.structureNumber += 1;
    m_ui->Text13->setText(QString::number(m_session.structureNumber));
    setOfferingState(m_session.structureNumber);
    m_ui->cmdMaxN->setEnabled(false);
    m_ui->cmdMinN->setEnabled(true);
    showStructure();
}

void PlanEditorWindow::previousStructure() {
    const bool stepBack = m_session.structureNumber - 1 > 0;
    if (stepBack) {
        m_session.structureNumber -= 1;
        m_ui->Text13->setText(QString::number(m_session.structureNumber));
        setShowingState(m_session.structureNumber);
    } else {
        m_ui->cmdMinN->setEnabled(false);
        setOfferingState(m_ui->Text13->text().toInt());
        m_ui->cmdMaxN->setEnabled(false);
    }
    m_session.structureNumber = m_ui->Text13->text().toInt();
    if (!showStructure() && stepBack) {
        // Nothing under this number (another plan became current): offer it instead of
        // changing or deleting a structure that is not there.
        setOfferingState(m_session.structureNumber);
        m_ui->cmdMaxN->setEnabled(false);
    }
}

bool PlanEditorWindow::addStructure() {
    const int number = m_ui->Text13->text().toInt();
    const auto record = recordFromWindow(number);
    if (!record) {
        return false;
    }
    try {
        db::Connection c(m_session.connectionString);
        db::addStructure(c, *record);
    } catch (const Error& e) {
        reportError(QStringLiteral("Сооружение не добавлено."), e);
        return false;
    }
    // The new structure is the current one, whatever number was current before.
    m_session.structureNumber = number;
    m_ui->cmdMaxN->setEnabled(true);
    showStructure();
    refreshMap();
    return true;
}

bool PlanEditorWindow::changeStructure() {
    const auto record = recordFromWindow(m_session.structureNumber);
    if (!record) {
        return false;
    }
    try {
        db::Connection c(m_session.connectionString);
        if (m_shown && m_shown->plan == record->plan && m_shown->number == record->number) {
            db::changeStructure(c, *m_shown, *record);
        } else {
            db::changeStructure(c, *record);
        }
    } catch (const db::StructureConflictError& e) {
        reportError(QStringLiteral("Сооружение не изменено."), e);
        refreshAfterConflict();
        return false;
    } catch (const Error& e) {
        reportError(QStringLiteral("Сооружение не изменено."), e);
        return false;
    }
    setShowingState(m_session.structureNumber);
    showStructure();
    refreshMap();
    return true;
}

bool PlanEditorWindow::deleteStructure() {
    const auto answer = ui::Messages::show(
        this, {kTitle,
               QStringLiteral("Удалить сооружение №%1? Следующие за ним сооружения получат "
                              "номера на один меньше.")
                   .arg(m_session.structureNumber),
               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
    if (answer != QMessageBox::Yes) {
        return false;
    }
    try {
        db::Connection c(m_session.connectionString);
        if (m_shown && m_shown->number == m_session.structureNumber &&
            m_shown->plan == m_session.planNumber) {
            db::deleteStructure(c, *m_shown);
        } else {
            db::deleteStructure(c, m_session.planNumber, m_session.structureNumber);
        }
    } catch (const db::StructureConflictError& e) {
        reportError(QStringLiteral("Сооружение не удалено."), e);
        refreshAfterConflict();
        return false;
    } catch (const Error& e) {
        reportError(QStringLiteral("Сооружение не удалено."), e);
        return false;
    }
    const int number = m_ui->Text13->text().toInt();
    setOfferingState(number);
    m_session.structureNumber = number;
    if (!showStructure()) {
        // The last structure went: stepping on would leave a gap in the numbers.
        m_ui->cmdMaxN->setEnabled(false);
    }
    refreshMap();
    return true;
}

// Another user changed the plan meanwhile: show what the database holds under the current
// number now, or offer the number when nothing is there any more.
void PlanEditorWindow::refreshAfterConflict() {
    if (showStructure()) {
        return;
    }
    setOfferingState(m_session.structureNumber);
    m_ui->cmdMaxN->setEnabled(false);
}

// ---- The map and the structures file ----

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
    std::optional<PlanPoint> charge;
    const auto x = coordinate(m_ui->Text15->text());
    const auto y = coordinate(m_ui->Text16->text());
    if (x && y) {
        charge = PlanPoint{*x, *y};
    }
    m_map->setModel(map::mapOfStructures(m_mapStructures->records, charge));
}

bool PlanEditorWindow::importStructuresFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Файл «%1» не открывается: %2")
                                  .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    db::StructureImport result;
    try {
        db::Connection c(m_session.connectionString);
        result = db::importStructures(c, m_session.planNumber, bytes);
    } catch (const Error& e) {
        reportError(QStringLiteral("Сооружения не добавлены."), e);
        return false;
    }
    if (!result.refused.isEmpty()) {
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Сооружения из файла не добавлены: в нём есть "
                                             "строки, которые нельзя принять. Исправьте их и "
                                             "повторите импорт.\n\n%1")
                                  .arg(db::refusalReport(result.refused)));
        return false;
    }
    const int last = result.firstNumber + static_cast<int>(result.records.size()) - 1;
    const QString numbers = last == result.firstNumber
                                ? QStringLiteral("№%1").arg(last)
                                : QStringLiteral("№%1–№%2").arg(result.firstNumber).arg(last);
    ui::Messages::info(
        this, kWindowTitle,
        QStringLiteral("Добавлено сооружений: %1 (%2).").arg(result.records.size()).arg(numbers));
    m_ui->cmdMaxN->setEnabled(true);
    refreshMap(true);
    return true;
}

} // namespace kelmo::plan
