#include "windows/zone/ZoneInputWindow.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "reports/ChargeText.h"
#include "session/ZoneSession.h"
#include "ui/ChargePanel.h"
#include "ui/Messages.h"
#include "ui/Settings.h"

#include "ui_ZoneInputWindow.h"

#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace kelmo::zone {

namespace {

const QString kTitle = QStringLiteral("Внимание!");

// The small drawing beside the placement options: a charge, the ground and the blast wave.
QPixmap placementDrawing() {
    QPixmap pixmap(160, 90);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x60, 0x40, 0x20), 2));
    p.drawLine(5, 75, 155, 75);
    for (int x = 8; x < 155; x += 10) {
        p.drawLine(x, 75, x - 6, 85);
    }
    p.setPen(QPen(QColor(0xc0, 0x30, 0x20), 1.5));
    for (int radius = 18; radius <= 54; radius += 12) {
        p.drawArc(QRectF(80 - radius, 75 - radius, 2.0 * radius, 2.0 * radius), 0, 180 * 16);
    }
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(80, 70), 6, 6);
    return pixmap;
}

// A remembered number as the user would type it here: the locale's separator, and every
// digit needed to give back the same number.
QString fieldText(double v) {
    QString text = numtext::general(v);
    if (numtext::parse(text) != v) {
        text = numtext::roundTrip(v);
        text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    }
    return text;
}

} // namespace

ZoneInputWindow::ZoneInputWindow(const WindowContext& context, Session& session, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ZoneInputWindow>())
    , m_session(session)
    , m_reference(context.reference)
    , m_settings(context.settings) {
    m_ui->setupUi(this);
    bindControls();

    m_placementDrawing->setPixmap(placementDrawing());
    m_placementDrawing->setAlignment(Qt::AlignCenter);
    connect(m_calculateButton, &QPushButton::clicked, this, &ZoneInputWindow::runCalculation);
    connect(m_backButton, &QPushButton::clicked, this, &ZoneInputWindow::backToMenu);
    connect(m_exitButton, &QPushButton::clicked, this, &ZoneInputWindow::exitRequested);
    connect(m_ui->mnuPar, &QAction::triggered, this, &ZoneInputWindow::openParameters);
    // Enter in any field of the charge runs the calculation.
    const ui::ChargePanel::Controls& c = m_chargePanel->controls();
    for (QLineEdit* field :
         {c.typedNameEdit, c.massEdit, c.heatEdit, c.molarDivisorEdit, c.bodyMassEdit}) {
        connect(field, &QLineEdit::returnPressed, this, &ZoneInputWindow::runCalculation);
    }
    load();
}

// The one place that knows the form's opaque names.
void ZoneInputWindow::bindControls() {
    m_chargePanel = m_ui->chargePanel;
    m_placementDrawing = m_ui->vzr;
    m_objectNameEdit = m_ui->Name_ob;
    m_calculateButton = m_ui->cmdRasch;
    m_backButton = m_ui->cmdNazad;
    m_exitButton = m_ui->cmdVihod;

    ui::ChargePanel::Controls charge;
    charge.fromListOption = m_ui->Option8;
    charge.typedOption = m_ui->Option9;
    charge.explosiveCombo = m_ui->Combo4;
    charge.typedNameEdit = m_ui->Text14;
    charge.massEdit = m_ui->Text2;
    charge.heatEdit = m_ui->Text12;
    charge.molarDivisorEdit = m_ui->Text15;
    charge.perKgOption = m_ui->Option1;
    charge.perMoleOption = m_ui->Option2;
    charge.groundOption = m_ui->Option6;
    charge.airOption = m_ui->Option5;
    charge.heatUnitBox = m_ui->Frame4;
    charge.bodyMassEdit = m_ui->txtMch;
    m_chargePanel->bind(charge, {m_reference.explosiveNames, m_reference.explosiveHeat});
}

ZoneInputWindow::~ZoneInputWindow() = default;

void ZoneInputWindow::load() {
    const auto remembered =
        m_settings != nullptr ? m_settings->parameters() : std::optional<CalcParameters>();
    if (remembered) {
        m_session.state().setParameters(*remembered);
    } else {
        m_session.loadParameters();
    }
    m_chargePanel->loadCatalogue();
    restoreCharge();
}

void ZoneInputWindow::restoreCharge() {
    const auto c = m_settings != nullptr ? m_settings->charge() : std::nullopt;
    if (!c) {
        return;
    }
    const ui::ChargePanel::Controls& panel = m_chargePanel->controls();
    const auto put = [](QLineEdit* field, const std::optional<double>& v) {
        if (v) {
            field->setText(fieldText(*v));
        }
    };
    if (c->keyboard) {
        panel.typedOption->setChecked(true);
        panel.typedNameEdit->setText(c->typedName);
        put(panel.heatEdit, c->heat);
        if (c->perMole) {
            panel.perMoleOption->setChecked(true);
        }
    } else {
        // The heat always comes from the catalogue, which may have changed since; an
        // explosive no longer in it leaves the first one selected.
        const int index = panel.explosiveCombo->findText(c->explosive, Qt::MatchExactly);
        if (index >= 0) {
            panel.explosiveCombo->setCurrentIndex(index);
        }
    }
    put(panel.molarDivisorEdit, c->molarDivisor);
    put(panel.massEdit, c->mass);
    put(panel.bodyMassEdit, c->bodyMass);
    if (c->air) {
        panel.airOption->setChecked(true);
    }
    m_objectNameEdit->setText(c->objectName);
}

void ZoneInputWindow::rememberCharge(const ChargeInput& in) {
    if (m_settings == nullptr) {
        return;
    }
    const ui::ChargePanel::Controls& panel = m_chargePanel->controls();
    ui::RememberedCharge c;
    c.keyboard = !m_chargePanel->explosiveFromList();
    c.explosive = panel.explosiveCombo->currentText();
    c.typedName = panel.typedNameEdit->text();
    c.mass = in.chargeMassKg;
    c.heat = in.heat;
    c.molarDivisor = in.heatUnit == HeatUnit::PerMole
                         ? std::optional(in.molarDivisor)
                         : numtext::parse(panel.molarDivisorEdit->text());
    c.perMole = in.heatUnit == HeatUnit::PerMole;
    c.air = in.placement == Placement::Air;
    c.bodyMass = in.bodyMassKg;
    c.objectName = m_objectNameEdit->text();
    m_settings->setCharge(c);
    m_settings->sync();
}

void ZoneInputWindow::openParameters() {
    // The dialog is shown before this window hides, so the program never has no window.
    emit parametersRequested();
    hide();
}

void ZoneInputWindow::backToMenu() {
    emit backRequested();
    close();
}

reports::ChargeDescription ZoneInputWindow::describeCharge(HeatUnit unit,
                                                           Placement placement) const {
    const ui::ChargePanel::Controls& panel = m_chargePanel->controls();
    reports::ChargeFields fields;
    fields.name = m_chargePanel->explosiveName();
    fields.massText = panel.massEdit->text();
    fields.heatUnit = unit;
    fields.heatText = panel.heatEdit->text();
    fields.secondHeatText = panel.molarDivisorEdit->text();
    fields.placement = placement;
    fields.bodyMassText = panel.bodyMassEdit->text();
    return reports::describeCharge(fields);
}

bool ZoneInputWindow::runCalculation() {
    const std::optional<ChargeInput> in = m_chargePanel->readCharge(kTitle);
    if (!in) {
        return false;
    }
    try {
        m_session.run(*in, describeCharge(in->heatUnit, in->placement));
        rememberCharge(*in);
    } catch (const ArithmeticError& e) {
        m_chargePanel->reportError(
            kTitle, e, QStringLiteral("Измените шаг расчета в меню «Параметры расчета»."));
        return false;
    } catch (const RowLimitError& e) {
        ui::Messages::warning(this, kTitle,
                              QString::fromStdString(e.what()) +
                                  QStringLiteral(" Шаг задается в меню «Параметры расчета»."));
        return false;
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle, QString::fromStdString(e.what()));
        return false;
    }

    // The results are shown before this window hides, so the program never has no window.
    emit resultsRequested();
    hide();
    return true;
}

} // namespace kelmo::zone
