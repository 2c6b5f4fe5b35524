#include "shell/AboutDialog.h"
#include "ui_AboutDialog.h"

#include "core/ProgramFolder.h"
#include "core/Version.h"
#include "shell/Pictures.h"
#include "ui/Messages.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>

namespace kelmo::shell {

namespace {

#ifdef Q_OS_WIN
// A string value of a key under HKEY_LOCAL_MACHINE, or an empty string.
QString machineValue(const QString& key, const QString& name) {
    const QSettings settings(QStringLiteral("HKEY_LOCAL_MACHINE\\") + key, QSettings::NativeFormat);
    return settings.value(name).toString();
}
#endif

// The system information program, or an empty string when there is none.
QString systemInfoProgram() {
#ifdef Q_OS_WIN
    const QString path =
        machineValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), "PATH");
    if (!path.isEmpty()) {
        return path;
    }
    const QString folder =
        machineValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), "MSINFO");
    if (!folder.isEmpty()) {
        const QString program = folder + QStringLiteral("\\MSINFO32.EXE");
        if (QFileInfo::exists(program)) {
            return program;
        }
    }
#endif
    return {};
}

} // namespace

QString foldersText(const ProgramFolders& folders) {
    const auto native = [](const QString& path) {
        return QDir::toNativeSeparators(path);
    };
    if (folders.layout == FileLayout::Portable) {
        return QStringLiteral("Все файлы программы — в папке %1").arg(native(folders.program));
    }
    return QStringLiteral("Файлы программы: %1\nДанные пользователя (база данных, "
                          "источник данных): %2")
        .arg(native(folders.shared), native(folders.user));
}

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AboutDialog>()) {
    m_ui->setupUi(this);

    QLabel* const backdrop = m_ui->Image2;
    backdrop->setPixmap(cloudySky(QSize(800, 460)));
    setWindowTitle(QStringLiteral("О программе"));
    m_ui->lblTitle->setText(QStringLiteral("Келмо"));
    m_ui->lblVersion->setText(QStringLiteral("Версия %1").arg(QLatin1String(kVersion)));
    m_ui->lblFolders->setText(foldersText(programFolders()));

    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::close);
    connect(m_ui->cmdSysInfo, &QPushButton::clicked, this, &AboutDialog::startSysInfo);
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::startSysInfo() {
    const QString program = systemInfoProgram();
    if (program.isEmpty() || !QProcess::startDetached(program, {})) {
        ui::Messages::show(this, {QGuiApplication::applicationDisplayName(),
                                  QString::fromLatin1(kSysInfoUnavailable), QMessageBox::NoIcon,
                                  QMessageBox::Ok});
    }
}

} // namespace kelmo::shell
