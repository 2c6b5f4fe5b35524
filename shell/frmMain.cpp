#include "shell/frmMain.h"
#include "ui_frmMain.h"

#include "core/ProgramFolder.h"
#include "shell/Pictures.h"
#include "shell/frmAbout.h"
#include "ui/Messages.h"
#include "ui/WindowRegistry.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <map>

namespace kelmo::shell {

namespace {

std::map<frmMain::WorkWindow, frmMain::Opener>& openers() {
    static std::map<frmMain::WorkWindow, frmMain::Opener> instance;
    return instance;
}

} // namespace

void frmMain::setWorkWindow(WorkWindow window, Opener opener) {
    openers()[window] = std::move(opener);
}

QString userManualPath() {
    return findUserManual();
}

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::frmMain>()) {
    ui->setupUi(this);

    // The caption "-" means a separator line; as text it would show beside the line.
    ui->dd->setSeparator(true);
    ui->dd->setText(QString());
    QFont subtitle = ui->Label2->font();
    subtitle.setPointSizeF(9.75);
    ui->Label2->setFont(subtitle);
    ui->Image1->setPixmap(cloudySky(QSize(1366, 768)));
    ui->vzr->setPixmap(explosionDrawing(QSize(320, 220)));

    const std::pair<QAction*, WorkWindow> items[] = {
        {ui->mnuZone, WorkWindow::Zone},
        {ui->mnuPlan, WorkWindow::Plan},
        {ui->mnuRezerv, WorkWindow::StructureTypes},
        {ui->mnuKvv, WorkWindow::Explosives},
    };
    for (const auto& [action, window] : items) {
        action->setEnabled(static_cast<bool>(openers()[window]));
        connect(action, &QAction::triggered, this, [this, w = window] { openWorkWindow(w); });
    }
    connect(ui->mnuExit, &QAction::triggered, this, &frmMain::exitProgram);
    connect(ui->He, &QAction::triggered, this, &frmMain::openManual);
    connect(ui->Hel, &QAction::triggered, this, [] { ui::WindowRegistry::show<frmAbout>(); });
}

frmMain::~frmMain() = default;

void frmMain::openWorkWindow(WorkWindow window) {
    const Opener& opener = openers()[window];
    if (!opener) {
        return;
    }
    // The work window is shown first, so that the program never has no window open.
    if (opener()) {
        close();
    }
}

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
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        ui::Messages::warning(
            this, QStringLiteral("Внимание!"),
            QStringLiteral("Не удалось открыть инструкцию пользователя «%1»: нет программы для "
                           "просмотра таких файлов. Установите программу для документов Word, "
                           "например LibreOffice Writer, и средство открытия файлов рабочего "
                           "стола (sudo apt install libreoffice-writer xdg-utils).")
                .arg(QDir::toNativeSeparators(path)));
    }
}

void frmMain::exitProgram() {
    // Ends the program at once: every window closes without a question.
    ui::WindowRegistry::closeAll();
    QCoreApplication::quit();
}

} // namespace kelmo::shell
