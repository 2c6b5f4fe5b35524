#include "shell/frmMain.h"
#include "ui_frmMain.h"

#include "core/ProgramFolder.h"
#include "shell/Pictures.h"
#include "shell/frmAbout.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kelmo::shell {

namespace {

const char* const kManualBaseName = "Инструкция пользователя";

} // namespace

QString userManualPath() {
    // The manual is looked for in the formats a user may keep it in, the Word ones first.
    for (const char* extension : {".doc", ".docx", ".odt", ".pdf"}) {
        const QString path =
            programFile(QString::fromUtf8(kManualBaseName) + QLatin1String(extension));
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

frmMain::frmMain(const QList<WorkWindow>& available, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::frmMain>()) {
    m_ui->setupUi(this);

    // The caption "-" means a separator line; as text it would show beside the line.
    m_ui->dd->setSeparator(true);
    m_ui->dd->setText(QString());
    QFont subtitle = m_ui->Label2->font();
    subtitle.setPointSizeF(9.75);
    m_ui->Label2->setFont(subtitle);
    m_ui->Image1->setPixmap(cloudySky(QSize(1366, 768)));
    m_ui->vzr->setPixmap(explosionDrawing(QSize(320, 220)));

    const std::pair<QAction*, WorkWindow> items[] = {
        {m_ui->mnuZone, WorkWindow::Zone},
        {m_ui->mnuPlan, WorkWindow::Plan},
        {m_ui->mnuRezerv, WorkWindow::StructureTypes},
        {m_ui->mnuKvv, WorkWindow::Explosives},
    };
    for (const auto& [action, window] : items) {
        action->setEnabled(available.contains(window));
        connect(action, &QAction::triggered, this,
                [this, w = window] { emit workWindowRequested(w); });
    }
    connect(m_ui->mnuExit, &QAction::triggered, this, &frmMain::exitRequested);
    connect(m_ui->He, &QAction::triggered, this, &frmMain::openManual);
    connect(m_ui->Hel, &QAction::triggered, this, &frmMain::aboutRequested);
}

frmMain::~frmMain() = default;

void frmMain::openManual() {
    const QString path = userManualPath();
    if (path.isEmpty()) {
        ui::Messages::warning(this, QStringLiteral("Внимание!"),
                              QStringLiteral("Инструкция пользователя не найдена: в папке "
                                             "программы «%1» нет файла «%2.docx» (подойдёт также "
                                             ".doc, .odt или .pdf).")
                                  .arg(QDir::toNativeSeparators(programFolder()),
                                       QString::fromUtf8(kManualBaseName)));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        ui::Messages::warning(this, QStringLiteral("Внимание!"),
                              QStringLiteral("Не удалось открыть инструкцию пользователя «%1»: "
                                             "нет программы для просмотра таких файлов.")
                                  .arg(QDir::toNativeSeparators(path)));
    }
}

} // namespace kelmo::shell
