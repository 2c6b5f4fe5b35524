#pragma once

#include "engine/Errors.h"
#include "engine/ZoneRun.h"
#include "ui/ChargeFields.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace kelmo::ui {

// The panel in which a window describes its charge: the explosive, chosen from the catalogue or
// typed with its heat, the mass, the heat per kg or per mole, the placement, and where the
// window has them, the body mass of a person and the storage point on a plan. Each window lays
// the panel out in its own form, where the controls keep the window's own objectNames; the
// window hands them to the panel once, right after setupUi, with bind().
class ChargePanel final : public QWidget {
    Q_OBJECT

public:
    struct Controls {
        QRadioButton* fromListOption = nullptr; // the explosive comes from the catalogue
        QRadioButton* typedOption = nullptr;    // the explosive and its heat are typed
        QComboBox* explosiveCombo = nullptr;
        QLineEdit* typedNameEdit = nullptr;    // in place of the list while typing
        QLineEdit* massEdit = nullptr;         // kg
        QLineEdit* heatEdit = nullptr;         // kJ/kg, or the first number of the per-mole pair
        QLineEdit* molarDivisorEdit = nullptr; // in place of the heat while per mole
        QRadioButton* perKgOption = nullptr;
        QRadioButton* perMoleOption = nullptr;
        QRadioButton* groundOption = nullptr;
        QRadioButton* airOption = nullptr;
        // Where given, choosing the list again disables this box of the heat and its unit,
        // sets kJ/kg and takes the first explosive of the list.
        QWidget* heatUnitBox = nullptr;
        QLineEdit* bodyMassEdit = nullptr; // none: the default body mass
        QLineEdit* storageXEdit = nullptr; // none: the window has no plan
        QLineEdit* storageYEdit = nullptr;
    };

    // Where the names of the explosives and their heat, kJ/kg, come from. Either may throw an
    // Error, which the panel reports; an empty function leaves the list or the heat alone.
    struct Catalogue {
        std::function<QStringList()> names;
        std::function<std::optional<double>(const QString& name)> heat;
    };

    explicit ChargePanel(QWidget* parent = nullptr);

    void bind(const Controls& controls, Catalogue catalogue);
    const Controls& controls() const { return m_controls; }

    // Fills the list from the catalogue and shows the heat of its first explosive. A catalogue
    // that cannot be read gets a message: the charge can still be typed. The catalogue is read
    // on a worker, behind a busy sign with «Отмена» when it takes a moment.
    void loadCatalogue();

    bool explosiveFromList() const;
    // The explosive's name as the user sees it: from the list or as typed.
    QString explosiveName() const;
    HeatUnit heatUnit() const;
    Placement placement() const;

    // The charge the panel describes, or nullopt after a message naming the bad field.
    std::optional<ChargeInput> readCharge(const QString& title) const;
    // The storage point on the plan, m, or nullopt after a message naming the bad field.
    std::optional<QPointF> readStoragePoint(const QString& title) const;
    // A calculation refused the charge: the message, and the focus on the field to blame.
    void reportError(const QString& title, const ArithmeticError& error,
                     const QString& distanceHint = {}) const;

private:
    ChargeFields fields() const;
    void setListMode();
    void setTypedMode();
    void showHeatPerKg();
    void showHeatPerMole();
    void showSelectedHeat();

    Controls m_controls;
    Catalogue m_catalogue;
    // The heat of an explosive read beside the list, for the list's first choice.
    struct ReadHeat {
        QString name;
        std::optional<double> heat;
        QString error; // why it could not be read
    };
    std::optional<ReadHeat> m_readHeat;
    QString m_heatShownFor; // the explosive whose heat the field shows
};

} // namespace kelmo::ui
