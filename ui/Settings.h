#pragma once

#include "engine/CalcState.h"

#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace kelmo::ui {

// The charge inputs of the zone input window as the user last left them, as the texts and
// choices of its controls.
struct RememberedCharge {
    bool keyboard = false; // the explosive is typed in, not chosen from the list
    QString explosive;     // the name chosen from the list
    QString typedName;     // the name typed in
    QString mass;
    QString heat;
    QString molarDivisor;
    bool perMole = false;
    bool air = false;
    QString bodyMass;
    QString objectName;

    friend bool operator==(const RememberedCharge&, const RememberedCharge&) = default;
};

// What the program remembers between runs: the last charge inputs, the calculation parameters
// and the last folder of each save dialog. The windows get it through their constructors.
class Settings final {
public:
    // The user's settings of the program (~/.config/kelmo/kelmo.conf on Linux).
    Settings();
    // Settings kept in the given file; tests use a temporary one.
    explicit Settings(const QString& fileName);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    std::optional<RememberedCharge> charge() const;
    void setCharge(const RememberedCharge& charge);

    // The parameters last accepted in the parameters dialog; nothing when none were, or when
    // what is stored is not five numbers.
    std::optional<CalcParameters> parameters() const;
    void setParameters(const CalcParameters& parameters);

    // The folder the named save dialog last saved in; empty when none is remembered or it no
    // longer exists.
    QString saveFolder(const QString& dialog) const;
    void setSaveFolder(const QString& dialog, const QString& folder);

    // Writes what is pending to the file.
    void sync();

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace kelmo::ui
