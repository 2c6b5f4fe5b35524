#include "shell/frmMain.h"
#include "ui_frmMain.h"

#include "core/ProgramFolder.h"
#include "shell/Pictures.h"
#include "shell/frmAbout.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kelmo::shell {

QString userManualPath() {
    return findUserManual();
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
        const ProgramFolders folders = programFolders();
        const QString remedy =
            folders.layout == FileLayout::Installed
                ? QStringLiteral("Переустановите пакет kelmo (sudo apt install --reinstall kelmo).")
                : QStringLiteral("Соберите программу заново (make build) или скопируйте файл "
                                 "в эту папку.");
        ui::Messages::warning(this, QStringLiteral("Внимание!"),
                              QStringLiteral("Инструкция пользователя не найдена: в папке «%1» "
                                             "нет файла «%2.docx» (подойдёт также .doc, .odt или "
                                             ".pdf). %3")
                                  .arg(QDir::toNativeSeparators(folders.shared),
                                       QString::fromUtf8(kUserManualBaseName), remedy));
        return;
    }
    ui::openWithDesktop(
        this, path,
        QStringLiteral("Не удалось открыть инструкцию пользователя «%1»: нет программы для "
                       "просмотра таких файлов. Установите программу для документов Word, "
                       "например LibreOffice Writer, и средство открытия файлов рабочего "
                       "стола (sudo apt install libreoffice-writer xdg-utils).")
            .arg(QDir::toNativeSeparators(path)));
}

} // namespace kelmo::shell
