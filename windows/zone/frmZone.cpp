#include "windows/zone/frmZone.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "reports/ChargeText.h"
#include "ui/Messages.h"
#include "ui/WindowRegistry.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmOutput.h"
#include "windows/zone/frmPar.h"

#include "ui_frmZone.h"

#include <QApplication>
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

} // namespace

frmZone::frmZone(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::frmZone>()) {
    ui->setupUi(this);

    ui->vzr->setPixmap(placementDrawing());
    ui->vzr->setAlignment(Qt::AlignCenter);
    // Text15 takes the place of Text12 while the heat is per mole.
    ui->Text15->setSizePolicy(ui->Text12->sizePolicy());

    connect(ui->Option8, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setListMode();
        }
    });
    connect(ui->Option9, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setKeyboardMode();
        }
    });
    connect(ui->Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setPerKg();
        }
    });
    connect(ui->Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            setPerMole();
        }
    });
    connect(ui->Combo4, &QComboBox::currentIndexChanged, this, &frmZone::showSelectedEnergy);
    connect(ui->cmdRasch, &QPushButton::clicked, this, &frmZone::runCalculation);
    connect(ui->cmdNazad, &QPushButton::clicked, this, &frmZone::backToMenu);
    connect(ui->cmdVihod, &QPushButton::clicked, this, [] {
        // Ends the program at once, without a question.
        ui::WindowRegistry::closeAll();
        QCoreApplication::quit();
    });
    connect(ui->mnuPar, &QAction::triggered, this, &frmZone::openParameters);

    load();
}

frmZone::~frmZone() = default;

void frmZone::load() {
    calcState().setParameters(CalcParameters::loadValues());
    try {
        if (services().fillExplosiveList) {
            services().fillExplosiveList(ui->Combo4);
        }
        if (ui->Combo4->count() > 0) {
            ui->Combo4->setCurrentIndex(0);
            showSelectedEnergy();
        }
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("Не удалось прочитать список ВВ из базы данных. "
                                              "Данные ВВ можно ввести с клавиатуры.\n") +
                                   QString::fromStdString(e.what()));
    }
}

void frmZone::setListMode() {
    ui->Text12->setEnabled(false);
    ui->Combo4->setVisible(true);
    ui->Text14->setVisible(false);
    ui->Option1->setChecked(true);
    setPerKg();
    ui->Frame4->setEnabled(false);
    if (ui->Combo4->count() > 0) {
        ui->Combo4->setCurrentIndex(0);
    }
    showSelectedEnergy();
}

void frmZone::setKeyboardMode() {
    ui->Text12->setEnabled(true);
    ui->Combo4->setVisible(false);
    ui->Text14->setVisible(true);
    ui->Frame4->setEnabled(true);
}

void frmZone::setPerKg() {
    ui->Text15->setVisible(false);
    ui->Text12->setVisible(true);
}

void frmZone::setPerMole() {
    ui->Text15->setVisible(true);
    ui->Text12->setVisible(false);
}

void frmZone::showSelectedEnergy() {
    if (!services().showExplosiveEnergy || ui->Combo4->currentIndex() < 0) {
        return;
    }
    try {
        services().showExplosiveEnergy(ui->Combo4, ui->Text12);
    } catch (const Error& e) {
        ui::Messages::critical(this, kTitle,
                               QStringLiteral("Не удалось прочитать энергию взрыва ВВ из базы "
                                              "данных.\n") +
                                   QString::fromStdString(e.what()));
    }
}

void frmZone::openParameters() {
    ui::WindowRegistry::show<frmPar>();
    hide();
}

void frmZone::backToMenu() {
    if (services().showMainMenu) {
        services().showMainMenu();
    }
    close();
}

ChargeDescription frmZone::describeCharge(Placement placement, double bodyMassKg) const {
    reports::ChargeFields fields;
    fields.massText = ui->Text2->text();
    fields.heatText = ui->Text12->text();
    fields.secondHeatText = ui->Text15->text();
    if (ui->Option8->isChecked()) {
        fields.name = ui->Combo4->currentText();
        fields.heatUnit = HeatUnit::PerKg; // the catalogue gives kJ/kg
    } else {
        fields.name = ui->Text14->text();
        fields.heatUnit = ui->Option1->isChecked() ? HeatUnit::PerKg : HeatUnit::PerMole;
    }
    fields.placement = ui->Option5->isChecked() ? Placement::Air : Placement::Ground;
    const reports::ReportCharge text = reports::describeCharge(fields);

    ChargeDescription d;
    d.name = text.name;
    d.massText = text.massText;
    d.energyCaption = text.energyCaption;
    d.energyText = text.energyText;
    d.placementText = text.placementText;
    d.placement = placement;
    d.bodyMassKg = bodyMassKg;
    return d;
}

bool frmZone::runCalculation() {
    using numtext::parseField;
    ChargeInput in;
    QWidget* field = nullptr;
    try {
        field = ui->Text2;
        in.chargeMassKg =
            parseField(ui->Text2->text(), QStringLiteral("Масса конденсированного ВВ (кг)"));
        field = ui->Text12;
        if (ui->Option1->isChecked()) {
            in.heatUnit = HeatUnit::PerKg;
            in.heat = parseField(ui->Text12->text(), QStringLiteral("Энергия взрыва, кДж/кг"));
        } else {
            in.heatUnit = HeatUnit::PerMole;
            // Text12 is out of sight here, but its value still enters the conversion.
            in.heat = parseField(ui->Text12->text(),
                                 QStringLiteral("Энергия взрыва (поле «кДж/кг», скрыто при выборе "
                                                "«кДж/моль»)"));
            field = ui->Text15;
            in.molarDivisor =
                parseField(ui->Text15->text(), QStringLiteral("Энергия взрыва, кДж/моль"));
        }
        field = ui->txtMch;
        in.bodyMassKg = parseField(ui->txtMch->text(), QStringLiteral("Масса тела человека, кг"));
        field = nullptr;
        in.placement = ui->Option6->isChecked() ? Placement::Ground : Placement::Air;

        RunZoneCalculation(calcState(), in);
    } catch (const ConversionError& e) {
        ui::Messages::warning(this, kTitle, QString::fromStdString(e.what()));
        if (field != nullptr && field->isVisible()) {
            field->setFocus();
        }
        return false;
    } catch (const ArithmeticError& e) {
        using Cause = ArithmeticError::Cause;
        QWidget* culprit = nullptr;
        switch (e.cause()) {
        case Cause::ChargeMass:
            culprit = ui->Text2;
            break;
        case Cause::MolarDivisor:
            culprit = ui->Text15;
            break;
        case Cause::BodyMass:
            culprit = ui->txtMch;
            break;
        default:
            break;
        }
        QString text = QString::fromStdString(e.what());
        if (e.cause() == Cause::Distance) {
            text += QStringLiteral(" Измените шаг расчета в меню «Параметры расчета».");
        }
        ui::Messages::warning(this, kTitle, text);
        if (culprit != nullptr && culprit->isVisible()) {
            culprit->setFocus();
        }
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

    // A fresh results window for every run.
    if (auto* old = ui::WindowRegistry::find<frmOutput>()) {
        old->close();
        delete old; // not later: the registry would hand it out again
    }
    auto* output = ui::WindowRegistry::instance<frmOutput>();
    output->present(calcState(), describeCharge(in.placement, in.bodyMassKg));
    hide();
    output->show();
    output->raise();
    output->activateWindow();
    return true;
}

} // namespace kelmo::zone
