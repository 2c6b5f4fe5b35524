#include "ui/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace kelmo::ui {

namespace {

const QString kCharge = QStringLiteral("charge/");
const QString kParameters = QStringLiteral("parameters/");
const QString kSaveFolders = QStringLiteral("saveFolders/");

// The parameters by their stored names, in the order of the dialog's fields.
struct ParameterKey {
    const char* name;
    double CalcParameters::*member;
};
const ParameterKey kParameterKeys[] = {
    {"step", &CalcParameters::gStep},
    {"chartLimitKPa", &CalcParameters::gChartLimitKPa},
    {"chartDivKPa", &CalcParameters::gChartDivKPa},
    {"chartLimitKgf", &CalcParameters::gChartLimitKgf},
    {"chartDivKgf", &CalcParameters::gChartDivKgf},
};

} // namespace

Settings::Settings()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("kelmo"), QStringLiteral("kelmo"))) {}

Settings::Settings(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

Settings::~Settings() = default;

std::optional<RememberedCharge> Settings::charge() const {
    if (!m_settings->contains(kCharge + QStringLiteral("mass"))) {
        return std::nullopt;
    }
    const auto text = [this](const char* key) {
        return m_settings->value(kCharge + QLatin1String(key)).toString();
    };
    const auto flag = [this](const char* key) {
        return m_settings->value(kCharge + QLatin1String(key), false).toBool();
    };
    RememberedCharge c;
    c.keyboard = flag("keyboard");
    c.explosive = text("explosive");
    c.typedName = text("typedName");
    c.mass = text("mass");
    c.heat = text("heat");
    c.molarDivisor = text("molarDivisor");
    c.perMole = flag("perMole");
    c.air = flag("air");
    c.bodyMass = text("bodyMass");
    c.objectName = text("objectName");
    return c;
}

void Settings::setCharge(const RememberedCharge& c) {
    const auto put = [this](const char* key, const QVariant& value) {
        m_settings->setValue(kCharge + QLatin1String(key), value);
    };
    put("keyboard", c.keyboard);
    put("explosive", c.explosive);
    put("typedName", c.typedName);
    put("mass", c.mass);
    put("heat", c.heat);
    put("molarDivisor", c.molarDivisor);
    put("perMole", c.perMole);
    put("air", c.air);
    put("bodyMass", c.bodyMass);
    put("objectName", c.objectName);
}

std::optional<CalcParameters> Settings::parameters() const {
    CalcParameters p;
    for (const ParameterKey& key : kParameterKeys) {
        bool ok = false;
        // Stored with a point whatever the locale.
        const double v =
            m_settings->value(kParameters + QLatin1String(key.name)).toString().toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            return std::nullopt;
        }
        p.*key.member = v;
    }
    return p;
}

void Settings::setParameters(const CalcParameters& p) {
    for (const ParameterKey& key : kParameterKeys) {
        m_settings->setValue(kParameters + QLatin1String(key.name),
                             QString::number(p.*key.member, 'g', 17));
    }
}

QString Settings::saveFolder(const QString& dialog) const {
    const QString folder = m_settings->value(kSaveFolders + dialog).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void Settings::setSaveFolder(const QString& dialog, const QString& folder) {
    m_settings->setValue(kSaveFolders + dialog, QDir::cleanPath(folder));
}

void Settings::sync() {
    m_settings->sync();
}

} // namespace kelmo::ui
