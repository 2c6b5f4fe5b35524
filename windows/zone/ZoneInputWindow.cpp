#include "windows/zone/ZoneInputWindow.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "reports/ChargeText.h"
#include "session/ZoneSession.h"
#include "ui/ChargeFields.h"
#include "ui/Messages.h"
#include "ui/Settings.h"

#include "ui_ZoneInputWindow.h"

#include <QPainter>
#include <QPainterPath>

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

ZoneInputWindow::ZoneInputWindow(Session& session, Services services, ui::Settings* settings, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ZoneInputWindow>())
    , m_session(session)
    , m_services(std::move(services))
    , m_settings(settings) {
    m_ui->setupUi(this);

    m_ui->vzr->setPixmap(placementDrawing());
    m_ui->vzr->setAlignment(Qt::AlignCenter);
    // Text15 takes the place of Text12 while the heat is per mole.
    m_ui->Text15->setSizePolicy(m_ui->Text12->sizePolicy());

    connect(m_ui->Option8, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setListMode();
        }
    });
    connect(m_ui->Option9, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setKeyboardMode();
        }
    });
    connect(m_ui->Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setPerKg();
        }
    });
    connect(m_ui->Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setPerMole();
        }
    });
    connect(m_ui->Combo4, &QComboBox::currentIndexChanged, this, &ZoneInputWindow::showSelectedEnergy);
    connect(m_ui->cmdRasch, &QPushButton::clicked, this, &ZoneInputWindow::runCalculation);
    connect(m_ui->cmdNazad, &QPushButton::clicked, this, &ZoneInputWindow::backToMenu);
    connect(m_ui->cmdVihod, &QPushButton::clicked, this, &ZoneInputWindow::exitRequested);
    connect(m_ui->mnuPar, &QAction::triggered, this, &ZoneInputWindow::openParameters);
    // Enter in any field of the charge runs the calculation.
    for (QLineEdit* field : {m_ui->Text14, m_ui->Text2, m_ui->Text12, m_ui->Text15, m_ui->txtMch}) {
        connect(field, &QLineEdit::returnPressed, this, &ZoneInputWindow::runCalculation);
    }
    load();
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
    try {
        if (m_services.explosiveNames) {
            const QSignalBlocker block(m_ui->Combo4);
            m_ui->Combo4->addItems(m_services.explosiveNames());
        }
        if (m_ui->Combo4->count() > 0) {
            m_ui->Combo4->setCurrentIndex(0);
            showSelectedEnergy();
        }
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("Не удалось прочитать список ВВ из базы данных. "
                                              "Данные ВВ можно ввести с клавиатуры.\n") +
                                   QString::fromStdString(e.what()));
    }
    restoreCharge();
}

void ZoneInputWindow::restoreCharge() {
    const auto c = m_settings != nullptr ? m_settings->charge() : std::nullopt;
    if (!c) {
        return;
    }
    const auto put = [](QLineEdit* field, const std::optional<double>& v) {
        if (v) {
            field->setText(fieldText(*v));
        }
    };
    if (c->keyboard) {
        m_ui->Option9->setChecked(true);
        m_ui->Text14->setText(c->typedName);
        put(m_ui->Text12, c->heat);
        if (c->perMole) {
            m_ui->Option2->setChecked(true);
        }
    } else {
        // The heat always comes from the catalogue, which may have changed since; an
        // explosive no longer in it leaves the first one selected.
        const int index = m_ui->Combo4->findText(c->explosive, Qt::MatchExactly);
        if (index >= 0) {
            m_ui->Combo4->setCurrentIndex(index);
        }
    }
    put(m_ui->Text15, c->molarDivisor);
    put(m_ui->Text2, c->mass);
    put(m_ui->txtMch, c->bodyMass);
    if (c->air) {
        m_ui->Option5->setChecked(true);
    }
    m_ui->Name_ob->setText(c->objectName);
}

void ZoneInputWindow::rememberCharge(const ChargeInput& in) {
    if (m_settings == nullptr) {
        return;
    }
    ui::RememberedCharge c;
    c.keyboard = m_ui->Option9->isChecked();
    c.explosive = m_ui->Combo4->currentText();
    c.typedName = m_ui->Text14->text();
    c.mass = in.chargeMassKg;
    c.heat = in.heat;
    c.molarDivisor = in.heatUnit == HeatUnit::PerMole ? std::optional(in.molarDivisor)
                                                      : numtext::parse(m_ui->Text15->text());
    c.perMole = in.heatUnit == HeatUnit::PerMole;
    c.air = in.placement == Placement::Air;
    c.bodyMass = in.bodyMassKg;
    c.objectName = m_ui->Name_ob->text();
    m_settings->setCharge(c);
    m_settings->sync();
}

void ZoneInputWindow::setListMode() {
    m_ui->Text12->setEnabled(false);
    m_ui->Combo4->setVisible(true);
    m_ui->Text14->setVisible(false);
    m_ui->Option1->setChecked(true);
    setPerKg();
    m_ui->Frame4->setEnabled(false);
    if (m_ui->Combo4->count() > 0) {
        m_ui->Combo4->setCurrentIndex(0);
    }
    showSelectedEnergy();
}

void ZoneInputWindow::setKeyboardMode() {
    m_ui->Text12->setEnabled(true);
    m_ui->Combo4->setVisible(false);
    m_ui->Text14->setVisible(true);
    m_ui->Frame4->setEnabled(true);
}

void ZoneInputWindow::setPerKg() {
    m_ui->Text15->setVisible(false);
    m_ui->Text12->setVisible(true);
}

void ZoneInputWindow::setPerMole() {
    m_ui->Text15->setVisible(true);
    m_ui->Text12->setVisible(false);
}

void ZoneInputWindow::showSelectedEnergy() {
    if (!m_services.explosiveHeat || m_ui->Combo4->currentIndex() < 0) {
        return;
    }
    try {
        // An unknown name leaves the field as it is.
        if (const auto heat = m_services.explosiveHeat(m_ui->Combo4->currentText())) {
            m_ui->Text12->setText(numtext::general(*heat));
        }
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("Не удалось прочитать энергию взрыва ВВ из базы "
                                              "данных.\n") +
                                   QString::fromStdString(e.what()));
    }
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

reports::ChargeDescription ZoneInputWindow::describeCharge(HeatUnit unit, Placement placement) const {
    reports::ChargeFields fields;
    fields.name = m_ui->Option8->isChecked() ? m_ui->Combo4->currentText() : m_ui->Text14->text();
    fields.massText = m_ui->Text2->text();
    fields.heatUnit = unit;
    fields.heatText = m_ui->Text12->text();
    fields.secondHeatText = m_ui->Text15->text();
    fields.placement = placement;
    fields.bodyMassText = m_ui->txtMch->text();
    return reports::describeCharge(fields);
}

bool ZoneInputWindow::runCalculation() {
    ui::ChargeFields fields;
    fields.mass = m_ui->Text2;
    fields.heat = m_ui->Text12;
    fields.molarDivisor = m_ui->Text15;
    fields.bodyMass = m_ui->txtMch;
    fields.heatUnit = m_ui->Option1->isChecked() ? HeatUnit::PerKg : HeatUnit::PerMole;
    fields.placement = m_ui->Option6->isChecked() ? Placement::Ground : Placement::Air;
    const std::optional<ChargeInput> in = ui::readChargeFields(this, kTitle, fields);
    if (!in) {
        return false;
    }
    try {
        m_session.run(*in, describeCharge(in->heatUnit, in->placement));
        rememberCharge(*in);
    } catch (const ArithmeticError& e) {
        ui::reportChargeError(this, kTitle, fields, e,
                              QStringLiteral("Измените шаг расчета в меню «Параметры расчета»."));
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
