#include "ui/ChargePanel.h"

#include "core/ConversionError.h"
#include "core/NumberText.h"
#include "ui/BackgroundWork.h"
#include "ui/Messages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace kelmo::ui {

ChargePanel::ChargePanel(QWidget* parent)
    : QWidget(parent) {}

void ChargePanel::bind(const Controls& controls, Catalogue catalogue) {
    m_controls = controls;
    m_catalogue = std::move(catalogue);
    const Controls& c = m_controls;
    const auto onChecked = [this](QRadioButton* option, void (ChargePanel::*action)()) {
        connect(option, &QRadioButton::toggled, this, [this, action](bool on) {
            if (on) {
                (this->*action)();
            }
        });
    };
    onChecked(c.fromListOption, &ChargePanel::setListMode);
    onChecked(c.typedOption, &ChargePanel::setTypedMode);
    onChecked(c.perKgOption, &ChargePanel::showHeatPerKg);
    onChecked(c.perMoleOption, &ChargePanel::showHeatPerMole);
    connect(c.explosiveCombo, &QComboBox::currentIndexChanged, this,
            &ChargePanel::showSelectedHeat);
    // The fields that take each other's place keep the same size.
    c.typedNameEdit->setSizePolicy(c.explosiveCombo->sizePolicy());
    c.molarDivisorEdit->setSizePolicy(c.heatEdit->sizePolicy());
}

void ChargePanel::loadCatalogue() {
    if (!m_catalogue.names) {
        return;
    }
    const QString title = QStringLiteral("Внимание!");
    struct Read {
        QStringList names;
        ReadHeat first;
    };
    std::optional<Read> read;
    try {
        read = runInBackground(window(), QStringLiteral("Чтение списка ВВ…"),
                               [names = m_catalogue.names, heat = m_catalogue.heat] {
                                   Read r;
                                   r.names = names();
                                   if (heat && !r.names.isEmpty()) {
                                       r.first.name = r.names.first();
                                       try {
                                           r.first.heat = heat(r.first.name);
                                       } catch (const Error& e) {
                                           r.first.error = QString::fromStdString(e.what());
                                       }
                                   }
                                   return r;
                               });
    } catch (const Error& e) {
        Messages::critical(window(), title,
                           QStringLiteral("Не удалось прочитать список ВВ из базы данных. Данные "
                                          "ВВ можно ввести с клавиатуры.\n") +
                               QString::fromStdString(e.what()));
        return;
    }
    if (!read) {
        Messages::warning(window(), title,
                          QStringLiteral("Список ВВ не прочитан: ожидание сервера базы данных "
                                         "прервано. Данные ВВ можно ввести с клавиатуры."));
        return;
    }
    QComboBox* combo = m_controls.explosiveCombo;
    {
        const QSignalBlocker block(combo);
        combo->addItems(read->names);
        combo->setCurrentIndex(-1);
    }
    if (!read->names.isEmpty()) {
        if (m_catalogue.heat) {
            m_readHeat = read->first;
        }
        combo->setCurrentIndex(0); // shows its heat
        m_readHeat.reset();
    }
}

bool ChargePanel::explosiveFromList() const {
    return m_controls.fromListOption->isChecked();
}

QString ChargePanel::explosiveName() const {
    return explosiveFromList() ? m_controls.explosiveCombo->currentText()
                               : m_controls.typedNameEdit->text();
}

HeatUnit ChargePanel::heatUnit() const {
    return m_controls.perKgOption->isChecked() ? HeatUnit::PerKg : HeatUnit::PerMole;
}

Placement ChargePanel::placement() const {
    return m_controls.airOption->isChecked() ? Placement::Air : Placement::Ground;
}

ChargeFields ChargePanel::fields() const {
    ChargeFields f;
    f.mass = m_controls.massEdit;
    f.heat = m_controls.heatEdit;
    f.molarDivisor = m_controls.molarDivisorEdit;
    f.bodyMass = m_controls.bodyMassEdit;
    f.heatUnit = heatUnit();
    f.placement = placement();
    return f;
}

std::optional<ChargeInput> ChargePanel::readCharge(const QString& title) const {
    return readChargeFields(window(), title, fields());
}

std::optional<QPointF> ChargePanel::readStoragePoint(const QString& title) const {
    QPointF point;
    QLineEdit* field = m_controls.storageXEdit;
    try {
        point.setX(numtext::parseField(field->text(),
                                       QStringLiteral("Координата Х места хранения КВВ, м")));
        field = m_controls.storageYEdit;
        point.setY(numtext::parseField(field->text(),
                                       QStringLiteral("Координата У места хранения КВВ, м")));
    } catch (const ConversionError& e) {
        Messages::warning(window(), title, QString::fromStdString(e.what()));
        if (field->isVisible()) {
            refuseField(field);
        }
        return std::nullopt;
    }
    return point;
}

void ChargePanel::reportError(const QString& title, const ArithmeticError& error,
                              const QString& distanceHint) const {
    reportChargeError(window(), title, fields(), error, distanceHint);
}

void ChargePanel::setListMode() {
    const Controls& c = m_controls;
    c.heatEdit->setEnabled(false);
    c.explosiveCombo->setVisible(true);
    c.typedNameEdit->setVisible(false);
    if (c.heatUnitBox == nullptr) {
        return;
    }
    c.perKgOption->setChecked(true);
    showHeatPerKg();
    c.heatUnitBox->setEnabled(false);
    if (c.explosiveCombo->count() > 0) {
        c.explosiveCombo->setCurrentIndex(0);
    }
    showSelectedHeat();
}

void ChargePanel::setTypedMode() {
    const Controls& c = m_controls;
    c.heatEdit->setEnabled(true);
    c.explosiveCombo->setVisible(false);
    c.typedNameEdit->setVisible(true);
    if (c.heatUnitBox != nullptr) {
        c.heatUnitBox->setEnabled(true);
    }
}

void ChargePanel::showHeatPerKg() {
    m_controls.molarDivisorEdit->setVisible(false);
    m_controls.heatEdit->setVisible(true);
}

void ChargePanel::showHeatPerMole() {
    m_controls.molarDivisorEdit->setVisible(true);
    m_controls.heatEdit->setVisible(false);
}

void ChargePanel::showSelectedHeat() {
    QComboBox* combo = m_controls.explosiveCombo;
    if (!m_catalogue.heat || combo->currentIndex() < 0) {
        return;
    }
    const QString name = combo->currentText();
    const auto refuse = [this](const QString& error) {
        Messages::critical(window(), QStringLiteral("Внимание!"),
                           QStringLiteral("Не удалось прочитать энергию взрыва ВВ из базы "
                                          "данных.\n") +
                               error);
    };
    std::optional<double> heat;
    if (m_readHeat && m_readHeat->name == name) {
        const ReadHeat read = *m_readHeat;
        m_readHeat.reset();
        if (!read.error.isEmpty()) {
            refuse(read.error);
            return;
        }
        heat = read.heat;
    } else {
        std::optional<std::optional<double>> read;
        try {
            read = runInBackground(window(), QStringLiteral("Чтение энергии взрыва ВВ…"),
                                   [lookup = m_catalogue.heat, name] { return lookup(name); });
        } catch (const Error& e) {
            refuse(QString::fromStdString(e.what()));
            return;
        }
        if (!read) {
            // The list goes back to the explosive whose heat the field shows.
            const QSignalBlocker block(combo);
            combo->setCurrentIndex(combo->findText(m_heatShownFor, Qt::MatchExactly));
            return;
        }
        heat = *read;
    }
    m_heatShownFor = name;
    // A name the catalogue does not have leaves the field as it is.
    if (heat) {
        m_controls.heatEdit->setText(numtext::general(*heat));
    }
}

} // namespace kelmo::ui
