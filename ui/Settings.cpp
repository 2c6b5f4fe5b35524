#include "ui/Settings.h"

#include "core/NumberText.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

#include <cmath>

namespace kelmo::ui {

namespace {

const QString kCharge = QStringLiteral("charge/");
const QString kParameters = QStringLiteral("parameters/");
const QString kSaveFolders = QStringLiteral("saveFolders/");
const QString kWindows = QStringLiteral("windows/");

// The parameters by their stored names, in the order of the dialog's fields.
struct ParameterKey {
    const char* name;
    double CalcParameters::*member;
};
const ParameterKey kParameterKeys[] = {
    {"step", &CalcParameters::step},
    {"chartLimitKPa", &CalcParameters::chartLimitKPa},
    {"chartDivKPa", &CalcParameters::chartDivKPa},
    {"chartLimitKgf", &CalcParameters::chartLimitKgf},
    {"chartDivKgf", &CalcParameters::chartDivKgf},
};

QString numberText(double v) {
    return numtext::roundTrip(v);
}

// A stored number, read the same whatever the user's locale; nothing for a text that is not
// a finite number.
std::optional<double> readNumber(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt; // e.g. a list, which an unquoted comma makes of a hand-edited value
    }
    return numtext::parse(value.toString(), QLocale::c());
}

bool wholeCount(double v) {
    return v >= 1 && v <= 100 && std::floor(v) == v;
}

} // namespace

Settings::Settings()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("kelmo"), QStringLiteral("kelmo"))) {}

Settings::Settings(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

Settings::~Settings() = default;

std::optional<RememberedCharge> Settings::charge() const {
    m_settings->beginGroup(QStringLiteral("charge"));
    const bool any = !m_settings->childKeys().isEmpty();
    m_settings->endGroup();
    if (!any) {
        return std::nullopt;
    }
    const auto value = [this](const char* key) {
        return m_settings->value(kCharge + QLatin1String(key));
    };
    const auto text = [&](const char* key) {
        const QVariant v = value(key);
        return v.typeId() == QMetaType::QString ? v.toString() : QString();
    };
    // Only "true" is true: a damaged flag falls back to the window's default choice.
    const auto flag = [&](const char* key) {
        return value(key).toString() == QLatin1String("true");
    };
    // Every number of the charge is above zero; anything else is taken as not stored.
    const auto positive = [&](const char* key) -> std::optional<double> {
        const auto v = readNumber(value(key));
        return v && *v > 0 ? v : std::nullopt;
    };
    RememberedCharge c;
    c.keyboard = flag("keyboard");
    c.explosive = text("explosive");
    c.typedName = text("typedName");
    c.mass = positive("mass");
    c.heat = positive("heat");
    c.molarDivisor = positive("molarDivisor");
    c.perMole = flag("perMole");
    c.air = flag("air");
    c.bodyMass = positive("bodyMass");
    c.objectName = text("objectName");
    return c;
}

void Settings::setCharge(const RememberedCharge& c) {
    m_settings->remove(QStringLiteral("charge"));
    const auto put = [this](const char* key, const QVariant& value) {
        m_settings->setValue(kCharge + QLatin1String(key), value);
    };
    const auto putNumber = [&](const char* key, const std::optional<double>& v) {
        if (v) {
            put(key, numberText(*v));
        }
    };
    put("keyboard", c.keyboard);
    put("explosive", c.explosive);
    put("typedName", c.typedName);
    putNumber("mass", c.mass);
    putNumber("heat", c.heat);
    putNumber("molarDivisor", c.molarDivisor);
    put("perMole", c.perMole);
    put("air", c.air);
    putNumber("bodyMass", c.bodyMass);
    put("objectName", c.objectName);
}

std::optional<CalcParameters> Settings::parameters() const {
    CalcParameters p;
    for (const ParameterKey& key : kParameterKeys) {
        const auto v = readNumber(m_settings->value(kParameters + QLatin1String(key.name)));
        if (!v) {
            return std::nullopt;
        }
        p.*key.member = *v;
    }
    const bool sound = p.step > 0 && p.step <= kMaxStep && p.chartLimitKPa > 0 &&
                       p.chartLimitKgf > 0 && wholeCount(p.chartDivKPa) &&
                       wholeCount(p.chartDivKgf);
    return sound ? std::optional(p) : std::nullopt;
}

void Settings::setParameters(const CalcParameters& p) {
    for (const ParameterKey& key : kParameterKeys) {
        m_settings->setValue(kParameters + QLatin1String(key.name), numberText(p.*key.member));
    }
}

QString Settings::saveFolder(const QString& dialog) const {
    const QVariant value = m_settings->value(kSaveFolders + dialog);
    const QString folder = value.typeId() == QMetaType::QString ? value.toString() : QString();
    return !folder.isEmpty() && QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir()
               ? folder
               : QString();
}

void Settings::setSaveFolder(const QString& dialog, const QString& folder) {
    m_settings->setValue(kSaveFolders + dialog, QDir::cleanPath(folder));
}

std::optional<ReportAuthor> Settings::reportAuthor() const {
    const QVariant organisation = m_settings->value(QStringLiteral("reports/organisation"));
    const QVariant author = m_settings->value(QStringLiteral("reports/author"));
    if (organisation.typeId() != QMetaType::QString || author.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return ReportAuthor{organisation.toString(), author.toString()};
}

void Settings::setReportAuthor(const ReportAuthor& author) {
    m_settings->setValue(QStringLiteral("reports/organisation"), author.organisation.trimmed());
    m_settings->setValue(QStringLiteral("reports/author"), author.author.trimmed());
}

QByteArray Settings::windowGeometry(const QString& window) const {
    const QVariant value = m_settings->value(kWindows + window);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void Settings::setWindowGeometry(const QString& window, const QByteArray& geometry) {
    m_settings->setValue(kWindows + window, geometry);
}

int Settings::serverTimeout() const {
    bool ok = false;
    const int seconds =
        m_settings->value(QStringLiteral("Server/TimeoutSeconds")).toString().trimmed().toInt(&ok);
    return ok && seconds >= 1 && seconds <= 600 ? seconds : 10;
}

void Settings::sync() {
    m_settings->sync();
}

QString Settings::fileName() const {
    return m_settings->fileName();
}

} // namespace kelmo::ui
