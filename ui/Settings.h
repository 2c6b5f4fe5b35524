#pragma once

#include "engine/CalcState.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace kelmo::ui {

// The charge inputs of the zone input window as the user last ran them. A number that is
// missing or was stored damaged is empty: the window keeps its default text for it.
struct RememberedCharge {
    bool keyboard = false; // the explosive is typed in, not chosen from the list
    QString explosive;     // the name chosen from the list
    QString typedName;     // the name typed in
    std::optional<double> mass;
    std::optional<double> heat; // only ever shown for a typed-in explosive
    std::optional<double> molarDivisor;
    bool perMole = false;
    bool air = false;
    std::optional<double> bodyMass;
    QString objectName;

    friend bool operator==(const RememberedCharge&, const RememberedCharge&) = default;
};

// Who signs the documents: asked once, then written into every report's title block.
struct ReportAuthor {
    QString organisation;
    QString author;

    friend bool operator==(const ReportAuthor&, const ReportAuthor&) = default;
};

// What the program remembers between runs: the last charge inputs, the calculation parameters,
// the last folder of each save dialog and the window places. The shell owns one and hands it
// to the windows through their constructors.
//
// Numbers are stored with a point and read the same in every locale. What a hand-edited or
// damaged file holds is checked on reading: a value that is not sound is treated as never
// stored, so the program falls back to its defaults.
class Settings final {
public:
    // The user's settings of the program (~/.config/kelmo/kelmo.ini on Linux).
    Settings();
    // Settings kept in the given file; tests use a temporary one.
    explicit Settings(const QString& fileName);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Nothing when no calculation was ever remembered.
    std::optional<RememberedCharge> charge() const;
    void setCharge(const RememberedCharge& charge);

    // The parameters last accepted in the parameters dialog; nothing when none were, or when
    // what is stored is not five numbers a run can use: a step above 0 and at most
    // kMaxStep m, axis limits above 0 and whole division counts of 1 to 100.
    std::optional<CalcParameters> parameters() const;
    void setParameters(const CalcParameters& parameters);
    static constexpr double kMaxStep = 32766;

    // The folder the named save dialog last saved in; empty when none is remembered or it no
    // longer exists.
    QString saveFolder(const QString& dialog) const;
    void setSaveFolder(const QString& dialog, const QString& folder);

    // The organisation and author of the reports; nothing until the user gave them once.
    std::optional<ReportAuthor> reportAuthor() const;
    void setReportAuthor(const ReportAuthor& author);

    // The place and size of the named window (QWidget::saveGeometry); empty when none.
    QByteArray windowGeometry(const QString& window) const;
    void setWindowGeometry(const QString& window, const QByteArray& geometry);

    // How many seconds a connection to a database server may take to log in ([Server]
    // TimeoutSeconds, 1 to 600); 10 when the file holds nothing sound.
    int serverTimeout() const;

    // Writes what is pending to the file (Qt replaces the file as a whole).
    void sync();
    // The file the settings are kept in.
    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace kelmo::ui
